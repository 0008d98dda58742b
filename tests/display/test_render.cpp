// Camera, world transforms, start-up animation and text layout of the waveform display.
#include "display/render/render_math.h"
#include "display/render/text_layout.h"
#include "display/render/transforms.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace tavrela;

namespace {

// Pixel of a curve vertex (x, y, z) under its world transform.
TPixelPoint CurvePixel(const TMatrix4& World, double X, double Y, double Z, double W, double H) {
    const TVector4 p = TransformPoint({X, Y, Z, 1.0}, World);
    return WorldToPixel(p.X, p.Y, p.Z, W, H);
}

} // namespace

TEST(Camera, IsATranslationAndAFixedPerspective) {
    const TMatrix4 view = CameraViewMatrix();
    EXPECT_EQ(view.m[0][0], 1.0f);
    EXPECT_EQ(view.m[1][1], 1.0f);
    EXPECT_EQ(view.m[2][2], 1.0f);
    EXPECT_FLOAT_EQ(view.m[3][0], -300.0f);
    EXPECT_FLOAT_EQ(view.m[3][1], 290.0f);
    EXPECT_FLOAT_EQ(view.m[3][2], 723.0f);
    const TMatrix4 proj = CameraProjectionMatrix();
    EXPECT_NEAR(proj.m[0][0], 2.4142136, 1e-6);
    EXPECT_NEAR(proj.m[1][1], 2.4142136, 1e-6);
    EXPECT_EQ(proj.m[2][3], 1.0f);
    // Depth runs from 0 at the near plane to 1 at the far plane.
    const TVector4 near = TransformPoint({0, 0, 1, 1}, proj);
    const TVector4 far = TransformPoint({0, 0, 50000, 1}, proj);
    EXPECT_NEAR(near.Z / near.W, 0.0, 1e-6);
    EXPECT_NEAR(far.Z / far.W, 1.0, 1e-6);
    // The view spans x -0.305 ... 600.305 and y -590.305 ... 10.305 at the curves' plane.
    EXPECT_NEAR(WorldToPixel(-0.305, 0, 2, 600, 300).X, 0.0, 1e-3);
    EXPECT_NEAR(WorldToPixel(600.305, 0, 2, 600, 300).X, 600.0, 1e-3);
    EXPECT_NEAR(WorldToPixel(300, 10.305, 2, 600, 300).Y, 0.0, 1e-3);
    EXPECT_NEAR(WorldToPixel(300, -590.305, 2, 600, 300).Y, 300.0, 1e-3);
}

TEST(CurveTransform, LongestCurveFillsTheWidthAtZoomOne) {
    TCurveTransformInput in;
    in.MaxPrimitiveCount = 1000;
    in.DisplayMode = 2;
    TMatrix4 world;
    ASSERT_TRUE(GraphItemTransform(in, nullptr, world));
    const TVector4 first = TransformPoint({0, 0, 0, 1}, world);
    const TVector4 last = TransformPoint({500, 0, 0, 1}, world);
    EXPECT_NEAR(first.X, -0.2, 1e-4);
    EXPECT_NEAR(last.X, 599.8, 1e-3);
    EXPECT_NEAR(first.Z, 2.0, 1e-6);
    const double W = 640;
    const double px0 = CurvePixel(world, 0, 0, 0, W, 480).X;
    const double px1 = CurvePixel(world, 500, 0, 0, W, 480).X;
    // Pixel centres sit on whole coordinates: the ends land in the first and last columns.
    EXPECT_EQ(std::lround(px0), 0);
    EXPECT_EQ(std::lround(px1), W - 1);

    // Zoom 4 at scroll position 600 shows the second quarter.
    in.ZoomFactor = 4.0;
    in.ViewScrollPosition = 600.0;
    ASSERT_TRUE(GraphItemTransform(in, nullptr, world));
    EXPECT_NEAR(TransformPoint({125, 0, 0, 1}, world).X, -0.2, 1e-3);
    const TVertexXRange visible = VisibleVertexXRange(in);
    EXPECT_NEAR(visible.First, 125.0, 0.1);
    EXPECT_NEAR(visible.Last, 250.0, 0.2);
}

TEST(CurveTransform, LaneLayouts) {
    struct Case {
        int Mode, Channels, Half, Channel;
        double CentreY; // world y of value 0
        double FullY;   // world y of a full-range value, relative to the centre
    };
    const Case cases[] = {
        {1, 0, 0, 0, -572.7, 567.0},    {2, 0, 0, 0, -289.7, 283.5},
        {3, 0, 0, 0, -144.95, 138.915}, {3, 0, 1, 0, -434.45, 138.915},
        {4, 2, 0, 0, -145.2, 134.6625}, {4, 2, 0, 1, -435.2, 134.6625},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Mode * 10 + c.Half + c.Channel);
        TCurveTransformInput in;
        in.DisplayMode = c.Mode;
        in.ChannelCount = c.Channels;
        in.Half = c.Half;
        in.Channel = c.Channel;
        in.AmplitudeRange = 0.5f;
        TMatrix4 world;
        ASSERT_TRUE(GraphItemTransform(in, nullptr, world));
        EXPECT_NEAR(TransformPoint({0, 0, 0, 1}, world).Y, c.CentreY, 1e-3);
        EXPECT_NEAR(TransformPoint({0, 0.5, 0, 1}, world).Y - c.CentreY, c.FullY, 1e-2);
    }
    // Lane centres of two stacked channels land at rows 77.7 and 222.5 of 300.
    TCurveTransformInput in;
    in.DisplayMode = 4;
    in.ChannelCount = 2;
    TMatrix4 world;
    for (int ch = 0; ch < 2; ++ch) {
        in.Channel = ch;
        ASSERT_TRUE(GraphItemTransform(in, nullptr, world));
        EXPECT_NEAR(CurvePixel(world, 0, 0, 0, 600, 300).Y, ch == 0 ? 77.7 : 222.5, 0.05);
    }
    // The curve selection band spans +-276.75 in layout 2.
    in.DisplayMode = 2;
    ASSERT_TRUE(GraphItemSelectionTransform(in, world));
    EXPECT_NEAR(TransformPoint({0, 1, 0, 1}, world).Y - TransformPoint({0, 0, 0, 1}, world).Y,
                276.75, 1e-3);
}

TEST(CurveTransform, DegenerateInputsStayFinite) {
    TCurveTransformInput in;
    in.AmplitudeRange = 0.0f; // all samples zero
    TMatrix4 zero;
    ASSERT_TRUE(GraphItemTransform(in, nullptr, zero));
    in.AmplitudeRange = 1.0f;
    TMatrix4 unit;
    ASSERT_TRUE(GraphItemTransform(in, nullptr, unit));
    EXPECT_EQ(zero, unit);

    in.DisplayMode = 4;
    in.ChannelCount = 0;
    ASSERT_TRUE(GraphItemTransform(in, nullptr, zero));
    for (const auto& row : zero.m) {
        for (float v : row) {
            EXPECT_TRUE(std::isfinite(v));
        }
    }
    in.DisplayMode = 7;
    EXPECT_FALSE(GraphItemTransform(in, nullptr, zero));
}

TEST(LaneTransform, GridLinesAndLanes) {
    EXPECT_EQ(PaneLanes(2, 0), (std::vector<TLane>{{0, 0}}));
    EXPECT_EQ(PaneLanes(3, 0), (std::vector<TLane>{{0, 0}, {1, 0}}));
    EXPECT_EQ(PaneLanes(4, 3), (std::vector<TLane>{{0, 1}, {0, 2}, {0, 3}}));
    EXPECT_TRUE(PaneLanes(0, 3).empty());

    TMatrix4 world;
    ASSERT_TRUE(LaneTransform(2, 0, {0, 0}, world));
    // Ten columns: the first vertical grid line (x = 359) stands at about 60 world units.
    EXPECT_NEAR(TransformPoint({359, 0, 0, 1}, world).X, 59.56, 0.01);
    EXPECT_NEAR(TransformPoint({0, 1, 0, 1}, world).Y, -6.5, 1e-3);
    ASSERT_TRUE(LaneTransform(4, 2, {0, 2}, world));
    EXPECT_NEAR(TransformPoint({0, 0, 0, 1}, world).Y, -435.0, 1e-3);
    EXPECT_NEAR(TransformPoint({0, 1, 0, 1}, world).Y, -435.0 + 134.5, 1e-3);
    EXPECT_FALSE(LaneTransform(5, 2, {0, 1}, world));
}

TEST(StartupAnimation, TiltsBackOverFiftyOneCurveDraws) {
    TAnimationState s = StartupAnimation();
    TCurveTransformInput in;
    TMatrix4 world;
    ASSERT_TRUE(GraphItemTransform(in, &s, world));
    // First draw: 88.2 degrees of tilt.
    EXPECT_NEAR(s.Matrix.m[1][1], std::cos(88.2 * std::numbers::pi / 180.0), 1e-5);
    int calls = 1;
    while (s.Animating) {
        ASSERT_TRUE(GraphItemTransform(in, &s, world));
        ++calls;
        ASSERT_LE(calls, 100);
    }
    EXPECT_EQ(calls, 51);
    // Later draws are not rotated.
    TMatrix4 plain;
    GraphItemTransform(in, nullptr, plain);
    TAnimationState after = s;
    GraphItemTransform(in, &after, world);
    EXPECT_EQ(world, plain);

    // With k curves drawn per frame the animation lasts ceil(51 / k) frames.
    for (int k : {1, 2, 3, 4}) {
        TAnimationState a = StartupAnimation();
        int frames = 0;
        while (a.Animating) {
            ++frames;
            for (int c = 0; c < k; ++c) {
                GraphItemTransform(in, &a, world);
            }
        }
        EXPECT_EQ(frames, (51 + k - 1) / k) << k;
    }
}

TEST(TextLayout, AxisYLabelRows) {
    struct Case {
        int Mode, Channels;
        std::size_t Index; // label in drawing order
        int Y;
    };
    const Case cases[] = {
        {2, 0, 0, 129},                               // first upper label
        {2, 0, 10, 158},                              // first lower label
        {1, 0, 0, 257},  {1, 0, 9, 2}, {4, 2, 0, 65}, // first upper label of lane 1
    };
    for (const Case& c : cases) {
        TAxisYLayoutInput in;
        in.DisplayMode = c.Mode;
        in.ChannelCount = c.Channels;
        in.Height = 300;
        in.FontSize = 12;
        in.Divisions = 10;
        const std::vector<TAxisYLabel> labels = AxisYLabels(in);
        ASSERT_GT(labels.size(), c.Index);
        EXPECT_EQ(labels[c.Index].Y, c.Y) << c.Mode << " #" << c.Index;
    }
    TAxisYLayoutInput in;
    in.DisplayMode = 2;
    in.Height = 300;
    in.Scale = 0.5;
    const std::vector<TAxisYLabel> two = AxisYLabels(in);
    ASSERT_EQ(two.size(), 20u);
    EXPECT_DOUBLE_EQ(two[0].EventValue, 0.05);
    EXPECT_EQ(two[0].Sign, QLatin1Char('+'));
    EXPECT_DOUBLE_EQ(two[10].EventValue, -0.05);
    EXPECT_DOUBLE_EQ(two[10].TextValue, 0.05);
    EXPECT_EQ(two[10].Sign, QLatin1Char('-'));
    in.DisplayMode = 3;
    EXPECT_EQ(AxisYLabels(in).size(), 40u);
    in.DisplayMode = 1;
    in.AxisMin = 2.0;
    EXPECT_DOUBLE_EQ(AxisYLabels(in)[0].EventValue, 2.05);
    in.DisplayMode = 9;
    EXPECT_TRUE(AxisYLabels(in).empty());

    EXPECT_DOUBLE_EQ(AxisYScale(0, 0.8f, 0.2f, 5, 1, 2.0f), 0.4f);
    EXPECT_DOUBLE_EQ(AxisYScale(1, 0.8f, 0.2f, 5, 1, 2.0f), 0.1f);
    EXPECT_DOUBLE_EQ(AxisYScale(3, 0.8f, 0.2f, 5, 1, 2.0f), 2.0);
}

TEST(TextLayout, AxisXLabelsLegendAndCaption) {
    const std::vector<TAxisXLabel> x = AxisXLabels(10, 0, 600, 1000.0, 600);
    ASSERT_EQ(x.size(), 9u);
    for (int i = 0; i < 9; ++i) {
        EXPECT_DOUBLE_EQ(x[i].X, 60.0 * (i + 1));
        EXPECT_DOUBLE_EQ(x[i].Value, 100.0 * (i + 1));
    }
    // Zoomed in twice at the second half: the window spans 500 ... 1000.
    const std::vector<TAxisXLabel> z = AxisXLabels(10, 600, 1200, 1000.0, 600);
    EXPECT_DOUBLE_EQ(z[0].Value, 550.0);
    EXPECT_TRUE(AxisXLabels(10, 0, 0, 1000.0, 600).empty());
    EXPECT_EQ(CentredLeft(60.0, 21), 50);

    const std::vector<TLegendCurve> three(3);
    auto rows = LegendPositions(2, 0, 0, 12, 600, 300, three);
    EXPECT_EQ(rows[0], (TTextPosition{75, 20}));
    EXPECT_EQ(rows[1], (TTextPosition{75, 38}));
    EXPECT_EQ(rows[2], (TTextPosition{75, 56}));
    rows = LegendPositions(1, 0, 3, 12, 600, 300, three);
    EXPECT_EQ(rows[0], (TTextPosition{475, 240}));
    EXPECT_EQ(rows[2], (TTextPosition{475, 276}));
    // Display mode 3: separate rows for each half; a curve in no half gets none.
    rows = LegendPositions(3, 0, 0, 12, 600, 300, {{0, 0}, {1, 0}, {0, 0}, {2, 0}});
    EXPECT_EQ(rows[0], (TTextPosition{75, 20}));
    EXPECT_EQ(rows[1], (TTextPosition{75, 170}));
    EXPECT_EQ(rows[2], (TTextPosition{75, 38}));
    EXPECT_FALSE(rows[3].has_value());
    // Display mode 4: rows counted per lane from 1; channels outside the lanes get none.
    rows = LegendPositions(4, 2, 0, 12, 600, 300, {{0, 0}, {0, 1}, {0, 5}});
    EXPECT_EQ(rows[0], (TTextPosition{75, static_cast<int>(18 + (150 - 37.5) * 0.97 - 71.25)}));
    EXPECT_EQ(rows[1], (TTextPosition{75, static_cast<int>(18 + (300 - 37.5) * 0.97 - 71.25)}));
    EXPECT_FALSE(rows[2].has_value());
    EXPECT_FALSE(LegendPositions(2, 0, 4, 12, 600, 300, three)[0].has_value());
}

TEST(TextLayout, XLabelsThinOutRatherThanOverlap) {
    // Nine labels 60 px apart (a 600-px panel, 10 divisions), of a given text width.
    const auto centres = [](int n, double spacing) {
        std::vector<double> c;
        for (int i = 1; i <= n; ++i) {
            c.push_back(spacing * i);
        }
        return c;
    };
    struct Case {
        const char* name;
        double spacing;
        int width;
        int stride;
    };
    const std::vector<Case> cases = {
        {"room for all", 60.0, 40, 1},      {"exactly the gap", 60.0, 52, 1},
        {"one pixel short", 60.0, 53, 2},   {"every second", 60.0, 100, 2},
        {"every fifth", 30.0, 100, 5},      {"the middle one only", 10.0, 500, 5},
        {"narrow panel", 52.0, 70, 2},
    };
    for (const Case& c : cases) {
        const std::vector<double> cs = centres(9, c.spacing);
        const std::vector<int> widths(cs.size(), c.width);
        EXPECT_EQ(LabelStride(cs, widths, 8), c.stride) << c.name;
    }
    // Widths differ: the widest neighbours decide.
    EXPECT_EQ(LabelStride({60, 120, 180}, {30, 70, 30}, 8), 1);
    EXPECT_EQ(LabelStride({60, 120, 180}, {30, 90, 30}, 8), 2);
    EXPECT_EQ(LabelStride({}, {}, 8), 1);
}

TEST(TextLayout, MarkerTextsStackWhereTheyWouldMeet) {
    // Lefts ascending; each takes the lowest row where it clears the text before it.
    EXPECT_EQ(StackedTextRows({0, 100, 200}, {50, 50, 50}, 8, 3), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(StackedTextRows({0, 30, 60, 90}, {50, 50, 50, 50}, 8, 3),
              (std::vector<int>{0, 1, 0, 1}));
    EXPECT_EQ(StackedTextRows({0, 5, 10, 15}, {50, 50, 50, 50}, 8, 3),
              (std::vector<int>{0, 1, 2, -1})); // no room left: not drawn
    EXPECT_TRUE(StackedTextRows({}, {}, 8, 3).empty());
}

TEST(TextLayout, ReadableTextColours) {
    constexpr std::uint32_t black = 0xFF000000;
    constexpr std::uint32_t white = 0xFFFFFFFF;
    EXPECT_NEAR(ContrastRatio(black, white), 21.0, 1e-9);
    EXPECT_NEAR(ContrastRatio(white, white), 1.0, 1e-9);
    struct Case {
        const char* name;
        std::uint32_t text, background;
    };
    const std::vector<Case> cases = {
        {"the editor's legend green on black", 0xFF008000, black},
        {"dark red on black", 0xFF800000, black},
        {"yellow on white", 0xFFFFFF00, white},
        {"grey on mid grey", 0xFF777777, 0xFF808080},
    };
    for (const Case& c : cases) {
        const std::uint32_t r = ReadableTextColor(c.text, c.background, 4.5);
        EXPECT_GE(ContrastRatio(r, c.background), 4.5) << c.name;
        EXPECT_EQ(r & 0xFF000000u, c.text & 0xFF000000u) << c.name; // alpha kept
    }
    // Already readable: unchanged.
    EXPECT_EQ(ReadableTextColor(0xFF00FF00, black, 4.5), 0xFF00FF00u);
    // The hue survives: green stays green.
    const std::uint32_t green = ReadableTextColor(0xFF008000, black, 4.5);
    EXPECT_EQ(green & 0xFF00FF, 0u);
}

TEST(TextLayout, NumberFormats) {
    struct Case {
        double Value;
        TFloatFormat Format;
        int Precision, Digits;
        const char* Text;
    };
    const Case cases[] = {
        {0.1, ffGeneral, 7, 4, "0.1"},
        {0.1 + 0.2, ffGeneral, 7, 4, "0.3"},
        {-2.5, ffGeneral, 7, 4, "-2.5"},
        {0.0, ffGeneral, 7, 4, "0"},
        {1234567.0, ffGeneral, 7, 4, "1234567"},
        {12345678.0, ffGeneral, 7, 0, "1.234568E7"},
        {0.00001, ffGeneral, 7, 4, "0.00001"},
        {0.000001, ffGeneral, 7, 4, "1E-0006"},
        {3.14159, ffFixed, 7, 2, "3.14"},
        {-0.001, ffFixed, 7, 2, "0.00"},
        {1234567.891, ffNumber, 15, 2, "1,234,567.89"},
        {1234.5, ffExponent, 7, 2, "1.234500E+03"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FloatToStrF(c.Value, c.Format, c.Precision, c.Digits).toStdString(), c.Text);
    }
    EXPECT_EQ(FloatToStrF(2.5, ffFixed, 7, 1, QLatin1Char(',')), QStringLiteral("2,5"));
}
