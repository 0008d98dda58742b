// Stored marker texts into display markers (load) and back (save), on a bare pane.
#include <app/editor/stored_markers.h>
#include <app/markers/time_text.h>
#include <display/model/model.h>

#include <gtest/gtest.h>

namespace tavrela {
namespace {

constexpr std::int64_t kDuration = 180;
constexpr double kTotalX = 63504000.0; // 180 s of stereo at 44100 Hz in float bytes

TEST(EditorStoredMarkers, NonEmptyTextsBecomeMarkersWithLoadCaptionsAndKeys) {
    MarkerTexts texts;
    texts.AudioStart = QStringLiteral("00:05");
    texts.ChorusEnd = QStringLiteral("01:10.5");
    texts.StampJingle = QStringLiteral("Vinhetas\\vinheta.mp3"); // no marker of its own
    texts.Comment = QStringLiteral("comentário");
    const StoredMarkerPlan plan = PlanStoredMarkers(texts, kDuration, kTotalX);
    EXPECT_TRUE(plan.Errors.isEmpty());
    ASSERT_EQ(plan.Markers.size(), 2u);
    EXPECT_EQ(plan.Markers[0], (PlannedMarker{QStringLiteral("Início"), 1764000.0, 0xFFFF00}));
    EXPECT_EQ(plan.Markers[1],
              (PlannedMarker{QStringLiteral("Fim do Refrão"), 24872400.0, 0x00FFFF}));

    MarkerTexts all;
    all.AudioStart = all.Intro = all.ChorusStart = all.ChorusEnd = all.AudioEnd = all.MixPoint =
        all.StampTime = QStringLiteral("00:01");
    const StoredMarkerPlan seven = PlanStoredMarkers(all, kDuration, kTotalX);
    ASSERT_EQ(seven.Markers.size(), 7u);
    const std::uint32_t loadOrder[] = {0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FF00,
                                       0x00FFFF, 0x008080, 0x000080};
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(seven.Markers[i].Color, loadOrder[i]) << i;
    }
}

TEST(EditorStoredMarkers, AnUnusableTextIsReportedAndSkippedAndTheOthersStillLoad) {
    MarkerTexts texts;
    texts.Intro = QStringLiteral("ab:cd");
    texts.ChorusStart = QStringLiteral("0130");
    texts.MixPoint = QStringLiteral("02:05");
    const StoredMarkerPlan plan = PlanStoredMarkers(texts, kDuration, kTotalX);
    EXPECT_EQ(plan.Errors.size(), 2);
    ASSERT_EQ(plan.Markers.size(), 1u);
    EXPECT_EQ(plan.Markers[0].Color, 0x008080u);
    for (const PlannedMarker& m : plan.Markers) {
        EXPECT_NE(m.Color, 0xFFAAAAAAu) << "no marker without a kind";
    }

    // A file of half a second or less: every text fails the same way, reported once.
    MarkerTexts two;
    two.Intro = QStringLiteral("00:01");
    two.AudioEnd = QStringLiteral("00:02");
    const StoredMarkerPlan zero = PlanStoredMarkers(two, 0, kTotalX);
    EXPECT_TRUE(zero.Markers.empty());
    EXPECT_EQ(zero.Errors.size(), 1);
    EXPECT_TRUE(PlanStoredMarkers(MarkerTexts{}, 0, kTotalX).Errors.isEmpty());
}

TEST(EditorStoredMarkers, SaveTextsComeFromTheLastMarkerOfEachKindCutToEightCharacters) {
    TGraphDisplayItems items(nullptr);
    TGraphDisplayItem& pane = items.Add();
    const auto add = [&](double seconds, std::uint32_t color) {
        TGraphDisplayMarker& m = pane.Markers.Add();
        m.X = SecondsToX(kDuration, seconds, kTotalX);
        m.Color = color;
    };
    add(12.34, 0x0000FF);
    add(125.0, 0x008080);
    add(28.3446712018, 0x00FF00);
    add(50.0, 0x000080);
    add(60.0, 0x000080);           // the last stamp wins
    pane.Markers.Add().X = 1000.0; // a marker of no kind is ignored

    MarkerTexts texts;
    texts.AudioEnd = QStringLiteral("01:00"); // no marker: emptied
    texts.Comment = QStringLiteral("kept");
    texts.StampJingle = QStringLiteral("Vinhetas\\a.mp3");
    ComputeSaveTexts(pane, kDuration, kTotalX, texts);
    EXPECT_EQ(texts.Intro, QStringLiteral("00:12.34"));
    EXPECT_EQ(texts.MixPoint, QStringLiteral("02:05"));
    EXPECT_EQ(texts.ChorusStart, QStringLiteral("00:28.34"));
    EXPECT_EQ(texts.StampTime, QStringLiteral("01:00"));
    EXPECT_TRUE(texts.AudioEnd.isEmpty());
    EXPECT_TRUE(texts.AudioStart.isEmpty());
    EXPECT_EQ(texts.Comment, QStringLiteral("kept"));
    EXPECT_EQ(texts.StampJingle, QStringLiteral("Vinhetas\\a.mp3"));
}

TEST(EditorStoredMarkers, ANegativeStoredTextStaysUnlessItsMarkerMoved) {
    // "-00:05" loads at 5 s; written again from the marker it would become "00:05".
    MarkerTexts stored;
    stored.AudioStart = QStringLiteral("-00:05");
    stored.Intro = QStringLiteral("-00:07");
    stored.MixPoint = QStringLiteral("00:09");
    TGraphDisplayItems items(nullptr);
    TGraphDisplayItem& pane = items.Add();
    for (const PlannedMarker& planned : PlanStoredMarkers(stored, kDuration, kTotalX).Markers) {
        TGraphDisplayMarker& m = pane.Markers.Add();
        m.X = planned.X;
        m.Color = planned.Color;
    }
    ASSERT_EQ(pane.Markers.Count(), 3);
    pane.Markers[0].X = SecondsToX(kDuration, 8.0, kTotalX); // the introduction was moved
    MarkerTexts texts = stored;
    ComputeSaveTexts(pane, kDuration, kTotalX, texts, stored);
    EXPECT_EQ(texts.AudioStart, QStringLiteral("-00:05"));
    EXPECT_EQ(texts.Intro, QStringLiteral("00:08"));
    EXPECT_EQ(texts.MixPoint, QStringLiteral("00:09"));
    // Removed: no text, whatever was stored.
    pane.Markers.Delete(1);
    ComputeSaveTexts(pane, kDuration, kTotalX, texts, stored);
    EXPECT_TRUE(texts.AudioStart.isEmpty());
}

} // namespace
} // namespace tavrela
