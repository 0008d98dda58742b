#pragma once
// Shared by the sound integration test and the audio benchmark: records a PulseAudio sink's
// monitor with parec, keeps every core busy for a while, and measures how continuously a tone
// arrived in the recording.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <cmath>
#include <csignal>
#include <cstddef>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace tavrela::soundcheck {

/// Records `monitor` (a source name such as "nullsink.monitor") into a 16-bit stereo 44.1 kHz
/// WAV file while alive; the recording is finished when the object ends or stop() is called.
class SinkRecorder {
public:
    SinkRecorder(const std::string& monitor, const std::string& wavFile) : file_(wavFile) {
        std::vector<std::string> args = {"parec",          "-d",           monitor,
                                         "--file-format=wav", "--format=s16le", "--rate=44100",
                                         "--channels=2",   "--latency-msec=20", wavFile};
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, "parec", nullptr, nullptr, argv.data(), environ) != 0) {
            pid_ = 0;
        }
    }
    ~SinkRecorder() { stop(); }
    SinkRecorder(const SinkRecorder&) = delete;
    SinkRecorder& operator=(const SinkRecorder&) = delete;

    bool started() const { return pid_ > 0; }
    /// Waits (up to `timeoutMs`) until the sink's sound is being written, past the header and
    /// a few milliseconds of silence: parec connects late on a busy machine. False when it
    /// never began.
    bool waitUntilRecording(int timeoutMs = 20000) const {
        for (int waited = 0; pid_ > 0 && waited < timeoutMs; waited += 10) {
            std::error_code error;
            const auto size = std::filesystem::file_size(file_, error);
            if (!error && size > 44 + 4 * 441) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    /// Interrupts parec (which then completes the WAV header) and waits for it.
    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGINT);
            int status = 0;
            ::waitpid(pid_, &status, 0);
            pid_ = 0;
        }
    }

private:
    std::string file_;
    pid_t pid_ = 0;
};

/// One spinning thread per core (at normal priority) while alive: a machine whose every core
/// is busy with other work.
class BusyCores {
public:
    explicit BusyCores(unsigned threads = std::max(1u, std::thread::hardware_concurrency())) {
        for (unsigned i = 0; i < threads; ++i) {
            threads_.emplace_back([this] {
                volatile std::uint64_t sink = 0;
                while (!stop_.load(std::memory_order_relaxed)) {
                    for (int k = 0; k < 100000; ++k) {
                        sink = sink + static_cast<std::uint64_t>(k);
                    }
                }
            });
        }
    }
    ~BusyCores() {
        stop_ = true;
        for (auto& t : threads_) {
            t.join();
        }
    }
    BusyCores(const BusyCores&) = delete;
    BusyCores& operator=(const BusyCores&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

/// How continuously a tone arrived: the recording is cut in 1 ms windows, a window counts as
/// sound when the left side's RMS passes `threshold`, and only the stretch from the first to
/// the last sounding window counts (the silence before and after the playback does not).
struct Continuity {
    double heardMs = 0.0;   ///< sounding windows
    double spanMs = 0.0;    ///< first to last sounding window
    double longestGapMs = 0.0;
    double ratio() const { return spanMs > 0.0 ? heardMs / spanMs : 0.0; }
};

/// `stereo`: interleaved stereo frames at `rate`.
inline Continuity measureContinuity(const std::vector<float>& stereo, int rate,
                                    float threshold = 0.05f) {
    const std::size_t window = static_cast<std::size_t>(std::max(rate / 1000, 1));
    const std::size_t windows = stereo.size() / 2 / window;
    std::vector<bool> sound(windows, false);
    for (std::size_t w = 0; w < windows; ++w) {
        double sum = 0.0;
        for (std::size_t i = 0; i < window; ++i) {
            const double v = stereo[2 * (w * window + i)];
            sum += v * v;
        }
        sound[w] = std::sqrt(sum / static_cast<double>(window)) > threshold;
    }
    Continuity c;
    const auto first = std::find(sound.begin(), sound.end(), true);
    if (first == sound.end()) {
        return c;
    }
    const auto last = std::find(sound.rbegin(), sound.rend(), true).base();
    std::size_t gap = 0;
    std::size_t longest = 0;
    std::size_t heard = 0;
    for (auto it = first; it != last; ++it) {
        if (*it) {
            ++heard;
            gap = 0;
        } else {
            longest = std::max(longest, ++gap);
        }
    }
    const double msPerWindow = 1000.0 * static_cast<double>(window) / rate;
    c.heardMs = static_cast<double>(heard) * msPerWindow;
    c.spanMs = static_cast<double>(last - first) * msPerWindow;
    c.longestGapMs = static_cast<double>(longest) * msPerWindow;
    return c;
}

} // namespace tavrela::soundcheck
