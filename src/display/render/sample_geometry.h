#pragma once

#include "custom_vertex.h"
#include "display/model/graph_data.h"
#include "display/model/sample_summary.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrela {

/// What a curve's vertices are made from besides its samples.
struct TSampleGeometryInput {
    std::uint8_t ScaleMode = 0; ///< the pane's AxisY.ScaleMode
    double AxisMax = 1.0;       ///< AxisY.Max (ScaleMode 3)
    double AxisMin = 0.0;       ///< AxisY.Min (ScaleMode 3)
    std::int64_t MaximumVertexCount = 500000;
    std::uint8_t ColorMode = 0;
    TColor Color = 0x00BB00;
    TColor BaseColor = 0;
};

/// A curve's vertices and the numbers the frame scales it with.
struct TSampleGeometry {
    std::vector<TCustomVertex> Vertices; ///< uploaded whole
    int PrimitiveCount = 0;
    double AmplitudeOffset = 0.0;
    float AmplitudeRange = 1.0f;
};

/// Every step-th sample is taken so that a curve needs at most MaximumVertexCount vertices;
/// never below 1. A budget of 0 or less takes every sample.
float SampleStep(std::size_t Length, std::int64_t MaximumVertexCount);

/// The value range (lo, hi) of the samples under a scale mode, and the span that fills the
/// curve's lane.
struct TAmplitudeBounds {
    float Lo = 0.0f;
    float Hi = 0.0f;
    float Range = 1.0f;
};
TAmplitudeBounds AmplitudeBounds(const TGDGISample* Samples, std::size_t Length,
                                 const TSampleGeometryInput& In);

/// The same from a summary of the samples.
TAmplitudeBounds AmplitudeBounds(const TSampleSummary& Summary, const TSampleGeometryInput& In);

/// The vertex budget after a device is made: the device's largest draw (MaxPrimitiveCount - 1)
/// in the automatic mode; in the custom mode the host's value, lowered to that limit.
std::int64_t ClampMaximumVertexCount(TD3DMaximumVertexCountMode Mode, std::int64_t Current,
                                     int MaxPrimitiveCount);

/// A line strip through every step-th sample: vertex i at x = i / 2.
/// Length must be at least 1.
void BuildLineStripVertexes(const TGDGISample* Samples, std::size_t Length,
                            const TSampleGeometryInput& In, TSampleGeometry& Out);

/// One bar (two triangles, six vertices) per two steps of samples: bar k spans x = k ... k+1.
/// Length must be at least 1.
void BuildBarVertexes(const TGDGISample* Samples, std::size_t Length,
                      const TSampleGeometryInput& In, TSampleGeometry& Out);

/// The same geometry in two steps, for writing straight into a locked vertex buffer: the
/// layout (how many vertices) first, then the vertices into room for exactly that many.
/// Fill reads only the samples and writes only Out, so curves can be filled in parallel.
struct TSampleGeometryLayout {
    float Step = 1.0f;
    std::size_t VertexCount = 0; ///< the buffer's vertices
    std::size_t Points = 0;      ///< line strip: the vertices that carry samples
    int PrimitiveCount = 0;
};
/// PrimitiveType 3 (line strip) or 4 (bars); Length must be at least 1.
TSampleGeometryLayout SampleGeometryLayout(int PrimitiveType, std::size_t Length,
                                           const TSampleGeometryInput& In);
/// Writes Layout.VertexCount vertices to Out; returns the bounds the curve is scaled with.
TAmplitudeBounds FillSampleGeometry(int PrimitiveType, const TGDGISample* Samples,
                                    std::size_t Length, const TSampleGeometryInput& In,
                                    const TSampleGeometryLayout& Layout, TCustomVertex* Out);

/// Vertex index range [First, Last) and primitive count of the part of a curve whose
/// vertex x lies in [XFirst, XLast], for the curve's primitive type (3 line strip, 4 bars).
/// The primitives cut by either edge are included.
struct TPrimitiveRange {
    int StartVertex = 0;
    int PrimitiveCount = 0;
};
TPrimitiveRange VisiblePrimitives(int PrimitiveType, int PrimitiveCount, double XFirst,
                                  double XLast);

/// The bars of a bar curve that can cover a sampling point of the picture. Bar k spans
/// window x from Origin + k x Width to Origin + (k + 1) x Width; the sampling points sit at
/// c + o for every pixel column c in 0 ... Columns - 1 and every offset o. A bar that covers
/// no sampling point leaves no trace, so drawing only these bars gives the same picture;
/// Margin (pixels) widens each point against rounding. Runs of touching bars are merged.
std::vector<TPrimitiveRange> BarsCoveringSamples(int BarCount, double Origin, double Width,
                                                 int Columns, const std::vector<double>& Offsets,
                                                 double Margin);

} // namespace tavrela
