#pragma once

#include "display/model/types.h"

#include <vector>

namespace tavrela {

/// The fixed camera: a look-at view from (300, -290, -723) towards (300, -290, 0) and a
/// square perspective with a 45 degree field of view, near plane 1, far plane 50000.
TMatrix4 CameraViewMatrix();
TMatrix4 CameraProjectionMatrix();

/// Where a world point lands in a W x H back buffer (pixels from the top-left corner),
/// through the camera above.
struct TPixelPoint {
    double X = 0.0;
    double Y = 0.0;
};
TPixelPoint WorldToPixel(double X, double Y, double Z, double W, double H);

/// What a curve's world transform is made from.
struct TCurveTransformInput {
    int MaxPrimitiveCount = 1; ///< the pane's longest curve, in primitives
    double ZoomFactor = 1.0;
    float AmplitudeRange = 1.0f; ///< the curve's value span; 0 is taken as 1
    float AmplitudeFactor = 1.0f;
    int DisplayMode = 2; ///< the curve's own mode, or the pane's when that is 0
    int ChannelCount = 0;
    int Half = 0;
    int Channel = 0;
    double ViewScrollPosition = 0.0; ///< in scroll units (600 = one screen at zoom 1)
    double XOffset = 0.0;
};

/// The start-up tilt of a pane: a rotation about the x axis that shrinks with every
/// animated curve draw.
struct TAnimationState {
    bool Animating = false;
    float Progress = 0.0f;
    TMatrix4 Matrix = TMatrix4::Identity();
};

/// The state right after the animation is set up: tilted a quarter turn.
TAnimationState StartupAnimation();

/// The world transform of a curve (also used with curve 0 for markers, the pane's
/// selection and the cursor). When Animation is given and running, advances it by one
/// step. Returns false for a display mode outside 1 ... 4 (nothing to draw).
bool GraphItemTransform(const TCurveTransformInput& In, TAnimationState* Animation,
                        TMatrix4& World);
/// The transform of a curve's own selection band: a fixed vertical scale, never animated.
bool GraphItemSelectionTransform(const TCurveTransformInput& In, TMatrix4& World);

/// One lane of a pane: the half (display mode 3) or the slot (display mode 4, 1-based).
struct TLane {
    int Half = 0;
    int Slot = 0;
    friend bool operator==(const TLane&, const TLane&) = default;
};
/// The lanes the grid and zero lines are drawn in, in drawing order.
std::vector<TLane> PaneLanes(int DisplayMode, int ChannelCount);
/// The world transform of the grid and zero line of one lane.
bool LaneTransform(int DisplayMode, int ChannelCount, const TLane& Lane, TMatrix4& World);

/// A map of one coordinate: Scale * x + Offset.
struct TAffine {
    double Scale = 1.0;
    double Offset = 0.0;
};
/// World x of a curve's vertex x without animation, in double precision (the world matrix
/// holds the same numbers in single precision).
TAffine CurveWorldX(const TCurveTransformInput& In);

/// The x range of a curve's vertices that reaches the screen: vertex x values from First
/// to Last (inclusive) can land inside the view at the curves' plane.
struct TVertexXRange {
    double First = 0.0;
    double Last = 0.0;
};
TVertexXRange VisibleVertexXRange(const TCurveTransformInput& In);

} // namespace tavrela
