#pragma once
// TWAVfile: the RIFF/WAVE header of a file: channels, sample rate, size and duration.
#include "byte_source.h"

#include <cstdint>
#include <string>

namespace tavrela::tags {

class TWAVfile {
public:
    void Reset();
    /// True when the header bytes could be read; `Valid` tells whether they were accepted.
    bool ReadFromFile(const std::string& FileName);
    bool ReadFrom(const ByteSource& source);
    /// "Unknown", "Mono" or "Stereo".
    std::string ChannelMode() const;
    /// Seconds; 0 when not valid.
    double Duration() const;

    bool Valid = false;
    std::uint16_t FormatID = 0;
    std::uint8_t ChannelNumber = 0;
    std::uint32_t SampleRate = 0;
    std::uint32_t BytesPerSecond = 0;
    std::uint16_t BlockAlign = 0;
    std::uint8_t BitsPerSample = 0;
    std::int32_t SampleNumber = 0;
    std::uint32_t HeaderSize = 0;
    std::uint64_t FileSize = 0;

    bool operator==(const TWAVfile&) const = default;
};

} // namespace tavrela::tags
