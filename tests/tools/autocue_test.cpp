// tavrela-tag autocue and loudness on folders of fixture files: the batch proposes what the
// single-file analysis proposes, writes through the tag facade, leaves existing markers
// alone when asked, and reports broken files without stopping.
#include "autocue_batch.h"
#include "mp3_fixtures.h"
#include "tags/tag.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <regex>

namespace tavrela::tools {
namespace {

using tags::test::TempDir;

struct ToolResult {
    int status = -1;
    std::string out;
};

// Runs tavrela-tag with `args` (each passed as one argument); stderr is discarded.
ToolResult TavrelaTag(const std::vector<std::string>& args) {
    std::string command = std::string("'") + TAVRELA_TAG_EXE + "'";
    for (const std::string& a : args) {
        command += " '" + a + "'";
    }
    command += " 2>/dev/null";
    ToolResult r;
    FILE* p = ::popen(command.c_str(), "r");
    if (p == nullptr) {
        return r;
    }
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) {
        r.out.append(buf, n);
    }
    const int status = ::pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string ReadAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A WAV made by sox from `effects` (after "synth"), and its MP3 when `mp3`.
std::string MakeAudio(const TempDir& dir, const std::string& name, const std::string& synth,
                      bool mp3 = true) {
    const std::string wav = dir.File(name + ".wav");
    const std::string sox = "sox -q -n -r 44100 -c 2 -b 16 '" + wav + "' synth " + synth;
    EXPECT_EQ(std::system(sox.c_str()), 0) << sox;
    if (!mp3) {
        return wav;
    }
    const std::string file = dir.File(name + ".mp3");
    const std::string lame = "lame --quiet -b 192 '" + wav + "' '" + file + "'";
    EXPECT_EQ(std::system(lame.c_str()), 0) << lame;
    std::filesystem::remove(wav);
    return file;
}

// What the single-file analysis proposes for a file, as stored texts.
struct Expected {
    std::string start, end, mix;
};
Expected SingleFile(const std::string& file, double durationSeconds) {
    const auto a = AnalyzeFile(file, {});
    EXPECT_TRUE(a.has_value()) << file;
    if (!a) {
        return {};
    }
    const analysis::CueProposal p = analysis::ProposeCues(*a, {});
    const std::int64_t d = std::llround(durationSeconds);
    return {StoredMarkerText(*p.startFrame, *a, d), StoredMarkerText(*p.endFrame, *a, d),
            StoredMarkerText(*p.mixFrame, *a, d)};
}

std::string JsonField(const std::string& json, const std::string& path, const char* field) {
    // The file's object is one line of the output.
    const std::size_t at = json.find("{\"path\": \"" + path + "\"");
    if (at == std::string::npos) {
        return "<no entry>";
    }
    const std::string line = json.substr(at, json.find('\n', at) - at);
    const std::smatch m = [&] {
        std::smatch r;
        std::regex_search(line, r, std::regex(std::string("\"") + field + "\": (\"[^\"]*\"|[^,}]*)"));
        return r;
    }();
    return m.empty() ? "<no " + std::string(field) + ">" : m[1].str();
}

class Autocue : public ::testing::Test {
protected:
    void SetUp() override {
        // Settings file of its own, so the tool's folder never matters.
        ::setenv("TAVRELA_HOME", home_.Path().c_str(), 1);
        std::filesystem::create_directories(dir_.Path() / "sub");
        fade_ = MakeAudio(dir_, "fade", "20 sine 1000 vol 0.25 fade t 0 20 6 pad 1.2 0.3");
        cold_ = MakeAudio(dir_, "sub/cold", "12 sine 440 vol 0.3 pad 0.5 1");
        gap_ = MakeAudio(dir_, "sub/gap", "4 sine 700 vol 0.3 pad 0.3 0 : synth 3 sine 700 vol 0 : "
                                          "synth 4 sine 700 vol 0.3 pad 0 0.4");
        wav_ = MakeAudio(dir_, "plain", "6 sine 1000 vol 0.3 pad 0.25 0.25", false);
        broken_ = dir_.File("broken.mp3");
        std::ofstream(broken_) << std::string(4000, 'x');
        // Not audio by its name: left out of a folder search.
        std::ofstream(dir_.File("notes.txt")) << "x";
    }
    static double Duration(const std::string& file) {
        tags::CreateTagObjects(".mp3");
        tags::ReadTag(file);
        const double d = tags::MPEGFile->Duration();
        tags::FreeTagObjects(".mp3");
        return d;
    }
    TempDir home_, dir_;
    std::string fade_, cold_, gap_, wav_, broken_;
};

TEST_F(Autocue, BatchEqualsSingleFileAndSkipsBrokenFiles) {
    const ToolResult dry = TavrelaTag({"autocue", "--dry-run", "--json", "--jobs", "3",
                                dir_.Path().string()});
    EXPECT_EQ(dry.status, 1) << dry.out; // the broken file failed
    for (const std::string& f : {fade_, cold_, gap_}) {
        const Expected e = SingleFile(f, Duration(f));
        EXPECT_EQ(JsonField(dry.out, f, "status"), "\"done\"") << f;
        EXPECT_EQ(JsonField(dry.out, f, "TMXI"), "\"" + e.start + "\"") << f;
        EXPECT_EQ(JsonField(dry.out, f, "TMXF"), "\"" + e.end + "\"") << f;
        EXPECT_EQ(JsonField(dry.out, f, "TPMI"), "\"" + e.mix + "\"") << f;
    }
    EXPECT_EQ(JsonField(dry.out, wav_, "status"), "\"done\"");
    EXPECT_EQ(JsonField(dry.out, broken_, "status"), "\"failed\"");
    EXPECT_NE(JsonField(dry.out, broken_, "reason"), "<no reason>");
    EXPECT_EQ(dry.out.find("notes.txt"), std::string::npos);
    EXPECT_NE(dry.out.find("\"summary\": {\"done\": 4, \"skipped\": 0, \"failed\": 1}"),
              std::string::npos)
        << dry.out;
    // Sensible points on the fade: after the leading 1.2 s, the mix point inside the fade.
    EXPECT_EQ(JsonField(dry.out, fade_, "coldEnding"), "false");
    EXPECT_EQ(JsonField(dry.out, cold_, "coldEnding"), "true");
    // The silence in the middle of "gap" does not end its audio.
    EXPECT_NEAR(std::stod(JsonField(dry.out, gap_, "endSeconds")), 11.3, 0.02);
    // Nothing was written.
    tags::CreateTagObjects(".mp3");
    tags::ReadTag(fade_);
    EXPECT_EQ(tags::CurrentTag.AudioStart, "");

    // The real run writes the same texts into the MP3s; the WAV is skipped, not written.
    const ToolResult run = TavrelaTag({"autocue", dir_.Path().string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("3 done, 1 skipped, 1 failed"), std::string::npos) << run.out;
    for (const std::string& f : {fade_, cold_, gap_}) {
        tags::ReadTag(f);
        EXPECT_EQ("\"" + tags::CurrentTag.AudioStart + "\"", JsonField(dry.out, f, "TMXI"));
        EXPECT_EQ("\"" + tags::CurrentTag.AudioEnd + "\"", JsonField(dry.out, f, "TMXF"));
        EXPECT_EQ("\"" + tags::CurrentTag.MixPoint + "\"", JsonField(dry.out, f, "TPMI"));
    }
    tags::FreeTagObjects(".mp3");
}

TEST_F(Autocue, OnlyMissingKeepsExistingMarkers) {
    const std::string all = fade_;
    const std::string some = cold_;
    ASSERT_EQ(TavrelaTag({"write", all, "TMXI=00:01", "TMXF=00:02", "TPMI=00:03", "TINT=00:04"})
                  .status,
              0);
    ASSERT_EQ(TavrelaTag({"write", some, "TMXI=00:07.5", "TINT=00:04"}).status, 0);
    const std::string before = ReadAll(all);
    const ToolResult r = TavrelaTag({"autocue", "--only-missing", "--json", all, some});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(JsonField(r.out, all, "status"), "\"skipped\"");
    EXPECT_EQ(ReadAll(all), before); // byte for byte
    tags::CreateTagObjects(".mp3");
    tags::ReadTag(some);
    EXPECT_EQ(tags::CurrentTag.AudioStart, "00:07.5");
    EXPECT_EQ(tags::CurrentTag.Intro, "00:04");
    const Expected e = SingleFile(some, Duration(some));
    tags::CreateTagObjects(".mp3");
    tags::ReadTag(some);
    EXPECT_EQ(tags::CurrentTag.AudioEnd, e.end);
    EXPECT_EQ(tags::CurrentTag.MixPoint, e.mix);

    // Without it the three are replaced and every other frame stays.
    EXPECT_EQ(TavrelaTag({"autocue", all}).status, 0);
    tags::ReadTag(all);
    const Expected ea = SingleFile(all, Duration(all));
    tags::CreateTagObjects(".mp3");
    tags::ReadTag(all);
    EXPECT_EQ(tags::CurrentTag.AudioStart, ea.start);
    EXPECT_EQ(tags::CurrentTag.AudioEnd, ea.end);
    EXPECT_EQ(tags::CurrentTag.MixPoint, ea.mix);
    EXPECT_EQ(tags::CurrentTag.Intro, "00:04");
    tags::FreeTagObjects(".mp3");
}

TEST_F(Autocue, UsageAndSettings) {
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"autocue"}, 2},
        {{"autocue", "--jobs", "0", "x.mp3"}, 2},
        {{"autocue", "--threshold", "abc", "x.mp3"}, 2},
        {{"autocue", "--threshold", "5", "x.mp3"}, 2},
        {{"autocue", "--frobnicate", "x.mp3"}, 2},
        {{"loudness", "--only-missing", "x.mp3"}, 2},
        {{"autocue", dir_.File("missing.mp3")}, 1},
        {{"loudness", dir_.File("missing.mp3")}, 1},
        {{"autocue", "--dry-run", cold_}, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TavrelaTag(c.args).status, c.status) << c.args[1];
    }
    // The settings file and the command line set the threshold; the command line wins.
    std::ofstream(home_.File("BaseZelvo.ini")) << "[BANCO]\r\nCAMINHO=x\r\n"
                                                  "[marcacao_automatica]\r\nLIMIAR_DBFS = -20,5\r\n";
    EXPECT_NE(TavrelaTag({"autocue", "--dry-run", "--json", cold_})
                  .out.find("\"thresholdDbfs\": -20.5"),
              std::string::npos);
    EXPECT_NE(TavrelaTag({"autocue", "--dry-run", "--json", "--threshold", "-50", cold_})
                  .out.find("\"thresholdDbfs\": -50,"),
              std::string::npos);
}

TEST_F(Autocue, LoudnessOfAReferenceSine) {
    // A 1 kHz sine with its peak at -23 dBFS on both channels: -23.0 LUFS, -23 dBTP.
    const std::string ref = MakeAudio(dir_, "ref", "20 sine 1000 vol 0.0707946", false);
    const ToolResult r = TavrelaTag({"loudness", "--json", ref, broken_});
    EXPECT_EQ(r.status, 1);
    EXPECT_NEAR(std::stod(JsonField(r.out, ref, "integratedLufs")), -23.0, 0.1) << r.out;
    EXPECT_NEAR(std::stod(JsonField(r.out, ref, "truePeakDbtp")), -23.0, 0.1);
    EXPECT_NEAR(std::stod(JsonField(r.out, ref, "loudnessRangeLu")), 0.0, 0.1);
    EXPECT_NE(JsonField(r.out, broken_, "error"), "<no error>");
    const ToolResult text = TavrelaTag({"loudness", ref});
    EXPECT_NE(text.out.find(" LUFS, LRA 0.0 LU, true peak -23.0 dBTP"), std::string::npos)
        << text.out;

    // The same fixture through ffmpeg's own meter, when it is installed.
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "ffmpeg is not installed: no second opinion";
    }
    const std::string cmd = "ffmpeg -nostats -hide_banner -i '" + ref +
                            "' -af ebur128 -f null - 2>&1 | grep -E '^ +I:' | tail -1";
    FILE* p = ::popen(cmd.c_str(), "r");
    char line[256] = {};
    ASSERT_NE(std::fgets(line, sizeof line, p), nullptr);
    ::pclose(p);
    double ffmpegI = 0;
    ASSERT_EQ(std::sscanf(line, " I: %lf", &ffmpegI), 1) << line;
    EXPECT_NEAR(std::stod(JsonField(r.out, ref, "integratedLufs")), ffmpegI, 0.1);
}

} // namespace
} // namespace tavrela::tools
