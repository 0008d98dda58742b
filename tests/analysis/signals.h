#pragma once
// Synthetic test signals built piece by piece: tones, fades, noise and silence, at a chosen
// rate and channel count, with the times of their joins known exactly.

#include <cmath>
#include <cstdint>
#include <vector>

namespace tavrela::analysis::test {

class Signal {
public:
    Signal(int rate, int channels) : rate_(rate), channels_(channels) {}
    int rate() const { return rate_; }
    int channels() const { return channels_; }
    double seconds() const { return static_cast<double>(frames()) / rate_; }
    std::size_t frames() const { return samples_.size() / static_cast<std::size_t>(channels_); }
    const std::vector<float>& samples() const { return samples_; }

    /// Digital silence.
    Signal& silence(double seconds) {
        samples_.resize(samples_.size() + count(seconds) * channels_, 0.0f);
        return *this;
    }
    /// White noise of RMS `rmsDb` dBFS on every channel.
    Signal& noise(double seconds, double rmsDb) {
        const double amplitude = std::pow(10.0, rmsDb / 20.0) * std::sqrt(3.0);
        for (std::size_t i = 0, n = count(seconds) * channels_; i < n; ++i) {
            seed_ = seed_ * 6364136223846793005ULL + 1442695040888963407ULL;
            const double u = static_cast<double>(seed_ >> 11) / 9007199254740992.0; // [0,1)
            samples_.push_back(static_cast<float>((2.0 * u - 1.0) * amplitude));
        }
        return *this;
    }
    /// A sine of `hz` with peak `peakDb` dBFS on every channel, its level changing by
    /// `slopeDbPerSecond` (a fade when negative).
    Signal& tone(double seconds, double peakDb, double hz = 1000.0, double slopeDbPerSecond = 0.0) {
        const std::size_t n = count(seconds);
        for (std::size_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(i) / rate_;
            const double a = std::pow(10.0, (peakDb + slopeDbPerSecond * t) / 20.0);
            const double v = a * std::sin(2.0 * M_PI * hz * static_cast<double>(phase_++) / rate_);
            for (int c = 0; c < channels_; ++c) {
                samples_.push_back(static_cast<float>(v));
            }
        }
        return *this;
    }

private:
    std::size_t count(double seconds) const {
        return static_cast<std::size_t>(std::llround(seconds * rate_));
    }
    int rate_;
    int channels_;
    std::vector<float> samples_;
    std::uint64_t seed_ = 12345;
    std::uint64_t phase_ = 0;
};

} // namespace tavrela::analysis::test
