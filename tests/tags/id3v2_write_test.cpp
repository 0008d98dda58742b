// Writing ID3v2 tags: the frame layout, in place or through the temporary file, what the new
// tag carries over from the old one, and the file-level safety of the rewrite.
#include "tag_fixtures.h"
#include "tags/byte_source.h"
#include "tags/id3v2.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tavrela::tags {
namespace {

using namespace test;

const Bytes kAudio = [] {
    Bytes a(5000);
    for (std::size_t i = 0; i < a.size(); ++i) {
        a[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return a;
}();

Bytes Find(const Bytes& file, const std::string& id) {
    for (const WrittenFrame& f : FramesOf(file)) {
        if (f.id == id) {
            return f.data;
        }
    }
    return {};
}

std::size_t TagSizeOf(const Bytes& file) {
    return 10 + (std::size_t(file[6]) << 21 | std::size_t(file[7]) << 14 |
                 std::size_t(file[8]) << 7 | file[9]);
}

Bytes AudioAfterTag(const Bytes& file) {
    return Bytes(file.begin() + static_cast<long>(TagSizeOf(file)), file.end());
}

class Id3v2Write : public ::testing::Test {
protected:
    TempDir dir;
    std::string file = dir.File("song.mp3");

    TID3v2 ReadBack() {
        TID3v2 t;
        EXPECT_TRUE(t.ReadFromFile(file));
        return t;
    }
};

TEST_F(Id3v2Write, MarkerFrameLayout) {
    WriteBytes(file, kAudio);
    TID3v2 tag;
    tag.Intro = "1:5";
    ASSERT_TRUE(tag.SaveToFile(file));
    const Bytes out = ReadBytes(file);
    // Header: "ID3" 3.0, no flags, sync-safe size of a 4096-byte tag.
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 10),
              (Bytes{'I', 'D', '3', 3, 0, 0, 0, 0, 0x1F, 0x76}));
    // The table order puts TINT first, then POPM (present in every written tag).
    const Bytes expected =
        Cat({B("TINT"), {0, 0, 0, 4, 0, 0, 0}, B("1:5"), B("POPM"), {0, 0, 0, 2, 0, 0, 0, 0}});
    EXPECT_EQ(Bytes(out.begin() + 10, out.begin() + 10 + static_cast<long>(expected.size())),
              expected);
    EXPECT_EQ(out.size(), 4096 + kAudio.size());
    EXPECT_EQ(AudioAfterTag(out), kAudio);
    EXPECT_FALSE(std::filesystem::exists(file + "~"));
}

TEST_F(Id3v2Write, RoundTripOfEveryField) {
    WriteBytes(file, kAudio);
    TID3v2 tag;
    int i = 0;
    for (auto field :
         {&TID3v2::Title,       &TID3v2::Artist,      &TID3v2::Album,      &TID3v2::Year,
          &TID3v2::Genre,       &TID3v2::Comment,     &TID3v2::Composer,   &TID3v2::Encoder,
          &TID3v2::Copyright,   &TID3v2::Language,    &TID3v2::Link,       &TID3v2::FrameTRIT,
          &TID3v2::Intro,       &TID3v2::FrameTEXT,   &TID3v2::FrameTEST,  &TID3v2::FrameTIDM,
          &TID3v2::StampTime,   &TID3v2::StampJingle, &TID3v2::AudioStart, &TID3v2::AudioEnd,
          &TID3v2::ChorusStart, &TID3v2::ChorusEnd,   &TID3v2::FrameTCAD,  &TID3v2::FrameTSUC,
          &TID3v2::FrameTGRA,   &TID3v2::FrameTVOC,   &TID3v2::FrameTTPE,  &TID3v2::FrameTPIN,
          &TID3v2::FrameTPFI,   &TID3v2::MixPoint}) {
        tag.*field = "v" + std::to_string(i++) + " \xC3\xA7";
    }
    tag.Title = "\xD0\x9C\xD0\xB8\xD1\x80 \xE2\x82\xAC"; // not Windows-1252: UTF-16
    tag.Comment = "\xE6\x97\xA5\xE6\x9C\xAC";
    tag.Track = 9;
    tag.Rating = 200;
    ASSERT_TRUE(tag.SaveToFile(file));
    TID3v2 back = ReadBack();
    EXPECT_TRUE(back.Exists);
    EXPECT_EQ(back.VersionID, 3);
    back.Exists = false;
    back.VersionID = 0;
    back.Size = 0;
    back.TrackString.clear();
    EXPECT_TRUE(back == tag) << "a field did not survive the round trip";
    EXPECT_EQ(back.Title, tag.Title);
    EXPECT_EQ(back.Comment, tag.Comment);
    // Text that fits Windows-1252 stays single-byte; other text is UTF-16 with a BOM.
    const Bytes out = ReadBytes(file);
    EXPECT_EQ(Find(out, "TPE1"), Cat({{0}, B("v1 \xE7")}));
    const Bytes title = Find(out, "TIT2");
    EXPECT_EQ(Bytes(title.begin(), title.begin() + 3), (Bytes{1, 0xFF, 0xFE}));
    // Saving again writes the same bytes (in place now).
    ASSERT_TRUE(tag.SaveToFile(file));
    EXPECT_EQ(ReadBytes(file), out);
}

TEST_F(Id3v2Write, InPlaceOrRewriteBySize) {
    struct Case {
        const char* name;
        std::size_t oldPadding;
        std::string title;
        std::size_t newSize;
    } cases[] = {
        {"fits the old 2048 bytes", 2048 - 10 - 15, "short", 2048},
        {"more text than fits", 2048 - 10 - 15, std::string(3000, 't'), 4096},
        {"old tag of 10000 bytes", 10000 - 10 - 15, "short", 4096},
    };
    for (const Case& c : cases) {
        const Bytes old = TagBytes(3, Frame3("TIT2", Text0("abcd")), c.oldPadding);
        WriteBytes(file, Cat({old, kAudio}));
        TID3v2 tag = ReadBack();
        tag.Title = c.title;
        ASSERT_TRUE(tag.SaveToFile(file)) << c.name;
        const Bytes out = ReadBytes(file);
        EXPECT_EQ(TagSizeOf(out), c.newSize) << c.name;
        EXPECT_EQ(AudioAfterTag(out), kAudio) << c.name;
        EXPECT_EQ(ReadBack().Title, c.title) << c.name;
    }
}

TEST_F(Id3v2Write, KeepsFramesOutsideTheTableFromVersion23) {
    const Bytes picture = Cat({{0}, B("image/png"), {0, 3}, B("capa"), {0}, Bytes(5000, 0x89)});
    const Bytes txxx = Cat({{1, 0xFF, 0xFE, 'k', 0, 0, 0, 0xFF, 0xFE, 'v', 0}});
    const Bytes priv = Cat({B("owner"), {0, 1, 2, 3}});
    const Bytes described = Cat({{0}, B("eng"), B("iTunNORM"), {0}, B(" 00000A")});
    const Bytes mailRating = Cat({B("x@y.z"), {0, 99, 0, 0, 0, 5}});
    const Bytes compressedTitle = Cat({Be32(10), {0x78, 0x9C, 1, 2, 3}});
    const Bytes compressedAlbum = Cat({Be32(10), {0x78, 0x9C, 4, 5, 6}});
    const Bytes frames =
        Cat({Frame3("TIT2", Text0("old")), Frame3("APIC", picture, 0x0000), Frame3("TXXX", txxx),
             Frame3("PRIV", priv, 0x4000), Frame3("COMM", described), Frame3("TLEN", Text0("1000")),
             Frame3("POPM", mailRating), Frame3("TDRC", Text0("2001")),
             Frame3("TIT2", compressedTitle, 0x0080), Frame3("TALB", compressedAlbum, 0x0080)});
    WriteBytes(file, Cat({TagBytes(3, frames, 100), kAudio}));
    TID3v2 tag = ReadBack();
    tag.Intro = "00:10";
    ASSERT_TRUE(tag.SaveToFile(file));
    const Bytes out = ReadBytes(file);
    EXPECT_EQ(Find(out, "APIC"), picture);
    EXPECT_EQ(Find(out, "TXXX"), txxx);
    EXPECT_EQ(Find(out, "PRIV"), priv);
    EXPECT_EQ(Find(out, "COMM"), described);
    EXPECT_EQ(Find(out, "TLEN"), Text0("1000"));
    EXPECT_EQ(Find(out, "TDRC"), Text0("2001"));
    EXPECT_EQ(Find(out, "TINT"), Text0("00:10"));
    EXPECT_EQ(Find(out, "TIT2"), Text0("old"));    // the written title replaces both
    EXPECT_EQ(Find(out, "TALB"), compressedAlbum); // carried: no album was written
    // The carried frames keep their flags.
    int popm = 0;
    for (const WrittenFrame& f : FramesOf(out)) {
        popm += f.id == "POPM";
        EXPECT_NE(f.data, compressedTitle);
    }
    EXPECT_EQ(popm, 2);
    EXPECT_EQ(AudioAfterTag(out), kAudio);
    const TID3v2 back = ReadBack();
    EXPECT_EQ(back.Comment, "");
    EXPECT_EQ(back.Rating, 99); // read from the e-mail POPM, written again without one
    EXPECT_EQ(back.Year, "2001");
}

TEST_F(Id3v2Write, ConvertsVersion24FramesToVersion23) {
    const Bytes utf8Txxx = Cat({{3}, B("chave"), {0}, B("S\xC3\xA3o")});
    const Bytes utf8Picture =
        Cat({{3}, B("image/jpeg"), {0, 3}, B("\xC3\xA9"), {0}, {0xFF, 0xD8, 0xFF}});
    // Per-frame unsynchronisation with a data length indicator: the stored FF 00 is FF.
    const Bytes unsyncPriv = Cat({SyncSafe(4), {'o', 0, 0xFF, 0x00, 0xE0}});
    const Bytes frames =
        Cat({Frame4("TXXX", utf8Txxx), Frame4("APIC", utf8Picture, 0x4000),
             Frame4("PRIV", unsyncPriv, 0x0003), Frame4("TIT2", Cat({{3}, B("T\xC3\xADtulo")})),
             Frame4("GRP1", Text0("g"), 0x0040 /* group byte 0 */),
             Frame4("TLEN", Text0("5"), 0x0008 /* compressed */)});
    WriteBytes(file, Cat({TagBytes(4, frames), kAudio}));
    TID3v2 tag = ReadBack();
    EXPECT_EQ(tag.Title, "T\xC3\xADtulo");
    ASSERT_TRUE(tag.SaveToFile(file));
    const Bytes out = ReadBytes(file);
    EXPECT_EQ(Find(out, "TXXX"),
              Cat({{1}, Utf8ToUtf16WithBom("chave"), {0, 0}, Utf8ToUtf16WithBom("S\xC3\xA3o")}));
    EXPECT_EQ(Find(out, "APIC"), Cat({{1},
                                      B("image/jpeg"),
                                      {0, 3},
                                      Utf8ToUtf16WithBom("\xC3\xA9"),
                                      {0, 0},
                                      {0xFF, 0xD8, 0xFF}}));
    EXPECT_EQ(Find(out, "PRIV"), (Bytes{'o', 0, 0xFF, 0xE0}));
    EXPECT_EQ(Find(out, "TIT2"), Cat({{0}, B("T\xEDtulo")}));
    EXPECT_EQ(Find(out, "GRP1"), Text0("g")); // group byte 0, then the content
    // Compressed without a data length, and not zlib data: carried, its size unknown (0).
    EXPECT_EQ(Find(out, "TLEN"), Cat({Be32(0), Text0("5")}));
    // Flags moved to their version 2.3 places: tag-alter 0x4000 -> 0x8000, grouping -> 0x0020.
    const std::size_t apic = std::string(out.begin(), out.end()).find("APIC");
    EXPECT_EQ(out[apic + 8], 0x80);
    const std::size_t grp = std::string(out.begin(), out.end()).find("GRP1");
    EXPECT_EQ(out[grp + 9], 0x20);
    EXPECT_EQ(AudioAfterTag(out), kAudio);
}

TEST_F(Id3v2Write, KeepsTrackText) {
    WriteBytes(file, Cat({TagBytes(3, Frame3("TRCK", Text0("03/12")), 500), kAudio}));
    TID3v2 tag = ReadBack();
    ASSERT_TRUE(tag.SaveToFile(file));
    EXPECT_EQ(ReadBack().TrackString, "03/12");
    tag.Track = 4;
    ASSERT_TRUE(tag.SaveToFile(file));
    EXPECT_EQ(ReadBack().TrackString, "4");
}

TEST_F(Id3v2Write, AddsOwnerWriteAndKeepsPermissionBits) {
    for (bool rewrite : {false, true}) {
        WriteBytes(file, Cat({TagBytes(3, Frame3("TIT2", Text0("a")), 1000), kAudio}));
        ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
        TID3v2 tag = ReadBack();
        tag.Title = rewrite ? std::string(5000, 'r') : "b";
        ASSERT_TRUE(tag.SaveToFile(file)) << rewrite;
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0644u) << rewrite;
        EXPECT_EQ(ReadBack().Title, tag.Title);
    }
}

TEST_F(Id3v2Write, RefusedSaveLeavesTheOriginal) {
    // A missing or too short file is not written.
    TID3v2 tag;
    tag.Title = "new";
    EXPECT_FALSE(tag.SaveToFile(dir.File("missing.mp3")));
    WriteBytes(dir.File("tiny.mp3"), {1, 2, 3});
    EXPECT_FALSE(tag.SaveToFile(dir.File("tiny.mp3")));
    EXPECT_EQ(ReadBytes(dir.File("tiny.mp3")), (Bytes{1, 2, 3}));
}

TEST_F(Id3v2Write, RewriteReplacesAStaleTemporaryFileAndFollowsLinks) {
    WriteBytes(file, kAudio);
    WriteBytes(file + "~", Bytes(10, 9));
    const std::string link = dir.File("link.mp3");
    std::filesystem::create_symlink(file, link);
    TID3v2 tag;
    tag.Title = "via link";
    ASSERT_TRUE(tag.SaveToFile(link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_FALSE(std::filesystem::exists(file + "~"));
    EXPECT_EQ(ReadBack().Title, "via link");
}

} // namespace
} // namespace tavrela::tags
