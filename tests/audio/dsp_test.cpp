#include "audio/dsp/frame_ring.h"
#include "audio/dsp/mix.h"
#include "audio/dsp/position_map.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavrela::audio {
namespace {

TEST(FrameRing, KeepsOrderAcrossTheWrapAndNeverOverfills) {
    FrameRing ring(8, 2);
    float next = 0.0f;
    float expected = 0.0f;
    for (int round = 0; round < 12; ++round) {
        std::vector<float> in(10);
        for (float& v : in) {
            v = next++;
        }
        const std::size_t written = ring.write(in.data(), 5);
        next -= static_cast<float>((5 - written) * 2); // refused frames are offered again
        EXPECT_LE(ring.readable(), 8u);
        std::vector<float> out(6);
        const std::size_t got = ring.read(out.data(), 3);
        for (std::size_t i = 0; i < got * 2; ++i) {
            ASSERT_EQ(out[i], expected++);
        }
    }
    EXPECT_EQ(ring.writtenTotal() - ring.readTotal(), ring.readable());
    EXPECT_EQ(ring.readable(), 5u); // full at 8, then 3 read
}

TEST(PositionMap, TellsTheChannelFrameHeardAtAnOutputFrame) {
    PositionMap map;
    EXPECT_EQ(map.heardFrame(100, 7), 7u); // nothing known: the fallback
    map.add(1000, 500, 20000, 500);
    map.add(1500, 500, 20500, 500); // contiguous: merged
    map.add(3000, 100, 90000, 100); // after a pause and a jump
    const struct {
        std::uint64_t out;
        std::uint64_t frame;
    } cases[] = {{0, 20000},    {1000, 20000}, {1250, 20250}, {1999, 20999},
                 {2500, 21000}, {3050, 90050}, {5000, 90100}};
    for (const auto& c : cases) {
        EXPECT_EQ(map.heardFrame(c.out, 0), c.frame) << c.out;
    }
    PositionMap resampled;
    resampled.add(0, 441, 0, 480); // 48 kHz heard through 44.1 kHz
    EXPECT_EQ(resampled.heardFrame(441 / 3, 0), 160u);
}

TEST(Mix, FoldsEveryLayoutToStereo) {
    const float mono[] = {0.5f, -0.25f};
    float out[4];
    foldToStereo(mono, 1, 2, out);
    EXPECT_EQ(std::vector<float>(out, out + 4), (std::vector<float>{0.5f, 0.5f, -0.25f, -0.25f}));
    // 5.1: left, right, centre, LFE, surround left, surround right.
    const float six[] = {1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f};
    foldToStereo(six, 6, 1, out);
    EXPECT_NEAR(out[0], 1.0f + 0.7071f, 1e-4f);
    EXPECT_NEAR(out[1], 0.7071f + 0.7071f, 1e-4f);
    float sum[] = {1.0f, 2.0f};
    const float add[] = {0.5f, -2.0f};
    mixInto(sum, add, 2);
    EXPECT_EQ(sum[0], 1.5f);
    EXPECT_EQ(sum[1], 0.0f);
}

} // namespace
} // namespace tavrela::audio
