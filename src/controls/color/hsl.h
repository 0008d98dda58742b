#pragma once

// Hue/saturation/lightness conversion of colours, used to derive highlight colours.

#include <cstdint>

namespace tavrela {

/// Splits a host colour (red in bits 0-7, green 8-15, blue 16-23, alpha 24-31) into alpha,
/// hue, saturation and lightness, each in 0..1 (hue as a fraction of the colour circle).
void RGBToHSL(std::uint32_t Color, double& A, double& H, double& S, double& L);

/// Builds a renderer colour (alpha 24-31, red 16-23, green 8-15, blue 0-7) from alpha, hue,
/// saturation and lightness. Colour channels round to the nearest byte, halves to even;
/// alpha is truncated toward zero.
std::uint32_t HSLToRGB(double A, double H, double S, double L);

/// One channel of HSLToRGB for hue `h` between the levels `m1` and `m2`, as a byte value
/// rounded to nearest, halves to even.
int HueToRGB(double m1, double m2, double h);

/// A * 2^24 + R * 2^16 + G * 2^8 + B, each argument taken as its low 8 bits.
constexpr std::uint32_t PackARGB(int A, int R, int G, int B) {
    return (static_cast<std::uint32_t>(A) & 0xFFu) << 24 |
           (static_cast<std::uint32_t>(R) & 0xFFu) << 16 |
           (static_cast<std::uint32_t>(G) & 0xFFu) << 8 | (static_cast<std::uint32_t>(B) & 0xFFu);
}

constexpr double MaxOf(double a, double b) {
    return a > b ? a : b;
}
constexpr double MinOf(double a, double b) {
    return a < b ? a : b;
}

} // namespace tavrela
