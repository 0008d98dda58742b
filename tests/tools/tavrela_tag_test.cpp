// tavrela-tag run as a program: exit codes, the text and JSON output, and the files it writes
// read back with the tag reader.
#include "mp3_fixtures.h"
#include "tags/tag.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
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

// Starts the tool in the background with stderr captured in `err`; returns its PID.
pid_t Start(const std::vector<std::string>& args, const std::string& err) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 2);
        std::vector<char*> argv{const_cast<char*>(TAVRELA_TAG_EXE)};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(TAVRELA_TAG_EXE, argv.data());
        ::_exit(127);
    }
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Slurp(const std::string& file) {
    const Bytes b = ReadBytes(file);
    return std::string(b.begin(), b.end());
}

TEST_F(TavrelaTag, TwoWritersAtOnceLeaveOneWholeFileAndTellTheTruth) {
    // A station script and another one saving the same file at the same moment, many times,
    // through the whole-file rewrite (a long comment) and in place: the file ends as one
    // writer's complete result, written by a run that said so; the other run either came
    // after it (and also wrote) or said why it did not.
    const std::string file = dir_->File("race.mp3");
    std::filesystem::copy_file(mp3_, file, std::filesystem::copy_options::overwrite_existing);
    ASSERT_EQ(Tool("write " + Q(file) + " TINT=00:01").status, 0);
    const Bytes prepared = ReadBytes(file);
    ReadTag(file);
    const std::string frames = CurrentTag.FrameCount;
    FreeTagObjects(".mp3");
    const std::string longComment = "COMM=" + std::string(6000, 'c');
    for (int round = 0; round < 16; ++round) {
        WriteBytes(file, prepared);
        const bool rewrite = round % 2 == 1;
        pid_t pids[2];
        for (int w = 0; w < 2; ++w) {
            std::vector<std::string> args{"write", file, w == 0 ? "TINT=00:10" : "TINT=00:20"};
            if (rewrite) {
                args.push_back(longComment);
            }
            pids[w] = Start(args, dir_->File("err" + std::to_string(w)));
            ::usleep(static_cast<useconds_t>((round % 4) * 4000));
        }
        const int status[2] = {Wait(pids[0]), Wait(pids[1])};
        TID3v2 back;
        ASSERT_TRUE(back.ReadFromFile(file));
        ASSERT_TRUE(back.Intro == "00:10" || back.Intro == "00:20") << back.Intro;
        const int winner = back.Intro == "00:10" ? 0 : 1;
        EXPECT_EQ(status[winner], 0) << "round " << round;
        EXPECT_EQ(back.Title, "Original");
        for (int w = 0; w < 2; ++w) {
            const std::string err = Slurp(dir_->File("err" + std::to_string(w)));
            if (status[w] == 0) {
                EXPECT_TRUE(err.empty()) << err;
            } else {
                EXPECT_EQ(status[w], 1);
                EXPECT_TRUE(err.find("changed or replaced since it was read") !=
                                std::string::npos ||
                            err.find("another save of this file is running") != std::string::npos)
                    << err;
            }
        }
        // The audio is whole: the stream still decodes to the same length.
        ReadTag(file);
        EXPECT_EQ(CurrentTag.Valid, "Sim");
        EXPECT_EQ(CurrentTag.FrameCount, frames);
        FreeTagObjects(".mp3");
    }
}

TEST_F(TavrelaTag, SaysWhyNothingWasWritten) {
    const std::string file = dir_->File("why.mp3");
    std::filesystem::copy_file(mp3_, file, std::filesystem::copy_options::overwrite_existing);
    const std::string err = dir_->File("why.err");
    // The tag body cannot be carried over: a hard link forces the rule on a rewrite.
    std::filesystem::create_hard_link(file, dir_->File("why-link.mp3"));
    EXPECT_EQ(Wait(Start({"write", file, "COMM=" + std::string(6000, 'x')}, err)), 1);
    EXPECT_NE(Slurp(err).find("not written: the whole file must be rewritten, and it has other "
                              "hard links"),
              std::string::npos)
        << Slurp(err);
    std::filesystem::remove(dir_->File("why-link.mp3"));
    if (::geteuid() != 0 || std::system("command -v setpriv >/dev/null") != 0) {
        GTEST_SKIP() << "running as another user needs root and setpriv";
    }
    // Another user, who may not write the file.
    ASSERT_EQ(::chmod(dir_->Path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    const std::string command = "setpriv --reuid=4714 --regid=4714 --clear-groups '" +
                                std::string(TAVRELA_TAG_EXE) + "' write '" + file +
                                "' TINT=00:03 2>'" + err + "'";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
    EXPECT_NE(Slurp(err).find("not written: permission denied"), std::string::npos) << Slurp(err);
    // The owner, in a folder that may not be written: a rewrite cannot be done.
    const std::string folder = dir_->File("locked");
    std::filesystem::create_directory(folder);
    const std::string own = folder + "/own.mp3";
    std::filesystem::copy_file(mp3_, own);
    ASSERT_EQ(std::system(("chown -R 4714:4714 '" + folder + "' && chmod 0555 '" + folder + "'")
                              .c_str()),
              0);
    const std::string asOwner = "setpriv --reuid=4714 --regid=4714 --clear-groups '" +
                                std::string(TAVRELA_TAG_EXE) + "' write '" + own + "' ";
    EXPECT_NE(std::system((asOwner + "COMM=" + std::string(6000, 'x') + " 2>'" + err + "'").c_str()),
              0);
    EXPECT_NE(Slurp(err).find("may not write the folder"), std::string::npos) << Slurp(err);
    ::chmod(folder.c_str(), 0755);
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
