// MPEG stream analysis: header arithmetic, the frame search, Xing/VBRI headers, the
// duration formulas, the encoder guess, and real files made by lame at every rate family.
#include "mp3_fixtures.h"
#include "tags/mpeg_audio.h"

#include <gtest/gtest.h>

namespace tavrela::tags {
namespace {

using namespace test;

TEST(MpegHeader, FrameLengths) {
    const struct {
        const char* name;
        Bytes header;
        std::uint16_t length;
    } cases[] = {
        {"MPEG 1 Layer III 128k 44100", {0xFF, 0xFB, 0x90, 0x00}, 417},
        {"same with padding", {0xFF, 0xFB, 0x92, 0x00}, 418},
        {"MPEG 2 Layer III 64k 22050", {0xFF, 0xF3, 0x80, 0x00}, 208},
        {"MPEG 2.5 Layer III 32k 8000", {0xFF, 0xE3, 0x48, 0x00}, 288},
        {"MPEG 1 Layer II 384k 32000", {0xFF, 0xFD, 0xE8, 0x00}, 1728},
        {"MPEG 1 Layer I 448k 48000 padded", {0xFF, 0xFF, 0xE6, 0x00}, 448 + 4},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(IsFrameHeader(c.header.data())) << c.name;
        EXPECT_EQ(FrameLength(DecodeFrameHeader(c.header.data())), c.length) << c.name;
    }
    const Bytes rejected[] = {
        {0xFF, 0xEB, 0x90, 0x00}, // reserved version
        {0xFF, 0xF9, 0x90, 0x00}, // reserved layer
        {0xFF, 0xFB, 0x00, 0x00}, // free format
        {0xFF, 0xFB, 0xF0, 0x00}, // bit-rate index 15
        {0xFF, 0xFB, 0x9C, 0x00}, // sample-rate index 3
        {0xFF, 0xFB, 0x90, 0x02}, // emphasis 2
        {0xFE, 0xFB, 0x90, 0x00}, // no sync
    };
    for (const Bytes& h : rejected) {
        EXPECT_FALSE(IsFrameHeader(h.data()));
    }
}

// A stream of `count` MPEG 1 Layer III 128 kbit/s 44100 Hz frames of 417 bytes.
Bytes CbrFrames(std::size_t count, std::uint8_t modeByte = 0x00) {
    Bytes out;
    for (std::size_t i = 0; i < count; ++i) {
        const Bytes f = Cat({{0xFF, 0xFB, 0x90, modeByte}, Bytes(413, 0x11)});
        out.insert(out.end(), f.begin(), f.end());
    }
    return out;
}

TMPEGaudio Analyse(const Bytes& file) {
    TMPEGaudio m;
    EXPECT_TRUE(m.ReadFrom(MemorySource(file)));
    return m;
}

TEST(MpegAnalysis, ConstantBitRateDuration) {
    // 4 000 000 audio bytes at 128 kbit/s from offset 0: 250.0 seconds.
    Bytes file = CbrFrames(2);
    file.resize(4'000'000, 0);
    const TMPEGaudio m = Analyse(file);
    ASSERT_TRUE(m.Valid());
    EXPECT_DOUBLE_EQ(m.Duration(), 250.0);
    EXPECT_EQ(m.FrameCount(), 4'000'000 / 417);
    EXPECT_EQ(m.BitRate(), 128);
    EXPECT_EQ(m.VersionText() + " " + m.LayerText(), "MPEG 1 Layer III");
    EXPECT_EQ(m.ChannelMode(), "Stereo");
    EXPECT_EQ(m.Emphasis(), "None");
}

TEST(MpegAnalysis, SearchStartsAfterTheTagAndRejectsFalseSync) {
    // A sync inside the tag and a false sync (header followed by garbage) before the stream.
    const Bytes tag =
        Cat({B("ID3"), {3, 0, 0}, SyncSafe(20), {0xFF, 0xFB, 0x90, 0x00}, Bytes(16, 0)});
    const Bytes file = Cat({tag, {0xFF, 0xFB, 0x90, 0x00, 1, 2, 3}, CbrFrames(100)});
    const TMPEGaudio m = Analyse(file);
    ASSERT_TRUE(m.Frame.Found);
    EXPECT_EQ(m.Frame.Position, 7);
    EXPECT_EQ(m.ID3v2.Size, 30u);
    EXPECT_DOUBLE_EQ(m.Duration(), (100.0 * 417) / 128 / 1000 * 8);
}

// First frame carrying a Xing header (stereo MPEG 1: 36 bytes after the frame start).
Bytes XingFile(std::int32_t frames, std::int32_t bytes, const std::string& vendor) {
    Bytes first = Cat({{0xFF, 0xFB, 0x90, 0x00},
                       Bytes(32, 0),
                       B("Xing"),
                       Be32(0x0F),
                       Be32(frames),
                       Be32(static_cast<std::uint32_t>(bytes)),
                       Bytes(100, 0),
                       Be32(57),
                       B(vendor)});
    first.resize(417, 0);
    return Cat({first, CbrFrames(20)});
}

TEST(MpegAnalysis, XingHeader) {
    const TMPEGaudio m = Analyse(XingFile(10000, 10000 * 417, "LAME3.99r"));
    ASSERT_TRUE(m.VBR.Found);
    EXPECT_EQ(m.VBR.ID, "Xing");
    EXPECT_EQ(m.VBR.Scale, 57);
    EXPECT_NEAR(m.Duration(), 261.2245, 1e-4); // 10000 * 1152 / 44100
    EXPECT_EQ(m.FrameCount(), 10000);
    EXPECT_EQ(m.BitRate(), 128);
    EXPECT_EQ(m.EncoderText(), "LAME 3.99");
    EXPECT_TRUE(m.Valid());
}

TEST(MpegAnalysis, Validity) {
    const struct {
        const char* name;
        std::int32_t frames;
        std::int32_t bytes;
        bool valid;
    } cases[] = {
        // bytes per frame -> (b / f) * 44100 / 144 / 1000 kbit/s
        {"7 kbit/s", 1000, 1000 * 23, false},      {"8 kbit/s", 1000, 1000 * 26, true},
        {"448 kbit/s", 1000, 1000 * 1463, true},   {"449 kbit/s", 1000, 1000 * 1467, false},
        {"shorter than 0.1 s", 3, 3 * 417, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Analyse(XingFile(c.frames, c.bytes, "")).Valid(), c.valid) << c.name;
    }
    // No frame pair at all: everything reset, still a successful read.
    const TMPEGaudio none = Analyse(Bytes(10000, 0x42));
    EXPECT_FALSE(none.Frame.Found);
    EXPECT_FALSE(none.Valid());
    EXPECT_EQ(none.VersionText(), "MPEG ?");
    EXPECT_EQ(none.ChannelMode(), "Unknown");
}

TEST(MpegAnalysis, VbriHeaderAndMiddleSearch) {
    Bytes first = Cat({{0xFF, 0xFB, 0x90, 0xC0},
                       Bytes(32, 0),
                       B("VBRI"),
                       {0, 1, 0, 0, 0, 80},
                       Be32(500 * 417),
                       Be32(500)});
    first.resize(417, 0);
    const TMPEGaudio m = Analyse(Cat({first, CbrFrames(5, 0xC0)}));
    ASSERT_TRUE(m.VBR.Found); // mono: found at the VBRI place, not the Xing one
    EXPECT_EQ(m.VBR.ID, "VBRI");
    EXPECT_EQ(m.FrameCount(), 500);
    EXPECT_EQ(m.EncoderText(), "FhG");

    // The stream starts past the first search window: found by the search in the middle.
    const Bytes late = Cat({Bytes(30000, 0x42), CbrFrames(100)});
    const TMPEGaudio mid = Analyse(late);
    EXPECT_TRUE(mid.Frame.Found);
}

TEST(MpegAnalysis, EncoderTextFromTheEndOfTheFile) {
    Bytes file = CbrFrames(50, 0x04); // original bit set
    const Bytes tail = B("LAME3.98.4");
    std::copy(tail.begin(), tail.end(), file.end() - 500);
    const TMPEGaudio m = Analyse(file);
    EXPECT_EQ(m.VendorID, "LAME3.98");
    EXPECT_EQ(m.EncoderText(), "LAME 3.98");

    // A file shorter than the search block (a short jingle) is still read.
    Bytes jingle = CbrFrames(8, 0x04);
    std::copy(tail.begin(), tail.end(), jingle.end() - 100);
    const TMPEGaudio j = Analyse(jingle);
    EXPECT_TRUE(j.Valid());
    EXPECT_EQ(j.EncoderText(), "LAME 3.98");
}

TEST(MpegAnalysis, RealFilesOfEveryRateFamily) {
    const TempDir dir;
    const struct {
        const char* name;
        int rate;
        int channels;
        const char* lame;
        const char* version;
        const char* mode;
        const char* vbr;
        bool id3v1;
    } cases[] = {
        {"cbr", 44100, 2, "-b 128 -m s", "MPEG 1", "Stereo", "", false},
        {"cbr_v1", 44100, 2, "-b 192 --id3v1-only --tt Titulo --tn 4", "MPEG 1", "Joint Stereo", "",
         true},
        {"vbr", 44100, 2, "-V 2", "MPEG 1", "Joint Stereo", "Xing", false},
        {"vbr_v1", 48000, 2, "-V 4 --id3v1-only --ta Artista", "MPEG 1", "Joint Stereo", "Xing",
         true},
        {"mono", 44100, 1, "-b 64", "MPEG 1", "Mono", "", false},
        {"mono_vbr", 32000, 1, "-V 5", "MPEG 1", "Mono", "Xing", false},
        {"mpeg2", 22050, 2, "-b 64", "MPEG 2", "Joint Stereo", "", false},
        {"mpeg2_vbr_mono", 24000, 1, "-V 6", "MPEG 2", "Mono", "Xing", false},
        {"mpeg2_16k", 16000, 2, "-b 48", "MPEG 2", "Joint Stereo", "", false},
        {"mpeg25", 11025, 2, "-b 32", "MPEG 2.5", "Joint Stereo", "", false},
        {"mpeg25_8k_mono", 8000, 1, "-b 16 --id3v1-only --tt x", "MPEG 2.5", "Mono", "", true},
    };
    const double seconds = 6;
    for (const auto& c : cases) {
        const std::string file = MakeMp3(dir, c.name, c.rate, c.channels, seconds, c.lame);
        ASSERT_FALSE(file.empty());
        TMPEGaudio m;
        ASSERT_TRUE(m.ReadFromFile(file)) << c.name;
        EXPECT_TRUE(m.Valid()) << c.name;
        EXPECT_EQ(m.VersionText(), c.version) << c.name;
        EXPECT_EQ(m.LayerText(), "Layer III") << c.name;
        EXPECT_EQ(m.SampleRate(), c.rate) << c.name;
        EXPECT_EQ(m.ChannelMode(), c.mode) << c.name;
        EXPECT_EQ(m.VBR.ID, c.vbr) << c.name;
        EXPECT_EQ(m.ID3v1.Exists, c.id3v1) << c.name;
        EXPECT_FALSE(m.ID3v2.Exists) << c.name;
        // Encoder delay and padding add at most two frames of samples.
        const double frame = (c.rate >= 32000 ? 1152.0 : 576.0) / c.rate;
        EXPECT_NEAR(m.Duration(), seconds + frame, 2 * frame + 0.02) << c.name;
        EXPECT_EQ(m.EncoderText().substr(0, 4), "LAME") << c.name;
    }
}

} // namespace
} // namespace tavrela::tags
