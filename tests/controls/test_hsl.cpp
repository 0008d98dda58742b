#include "controls/color/hsl.h"

#include <gtest/gtest.h>

namespace tavrela {
namespace {

TEST(Hsl, RGBToHSLOfKnownColours) {
    struct Case {
        std::uint32_t color;
        double a, h, s, l;
    };
    const Case cases[] = {
        {0x0000FF00, 0.0, 1.0 / 3.0, 1.0, 0.5},               // pure green
        {0x00FFFFFF, 0.0, 0.0, 0.0, 1.0},                     // white: no hue, no saturation
        {0xFF0000FF, 1.0, 0.0, 1.0, 0.5},                     // red, opaque
        {0x80FF0000, 128.0 / 255, 2.0 / 3.0, 1.0, 0.5},       // blue
        {0x00FF00FF, 0.0, 5.0 / 6.0, 1.0, 0.5},               // fuchsia: hue wraps from negative
        {0x00808000, 0.0, 0.5, 1.0, 128.0 / 255 / 2},         // teal, dark: S from d / (max + min)
        {0x00C0C0FF, 0.0, 0.0, 1.0, (1.0 + 192.0 / 255) / 2}, // light: S from d / (2 - ...)
    };
    for (const Case& c : cases) {
        double a = -1, h = -1, s = -1, l = -1;
        RGBToHSL(c.color, a, h, s, l);
        SCOPED_TRACE(testing::Message() << std::hex << c.color);
        EXPECT_DOUBLE_EQ(a, c.a);
        EXPECT_DOUBLE_EQ(h, c.h);
        EXPECT_DOUBLE_EQ(s, c.s);
        EXPECT_DOUBLE_EQ(l, c.l);
    }
}

TEST(Hsl, HSLToRGBRounding) {
    EXPECT_EQ(HSLToRGB(1, 0, 0, 0.5), 0xFF808080u) << "127.5 goes to the even 128";
    EXPECT_EQ(HSLToRGB(0, 0.3, 0.8, 1), 0x00FFFFFFu) << "lightness 1 is white";
    EXPECT_EQ(HSLToRGB(0.999, 0, 0, 0), 0xFE000000u) << "alpha truncates";
    EXPECT_EQ(HSLToRGB(1, 0, 1, 0.5), 0xFFFF0000u);
    EXPECT_EQ(HSLToRGB(1, 1.0 / 3.0, 1, 0.5), 0xFF00FF00u);
    // 255 * 0.5 / 255 * ... halves: 0.5 / 255 * 255 = 0.5 -> 0, 1.5 / 255 * 255 -> 2.
    EXPECT_EQ(HSLToRGB(0, 0, 0, 0.5 / 255), 0x00000000u);
    EXPECT_EQ(HSLToRGB(0, 0, 0, 1.5 / 255), 0x00020202u);
    // Out-of-range input never misbehaves: the low byte is kept.
    EXPECT_EQ(HSLToRGB(1, 0, 0, 2.0) & 0xFFu, 510u & 0xFFu);
}

TEST(Hsl, HueToRGBBranches) {
    // m1 = 0, m2 = 1: the ramp up, the plateau, the ramp down, the floor, and wrap-around.
    EXPECT_EQ(HueToRGB(0, 1, 0.1), 153); // 0.6 * 255
    EXPECT_EQ(HueToRGB(0, 1, 0.3), 255);
    EXPECT_EQ(HueToRGB(0, 1, 0.6), 102); // (2/3 - 0.6) * 6 = 0.4
    EXPECT_EQ(HueToRGB(0, 1, 0.9), 0);
    EXPECT_EQ(HueToRGB(0, 1, -0.9), 153); // -0.9 + 1 = 0.1
    EXPECT_EQ(HueToRGB(0, 1, 1.3), 255);  // 1.3 - 1 = 0.3
}

TEST(Hsl, RoundTripSwapsToRendererOrder) {
    for (std::uint32_t c : {0xFF0000FFu, 0x80123456u, 0x00FFFFFFu, 0xFF000000u, 0x7F00FF00u,
                            0xFFAAAAAAu, 0x12808000u}) {
        double a, h, s, l;
        RGBToHSL(c, a, h, s, l);
        const std::uint32_t swapped = (c & 0xFF00FF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu);
        EXPECT_EQ(HSLToRGB(a, h, s, l), swapped) << std::hex << c;
    }
}

TEST(Hsl, PackAndExtremes) {
    EXPECT_EQ(PackARGB(0x1FF, 0x102, 0x3, 0x404), 0xFF020304u);
    EXPECT_EQ(PackARGB(-1, 0, 0, 0), 0xFF000000u);
    EXPECT_EQ(MaxOf(1.0, 2.0), 2.0);
    EXPECT_EQ(MinOf(1.0, 2.0), 1.0);
}

} // namespace
} // namespace tavrela
