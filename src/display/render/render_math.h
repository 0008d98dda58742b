#pragma once

#include "display/model/types.h"

namespace tavrela {

/// A row vector (x, y, z, w); points are transformed as v' = v x M.
struct TVector4 {
    double X = 0.0;
    double Y = 0.0;
    double Z = 0.0;
    double W = 1.0;
};

/// Scaling along the three axes.
TMatrix4 MatrixScaling(float SX, float SY, float SZ);
/// Translation by (X, Y, Z), in the bottom row.
TMatrix4 MatrixTranslation(float X, float Y, float Z);
/// Rotation by Angle radians about the x axis (left-handed: y turns towards z).
TMatrix4 MatrixRotationX(float Angle);
/// A x B: first A, then B, for row vectors.
TMatrix4 MatrixMultiply(const TMatrix4& A, const TMatrix4& B);
/// Left-handed perspective projection; depth maps to 0 at the near plane and 1 at the far.
TMatrix4 MatrixPerspectiveFovLH(float FovY, float Aspect, float ZNear, float ZFar);
/// Left-handed look-at view matrix.
TMatrix4 MatrixLookAtLH(const TVector4& Eye, const TVector4& At, const TVector4& Up);
/// The point (X, Y, Z, 1) times M, without the perspective division.
TVector4 TransformPoint(const TVector4& V, const TMatrix4& M);

} // namespace tavrela
