// The measurements: loudness of reference signals as the standard's test tables give them,
// true peak, loudness range, the level tracks, and input a decoder may deliver.
#include "analysis/analysis_worker.h"
#include "analysis/audio_analysis.h"
#include "signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tavrela::analysis {
namespace {

using test::Signal;

AudioAnalysis Analyse(const Signal& s, AnalysisOptions options = {}, std::size_t piece = 4096) {
    Analyzer a(s.channels(), s.rate(), options);
    const auto& v = s.samples();
    const auto chans = static_cast<std::size_t>(s.channels());
    for (std::size_t f = 0; f < s.frames(); f += piece) {
        a.add(v.data() + f * chans, std::min(piece, s.frames() - f));
    }
    return a.finish();
}

TEST(Loudness, ReferenceSines) {
    // A 1 kHz sine with its peak at L dBFS on both channels reads L LUFS; a mono file counts
    // as played on both speakers, so it reads the same.
    const struct {
        const char* name;
        int rate;
        int channels;
        double peakDb;
    } cases[] = {
        {"stereo 48k -23", 48000, 2, -23.0},
        {"stereo 48k -33", 48000, 2, -33.0},
        {"stereo 44.1k -23", 44100, 2, -23.0},
        {"mono 48k -23", 48000, 1, -23.0},
        {"mono 44.1k -18", 44100, 1, -18.0},
    };
    for (const auto& c : cases) {
        Signal s(c.rate, c.channels);
        s.tone(20.0, c.peakDb);
        const AudioAnalysis a = Analyse(s, {.truePeak = true, .loudnessRange = true});
        EXPECT_NEAR(a.integratedLufs, c.peakDb, 0.1) << c.name;
        EXPECT_NEAR(a.truePeakDbtp, c.peakDb, 0.1) << c.name;
        EXPECT_NEAR(a.samplePeakDbfs, c.peakDb, 0.1) << c.name;
        EXPECT_NEAR(a.loudnessRangeLu, 0.0, 0.1) << c.name;
        EXPECT_TRUE(a.hasTruePeak && a.hasLoudnessRange) << c.name;
    }
}

TEST(Loudness, RangeAndGate) {
    // 20 s at -20 then 20 s at -30 LUFS: a loudness range of 10 LU. Gating: a quiet half
    // 20 LU down falls under the relative gate and leaves the loud half's loudness.
    Signal steps(48000, 2);
    steps.tone(20.0, -20.0).tone(20.0, -30.0);
    const AudioAnalysis a = Analyse(steps, {.loudnessRange = true});
    EXPECT_NEAR(a.loudnessRangeLu, 10.0, 1.0);
    Signal gated(48000, 2);
    gated.tone(20.0, -20.0).tone(20.0, -40.0);
    EXPECT_NEAR(Analyse(gated).integratedLufs, -20.0, 0.1);
}

TEST(Loudness, TruePeakAboveSamplePeak) {
    // A sine at a quarter of the rate, sampled 45 degrees off its crests: every sample sits
    // 3 dB under the wave's real peak, which only the oversampled measure sees.
    Signal s(48000, 1);
    std::vector<float> v;
    const double a = 0.5;
    for (int i = 0; i < 48000; ++i) {
        v.push_back(static_cast<float>(a * std::sin(M_PI / 2.0 * i + M_PI / 4.0)));
    }
    Analyzer an(1, 48000, {.truePeak = true});
    an.add(v.data(), v.size());
    const AudioAnalysis r = an.finish();
    EXPECT_NEAR(r.samplePeakDbfs, AmplitudeDb(a) - 3.01, 0.05);
    EXPECT_NEAR(r.truePeakDbtp, AmplitudeDb(a), 0.6);
}

TEST(Levels, TracksAndPieces) {
    // The tracks do not depend on how the stream is cut into pieces.
    Signal s(44100, 2);
    s.silence(0.25).tone(1.0, -6.0).noise(0.5, -50.0);
    const AudioAnalysis whole = Analyse(s, {}, s.frames());
    for (std::size_t piece : {1u, 7u, 441u, 512u, 100000u}) {
        const AudioAnalysis cut = Analyse(s, {}, piece);
        EXPECT_EQ(cut.levelDb, whole.levelDb) << piece;
        EXPECT_EQ(cut.loudnessPower, whole.loudnessPower) << piece;
        EXPECT_EQ(cut.peaks, whole.peaks) << piece;
        EXPECT_EQ(cut.integratedLufs, whole.integratedLufs) << piece;
    }
    EXPECT_EQ(whole.blockFrames, 441);
    EXPECT_EQ(whole.peakStepFrames, 44);
    EXPECT_EQ(whole.levelDb.size(), s.frames() / 441);
    EXPECT_EQ(whole.peaks.size(), (s.frames() + 43) / 44);
    EXPECT_EQ(whole.firstSoundFrame, 11026u); // the sine's first sample is 0
    EXPECT_TRUE(std::isinf(whole.levelDb[0]) && whole.levelDb[0] < 0);
    // The tone's RMS: its peak less 3.01 dB.
    EXPECT_NEAR(whole.levelDb[50], -9.01, 0.05);
    EXPECT_NEAR(whole.levelDb.back(), -50.0, 1.0);
}

TEST(Levels, SilenceAndHostileSamples) {
    Signal quiet(44100, 2);
    quiet.silence(3.0);
    const AudioAnalysis q = Analyse(quiet, {.truePeak = true, .loudnessRange = true});
    EXPECT_TRUE(std::isinf(q.integratedLufs));
    EXPECT_TRUE(std::isinf(q.truePeakDbtp));
    EXPECT_EQ(q.firstSoundFrame, q.frames);

    // Not-a-number and absurd values from a broken float file leave the meter finite.
    std::vector<float> v(44100 * 2, 0.25f);
    v[100] = std::numeric_limits<float>::quiet_NaN();
    v[101] = std::numeric_limits<float>::infinity();
    v[102] = -1e30f;
    Analyzer a(2, 44100, {.truePeak = true});
    a.add(v.data(), 44100);
    const AudioAnalysis r = a.finish();
    EXPECT_TRUE(std::isfinite(r.integratedLufs));
    EXPECT_TRUE(std::isfinite(r.truePeakDbtp));
    for (float l : r.levelDb) {
        EXPECT_FALSE(std::isnan(l));
    }

    EXPECT_THROW(Analyzer(0, 44100), std::invalid_argument);
    EXPECT_THROW(Analyzer(2, 10), std::invalid_argument);
}

TEST(Worker, SameResultAsDirectAndCancels) {
    Signal s(44100, 2);
    s.silence(0.5).tone(3.0, -10.0).silence(0.5);
    const AudioAnalysis direct = Analyse(s, {.truePeak = true});
    // With room for the whole stream, and with a backlog held to one chunk: a producer far
    // faster than the analysis then waits, and the result is the same.
    for (const std::size_t room : {AnalysisWorker::kDefaultMaxQueuedBytes, std::size_t{1}}) {
        AnalysisWorker w(2, 44100, {.truePeak = true}, room);
        for (std::size_t f = 0; f < s.frames(); f += 512) {
            w.push(s.samples().data() + f * 2, std::min<std::size_t>(512, s.frames() - f));
        }
        w.finish();
        const AudioAnalysis* r = w.wait();
        ASSERT_NE(r, nullptr);
        EXPECT_TRUE(w.ready());
        EXPECT_EQ(r->levelDb, direct.levelDb);
        EXPECT_EQ(r->integratedLufs, direct.integratedLufs);
        EXPECT_EQ(r->truePeakDbtp, direct.truePeakDbtp);
        if (room == 1) {
            // One chunk of 65536 floats at most.
            EXPECT_LE(w.peakQueuedBytes(), std::size_t{65536} * sizeof(float));
        }
    }

    // Dropped before the end (the file is reloaded): nothing waits, nothing leaks.
    auto dropped = std::make_unique<AnalysisWorker>(2, 44100, AnalysisOptions{.truePeak = true});
    dropped->push(s.samples().data(), s.frames());
    dropped.reset();
    // A stream the meter cannot take gives no result but still finishes.
    AnalysisWorker bad(2, 5, {});
    bad.push(s.samples().data(), 100);
    bad.finish();
    EXPECT_EQ(bad.wait(), nullptr);
}

} // namespace
} // namespace tavrela::analysis
