#include "audio/dsp/mix.h"

#include <algorithm>
#include <array>

namespace tavrela::audio {
namespace {

constexpr float kMinus3dB = 0.70710678f;

struct Gains {
    float left;
    float right;
};

// Weights of channel `index` of `channels` in the stereo fold. Layouts of up to eight
// channels follow the usual order (front L/R, centre, LFE, surrounds); the LFE channel is
// left out as a stereo fold does, and further channels alternate between the sides.
Gains foldGains(int index, int channels) {
    if (index == 0) {
        return {1.0f, 0.0f};
    }
    if (index == 1) {
        return {0.0f, 1.0f};
    }
    if (channels == 3 || (channels >= 5 && channels <= 8)) {
        if (index == 2) {
            return {kMinus3dB, kMinus3dB}; // centre
        }
        if (index == 3 && channels >= 6) {
            return {0.0f, 0.0f}; // low-frequency effects
        }
    }
    return index % 2 == 0 ? Gains{kMinus3dB, 0.0f} : Gains{0.0f, kMinus3dB};
}

} // namespace

void foldToStereo(const float* in, int channels, std::size_t frames, float* outStereo) {
    if (channels == 2) {
        std::copy(in, in + frames * 2, outStereo);
        return;
    }
    if (channels == 1) {
        for (std::size_t i = 0; i < frames; ++i) {
            outStereo[2 * i] = in[i];
            outStereo[2 * i + 1] = in[i];
        }
        return;
    }
    for (std::size_t i = 0; i < frames; ++i) {
        const float* frame = in + i * static_cast<std::size_t>(channels);
        float left = 0.0f;
        float right = 0.0f;
        for (int c = 0; c < channels; ++c) {
            const Gains g = foldGains(c, channels);
            left += g.left * frame[c];
            right += g.right * frame[c];
        }
        outStereo[2 * i] = left;
        outStereo[2 * i + 1] = right;
    }
}

void mixInto(float* dst, const float* src, std::size_t samples) {
    for (std::size_t i = 0; i < samples; ++i) {
        dst[i] += src[i];
    }
}

} // namespace tavrela::audio
