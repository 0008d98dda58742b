#include "overlay_geometry.h"

#include "controls/color/hsl.h"
#include "display/model/color.h"
#include "display/model/marker.h"

#include <cmath>

namespace tavrela {

namespace {
// Far past the right edge at any zoom the view reaches in practice.
constexpr float kLineEnd = 50000000.0f;
constexpr TD3DColor kZeroLineColor = 0x88FFFFFF;
constexpr TD3DColor kShadeColor = 0x770A0A22;
constexpr TD3DColor kWhite = 0xFFFFFFFF;
constexpr TD3DColor kBlack = 0xFF000000;
constexpr float kMarkerHalfHeight = 4000.0f;
} // namespace

int CoordsLineCount(int Divisions) {
    return 2 * std::max(Divisions, 0) + 1;
}

std::vector<TCustomVertex> CoordsVertexes(int Divisions, TColor GridColor) {
    const int n = std::max(Divisions, 0);
    const TD3DColor g = ColorToD3D(GridColor);
    std::vector<TCustomVertex> v;
    v.reserve(static_cast<std::size_t>(4 * n + 2));
    v.push_back({0.0f, 0.0f, -1.0f, kZeroLineColor});
    v.push_back({kLineEnd, 0.0f, -1.0f, kZeroLineColor});
    for (int i = 0; i < n; ++i) {
        const auto y = static_cast<float>(static_cast<double>(i + 1) / n);
        v.push_back({0.0f, y, -1.0f, g});
        v.push_back({kLineEnd, y, -1.0f, g});
    }
    for (int i = 0; i < n; ++i) {
        const auto y = static_cast<float>(-static_cast<double>(i + 1) / n);
        v.push_back({0.0f, y, -1.0f, g});
        v.push_back({kLineEnd, y, -1.0f, g});
    }
    return v;
}

int GridVerticalLineCount(int Divisions) {
    return std::max(Divisions - 1, 0);
}

std::vector<TCustomVertex> GridVerticalVertexes(int Divisions, TColor GridColor) {
    const TD3DColor g = ColorToD3D(GridColor);
    std::vector<TCustomVertex> v;
    for (int k = 1; k <= Divisions - 1; ++k) {
        const auto x = static_cast<float>(600.0 / Divisions * k + 299.0);
        v.push_back({x, 1.0f, 0.0f, g});
        v.push_back({x, -1.0f, 0.0f, g});
    }
    return v;
}

std::array<TCustomVertex, 10> SelectionVertexes(float XStart, float XEnd, float Height,
                                                TColor SelectionColor,
                                                TColor SelectionBorderColor) {
    constexpr float z = -0.5f;
    // One step less alpha than the converted colour: the fill blends a touch lighter.
    const TD3DColor f = ColorToD3D(SelectionColor) - 0x01000000u;
    const TD3DColor e = ColorToD3D(SelectionBorderColor);
    const float xs = XStart;
    const float xe = XEnd;
    const float h = Height;
    return {{{xs, h, z, f},
             {xs, -h, z, f},
             {xe, -h, z, f},
             {xe, -h, z, f},
             {xe, h, z, f},
             {xs, h, z, f},
             {xs, h, z, e},
             {xs, -h, z, e},
             {xe, h, z, e},
             {xe, -h, z, e}}};
}

std::array<TCustomVertex, 6> SelectionShadeVertexes(float XStart, float XEnd, float Height) {
    constexpr float z = -0.5f;
    const TD3DColor c = kShadeColor;
    return {{{XStart, Height, z, c},
             {XStart, -Height, z, c},
             {XEnd, -Height, z, c},
             {XEnd, -Height, z, c},
             {XEnd, Height, z, c},
             {XStart, Height, z, c}}};
}

float SelectionVertexX(double Value, double XMax, int MaxPrimitiveCount) {
    if (XMax == 0.0) {
        return 0.0f;
    }
    return static_cast<float>(MaxPrimitiveCount / 2.0 * Value / XMax);
}

float MarkerVertexX(double X, double XMax, int MaxPrimitiveCount) {
    const double x = X / XMax * static_cast<double>(MaxPrimitiveCount / 2);
    if (XMax == 0.0 || !std::isfinite(x)) {
        return -1.0f;
    }
    return static_cast<float>(x);
}

TD3DColor HighlightedMarkerColor(std::uint32_t Color) {
    // The marker's own hue and saturation at full lightness: white whatever the hue, with
    // the marker value's top byte kept as alpha.
    double a = 0.0;
    double h = 0.0;
    double s = 0.0;
    double l = 0.0;
    RGBToHSL(Color, a, h, s, l);
    return HSLToRGB(a, h, s, 1.0);
}

std::vector<TCustomVertex> MarkerVertexes(const TGraphDisplayMarkers& Markers, double XMax,
                                          int MaxPrimitiveCount, long long Highlighted) {
    std::vector<TCustomVertex> v;
    v.reserve(static_cast<std::size_t>(2 * Markers.Count()));
    for (const TGraphDisplayMarker& m : Markers) {
        const float x = MarkerVertexX(m.X, XMax, MaxPrimitiveCount);
        const TD3DColor c =
            m.Index == Highlighted ? HighlightedMarkerColor(m.Color) : ColorToD3D(m.Color);
        v.push_back({x, kMarkerHalfHeight, 1.0f, c});
        v.push_back({x, -kMarkerHalfHeight, 1.0f, c});
    }
    return v;
}

std::vector<TCustomVertex> CursorVertexes(float X, bool Solid) {
    constexpr float z = -1.0f;
    constexpr float h = 4000.0f;
    if (Solid) {
        return {{X, h, z, kWhite}, {X, -h, z, kWhite}};
    }
    const float x0 = X - 500.0f;
    return {{x0, h, z, kBlack}, {x0, -h, z, kBlack}, {X, -h, z, kWhite},
            {X, -h, z, kWhite}, {X, h, z, kWhite},   {x0, h, z, kBlack}};
}

} // namespace tavrela
