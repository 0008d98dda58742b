#include "sample_geometry.h"

#include "display/model/color.h"

#include <algorithm>
#include <cmath>

namespace tavrela {

namespace {

// Rounds to the nearest integer, halves to even (the default rounding mode).
std::size_t RoundCount(long double V) {
    if (!(V > 0.0L)) {
        return 0;
    }
    return static_cast<std::size_t>(std::nearbyint(V));
}

} // namespace

float SampleStep(std::size_t Length, std::int64_t MaximumVertexCount) {
    if (MaximumVertexCount <= 0) {
        return 1.0f;
    }
    const float step = static_cast<float>(static_cast<long double>(Length) /
                                          static_cast<long double>(MaximumVertexCount));
    return step < 1.0f ? 1.0f : step;
}

std::int64_t ClampMaximumVertexCount(TD3DMaximumVertexCountMode Mode, std::int64_t Current,
                                     int MaxPrimitiveCount) {
    const std::int64_t limit = static_cast<std::int64_t>(MaxPrimitiveCount) - 1;
    if (Mode == gd3dAutomaticMaximum) {
        return limit;
    }
    return Current > limit ? limit : Current;
}

namespace {

// The bounds under a scale mode from the largest and smallest absolute value (for scale mode 3
// the axis alone decides).
TAmplitudeBounds BoundsFromAbsolute(float Hi, float Lo, const TSampleGeometryInput& In) {
    TAmplitudeBounds b;
    if (In.ScaleMode == 3) {
        b.Hi = static_cast<float>(In.AxisMax);
        b.Lo = static_cast<float>(In.AxisMin);
        b.Range = static_cast<float>(In.AxisMax - In.AxisMin);
        return b;
    }
    b.Hi = Hi;
    b.Lo = In.ScaleMode == 2 ? Lo : 0.0f;
    b.Range = In.ScaleMode == 2 ? Hi - Lo : Hi;
    return b;
}

} // namespace

TAmplitudeBounds AmplitudeBounds(const TGDGISample* Samples, std::size_t Length,
                                 const TSampleGeometryInput& In) {
    float hi = 0.0f;
    float lo = 3.4028230e38f;
    if (In.ScaleMode != 3) {
        for (std::size_t i = 0; i < Length; ++i) {
            const float v = std::fabs(Samples[i].Value);
            hi = std::max(hi, v);
            lo = std::min(lo, v);
        }
    }
    return BoundsFromAbsolute(hi, lo, In);
}

TAmplitudeBounds AmplitudeBounds(const TSampleSummary& Summary, const TSampleGeometryInput& In) {
    return BoundsFromAbsolute(Summary.MaxAbs(), Summary.MinAbs(), In);
}

namespace {

// The loops below go on while Continues(k) holds for the next k; this is the k they stop
// at (at least 1), found from an estimate with the very same comparison so that rounding
// decides alike.
template <typename Continues> std::size_t StepsTaken(long double Estimate, Continues continues) {
    std::size_t k = Estimate > 1.0L ? static_cast<std::size_t>(Estimate) : 1;
    while (k > 1 && !continues(k - 1)) {
        --k;
    }
    while (continues(k)) {
        ++k;
    }
    return k;
}

void FillLineStrip(const TGDGISample* Samples, std::size_t Length, const TSampleGeometryInput& In,
                   float Step, float Lo, std::size_t Count, TCustomVertex* Out) {
    const TD3DColor curveColor = ColorToD3D(In.Color);
    for (std::size_t i = 0; i < Count; ++i) {
        const auto k = static_cast<std::size_t>(static_cast<long double>(i) * Step);
        const TGDGISample& s = Samples[std::min(k, Length - 1)];
        TCustomVertex out;
        out.X = static_cast<float>(i) / 2.0f;
        out.Y = s.Value - Lo;
        out.Z = 0.0f;
        if (In.ColorMode == 0) {
            out.Color = curveColor;
        } else if (In.ColorMode == 1) {
            out.Color = ColorToD3D(s.Color);
        }
        Out[i] = out;
    }
}

void FillBars(const TGDGISample* Samples, std::size_t Length, const TSampleGeometryInput& In,
              float Step, float Lo, std::size_t Bars, TCustomVertex* Out) {
    TD3DColor top = ColorToD3D(In.Color);
    TD3DColor base = ColorToD3D(In.BaseColor);
    for (std::size_t k = 0; k < Bars; ++k) {
        const auto j = static_cast<std::size_t>(2.0L * static_cast<long double>(k) * Step);
        const TGDGISample& s = Samples[std::min(j, Length - 1)];
        if (In.ColorMode == 1) {
            base = ColorToD3D(s.Color);
            top = ColorToD3D(s.PeakColor);
        }
        const float h = s.Value - Lo;
        const auto x0 = static_cast<float>(k);
        const auto x1 = static_cast<float>(k + 1);
        TCustomVertex* v = Out + 6 * k;
        v[0] = {x0, h, 0.0f, top};
        v[1] = {x0, 0.0f, 0.0f, base};
        v[2] = {x1, 0.0f, 0.0f, base};
        v[3] = {x0, h, 0.0f, top};
        v[4] = {x1, h, 0.0f, top};
        v[5] = {x1, 0.0f, 0.0f, base};
    }
}

} // namespace

TSampleGeometryLayout SampleGeometryLayout(int PrimitiveType, std::size_t Length,
                                           const TSampleGeometryInput& In) {
    TSampleGeometryLayout layout;
    if (Length == 0 || (PrimitiveType != 3 && PrimitiveType != 4)) {
        return layout;
    }
    const float step = SampleStep(Length, In.MaximumVertexCount);
    const long double last = static_cast<long double>(Length) - 1.0L;
    layout.Step = step;
    if (PrimitiveType == 3) {
        // Vertex i takes sample i x step for as long as that is a sample.
        const std::size_t n = StepsTaken(last / step + 1.0L, [&](std::size_t i) {
            return last >= static_cast<long double>(i) * step;
        });
        // The buffer keeps the room reserved from the budget even where rounding made
        // fewer vertices (the rest stay zero and are never drawn).
        layout.VertexCount = std::max(n, RoundCount(static_cast<long double>(Length) / step));
        layout.Points = n;
        layout.PrimitiveCount = static_cast<int>(n) - 1;
    } else {
        // Bar k takes sample 2k x step.
        const std::size_t bars = StepsTaken(last / (2.0L * step) + 1.0L, [&](std::size_t k) {
            return last >= 2.0L * static_cast<long double>(k) * step;
        });
        layout.VertexCount = 6 * bars;
        layout.PrimitiveCount = static_cast<int>(2 * bars);
    }
    return layout;
}

TAmplitudeBounds FillSampleGeometry(int PrimitiveType, const TGDGISample* Samples,
                                    std::size_t Length, const TSampleGeometryInput& In,
                                    const TSampleGeometryLayout& Layout, TCustomVertex* Out) {
    const TAmplitudeBounds bounds = AmplitudeBounds(Samples, Length, In);
    if (PrimitiveType == 3) {
        FillLineStrip(Samples, Length, In, Layout.Step, bounds.Lo, Layout.Points, Out);
        std::fill(Out + Layout.Points, Out + Layout.VertexCount, TCustomVertex{});
    } else if (PrimitiveType == 4) {
        FillBars(Samples, Length, In, Layout.Step, bounds.Lo, Layout.VertexCount / 6, Out);
    }
    return bounds;
}

namespace {

void BuildGeometry(int PrimitiveType, const TGDGISample* Samples, std::size_t Length,
                   const TSampleGeometryInput& In, TSampleGeometry& Out) {
    const TSampleGeometryLayout layout = SampleGeometryLayout(PrimitiveType, Length, In);
    Out.Vertices.resize(layout.VertexCount);
    const TAmplitudeBounds bounds =
        FillSampleGeometry(PrimitiveType, Samples, Length, In, layout, Out.Vertices.data());
    Out.PrimitiveCount = layout.PrimitiveCount;
    Out.AmplitudeOffset = bounds.Lo;
    Out.AmplitudeRange = bounds.Range;
}

} // namespace

void BuildLineStripVertexes(const TGDGISample* Samples, std::size_t Length,
                            const TSampleGeometryInput& In, TSampleGeometry& Out) {
    BuildGeometry(3, Samples, Length, In, Out);
}

void BuildBarVertexes(const TGDGISample* Samples, std::size_t Length,
                      const TSampleGeometryInput& In, TSampleGeometry& Out) {
    BuildGeometry(4, Samples, Length, In, Out);
}

TPrimitiveRange VisiblePrimitives(int PrimitiveType, int PrimitiveCount, double XFirst,
                                  double XLast) {
    if (PrimitiveCount <= 0 || !(XLast >= XFirst) || !std::isfinite(XFirst) ||
        !std::isfinite(XLast)) {
        return {0, std::max(PrimitiveCount, 0)};
    }
    // Units per primitive: a line segment covers half a unit, a bar (two primitives) one.
    const double perUnit = PrimitiveType == 4 ? 1.0 : 2.0;
    // One extra primitive on each side keeps antialiased edges and partly visible
    // segments exactly as a full draw would show them.
    double first = std::floor(XFirst * perUnit) - 1.0;
    double last = std::ceil(XLast * perUnit) + 1.0;
    if (PrimitiveType == 4) {
        const double bars = PrimitiveCount / 2.0;
        first = std::clamp(first, 0.0, bars);
        last = std::clamp(last, first, bars);
        return {static_cast<int>(first) * 6, static_cast<int>(last - first) * 2};
    }
    first = std::clamp(first, 0.0, static_cast<double>(PrimitiveCount));
    last = std::clamp(last, first, static_cast<double>(PrimitiveCount));
    return {static_cast<int>(first), static_cast<int>(last - first)};
}

std::vector<TPrimitiveRange> BarsCoveringSamples(int BarCount, double Origin, double Width,
                                                 int Columns, const std::vector<double>& Offsets,
                                                 double Margin) {
    std::vector<TPrimitiveRange> runs;
    if (BarCount <= 0 || !(Width > 0.0) || !std::isfinite(Origin) || !std::isfinite(Width)) {
        return runs;
    }
    long long last = -2; // the last bar taken
    for (int c = 0; c < Columns; ++c) {
        for (double o : Offsets) {
            const double s = c + o;
            const double lo = std::floor((s - Margin - Origin) / Width);
            const double hi = std::floor((s + Margin - Origin) / Width);
            if (hi < 0.0 || lo >= BarCount) {
                continue;
            }
            const auto first = std::max(static_cast<long long>(std::max(lo, 0.0)), last + 1);
            const auto end = static_cast<long long>(std::min(hi, BarCount - 1.0));
            for (long long k = first; k <= end; ++k) {
                if (!runs.empty() && k == last + 1) {
                    runs.back().PrimitiveCount += 2;
                } else {
                    runs.push_back({static_cast<int>(6 * k), 2});
                }
                last = k;
            }
        }
    }
    return runs;
}

} // namespace tavrela
