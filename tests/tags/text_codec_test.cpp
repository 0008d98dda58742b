#include "tags/text_codec.h"

#include <gtest/gtest.h>

namespace tavrela::tags {
namespace {

TEST(TextCodec, Windows1252RoundTrip) {
    const std::string text = "Manh\xC3\xA3 D'\xC3\x81vila \xE2\x82\xAC \xE2\x80\x9C"
                             "x\xE2\x80\x9D";
    std::string single;
    ASSERT_TRUE(Utf8ToCp1252(text, single));
    EXPECT_EQ(single, "Manh\xE3 D'\xC1vila \x80 \x93x\x94");
    EXPECT_EQ(Cp1252ToUtf8(single), text);
}

TEST(TextCodec, TextOutsideWindows1252IsReported) {
    std::string single;
    EXPECT_FALSE(Utf8ToCp1252("\xD0\x9C\xD0\xB8\xD1\x80", single)); // Cyrillic
}

TEST(TextCodec, Utf16HonoursByteOrderMark) {
    const std::uint8_t le[] = {0xFF, 0xFE, 'A', 0, 0xE3, 0};
    const std::uint8_t be[] = {0xFE, 0xFF, 0, 'A', 0, 0xE3};
    const std::uint8_t noBom[] = {0, 'A', 0, 0xE3};
    EXPECT_EQ(Utf16ToUtf8(le, sizeof le, false), "A\xC3\xA3");
    EXPECT_EQ(Utf16ToUtf8(be, sizeof be, false), "A\xC3\xA3");
    EXPECT_EQ(Utf16ToUtf8(noBom, sizeof noBom, true), "A\xC3\xA3");
    // A surrogate pair and an unpaired surrogate.
    const std::uint8_t pair[] = {0x3D, 0xD8, 0x00, 0xDE, 0x3D, 0xD8};
    EXPECT_EQ(Utf16ToUtf8(pair, sizeof pair, false), "\xF0\x9F\x98\x80\xEF\xBF\xBD");
    const Bytes back = Utf8ToUtf16WithBom("\xF0\x9F\x98\x80");
    EXPECT_EQ(back, (Bytes{0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}));
}

TEST(TextCodec, InvalidUtf8IsReplaced) {
    EXPECT_EQ(SanitizeUtf8("a\xC3"), "a\xEF\xBF\xBD");
    EXPECT_EQ(SanitizeUtf8("\xE0\x80\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(TextCodec, TrimRemovesControlsAndBlanksOnly) {
    EXPECT_EQ(TrimControls(std::string("\0 \t a\0b \r\n", 10)), std::string("a\0b", 3));
    EXPECT_EQ(TrimRightControls("  x  "), "  x");
}

} // namespace
} // namespace tavrela::tags
