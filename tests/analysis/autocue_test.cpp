// Proposed start, end and mix points on signals whose joins are known to the sample.
#include "analysis/autocue.h"
#include "signals.h"

#include <gtest/gtest.h>

#include <map>

namespace tavrela::analysis {
namespace {

using test::Signal;

AudioAnalysis Analyse(const Signal& s) {
    Analyzer a(s.channels(), s.rate());
    a.add(s.samples().data(), s.frames());
    return a.finish();
}

double Seconds(const AudioAnalysis& a, const std::optional<std::uint64_t>& frame) {
    return frame ? a.seconds(*frame) : -1.0;
}

constexpr double kTolerance = 0.010;

TEST(Autocue, ConstructedPoints) {
    // The fade: 4 dB/s from a tone whose RMS is 17.01 dB under full scale, so its level
    // passes -40 dBFS 5.7475 s into the fade. The mix point is computed from the measured
    // loudness below. Fades use tones with whole cycles in a 10 ms block, whose RMS is then
    // exactly the fade's level.
    const struct {
        const char* name;
        Signal signal;
        double start, end, mixAfterFade; // mixAfterFade < 0: the mix point is the end
    } cases[] = {
        {"leading silence, noise floor, cold ending", [] {
             Signal s(44100, 2);
             s.silence(1.0).noise(1.0, -60.0).tone(10.0, -12.0).noise(1.0, -60.0).silence(0.5);
             return s;
         }(), 2.0, 12.0, -1},
        {"fade-out", [] {
             Signal s(44100, 2);
             s.silence(0.5).tone(20.0, -14.0).tone(15.0, -14.0, 1000.0, -4.0).silence(1.0);
             return s;
         }(), 0.5, 20.5 + 5.7475, 20.5},
        {"silence in the middle does not end the audio", [] {
             Signal s(44100, 2);
             s.tone(5.0, -10.0).silence(3.0).tone(5.0, -10.0).silence(0.25);
             return s;
         }(), 0.0, 13.0, -1},
        {"mono at 48 kHz", [] {
             Signal s(48000, 1);
             s.silence(0.75).noise(0.5, -70.0).tone(8.0, -9.0, 440.0).silence(0.4);
             return s;
         }(), 1.25, 9.25, -1},
        {"mono 48 kHz fade-out", [] {
             Signal s(48000, 1);
             s.silence(0.2).tone(12.0, -14.0).tone(15.0, -14.0, 1000.0, -4.0);
             return s;
         }(), 0.2, 12.2 + 5.7475, 12.2},
    };
    for (const auto& c : cases) {
        const AudioAnalysis a = Analyse(c.signal);
        const CueProposal p = ProposeCues(a, {});
        EXPECT_NEAR(Seconds(a, p.startFrame), c.start, kTolerance) << c.name;
        EXPECT_NEAR(Seconds(a, p.endFrame), c.end, kTolerance) << c.name;
        if (c.mixAfterFade < 0) {
            EXPECT_TRUE(p.coldEnding) << c.name;
            EXPECT_EQ(p.mixFrame, p.endFrame) << c.name;
        } else {
            // The tone's own loudness is that of its steady part; the mix point is where the
            // fade takes it 10 LU under the integrated loudness.
            double power = 0;
            for (std::size_t b = 100; b < 1100; ++b) {
                power += a.loudnessPower[b] / 1000.0;
            }
            const double steady = -0.691 + PowerDb(power);
            const double drop = steady - (a.integratedLufs - 10.0);
            EXPECT_GT(drop, 9.0) << c.name;
            EXPECT_FALSE(p.coldEnding) << c.name;
            EXPECT_NEAR(Seconds(a, p.mixFrame), c.mixAfterFade + drop / 4.0, kTolerance) << c.name;
        }
    }
}

TEST(Autocue, SilentEverywhereAndLowThresholds) {
    Signal quiet(44100, 2);
    quiet.silence(2.0).noise(2.0, -70.0).silence(1.0);
    EXPECT_EQ(ProposeCues(Analyse(quiet), {}), CueProposal{});
    Signal empty(44100, 2);
    EXPECT_EQ(ProposeCues(Analyse(empty), {}), CueProposal{});

    // However low the threshold, the start never lies in the leading digital silence; at
    // -80 dBFS the -70 dBFS noise counts as audio.
    const AudioAnalysis a = Analyse(quiet);
    const CueProposal low = ProposeCues(a, {.thresholdDbfs = -120.0});
    ASSERT_TRUE(low.startFrame);
    EXPECT_GE(*low.startFrame, a.firstSoundFrame);
    EXPECT_NEAR(Seconds(a, low.startFrame), 2.0, 0.001);
    const CueProposal p80 = ProposeCues(a, {.thresholdDbfs = -80.0});
    EXPECT_NEAR(Seconds(a, p80.startFrame), 2.0, kTolerance);
    EXPECT_NEAR(Seconds(a, p80.endFrame), 4.0, kTolerance);
}

TEST(Autocue, MixSearchAndDrop) {
    // A long quiet coda, 20 LU under the song, for 40 s: with the default search of 30 s the
    // mix point is 30 s before the end; with a 60 s search it is where the coda starts.
    Signal s(44100, 2);
    s.tone(60.0, -10.0).tone(40.0, -30.0).silence(0.5);
    const AudioAnalysis a = Analyse(s);
    const CueProposal p30 = ProposeCues(a, {});
    EXPECT_NEAR(Seconds(a, p30.endFrame), 100.0, kTolerance);
    EXPECT_NEAR(Seconds(a, p30.mixFrame), 70.0, kTolerance);
    const CueProposal p60 = ProposeCues(a, {.mixSearchSeconds = 60.0});
    EXPECT_NEAR(Seconds(a, p60.mixFrame), 60.0, 0.25);
    // A drop larger than the coda's: the coda still counts as the song, a cold ending.
    const CueProposal p25 = ProposeCues(a, {.mixDropLu = 25.0});
    EXPECT_TRUE(p25.coldEnding);
    EXPECT_EQ(p25.mixFrame, p25.endFrame);
}

TEST(AutocueSettings, FromTheSettingsFile) {
    const struct {
        std::map<std::string, std::string> file;
        AutocueSettings expected;
        bool problem;
    } cases[] = {
        {{}, {}, false},
        {{{kThresholdKey, "-45"}, {kMixDropKey, "8,5"}, {kMixSearchKey, " 20.0 "}},
         {.thresholdDbfs = -45.0, .mixDropLu = 8.5, .mixSearchSeconds = 20.0}, false},
        {{{kThresholdKey, "+5"}}, {}, true},
        {{{kThresholdKey, "quarenta"}}, {}, true},
        {{{kMixDropKey, "-3"}, {kMixSearchKey, "1e9"}}, {}, true},
        {{{kThresholdKey, ""}}, {}, true},
    };
    for (const auto& c : cases) {
        std::string problems;
        const AutocueSettings got = ReadAutocueSettings(
            [&](const char* key) -> std::optional<std::string> {
                const auto it = c.file.find(key);
                return it == c.file.end() ? std::nullopt : std::optional(it->second);
            },
            {}, &problems);
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(!problems.empty(), c.problem) << problems;
    }
}

} // namespace
} // namespace tavrela::analysis
