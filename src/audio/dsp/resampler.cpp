#include "audio/dsp/resampler.h"

#include <soxr.h>

namespace tavrela::audio {

Resampler::Resampler(double inRate, double outRate, int channels) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    // Always an explicit quality: a null spec would mean the low-quality converter.
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t error = nullptr;
    state_ = soxr_create(inRate, outRate, static_cast<unsigned>(channels), &error, &io, &quality,
                         nullptr);
    if (error != nullptr) {
        soxr_delete(state_);
        state_ = nullptr;
    }
}

Resampler::~Resampler() {
    soxr_delete(state_);
}

void Resampler::process(const float* in, std::size_t inFrames, std::size_t& inUsed, float* out,
                        std::size_t outFrames, std::size_t& outMade) {
    inUsed = 0;
    outMade = 0;
    if (state_ == nullptr || inFrames == 0) {
        return;
    }
    soxr_process(state_, in, inFrames, &inUsed, out, outFrames, &outMade);
}

std::size_t Resampler::drain(float* out, std::size_t outFrames) {
    std::size_t made = 0;
    if (state_ != nullptr) {
        soxr_process(state_, nullptr, 0, nullptr, out, outFrames, &made);
    }
    return made;
}

void Resampler::clear() {
    if (state_ != nullptr) {
        soxr_clear(state_);
    }
}

} // namespace tavrela::audio
