#include "wav_file.h"

#include <algorithm>
#include <cstring>

namespace tavrela::tags {
namespace {

std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

bool Is(const std::uint8_t* p, const char* id) {
    return std::memcmp(p, id, 4) == 0;
}

// Chunks are walked only this far; real files have a handful before their data.
constexpr int kMaxChunks = 256;

} // namespace

void TWAVfile::Reset() {
    *this = TWAVfile{};
}

bool TWAVfile::ReadFromFile(const std::string& FileName) {
    return ReadFrom(FileSource(FileName));
}

bool TWAVfile::ReadFrom(const ByteSource& source) {
    Reset();
    // Canonical header: "RIFF" size "WAVE" "fmt " fmt-size format channels rate bytes/s
    // block-align bits, then at 36 the ID of the next chunk ("data").
    std::uint8_t h[40];
    if (!source.IsOpen() || !source.ReadExact(0, h, sizeof h)) {
        return false;
    }
    const std::uint32_t fmtSize = Le32(h + 16);
    const bool canonical = Is(h + 36, "data");
    std::uint32_t samples = 0;
    std::uint64_t dataOffset = 0;
    if (!canonical) {
        // Walk the chunk list after "WAVE" for the fact chunk's sample count and the start of
        // the data, so that other chunks (LIST, for example) are not mistaken for them.
        std::uint64_t pos = 12;
        for (int n = 0; n < kMaxChunks && pos + 8 <= source.Length(); ++n) {
            std::uint8_t c[12];
            const std::size_t got = source.ReadAt(pos, c, sizeof c);
            if (got < 8) {
                break;
            }
            const std::uint32_t size = Le32(c + 4);
            if (Is(c, "fact") && got >= 12 && size >= 4) {
                samples = Le32(c + 8);
            }
            if (Is(c, "data")) {
                dataOffset = pos + 8;
                break;
            }
            pos += 8 + std::uint64_t(size) + (size & 1);
        }
    }
    if (!Is(h, "RIFF") || !Is(h + 8, "WAVE") || !Is(h + 12, "fmt ")) {
        return true;
    }
    const std::uint16_t channels = Le16(h + 22);
    if (channels != 1 && channels != 2) {
        return true;
    }
    Valid = true;
    FormatID = Le16(h + 20);
    ChannelNumber = static_cast<std::uint8_t>(channels);
    SampleRate = Le32(h + 24);
    BytesPerSecond = Le32(h + 28);
    BlockAlign = Le16(h + 32);
    BitsPerSample = static_cast<std::uint8_t>(Le16(h + 34));
    SampleNumber = static_cast<std::int32_t>(samples);
    if (canonical) {
        HeaderSize = 44;
    } else if (dataOffset > 0 && dataOffset <= 0xFFFFFFFFu) {
        HeaderSize = static_cast<std::uint32_t>(dataOffset);
    } else {
        HeaderSize =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(fmtSize + 40ull, 0xFFFFFFFFu));
    }
    FileSize = std::uint64_t(Le32(h + 4)) + 8;
    if (FileSize < HeaderSize) {
        HeaderSize = static_cast<std::uint32_t>(FileSize);
    }
    return true;
}

std::string TWAVfile::ChannelMode() const {
    switch (ChannelNumber) {
    case 1:
        return "Mono";
    case 2:
        return "Stereo";
    default:
        return "Unknown";
    }
}

double TWAVfile::Duration() const {
    if (!Valid) {
        return 0;
    }
    if (SampleNumber == 0 && BytesPerSecond != 0) {
        return static_cast<double>(FileSize - HeaderSize) / BytesPerSecond;
    }
    if (SampleNumber > 0 && SampleRate != 0) {
        return static_cast<double>(SampleNumber) / SampleRate;
    }
    return 0;
}

} // namespace tavrela::tags
