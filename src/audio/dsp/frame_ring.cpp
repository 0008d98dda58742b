#include "audio/dsp/frame_ring.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tavrela::audio {

FrameRing::FrameRing(std::size_t capacityFrames, int channels)
    : capacity_(std::bit_ceil(std::max<std::size_t>(capacityFrames, 2))), mask_(capacity_ - 1),
      channels_(channels) {
    data_.resize(capacity_ * static_cast<std::size_t>(channels_));
}

std::size_t FrameRing::writable() const {
    return capacity_ - static_cast<std::size_t>(write_.load(std::memory_order_relaxed) -
                                                read_.load(std::memory_order_acquire));
}

std::size_t FrameRing::readable() const {
    return static_cast<std::size_t>(write_.load(std::memory_order_acquire) -
                                    read_.load(std::memory_order_relaxed));
}

std::size_t FrameRing::write(const float* src, std::size_t frames) {
    const std::uint64_t w = write_.load(std::memory_order_relaxed);
    frames = std::min(frames, writable());
    const std::size_t start = static_cast<std::size_t>(w) & mask_;
    const std::size_t first = std::min(frames, capacity_ - start);
    const auto ch = static_cast<std::size_t>(channels_);
    std::memcpy(data_.data() + start * ch, src, first * ch * sizeof(float));
    std::memcpy(data_.data(), src + first * ch, (frames - first) * ch * sizeof(float));
    write_.store(w + frames, std::memory_order_release);
    return frames;
}

std::size_t FrameRing::read(float* dst, std::size_t frames) {
    const std::uint64_t r = read_.load(std::memory_order_relaxed);
    frames = std::min(frames, readable());
    const std::size_t start = static_cast<std::size_t>(r) & mask_;
    const std::size_t first = std::min(frames, capacity_ - start);
    const auto ch = static_cast<std::size_t>(channels_);
    std::memcpy(dst, data_.data() + start * ch, first * ch * sizeof(float));
    std::memcpy(dst + first * ch, data_.data(), (frames - first) * ch * sizeof(float));
    read_.store(r + frames, std::memory_order_release);
    return frames;
}

std::size_t FrameRing::discard() {
    const std::uint64_t r = read_.load(std::memory_order_relaxed);
    const std::size_t frames = readable();
    read_.store(r + frames, std::memory_order_release);
    return frames;
}

} // namespace tavrela::audio
