// The two small readers: the ID3v1 block at the end of a file and the RIFF/WAVE header.
#include "tag_fixtures.h"
#include "tags/byte_source.h"
#include "tags/id3v1.h"
#include "tags/wav_file.h"

#include <cstring>
#include <gtest/gtest.h>

namespace tavrela::tags {
namespace {

using namespace test;

Bytes Id3v1Block(const std::string& comment30, std::uint8_t genre) {
    Bytes b(128, 0);
    std::memcpy(b.data(), "TAG", 3);
    std::memcpy(b.data() + 3, "T\xEDtulo", 6);
    std::memcpy(b.data() + 33, "Artist  ", 8);
    std::memcpy(b.data() + 93, "1999", 4);
    std::memcpy(b.data() + 97, comment30.data(), std::min<std::size_t>(30, comment30.size()));
    b[127] = genre;
    return Cat({Bytes(500, 0x33), b});
}

TEST(Id3v1, Versions) {
    const struct {
        const char* name;
        std::string comment;
        std::uint8_t version;
        std::uint8_t track;
        std::string text;
    } cases[] = {
        {"zero then track 7",
         std::string("nice\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x07", 30), 2, 7,
         "nice"},
        {"comment fills 30 bytes", std::string(30, 'c'), 1, 0, std::string(30, 'c')},
        {"blank then the character 7", std::string(28, 'd') + " 7", 2, 55, std::string(28, 'd')},
    };
    for (const auto& c : cases) {
        TID3v1 t;
        ASSERT_TRUE(t.ReadFrom(MemorySource(Id3v1Block(c.comment, 17)))) << c.name;
        EXPECT_TRUE(t.Exists);
        EXPECT_EQ(t.VersionID, c.version) << c.name;
        EXPECT_EQ(t.Track, c.track) << c.name;
        EXPECT_EQ(t.Comment, c.text) << c.name;
        EXPECT_EQ(t.Title, "T\xC3\xADtulo");
        EXPECT_EQ(t.Artist, "Artist");
        EXPECT_EQ(t.Year, "1999");
        EXPECT_EQ(t.GenreName(), "Rock");
    }
}

TEST(Id3v1, AbsentShortAndGenres) {
    TID3v1 t;
    EXPECT_FALSE(t.ReadFrom(MemorySource(Bytes(100, 0)))); // shorter than a block
    EXPECT_EQ(t.GenreID, 255);
    ASSERT_TRUE(t.ReadFrom(MemorySource(Bytes(300, 0))));
    EXPECT_FALSE(t.Exists);
    EXPECT_EQ(t.GenreName(), "");
    EXPECT_EQ(Id3v1GenreName(0), "Blues");
    EXPECT_EQ(Id3v1GenreName(9), "Metal");
    EXPECT_EQ(Id3v1GenreName(67), "Psychadelic");
    EXPECT_EQ(Id3v1GenreName(91), "Gothic Rock");
    EXPECT_EQ(Id3v1GenreName(144), "Trash Metal");
    EXPECT_EQ(Id3v1GenreName(147), "Synthpop");
    EXPECT_EQ(Id3v1GenreName(148), "");
}

Bytes Le32(std::uint32_t n) {
    return {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
            static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
}
Bytes Le16(std::uint16_t n) {
    return {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8)};
}

// RIFF header with a format chunk of `fmtSize` bytes (extra bytes zero), then `rest`.
Bytes Wav(std::uint16_t channels, std::uint32_t rate, std::uint32_t fmtSize, const Bytes& rest,
          std::uint32_t riffSize = 0, const char* riff = "RIFF") {
    const std::uint16_t block = static_cast<std::uint16_t>(channels * 2);
    Bytes fmt =
        Cat({Le16(1), Le16(channels), Le32(rate), Le32(rate * block), Le16(block), Le16(16)});
    fmt.resize(fmtSize, 0);
    Bytes body = Cat({B("WAVE"), B("fmt "), Le32(fmtSize), fmt, rest});
    return Cat(
        {B(riff), Le32(riffSize ? riffSize : static_cast<std::uint32_t>(body.size())), body});
}

TEST(WavHeader, Layouts) {
    // Canonical 16-bit stereo 44100 Hz, RIFF size 1 764 036.
    TWAVfile w;
    ASSERT_TRUE(
        w.ReadFrom(MemorySource(Wav(2, 44100, 16, Cat({B("data"), Le32(1764000)}), 1764036))));
    EXPECT_TRUE(w.Valid);
    EXPECT_EQ(w.FileSize, 1764044u);
    EXPECT_EQ(w.HeaderSize, 44u);
    EXPECT_EQ(w.BytesPerSecond, 176400u);
    EXPECT_DOUBLE_EQ(w.Duration(), 10.0);
    EXPECT_EQ(w.ChannelMode(), "Stereo");

    // Format chunk of 18 bytes, then a fact chunk with 22050 samples at 22050 Hz.
    const Bytes fact = Cat({B("fact"), Le32(4), Le32(22050), B("data"), Le32(100), Bytes(100, 0)});
    ASSERT_TRUE(w.ReadFrom(MemorySource(Wav(1, 22050, 18, fact))));
    EXPECT_EQ(w.HeaderSize, 58u);
    EXPECT_DOUBLE_EQ(w.Duration(), 1.0);
    EXPECT_EQ(w.ChannelMode(), "Mono");

    // A LIST chunk before the data is not a sample count: the duration comes from the bytes.
    const Bytes list =
        Cat({B("LIST"), Le32(26), Bytes(26, 'i'), B("data"), Le32(88200), Bytes(88200, 0)});
    ASSERT_TRUE(w.ReadFrom(MemorySource(Wav(1, 44100, 16, list))));
    EXPECT_EQ(w.SampleNumber, 0);
    EXPECT_EQ(w.HeaderSize, 44u + 34u);
    EXPECT_DOUBLE_EQ(w.Duration(), 1.0);
}

TEST(WavHeader, Rejected) {
    const Bytes data = Cat({B("data"), Le32(4), Bytes(4, 0)});
    TWAVfile w;
    ASSERT_TRUE(w.ReadFrom(MemorySource(Wav(6, 44100, 16, data))));
    EXPECT_FALSE(w.Valid);
    ASSERT_TRUE(w.ReadFrom(MemorySource(Wav(2, 44100, 16, data, 0, "RIFX"))));
    EXPECT_FALSE(w.Valid);
    EXPECT_DOUBLE_EQ(w.Duration(), 0);
    Bytes notWave = Wav(2, 44100, 16, data);
    std::memcpy(notWave.data() + 8, "AVI ", 4);
    ASSERT_TRUE(w.ReadFrom(MemorySource(notWave)));
    EXPECT_FALSE(w.Valid);
    EXPECT_FALSE(w.ReadFrom(MemorySource(Bytes(39, 0))));
    EXPECT_FALSE(w.ReadFromFile("/nonexistent.wav"));
}

} // namespace
} // namespace tavrela::tags
