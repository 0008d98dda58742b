// Playback on the null output with a hand-driven clock: what the output received is compared
// sample by sample with a straight decode of the same file.

#include "audio_fixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

namespace tavrela::audio::test {
namespace {

constexpr auto kPlayFlags = ChannelFlags::Float | ChannelFlags::Prescan;

/// First frame whose left sample is louder than -60 dB.
std::size_t firstSound(const std::vector<float>& stereo) {
    std::size_t i = 0;
    while (i < stereo.size() / 2 && std::abs(stereo[2 * i]) <= 1e-3f) {
        ++i;
    }
    return i;
}

EngineOptions manual() {
    EngineOptions options;
    options.openDevice = false;
    options.manualClock = true;
    return options;
}

struct SeekCase {
    const char* name;
    int rate;
    int channels;
    const char* encoder; // lame options, empty for WAV
};

class SeekTest : public ::testing::TestWithParam<SeekCase> {};

// After setPosition(p) the samples played, and the samples a decode channel delivers, are
// exactly those of a straight decode from p; the reported position is what has been heard.
TEST_P(SeekTest, PlaysExactlyFromTheBytePosition) {
    const SeekCase& c = GetParam();
    TempDir dir;
    auto file = makeWav(dir, "in.wav", c.rate, c.channels, 4.0, "whitenoise");
    if (std::string(c.encoder).size() > 0) {
        file = makeMp3(dir, file, "in.mp3", c.encoder);
    }
    Engine engine(manual());
    EXPECT_FALSE(engine.init(-1, c.rate)); // the null output: no device
    int chans = 0;
    const std::vector<float> ref = decodeAll(engine, file, &chans);
    ASSERT_EQ(chans, c.channels);
    const std::size_t frameBytes = static_cast<std::size_t>(chans) * 4;
    ASSERT_GT(ref.size(), 0u);

    const ChannelHandle h = engine.createStream(file, kPlayFlags);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(engine.length(h), static_cast<std::int64_t>(ref.size() * 4));

    for (const std::size_t frame : {std::size_t{0}, std::size_t{1}, std::size_t{1151},
                                    std::size_t{44100 + 577}, ref.size() / chans - 3000}) {
        SCOPED_TRACE(frame);
        // A position inside a frame counts from that frame's start.
        ASSERT_TRUE(engine.setPosition(h, static_cast<std::int64_t>(frame * frameBytes + 1)));
        EXPECT_EQ(engine.position(h), static_cast<std::int64_t>(frame * frameBytes));
        ASSERT_TRUE(engine.play(h));
        std::vector<float> out;
        engine.advanceClock(6000, &out);
        const std::ptrdiff_t at = findFrames(out, ref, chans, frame, 2048);
        ASSERT_GE(at, 0) << "the played samples are not those from the position";
        const auto heard = out.size() / 2 - static_cast<std::size_t>(at);
        const std::size_t total = ref.size() / chans;
        EXPECT_EQ(engine.position(h),
                  static_cast<std::int64_t>(std::min(frame + heard, total) * frameBytes));
        EXPECT_TRUE(engine.stop(h));

        const ChannelHandle d = engine.createStream(file, kPlayFlags | ChannelFlags::Decode);
        ASSERT_TRUE(engine.setPosition(d, static_cast<std::int64_t>(frame * frameBytes)));
        std::vector<float> block(static_cast<std::size_t>(chans) * 1000);
        ASSERT_EQ(engine.getData(d, block.data(), static_cast<std::uint32_t>(block.size() * 4)),
                  block.size() * 4);
        EXPECT_TRUE(
            std::equal(block.begin(), block.end(), ref.begin() + frame * chans,
                       [](float a, float b) { return std::abs(a - b) <= kSampleTolerance; }));
        EXPECT_TRUE(engine.freeStream(d));
    }
}

INSTANTIATE_TEST_SUITE_P(Files, SeekTest,
                         ::testing::Values(SeekCase{"WavStereo44k", 44100, 2, ""},
                                           SeekCase{"WavMono48k", 48000, 1, ""},
                                           SeekCase{"Mp3CbrStereo44k", 44100, 2, "-b 128"},
                                           SeekCase{"Mp3VbrStereo48k", 48000, 2, "-V 2"},
                                           SeekCase{"Mp3CbrMono44k", 44100, 1, "-b 64"}),
                         [](const auto& info) { return std::string(info.param.name); });

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(engine.init(-1, 44100));
        file = makeWav(dir, "noise.wav", 44100, 2, 2.0, "whitenoise");
        ref = decodeAll(engine, file);
        h = engine.createStream(file, kPlayFlags);
        ASSERT_NE(h, 0u);
    }

    TempDir dir;
    Engine engine{manual()};
    std::filesystem::path file;
    std::vector<float> ref;
    ChannelHandle h = 0;
};

TEST_F(PlaybackTest, SyncFiresOncePerPassAgainAfterSeekBackAndNeverAfterRemoval) {
    std::atomic<int> fired{0};
    ChannelHandle seen = 0;
    std::uintptr_t user = 0;
    const SyncHandle s = engine.setSync(
        h, 10000 * 8,
        [&](SyncHandle, ChannelHandle ch, std::uintptr_t u) {
            ++fired;
            seen = ch;
            user = u;
        },
        42);
    ASSERT_NE(s, 0u);
    ASSERT_TRUE(engine.play(h));
    engine.advanceClock(30000);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(seen, h);
    EXPECT_EQ(user, 42u);

    ASSERT_TRUE(engine.setPosition(h, 5000 * 8));
    engine.advanceClock(30000);
    EXPECT_EQ(fired, 2);

    // Starting exactly on the sync is not passing it.
    ASSERT_TRUE(engine.setPosition(h, 10000 * 8));
    engine.advanceClock(30000);
    EXPECT_EQ(fired, 2);

    EXPECT_TRUE(engine.removeSync(h, s));
    EXPECT_FALSE(engine.removeSync(h, s));
    ASSERT_TRUE(engine.setPosition(h, 0));
    engine.advanceClock(30000);
    EXPECT_EQ(fired, 2);
}

TEST_F(PlaybackTest, PauseFromSyncStopsExactlyAtTheSyncAndStatesFollowTheContract) {
    constexpr std::size_t kSyncFrame = 12345;
    EXPECT_EQ(engine.isActive(h), ChannelState::Stopped);
    engine.setSync(h, kSyncFrame * 8,
                   [&](SyncHandle, ChannelHandle ch, std::uintptr_t) { engine.pause(ch); });
    ASSERT_TRUE(engine.setPosition(h, 1000 * 8));
    ASSERT_TRUE(engine.play(h));
    EXPECT_EQ(engine.isActive(h), ChannelState::Playing);
    std::vector<float> out;
    engine.advanceClock(20000, &out);
    EXPECT_EQ(engine.isActive(h), ChannelState::Paused);
    EXPECT_EQ(engine.position(h), static_cast<std::int64_t>(kSyncFrame * 8));

    const std::ptrdiff_t at = findFrames(out, ref, 2, 1000, kSyncFrame - 1000);
    ASSERT_GE(at, 0);
    const std::size_t end = static_cast<std::size_t>(at) + kSyncFrame - 1000;
    for (std::size_t i = end * 2; i < out.size(); ++i) {
        ASSERT_EQ(out[i], 0.0f) << "a sample beyond the sync reached the output at " << i / 2;
    }

    // Playing on continues right after the sync; stop and the end of the data stop it.
    ASSERT_TRUE(engine.play(h));
    out.clear();
    engine.advanceClock(4000, &out);
    EXPECT_GE(findFrames(out, ref, 2, kSyncFrame, 512), 0);
    EXPECT_TRUE(engine.stop(h));
    EXPECT_EQ(engine.isActive(h), ChannelState::Stopped);
    EXPECT_FALSE(engine.pause(h));
    ASSERT_TRUE(engine.setPosition(h, engine.length(h) - 100 * 8));
    ASSERT_TRUE(engine.play(h));
    engine.advanceClock(8000);
    EXPECT_EQ(engine.isActive(h), ChannelState::Stopped);
    EXPECT_EQ(engine.position(h), engine.length(h));
}

TEST_F(PlaybackTest, TwoChannelsAreMixed) {
    const auto other = makeWav(dir, "other.wav", 44100, 1, 1.0, "sine 300", 0.25);
    const std::vector<float> otherRef = decodeAll(engine, other);
    const ChannelHandle j = engine.createStream(other, kPlayFlags);
    ASSERT_NE(j, 0u);
    ASSERT_TRUE(engine.play(h));
    ASSERT_TRUE(engine.play(j));
    std::vector<float> out;
    engine.advanceClock(10000, &out);
    // Both started in the same block: find it from the first channel alone.
    std::vector<float> sum(ref.begin(), ref.begin() + 4000 * 2);
    for (std::size_t i = 0; i < 4000; ++i) {
        sum[2 * i] += otherRef[i];
        sum[2 * i + 1] += otherRef[i];
    }
    EXPECT_GE(findFrames(out, sum, 2, 0, 4000), 0);
}

TEST(Resampling, A48kToneKeepsItsPitchOnA44kOutput) {
    TempDir dir;
    Engine engine(manual());
    ASSERT_FALSE(engine.init(-1, 44100));
    const auto tone = makeWav(dir, "tone.wav", 48000, 2, 1.0, "sine 1000");
    const ChannelHandle h = engine.createStream(tone, kPlayFlags);
    ASSERT_TRUE(engine.play(h));
    std::vector<float> out;
    engine.advanceClock(44100, &out);
    EXPECT_NEAR(frequencyOf(out, 8000, 22050, 44100), 1000.0, 1.0);
    float peak = 0.0f;
    for (const float v : out) {
        peak = std::max(peak, std::abs(v));
    }
    EXPECT_NEAR(peak, 0.5f, 0.02f);
    // The position counts the 48 kHz stream's own frames of what was heard.
    const double heardSeconds = static_cast<double>(out.size() / 2 - firstSound(out)) / 44100.0;
    EXPECT_NEAR(engine.bytesToSeconds(h, engine.position(h)), heardSeconds, 0.002);
}

TEST(Resampling, PauseFromSyncOnAResampledChannelStopsAtTheSync) {
    TempDir dir;
    Engine engine(manual());
    ASSERT_FALSE(engine.init(-1, 44100));
    const auto tone = makeWav(dir, "tone.wav", 48000, 1, 2.0, "sine 1000");
    const ChannelHandle h = engine.createStream(tone, kPlayFlags);
    engine.setSync(h, 24000 * 4,
                   [&](SyncHandle, ChannelHandle ch, std::uintptr_t) { engine.pause(ch); });
    ASSERT_TRUE(engine.play(h));
    std::vector<float> out;
    engine.advanceClock(44100, &out);
    EXPECT_EQ(engine.isActive(h), ChannelState::Paused);
    EXPECT_EQ(engine.position(h), 24000 * 4);
    // Half a second of 48 kHz input is 22050 output frames; the filter's tail ends there.
    std::size_t lastSound = 0;
    for (std::size_t i = 0; i < out.size() / 2; ++i) {
        if (std::abs(out[2 * i]) > 1e-3f) {
            lastSound = i;
        }
    }
    EXPECT_NEAR(static_cast<double>(lastSound - firstSound(out)), 22050.0, 40.0);
}

TEST(Engine, InvalidHandlesAndVersion) {
    Engine engine(manual());
    EXPECT_EQ(Engine::version() >> 16, 0x0204u);
    for (const ChannelHandle bad : {ChannelHandle{0}, ChannelHandle{12345}}) {
        EXPECT_EQ(engine.length(bad), -1);
        EXPECT_EQ(engine.position(bad), -1);
        EXPECT_LT(engine.bytesToSeconds(bad, 100), 0.0);
        EXPECT_EQ(engine.isActive(bad), ChannelState::Stopped);
        EXPECT_FALSE(engine.play(bad));
        EXPECT_FALSE(engine.pause(bad));
        EXPECT_FALSE(engine.setPosition(bad, 0));
        EXPECT_FALSE(engine.freeStream(bad));
        EXPECT_FALSE(engine.freeModule(bad));
        EXPECT_FALSE(engine.removeSync(bad, 1));
        EXPECT_EQ(engine.setSync(bad, 0, [](SyncHandle, ChannelHandle, std::uintptr_t) {}), 0u);
        float buffer[8];
        EXPECT_EQ(engine.getData(bad, buffer, sizeof buffer), kDataError);
        EXPECT_FALSE(engine.info(bad).has_value());
    }
}

TEST(Engine, FreeReleasesEveryChannelAndInitWorksAgain) {
    TempDir dir;
    const auto wav = makeWav(dir, "a.wav", 44100, 2, 0.5, "sine 440");
    Engine engine(manual());
    engine.init(-1, 44100);
    const ChannelHandle h = engine.createStream(wav, kPlayFlags);
    ASSERT_TRUE(engine.play(h));
    engine.advanceClock(1000);
    engine.stop();
    EXPECT_EQ(engine.isActive(h), ChannelState::Paused);
    engine.free();
    EXPECT_EQ(engine.length(h), -1);
    EXPECT_EQ(engine.outputRate(), 0);
    EXPECT_FALSE(engine.init(-1, 48000));
    EXPECT_EQ(engine.outputRate(), 48000);
    const ChannelHandle again = engine.createStream(wav, kPlayFlags);
    EXPECT_NE(again, 0u);
    EXPECT_NE(again, h);
    EXPECT_TRUE(engine.play(again));
}

} // namespace
} // namespace tavrela::audio::test

namespace tavrela::audio::test {
namespace {

// Without a device and without a hand clock, the null output's own clock plays channels in
// real time on the engine's threads, as the program runs on a machine without sound.
TEST(NullOutput, RealTimeClockPlaysToTheEndAndFiresSyncsOnTheEngineThread) {
    TempDir dir;
    const auto wav = makeWav(dir, "a.wav", 44100, 2, 0.3, "sine 440");
    EngineOptions options;
    options.openDevice = false;
    Engine engine(options);
    ASSERT_FALSE(engine.init());
    EXPECT_FALSE(engine.hasDevice());
    const ChannelHandle h = engine.createStream(wav, kPlayFlags);
    std::atomic<int> fired{0};
    std::atomic<bool> onCaller{false};
    const auto caller = std::this_thread::get_id();
    engine.setSync(h, engine.length(h) / 2, [&](SyncHandle, ChannelHandle, std::uintptr_t) {
        ++fired;
        onCaller = std::this_thread::get_id() == caller;
    });
    ASSERT_TRUE(engine.play(h));
    for (int i = 0; i < 1000 && engine.isActive(h) != ChannelState::Stopped; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(engine.isActive(h), ChannelState::Stopped);
    EXPECT_EQ(engine.position(h), engine.length(h));
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(onCaller);
}

// The output runs only while there is something to hear: it starts with play(), stops once
// the sound has ended (and after a pause), and a paused channel keeps its position exactly
// through the stop and plays on from it.
TEST(NullOutput, TheOutputStopsWhenIdleAndStartsAgainOnPlay) {
    TempDir dir;
    const auto wav = makeWav(dir, "a.wav", 44100, 2, 2.0, "sine 440");
    EngineOptions options;
    options.openDevice = false;
    Engine engine(options);
    engine.init();
    const auto waitFor = [](const std::function<bool()>& done) {
        for (int i = 0; i < 2000 && !done(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    };
    EXPECT_FALSE(engine.isOutputRunning());
    const ChannelHandle h = engine.createStream(wav, kPlayFlags);
    const std::int64_t sync = engine.length(h) / 4;
    engine.setSync(h, sync, [&engine](SyncHandle, ChannelHandle c, std::uintptr_t) {
        engine.pause(c);
    });
    ASSERT_TRUE(engine.play(h));
    EXPECT_TRUE(waitFor([&] { return engine.isOutputRunning(); }));
    ASSERT_TRUE(waitFor([&] { return engine.isActive(h) == ChannelState::Paused; }));
    EXPECT_TRUE(waitFor([&] { return !engine.isOutputRunning(); }));
    EXPECT_EQ(engine.position(h), sync);
    ASSERT_TRUE(engine.play(h));
    EXPECT_TRUE(engine.isOutputRunning() || waitFor([&] { return engine.isOutputRunning(); }));
    ASSERT_TRUE(waitFor([&] { return engine.isActive(h) == ChannelState::Stopped; }));
    EXPECT_EQ(engine.position(h), engine.length(h));
    EXPECT_TRUE(waitFor([&] { return !engine.isOutputRunning(); }));
}

} // namespace
} // namespace tavrela::audio::test
