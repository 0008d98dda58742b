#pragma once

// The picture of a curve for one frame: one filled span per pixel column of the back buffer,
// from the smallest to the largest value of the samples that column covers, so that no
// sample's extreme is ever left out. Where a column covers fewer samples than the summary's
// finest block, the spans come from the samples themselves: the range of the line through
// them over the column, which at deep zoom draws that line, with a dot on every sample once
// samples are several pixels apart.

#include "custom_vertex.h"
#include "display/model/sample_summary.h"

#include <cstddef>
#include <vector>

namespace tavrela {

/// Where a curve's samples land: sample m at window x = PixelsPerSample * m + Origin (device
/// pixels; column c covers [c, c + 1)); one value unit is PixelsPerValue pixels high.
struct TColumnMapping {
    double PixelsPerSample = 1.0;
    double Origin = 0.0;
    double PixelsPerValue = 1.0;
    int Columns = 0;
};

/// How a curve is coloured: PrimitiveType 4 (bars) fades from Base at the baseline to Top at
/// the value end, like its bars did; any other type is drawn in Top alone. Lo is subtracted
/// from every value (the curve's AmplitudeOffset).
struct TColumnStyle {
    int PrimitiveType = 4;
    TD3DColor Top = 0;
    TD3DColor Base = 0;
    float Lo = 0.0f;
};

/// Samples [First, Last) of a curve.
struct TSampleSpan {
    std::size_t First = 0;
    std::size_t Last = 0;
    bool Empty() const { return Last <= First; }
};

/// Samples per pixel column under a mapping.
double SamplesPerColumn(const TColumnMapping& M);
/// The samples a frame needs in full (empty when the summary is fine enough), for a curve of
/// Length samples: every sample of the visible columns and one beyond each edge.
TSampleSpan RawSamplesNeeded(const TColumnMapping& M, std::size_t Length);

/// One column's span: column Column of the back buffer is filled from value Lo to Hi (value
/// units less the curve's offset; Lo <= Hi).
struct TColumnSpan {
    int Column = 0;
    float Lo = 0.0f;
    float Hi = 0.0f;
};

/// The spans of every visible column, in column order, and the dots on the samples at deep
/// zoom as a triangle list (x in window pixels, y in value units less Lo). Raw as for
/// BuildColumnVertexes.
void BuildColumnSpans(const TSampleSummary& Summary, const float* Raw, TSampleSpan RawSpan,
                      const TColumnMapping& M, const TColumnStyle& Style,
                      std::vector<TColumnSpan>& Spans, std::vector<TCustomVertex>& Dots);

/// The spans as a triangle list in the style's colours (bars fade from Base at the baseline
/// to Top at the value end).
void AppendSpanVertexes(const std::vector<TColumnSpan>& Spans, const TColumnStyle& Style,
                        std::vector<TCustomVertex>& Out);

/// The spans (and dots) of every visible column as a triangle list whose x is in window
/// pixels and whose y is in value units less Lo. Raw holds the values of samples RawSpan;
/// it must cover RawSamplesNeeded when that is not empty (with fewer samples the summary's
/// finest blocks are drawn instead).
void BuildColumnVertexes(const TSampleSummary& Summary, const float* Raw, TSampleSpan RawSpan,
                         const TColumnMapping& M, const TColumnStyle& Style,
                         std::vector<TCustomVertex>& Out);

/// The colour a fraction T (0 ... 1) of the way from A to B, per channel.
TD3DColor LerpColor(TD3DColor A, TD3DColor B, double T);

} // namespace tavrela
