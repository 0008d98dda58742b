// The per-column picture of a curve: true extremes from the summary, the line through the
// samples at deep zoom.
#include "display/render/column_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

using namespace tavrela;

namespace {

struct TColumnSpan {
    float Lo = 1e30f;
    float Hi = -1e30f;
};

// The vertical extent drawn in each column (spans only: quads exactly one column wide).
std::map<int, TColumnSpan> Columns(const std::vector<TCustomVertex>& V) {
    std::map<int, TColumnSpan> out;
    for (std::size_t q = 0; q + 6 <= V.size(); q += 6) {
        const float x0 = V[q].X;
        const float x1 = V[q + 1].X;
        if (std::fabs(x1 - x0 - 1.0f) > 1e-3f || std::fabs(x0 - std::round(x0)) > 1e-3f) {
            continue; // a dot
        }
        TColumnSpan& s = out[static_cast<int>(std::lround(x0))];
        for (int k = 0; k < 6; ++k) {
            s.Lo = std::min(s.Lo, V[q + k].Y);
            s.Hi = std::max(s.Hi, V[q + k].Y);
        }
    }
    return out;
}

TSampleSummary Summarise(const std::vector<float>& V) {
    TSampleSummary s;
    s.Append(V.data(), V.size());
    return s;
}

} // namespace

TEST(ColumnGeometry, EveryClickShowsInItsColumn) {
    // Clicks of one sample on silence, at zoom levels from 40 to 5000 samples per column,
    // on and off block boundaries: each reaches its full height, up or down, within a column
    // of where it lies, and no column shows a click that is not there.
    std::vector<float> v(2000000, 0.0f);
    std::vector<std::size_t> clicks;
    for (std::size_t m = 1234; m < v.size(); m += 77777) {
        v[m] = (clicks.size() % 2 == 0) ? 0.9f : -0.8f;
        clicks.push_back(m);
    }
    const TSampleSummary summary = Summarise(v);
    for (const double spc : {40.0, 333.3, 1041.7, 5000.0}) {
        SCOPED_TRACE(spc);
        TColumnMapping m;
        m.PixelsPerSample = 1.0 / spc;
        m.Origin = -0.3;
        m.PixelsPerValue = 100.0;
        m.Columns = static_cast<int>(std::ceil(v.size() / spc));
        std::vector<TCustomVertex> out;
        BuildColumnVertexes(summary, nullptr, {}, m, {4, 0xFF00FF00, 0xFF008000, 0.0f}, out);
        const auto cols = Columns(out);
        int lit = 0;
        for (const auto& [c, s] : cols) {
            lit += (s.Hi > 0.5f || s.Lo < -0.5f) ? 1 : 0;
        }
        EXPECT_EQ(lit, static_cast<int>(clicks.size()));
        for (std::size_t i = 0; i < clicks.size(); ++i) {
            const double x = m.PixelsPerSample * static_cast<double>(clicks[i]) + m.Origin;
            const int c = static_cast<int>(std::floor(x));
            bool found = false;
            for (int k = c - 1; k <= c + 1; ++k) {
                const auto it = cols.find(k);
                if (it != cols.end()) {
                    found = found || (i % 2 == 0 ? it->second.Hi == 0.9f : it->second.Lo == -0.8f);
                }
            }
            EXPECT_TRUE(found) << clicks[i];
        }
    }
}

TEST(ColumnGeometry, DeepZoomDrawsTheLineThroughTheSamples) {
    std::vector<float> v(5000);
    for (std::size_t i = 0; i < v.size(); ++i) {
        v[i] = static_cast<float>(0.7 * std::sin(static_cast<double>(i) * 0.3));
    }
    const TSampleSummary summary = Summarise(v);
    for (const double pps : {0.5, 3.0, 12.0}) {
        SCOPED_TRACE(pps);
        TColumnMapping m;
        m.PixelsPerSample = pps;
        m.Origin = -1000.25 * pps; // sample 1000.25 at the left edge
        m.PixelsPerValue = 200.0;
        m.Columns = 640;
        const TSampleSpan need = RawSamplesNeeded(m, v.size());
        ASSERT_FALSE(need.Empty());
        ASSERT_LE(need.Last, v.size());
        std::vector<TCustomVertex> out;
        BuildColumnVertexes(summary, v.data() + need.First, need, m,
                            {3, 0xFF00FF00, 0xFF00FF00, 0.0f}, out);
        const auto cols = Columns(out);
        // Every sample in view lies inside the span of the column it falls in.
        for (std::size_t s = need.First; s < need.Last; ++s) {
            const double x = pps * static_cast<double>(s) + m.Origin;
            if (x < 0.0 || x >= m.Columns) {
                continue;
            }
            const auto it = cols.find(static_cast<int>(std::floor(x)));
            ASSERT_NE(it, cols.end()) << s;
            EXPECT_LE(it->second.Lo, v[s] + 1e-6f) << s;
            EXPECT_GE(it->second.Hi, v[s] - 1e-6f) << s;
        }
        // A line, not a fill: no column spans much more than the line crosses in it.
        for (const auto& [c, s] : cols) {
            EXPECT_LT(s.Hi - s.Lo, 0.7 * 0.3 / std::min(pps, 1.0) + 2.0 / 200.0) << c;
        }
        // Samples far apart get dots: quads that are not one column wide.
        const std::size_t spans = [&] {
            std::size_t n = 0;
            for (const auto& kv : cols) {
                n += 1;
                (void)kv;
            }
            return n;
        }();
        EXPECT_EQ(out.size() / 6 > spans, pps >= 6.0);
    }
    // Without the samples at hand the summary's finest blocks stand in.
    TColumnMapping m;
    m.PixelsPerSample = 3.0;
    m.Columns = 300;
    m.PixelsPerValue = 200.0;
    std::vector<TCustomVertex> out;
    BuildColumnVertexes(summary, nullptr, {}, m, {3, 0xFF00FF00, 0xFF00FF00, 0.0f}, out);
    const auto cols = Columns(out);
    EXPECT_EQ(cols.size(), 300u);
    EXPECT_NEAR(cols.at(0).Hi, summary.Blocks(0, 0, 1).Max, 1e-6);
}

TEST(ColumnGeometry, BarsFadeFromTheBaseline) {
    // A column spanning zero: two spans from the baseline, Base there and Top at each end.
    const std::vector<float> v = {0.5f, -0.25f, 0.5f, -0.25f};
    const TSampleSummary summary = Summarise(v);
    TColumnMapping m;
    m.PixelsPerSample = 1.0 / 64.0; // all four samples in column 0
    m.PixelsPerValue = 100.0;
    m.Columns = 4;
    std::vector<TCustomVertex> out;
    const TD3DColor top = 0xFF008000;
    const TD3DColor base = 0xFF00FF00;
    BuildColumnVertexes(summary, v.data(), {0, 4}, m, {4, top, base, 0.0f}, out);
    ASSERT_EQ(out.size(), 12u);
    EXPECT_EQ(out[0].Y, 0.0f);
    EXPECT_EQ(out[0].Color, base);
    EXPECT_EQ(out[2].Y, 0.5f);
    EXPECT_EQ(out[2].Color, top);
    EXPECT_EQ(out[8].Y, -0.25f);
    EXPECT_EQ(out[8].Color, top);
    // Entirely above the baseline: one span, its near end coloured part of the way.
    EXPECT_EQ(LerpColor(base, top, 0.5), 0xFF00C000u);
    const std::vector<float> up = {0.25f, 0.5f};
    const TSampleSummary upSummary = Summarise(up);
    BuildColumnVertexes(upSummary, up.data(), {0, 2}, m, {4, top, base, 0.0f}, out);
    ASSERT_EQ(out.size(), 6u);
    EXPECT_EQ(out[0].Y, 0.25f);
    EXPECT_EQ(out[0].Color, 0xFF00C000u);
    EXPECT_EQ(out[2].Y, 0.5f);
}
