#pragma once

#include "custom_vertex.h"

#include <array>
#include <vector>

namespace tavrela {

class TGraphDisplayMarkers;

/// Zero line (vertices 0-1, semi-transparent white) then Divisions grid lines above and
/// Divisions below it, in grid units (y from -1 to +1 across a lane).
std::vector<TCustomVertex> CoordsVertexes(int Divisions, TColor GridColor);
/// Number of lines in CoordsVertexes: the zero line plus 2 x Divisions.
int CoordsLineCount(int Divisions);

/// Divisions - 1 vertical lines splitting the 600-unit width into equal columns.
std::vector<TCustomVertex> GridVerticalVertexes(int Divisions, TColor GridColor);
int GridVerticalLineCount(int Divisions);

/// The selection band between XStart and XEnd, Height units above and below 0: two fill
/// triangles (vertices 0-5) then the start (6-7) and end (8-9) lines.
std::array<TCustomVertex, 10> SelectionVertexes(float XStart, float XEnd, float Height,
                                                TColor SelectionColor, TColor SelectionBorderColor);
/// The shade drawn under the band: the same two triangles in a fixed dark translucent colour.
std::array<TCustomVertex, 6> SelectionShadeVertexes(float XStart, float XEnd, float Height);

/// Selection edge in curve vertex units for an x value of the pane (0 when XMax is 0).
float SelectionVertexX(double Value, double XMax, int MaxPrimitiveCount);

/// Two vertices per marker, 4000 units above and below 0; the marker at Highlighted is
/// drawn white.
std::vector<TCustomVertex> MarkerVertexes(const TGraphDisplayMarkers& Markers, double XMax,
                                          int MaxPrimitiveCount, long long Highlighted);
/// Marker position in curve vertex units; -1 when it cannot be computed (XMax 0).
float MarkerVertexX(double X, double XMax, int MaxPrimitiveCount);
/// Colour of a hovered marker: white, keeping the marker value's top byte as alpha.
TD3DColor HighlightedMarkerColor(std::uint32_t Color);

/// The playback cursor at X: one white line when Solid, else a 500-unit band fading from
/// black to white that ends in a line at X.
std::vector<TCustomVertex> CursorVertexes(float X, bool Solid);

} // namespace tavrela
