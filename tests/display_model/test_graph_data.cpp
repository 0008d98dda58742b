#include "display/model/graph_data.h"
#include "display/model/samples_packet.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <new>

namespace tavrela {
namespace {

// Large enough to live in its own mapping (several MB), like a real curve.
constexpr std::size_t kLong = 600000;

void Fill(TGraphData& d, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
        d[i] = {static_cast<float>(i), static_cast<TColor>(i * 3), static_cast<TColor>(i * 7)};
    }
}

bool ZeroFrom(const TGraphData& d, std::size_t from) {
    for (std::size_t i = from; i < d.Length(); ++i) {
        if (!(d[i] == TGDGISample{})) {
            return false;
        }
    }
    return true;
}

TEST(GraphData, CopiesShareElements) {
    TGraphData a(10);
    EXPECT_EQ(a.Length(), 10u);
    EXPECT_TRUE(ZeroFrom(a, 0));
    TGraphData b = a;
    b[3].Value = 1.5f;
    EXPECT_EQ(a[3].Value, 1.5f);
    EXPECT_EQ(a.UseCount(), 2);
    EXPECT_TRUE(a.SharesWith(b));

    TGraphData c = a.Clone();
    c[3].Value = 2.5f;
    EXPECT_EQ(a[3].Value, 1.5f);
    EXPECT_FALSE(c.SharesWith(a));

    TGraphData empty;
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(empty.UseCount(), 0);
    EXPECT_EQ(empty.begin(), empty.end());
}

// Allocate generously, write the decoded part, cut to the decoded length: for sizes on
// both sides of the mapping threshold the elements stay, and a long array stays in place
// and hands its spare pages back.
TEST(GraphData, CutKeepsElementsInPlace) {
    for (const std::size_t decoded : {std::size_t{100}, std::size_t{20000}, kLong}) {
        SCOPED_TRACE(decoded);
        TGraphData d(decoded * 6 / 5);
        Fill(d, 0, decoded);
        const TGDGISample* before = d.data();
        const std::size_t reservedBefore = d.ReservedBytes();
        d.SetLength(decoded);
        ASSERT_EQ(d.Length(), decoded);
        EXPECT_EQ(d[decoded - 1].Value, static_cast<float>(decoded - 1));
        EXPECT_EQ(d[decoded / 2].PeakColor, static_cast<TColor>(decoded / 2 * 7));
        if (decoded == kLong) {
            EXPECT_EQ(d.data(), before) << "the cut must not copy";
            EXPECT_LT(d.ReservedBytes(), reservedBefore);
            EXPECT_LT(d.ReservedBytes(), decoded * sizeof(TGDGISample) + 4096 * 2);
        }
    }
}

// Growing again after a cut must not resurrect the cut-off samples.
TEST(GraphData, GrowthIsZeroEvenAfterCut) {
    for (const std::size_t n : {std::size_t{50}, kLong}) {
        TGraphData d(n);
        Fill(d, 0, n);
        d.SetLength(n - 7); // within the same page for the mapped case
        d.SetLength(n * 2); // and far beyond
        EXPECT_EQ(d[n - 8].Value, static_cast<float>(n - 8));
        EXPECT_TRUE(ZeroFrom(d, n - 7)) << n;
    }
    // From the heap into a mapping.
    TGraphData small(100);
    Fill(small, 0, 100);
    small.SetLength(kLong);
    EXPECT_EQ(small[99].Value, 99.0f);
    EXPECT_TRUE(ZeroFrom(small, 100));
}

TEST(GraphData, ResizingASharedArrayLeavesOtherHoldersAlone) {
    TGraphData curve(kLong);
    Fill(curve, 0, kLong);
    TGraphData packet = curve;
    packet.SetLength(10);
    EXPECT_EQ(curve.Length(), kLong);
    EXPECT_EQ(curve[kLong - 1].Value, static_cast<float>(kLong - 1));
    EXPECT_EQ(packet.Length(), 10u);
    EXPECT_EQ(packet[9].Value, 9.0f);
    EXPECT_FALSE(packet.SharesWith(curve));

    packet = curve;
    packet.SetLength(0);
    EXPECT_TRUE(packet.empty());
    EXPECT_EQ(curve.UseCount(), 1);
}

TEST(GraphData, ImpossibleSizeFailsCleanly) {
    TGraphData d(5);
    d[4].Value = 4.0f;
    EXPECT_THROW(d.SetLength(std::numeric_limits<std::size_t>::max() / 4), std::bad_alloc);
    EXPECT_EQ(d.Length(), 5u);
    EXPECT_EQ(d[4].Value, 4.0f);
}

TEST(GraphData, PacketCarriesAReference) {
    TSamplesPacket packet;
    EXPECT_EQ(packet.GraphItem, nullptr);
    packet.Samples.SetLength(1000);
    TGraphData received = packet.Samples;
    EXPECT_EQ(received.Length(), 1000u);
    EXPECT_TRUE(received.SharesWith(packet.Samples));
}

} // namespace
} // namespace tavrela
