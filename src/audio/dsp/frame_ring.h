#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrela::audio {

/// Single-producer single-consumer ring of interleaved float frames. Neither side locks or
/// allocates, so the consumer may be a real-time device callback.
class FrameRing {
public:
    /// Room for at least `capacityFrames` frames of `channels` samples.
    FrameRing(std::size_t capacityFrames, int channels);

    /// Frames the producer can write now.
    std::size_t writable() const;
    /// Frames the consumer can read now.
    std::size_t readable() const;
    /// Producer: copies up to `frames` frames in; returns the frames written.
    std::size_t write(const float* src, std::size_t frames);
    /// Consumer: copies up to `frames` frames out; returns the frames read.
    std::size_t read(float* dst, std::size_t frames);
    /// Consumer: drops everything readable (only while the consumer is stopped, by the thread
    /// that stopped it); returns the frames dropped.
    std::size_t discard();
    /// Frames ever written and ever read: the positions of both ends on the output clock.
    std::uint64_t writtenTotal() const { return write_.load(std::memory_order_acquire); }
    std::uint64_t readTotal() const { return read_.load(std::memory_order_acquire); }

private:
    std::vector<float> data_;
    std::size_t capacity_;
    std::size_t mask_;
    int channels_;
    std::atomic<std::uint64_t> write_{0};
    std::atomic<std::uint64_t> read_{0};
};

} // namespace tavrela::audio
