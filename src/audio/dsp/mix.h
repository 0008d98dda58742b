#pragma once

#include <cstddef>

namespace tavrela::audio {

/// Folds `frames` interleaved frames of `channels` channels to stereo: mono plays on both
/// sides, stereo passes through, more channels are folded with the usual surround weights.
void foldToStereo(const float* in, int channels, std::size_t frames, float* outStereo);

/// Adds `samples` samples of `src` into `dst`.
void mixInto(float* dst, const float* src, std::size_t samples);

} // namespace tavrela::audio
