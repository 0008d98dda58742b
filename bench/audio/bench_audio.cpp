// Audio engine benchmarks. Prints `name: value unit` lines:
//  - decode_ms / floor_ms / decode_vs_floor: the editor's decode loop (a decode channel read in
//    blocks of 512 frames into arrays allocated beforehand, one per channel) against plain
//    libmpg123 decoding of the same file to float into one preallocated array, both in this
//    process and run, on a generated 5-minute stereo 44.1 kHz MP3 (320 kbps CBR and VBR -V2);
//  - play_cpu_percent: CPU time of one core the engine needs per second of audio while it
//    plays a 48 kHz file (resampled) with a jingle mixed in, over 10 s on the null output;
//  - sync_error_frames: how far from a sync a pause from its callback leaves the heard
//    position and the last sample that reached the output (0 is exact);
//  - heard_ratio_loaded / longest_gap_ms: 10 s of a tone played through the default device
//    while one busy thread per core loads the machine, recorded from the PulseAudio sink's
//    monitor: sounding time over the time from the first to the last sound (1.0: no gap), and
//    the longest silence inside. Needs a PulseAudio server (TAVRELA_TEST_PULSE_SINK names the
//    sink; the default sink otherwise); skipped without one.

#include "audio/engine.h"
#include "sink_recording.h"

#include <mpg123.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using namespace tavrela::audio;
namespace soundcheck = tavrela::soundcheck;
namespace fs = std::filesystem;

namespace {

bool run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

double nowMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// The editor's loop into curve arrays allocated (and touched) beforehand, one per channel;
// returns the frames decoded.
std::size_t editorDecode(Engine& engine, const fs::path& file,
                         std::vector<std::vector<float>>& curves) {
    const auto flags = ChannelFlags::Float | ChannelFlags::Prescan | ChannelFlags::Decode;
    ChannelHandle h = engine.loadModule(file, flags);
    if (h == 0) {
        h = engine.createStream(file, flags);
    }
    if (h == 0) {
        return 0;
    }
    const int chans = engine.info(h)->channels;
    const auto len = static_cast<double>(engine.length(h));
    std::vector<float> buffer(static_cast<std::size_t>(chans) * 512);
    std::size_t done = 0;
    while (engine.isActive(h) != ChannelState::Stopped &&
           static_cast<std::size_t>(chans) <= curves.size()) {
        const std::uint32_t got =
            engine.getData(h, buffer.data(), static_cast<std::uint32_t>(chans * 2048));
        if (got == kDataError) {
            break;
        }
        const std::size_t frames = got / 4 / static_cast<std::size_t>(chans);
        if (done + frames > curves[0].size()) {
            break;
        }
        for (std::size_t j = 0; j < frames; ++j) {
            for (int i = 0; i < chans; ++i) {
                curves[static_cast<std::size_t>(i)][done + j] =
                    buffer[j * static_cast<std::size_t>(chans) + static_cast<std::size_t>(i)];
            }
        }
        done += frames;
        // Progress as the editor computes it once per block.
        volatile double progress = static_cast<double>(engine.position(h)) / len * 100.0;
        (void)progress;
    }
    engine.freeModule(h);
    engine.freeStream(h);
    return done;
}

// Plain libmpg123: open, decode to float into one array allocated up front.
std::size_t plainDecode(const fs::path& file, std::vector<float>& out) {
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    mpg123_param(mh, MPG123_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    mpg123_format_none(mh);
    mpg123_format(mh, 44100, MPG123_STEREO, MPG123_ENC_FLOAT_32);
    std::size_t total = 0;
    if (mpg123_open(mh, file.c_str()) == MPG123_OK) {
        size_t done = 0;
        int result = MPG123_OK;
        while (result == MPG123_OK || result == MPG123_NEW_FORMAT) {
            const std::size_t room = (out.size() - total) * sizeof(float);
            if (room == 0) {
                break;
            }
            result = mpg123_read(mh, reinterpret_cast<unsigned char*>(out.data() + total),
                                 std::min<std::size_t>(room, 1 << 16), &done);
            total += done / sizeof(float);
        }
        mpg123_close(mh);
    }
    mpg123_delete(mh);
    return total / 2;
}

// Returns decode time over floor time.
double decodeBenchmark(const fs::path& file, const char* tag) {
    Engine engine(EngineOptions{false, true, 50});
    // Both write into memory allocated and touched outside the timing.
    std::vector<float> plain(static_cast<std::size_t>(44100) * 2 * 310, 0.0f);
    std::vector<std::vector<float>> curves(2, std::vector<float>(44100 * 310, 0.0f));
    double best = 1e30;
    double floor = 1e30;
    std::size_t framesEngine = 0;
    std::size_t framesPlain = 0;
    for (int round = 0; round < 5; ++round) {
        double t = nowMs();
        framesPlain = plainDecode(file, plain);
        floor = std::min(floor, nowMs() - t);
        t = nowMs();
        framesEngine = editorDecode(engine, file, curves);
        best = std::min(best, nowMs() - t);
    }
    std::printf("decode_frames_%s: %zu frames\n", tag, framesEngine);
    std::printf("floor_frames_%s: %zu frames\n", tag, framesPlain);
    std::printf("decode_ms_%s: %.1f ms\n", tag, best);
    std::printf("floor_ms_%s: %.1f ms\n", tag, floor);
    std::printf("decode_vs_floor_%s: %.3f\n", tag, best / floor);
    return best / floor;
}

void playBenchmark(const fs::path& music, const fs::path& jingle) {
    Engine engine(EngineOptions{false, true, 50});
    engine.init(-1, 44100);
    const auto flags = ChannelFlags::Float | ChannelFlags::Prescan;
    const ChannelHandle m = engine.createStream(music, flags);
    const ChannelHandle j = engine.createStream(jingle, flags);
    engine.play(m);
    engine.play(j);
    const double t = threadCpuMs();
    engine.advanceClock(static_cast<std::size_t>(44100) * 10);
    const double cpu = threadCpuMs() - t;
    std::printf("play_cpu_percent: %.2f %%\n", cpu / 10000.0 * 100.0);
}

void syncBenchmark(const fs::path& file) {
    Engine engine(EngineOptions{false, true, 50});
    engine.init(-1, 44100);
    const ChannelHandle h = engine.createStream(file, ChannelFlags::Float | ChannelFlags::Prescan);
    const int chans = engine.info(h)->channels;
    const std::int64_t frameBytes = chans * 4;
    long worst = 0;
    for (const std::int64_t syncFrame : {4410, 22051, 100003, 333333}) {
        const SyncHandle s =
            engine.setSync(h, syncFrame * frameBytes,
                           [&](SyncHandle, ChannelHandle c, std::uintptr_t) { engine.pause(c); });
        engine.setPosition(h, 0);
        engine.play(h);
        std::vector<float> out;
        engine.advanceClock(static_cast<std::size_t>(syncFrame) * 2 + 44100, &out);
        const std::int64_t heard = engine.position(h) / frameBytes;
        worst = std::max(worst, static_cast<long>(std::llabs(heard - syncFrame)));
        engine.removeSync(h, s);
    }
    std::printf("sync_error_frames: %ld frames\n", worst);
}

std::vector<float> decodeFile(const fs::path& file, int& channels) {
    Engine engine(EngineOptions{false, true, 50});
    const ChannelHandle h = engine.createStream(
        file, ChannelFlags::Float | ChannelFlags::Prescan | ChannelFlags::Decode);
    std::vector<float> all;
    channels = h != 0 ? engine.info(h)->channels : 0;
    std::vector<float> block(static_cast<std::size_t>(std::max(channels, 1)) * 512);
    while (h != 0) {
        const std::uint32_t got = engine.getData(
            h, block.data(), static_cast<std::uint32_t>(block.size() * sizeof(float)));
        if (got == kDataError || got == 0) {
            break;
        }
        all.insert(all.end(), block.begin(), block.begin() + got / sizeof(float));
    }
    engine.freeStream(h);
    return all;
}

void loadedPlaybackBenchmark(const fs::path& dir) {
    const char* sinkName = std::getenv("TAVRELA_TEST_PULSE_SINK");
    const std::string monitor = sinkName != nullptr && *sinkName != '\0'
                                    ? std::string(sinkName) + ".monitor"
                                    : std::string("@DEFAULT_MONITOR@");
    const fs::path tone = dir / "tone10.wav";
    const fs::path recording = dir / "loaded.wav";
    if (!fs::exists(tone) && !run("sox -R -n -r 44100 -c 2 -b 16 '" + tone.string() +
                                  "' synth 10 sine 1000 vol 0.5 2>/dev/null")) {
        std::printf("heard_ratio_loaded: skipped (no sox)\n");
        return;
    }
    fs::remove(recording);
    {
        Engine engine;
        if (!engine.init(-1, 44100)) {
            std::printf("heard_ratio_loaded: skipped (no output device)\n");
            return;
        }
        soundcheck::SinkRecorder recorder(monitor, recording.string());
        if (!recorder.waitUntilRecording()) {
            std::printf("heard_ratio_loaded: skipped (cannot record %s)\n", monitor.c_str());
            return;
        }
        const ChannelHandle h = engine.createStream(tone, ChannelFlags::Float | ChannelFlags::Prescan);
        {
            soundcheck::BusyCores busy;
            engine.play(h);
            // Until the end was heard (a stalled output could take longer than 10 s).
            for (int i = 0; i < 1200 && engine.isActive(h) == ChannelState::Playing; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        recorder.stop();
    }
    int channels = 0;
    const std::vector<float> rec = decodeFile(recording, channels);
    if (channels != 2) {
        std::printf("heard_ratio_loaded: skipped (no recording from %s)\n", monitor.c_str());
        return;
    }
    const soundcheck::Continuity c = soundcheck::measureContinuity(rec, 44100);
    std::printf("heard_ms_loaded: %.0f ms\n", c.heardMs);
    std::printf("played_ms_loaded: %.0f ms\n", c.spanMs);
    std::printf("longest_gap_ms: %.0f ms\n", c.longestGapMs);
    std::printf("heard_ratio_loaded: %.3f\n", c.ratio());
}

} // namespace

int main(int argc, char** argv) {
    // `bench-audio loaded`: only the playback under load (the others take a while).
    const bool onlyLoaded = argc > 1 && std::string(argv[1]) == "loaded";
    const fs::path dir = fs::temp_directory_path() / "tavrela-bench-audio";
    fs::create_directories(dir);
    const fs::path wav = dir / "music.wav";
    const fs::path cbr = dir / "music-cbr320.mp3";
    const fs::path vbr = dir / "music-vbr-v2.mp3";
    const fs::path music48 = dir / "music48.mp3";
    const fs::path jingle = dir / "jingle.wav";
    // Generated once and kept between runs: encoding five minutes takes a while.
    if (!fs::exists(cbr) || !fs::exists(vbr) || !fs::exists(music48) || !fs::exists(jingle)) {
        const bool ok = run("sox -R -n -r 44100 -c 2 -b 16 '" + wav.string() +
                            "' synth 300 pinknoise sine 220-880 vol 0.4 2>/dev/null") &&
                        run("lame --quiet -b 320 '" + wav.string() + "' '" + cbr.string() + "'") &&
                        run("lame --quiet -V 2 '" + wav.string() + "' '" + vbr.string() + "'") &&
                        run("sox -R -n -r 48000 -c 2 -b 16 '" + (dir / "m48.wav").string() +
                            "' synth 20 pinknoise sine 220-880 vol 0.4 2>/dev/null") &&
                        run("lame --quiet -V 2 '" + (dir / "m48.wav").string() + "' '" +
                            music48.string() + "'") &&
                        run("sox -R -n -r 44100 -c 2 -b 16 '" + jingle.string() +
                            "' synth 12 sine 660 vol 0.3 2>/dev/null");
        if (!ok) {
            std::fprintf(stderr, "cannot generate the benchmark files (sox, lame)\n");
            return 1;
        }
        fs::remove(wav);
    }
    if (onlyLoaded) {
        loadedPlaybackBenchmark(dir);
        return 0;
    }
    const double cbrRatio = decodeBenchmark(cbr, "cbr320");
    const double vbrRatio = decodeBenchmark(vbr, "vbr_v2");
    std::printf("decode_vs_floor: %.3f\n", std::max(cbrRatio, vbrRatio));
    playBenchmark(music48, jingle);
    syncBenchmark(music48);
    loadedPlaybackBenchmark(dir);
    return 0;
}
