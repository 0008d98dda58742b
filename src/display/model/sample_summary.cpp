#include "sample_summary.h"

#include <algorithm>
#include <cmath>

namespace tavrela {

void TSampleSummary::Reserve(std::size_t Samples) {
    for (int level = 0; level < kLevels; ++level) {
        FLevels[static_cast<std::size_t>(level)].reserve(Samples / BlockSize(level) + 1);
    }
}

void TSampleSummary::Clear() {
    for (auto& level : FLevels) {
        level.clear();
        level.shrink_to_fit();
    }
    FOpen = {};
    FLength = 0;
    FMinAbs = 3.4028230e38f;
}

void TSampleSummary::CloseBlock(int Level) {
    const auto l = static_cast<std::size_t>(Level);
    FLevels[l].push_back(FOpen[l].Peak);
    if (Level + 1 < kLevels) {
        Open& up = FOpen[l + 1];
        up.Peak.Add(FOpen[l].Peak);
        if (++up.Count == kLevelFactor) {
            CloseBlock(Level + 1);
        }
    }
    FOpen[l] = {};
}

void TSampleSummary::Append(const float* Values, std::size_t Count, std::size_t Stride) {
    Stride = std::max<std::size_t>(Stride, 1);
    std::size_t i = 0;
    while (i < Count) {
        Open& open = FOpen[0];
        const std::size_t take = std::min(kFinestBlock - open.Count, Count - i);
        float lo = open.Peak.Min;
        float hi = open.Peak.Max;
        float minAbs = FMinAbs;
        const float* p = Values + i * Stride;
        for (std::size_t k = 0; k < take; ++k, p += Stride) {
            const float v = *p;
            lo = v < lo ? v : lo;
            hi = v > hi ? v : hi;
            const float a = std::fabs(v);
            minAbs = a < minAbs ? a : minAbs;
        }
        open.Peak = {lo, hi};
        FMinAbs = minAbs;
        open.Count += take;
        i += take;
        FLength += take;
        if (open.Count == kFinestBlock) {
            CloseBlock(0);
        }
    }
}

std::size_t TSampleSummary::BlockCount(int Level) const {
    const std::size_t size = BlockSize(Level);
    return (FLength + size - 1) / size;
}

TSamplePeak TSampleSummary::PartialBlock(int Level) const {
    // An open block holds its closed children; its open child (and that child's open
    // child, and so on) holds the rest.
    TSamplePeak p;
    for (int l = Level; l >= 0; --l) {
        p.Add(FOpen[static_cast<std::size_t>(l)].Peak);
    }
    return p;
}

TSamplePeak TSampleSummary::Blocks(int Level, std::size_t First, std::size_t Last) const {
    TSamplePeak p;
    if (Level < 0 || Level >= kLevels) {
        return p;
    }
    const std::vector<TSamplePeak>& blocks = FLevels[static_cast<std::size_t>(Level)];
    Last = std::min(Last, BlockCount(Level));
    const std::size_t closed = std::min(Last, blocks.size());
    for (std::size_t b = First; b < closed; ++b) {
        p.Add(blocks[b]);
    }
    if (Last > blocks.size() && First <= blocks.size()) {
        p.Add(PartialBlock(Level));
    }
    return p;
}

float TSampleSummary::MaxAbs() const {
    const TSamplePeak w = Whole();
    if (w.Empty()) {
        return 0.0f;
    }
    return std::max(std::fabs(w.Min), std::fabs(w.Max));
}

std::size_t TSampleSummary::ReservedBytes() const {
    std::size_t bytes = 0;
    for (const auto& level : FLevels) {
        bytes += level.capacity() * sizeof(TSamplePeak);
    }
    return bytes;
}

} // namespace tavrela
