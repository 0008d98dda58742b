#include "audio/dsp/position_map.h"

namespace tavrela::audio {

void PositionMap::add(std::uint64_t outStart, std::uint64_t outFrames, std::uint64_t chanStart,
                      std::uint64_t chanFrames) {
    if (outFrames == 0 && chanFrames == 0) {
        return;
    }
    if (count_ > 0) {
        Span& last = at(count_ - 1);
        // Contiguous on both clocks at the same ratio (the usual case): one longer stretch.
        if (last.outStart + last.outFrames == outStart &&
            last.chanStart + last.chanFrames == chanStart &&
            last.chanFrames * outFrames == chanFrames * last.outFrames) {
            last.outFrames += outFrames;
            last.chanFrames += chanFrames;
            return;
        }
    }
    if (count_ == kCapacity) {
        first_ = (first_ + 1) % kCapacity;
        --count_;
    }
    at(count_) = Span{outStart, outFrames, chanStart, chanFrames};
    ++count_;
}

std::uint64_t PositionMap::heardFrame(std::uint64_t heardOut, std::uint64_t fallback) {
    if (count_ == 0) {
        return fallback;
    }
    // Stretches followed by another that has begun to be heard are over.
    while (count_ > 1 && at(1).outStart <= heardOut) {
        first_ = (first_ + 1) % kCapacity;
        --count_;
    }
    const Span& s = at(0);
    if (heardOut <= s.outStart) {
        return s.chanStart;
    }
    const std::uint64_t into = heardOut - s.outStart;
    if (into >= s.outFrames) {
        return s.chanStart + s.chanFrames;
    }
    return s.chanStart + into * s.chanFrames / s.outFrames;
}

} // namespace tavrela::audio
