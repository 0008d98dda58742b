#include "app/markers/marker_kinds.h"
#include "app/markers/time_text.h"
#include "display/model/items.h"

#include <gtest/gtest.h>

#include <clocale>
#include <random>

namespace tavrela {
namespace {

// The worked example's scale: 180 s of stereo at 44 100 Hz in 32-bit float bytes.
constexpr std::int64_t kDuration = 180;
constexpr double kTotalX = 63504000.0;

TEST(MarkerKinds, TableAndLookups) {
    const auto& kinds = MarkerKinds();
    const TColor keys[] = {0xFFFF00, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF00FF, 0x008080, 0x000080};
    const char* frames[] = {"TMXI", "TINT", "TRFI", "TRFF", "TMXF", "TPMI", "TCAR"};
    for (int n = 1; n <= 7; ++n) {
        const TMarkerKindInfo& info = kinds[static_cast<std::size_t>(n - 1)];
        EXPECT_EQ(info.Number, n);
        EXPECT_EQ(info.ColorKey, keys[n - 1]);
        EXPECT_STREQ(info.Frame, frames[n - 1]);
        EXPECT_EQ(MarkerKindFromNumber(n), info.Kind);
        EXPECT_EQ(MarkerKindOfColor(info.ColorKey), info.Kind);
    }
    EXPECT_EQ(MarkerLoadCaption(TMarkerKind::Intro), QString::fromUtf8("Introdução"));
    EXPECT_EQ(MarkerLoadCaption(TMarkerKind::ChorusStart), QString::fromUtf8("Início do Refrão"));
    EXPECT_EQ(MarkerKindFromNumber(0), std::nullopt);
    EXPECT_EQ(MarkerKindFromNumber(8), std::nullopt);
    EXPECT_EQ(MarkerKindOfColor(kDefaultMarkerColor), std::nullopt);
    EXPECT_EQ(MarkerKindOfColor(0xFF0000FF), std::nullopt) << "the key is all 32 bits";
}

TEST(MarkerKinds, LookupTakesFirstForEditsAndLastForPositions) {
    TGraphDisplayItems items(nullptr);
    TGraphDisplayMarkers& markers = items.Add().Markers;
    EXPECT_EQ(MarkerX(markers, TMarkerKind::Intro), std::nullopt);
    EXPECT_EQ(MarkerTimeText(markers, TMarkerKind::Intro, kDuration, kTotalX), QString());

    auto add = [&](double x, TColor c) {
        TGraphDisplayMarker& m = markers.Add();
        m.X = x;
        m.Color = c;
    };
    add(31752000, 0x0000FF);
    add(5, 0x00FF00);
    add(10000000, 0x0000FF);
    add(7, 0x1234);
    EXPECT_EQ(FirstMarkerOfKind(markers, TMarkerKind::Intro), &markers[0]);
    EXPECT_EQ(LastMarkerOfKind(markers, TMarkerKind::Intro), &markers[2]);
    EXPECT_EQ(MarkerX(markers, TMarkerKind::Intro), 10000000.0);
    EXPECT_EQ(MarkerTimeText(markers, TMarkerKind::Intro, kDuration, kTotalX),
              "00:28.3446712018141");
    EXPECT_EQ(MarkerX(markers, TMarkerKind::Stamp), std::nullopt);
}

TEST(TimeText, MarkerXToStoredText) {
    struct Case {
        double x, totalX, seconds;
        const char* text;
    };
    const Case cases[] = {
        {31752000, kTotalX, 90, "01:30"},
        {10000000, kTotalX, 28.34467120181406, "00:28.3446712018141"},
        {0, kTotalX, 0, "00:00"},
        // A 180.4-second file still has DurationSeconds 180.
        {31822560, 63645120, 90, "01:30"},
    };
    for (const Case& c : cases) {
        const double seconds = XToSeconds(kDuration, c.totalX, c.x);
        EXPECT_DOUBLE_EQ(seconds, c.seconds);
        EXPECT_EQ(SecondsToMarkerText(seconds), c.text) << c.x;
    }
}

TEST(TimeText, SecondsToText) {
    struct Case {
        double seconds;
        const char* text;
    };
    const Case cases[] = {
        {12.999999, "00:12.999999"},  // stored cut to 00:12.99
        {12.99999999999999, "00:13"}, // 15 significant digits round up to 13
        {0.000005, "00:00"},          // below 0.00001 counts as 0
        {0.00001, "00:00.00001"},
        {90, "01:30"}, // whole seconds: no point
        {59.5, "00:59.5"},
        {3725.5, "62:05.5"}, // an hour or more: total minutes
        {6000.25, "100:00.25"},
        {0.1, "00:00.1"},
        {-3, "00:00"},
        {1e15 + 0.5, "16666666666666:40"}, // no exponent form, whatever the size
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SecondsToMarkerText(c.seconds), c.text) << c.seconds;
    }
    EXPECT_EQ(SecondsToMarkerText(12.999999).left(kStoredMarkerTextLength), "00:12.99");
    EXPECT_EQ(FormatGeneralSeconds(28.34467120181406), "28.3446712018141");
    EXPECT_EQ(FormatGeneralSeconds(0.000123), "0.000123");
}

TEST(TimeText, Parse) {
    struct Case {
        const char* text;
        double seconds;
    };
    const Case cases[] = {
        {"01:30", 90},   {"00:28.34", 28.34}, {"00:28,34", 28.34}, {"1:5,5", 65.5},
        {"75:00", 4500}, {"62:05.5", 3725.5}, {"00:00", 0},        {"00:12.99", 12.99},
        {"-1:30", -30},  {"00: 7 ", 7},       {" 1 :30", 90},      {"0:1e1", 10},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(ParseMarkerTime(c.text), c.seconds) << c.text;
    }
    // Exactly the correctly rounded value, not an accumulation of digit steps.
    EXPECT_EQ(ParseMarkerTime("00:28.34"), 28.34);

    struct Bad {
        const char* text;
        const char* message;
    };
    const Bad bad[] = {
        {"130", "'' is not a valid integer value"},
        {"", "'' is not a valid integer value"},
        {":30", "'' is not a valid integer value"},
        {"a1:30", "'a1' is not a valid integer value"},
        {"99999999999:00", "'99999999999' is not a valid integer value"},
        {"01:", "'' is not a valid floating point value"},
        {"01:3x", "'3x' is not a valid floating point value"},
        {"01:30.5.5", "'30,5,5' is not a valid floating point value"},
        {"01:30:00", "'30:00' is not a valid floating point value"},
        {"01:,", "',' is not a valid floating point value"},
        {"01:1e999", "'1e999' is not a valid floating point value"},
        {"01:nan", "'nan' is not a valid floating point value"},
    };
    for (const Bad& b : bad) {
        try {
            ParseMarkerTime(b.text);
            ADD_FAILURE() << "no error for " << b.text;
        } catch (const EConvertError& e) {
            EXPECT_STREQ(e.what(), b.message);
        }
    }
}

TEST(TimeText, ConversionsDivideLastAndRejectZero) {
    for (const auto& [duration, seconds] :
         {std::pair{180.4, 180}, {180.5, 180}, {181.5, 182}, {0.5, 0}, {0.51, 1}, {-1.0, -1}}) {
        EXPECT_EQ(RoundDurationSeconds(duration), seconds) << duration;
    }
    EXPECT_EQ(SecondsToX(kDuration, 28.34, kTotalX), 9998352.0);
    EXPECT_EQ(SecondsToX(kDuration, 90, kTotalX), 31752000.0);
    EXPECT_THROW(SecondsToX(0, 1, kTotalX), EMathError);
    EXPECT_THROW(XToSeconds(kDuration, 0, 1), EMathError);
    EXPECT_THROW(XToSeconds(kDuration, 0, 0), EMathError);
}

TEST(TimeText, FormatMilliseconds) {
    struct Case {
        std::int64_t ms;
        const char* text;
    };
    const Case cases[] = {
        {0, "00:00:00.00"},       {5, "00:00:00.00"},          {50, "00:00:00.05"},
        {83456, "00:01:23.45"},   {59999, "00:00:59.99"},      {3723004, "01:02:03.00"},
        {3599999, "00:59:59.99"}, {360000000, "100:00:00.00"}, {-1000, "00:00:00.00"},
        {-1, "00:00:00.00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatMilliseconds(c.ms), c.text) << c.ms;
    }
}

TEST(TimeText, AxisText) {
    // 44 100 Hz stereo float: 352 800 bytes a second.
    const auto bytesToSeconds = [](std::int64_t bytes) { return bytes / 352800.0; };
    EXPECT_EQ(AxisXTimeText(352800.0 * 83.456, bytesToSeconds), "00:01:23.45");
    EXPECT_EQ(AxisXTimeText(102312.9, bytesToSeconds), "00:00:00.29");
    // No channel to ask: the conversion reports -1 s.
    EXPECT_EQ(AxisXTimeText(1000, [](std::int64_t) { return -1.0; }), "00:00:00.00");
    std::int64_t seen = -1;
    AxisXTimeText(-5.7, [&](std::int64_t b) { return static_cast<double>(seen = b); });
    EXPECT_EQ(seen, -5);
}

TEST(TimeText, IndependentOfProcessLocale) {
    // A locale with "," as decimal separator must change nothing, when one is installed.
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    const bool comma = std::setlocale(LC_ALL, "pt_BR.UTF-8") != nullptr ||
                       std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    EXPECT_EQ(SecondsToMarkerText(59.5), "00:59.5");
    EXPECT_EQ(ParseMarkerTime("00:28.34"), 28.34);
    EXPECT_EQ(ParseMarkerTime("00:28,34"), 28.34);
    std::setlocale(LC_ALL, saved.c_str());
    if (!comma) {
        GTEST_LOG_(INFO) << "no comma locale installed; checked under the current one";
    }
}

TEST(TimeText, RoundTripOverLongFiles) {
    // Marker X -> stored text (cut to 8 characters) -> X lands within the cut-off fraction.
    std::mt19937_64 rng(20261210);
    for (int i = 0; i < 2000; ++i) {
        const std::int64_t duration = std::uniform_int_distribution<std::int64_t>(1, 7200)(rng);
        const int channels = 1 + static_cast<int>(rng() % 2);
        const double totalX = static_cast<double>(duration) * 44100.0 * channels * 4;
        const double x = std::uniform_real_distribution<double>(0, totalX)(rng);
        const QString stored =
            SecondsToMarkerText(XToSeconds(duration, totalX, x)).left(kStoredMarkerTextLength);
        ASSERT_LE(stored.size(), kStoredMarkerTextLength);
        const double back = SecondsToX(duration, ParseMarkerTime(stored), totalX);
        const double step = totalX / static_cast<double>(duration); // x per second
        // Up to 99 minutes two fraction digits survive; from 100 minutes on, one.
        const double cut = stored.indexOf(':') > 2 ? 0.1 : 0.01;
        EXPECT_LE(back, x + step * 1e-9) << stored.toStdString();
        EXPECT_GT(back, x - step * cut - step * 1e-9) << stored.toStdString();
    }
}

} // namespace
} // namespace tavrela
