#include "display/model/sample_summary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace tavrela {
namespace {

std::vector<float> Noise(std::size_t N, std::uint32_t Seed) {
    std::vector<float> v(N);
    for (float& x : v) {
        Seed = Seed * 1664525u + 1013904223u;
        x = static_cast<float>(Seed >> 8) / 8388608.0f - 1.0f;
    }
    return v;
}

TSamplePeak Brute(const std::vector<float>& V, std::size_t First, std::size_t Last) {
    TSamplePeak p;
    for (std::size_t i = First; i < Last && i < V.size(); ++i) {
        p.Add(V[i]);
    }
    return p;
}

// Every block range at every level against a plain scan, for lengths on and off the block
// boundaries, appended in uneven pieces as a decoder delivers them.
TEST(SampleSummary, BlocksHoldTheTrueExtremes) {
    for (const std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{31}, std::size_t{32},
                                std::size_t{33}, std::size_t{512 * 16 + 5},
                                std::size_t{131072 + 8192 * 3 + 77}}) {
        SCOPED_TRACE(n);
        const std::vector<float> v = Noise(n, static_cast<std::uint32_t>(n) + 7u);
        TSampleSummary s;
        s.Reserve(n);
        for (std::size_t at = 0, piece = 1; at < n; at += piece, piece = piece * 3 % 1000 + 1) {
            s.Append(v.data() + at, std::min(piece, n - at));
        }
        ASSERT_EQ(s.Length(), n);
        EXPECT_EQ(s.Whole(), Brute(v, 0, n));
        for (int level = 0; level < TSampleSummary::kLevels; ++level) {
            const std::size_t size = TSampleSummary::BlockSize(level);
            const std::size_t blocks = s.BlockCount(level);
            EXPECT_EQ(blocks, (n + size - 1) / size);
            // Each single block, the last (maybe partial) one included, and a few runs.
            for (std::size_t b = 0; b < blocks; b += 1 + blocks / 50) {
                EXPECT_EQ(s.Blocks(level, b, b + 1), Brute(v, b * size, (b + 1) * size)) << b;
            }
            if (blocks > 0) {
                EXPECT_EQ(s.Blocks(level, blocks - 1, blocks),
                          Brute(v, (blocks - 1) * size, blocks * size));
                EXPECT_EQ(s.Blocks(level, blocks / 3, blocks + 10),
                          Brute(v, blocks / 3 * size, n));
            }
            EXPECT_TRUE(s.Blocks(level, blocks, blocks + 5).Empty());
        }
    }
}

TEST(SampleSummary, InterleavedChannelsAndAbsoluteBounds) {
    // Two channels interleaved: each summary takes every second value.
    const std::vector<float> frames = {0.5f, -0.25f, -0.75f, 0.125f, 0.25f, -1.0f};
    TSampleSummary left;
    TSampleSummary right;
    left.Append(frames.data(), 3, 2);
    right.Append(frames.data() + 1, 3, 2);
    EXPECT_EQ(left.Whole(), (TSamplePeak{-0.75f, 0.5f}));
    EXPECT_EQ(right.Whole(), (TSamplePeak{-1.0f, 0.125f}));
    EXPECT_FLOAT_EQ(left.MaxAbs(), 0.75f);
    EXPECT_FLOAT_EQ(left.MinAbs(), 0.25f);
    EXPECT_FLOAT_EQ(right.MaxAbs(), 1.0f);
    EXPECT_FLOAT_EQ(right.MinAbs(), 0.125f);

    // NaN is left out of the extremes; an empty summary has no span.
    const float odd[] = {NAN, 0.5f};
    TSampleSummary withNan;
    withNan.Append(odd, 2);
    EXPECT_EQ(withNan.Whole(), (TSamplePeak{0.5f, 0.5f}));
    TSampleSummary empty;
    EXPECT_TRUE(empty.Whole().Empty());
    EXPECT_EQ(empty.MaxAbs(), 0.0f);

    // About one sixteenth of the samples' own size is kept.
    TSampleSummary big;
    const std::vector<float> v = Noise(1 << 20, 3);
    big.Reserve(v.size());
    big.Append(v.data(), v.size());
    EXPECT_LT(big.ReservedBytes(), v.size() * sizeof(float) / 8);
    big.Clear();
    EXPECT_EQ(big.Length(), 0u);
    EXPECT_EQ(big.ReservedBytes(), 0u);
}

} // namespace
} // namespace tavrela
