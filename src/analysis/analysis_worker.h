#pragma once
// Runs an Analyzer on its own thread, fed with copies of the blocks a decode produces, so
// the decode goes on at its own pace and the analysis costs it no second pass over the file.

#include "analysis/audio_analysis.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tavrela::analysis {

class AnalysisWorker {
public:
    /// `maxQueuedBytes` bounds the frames taken but not yet analysed: a producer faster than
    /// the analysis waits in push() rather than the backlog growing with the file's length.
    AnalysisWorker(int channels, int sampleRate, AnalysisOptions options,
                   std::size_t maxQueuedBytes = kDefaultMaxQueuedBytes);
    /// Stops the analysis where it is (a result not yet ready is dropped) and joins.
    ~AnalysisWorker();
    AnalysisWorker(const AnalysisWorker&) = delete;
    AnalysisWorker& operator=(const AnalysisWorker&) = delete;

    /// Room enough that a song of several minutes never waits on a machine where the
    /// analysis is slower than the decode; a long recording is paced by the analysis.
    static constexpr std::size_t kDefaultMaxQueuedBytes = std::size_t{128} << 20;

    /// Takes a copy of `frames` interleaved frames. From one producer thread, before finish().
    /// Waits while the backlog is full.
    void push(const float* interleaved, std::size_t frames);
    /// No more frames: the analysis completes with what it was given.
    void finish();
    /// True once the result (or the failure) is there; never blocks.
    bool ready() const { return ready_.load(std::memory_order_acquire); }
    /// The result once ready(); empty before, and when the analysis failed.
    const AudioAnalysis* result() const;
    /// Blocks until ready(), then result(). Only after finish().
    const AudioAnalysis* wait();
    /// The most bytes ever waiting for the analysis at once.
    std::size_t peakQueuedBytes() const;

private:
    void run(int channels, int sampleRate, AnalysisOptions options);
    void handOver();

    // Frames are gathered into chunks of this many floats before they cross threads.
    static constexpr std::size_t kChunkFloats = 1 << 16;

    const std::size_t channels_;
    mutable std::mutex mutex_;
    std::condition_variable wake_; // the worker: data, the end, or the cancel
    std::condition_variable done_; // waiters: the result is there
    std::condition_variable room_; // the producer: the backlog has room again
    const std::size_t maxQueuedFloats_;
    std::size_t queuedFloats_ = 0;
    std::size_t peakQueuedFloats_ = 0;
    std::deque<std::vector<float>> queue_;
    std::vector<float> filling_; // producer side only
    bool finished_ = false;
    bool cancelled_ = false;
    std::atomic<bool> ready_{false};
    std::optional<AudioAnalysis> result_;
    std::thread thread_;
};

} // namespace tavrela::analysis
