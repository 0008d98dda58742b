// Tests through a real sound path: the engine plays a tone through the default device, which
// the test services route into a PulseAudio null sink, and a recording of the sink's monitor
// shows the tone arrived at the right level and pitch, and without gaps on a busy machine.

#include "audio_fixtures.h"
#include "sink_recording.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>

namespace tavrela::audio::test {
namespace {

// Every case records the test services' null sink; without one there is nothing to hear.
class DeviceOutput : public ::testing::Test {
protected:
    void SetUp() override {
        const char* name = std::getenv("TAVRELA_TEST_PULSE_SINK");
        if (name == nullptr || *name == '\0') {
            GTEST_SKIP() << "no PulseAudio null sink (TAVRELA_TEST_PULSE_SINK) here";
        }
        sink = name;
    }
    std::string sink;
};

TEST_F(DeviceOutput, AToneArrivesAtThePulseAudioSinkAtTheRightLevelAndPitch) {
    TempDir dir;
    const auto tone = makeWav(dir, "tone.wav", 44100, 2, 3.0, "sine 1000", 0.5);
    const auto recording = dir / "rec.wav";

    soundcheck::SinkRecorder recorder(sink + ".monitor", recording.string());
    ASSERT_TRUE(recorder.waitUntilRecording());

    {
        Engine engine;
        ASSERT_TRUE(engine.init(-1, 44100)) << "no output device through the PulseAudio server";
        EXPECT_TRUE(engine.hasDevice());
        const ChannelHandle h =
            engine.createStream(tone, ChannelFlags::Float | ChannelFlags::Prescan);
        ASSERT_TRUE(engine.play(h));
        // Wait for the device's clock (not a fixed time: on a loaded machine the sound server
        // runs late) until a second was heard; the heard position never runs past the file.
        double heard = 0.0;
        for (int i = 0; i < 600 && heard < 1.0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            heard = engine.bytesToSeconds(h, engine.position(h));
        }
        EXPECT_GE(heard, 1.0);
        EXPECT_LE(heard, 3.0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        engine.stop();
        engine.free();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    recorder.stop();

    Engine reader(EngineOptions{false, true, 50});
    int chans = 0;
    const std::vector<float> rec = decodeAll(reader, recording, &chans);
    ASSERT_EQ(chans, 2);
    ASSERT_GT(rec.size(), 44100u * 2);
    float peak = 0.0f;
    std::size_t firstSound = rec.size() / 2;
    for (std::size_t i = 0; i < rec.size() / 2; ++i) {
        peak = std::max(peak, std::abs(rec[2 * i]));
        if (std::abs(rec[2 * i]) > 0.1f && firstSound == rec.size() / 2) {
            firstSound = i;
        }
    }
    EXPECT_NEAR(peak, 0.5f, 0.03f);
    ASSERT_LT(firstSound + 22050, rec.size() / 2);
    EXPECT_NEAR(frequencyOf(rec, firstSound, 22050, 44100), 1000.0, 3.0);
}

// Playback must not break up when other programs keep every core busy: ten seconds of a tone
// arrive as one stretch of sound, without a gap an ear would notice.
TEST_F(DeviceOutput, ATenSecondToneArrivesWithoutGapsWhileEveryCoreIsBusy) {
    TempDir dir;
    const auto tone = makeWav(dir, "tone.wav", 44100, 2, 10.0, "sine 1000", 0.5);
    const auto recording = dir / "rec.wav";
    {
        Engine engine;
        ASSERT_TRUE(engine.init(-1, 44100)) << "no output device through the PulseAudio server";
        soundcheck::SinkRecorder recorder(sink + ".monitor", recording.string());
        ASSERT_TRUE(recorder.waitUntilRecording());
        const ChannelHandle h =
            engine.createStream(tone, ChannelFlags::Float | ChannelFlags::Prescan);
        {
            soundcheck::BusyCores busy;
            ASSERT_TRUE(engine.play(h));
            // Until its end was heard; a broken-up playback takes longer than ten seconds.
            for (int i = 0; i < 1200 && engine.isActive(h) == ChannelState::Playing; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        recorder.stop();
    }
    Engine reader(EngineOptions{false, true, 50});
    int chans = 0;
    const std::vector<float> rec = decodeAll(reader, recording, &chans);
    ASSERT_EQ(chans, 2);
    const soundcheck::Continuity heard = soundcheck::measureContinuity(rec, 44100);
    EXPECT_GE(heard.heardMs, 0.99 * 10000.0);
    EXPECT_GE(heard.ratio(), 0.99) << heard.heardMs << " ms heard in " << heard.spanMs << " ms";
    EXPECT_LE(heard.longestGapMs, 20.0);
}

} // namespace
} // namespace tavrela::audio::test
