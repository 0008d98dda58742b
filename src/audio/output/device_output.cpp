#include "audio/output/output.h"

#include <portaudio.h>

#include <cmath>
#include <mutex>

namespace tavrela::audio {
namespace {

// PortAudio is set up once per process and kept once a device has been opened: setting it up
// again scans every device (slow with ALSA), and tearing it down unloads ALSA's plugins while
// some of their memory is still held. Without any device it is torn down again, so that a
// sound server started later is found by the next attempt.
std::mutex portAudioMutex;
bool portAudioReady = false;
bool portAudioKept = false;

bool acquirePortAudio() {
    std::lock_guard lock(portAudioMutex);
    if (!portAudioReady) {
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
            Pa_StopStream(stream_);
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
        params.suggestedLatency = info->defaultLowOutputLatency;
        const double rates[] = {static_cast<double>(rate), info->defaultSampleRate};
        for (const double r : rates) {
            if (r > 0 && Pa_OpenStream(&stream_, nullptr, &params, r, paFramesPerBufferUnspecified,
                                       paNoFlag, &DeviceOutput::callback, this) == paNoError) {
                rate_ = static_cast<int>(std::lround(r));
                break;
            }
            stream_ = nullptr;
        }
        if (stream_ == nullptr) {
            return false;
        }
        const PaStreamInfo* streamInfo = Pa_GetStreamInfo(stream_);
        latency_ = streamInfo != nullptr
                       ? static_cast<std::size_t>(std::lround(streamInfo->outputLatency * rate_))
                       : 0;
        return true;
    }

    bool start() override {
        if (Pa_IsStreamActive(stream_) == 1) {
            return true;
        }
        if (Pa_IsStreamStopped(stream_) != 1) {
            Pa_StopStream(stream_);
        }
        return Pa_StartStream(stream_) == paNoError;
    }

    void stop() override {
        if (Pa_IsStreamStopped(stream_) == 0) {
            Pa_StopStream(stream_);
        }
    }

    int rate() const override { return rate_; }
    std::size_t latencyFrames() const override { return latency_; }
    bool isDevice() const override { return true; }

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
