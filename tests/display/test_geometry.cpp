// Vertex builders of the waveform display: curve geometry, vertex budget, overlays.
#include "display/model/color.h"
#include "display/model/item.h"
#include "display/model/marker.h"
#include "display/render/overlay_geometry.h"
#include "display/render/sample_geometry.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tavrela;

namespace {

std::vector<TGDGISample> Ramp(std::size_t n) {
    std::vector<TGDGISample> s(n);
    for (std::size_t i = 0; i < n; ++i) {
        // The value tells which sample a vertex was taken from.
        s[i].Value = static_cast<float>(i) / static_cast<float>(n);
    }
    return s;
}

} // namespace

TEST(SampleGeometry, DecimationToTheVertexBudget) {
    struct Case {
        std::size_t Length;
        std::int64_t Budget;
        std::size_t StripVertices;
        int StripPrimitives;
        std::size_t StripSourceOfLast; // sample behind the last strip vertex
        int Bars;
        std::size_t BarSourceOfLast;
    };
    const Case cases[] = {
        {10, 500000, 10, 9, 9, 5, 8},
        {1000000, 500000, 500000, 499999, 999998, 250000, 999996},
        {1, 500000, 1, 0, 0, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Length);
        const std::vector<TGDGISample> samples = Ramp(c.Length);
        TSampleGeometryInput in;
        in.ScaleMode = 3; // values pass unchanged: Y identifies the sample
        in.MaximumVertexCount = c.Budget;

        TSampleGeometry strip;
        BuildLineStripVertexes(samples.data(), samples.size(), in, strip);
        ASSERT_EQ(strip.Vertices.size(), c.StripVertices);
        EXPECT_EQ(strip.PrimitiveCount, c.StripPrimitives);
        const TCustomVertex& last = strip.Vertices.back();
        EXPECT_FLOAT_EQ(last.X, static_cast<float>(c.StripVertices - 1) / 2.0f);
        EXPECT_FLOAT_EQ(last.Y, samples[c.StripSourceOfLast].Value);

        TSampleGeometry bars;
        BuildBarVertexes(samples.data(), samples.size(), in, bars);
        ASSERT_EQ(bars.Vertices.size(), static_cast<std::size_t>(6 * c.Bars));
        EXPECT_EQ(bars.PrimitiveCount, 2 * c.Bars);
        const TCustomVertex* bar = &bars.Vertices[bars.Vertices.size() - 6];
        EXPECT_FLOAT_EQ(bar[0].X, static_cast<float>(c.Bars - 1));
        EXPECT_FLOAT_EQ(bar[4].X, static_cast<float>(c.Bars));
        EXPECT_FLOAT_EQ(bar[0].Y, samples[c.BarSourceOfLast].Value);
        EXPECT_FLOAT_EQ(bar[1].Y, 0.0f);
    }
}

TEST(SampleGeometry, TenSamplesGiveHalfUnitSteps) {
    const std::vector<TGDGISample> samples = Ramp(10);
    TSampleGeometryInput in;
    TSampleGeometry strip;
    BuildLineStripVertexes(samples.data(), samples.size(), in, strip);
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_FLOAT_EQ(strip.Vertices[i].X, 0.5f * static_cast<float>(i));
        EXPECT_EQ(strip.Vertices[i].Color, ColorToD3D(0x00BB00));
    }
    TSampleGeometry bars;
    BuildBarVertexes(samples.data(), samples.size(), in, bars);
    for (int k = 0; k < 5; ++k) {
        EXPECT_FLOAT_EQ(bars.Vertices[6 * k].Y, samples[2 * k].Value) << k;
    }
}

TEST(SampleGeometry, ScaleModes) {
    struct Case {
        std::uint8_t ScaleMode;
        double Max, Min;
        float Range;
        double Offset;
        float Y0, Y1;
    };
    const Case cases[] = {
        {0, 1.0, 0.0, 0.5f, 0.0, -0.5f, 0.25f},   {1, 1.0, 0.0, 0.5f, 0.0, -0.5f, 0.25f},
        {2, 1.0, 0.0, 0.25f, 0.25, -0.75f, 0.0f}, {3, 1.0, 0.0, 1.0f, 0.0, -0.5f, 0.25f},
        {3, 2.0, 0.5, 1.5f, 0.5, -1.0f, -0.25f},
    };
    std::vector<TGDGISample> samples(2);
    samples[0].Value = -0.5f;
    samples[1].Value = 0.25f;
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.ScaleMode));
        TSampleGeometryInput in;
        in.ScaleMode = c.ScaleMode;
        in.AxisMax = c.Max;
        in.AxisMin = c.Min;
        TSampleGeometry g;
        BuildLineStripVertexes(samples.data(), samples.size(), in, g);
        EXPECT_FLOAT_EQ(g.AmplitudeRange, c.Range);
        EXPECT_DOUBLE_EQ(g.AmplitudeOffset, c.Offset);
        EXPECT_FLOAT_EQ(g.Vertices[0].Y, c.Y0);
        EXPECT_FLOAT_EQ(g.Vertices[1].Y, c.Y1);
    }
}

TEST(SampleGeometry, PerSampleColours) {
    std::vector<TGDGISample> samples(2);
    samples[0] = {0.5f, 0x0000FF, 0x00FF00};
    samples[1] = {0.5f, 0xFF0000, 0xFFFFFF};
    TSampleGeometryInput in;
    in.ColorMode = 1;
    TSampleGeometry strip;
    BuildLineStripVertexes(samples.data(), samples.size(), in, strip);
    EXPECT_EQ(strip.Vertices[0].Color, ColorToD3D(0x0000FF));
    EXPECT_EQ(strip.Vertices[1].Color, ColorToD3D(0xFF0000));

    // Bars: the sample's Color at the base, its PeakColor at the top.
    in.Color = 0x123456;
    TSampleGeometry bars;
    BuildBarVertexes(samples.data(), samples.size(), in, bars);
    EXPECT_EQ(bars.Vertices[0].Color, ColorToD3D(0x00FF00));
    EXPECT_EQ(bars.Vertices[1].Color, ColorToD3D(0x0000FF));

    in.ColorMode = 0;
    in.BaseColor = 0x654321;
    BuildBarVertexes(samples.data(), samples.size(), in, bars);
    EXPECT_EQ(bars.Vertices[0].Color, ColorToD3D(0x123456));
    EXPECT_EQ(bars.Vertices[2].Color, ColorToD3D(0x654321));
}

TEST(SampleGeometry, VertexBudgetAfterDeviceCreation) {
    struct Case {
        TD3DMaximumVertexCountMode Mode;
        std::int64_t Current;
        int MaxPrimitives;
        std::int64_t Expected;
    };
    const Case cases[] = {
        {gd3dCustom, 500000, 1048575, 500000},
        {gd3dCustom, 500000, 65535, 65534},
        {gd3dCustom, -5, 65535, -5},
        {gd3dAutomaticMaximum, 500000, 1048575, 1048574},
        {gd3dAutomaticMaximum, 10, 65535, 65534},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClampMaximumVertexCount(c.Mode, c.Current, c.MaxPrimitives), c.Expected);
    }
    // A budget of 0 or less takes every sample instead of dividing by it.
    EXPECT_FLOAT_EQ(SampleStep(1000, 0), 1.0f);
    EXPECT_FLOAT_EQ(SampleStep(1000, -5), 1.0f);
    EXPECT_FLOAT_EQ(SampleStep(1000, 400), 2.5f);
}

TEST(SampleGeometry, VisiblePrimitivesCoverTheWindowAndItsEdges) {
    // Line strip of 1000 segments (x from 0 to 500): window x 100 ... 150.
    TPrimitiveRange r = VisiblePrimitives(3, 1000, 100.0, 150.0);
    EXPECT_LE(r.StartVertex, 200);
    EXPECT_GE(r.StartVertex + r.PrimitiveCount, 300);
    EXPECT_LT(r.PrimitiveCount, 110);
    // Bars: 500 bars (1000 primitives), bar k at x = k ... k + 1; window 10.5 ... 20.5.
    r = VisiblePrimitives(4, 1000, 10.5, 20.5);
    EXPECT_EQ(r.StartVertex % 6, 0);
    EXPECT_LE(r.StartVertex / 6, 10);
    EXPECT_GE(r.StartVertex / 6 + r.PrimitiveCount / 2, 21);
    // A window past either end is clamped; the whole window gives the whole curve.
    r = VisiblePrimitives(3, 1000, -50.0, 1000.0);
    EXPECT_EQ(r.StartVertex, 0);
    EXPECT_EQ(r.PrimitiveCount, 1000);
    r = VisiblePrimitives(4, 1000, 600.0, 700.0);
    EXPECT_EQ(r.PrimitiveCount, 0);
}

TEST(SampleGeometry, BarsCoveringSamplingPoints) {
    // 100 bars of a quarter pixel from x = 10.1: columns 10 ... 34; one point per pixel.
    std::vector<TPrimitiveRange> runs = BarsCoveringSamples(100, 10.1, 0.25, 40, {0.5}, 0.01);
    ASSERT_EQ(runs.size(), 25u);
    EXPECT_EQ(runs[0].StartVertex, 6 * 1); // 10.5 lies in bar 1
    EXPECT_EQ(runs[0].PrimitiveCount, 2);
    EXPECT_EQ(runs[1].StartVertex, 6 * 5);
    // A point on a bar edge takes both neighbours.
    runs = BarsCoveringSamples(100, 10.0, 0.25, 40, {0.0}, 0.01);
    EXPECT_EQ(runs[0].StartVertex, 6 * 0);
    EXPECT_EQ(runs[1].StartVertex, 6 * 3);
    EXPECT_EQ(runs[1].PrimitiveCount, 4);
    // Bars wider than a pixel: every bar under the columns, merged into one run.
    runs = BarsCoveringSamples(10, -5.0, 3.0, 20, {0.125, 0.625}, 0.01);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].StartVertex, 6);
    EXPECT_EQ(runs[0].PrimitiveCount, 2 * 8);
    EXPECT_TRUE(BarsCoveringSamples(10, 100.0, 1.0, 50, {0.5}, 0.01).empty());
    EXPECT_TRUE(BarsCoveringSamples(10, 0.0, 0.0, 50, {0.5}, 0.01).empty());
}

TEST(OverlayGeometry, GridBuffers) {
    const std::vector<TCustomVertex> coords = CoordsVertexes(10, 0x444444);
    ASSERT_EQ(coords.size(), 42u);
    EXPECT_EQ(CoordsLineCount(10), 21);
    EXPECT_EQ(coords[0].Color, 0x88FFFFFFu);
    EXPECT_FLOAT_EQ(coords[0].Y, 0.0f);
    EXPECT_FLOAT_EQ(coords[1].X, 50000000.0f);
    for (int i = 0; i < 10; ++i) {
        EXPECT_FLOAT_EQ(coords[2 + 2 * i].Y, (i + 1) / 10.0f);
        EXPECT_FLOAT_EQ(coords[22 + 2 * i].Y, -(i + 1) / 10.0f);
        EXPECT_EQ(coords[2 + 2 * i].Color, ColorToD3D(0x444444));
    }
    for (const TCustomVertex& v : coords) {
        EXPECT_FLOAT_EQ(v.Z, -1.0f);
    }

    const std::vector<TCustomVertex> grid = GridVerticalVertexes(10, 0x444444);
    ASSERT_EQ(grid.size(), 18u);
    EXPECT_EQ(GridVerticalLineCount(10), 9);
    for (int k = 0; k < 9; ++k) {
        EXPECT_FLOAT_EQ(grid[2 * k].X, 359.0f + 60.0f * k);
        EXPECT_FLOAT_EQ(grid[2 * k].Y, 1.0f);
        EXPECT_FLOAT_EQ(grid[2 * k + 1].Y, -1.0f);
    }
    EXPECT_TRUE(GridVerticalVertexes(1, 0).empty());
    EXPECT_EQ(GridVerticalLineCount(1), 0);
    EXPECT_EQ(GridVerticalLineCount(0), 0);
}

TEST(OverlayGeometry, SelectionBand) {
    const auto band = SelectionVertexes(10.0f, 20.0f, 5.0f, 0xEEEEEE, 0x991111);
    const float xs[10] = {10, 10, 20, 20, 20, 10, 10, 10, 20, 20};
    const float ys[10] = {5, -5, -5, -5, 5, 5, 5, -5, 5, -5};
    for (int i = 0; i < 10; ++i) {
        EXPECT_FLOAT_EQ(band[i].X, xs[i]) << i;
        EXPECT_FLOAT_EQ(band[i].Y, ys[i]) << i;
        EXPECT_FLOAT_EQ(band[i].Z, -0.5f);
        // The fill's alpha is one below the converted colour's.
        EXPECT_EQ(band[i].Color, i < 6 ? 0xECEEEEEEu : ColorToD3D(0x991111)) << i;
    }
    const auto shade = SelectionShadeVertexes(10.0f, 20.0f, 5.0f);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(shade[i].X, band[i].X);
        EXPECT_EQ(shade[i].Y, band[i].Y);
        EXPECT_EQ(shade[i].Color, 0x770A0A22u);
    }
    // With XMax 0 the band collapses to 0.
    EXPECT_FLOAT_EQ(SelectionVertexX(5.0, 0.0, 1000), 0.0f);
    EXPECT_FLOAT_EQ(SelectionVertexX(250.0, 1000.0, 1000), 125.0f);
}

TEST(OverlayGeometry, MarkersAndHover) {
    TGraphDisplayItem pane(nullptr);
    for (int i = 0; i < 200; ++i) {
        TGraphDisplayMarker& m = pane.Markers.Add();
        m.X = i;
        m.Color = i == 1 ? 0x0000FFu : 0x00FF00u;
    }
    // Every marker is kept, far beyond 128 of them.
    std::vector<TCustomVertex> v = MarkerVertexes(pane.Markers, 1000.0, 1001, 1);
    ASSERT_EQ(v.size(), 400u);
    EXPECT_FLOAT_EQ(v[2 * 100].X, 100.0f / 1000.0f * 500.0f); // 1001 div 2 = 500
    EXPECT_FLOAT_EQ(v[0].Y, 4000.0f);
    EXPECT_FLOAT_EQ(v[1].Y, -4000.0f);
    EXPECT_FLOAT_EQ(v[0].Z, 1.0f);
    EXPECT_EQ(v[0].Color, ColorToD3D(0x00FF00));
    // The hovered marker is white; its alpha is the value's top byte.
    EXPECT_EQ(v[2].Color, 0x00FFFFFFu);
    EXPECT_EQ(v[3].Color, 0x00FFFFFFu);
    EXPECT_EQ(HighlightedMarkerColor(0xFFAAAAAA), 0xFFFFFFFFu);
    EXPECT_EQ(HighlightedMarkerColor(0x80000080), 0x80FFFFFFu);

    // XMax 0: every marker at x = -1.
    v = MarkerVertexes(pane.Markers, 0.0, 1001, -1);
    EXPECT_FLOAT_EQ(v[0].X, -1.0f);
    EXPECT_FLOAT_EQ(v[2].X, -1.0f);
}

TEST(OverlayGeometry, Cursor) {
    std::vector<TCustomVertex> solid = CursorVertexes(100.0f, true);
    ASSERT_EQ(solid.size(), 2u);
    EXPECT_EQ(solid[0].Color, 0xFFFFFFFFu);
    EXPECT_FLOAT_EQ(solid[0].X, 100.0f);
    EXPECT_FLOAT_EQ(solid[1].Y, -4000.0f);

    std::vector<TCustomVertex> band = CursorVertexes(100.0f, false);
    ASSERT_EQ(band.size(), 6u);
    EXPECT_FLOAT_EQ(band[0].X, -400.0f);
    EXPECT_EQ(band[0].Color, 0xFF000000u);
    EXPECT_EQ(band[1].Color, 0xFF000000u);
    EXPECT_EQ(band[2].Color, 0xFFFFFFFFu);
    EXPECT_FLOAT_EQ(band[3].X, 100.0f);
    EXPECT_FLOAT_EQ(band[4].Y, 4000.0f);
    for (const TCustomVertex& v : band) {
        EXPECT_FLOAT_EQ(v.Z, -1.0f);
    }
}
