#include "column_geometry.h"

#include <algorithm>
#include <cmath>

namespace tavrela {

namespace {

// Samples at least this many pixels apart get a dot each.
constexpr double kDotSpacing = 6.0;
// Half the side of a dot, in pixels.
constexpr double kDotHalf = 1.5;

void Quad(std::vector<TCustomVertex>& Out, double X0, double X1, double Y0, double Y1,
          TD3DColor C0, TD3DColor C1) {
    const auto x0 = static_cast<float>(X0);
    const auto x1 = static_cast<float>(X1);
    const auto y0 = static_cast<float>(Y0);
    const auto y1 = static_cast<float>(Y1);
    Out.push_back({x0, y0, 0.0f, C0});
    Out.push_back({x1, y0, 0.0f, C0});
    Out.push_back({x0, y1, 0.0f, C1});
    Out.push_back({x1, y0, 0.0f, C0});
    Out.push_back({x1, y1, 0.0f, C1});
    Out.push_back({x0, y1, 0.0f, C1});
}

// One column's span of values Lo ... Hi (value units less the curve's offset).
void Span(std::vector<TCustomVertex>& Out, const TColumnStyle& Style, double X0, double X1,
          double Lo, double Hi) {
    if (Style.PrimitiveType != 4) {
        Quad(Out, X0, X1, Lo, Hi, Style.Top, Style.Top);
        return;
    }
    // Bars rise from the baseline: Base there, Top at the value end.
    if (Lo < 0.0 && Hi > 0.0) {
        Quad(Out, X0, X1, 0.0, Hi, Style.Base, Style.Top);
        Quad(Out, X0, X1, 0.0, Lo, Style.Base, Style.Top);
        return;
    }
    const bool below = Hi <= 0.0;
    const double nearV = below ? Hi : Lo;
    const double farV = below ? Lo : Hi;
    const double t = farV != 0.0 ? nearV / farV : 0.0;
    Quad(Out, X0, X1, nearV, farV, LerpColor(Style.Base, Style.Top, t), Style.Top);
}

} // namespace

TD3DColor LerpColor(TD3DColor A, TD3DColor B, double T) {
    T = std::clamp(T, 0.0, 1.0);
    TD3DColor out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const double a = (A >> shift) & 0xFFu;
        const double b = (B >> shift) & 0xFFu;
        const auto c = static_cast<TD3DColor>(std::lround(a + (b - a) * T));
        out |= (c & 0xFFu) << shift;
    }
    return out;
}

double SamplesPerColumn(const TColumnMapping& M) {
    return M.PixelsPerSample > 0.0 ? 1.0 / M.PixelsPerSample : 0.0;
}

namespace {

struct TColumns {
    int First = 0;
    int Last = -1; // inclusive
};

// The columns a curve of Length samples can reach.
TColumns VisibleColumns(const TColumnMapping& M, std::size_t Length) {
    TColumns c;
    if (Length == 0 || !(M.PixelsPerSample > 0.0) || !std::isfinite(M.PixelsPerSample) ||
        !std::isfinite(M.Origin) || M.Columns <= 0) {
        return c;
    }
    const double first = std::floor(M.Origin) - 1.0;
    const double last = std::floor(M.PixelsPerSample * static_cast<double>(Length - 1) + M.Origin) + 1.0;
    c.First = static_cast<int>(std::clamp(first, 0.0, static_cast<double>(M.Columns)));
    c.Last = static_cast<int>(std::clamp(last, -1.0, M.Columns - 1.0));
    return c;
}

// Sample position (fractional) of window x W.
double SampleAt(const TColumnMapping& M, double W) {
    return (W - M.Origin) / M.PixelsPerSample;
}

} // namespace

TSampleSpan RawSamplesNeeded(const TColumnMapping& M, std::size_t Length) {
    const TColumns cols = VisibleColumns(M, Length);
    if (cols.Last < cols.First || SamplesPerColumn(M) >= TSampleSummary::kFinestBlock) {
        return {};
    }
    const double n = static_cast<double>(Length);
    const double first = std::clamp(std::floor(SampleAt(M, cols.First)) - 1.0, 0.0, n);
    const double last = std::clamp(std::ceil(SampleAt(M, cols.Last + 1.0)) + 2.0, first, n);
    return {static_cast<std::size_t>(first), static_cast<std::size_t>(last)};
}

void BuildColumnSpans(const TSampleSummary& Summary, const float* Raw, TSampleSpan RawSpan,
                      const TColumnMapping& M, const TColumnStyle& Style,
                      std::vector<TColumnSpan>& Spans, std::vector<TCustomVertex>& Dots) {
    Spans.clear();
    Dots.clear();
    const std::size_t length = Summary.Length();
    const TColumns cols = VisibleColumns(M, length);
    if (cols.Last < cols.First) {
        return;
    }
    const double spc = SamplesPerColumn(M);
    const double lo = Style.Lo;
    const double onePixel = M.PixelsPerValue > 0.0 ? 1.0 / M.PixelsPerValue : 0.0;
    // A line stays visible where it runs flat; bars keep their look until samples are wider
    // than a pixel, where the spans draw the line through them.
    const bool lineLook = Style.PrimitiveType != 4 || spc < 1.0;
    auto emit = [&](int c, double vMin, double vMax) {
        double a = vMin - lo;
        double b = vMax - lo;
        if (lineLook && (b - a) < onePixel) {
            const double mid = (a + b) / 2.0;
            a = mid - onePixel / 2.0;
            b = mid + onePixel / 2.0;
        }
        Spans.push_back({c, static_cast<float>(a), static_cast<float>(b)});
    };

    const TSampleSpan need = RawSamplesNeeded(M, length);
    const bool raw = !need.Empty() && Raw != nullptr && RawSpan.First <= need.First &&
                     RawSpan.Last >= need.Last;
    Spans.reserve(static_cast<std::size_t>(cols.Last - cols.First + 1));

    if (raw) {
        const double last = static_cast<double>(length - 1);
        auto value = [&](std::size_t m) {
            m = std::clamp(m, RawSpan.First, RawSpan.Last - 1);
            return static_cast<double>(Raw[m - RawSpan.First]);
        };
        // The line through the samples at fractional position X.
        auto line = [&](double X) {
            const double i = std::floor(X);
            const auto k = static_cast<std::size_t>(i);
            const double v0 = value(k);
            if (X <= i || k + 1 > length - 1) {
                return v0;
            }
            return v0 + (X - i) * (value(k + 1) - v0);
        };
        for (int c = cols.First; c <= cols.Last; ++c) {
            const double s0 = SampleAt(M, c);
            const double s1 = SampleAt(M, c + 1.0);
            if (s1 < 0.0 || s0 > last) {
                continue;
            }
            const double a = std::max(s0, 0.0);
            const double b = std::min(s1, last);
            TSamplePeak p;
            p.Add(static_cast<float>(line(a)));
            p.Add(static_cast<float>(line(b)));
            for (auto m = static_cast<std::size_t>(std::floor(a)) + 1; static_cast<double>(m) < b;
                 ++m) {
                p.Add(static_cast<float>(value(m)));
            }
            emit(c, p.Min, p.Max);
        }
        if (spc > 0.0 && spc <= 1.0 / kDotSpacing) {
            const double hx = kDotHalf;
            const double hy = kDotHalf * onePixel;
            for (std::size_t m = need.First; m < need.Last; ++m) {
                const double x = M.PixelsPerSample * static_cast<double>(m) + M.Origin;
                if (x < cols.First - hx || x > cols.Last + 1.0 + hx) {
                    continue;
                }
                const double v = value(m) - lo;
                Quad(Dots, x - hx, x + hx, v - hy, v + hy, Style.Top, Style.Top);
            }
        }
        return;
    }

    if (spc >= TSampleSummary::kFinestBlock) {
        // Each column shows the blocks that begin in it: every block belongs to exactly one
        // column, so every extreme is drawn once, within a pixel of where it lies.
        int level = 0;
        while (level + 1 < TSampleSummary::kLevels &&
               static_cast<double>(TSampleSummary::BlockSize(level + 1)) <= spc) {
            ++level;
        }
        const double size = static_cast<double>(TSampleSummary::BlockSize(level));
        const double blocks = static_cast<double>(Summary.BlockCount(level));
        for (int c = cols.First; c <= cols.Last; ++c) {
            // The left edge's column also shows the block that began before it.
            const double start = SampleAt(M, c) / size;
            const double b0 = std::clamp(c == 0 ? std::floor(start) : std::ceil(start), 0.0, blocks);
            const double b1 = std::clamp(std::ceil(SampleAt(M, c + 1.0) / size), b0, blocks);
            if (b1 <= b0) {
                continue;
            }
            const TSamplePeak p = Summary.Blocks(level, static_cast<std::size_t>(b0),
                                                 static_cast<std::size_t>(b1));
            if (!p.Empty()) {
                emit(c, p.Min, p.Max);
            }
        }
        return;
    }

    // Finer than the summary without the samples at hand: every column shows the finest
    // blocks it overlaps, which still hides no extreme.
    const double size = static_cast<double>(TSampleSummary::kFinestBlock);
    const double blocks = static_cast<double>(Summary.BlockCount(0));
    for (int c = cols.First; c <= cols.Last; ++c) {
        const double b0 = std::clamp(std::floor(SampleAt(M, c) / size), 0.0, blocks);
        const double b1 = std::clamp(std::floor(SampleAt(M, c + 1.0) / size) + 1.0, b0, blocks);
        const TSamplePeak p =
            Summary.Blocks(0, static_cast<std::size_t>(b0), static_cast<std::size_t>(b1));
        if (!p.Empty()) {
            emit(c, p.Min, p.Max);
        }
    }
}

void AppendSpanVertexes(const std::vector<TColumnSpan>& Spans, const TColumnStyle& Style,
                        std::vector<TCustomVertex>& Out) {
    Out.reserve(Out.size() + Spans.size() * 12);
    for (const TColumnSpan& s : Spans) {
        Span(Out, Style, s.Column, s.Column + 1.0, s.Lo, s.Hi);
    }
}

void BuildColumnVertexes(const TSampleSummary& Summary, const float* Raw, TSampleSpan RawSpan,
                         const TColumnMapping& M, const TColumnStyle& Style,
                         std::vector<TCustomVertex>& Out) {
    std::vector<TColumnSpan> spans;
    std::vector<TCustomVertex> dots;
    BuildColumnSpans(Summary, Raw, RawSpan, M, Style, spans, dots);
    Out.clear();
    AppendSpanVertexes(spans, Style, Out);
    Out.insert(Out.end(), dots.begin(), dots.end());
}

} // namespace tavrela
