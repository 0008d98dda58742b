#include "transforms.h"

#include "render_math.h"

#include <cmath>
#include <numbers>

namespace tavrela {

namespace {

// The camera, in world units.
constexpr double kEyeX = 300.0;
constexpr double kEyeY = -290.0;
constexpr double kEyeZ = -723.0;

// Scale that makes the longest curve (N primitives, N / 2 vertex units wide) fill the
// 600 world units of one screen.
constexpr double kCurveWidthScale = 1200.00003270771;
constexpr double kCurveHeightScale = 210000.0;
constexpr double kSelectionHeightScale = 205000.0;

int Lanes(int ChannelCount) {
    return ChannelCount < 1 ? 1 : ChannelCount;
}

struct TLayout {
    double SY = 0.0;
    double YC = 0.0;
};

// Vertical scale and centre of a curve's lane; Spread is the share of a stacked lane the
// curve may fill (display mode 4).
bool CurveLayout(const TCurveTransformInput& In, double SY0, double Spread, TLayout& Out) {
    const double n = Lanes(In.ChannelCount);
    switch (In.DisplayMode) {
    case 1:
        Out = {SY0 * 0.0027, -572.5};
        break;
    case 2:
        Out = {SY0 * 0.00135, -289.5};
        break;
    case 3:
        Out = {SY0 * 0.0006615, In.Half == 0 ? -144.75 : -434.25};
        break;
    case 4:
        Out = {SY0 * 0.00135 / n * Spread, (In.Channel + 1) * (-580.0 / n) + 580.0 / (2.0 * n)};
        break;
    default:
        return false;
    }
    Out.YC -= 1.2;
    return true;
}

double ScaleX(const TCurveTransformInput& In) {
    const int n = In.MaxPrimitiveCount > 0 ? In.MaxPrimitiveCount : 1;
    return 1.0 / n * In.ZoomFactor * kCurveWidthScale;
}

double TranslateX(const TCurveTransformInput& In) {
    return -(In.ViewScrollPosition + In.XOffset + 1.2) - In.XOffset * In.ZoomFactor;
}

} // namespace

TMatrix4 CameraViewMatrix() {
    return MatrixLookAtLH({kEyeX, kEyeY, kEyeZ, 1.0}, {kEyeX, kEyeY, 0.0, 1.0},
                          {0.0, 1.0, 0.0, 0.0});
}

TMatrix4 CameraProjectionMatrix() {
    return MatrixPerspectiveFovLH(static_cast<float>(std::numbers::pi / 4.0), 1.0f, 1.0f, 50000.0f);
}

TPixelPoint WorldToPixel(double X, double Y, double Z, double W, double H) {
    const TMatrix4 vp = MatrixMultiply(CameraViewMatrix(), CameraProjectionMatrix());
    const TVector4 c = TransformPoint({X, Y, Z, 1.0}, vp);
    return {W / 2.0 * (1.0 + c.X / c.W), H / 2.0 * (1.0 - c.Y / c.W)};
}

TAnimationState StartupAnimation() {
    TAnimationState s;
    s.Animating = true;
    s.Progress = 0.0f;
    s.Matrix = MatrixRotationX(static_cast<float>(std::numbers::pi / 2.0));
    return s;
}

bool GraphItemTransform(const TCurveTransformInput& In, TAnimationState* Animation,
                        TMatrix4& World) {
    // A curve whose samples were all equal has no span: draw it as if its span were 1
    // rather than dividing by zero.
    const double range = In.AmplitudeRange != 0.0f ? In.AmplitudeRange : 1.0;
    const double sy0 = 1.0 / range * kCurveHeightScale * In.AmplitudeFactor;
    TLayout layout;
    if (!CurveLayout(In, sy0, 0.95, layout)) {
        return false;
    }
    TMatrix4 w = MatrixMultiply(
        MatrixScaling(static_cast<float>(ScaleX(In)), static_cast<float>(layout.SY), 1.0f),
        MatrixTranslation(static_cast<float>(TranslateX(In)), 1.0f, 1.0f));
    if (Animation != nullptr && Animation->Animating) {
        Animation->Matrix = MatrixMultiply(
            Animation->Matrix, MatrixRotationX(static_cast<float>(-std::numbers::pi / 100.0)));
        w = MatrixMultiply(w, Animation->Matrix);
        Animation->Progress += 0.01f;
        if (Animation->Progress > 0.5f) {
            Animation->Animating = false;
        }
    }
    World = MatrixMultiply(w, MatrixTranslation(1.0f, static_cast<float>(layout.YC), 1.0f));
    return true;
}

bool GraphItemSelectionTransform(const TCurveTransformInput& In, TMatrix4& World) {
    TLayout layout;
    if (!CurveLayout(In, kSelectionHeightScale, 0.98, layout)) {
        return false;
    }
    World = MatrixMultiply(
        MatrixMultiply(
            MatrixScaling(static_cast<float>(ScaleX(In)), static_cast<float>(layout.SY), 1.0f),
            MatrixTranslation(static_cast<float>(TranslateX(In)), 1.0f, 1.0f)),
        MatrixTranslation(1.0f, static_cast<float>(layout.YC), 1.0f));
    return true;
}

std::vector<TLane> PaneLanes(int DisplayMode, int ChannelCount) {
    switch (DisplayMode) {
    case 1:
    case 2:
        return {{0, 0}};
    case 3:
        return {{0, 0}, {1, 0}};
    case 4: {
        std::vector<TLane> lanes;
        for (int slot = 1; slot <= ChannelCount; ++slot) {
            lanes.push_back({0, slot});
        }
        return lanes;
    }
    default:
        return {};
    }
}

bool LaneTransform(int DisplayMode, int ChannelCount, const TLane& Lane, TMatrix4& World) {
    const double n = Lanes(ChannelCount);
    double sy = 0.0;
    double ty = 0.0;
    switch (DisplayMode) {
    case 1:
        sy = 566.0;
        ty = -572.5;
        break;
    case 2:
        sy = 283.0;
        ty = -289.5;
        break;
    case 3:
        sy = 139.0;
        ty = Lane.Half == 0 ? -144.75 : -434.25;
        break;
    case 4:
        sy = 269.0 / n;
        ty = -580.0 / n * Lane.Slot + 580.0 / (2.0 * n);
        break;
    default:
        return false;
    }
    World = MatrixMultiply(MatrixScaling(0.9999f, static_cast<float>(sy), 1.0f),
                           MatrixTranslation(-299.4f, static_cast<float>(ty), 1.0f));
    return true;
}

TAffine CurveWorldX(const TCurveTransformInput& In) {
    return {ScaleX(In), TranslateX(In) + 1.0};
}

TVertexXRange VisibleVertexXRange(const TCurveTransformInput& In) {
    // At the curves' plane (z = 2) the view spans world x -0.305 ... 600.305; a vertex x
    // becomes sx * x + tx + 1.
    const double sx = ScaleX(In);
    const double tx = TranslateX(In);
    return {(-0.305 - tx - 1.0) / sx, (600.305 - tx - 1.0) / sx};
}

} // namespace tavrela
