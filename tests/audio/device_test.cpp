// The one test through a real sound path: the engine plays a tone through the default device,
// which the test services route into a PulseAudio null sink, and a recording of the sink's
// monitor shows the tone arrived at the right level and pitch.

#include "audio_fixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace tavrela::audio::test {
namespace {

TEST(DeviceOutput, AToneArrivesAtThePulseAudioSinkAtTheRightLevelAndPitch) {
    const char* sink = std::getenv("TAVRELA_TEST_PULSE_SINK");
    if (sink == nullptr || *sink == '\0') {
        GTEST_SKIP() << "no PulseAudio null sink (TAVRELA_TEST_PULSE_SINK) in this environment";
    }
    TempDir dir;
    const auto tone = makeWav(dir, "tone.wav", 44100, 2, 3.0, "sine 1000", 0.5);
    const auto recording = dir / "rec.wav";

    const std::string monitor = std::string(sink) + ".monitor";
    const std::string output = recording.string();
    std::vector<std::string> args = {
        "parec",          "-d",           monitor,        "--file-format=wav",
        "--format=s16le", "--rate=44100", "--channels=2", output};
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t recorder = 0;
    ASSERT_EQ(posix_spawnp(&recorder, "parec", nullptr, nullptr, argv.data(), environ), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

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
    ::kill(recorder, SIGINT);
    int status = 0;
    ::waitpid(recorder, &status, 0);

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

} // namespace
} // namespace tavrela::audio::test
