#include "render_math.h"

#include <cmath>

namespace tavrela {

TMatrix4 MatrixScaling(float SX, float SY, float SZ) {
    TMatrix4 r = TMatrix4::Identity();
    r.m[0][0] = SX;
    r.m[1][1] = SY;
    r.m[2][2] = SZ;
    return r;
}

TMatrix4 MatrixTranslation(float X, float Y, float Z) {
    TMatrix4 r = TMatrix4::Identity();
    r.m[3][0] = X;
    r.m[3][1] = Y;
    r.m[3][2] = Z;
    return r;
}

TMatrix4 MatrixRotationX(float Angle) {
    const float c = std::cos(Angle);
    const float s = std::sin(Angle);
    TMatrix4 r = TMatrix4::Identity();
    r.m[1][1] = c;
    r.m[1][2] = s;
    r.m[2][1] = -s;
    r.m[2][2] = c;
    return r;
}

TMatrix4 MatrixMultiply(const TMatrix4& A, const TMatrix4& B) {
    TMatrix4 r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += A.m[i][k] * B.m[k][j];
            }
            r.m[i][j] = sum;
        }
    }
    return r;
}

TMatrix4 MatrixPerspectiveFovLH(float FovY, float Aspect, float ZNear, float ZFar) {
    const float yScale = 1.0f / std::tan(FovY / 2.0f);
    const float xScale = yScale / Aspect;
    TMatrix4 r;
    r.m[0][0] = xScale;
    r.m[1][1] = yScale;
    r.m[2][2] = ZFar / (ZFar - ZNear);
    r.m[2][3] = 1.0f;
    r.m[3][2] = -ZNear * ZFar / (ZFar - ZNear);
    return r;
}

namespace {
TVector4 Sub(const TVector4& a, const TVector4& b) {
    return {a.X - b.X, a.Y - b.Y, a.Z - b.Z, 0.0};
}
TVector4 Cross(const TVector4& a, const TVector4& b) {
    return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X, 0.0};
}
double Dot(const TVector4& a, const TVector4& b) {
    return a.X * b.X + a.Y * b.Y + a.Z * b.Z;
}
TVector4 Normalize(const TVector4& a) {
    const double len = std::sqrt(Dot(a, a));
    if (len == 0.0) {
        return a;
    }
    return {a.X / len, a.Y / len, a.Z / len, 0.0};
}
} // namespace

TMatrix4 MatrixLookAtLH(const TVector4& Eye, const TVector4& At, const TVector4& Up) {
    const TVector4 z = Normalize(Sub(At, Eye));
    const TVector4 x = Normalize(Cross(Up, z));
    const TVector4 y = Cross(z, x);
    TMatrix4 r;
    r.m[0][0] = static_cast<float>(x.X);
    r.m[0][1] = static_cast<float>(y.X);
    r.m[0][2] = static_cast<float>(z.X);
    r.m[1][0] = static_cast<float>(x.Y);
    r.m[1][1] = static_cast<float>(y.Y);
    r.m[1][2] = static_cast<float>(z.Y);
    r.m[2][0] = static_cast<float>(x.Z);
    r.m[2][1] = static_cast<float>(y.Z);
    r.m[2][2] = static_cast<float>(z.Z);
    r.m[3][0] = static_cast<float>(-Dot(x, Eye));
    r.m[3][1] = static_cast<float>(-Dot(y, Eye));
    r.m[3][2] = static_cast<float>(-Dot(z, Eye));
    r.m[3][3] = 1.0f;
    return r;
}

TVector4 TransformPoint(const TVector4& V, const TMatrix4& M) {
    const double in[4] = {V.X, V.Y, V.Z, V.W};
    double out[4] = {0, 0, 0, 0};
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) {
            out[j] += in[k] * static_cast<double>(M.m[k][j]);
        }
    }
    return {out[0], out[1], out[2], out[3]};
}

} // namespace tavrela
