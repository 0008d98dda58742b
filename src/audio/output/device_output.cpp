#include "audio/output/output.h"
#include "audio/output/thread_priority.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <pa_linux_alsa.h>
#include <portaudio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <vector>
#include <atomic>

namespace tavrela::audio {
namespace {

// PortAudio is set up once per process and kept once a device has been opened: setting it up
// again scans every device (slow with ALSA), and tearing it down unloads ALSA's plugins while
// some of their memory is still held. Without any device it is torn down again, so that a
// sound server started later is found by the next attempt.
std::mutex portAudioMutex;
bool portAudioReady = false;
bool portAudioKept = false;

// What the device holds ahead of the speaker. The device's own "low latency" (about 9 ms
// through PulseAudio) underruns as soon as other programs load the processor; an editor
// loses nothing by a few tens of milliseconds more, since heard positions subtract it and
// pauses at a sync are cut in the mix, not at the device.
constexpr double kOutputLatencySeconds = 0.08;

// Probing every sound system prints dozens of lines on stderr (ALSA's configuration for cards
// that do not exist, a JACK server that is not running) that say nothing about the device we
// use; they are dropped, and the program reports the one output it chose.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
void quietJack(const char*) {}

void silenceProbeChatter() {
    snd_lib_error_set_handler(&quietAlsa);
    jack_set_error_function(&quietJack);
    jack_set_info_function(&quietJack);
}

bool acquirePortAudio() {
    std::lock_guard lock(portAudioMutex);
    if (!portAudioReady) {
        silenceProbeChatter();
        portAudioReady = Pa_Initialize() == paNoError;
    }
    return portAudioReady;
}

void releasePortAudio(bool deviceOpened) {
    std::lock_guard lock(portAudioMutex);
    portAudioKept = portAudioKept || deviceOpened;
    if (portAudioReady && !portAudioKept) {
        Pa_Terminate();
        portAudioReady = false;
    }
}

class DeviceOutput final : public Output {
public:
    DeviceOutput(RenderFunction render, void* user) : render_(render), user_(user) {}
    ~DeviceOutput() override {
        if (stream_ != nullptr) {
            abort();
            Pa_CloseStream(stream_);
        }
        if (initialized_) {
            releasePortAudio(stream_ != nullptr);
        }
    }
    DeviceOutput(const DeviceOutput&) = delete;
    DeviceOutput& operator=(const DeviceOutput&) = delete;

    bool open(int device, int rate) {
        initialized_ = acquirePortAudio();
        if (!initialized_) {
            return false;
        }
        const PaDeviceIndex index = device < 0 ? Pa_GetDefaultOutputDevice() : device;
        if (index == paNoDevice || index >= Pa_GetDeviceCount()) {
            return false;
        }
        const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
        if (info == nullptr || info->maxOutputChannels < 2) {
            return false;
        }
        PaStreamParameters params{};
        params.device = index;
        params.channelCount = 2;
        params.sampleFormat = paFloat32;
        params.suggestedLatency = std::max(kOutputLatencySeconds, info->defaultLowOutputLatency);
        const double rates[] = {static_cast<double>(rate), info->defaultSampleRate};
        // The sound system may start threads of its own for the stream (PulseAudio's client
        // thread carries every buffer to the server): they need the mixer's priority too, or
        // a busy machine starves them just the same.
        const std::vector<long> before = threadsOfThisProcess();
        for (const double r : rates) {
            // The device's buffer is primed from the ring, not with silence: Play is heard at
            // once.
            if (r > 0 && Pa_OpenStream(&stream_, nullptr, &params, r, paFramesPerBufferUnspecified,
                                       paPrimeOutputBuffersUsingStreamCallback,
                                       &DeviceOutput::callback, this) == paNoError) {
                rate_ = static_cast<int>(std::lround(r));
                break;
            }
            stream_ = nullptr;
        }
        if (stream_ == nullptr) {
            return false;
        }
        for (const long id : threadsOfThisProcess()) {
            if (std::find(before.begin(), before.end(), id) == before.end()) {
                raiseThreadPriority(id);
            }
        }
        const PaStreamInfo* streamInfo = Pa_GetStreamInfo(stream_);
        latency_ = streamInfo != nullptr
                       ? static_cast<std::size_t>(std::lround(streamInfo->outputLatency * rate_))
                       : 0;
        const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
        isAlsa_ = api != nullptr && api->type == paALSA;
        char text[256];
        std::snprintf(text, sizeof text, "%s (%s), %d Hz, %.0f ms", info->name,
                      api != nullptr ? api->name : "?", rate_,
                      streamInfo != nullptr ? streamInfo->outputLatency * 1000.0 : 0.0);
        description_ = text;
        return true;
    }

    bool start() override {
        if (Pa_IsStreamActive(stream_) == 1) {
            return true;
        }
        if (Pa_IsStreamStopped(stream_) != 1) {
            Pa_StopStream(stream_);
        }
        if (isAlsa_) {
            // The device thread runs real-time where the system allows it (it is created anew
            // at every start).
            PaAlsa_EnableRealtimeScheduling(stream_, 1);
        }
        return Pa_StartStream(stream_) == paNoError;
    }

    void stop() override {
        if (Pa_IsStreamStopped(stream_) == 0) {
            Pa_StopStream(stream_);
        }
    }

    // Stopping plays out the device's buffer and the sound server's (through PulseAudio a
    // few hundred milliseconds): too long for a program told to end.
    void abort() override {
        if (Pa_IsStreamStopped(stream_) == 0) {
            Pa_AbortStream(stream_);
        }
    }

    int rate() const override { return rate_; }
    std::size_t latencyFrames() const override { return latency_; }
    bool isDevice() const override { return true; }
    std::string description() const override { return description_; }

private:
    // Real-time thread of the sound system: only hands the engine's ring buffer to the
    // device (see the render function), no allocation, no lock, no I/O.
    static int callback(const void*, void* output, unsigned long frames,
                        const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* user) {
        auto* self = static_cast<DeviceOutput*>(user);
        self->render_(self->user_, static_cast<float*>(output), frames);
        return paContinue;
    }

    RenderFunction render_;
    void* user_;
    PaStream* stream_ = nullptr;
    bool initialized_ = false;
    int rate_ = 0;
    std::size_t latency_ = 0;
    bool isAlsa_ = false;
    std::string description_;
};

} // namespace

std::unique_ptr<Output> openDeviceOutput(int device, int rate, RenderFunction render, void* user) {
    auto output = std::make_unique<DeviceOutput>(render, user);
    if (!output->open(device, rate)) {
        return nullptr;
    }
    return output;
}

} // namespace tavrela::audio
