#pragma once

#include <cstddef>

struct soxr;

namespace tavrela::audio {

/// Streaming high-quality sample-rate converter for interleaved float frames.
class Resampler {
public:
    Resampler(double inRate, double outRate, int channels);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    bool valid() const { return state_ != nullptr; }
    /// Feeds up to `inFrames` frames and takes up to `outFrames` frames of output; reports the
    /// frames consumed and produced.
    void process(const float* in, std::size_t inFrames, std::size_t& inUsed, float* out,
                 std::size_t outFrames, std::size_t& outMade);
    /// After the last input: takes up to `outFrames` frames of what is still inside the filter.
    std::size_t drain(float* out, std::size_t outFrames);
    /// Forgets all input, ready for a new stretch of audio.
    void clear();

private:
    soxr* state_ = nullptr;
};

} // namespace tavrela::audio
