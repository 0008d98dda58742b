// A save keeps everything of the old tag: compressed and encrypted version 2.4 frames,
// version 2.2 frames in their version 2.3 form, every comment besides the editor's, the
// comment's language, and version 2.4 texts with several values. Each fixture is built byte
// by byte, saved as the editor saves (through the tag facade), and checked with our reader,
// byte by byte, and with mutagen (an independent reader) when it is installed.
#include "tag_fixtures.h"
#include "tags/byte_source.h"
#include "tags/id3v2.h"
#include "tags/id3v2_frames.h"
#include "tags/id3v2_v22.h"
#include "tags/tag.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <optional>
#include <sys/wait.h>
#include <zlib.h>

namespace tavrela::tags {
namespace {

using namespace test;

Bytes Deflate(const Bytes& in) {
    uLongf n = compressBound(static_cast<uLong>(in.size()));
    Bytes out(n);
    EXPECT_EQ(compress(out.data(), &n, in.data(), static_cast<uLong>(in.size())), Z_OK);
    out.resize(n);
    return out;
}

// A compressed version 2.4 frame's data (format flags 0x09): data length indicator, zlib.
Bytes Compressed24(const Bytes& content) {
    return Cat({SyncSafe(static_cast<std::uint32_t>(content.size())), Deflate(content)});
}

Bytes U16(std::string_view utf8) {
    return Utf8ToUtf16WithBom(utf8);
}

// Comment content in encoding 0 (`desc` and `text` as Windows-1252 bytes) or 1 (UTF-8 given).
Bytes Comm(std::uint8_t enc, std::string_view lang, std::string_view desc, std::string_view text) {
    if (enc == 0) {
        return Cat({{0}, B(lang), B(desc), {0}, B(text)});
    }
    return Cat({{1}, B(lang), U16(desc), {0, 0}, U16(text)});
}

const WrittenFrame kTint{"TINT", 0, Text0("00:05")};
const WrittenFrame kTcad{"TCAD", 0, Text0("S")};
const WrittenFrame kPopm{"POPM", 0, {0, 0}};

struct KeepCase {
    const char* name;
    Bytes tag;           // the old tag
    std::string comment; // the comment the editor writes; empty keeps the stored one
    std::vector<std::pair<std::string TID3v2::*, std::string>> read; // our reader afterwards
    std::vector<WrittenFrame> frames; // every frame of the new tag, in order
    std::vector<std::string> mutagen; // lines mutagen prints for the new tag
};

void PrintTo(const KeepCase& c, std::ostream* os) {
    *os << c.name;
}

bool EditorSave(const std::string& file, const std::string& comment) {
    CreateTagObjects(".mp3");
    ReadTag(file);
    const std::string e;
    const bool ok = WriteMarkerTag(file, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e,
                                   comment, "00:05", e, e, e, e, e, e, e);
    FreeTagObjects(".mp3");
    return ok;
}

const Bytes kPng = {0x89, 'P', 'N', 'G', 1, 2, 3};
const Bytes kSecret = {0xFF, 0x00, 1, 2, 3, 4};

const KeepCase kCases[] = {
    {"CompressedAndEncryptedV24",
     TagBytes(4, Cat({Frame4("TIT2", Compressed24(Cat({{3}, B("T\xC3\xADtulo comprimido")})),
                             0x0009),
                      Frame4("COMM", Compressed24(Comm(0, "por", "", "coment\xE1rio")), 0x0009),
                      Frame4("PRIV", Cat({{0x80}, SyncSafe(6), kSecret}), 0x0005),
                      Frame4("TXXX", Cat({{7, 0x81}, SyncSafe(40), kSecret}), 0x004D),
                      Frame4("TPE2", Cat({SyncSafe(9), {0x78, 0x9C, 1, 2, 3}}), 0x0009),
                      Frame4("TIT3", Compressed24(Text0("sub")), 0x4009)})),
     "",
     {{&TID3v2::Title, "T\xC3\xADtulo comprimido"}, {&TID3v2::Comment, "coment\xC3\xA1rio"}},
     {{"TIT2", 0, Text0("T\xEDtulo comprimido")},
      {"COMM", 0, Comm(0, "por", "", "coment\xE1rio")},
      kTint,
      kTcad,
      kPopm,
      // Encrypted: carried with the method byte (0x0040), the group byte (0x0020) and, when
      // also compressed (0x0080), the decompressed size in front.
      {"PRIV", 0x0040, Cat({{0x80}, kSecret})},
      {"TXXX", 0x00E0, Cat({Be32(40), {0x81, 7}, kSecret})},
      // Damaged zlib data: carried compressed with the size it claims.
      {"TPE2", 0x0080, Cat({Be32(9), {0x78, 0x9C, 1, 2, 3}})},
      // Decompressed; the tag-alter status flag moves to its version 2.3 place.
      {"TIT3", 0x8000, Text0("sub")}},
     {"TIT2\t[\"T\xC3\xADtulo comprimido\"]",
      "COMM::por\t[\"por\", \"\", [\"coment\xC3\xA1rio\"]]", "TIT3\t[\"sub\"]"}},
    {"Version22",
     TagBytes(2, Cat({Frame2("TT2", Text0("T\xEDtulo v2.2")), Frame2("TP1", Cat({{1}, U16("Banda")})),
                      Frame2("COM", Comm(0, "por", "", "coment\xE1rio")),
                      Frame2("TXX", Cat({{0}, B("chave"), {0}, B("valor")})),
                      Frame2("PIC", Cat({{0}, B("PNG"), {3}, B("capa"), {0}, kPng})),
                      Frame2("ULT", Comm(0, "eng", "", "letra")), Frame2("CNT", {0, 0, 0, 7}),
                      Frame2("TCP", Text0("1")),
                      Frame2("LNK", Cat({B("TT2"), B("http://a.b/"), {0}})),
                      Frame2("CRM", Cat({B("x@y"), {0}, B("meta"), {0}, {1, 2, 3}})),
                      Frame2("XYZ", Text0("?")), Frame2("TIN", Text0("00:12"))})),
     "",
     {{&TID3v2::Title, "T\xC3\xADtulo v2.2"},
      {&TID3v2::Artist, "Banda"},
      {&TID3v2::Comment, "coment\xC3\xA1rio"}},
     {{"TIT2", 0, Text0("T\xEDtulo v2.2")},
      {"TPE1", 0, Text0("Banda")},
      {"COMM", 0, Comm(0, "por", "", "coment\xE1rio")},
      kTint,
      kTcad,
      kPopm,
      {"TXXX", 0, Cat({{0}, B("chave"), {0}, B("valor")})},
      {"APIC", 0, Cat({{0}, B("image/png"), {0}, {3}, B("capa"), {0}, kPng})},
      {"USLT", 0, Comm(0, "eng", "", "letra")},
      {"PCNT", 0, {0, 0, 0, 7}},
      {"TCMP", 0, Text0("1")},
      {"LINK", 0, Cat({B("TIT2"), B("http://a.b/"), {0}})}},
     {"TIT2\t[\"T\xC3\xADtulo v2.2\"]", "TPE1\t[\"Banda\"]",
      "COMM::por\t[\"por\", \"\", [\"coment\xC3\xA1rio\"]]", "TXXX:chave\t[\"valor\"]",
      "APIC:capa\t[\"image/png\", 3, \"capa\", 7]", "USLT::eng\t[\"eng\", \"\", [\"letra\"]]",
      "TCMP\t[\"1\"]"}},
    {"SeveralCommentsKept",
     TagBytes(3, Cat({Frame3("COMM", Comm(0, "eng", "", "first comment")),
                      Frame3("COMM", Comm(0, "eng", "Cue notes", "cue")),
                      Frame3("COMM", Comm(0, "deu", "", "dritter Kommentar"))})),
     "",
     {{&TID3v2::Comment, "dritter Kommentar"}},
     {{"COMM", 0, Comm(0, "eng", "", "first comment")},
      {"COMM", 0, Comm(0, "eng", "Cue notes", "cue")},
      {"COMM", 0, Comm(0, "deu", "", "dritter Kommentar")},
      kTint,
      kTcad,
      kPopm},
     {"COMM::eng\t[\"eng\", \"\", [\"first comment\"]]",
      "COMM:Cue notes:eng\t[\"eng\", \"Cue notes\", [\"cue\"]]",
      "COMM::deu\t[\"deu\", \"\", [\"dritter Kommentar\"]]"}},
    // The editor's comment replaces the last one without a description and stays the last.
    {"SeveralCommentsOneEdited",
     TagBytes(3, Cat({Frame3("COMM", Comm(0, "deu", "", "dritter Kommentar")),
                      Frame3("TIT2", Text0("t")),
                      Frame3("COMM", Comm(0, "eng", "", "first comment")),
                      Frame3("COMM", Comm(0, "eng", "Cue notes", "cue"))})),
     "novo",
     {{&TID3v2::Comment, "novo"}},
     {{"TIT2", 0, Text0("t")},
      {"COMM", 0, Comm(0, "deu", "", "dritter Kommentar")},
      {"COMM", 0, Comm(0, "eng", "Cue notes", "cue")},
      {"COMM", 0, Comm(0, "eng", "", "novo")},
      kTint,
      kTcad,
      kPopm},
     {"COMM::deu\t[\"deu\", \"\", [\"dritter Kommentar\"]]", "COMM::eng\t[\"eng\", \"\", [\"novo\"]]"}},
    // The language stays, and so does UTF-16 (also for text that would fit a single byte).
    {"CommentLanguageKept",
     TagBytes(3, Frame3("COMM", Comm(1, "pol", "", "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87"))), "",
     {{&TID3v2::Comment, "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87"}},
     {{"COMM", 0, Comm(1, "pol", "", "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87")}, kTint, kTcad, kPopm},
     {"COMM::pol\t[\"pol\", \"\", [\"Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87\"]]"}},
    {"CommentUtf16Kept", TagBytes(3, Frame3("COMM", Comm(1, "pol", "", "stary"))), "nowy",
     {{&TID3v2::Comment, "nowy"}},
     {{"COMM", 0, Comm(1, "pol", "", "nowy")}, kTint, kTcad, kPopm},
     {"COMM::pol\t[\"pol\", \"\", [\"nowy\"]]"}},
    // Text that needs more than a single byte: UTF-16, the language kept.
    {"CommentLanguageWithNewText", TagBytes(3, Frame3("COMM", Comm(0, "pol", "", "stary"))),
     "\xC5\xBC\xC3\xB3\xC5\x82w", {{&TID3v2::Comment, "\xC5\xBC\xC3\xB3\xC5\x82w"}},
     {{"COMM", 0, Comm(1, "pol", "", "\xC5\xBC\xC3\xB3\xC5\x82w")}, kTint, kTcad, kPopm},
     {"COMM::pol\t[\"pol\", \"\", [\"\xC5\xBC\xC3\xB3\xC5\x82w\"]]"}},
    // UTF-8 (version 2.4) has no version 2.3 form: UTF-16.
    {"CommentUtf8V24",
     TagBytes(4, Frame4("COMM", Cat({{3}, B("pol"), {0}, B("stary")}))), "nowy",
     {{&TID3v2::Comment, "nowy"}},
     {{"COMM", 0, Comm(1, "pol", "", "nowy")}, kTint, kTcad, kPopm},
     {"COMM::pol\t[\"pol\", \"\", [\"nowy\"]]"}},
    {"NewCommentIsEnglish", TagBytes(3, Frame3("TIT2", Text0("t"))), "novo",
     {{&TID3v2::Comment, "novo"}},
     {{"TIT2", 0, Text0("t")}, {"COMM", 0, Comm(0, "eng", "", "novo")}, kTint, kTcad, kPopm},
     {"COMM::eng\t[\"eng\", \"\", [\"novo\"]]"}},
    // Several values of a version 2.4 text frame are joined with "/"; TIPL holds pairs.
    {"MultiValueV24",
     TagBytes(4, Cat({Frame4("TPE1", Cat({{3}, B("Ana"), {0}, B("Bia"), {0}})),
                      Frame4("TPE2", Cat({{1}, U16("X"), {0, 0}, U16("\xC3\x9C")})),
                      Frame4("TXXX", Cat({{0}, B("k"), {0}, B("a"), {0}, B("b")})),
                      Frame4("TCON", Cat({{0}, B("Rock"), {0}, B("Pop")})),
                      Frame4("TIPL", Cat({{0}, B("mix"), {0}, B("Z\xE9")}))})),
     "",
     {{&TID3v2::Artist, "Ana/Bia"}, {&TID3v2::Genre, "Rock/Pop"}},
     {{"TPE1", 0, Text0("Ana/Bia")},
      {"TCON", 0, Text0("Rock/Pop")},
      kTint,
      kTcad,
      kPopm,
      {"TPE2", 0, Cat({{1}, U16("X/\xC3\x9C")})},
      {"TXXX", 0, Cat({{0}, B("k"), {0}, B("a/b")})},
      {"TIPL", 0, Cat({{0}, B("mix"), {0}, B("Z\xE9")})}},
     {"TPE1\t[\"Ana/Bia\"]", "TPE2\t[\"X/\xC3\x9C\"]", "TXXX:k\t[\"a/b\"]"}},
};

class TagSaveKeeps : public ::testing::TestWithParam<KeepCase> {
protected:
    TempDir dir;
    std::string file = dir.File("song.mp3");
    const Bytes audio = MpegFrames(40);

    // Saves the case's fixture as the editor does; the new file's bytes.
    Bytes Saved() {
        WriteBytes(file, Cat({GetParam().tag, audio}));
        EXPECT_TRUE(EditorSave(file, GetParam().comment));
        return ReadBytes(file);
    }
};

TEST_P(TagSaveKeeps, OurReaderAndTheBytes) {
    const KeepCase& c = GetParam();
    const Bytes out = Saved();
    ASSERT_GE(out.size(), audio.size());
    EXPECT_EQ(Bytes(out.end() - static_cast<std::ptrdiff_t>(audio.size()), out.end()), audio);
    const std::vector<WrittenFrame> frames = FramesOf(out);
    ASSERT_EQ(frames.size(), c.frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].id, c.frames[i].id) << i;
        EXPECT_EQ(frames[i].flags, c.frames[i].flags) << c.frames[i].id;
        EXPECT_EQ(frames[i].data, c.frames[i].data) << c.frames[i].id;
    }
    TID3v2 back;
    ASSERT_TRUE(back.ReadFromFile(file));
    for (const auto& [field, text] : c.read) {
        EXPECT_EQ(back.*field, text);
    }
    // Nothing changes on the next save.
    ASSERT_TRUE(EditorSave(file, ""));
    EXPECT_EQ(ReadBytes(file), out);
}

// mutagen's lines for a file; nullopt when it is not installed.
std::optional<std::vector<std::string>> MutagenLines(const std::string& file) {
    const std::string python = TAVRELA_PYTHON3;
    if (python.empty()) {
        return std::nullopt;
    }
    const std::string command =
        "'" + python + "' '" + TAVRELA_MUTAGEN_SCRIPT + "' '" + file + "' 2>&1";
    FILE* p = ::popen(command.c_str(), "r");
    if (p == nullptr) {
        return std::nullopt;
    }
    std::string out;
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) {
        out.append(buf, n);
    }
    const int status = ::pclose(p);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 3) {
        return std::nullopt;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(out.substr(start, end - start));
    }
    return lines;
}

TEST_P(TagSaveKeeps, MutagenReadsTheSavedTag) {
    const KeepCase& c = GetParam();
    Saved();
    const auto lines = MutagenLines(file);
    if (!lines) {
        GTEST_SKIP() << "mutagen (python3-mutagen) is not installed";
    }
    ASSERT_FALSE(lines->empty());
    EXPECT_EQ(lines->front(), "version\t[2, 3, 0]");
    std::string all;
    for (const std::string& l : *lines) {
        all += l + "\n";
    }
    for (const std::string& expected : c.mutagen) {
        EXPECT_NE(std::find(lines->begin(), lines->end(), expected), lines->end())
            << expected << "\nmutagen read:\n"
            << all;
    }
}

INSTANTIATE_TEST_SUITE_P(Classes, TagSaveKeeps, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Id3v2Version22, FramesInTheirVersion23Form) {
    const struct {
        const char* id;
        Bytes data;
        std::optional<std::pair<std::string, Bytes>> v23;
    } cases[] = {
        {"TT2", Text0("t"), {{"TIT2", Text0("t")}}},
        {"TXX", Cat({{0}, B("k"), {0}, B("v")}), {{"TXXX", Cat({{0}, B("k"), {0}, B("v")})}}},
        {"COM", Comm(0, "por", "", "c"), {{"COMM", Comm(0, "por", "", "c")}}},
        {"WXX", Cat({{0}, {0}, B("u")}), {{"WXXX", Cat({{0}, {0}, B("u")})}}},
        {"TOR", Text0("1999"), {{"TORY", Text0("1999")}}},
        {"TCP", Text0("1"), {{"TCMP", Text0("1")}}},
        {"TIN", Text0("00:01"), {{"TINT", Text0("00:01")}}}, // playout frames
        {"TRI", Text0("00:01"), {{"TRIT", Text0("00:01")}}},
        {"PIC", Cat({{0}, B("JPG"), {3}, {0}, {9}}),
         {{"APIC", Cat({{0}, B("image/jpeg"), {0}, {3}, {0}, {9}})}}},
        {"PIC", Cat({{1}, B("GIF"), {0}, {0xFF, 0xFE, 0, 0}, {9}}),
         {{"APIC", Cat({{1}, B("image/gif"), {0}, {0}, {0xFF, 0xFE, 0, 0}, {9}})}}},
        {"PIC", Cat({{0}, B("-->"), {0}, {0}, B("http://x")}),
         {{"APIC", Cat({{0}, B("-->"), {0}, {0}, {0}, B("http://x")})}}},
        {"PIC", Cat({{0}, B("PN")}), std::nullopt}, // too short
        {"LNK", Cat({B("TAL"), B("http://x"), {0}}),
         {{"LINK", Cat({B("TALB"), B("http://x"), {0}})}}},
        {"LNK", Cat({B("XXX"), B("http://x"), {0}}), std::nullopt},
        {"CRM", Cat({B("o"), {0}, B("d"), {0}, {1}}), std::nullopt},
        {"ZZZ", Text0("z"), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(V23FrameOfV22(c.id, c.data), c.v23) << c.id;
    }
    // The save reports what it cannot keep.
    const Bytes file = Cat({TagBytes(2, Cat({Frame2("TT2", Text0("t")), Frame2("CRM", {1}),
                                             Frame2("ZZZ", Text0("z")), Frame2("PIC", {0})})),
                            MpegFrames(4)});
    EXPECT_EQ(Id3v2FramesWithoutV23Form(MemorySource(file)),
              (std::vector<std::string>{"CRM", "ZZZ", "PIC"}));
}

} // namespace
} // namespace tavrela::tags
