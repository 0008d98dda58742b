#pragma once
// The frame layer of ID3v2: the 10-byte tag header, the frame chain of versions 2.2-2.4
// (extended header skipped, unsynchronisation undone), and each frame's version 2.3 form.
#include "byte_source.h"
#include "text_codec.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavrela::tags {

/// The 10-byte tag header plus the file length (`TagInfo` without its frames).
struct Id3v2Header {
    std::array<std::uint8_t, 3> ID{};
    std::uint8_t Version = 0;
    std::uint8_t Revision = 0;
    std::uint8_t Flags = 0;
    std::array<std::uint8_t, 4> Size{};
    std::uint64_t FileSize = 0;

    bool IsId3() const { return ID[0] == 'I' && ID[1] == 'D' && ID[2] == '3'; }
};

/// Reads the header at byte 0; false when fewer than 10 bytes could be read.
bool ReadId3v2Header(const ByteSource& source, Id3v2Header& header);

/// Whole tag length in bytes (header, frames, padding and footer); 0 when it would pass the
/// end of the file. The size bytes are taken whole, as the tags on disk expect.
std::uint32_t Id3v2TagSize(const Id3v2Header& header);

/// A frame as a version 2.3 tag stores it.
struct Id3v2FrameV23 {
    std::string ID; ///< four characters
    std::uint16_t Flags = 0;
    Bytes Data; ///< flag extras (decompressed size, encryption method, group) first

    bool operator==(const Id3v2FrameV23&) const = default;
};

/// One frame of a tag as found on disk.
struct Id3v2Frame {
    std::string ID;          ///< 3 (version 2.2) or 4 characters
    std::uint16_t Flags = 0; ///< flags as stored; 0 in version 2.2
    /// Frame content when the reader can decode it (no encryption or group byte; per-frame
    /// unsynchronisation, data length indicator and version 2.4 compression undone).
    std::optional<Bytes> Payload;
    /// The frame as a version 2.3 tag stores it; absent when version 2.3 has no form for it
    /// (version 2.2 frames without an equivalent, frames too short for their own flags).
    std::optional<Id3v2FrameV23> V23;
};

/// The frames of a tag, in order.
struct Id3v2Frames {
    bool Complete = false; ///< the tag bytes could be read (not over the size limit)
    std::vector<Id3v2Frame> Frames;
};

/// Reads the frame chain of the tag described by `header` (versions 2, 3, 4).
Id3v2Frames ReadId3v2Frames(const ByteSource& source, const Id3v2Header& header);

/// Appends one version 2.3 frame: ID, plain 32-bit size, flags, data.
void AppendFrameV23(Bytes& out, const std::string& id, std::uint16_t flags, const Bytes& data);

/// Decodes a text payload (encoding byte first, encodings 0-3); leading and trailing
/// characters with code 32 or below removed.
std::string DecodeTextPayload(const std::uint8_t* data, std::size_t size);

/// Text after an encoded, zero-terminated description (COMM with language, WXXX without).
/// The description is returned through `description` when asked for.
std::string ExtractTextPayload(const Bytes& payload, bool withLanguage, bool rawSingleByteRest,
                               std::string* description = nullptr);

/// Version 2.4 text frames hold several values separated by the encoding's terminator;
/// version 2.3 holds one string, so the values are joined with "/" as version 2.3 readers
/// expect (TXXX: the values after the description). Other frames come back unchanged.
Bytes JoinTextValues(const std::string& id, const Bytes& content);

/// Undoes unsynchronisation: every FF 00 becomes FF.
Bytes Resynchronise(const std::uint8_t* data, std::size_t size);

} // namespace tavrela::tags
