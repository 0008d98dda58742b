#include "analysis/audio_analysis.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

namespace tavrela::analysis {
namespace {

constexpr int kBlockMs = 10;
// Samples beyond this magnitude (about +80 dBFS) are not audio but garbage in a float file;
// they are clamped so the meter's filters stay finite.
constexpr float kMaxMagnitude = 1.0e4f;
constexpr double kMinusInf = -std::numeric_limits<double>::infinity();

} // namespace

double AmplitudeDb(double amplitude) {
    return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : kMinusInf;
}

double PowerDb(double power) {
    return power > 0.0 ? 10.0 * std::log10(power) : kMinusInf;
}

struct Analyzer::Meter {
    ebur128_state* state = nullptr;
    ~Meter() {
        if (state != nullptr) {
            ebur128_destroy(&state);
        }
    }
};

Analyzer::Analyzer(int channels, int sampleRate, AnalysisOptions options)
    : meter_(std::make_unique<Meter>()), channels_(channels), sampleRate_(sampleRate),
      options_(options) {
    if (channels < 1 || channels > 64 || sampleRate < 1000 || sampleRate > 768000) {
        throw std::invalid_argument("cannot measure " + std::to_string(channels) +
                                    " channels at " + std::to_string(sampleRate) + " Hz");
    }
    // The histogram keeps the gating memory constant however long the stream is.
    int mode = EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM;
    if (options.truePeak) {
        mode |= EBUR128_MODE_TRUE_PEAK;
    }
    if (options.loudnessRange) {
        mode |= EBUR128_MODE_LRA;
    }
    meter_->state =
        ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate), mode);
    if (meter_->state == nullptr) {
        throw std::runtime_error("the loudness meter could not be created");
    }
    if (channels == 1) {
        // A mono file is played on both speakers of the station: it is heard, and counted,
        // twice.
        ebur128_set_channel(meter_->state, 0, EBUR128_DUAL_MONO);
    }
    result_.sampleRate = sampleRate;
    result_.channels = channels;
    // The meter's own window arithmetic (rate * ms / 1000, truncated): the block power asked
    // of it then covers exactly the frames of our block.
    result_.blockFrames = std::max(1, sampleRate * kBlockMs / 1000);
    result_.peakStepFrames = std::max(1, sampleRate / 1000);
    blockSquares_.assign(static_cast<std::size_t>(channels), 0.0);
}

Analyzer::~Analyzer() = default;

const float* Analyzer::sanitized(const float* in, std::size_t frames) {
    const std::size_t n = frames * static_cast<std::size_t>(channels_);
    for (std::size_t i = 0; i < n; ++i) {
        // Written so that NaN fails the test too.
        if (!(std::fabs(in[i]) <= kMaxMagnitude)) {
            clean_.assign(in, in + n);
            for (std::size_t j = i; j < n; ++j) {
                float& v = clean_[j];
                v = std::isnan(v) ? 0.0f : std::clamp(v, -kMaxMagnitude, kMaxMagnitude);
            }
            return clean_.data();
        }
    }
    return in;
}

void Analyzer::addLevels(const float* in, std::size_t frames) {
    const auto chans = static_cast<std::size_t>(channels_);
    const auto stepFrames = static_cast<std::size_t>(result_.peakStepFrames);
    // Each channel's squares are summed in frame order whatever the pieces, so the result
    // does not depend on how the stream is cut.
    for (std::size_t c = 0; c < chans; ++c) {
        double sum = blockSquares_[c];
        for (std::size_t f = 0; f < frames; ++f) {
            const double v = in[f * chans + c];
            sum += v * v;
        }
        blockSquares_[c] = sum;
    }
    if (!heardSound_) {
        for (std::size_t i = 0; i < frames * chans; ++i) {
            if (in[i] != 0.0f) {
                heardSound_ = true;
                result_.firstSoundFrame = result_.frames + i / chans;
                break;
            }
        }
    }
    while (frames > 0) {
        const std::size_t take = std::min(frames, stepFrames - stepFill_);
        float peak = stepPeak_;
        for (std::size_t i = 0; i < take * chans; ++i) {
            peak = std::max(peak, std::fabs(in[i]));
        }
        stepPeak_ = peak;
        stepFill_ += take;
        if (stepFill_ == stepFrames) {
            result_.peaks.push_back(stepPeak_);
            stepPeak_ = 0.0f;
            stepFill_ = 0;
        }
        in += take * chans;
        frames -= take;
    }
}

void Analyzer::closeBlock() {
    double loudest = 0.0;
    for (double& s : blockSquares_) {
        loudest = std::max(loudest, s);
        s = 0.0;
    }
    result_.levelDb.push_back(
        static_cast<float>(PowerDb(loudest / static_cast<double>(result_.blockFrames))));
    double lufs = kMinusInf;
    if (ebur128_loudness_window(meter_->state, kBlockMs, &lufs) != EBUR128_SUCCESS ||
        !std::isfinite(lufs)) {
        lufs = kMinusInf;
    }
    // Back from the meter's loudness to the weighted power it was computed from.
    result_.loudnessPower.push_back(
        std::isfinite(lufs) ? static_cast<float>(std::pow(10.0, (lufs + 0.691) / 10.0)) : 0.0f);
    blockFill_ = 0;
}

void Analyzer::add(const float* interleaved, std::size_t frames) {
    if (interleaved == nullptr) {
        return;
    }
    const auto chans = static_cast<std::size_t>(channels_);
    const auto blockFrames = static_cast<std::size_t>(result_.blockFrames);
    while (frames > 0) {
        // Up to the end of the running block, so the meter is asked exactly at its end.
        const std::size_t take = std::min(frames, blockFrames - blockFill_);
        const float* block = sanitized(interleaved, take);
        addLevels(block, take);
        ebur128_add_frames_float(meter_->state, block, take);
        result_.frames += take;
        blockFill_ += take;
        if (blockFill_ == blockFrames) {
            closeBlock();
        }
        interleaved += take * chans;
        frames -= take;
    }
}

AudioAnalysis Analyzer::finish() {
    if (stepFill_ > 0) {
        result_.peaks.push_back(stepPeak_);
        stepFill_ = 0;
    }
    if (!heardSound_) {
        result_.firstSoundFrame = result_.frames;
    }
    ebur128_state* st = meter_->state;
    double integrated = kMinusInf;
    if (ebur128_loudness_global(st, &integrated) != EBUR128_SUCCESS || !std::isfinite(integrated)) {
        integrated = kMinusInf;
    }
    result_.integratedLufs = integrated;
    double peak = 0.0;
    for (float p : result_.peaks) {
        peak = std::max(peak, static_cast<double>(p));
    }
    result_.samplePeakDbfs = AmplitudeDb(peak);
    if (options_.loudnessRange) {
        double range = 0.0;
        result_.hasLoudnessRange = ebur128_loudness_range(st, &range) == EBUR128_SUCCESS;
        result_.loudnessRangeLu = std::isfinite(range) ? range : 0.0;
    }
    if (options_.truePeak) {
        double truePeak = 0.0;
        bool ok = true;
        for (int c = 0; c < channels_; ++c) {
            double channelPeak = 0.0;
            ok = ok && ebur128_true_peak(st, static_cast<unsigned>(c), &channelPeak) ==
                           EBUR128_SUCCESS;
            truePeak = std::max(truePeak, channelPeak);
        }
        result_.hasTruePeak = ok;
        result_.truePeakDbtp = AmplitudeDb(truePeak);
    }
    return std::move(result_);
}

} // namespace tavrela::analysis
