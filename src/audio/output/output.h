#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tavrela::audio {

/// Fills `frames` stereo float frames for the output. Runs on the output's real-time thread:
/// it must not allocate, lock or do I/O.
using RenderFunction = void (*)(void* user, float* out, std::size_t frames);

/// Where the mix goes: a sound device or the null output.
class Output {
public:
    virtual ~Output() = default;
    /// Starts calling the render function; true when running.
    virtual bool start() = 0;
    /// Stops calling it; returns once no call is under way.
    virtual void stop() = 0;
    /// Stops at once, dropping what the device still holds rather than playing it out (the
    /// engine is going away: nothing more is to be heard).
    virtual void abort() { stop(); }
    /// Sample rate in Hz.
    virtual int rate() const = 0;
    /// Frames between what the render function delivers and what is heard.
    virtual std::size_t latencyFrames() const = 0;
    /// True for a real device.
    virtual bool isDevice() const = 0;
    /// Which output this is, for the one line the program reports about it.
    virtual std::string description() const = 0;
};

/// Opens output device `device` (-1: the default) at `rate` Hz, or at the device's own rate
/// when it refuses that one; nullptr when no device can be opened.
std::unique_ptr<Output> openDeviceOutput(int device, int rate, RenderFunction render, void* user);

/// The null output: takes the mix and discards it. Its clock either follows real time (on its
/// own thread) or is advanced by hand with advance().
class NullOutput final : public Output {
public:
    NullOutput(int rate, bool manualClock, RenderFunction render, void* user);
    ~NullOutput() override;
    NullOutput(const NullOutput&) = delete;
    NullOutput& operator=(const NullOutput&) = delete;

    bool start() override;
    void stop() override;
    int rate() const override { return rate_; }
    std::size_t latencyFrames() const override { return 0; }
    bool isDevice() const override { return false; }
    std::string description() const override { return "silent null output"; }
    bool manualClock() const { return manual_; }
    /// Manual clock: renders `frames` frames into `out` (stereo) on the calling thread.
    void advance(float* out, std::size_t frames);

private:
    void run();

    int rate_;
    bool manual_;
    RenderFunction render_;
    void* user_;
    std::atomic<bool> running_{false};
    std::thread thread_;
};

} // namespace tavrela::audio
