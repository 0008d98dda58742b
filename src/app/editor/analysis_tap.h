#pragma once
// Lets the file's analysis see every block the waveform decode reads, so loading decodes the
// file once for both. The analysis copies the blocks and measures them on its own thread.

#include "waveform_decode.h"

#include <analysis/analysis_worker.h>

namespace tavrela {

class AnalysisTap final : public WaveformSource {
public:
    /// `worker` may be null: the source is then read as it is.
    AnalysisTap(WaveformSource& inner, analysis::AnalysisWorker* worker)
        : inner_(inner), worker_(worker) {}
    /// However the decode ends, the analysis is not left waiting for more.
    ~AnalysisTap() override { Finish(); }
    AnalysisTap(const AnalysisTap&) = delete;
    AnalysisTap& operator=(const AnalysisTap&) = delete;
    int Channels() const override { return inner_.Channels(); }
    std::uint64_t LengthBytes() const override { return inner_.LengthBytes(); }
    std::uint64_t PositionBytes() const override { return inner_.PositionBytes(); }
    bool Active() const override { return inner_.Active(); }
    std::uint32_t Read(float* buffer, std::uint32_t bytes) override {
        const std::uint32_t got = inner_.Read(buffer, bytes);
        const int chans = inner_.Channels();
        if (worker_ != nullptr && got != kWaveformReadError && chans > 0) {
            worker_->push(buffer, got / 4 / static_cast<std::uint32_t>(chans));
        }
        return got;
    }
    /// The decode is over: the analysis completes with what it was given.
    void Finish() {
        if (worker_ != nullptr) {
            worker_->finish();
        }
    }

private:
    WaveformSource& inner_;
    analysis::AnalysisWorker* worker_;
};

} // namespace tavrela
