#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace tavrela {

/// The smallest and the largest value of a run of samples. An empty peak has Min > Max.
struct TSamplePeak {
    float Min = 3.4028235e38f;
    float Max = -3.4028235e38f;

    bool Empty() const { return Min > Max; }
    void Add(float V) {
        // NaN compares false both ways and is left out.
        Min = V < Min ? V : Min;
        Max = V > Max ? V : Max;
    }
    void Add(const TSamplePeak& P) {
        Min = P.Min < Min ? P.Min : Min;
        Max = P.Max > Max ? P.Max : Max;
    }
    friend bool operator==(const TSamplePeak&, const TSamplePeak&) = default;
};

/// A curve's samples reduced to the minimum and maximum of every block, at a few block sizes
/// (32, 512, 8192 and 131072 samples). Built while the samples stream past (decoding), it
/// lets a picture show the true extremes of any run of whole blocks without keeping the
/// samples themselves: about 1/16 of the samples' own size in floats.
class TSampleSummary {
public:
    static constexpr int kLevels = 4;
    static constexpr std::size_t kFinestBlock = 32;
    static constexpr std::size_t kLevelFactor = 16;

    /// Samples per block of Level (0 is the finest).
    static constexpr std::size_t BlockSize(int Level) {
        std::size_t size = kFinestBlock;
        for (int i = 0; i < Level; ++i) {
            size *= kLevelFactor;
        }
        return size;
    }

    /// Room for a summary of about Samples samples (the pages are taken only when written).
    void Reserve(std::size_t Samples);
    /// Adds Count samples, read at Values[0], Values[Stride], ... (Stride >= 1).
    void Append(const float* Values, std::size_t Count, std::size_t Stride = 1);
    /// Forgets every sample.
    void Clear();

    /// Samples summarised.
    std::size_t Length() const { return FLength; }
    bool Empty() const { return FLength == 0; }
    /// Blocks of Level, the last one possibly partial.
    std::size_t BlockCount(int Level) const;
    /// The peak of blocks [First, Last) of Level; out-of-range blocks are left out.
    TSamplePeak Blocks(int Level, std::size_t First, std::size_t Last) const;
    /// The peak of every sample.
    TSamplePeak Whole() const { return Blocks(kLevels - 1, 0, BlockCount(kLevels - 1)); }
    /// The largest and the smallest absolute value (0 and 3.402823e38 when empty).
    float MaxAbs() const;
    float MinAbs() const { return FMinAbs; }
    /// Bytes held for the blocks.
    std::size_t ReservedBytes() const;

private:
    // A block of a level, completed or still open.
    struct Open {
        TSamplePeak Peak;
        std::size_t Count = 0; // samples (level 0) or blocks of the level below
    };
    void CloseBlock(int Level);
    TSamplePeak PartialBlock(int Level) const;

    std::array<std::vector<TSamplePeak>, kLevels> FLevels;
    std::array<Open, kLevels> FOpen;
    std::size_t FLength = 0;
    float FMinAbs = 3.4028230e38f;
};

} // namespace tavrela
