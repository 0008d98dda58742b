#pragma once
// TMPEGaudio: finds the first MPEG audio frame of a file, its Xing or VBRI header, and
// derives the stream facts (bit rate, sample rate, frame count, duration, encoder guess)
// without decoding audio. Owns the file's ID3v2 and ID3v1 readers, whose sizes bound the audio.
#include "byte_source.h"
#include "id3v1.h"
#include "id3v2.h"

#include <array>
#include <cstdint>
#include <string>

namespace tavrela::tags {

/// The first frame found.
struct FrameData {
    bool Found = false;
    std::int32_t Position = 0; ///< offset from the start of the block it was found in
    std::uint16_t Size = 0;
    bool Xing = false; ///< the 6 bytes after the header are all zero
    std::array<std::uint8_t, 4> Data{};
    std::uint8_t VersionID = 1;
    std::uint8_t LayerID = 0;
    bool ProtectionBit = false;
    std::uint16_t BitRateID = 0;
    std::uint16_t SampleRateID = 3;
    bool PaddingBit = false;
    bool PrivateBit = false;
    std::uint8_t ModeID = 4;
    std::uint8_t ModeExtensionID = 4;
    bool CopyrightBit = false;
    bool OriginalBit = false;
    std::uint8_t EmphasisID = 2;

    bool operator==(const FrameData&) const = default;
};

/// A Xing or VBRI header.
struct VBRData {
    bool Found = false;
    std::string ID; ///< "Xing" or "VBRI"
    std::int32_t Frames = 0;
    std::int32_t Bytes = 0;
    std::uint8_t Scale = 0;
    std::string VendorID; ///< 8 raw bytes after a Xing header

    bool operator==(const VBRData&) const = default;
};

class TMPEGaudio {
public:
    void Reset();
    /// True when both tags and the file could be read; the facts hold only when Valid().
    bool ReadFromFile(const std::string& FileName);
    bool ReadFrom(const ByteSource& source);

    std::string VersionText() const;
    std::string LayerText() const;
    std::uint16_t BitRate() const;
    std::uint16_t SampleRate() const;
    std::string ChannelMode() const;
    std::string Emphasis() const;
    std::int32_t FrameCount() const;
    double Duration() const;
    std::uint8_t EncoderID() const;
    std::string EncoderText() const;
    bool Valid() const;

    std::int64_t FileLength = 0;
    std::string VendorID; ///< encoder text found at the end of a constant-bit-rate file
    VBRData VBR;
    FrameData Frame;
    TID3v1 ID3v1;
    TID3v2 ID3v2;

private:
    std::int64_t AudioSize() const;
};

/// The 4-byte frame header test: sync, known version, layer, bit rate, sample rate, emphasis.
bool IsFrameHeader(const std::uint8_t* b);
/// Decodes a header that passes IsFrameHeader.
FrameData DecodeFrameHeader(const std::uint8_t* b);
/// Frame length in bytes (0 for reserved fields).
std::uint16_t FrameLength(const FrameData& frame);

} // namespace tavrela::tags
