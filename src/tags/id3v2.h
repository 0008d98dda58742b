#pragma once
// TID3v2: the ID3v2 tag at the start of an MP3 file, read into named text fields (the playout
// marker frames among them) and written back as a version 2.3 tag.
#include "byte_source.h"
#include "file_rewrite.h"
#include "text_codec.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavrela::tags {

class TID3v2 {
public:
    TID3v2() = default;

    /// Empties every field.
    void Reset();
    /// True when the file could be opened and at least 10 bytes read, tag or not.
    bool ReadFromFile(const std::string& FileName);
    bool ReadFrom(const ByteSource& source);
    /// Rebuilds the file's tag from the fields; true when it was written.
    bool SaveToFile(const std::string& FileName) const;
    /// As SaveToFile, saying why nothing was written; `held` is the file as it was read
    /// (null: no earlier read to compare with).
    SaveResult SaveTo(const std::string& FileName, const HeldFile* held) const;

    /// The tag SaveToFile would write over a file with the given content, and whether the
    /// whole file must be rewritten (it does not fit the old tag's space). Empty when the
    /// old tag cannot be read completely, so its frames could not be carried over.
    Bytes RenderTag(const ByteSource& current, bool& NeedRewrite, std::uint32_t& OldSize) const;

    bool Exists = false;
    std::uint8_t VersionID = 0;
    std::uint32_t Size = 0;
    std::string Title;
    std::string Artist;
    std::string Album;
    std::uint16_t Track = 0;
    std::string TrackString;
    std::string Year;
    std::string Genre;
    std::string Comment;
    std::string Composer;
    std::string Encoder;
    std::string Copyright;
    std::string Language;
    std::string Link;
    std::string FrameTRIT;
    std::string Intro;
    std::string FrameTEXT;
    std::string FrameTEST;
    std::string FrameTIDM;
    std::string StampTime;
    std::string StampJingle;
    std::string AudioStart;
    std::string AudioEnd;
    std::string ChorusStart;
    std::string ChorusEnd;
    std::string FrameTCAD;
    std::string FrameTSUC;
    std::string FrameTGRA;
    std::string FrameTVOC;
    std::string FrameTTPE;
    std::string FrameTPIN;
    std::string FrameTPFI;
    std::string MixPoint;
    std::uint8_t Rating = 0;

    bool operator==(const TID3v2&) const = default;
};

/// IDs of the frames of the source's tag that have no version 2.3 form, in tag order: a save
/// (which writes version 2.3) cannot carry them.
std::vector<std::string> Id3v2FramesWithoutV23Form(const ByteSource& source);

/// Number of rows of the frame table.
inline constexpr int kId3v2FrameRows = 36;
/// Four-letter (versions 2.3/2.4) and three-letter (2.2) frame IDs of table row `row`.
const char* Id3v2FrameId(int row);
const char* Id3v2FrameIdV22(int row);

} // namespace tavrela::tags
