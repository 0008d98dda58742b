// The tag facade: analyser choice, the 47 fields of CurrentTag from real files, the marker
// save with its fall-backs, and the bytes a save must never touch.
#include "mp3_fixtures.h"
#include "tags/tag.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace tavrela::tags {
namespace {

using namespace test;

const std::string kNo = "N\xC3\xA3o";

// WriteMarkerTag as the editor calls it: parameters 2-19 empty, its own texts for 20-28.
bool EditorSave(const std::string& file, const std::string& comment = "",
                const std::string& intro = "", const std::string& mix = "") {
    const std::string e;
    return WriteMarkerTag(file, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, comment,
                          intro, e, e, e, e, e, e, mix);
}

class TagFacade : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        cbr_ = MakeMp3(*dir_, "cbr", 44100, 2, 4, "-b 128 -m s");
        v1_ = MakeMp3(*dir_, "v1src", 44100, 2, 4,
                      "-b 128 --id3v1-only --tt Titulo --ta Artista --tl Album --ty 2001 "
                      "--tc Nota --tg Rock");
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void TearDown() override {
        FreeTagObjects("mp3");
        FreeTagObjects("wav");
    }
    // A fresh copy of a generated file.
    std::string Copy(const std::string& from, const std::string& name) {
        const std::string to = dir_->File(name);
        std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
        return to;
    }

    static TempDir* dir_;
    static std::string cbr_;
    static std::string v1_;
};
TempDir* TagFacade::dir_ = nullptr;
std::string TagFacade::cbr_;
std::string TagFacade::v1_;

TEST_F(TagFacade, ExtensionChoosesTheAnalysers) {
    for (const char* ext : {".MP3", ".mp3", "mp3", "Mp3"}) {
        CreateTagObjects(ext);
        EXPECT_TRUE(MPEGFile && ID3v1Tag && ID3v2Tag && !WAVFile) << ext;
    }
    for (const char* ext : {".wav", "", ".ogg", ".mp3x"}) {
        CreateTagObjects(ext);
        EXPECT_TRUE(!MPEGFile && !ID3v1Tag && !ID3v2Tag && WAVFile) << ext;
    }
    EXPECT_EQ(FileExtension("/a.b/c.Mp3"), ".Mp3");
    EXPECT_EQ(FileExtension("/a.b/c"), "");
    ASSERT_EQ(TagFields().size(), 47u);
    EXPECT_STREQ(TagFields()[0].Name, "Valid");
    EXPECT_STREQ(TagFields()[46].Name, "MixPoint");
}

TEST_F(TagFacade, DecimalComma) {
    const struct {
        double value;
        int decimals;
        const char* text;
    } cases[] = {{250.0, 1, "250,0"}, {0.5, 1, ",5"},         {0.25, 1, ",3"},
                 {9.96, 1, "10,0"},   {10.0, 3, "10,000"},    {0.0625, 3, ",063"},
                 {0.04, 1, ",0"},     {261.2244, 1, "261,2"}, {0, 3, ",000"}};
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDecimalComma(c.value, c.decimals), c.text) << c.value;
    }
}

TEST_F(TagFacade, ReadsStreamFactsAndSavesMarkers) {
    const std::string file = Copy(cbr_, "markers.mp3");
    CreateTagObjects(FileExtension(file));
    ReadTag(file);
    const tags::Tag& t = CurrentTag;
    EXPECT_EQ(t.Valid, "Sim");
    EXPECT_EQ(t.FileSize, std::to_string(std::filesystem::file_size(file)) + " bytes");
    EXPECT_EQ(t.VersionLayer, "MPEG 1 Layer III");
    EXPECT_EQ(t.BitRate, "CBR 128 kbit/s");
    EXPECT_EQ(t.SampleRate, "44100 hz");
    EXPECT_EQ(t.ChannelMode, "Stereo");
    EXPECT_EQ(t.Duration, FormatDecimalComma(MPEGFile->Duration(), 1) + " seg.");
    EXPECT_EQ(t.FirstFrame, "0 bytes");
    EXPECT_EQ(t.Emphasis, "None");
    EXPECT_EQ(t.AudioEncoder.substr(0, 4), "LAME");
    // No tag at all: the ID3v1 read succeeds and finds nothing.
    EXPECT_EQ(t.TagPresent, "");
    EXPECT_EQ(t.TagVersion, "");
    EXPECT_EQ(t.Title, "");

    const Bytes audio = ReadBytes(file);
    ASSERT_TRUE(EditorSave(file, "Coment\xC3\xA1rio", "00:12.5", "03:01"));
    ReadTag(file);
    EXPECT_EQ(t.TagPresent, "Sim");
    EXPECT_EQ(t.TagVersion, "2.3");
    EXPECT_EQ(t.TagSize, "4096 bytes");
    EXPECT_EQ(t.Intro, "00:12.5");
    EXPECT_EQ(t.MixPoint, "03:01");
    EXPECT_EQ(t.Comment, "Coment\xC3\xA1rio");
    EXPECT_EQ(t.Rating, "0");
    EXPECT_EQ(MPEGFile->ID3v2.Intro, "00:12.5");
    EXPECT_EQ(ID3v2Tag->FrameTCAD, "S");
    EXPECT_EQ(t.FirstFrame, "0 bytes"); // counted from the end of the tag
    const Bytes saved = ReadBytes(file);
    EXPECT_EQ(Bytes(saved.begin() + 4096, saved.end()), audio);

    // Removing a marker: the field emptied, a blank passed.
    CurrentTag.Intro.clear();
    ASSERT_TRUE(EditorSave(file, "", " "));
    const Bytes once = ReadBytes(file);
    ReadTag(file);
    EXPECT_EQ(t.Intro, "");
    EXPECT_EQ(t.MixPoint, "03:01");
    // Saving again changes nothing; the audio stays.
    ASSERT_TRUE(EditorSave(file));
    EXPECT_EQ(ReadBytes(file), once);
    EXPECT_EQ(Bytes(once.begin() + 4096, once.end()), audio);
}

TEST_F(TagFacade, Id3v1OnlyFile) {
    const std::string file = Copy(v1_, "v1.mp3");
    CreateTagObjects(".mp3");
    ReadTag(file);
    const tags::Tag& t = CurrentTag;
    EXPECT_EQ(t.TagPresent, "Sim");
    EXPECT_EQ(t.TagVersion, "1.0");
    EXPECT_EQ(t.TagSize, "");
    EXPECT_EQ(t.Title, "Titulo");
    EXPECT_EQ(t.Track, "0");
    EXPECT_EQ(t.Genre, "Rock");
    EXPECT_EQ(t.Comment, "Nota");

    // Saving writes an ID3v2 tag from the ID3v1 texts; audio and the ID3v1 block stay.
    const Bytes before = ReadBytes(file);
    ASSERT_TRUE(EditorSave(file, "", "00:01"));
    const Bytes after = ReadBytes(file);
    ASSERT_EQ(after.size(), before.size() + 4096);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin() + 4096));
    ReadTag(file);
    EXPECT_EQ(t.TagVersion, "2.3");
    EXPECT_EQ(t.Title, "Titulo");
    EXPECT_EQ(t.Artist, "Artista");
    EXPECT_EQ(t.Album, "Album");
    EXPECT_EQ(t.Year, "2001");
    EXPECT_EQ(t.Genre, "Rock");
    EXPECT_EQ(t.Comment, "Nota");
    EXPECT_EQ(t.Intro, "00:01");
    EXPECT_TRUE(MPEGFile->ID3v1.Exists);

    // The next save fits the new tag: in place, the audio and the ID3v1 block untouched.
    ASSERT_TRUE(EditorSave(file, "", "00:02"));
    const Bytes again = ReadBytes(file);
    ASSERT_EQ(again.size(), after.size());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), again.begin() + 4096));
}

TEST_F(TagFacade, NumbersInParameters) {
    const std::string file = Copy(cbr_, "numbers.mp3");
    CreateTagObjects(".mp3");
    ReadTag(file);
    const std::string e;
    auto save = [&](const std::string& track, const std::string& rating) {
        return WriteMarkerTag(file, e, e, e, e, e, track, e, e, e, e, e, e, e, rating, e, e, e, e,
                              e, e, e, e, e, e, e, e, e);
    };
    ASSERT_TRUE(save("7", "300"));
    ReadTag(file);
    EXPECT_EQ(CurrentTag.Track, "7");
    EXPECT_EQ(CurrentTag.Rating, "44");
    ASSERT_TRUE(save("", "abc"));
    ReadTag(file);
    EXPECT_EQ(CurrentTag.Rating, "0");
    EXPECT_EQ(CurrentTag.Track, "7");

    const Bytes before = ReadBytes(file);
    EXPECT_THROW(save("sete", ""), std::invalid_argument);
    EXPECT_THROW(save("-1", ""), std::invalid_argument);
    EXPECT_EQ(ReadBytes(file), before);
}

TEST_F(TagFacade, RefusesWhatItCannotWriteSafely) {
    // A missing file.
    CreateTagObjects(".mp3");
    EXPECT_FALSE(EditorSave(dir_->File("missing.mp3"), "x"));

    // A file whose stream is not valid: only Valid is set, and its tag is not overwritten
    // from fields that were never read.
    const std::string bad = dir_->File("bad.mp3");
    const Bytes tagged = Cat({TagBytes(3, Frame3("TIT2", Text0("keep"))), Bytes(20000, 0x42)});
    WriteBytes(bad, tagged);
    ReadTag(bad);
    tags::Tag expected;
    expected.Valid = kNo;
    EXPECT_EQ(CurrentTag, expected);
    EXPECT_FALSE(EditorSave(bad, "x"));
    EXPECT_EQ(ReadBytes(bad), tagged);

    // WAV analysers have no tag writer.
    const std::string wav = dir_->File("a.wav");
    ASSERT_EQ(
        std::system(("sox -q -n -r 22050 -c 1 -b 16 '" + wav + "' synth 0.5 sine 300").c_str()), 0);
    CreateTagObjects(".wav");
    ReadTag(wav);
    EXPECT_EQ(CurrentTag.ChannelMode, "Mono");
    EXPECT_EQ(CurrentTag.SampleRate, "22050 hz");
    EXPECT_EQ(CurrentTag.Duration, ",500 seg.");
    EXPECT_EQ(CurrentTag.FileSize, std::to_string(std::filesystem::file_size(wav)) + " bytes");
    EXPECT_EQ(CurrentTag.Valid, "");
    EXPECT_FALSE(EditorSave(wav, "x"));
}

TEST_F(TagFacade, ReadTagCreatesTheAnalysersItNeeds) {
    const std::string file = Copy(cbr_, "auto.MP3");
    FreeTagObjects("mp3");
    ReadTag(file);
    ASSERT_TRUE(MPEGFile);
    EXPECT_EQ(CurrentTag.Valid, "Sim");
    ReadTag("");
    EXPECT_EQ(CurrentTag, tags::Tag{});
}

} // namespace
} // namespace tavrela::tags
