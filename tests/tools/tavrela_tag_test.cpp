// tavrela-tag run as a program: exit codes, the text and JSON output, and the files it writes
// read back with the tag reader.
#include "mp3_fixtures.h"
#include "tags/tag.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace tavrela::tags {
namespace {

using namespace test;

struct ToolRun {
    int status = -1;
    std::string out;
};

// Runs the tool with shell-quoted arguments; stderr is discarded unless asked for (then it
// follows stdout).
ToolRun Tool(const std::string& args, bool withStderr = false) {
    ToolRun r;
    const std::string command = std::string("'") + TAVRELA_TAG_EXE + "' " + args +
                                (withStderr ? " 2>&1" : " 2>/dev/null");
    FILE* p = ::popen(command.c_str(), "r");
    if (p == nullptr) {
        return r;
    }
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) {
        r.out.append(buf, n);
    }
    const int status = ::pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string Q(const std::string& s) {
    return "'" + s + "'";
}

class TavrelaTag : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        mp3_ = MakeMp3(*dir_, "song", 44100, 2, 3, "-b 160 --add-id3v2 --tt Original --ta Banda");
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static TempDir* dir_;
    static std::string mp3_;
};
TempDir* TavrelaTag::dir_ = nullptr;
std::string TavrelaTag::mp3_;

TEST_F(TavrelaTag, AnswersVersionAndHelpOnStandardOutput) {
    EXPECT_EQ(Tool("--version").out, std::string("tavrela-tag ") + TAVRELA_VERSION + "\n");
    const std::string help = Tool("--help").out;
    EXPECT_NE(help.find("usage: tavrela-tag show FILE"), std::string::npos) << help;
    EXPECT_NE(help.find("--version"), std::string::npos) << help;
}

TEST_F(TavrelaTag, ExitCodes) {
    const std::string wav = dir_->File("song.wav"); // left by the fixture maker
    const struct {
        std::string args;
        int status;
    } cases[] = {
        {"", 2},
        {"frobnicate " + Q(mp3_), 2},
        {"show", 2},
        {"show " + Q(mp3_) + " --xml", 2},
        {"write " + Q(mp3_), 2},
        {"write " + Q(mp3_) + " TITLE=x", 2},
        {"write " + Q(mp3_) + " TINT", 2},
        {"show " + Q(dir_->File("missing.mp3")), 1},
        {"write " + Q(dir_->File("missing.mp3")) + " TINT=00:01", 1},
        {"write " + Q(wav) + " TINT=00:01", 1},
        {"show " + Q(wav), 0},
        {"--help", 0},
        {"-h", 0},
        {"--version", 0},
        {"--version " + Q(mp3_), 0},
        {"--versions", 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Tool(c.args).status, c.status) << c.args;
    }
}

TEST_F(TavrelaTag, WritesAsTheEditorAndShows) {
    const std::string file = dir_->File("edit.mp3");
    std::filesystem::copy_file(mp3_, file);
    ASSERT_EQ(Tool("write " + Q(file) +
                   " TMXI=00:00.5 TINT=00:12.5 TCAR=00:40 TVIN='Vinhetas\\a.mp3' "
                   "'COMM=Olá \"mundo\"' TPMI=02:50")
                  .status,
              0);
    ReadTag(file);
    EXPECT_EQ(CurrentTag.Title, "Original");
    EXPECT_EQ(CurrentTag.Artist, "Banda");
    EXPECT_EQ(CurrentTag.AudioStart, "00:00.5");
    EXPECT_EQ(CurrentTag.StampJingle, "Vinhetas\\a.mp3");
    EXPECT_EQ(CurrentTag.Comment, "Ol\xC3\xA1 \"mundo\"");

    const ToolRun text = Tool("show " + Q(file));
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("\nIntro: 00:12.5\n"), std::string::npos);
    EXPECT_NE(text.out.find("Valid: Sim\n"), std::string::npos);
    const ToolRun json = Tool("show " + Q(file) + " --json");
    EXPECT_NE(json.out.find("\"Comment\": \"Ol\xC3\xA1 \\\"mundo\\\"\""), std::string::npos);
    EXPECT_NE(json.out.find("\"StampJingle\": \"Vinhetas\\\\a.mp3\""), std::string::npos);
    EXPECT_NE(json.out.find("\"vbr\": null"), std::string::npos);
    EXPECT_NE(json.out.find("\"sampleRate\": 44100,"), std::string::npos);
    EXPECT_NE(json.out.find("\"valid\": true"), std::string::npos);

    // Removing the stamp removes its jingle; an empty text keeps what is stored.
    ASSERT_EQ(Tool("write " + Q(file) + " TCAR- TINT= TPMI=03:00").status, 0);
    ReadTag(file);
    EXPECT_EQ(CurrentTag.StampTime, "");
    EXPECT_EQ(CurrentTag.StampJingle, "");
    EXPECT_EQ(CurrentTag.Intro, "00:12.5");
    EXPECT_EQ(CurrentTag.MixPoint, "03:00");
    FreeTagObjects(".mp3");
}

TEST_F(TavrelaTag, ReportsVersion22FramesItCannotKeep) {
    // CRM (encrypted meta frame) has no version 2.3 form; the picture becomes APIC.
    const std::string file = dir_->File("v22.mp3");
    WriteBytes(file, Cat({TagBytes(2, Cat({Frame2("TT2", Text0("v22")),
                                           Frame2("CRM", Cat({B("o@x"), {0}, B("d"), {0}, {1}})),
                                           Frame2("PIC", Cat({{0}, B("JPG"), {3}, {0}, {9}}))})),
                          MpegFrames(40)}));
    const ToolRun run = Tool("write " + Q(file) + " TINT=00:01", true);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "tavrela-tag: " + file + ": frame CRM has no ID3v2.3 form and was not kept\n");
    bool apic = false;
    for (const WrittenFrame& f : FramesOf(ReadBytes(file))) {
        apic = apic || (f.id == "APIC" && f.data == Cat({{0}, B("image/jpeg"), {0}, {3}, {0}, {9}}));
    }
    EXPECT_TRUE(apic);
    // Nothing more to report on the next save.
    EXPECT_EQ(Tool("write " + Q(file) + " TINT=00:02", true).out, "");
}

} // namespace
} // namespace tavrela::tags
