#include "hsl.h"

#include <cmath>

namespace tavrela {

namespace {

// Out-of-range inputs (lightness above 1, NaN) must not reach an undefined float-to-int
// conversion; PackARGB keeps only the low byte anyway.
int ToInt(double v) {
    if (!(v > -2147483648.0 && v < 2147483648.0)) {
        return 0;
    }
    return static_cast<int>(v);
}

// Nearest integer, halves to the even neighbour (the default rounding mode).
int RoundHalfEven(double v) {
    return ToInt(std::nearbyint(v));
}

} // namespace

void RGBToHSL(std::uint32_t Color, double& A, double& H, double& S, double& L) {
    const double R = static_cast<double>(Color & 0xFFu) / 255.0;
    const double G = static_cast<double>((Color >> 8) & 0xFFu) / 255.0;
    const double B = static_cast<double>((Color >> 16) & 0xFFu) / 255.0;
    A = static_cast<double>((Color >> 24) & 0xFFu) / 255.0;

    const double max = MaxOf(R, MaxOf(G, B));
    const double min = MinOf(R, MinOf(G, B));
    L = (max + min) / 2.0;
    if (max == min) {
        H = 0.0;
        S = 0.0;
        return;
    }
    const double d = max - min;
    S = L < 0.5 ? d / (max + min) : d / (2.0 - max - min);
    if (R == max) {
        H = (G - B) / d;
    } else if (G == max) {
        H = (B - R) / d + 2.0;
    } else {
        H = (R - G) / d + 4.0;
    }
    H /= 6.0;
    if (H < 0.0) {
        H += 1.0;
    }
}

int HueToRGB(double m1, double m2, double h) {
    if (h < 0.0) {
        h += 1.0;
    } else if (h > 1.0) {
        h -= 1.0;
    }
    double v;
    if (6.0 * h < 1.0) {
        v = m1 + (m2 - m1) * h * 6.0;
    } else if (2.0 * h < 1.0) {
        v = m2;
    } else if (3.0 * h < 2.0) {
        v = m1 + (m2 - m1) * (2.0 / 3.0 - h) * 6.0;
    } else {
        v = m1;
    }
    return RoundHalfEven(255.0 * v);
}

std::uint32_t HSLToRGB(double A, double H, double S, double L) {
    int r, g, b;
    if (S == 0.0) {
        r = g = b = RoundHalfEven(255.0 * L);
    } else {
        const double m2 = L <= 0.5 ? L * (1.0 + S) : L + S - L * S;
        const double m1 = 2.0 * L - m2;
        r = HueToRGB(m1, m2, H + 1.0 / 3.0);
        g = HueToRGB(m1, m2, H);
        b = HueToRGB(m1, m2, H - 1.0 / 3.0);
    }
    return PackARGB(ToInt(std::trunc(255.0 * A)), r, g, b);
}

} // namespace tavrela
