// Reading ID3v2 tags: layouts of versions 2.2-2.4, text encodings, the table's fall-backs,
// and the tag-level features (extended header, unsynchronisation) that must not end the scan.
#include "tag_fixtures.h"
#include "tags/byte_source.h"
#include "tags/id3v2.h"

#include <gtest/gtest.h>

namespace tavrela::tags {
namespace {

using namespace test;

TID3v2 Read(const Bytes& file) {
    TID3v2 tag;
    const MemorySource source(file);
    EXPECT_TRUE(tag.ReadFrom(source));
    return tag;
}

// Audio-like bytes behind the tag so that declared sizes fit in the file.
Bytes WithAudio(const Bytes& tag) {
    return Cat({tag, Bytes(256, 0x55)});
}

struct FieldCase {
    const char* name;
    Bytes tag;
    std::string TID3v2::*field;
    std::string expected;
};

class Id3v2Field : public ::testing::TestWithParam<FieldCase> {};

TEST_P(Id3v2Field, Decodes) {
    const FieldCase& c = GetParam();
    const TID3v2 tag = Read(WithAudio(c.tag));
    EXPECT_TRUE(tag.Exists);
    EXPECT_EQ(tag.*c.field, c.expected);
}

const Bytes kUtf16Le = {1, 0xFF, 0xFE, 'S', 0, 0xE3, 0, 'o', 0, 0, 0};
const Bytes kUtf16Be = {1, 0xFE, 0xFF, 0, 'S', 0, 0xE3, 0, 'o'};
const Bytes kUtf16BeNoBom = {2, 0, 'S', 0, 0xE3, 0, 'o'};
const Bytes kUtf8 = {3, 'S', 0xC3, 0xA3, 'o', 0};

INSTANTIATE_TEST_SUITE_P(
    Cases, Id3v2Field,
    ::testing::Values(
        FieldCase{"Latin", TagBytes(3, Frame3("TIT2", Text0(" Canc\xE3o \x93x\x94 "))),
                  &TID3v2::Title, "Canc\xC3\xA3o \xE2\x80\x9Cx\xE2\x80\x9D"},
        FieldCase{"Utf16Le", TagBytes(3, Frame3("TIT2", kUtf16Le)), &TID3v2::Title, "S\xC3\xA3o"},
        FieldCase{"Utf16BigEndianBom", TagBytes(3, Frame3("TIT2", kUtf16Be)), &TID3v2::Title,
                  "S\xC3\xA3o"},
        FieldCase{"Utf16Be", TagBytes(4, Frame4("TIT2", kUtf16BeNoBom)), &TID3v2::Title,
                  "S\xC3\xA3o"},
        FieldCase{"Utf8", TagBytes(4, Frame4("TIT2", kUtf8)), &TID3v2::Title, "S\xC3\xA3o"},
        FieldCase{"TitleFallsBackToTIT1", TagBytes(3, Frame3("TIT1", Text0("Grupo"))),
                  &TID3v2::Title, "Grupo"},
        FieldCase{"ArtistFallsBackToTOPE", TagBytes(3, Frame3("TOPE", Text0("Orig"))),
                  &TID3v2::Artist, "Orig"},
        FieldCase{"YearFromTDRC", TagBytes(4, Frame4("TDRC", Text0("2009-05-01"))), &TID3v2::Year,
                  "2009"},
        FieldCase{"GenreNumberRemoved", TagBytes(3, Frame3("TCON", Text0("(17)Rock"))),
                  &TID3v2::Genre, "Rock"},
        FieldCase{"GenreWithParentheses", TagBytes(3, Frame3("TCON", Text0("Rock (Live)"))),
                  &TID3v2::Genre, "Rock (Live)"},
        FieldCase{"GenreReferences", TagBytes(3, Frame3("TCON", Text0("(13)(RX)Pop"))),
                  &TID3v2::Genre, "Pop"},
        FieldCase{"GenreNumberOnly", TagBytes(3, Frame3("TCON", Text0("(13)"))), &TID3v2::Genre,
                  ""},
        FieldCase{"TrackText", TagBytes(3, Frame3("TRCK", Text0("3/12"))), &TID3v2::TrackString,
                  "3/12"},
        FieldCase{"Marker", TagBytes(3, Frame3("TINT", Text0("00:12.5"))), &TID3v2::Intro,
                  "00:12.5"},
        FieldCase{"MarkerV22", TagBytes(2, Frame2("TMI", Text0("00:01"))), &TID3v2::AudioStart,
                  "00:01"},
        FieldCase{"V22TriIsTrit", TagBytes(2, Frame2("TRI", Text0("01:05"))), &TID3v2::FrameTRIT,
                  "01:05"},
        FieldCase{"V22TriIsChorus", TagBytes(2, Frame2("TRI", Text0("01:05"))),
                  &TID3v2::ChorusStart, "01:05"},
        FieldCase{
            "LinkIsSingleByte",
            TagBytes(3, Frame3("WXXX", Cat({{1, 0xFF, 0xFE, 'd', 0, 0, 0}, B("http://a.b/")}))),
            &TID3v2::Link, "http://a.b/"},
        // A text longer than any fixed buffer is read whole, and the next frame is found.
        FieldCase{"LongFrame",
                  TagBytes(3, Cat({Frame3("TIT2", Text0(std::string(699, 'x'))),
                                   Frame3("TPE1", Text0("after"))})),
                  &TID3v2::Artist, "after"},
        // Compressed (0x80), encrypted (0x40) and grouped (0x20) frames are not decoded.
        FieldCase{"CompressedSkipped", TagBytes(3, Frame3("TIT2", Text0("zz"), 0x0080)),
                  &TID3v2::Title, ""},
        FieldCase{"GroupedSkipped", TagBytes(3, Frame3("TIT2", Cat({{7}, Text0("g")}), 0x0020)),
                  &TID3v2::Title, ""},
        // The same frame in version 2.2 has no flags and is read.
        FieldCase{"V22HasNoFlags", TagBytes(2, Frame2("TT2", Text0("zz"))), &TID3v2::Title, "zz"},
        // Extended headers: 2.3 size without itself (6), 2.4 sync-safe with itself (6).
        FieldCase{"ExtendedHeaderV23",
                  TagBytes(3, Cat({Be32(6), Bytes(6, 0), Frame3("TIT2", Text0("ext"))}), 0, 0x40),
                  &TID3v2::Title, "ext"},
        FieldCase{"ExtendedHeaderV24",
                  TagBytes(4, Cat({SyncSafe(6), {1, 0}, Frame4("TIT2", Text0("ext"))}), 0, 0x40),
                  &TID3v2::Title, "ext"},
        // Whole-tag unsynchronisation (2.3): FF 00 in the stored bytes stands for FF.
        FieldCase{
            "UnsyncV23",
            TagBytes(
                3,
                Cat({B("TIT2"), Be32(3), {0, 0}, {0, 0xFF, 0x00, 'y'}, Frame3("TPE1", Text0("z"))}),
                0, 0x80),
            &TID3v2::Artist, "z"},
        // Per-frame unsynchronisation and data length indicator (2.4).
        FieldCase{
            "UnsyncV24",
            TagBytes(4,
                     Cat({B("TIT2"), SyncSafe(8), {0, 0x03}, SyncSafe(4), {0, 0xFF, 0x00, 0xE9}})),
            &TID3v2::Title, "\xC3\xBF\xC3\xA9"},
        // Plain 32-bit frame sizes in a 2.4 tag (a 200-byte frame breaks the sync-safe chain).
        FieldCase{"V24PlainSizes",
                  TagBytes(4, Cat({Frame3("TIT2", Text0(std::string(199, 'p'))),
                                   Frame3("TPE1", Text0("plain"))})),
                  &TID3v2::Artist, "plain"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Id3v2Read, TrackNumber) {
    const struct {
        const char* text;
        std::uint16_t track;
    } cases[] = {{"3/12", 3}, {"7", 7}, {"x", 0}, {"", 0}, {"-2", 0}, {"70000", 0}};
    for (const auto& c : cases) {
        const TID3v2 tag = Read(WithAudio(TagBytes(3, Frame3("TRCK", Text0(c.text)))));
        EXPECT_EQ(tag.Track, c.track) << c.text;
    }
}

TEST(Id3v2Read, CommentIsTheLastWithEmptyDescription) {
    const Bytes first = Cat({{0}, B("eng"), {0}, B("first")});
    const Bytes player = Cat({{0}, B("eng"), B("iTunNORM"), {0}, B(" 0000 1111")});
    const Bytes second = Cat({{1}, B("por"), {0xFF, 0xFE, 0, 0}, {0xFF, 0xFE, 'B', 0, 0xE9, 0}});
    const TID3v2 tag = Read(WithAudio(
        TagBytes(3, Cat({Frame3("COMM", first), Frame3("COMM", second), Frame3("COMM", player)}))));
    EXPECT_EQ(tag.Comment, "B\xC3\xA9");
    // Only a described comment: not shown as the comment.
    EXPECT_EQ(Read(WithAudio(TagBytes(3, Frame3("COMM", player)))).Comment, "");
}

TEST(Id3v2Read, Rating) {
    const Bytes anonymous = {0, 196};
    const Bytes withMail = Cat({B("a@b.c"), {0, 77, 0, 0, 0, 1}});
    EXPECT_EQ(Read(WithAudio(TagBytes(3, Frame3("POPM", anonymous)))).Rating, 196);
    EXPECT_EQ(Read(WithAudio(TagBytes(3, Frame3("POPM", withMail)))).Rating, 77);
    // The rating without an e-mail wins over an earlier one with an e-mail.
    EXPECT_EQ(
        Read(WithAudio(TagBytes(4, Cat({Frame4("POPM", withMail), Frame4("POPM", anonymous)}))))
            .Rating,
        196);
    EXPECT_EQ(Read(WithAudio(TagBytes(2, Frame2("POP", withMail)))).Rating, 77);
}

TEST(Id3v2Read, HeaderCases) {
    TID3v2 tag;
    const Bytes shortFile = {'I', 'D', '3', 3, 0};
    EXPECT_FALSE(tag.ReadFrom(MemorySource(shortFile)));
    EXPECT_FALSE(tag.ReadFromFile("/nonexistent/file.mp3"));

    const Bytes noTag(64, 0x11);
    ASSERT_TRUE(tag.ReadFrom(MemorySource(noTag)));
    EXPECT_FALSE(tag.Exists);

    // Unsupported version: present, fields empty.
    tag = Read(WithAudio(TagBytes(5, Frame3("TIT2", Text0("v5")))));
    EXPECT_TRUE(tag.Exists);
    EXPECT_EQ(tag.VersionID, 5);
    EXPECT_EQ(tag.Title, "");

    // Declared size past the end of the file: size 0, fields empty.
    Bytes tooBig = TagBytes(3, Frame3("TIT2", Text0("big")));
    tooBig[8] = 0x7F;
    tag = Read(tooBig);
    EXPECT_TRUE(tag.Exists);
    EXPECT_EQ(tag.Size, 0u);
    EXPECT_EQ(tag.Title, "");

    // Footer flag adds 10 bytes to the size.
    tag = Read(WithAudio(TagBytes(4, Frame4("TIT2", Text0("f")), 0, 0x10)));
    EXPECT_EQ(tag.Size, 10u + 12u + 10u);
    EXPECT_EQ(tag.Title, "f");
}

TEST(Id3v2Read, GarbageEndsTheScanKeepingEarlierFrames) {
    const Bytes frames =
        Cat({Frame3("TIT2", Text0("kept")), B("tIT2"), Be32(2), {0, 0}, Text0("x")});
    const TID3v2 tag = Read(WithAudio(TagBytes(3, frames)));
    EXPECT_EQ(tag.Title, "kept");
    // A frame whose size runs past the tag ends the scan too.
    const Bytes overrun = Cat({Frame3("TPE1", Text0("a")), B("TALB"), Be32(1000), {0, 0}});
    EXPECT_EQ(Read(WithAudio(TagBytes(3, overrun))).Artist, "a");
}

} // namespace
} // namespace tavrela::tags
