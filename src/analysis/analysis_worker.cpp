#include "analysis/analysis_worker.h"

#include <algorithm>
#include <utility>

namespace tavrela::analysis {

AnalysisWorker::AnalysisWorker(int channels, int sampleRate, AnalysisOptions options,
                               std::size_t maxQueuedBytes)
    : channels_(channels > 0 ? static_cast<std::size_t>(channels) : 0),
      // At least one chunk, so that a chunk always gets in.
      maxQueuedFloats_(std::max(maxQueuedBytes / sizeof(float), kChunkFloats)) {
    thread_ = std::thread([this, channels, sampleRate, options] {
        run(channels, sampleRate, options);
    });
}

AnalysisWorker::~AnalysisWorker() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        queue_.clear();
        queuedFloats_ = 0;
    }
    wake_.notify_all();
    room_.notify_all();
    thread_.join();
}

void AnalysisWorker::handOver() {
    if (filling_.empty()) {
        return;
    }
    {
        std::unique_lock lock(mutex_);
        room_.wait(lock, [this] {
            return cancelled_ || queue_.empty() ||
                   queuedFloats_ + filling_.size() <= maxQueuedFloats_;
        });
        if (!cancelled_) {
            queuedFloats_ += filling_.size();
            peakQueuedFloats_ = std::max(peakQueuedFloats_, queuedFloats_);
            queue_.push_back(std::move(filling_));
        }
    }
    filling_ = {};
    wake_.notify_one();
}

void AnalysisWorker::push(const float* interleaved, std::size_t frames) {
    if (interleaved == nullptr || frames == 0 || channels_ == 0) {
        return;
    }
    if (filling_.capacity() == 0) {
        filling_.reserve(kChunkFloats + frames * channels_);
    }
    filling_.insert(filling_.end(), interleaved, interleaved + frames * channels_);
    if (filling_.size() >= kChunkFloats) {
        handOver();
    }
}

void AnalysisWorker::finish() {
    handOver();
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    wake_.notify_one();
}

void AnalysisWorker::run(int channels, int sampleRate, AnalysisOptions options) {
    std::optional<Analyzer> analyzer;
    try {
        analyzer.emplace(channels, sampleRate, options);
    } catch (const std::exception&) {
        // Nothing to measure with: the result stays empty; drain until the producer is done.
    }
    for (;;) {
        std::vector<float> chunk;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return cancelled_ || finished_ || !queue_.empty(); });
            if (cancelled_) {
                return;
            }
            if (queue_.empty()) {
                break; // finished and drained
            }
            chunk = std::move(queue_.front());
            queue_.pop_front();
            queuedFloats_ -= chunk.size();
        }
        room_.notify_one();
        if (analyzer) {
            analyzer->add(chunk.data(), chunk.size() / channels_);
        }
    }
    std::lock_guard lock(mutex_);
    if (analyzer) {
        result_ = analyzer->finish();
    }
    ready_.store(true, std::memory_order_release);
    done_.notify_all();
}

const AudioAnalysis* AnalysisWorker::result() const {
    return ready() && result_ ? &*result_ : nullptr;
}

std::size_t AnalysisWorker::peakQueuedBytes() const {
    std::lock_guard lock(mutex_);
    return peakQueuedFloats_ * sizeof(float);
}

const AudioAnalysis* AnalysisWorker::wait() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return ready(); });
    return result();
}

} // namespace tavrela::analysis
