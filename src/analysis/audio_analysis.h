#pragma once
// Measures a decoded stream as it is delivered: the level over time (for where the audio
// starts and ends), the loudness over time and the integrated loudness (BS.1770 / EBU R128),
// and on request the loudness range and the true peak.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tavrela::analysis {

/// What to measure beyond the level and the integrated loudness, which are always measured.
struct AnalysisOptions {
    bool truePeak = false;      ///< 4x oversampled peak (costs several times the rest)
    bool loudnessRange = false; ///< EBU R128 loudness range
};

/// The measurements of one stream. Levels and powers are per block of `blockFrames` frames
/// (10 ms), peaks per step of `peakStepFrames` frames (1 ms); a last partial block is left
/// out of the block tracks, a last partial step is kept.
struct AudioAnalysis {
    int sampleRate = 0;
    int channels = 0;
    std::uint64_t frames = 0; ///< frames measured
    int blockFrames = 0;
    int peakStepFrames = 0;
    /// Per block: the RMS level of the loudest channel in dBFS (full-scale square wave 0 dB;
    /// -inf for digital silence).
    std::vector<float> levelDb;
    /// Per block: the K-weighted mean power summed over the channels (BS.1770 weighting; a
    /// mono channel counts twice, as it is heard on two speakers). Linear.
    std::vector<float> loudnessPower;
    /// Per step: the largest absolute sample of any channel. Linear, 1.0 is full scale.
    std::vector<float> peaks;
    /// First frame that is not digital silence (== frames when all of it is).
    std::uint64_t firstSoundFrame = 0;

    double integratedLufs = 0;  ///< gated integrated loudness; -inf when nothing passes the gate
    double loudnessRangeLu = 0; ///< when asked for
    double truePeakDbtp = 0;    ///< when asked for; -inf for silence
    double samplePeakDbfs = 0;  ///< -inf for silence
    bool hasLoudnessRange = false;
    bool hasTruePeak = false;

    double seconds(std::uint64_t frame) const {
        return sampleRate > 0 ? static_cast<double>(frame) / sampleRate : 0.0;
    }
};

/// Streaming analyser: feed interleaved 32-bit float frames with add(), then finish().
class Analyzer {
public:
    /// Throws std::invalid_argument for channel counts or rates the meter cannot take.
    Analyzer(int channels, int sampleRate, AnalysisOptions options = {});
    ~Analyzer();
    Analyzer(const Analyzer&) = delete;
    Analyzer& operator=(const Analyzer&) = delete;

    int channels() const { return channels_; }
    int sampleRate() const { return sampleRate_; }
    /// Takes `frames` interleaved frames. Not-a-number and infinite samples count as silence
    /// for the level and are left out of the loudness.
    void add(const float* interleaved, std::size_t frames);
    /// The measurements of everything added; the analyser is spent afterwards.
    AudioAnalysis finish();

private:
    /// `frames` frames with non-finite and absurd samples made harmless (a copy only then).
    const float* sanitized(const float* interleaved, std::size_t frames);
    void addLevels(const float* interleaved, std::size_t frames);
    void closeBlock();

    struct Meter;
    std::unique_ptr<Meter> meter_;
    int channels_;
    int sampleRate_;
    AnalysisOptions options_;
    AudioAnalysis result_;
    // Running block and step.
    std::vector<double> blockSquares_; // per channel
    std::size_t blockFill_ = 0;
    float stepPeak_ = 0.0f;
    std::size_t stepFill_ = 0;
    bool heardSound_ = false;
    std::vector<float> clean_; // a block with non-finite samples replaced
};

/// Levels in dB of linear amplitudes and powers; -inf for 0.
double AmplitudeDb(double amplitude);
double PowerDb(double power);

} // namespace tavrela::analysis
