#pragma once
// TID3v1: the 128-byte ID3v1 block at the end of an MP3 file (read only).
#include "byte_source.h"

#include <cstdint>
#include <string>

namespace tavrela::tags {

class TID3v1 {
public:
    void Reset();
    /// True when the last 128 bytes could be read; `Exists` tells whether they were a tag.
    bool ReadFromFile(const std::string& FileName);
    bool ReadFrom(const ByteSource& source);
    /// Name of `GenreID` in the extended genre list; empty for 148 and above.
    std::string GenreName() const;

    bool Exists = false;
    std::uint8_t VersionID = 1; ///< 1 = version 1.0, 2 = version 1.1
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Year;
    std::string Comment;
    std::uint8_t Track = 0;
    std::uint8_t GenreID = 255;

    bool operator==(const TID3v1&) const = default;
};

/// Genre name by number (0-147), empty otherwise.
std::string Id3v1GenreName(int genre);

} // namespace tavrela::tags
