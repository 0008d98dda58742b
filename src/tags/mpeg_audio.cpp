#include "mpeg_audio.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tavrela::tags {
namespace {

// Search block: twice the longest frame (Layer II, 384 kbit/s, 32 kHz: 1729 bytes).
constexpr std::size_t kBlock = 3458;
constexpr std::size_t kSearch = 1730;

constexpr std::uint16_t kBitRates[4][4][16] = {
    // MPEG 2.5
    {{0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
    // reserved
    {{0}, {0}, {0}, {0}},
    // MPEG 2
    {{0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
    // MPEG 1
    {{0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}},
};

constexpr std::uint16_t kSampleRates[4][4] = {
    {11025, 12000, 8000, 0}, {0, 0, 0, 0}, {22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}};

const char* const kVersionTexts[4] = {"MPEG 2.5", "MPEG ?", "MPEG 2", "MPEG 1"};
const char* const kLayerTexts[4] = {"Layer ?", "Layer III", "Layer II", "Layer I"};
const char* const kModeTexts[5] = {"Stereo", "Joint Stereo", "Dual Channel", "Mono", "Unknown"};
const char* const kEmphasisTexts[4] = {"None", "50/15 ms", "Unknown", "CCIT J.17"};
const char* const kEncoderNames[8] = {"Unknown", "Xing", "FhG",   "LAME",
                                      "Blade",   "GoGo", "Shine", "QDesign"};

std::int32_t BigEndian32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 |
                                     std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]));
}

bool StartsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// Samples per frame / 8.
int Coefficient(const FrameData& f) {
    if (f.LayerID == 3) {
        return 48;
    }
    if (f.LayerID == 2) {
        return 144;
    }
    return f.VersionID == 3 ? 144 : 72;
}

int PaddingSize(const FrameData& f) {
    if (!f.PaddingBit) {
        return 0;
    }
    return f.LayerID == 3 ? 4 : 1;
}

std::uint16_t TableBitRate(const FrameData& f) {
    return kBitRates[f.VersionID & 3][f.LayerID & 3][f.BitRateID & 15];
}

using Block = std::array<std::uint8_t, kBlock>;

// Reads up to a block at `offset`; missing bytes stay zero. Returns the bytes read.
std::size_t ReadBlock(const ByteSource& source, std::int64_t offset, Block& block) {
    block.fill(0);
    if (offset < 0) {
        return 0;
    }
    return source.ReadAt(static_cast<std::uint64_t>(offset), block.data(), block.size());
}

// Xing header: "Xing", flags (frames 1, bytes 2, table of contents 4, quality 8), then the
// fields that the flags announce, then 8 bytes of encoder text. VBRI: "VBRI", version 2,
// delay 2, quality 1 at +9, bytes 4 at +10, frames 4 at +14.
bool ReadVbrHeader(const Block& b, std::size_t p, VBRData& vbr) {
    if (p + 128 > b.size()) {
        return false;
    }
    if (std::memcmp(&b[p], "Xing", 4) == 0) {
        vbr.Found = true;
        vbr.ID = "Xing";
        const std::uint32_t flags = static_cast<std::uint32_t>(BigEndian32(&b[p + 4]));
        std::size_t q = p + 8;
        if (flags & 1) {
            vbr.Frames = BigEndian32(&b[q]);
            q += 4;
        }
        if (flags & 2) {
            vbr.Bytes = BigEndian32(&b[q]);
            q += 4;
        }
        if (flags & 4) {
            q += 100;
        }
        if (flags & 8) {
            vbr.Scale = b[q + 3];
            q += 4;
        }
        if (q + 8 <= b.size()) {
            vbr.VendorID.assign(reinterpret_cast<const char*>(&b[q]), 8);
        }
        return true;
    }
    if (std::memcmp(&b[p], "VBRI", 4) == 0) {
        vbr.Found = true;
        vbr.ID = "VBRI";
        vbr.Scale = b[p + 9];
        vbr.Bytes = BigEndian32(&b[p + 10]);
        vbr.Frames = BigEndian32(&b[p + 14]);
        return true;
    }
    return false;
}

// Looks for a header followed by another header one frame length later.
void FindFrame(const Block& b, FrameData& frame, VBRData& vbr) {
    for (std::size_t i = 0; i < kSearch; ++i) {
        if (!IsFrameHeader(&b[i])) {
            continue;
        }
        FrameData f = DecodeFrameHeader(&b[i]);
        const std::size_t length = FrameLength(f);
        if (length == 0 || i + length + 4 > b.size() || !IsFrameHeader(&b[i + length])) {
            continue;
        }
        f.Found = true;
        f.Position = static_cast<std::int32_t>(i);
        f.Size = static_cast<std::uint16_t>(length);
        f.Xing = std::all_of(&b[i + 4], &b[i + 10], [](std::uint8_t x) { return x == 0; });
        frame = f;
        const bool mono = f.ModeID == 3;
        const std::size_t deviation = f.VersionID == 3 ? (mono ? 21 : 36) : (mono ? 13 : 21);
        // VBRI headers always sit 32 bytes after the header, whatever the channel mode.
        if (!ReadVbrHeader(b, i + deviation, vbr) && deviation != 36) {
            VBRData v;
            if (ReadVbrHeader(b, i + 36, v) && v.ID == "VBRI") {
                vbr = v;
            }
        }
        return;
    }
}

} // namespace

bool IsFrameHeader(const std::uint8_t* b) {
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) {
        return false;
    }
    const int version = (b[1] >> 3) & 3;
    const int layer = (b[1] >> 1) & 3;
    const int bitRate = b[2] >> 4;
    const int sampleRate = (b[2] >> 2) & 3;
    const int emphasis = b[3] & 3;
    return version != 1 && layer != 0 && bitRate != 0 && bitRate != 15 && sampleRate != 3 &&
           emphasis != 2;
}

FrameData DecodeFrameHeader(const std::uint8_t* b) {
    FrameData f;
    std::copy(b, b + 4, f.Data.begin());
    f.VersionID = (b[1] >> 3) & 3;
    f.LayerID = (b[1] >> 1) & 3;
    f.ProtectionBit = (b[1] & 1) == 0;
    f.BitRateID = b[2] >> 4;
    f.SampleRateID = (b[2] >> 2) & 3;
    f.PaddingBit = ((b[2] >> 1) & 1) != 0;
    f.PrivateBit = (b[2] & 1) != 0;
    f.ModeID = b[3] >> 6;
    f.ModeExtensionID = (b[3] >> 4) & 3;
    f.CopyrightBit = ((b[3] >> 3) & 1) != 0;
    f.OriginalBit = ((b[3] >> 2) & 1) != 0;
    f.EmphasisID = b[3] & 3;
    return f;
}

std::uint16_t FrameLength(const FrameData& f) {
    const std::uint32_t rate = kSampleRates[f.VersionID & 3][f.SampleRateID & 3];
    const std::uint32_t bitRate = TableBitRate(f);
    if (rate == 0 || bitRate == 0) {
        return 0;
    }
    return static_cast<std::uint16_t>(std::uint32_t(Coefficient(f)) * bitRate * 1000 / rate +
                                      std::uint32_t(PaddingSize(f)));
}

void TMPEGaudio::Reset() {
    FileLength = 0;
    VendorID.clear();
    VBR = VBRData{};
    Frame = FrameData{};
    ID3v1.Reset();
    ID3v2.Reset();
}

bool TMPEGaudio::ReadFromFile(const std::string& FileName) {
    return ReadFrom(FileSource(FileName));
}

bool TMPEGaudio::ReadFrom(const ByteSource& source) {
    Reset();
    if (!ID3v2.ReadFrom(source) || !ID3v1.ReadFrom(source)) {
        return false;
    }
    FileLength = static_cast<std::int64_t>(source.Length());
    Block block;
    const std::size_t got = ReadBlock(source, ID3v2.Size, block);
    FindFrame(block, Frame, VBR);
    if (!Frame.Found && got == kBlock) {
        ReadBlock(source, (FileLength - ID3v2.Size) / 2, block);
        FindFrame(block, Frame, VBR);
    }
    if (Frame.Found && !VBR.Found) {
        // The last block of the audio, aligned to its end even when the file is shorter.
        const std::int64_t end = FileLength - (ID3v1.Exists ? 128 : 0);
        const std::int64_t start = std::max<std::int64_t>(0, end - std::int64_t(kBlock));
        Block tail;
        tail.fill(0);
        const std::size_t n = static_cast<std::size_t>(std::max<std::int64_t>(0, end - start));
        source.ReadAt(static_cast<std::uint64_t>(start), tail.data() + (kBlock - n), n);
        const std::size_t limit = std::min<std::size_t>(5u * Frame.Size, 3450);
        for (std::size_t k = 0; k <= limit; ++k) {
            const std::uint8_t* p = &tail[kBlock - k - 8];
            if (std::memcmp(p, "LAME", 4) == 0) {
                VendorID.assign(reinterpret_cast<const char*>(p), 8);
                break;
            }
            if (std::memcmp(p, "GOGO", 4) == 0) {
                VendorID = "GOGO";
                break;
            }
        }
    }
    if (!Frame.Found) {
        VendorID.clear();
        VBR = VBRData{};
        Frame = FrameData{};
    }
    return true;
}

std::int64_t TMPEGaudio::AudioSize() const {
    return FileLength - ID3v2.Size - (ID3v1.Exists ? 128 : 0);
}

std::string TMPEGaudio::VersionText() const {
    return kVersionTexts[Frame.VersionID & 3];
}
std::string TMPEGaudio::LayerText() const {
    return kLayerTexts[Frame.LayerID & 3];
}
std::string TMPEGaudio::ChannelMode() const {
    return kModeTexts[std::min<int>(Frame.ModeID, 4)];
}
std::string TMPEGaudio::Emphasis() const {
    return kEmphasisTexts[Frame.EmphasisID & 3];
}

std::uint16_t TMPEGaudio::SampleRate() const {
    return kSampleRates[Frame.VersionID & 3][Frame.SampleRateID & 3];
}

std::uint16_t TMPEGaudio::BitRate() const {
    if (VBR.Found && VBR.Frames > 0 && SampleRate() > 0) {
        const double perFrame = static_cast<double>(VBR.Bytes) / VBR.Frames - PaddingSize(Frame);
        const double kbits = std::nearbyint(perFrame * SampleRate() / Coefficient(Frame) / 1000);
        return static_cast<std::uint16_t>(std::clamp(kbits, 0.0, 65535.0));
    }
    return TableBitRate(Frame);
}

std::int32_t TMPEGaudio::FrameCount() const {
    if (VBR.Found) {
        return VBR.Frames;
    }
    const std::uint16_t length = FrameLength(Frame);
    if (!Frame.Found || length == 0) {
        return 0;
    }
    return static_cast<std::int32_t>(std::max<std::int64_t>(0, AudioSize() - Frame.Position) /
                                     length);
}

double TMPEGaudio::Duration() const {
    if (!Frame.Found || SampleRate() == 0) {
        return 0;
    }
    if (VBR.Found && VBR.Frames > 0) {
        return static_cast<double>(Coefficient(Frame)) * VBR.Frames * 8 / SampleRate();
    }
    const std::uint16_t bitRate = TableBitRate(Frame);
    if (bitRate == 0) {
        return 0;
    }
    return static_cast<double>(AudioSize() - Frame.Position) / bitRate / 1000 * 8;
}

std::uint8_t TMPEGaudio::EncoderID() const {
    if (!Frame.Found) {
        return 0;
    }
    std::uint8_t id = 0;
    if (VBR.Found) {
        const std::string& v = VBR.VendorID;
        if (StartsWith(v, "LAME")) {
            id = 3;
        }
        if (StartsWith(v, "GOGO")) {
            id = 5;
        }
        if (StartsWith(v, "MPGE")) {
            id = 5;
        }
        if (VBR.ID == "Xing" && !StartsWith(v, "LAME") && !StartsWith(v, "GOGO") &&
            !StartsWith(v, "MPGE")) {
            id = 1;
        }
        if (VBR.ID == "VBRI") {
            id = 2;
        }
        return id;
    }
    id = 2;
    if (Frame.OriginalBit && Frame.ProtectionBit) {
        id = 3;
    }
    if (TableBitRate(Frame) <= 160 && Frame.ModeID == 0) {
        id = 4;
    }
    if (Frame.CopyrightBit && Frame.OriginalBit && !Frame.ProtectionBit) {
        id = 1;
    }
    if (Frame.Xing && Frame.OriginalBit) {
        id = 1;
    }
    if (Frame.LayerID == 2) {
        id = 7;
    }
    if (Frame.ModeID == 2 && Frame.ProtectionBit) {
        id = 6;
    }
    if (StartsWith(VendorID, "LAME")) {
        id = 3;
    }
    if (StartsWith(VendorID, "GOGO")) {
        id = 5;
    }
    return id;
}

std::string TMPEGaudio::EncoderText() const {
    const std::uint8_t id = EncoderID();
    std::string text = kEncoderNames[id & 7];
    const std::string& vendor = VendorID.empty() ? VBR.VendorID : VendorID;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (id == 3 && vendor.size() >= 8 && digit(vendor[4]) && vendor[5] == '.' && digit(vendor[6]) &&
        digit(vendor[7])) {
        text.push_back(' ');
        text.append(vendor, 4, 4);
    }
    return text;
}

bool TMPEGaudio::Valid() const {
    const std::uint16_t bitRate = BitRate();
    return Frame.Found && bitRate >= 8 && bitRate <= 448 && Duration() >= 0.1;
}

} // namespace tavrela::tags
