// The editing commands on a model without widgets: placing and removing markers, the
// comment, drag-to-scroll and the navigation buttons.
#include "test_session_support.h"

#include <app/session/marker_commands.h>
#include <tags/tag.h>

#include <gtest/gtest.h>

#include <limits>

namespace tavrela {
namespace {

using testing::FakeView;
using testing::FieldStore;

class SessionCommands : public ::testing::Test {
protected:
    void SetUp() override { tags::ClearTag(); }
    void TearDown() override { tags::ClearTag(); }

    TGraphDisplayItem& Pane() { return view.Panes[0]; }
    std::vector<std::pair<std::uint32_t, double>> Markers() {
        std::vector<std::pair<std::uint32_t, double>> out;
        for (const TGraphDisplayMarker& m : Pane().Markers) {
            out.emplace_back(m.Color, m.X);
        }
        return out;
    }

    FakeView view;
    FieldStore fields;
    TMarkerCommands commands{view, fields.Refs()};
};

TEST_F(SessionCommands, PlacingEachKindUsesItsColourAndTheSendersCaption) {
    view.AddFilePane(1000.0);
    Pane().SelectionStart = 100.0;
    for (const TMarkerKindInfo& kind : MarkerKinds()) {
        if (kind.Kind == TMarkerKind::Stamp) {
            continue;
        }
        commands.PlaceMarker(kind.Number, QStringLiteral("caption %1").arg(kind.Number));
    }
    ASSERT_EQ(Pane().Markers.Count(), 6);
    for (int i = 0; i < 6; ++i) {
        const TGraphDisplayMarker& m = Pane().Markers[i];
        EXPECT_EQ(m.Color, MarkerKinds()[static_cast<std::size_t>(i)].ColorKey);
        EXPECT_EQ(m.Caption, QStringLiteral("caption %1").arg(i + 1));
        EXPECT_EQ(m.X, 100.0);
    }
    // Unknown numbers place nothing.
    commands.PlaceMarker(0, QStringLiteral("x"));
    commands.PlaceMarker(8, QStringLiteral("x"));
    EXPECT_EQ(Pane().Markers.Count(), 6);
}

TEST_F(SessionCommands, PlacingAKindTwiceMovesTheMarkerAndKeepsItsFirstCaption) {
    view.AddFilePane(1000.0);
    Pane().SelectionStart = 100.0;
    commands.PlaceMarker(2, QStringLiteral("Introdução"));
    Pane().SelectionStart = 250.0;
    commands.PlaceMarker(2, QStringLiteral("Marcar introdução"));
    ASSERT_EQ(Pane().Markers.Count(), 1);
    EXPECT_EQ(Pane().Markers[0].X, 250.0);
    EXPECT_EQ(Pane().Markers[0].Caption, QStringLiteral("Introdução"));
    EXPECT_EQ(Pane().Markers[0].Color, 0x0000FFu);
}

TEST_F(SessionCommands, WithoutAPaneNothingIsPlacedAndTheNavigationAborts) {
    commands.PlaceMarker(2, QStringLiteral("Introdução"));
    commands.OpenCommentPanel();
    EXPECT_FALSE(view.CommentPanelShown);
    EXPECT_FALSE(commands.GoToStart());
    EXPECT_FALSE(commands.GoToEnd());
    EXPECT_FALSE(commands.ShowAll());
    EXPECT_FALSE(commands.ResetSelection());
    EXPECT_FALSE(commands.CancelEdits());
    EXPECT_TRUE(view.ScrollSets.empty());
    EXPECT_EQ(view.ShowAllCalls + view.SelectAllCalls + view.Reloads, 0);
}

TEST_F(SessionCommands, TheStampAsksForItsJingleAndACancelChangesNothing) {
    view.AddFilePane(1000.0);
    fields.StampJingle = QStringLiteral("Vinhetas\\old.mp3");
    Pane().SelectionStart = 300.0;
    view.JingleAnswer.reset();
    commands.PlaceMarker(7, QStringLiteral("Carimbo"));
    EXPECT_EQ(view.JingleQuestions, 1);
    EXPECT_EQ(Pane().Markers.Count(), 0);
    EXPECT_EQ(fields.StampJingle, QStringLiteral("Vinhetas\\old.mp3"));

    view.JingleAnswer = QStringLiteral("abertura.mp3");
    commands.PlaceMarker(7, QStringLiteral("Carimbo"));
    ASSERT_EQ(Pane().Markers.Count(), 1);
    EXPECT_EQ(Pane().Markers[0].Color, 0x000080u);
    EXPECT_EQ(fields.StampJingle, QStringLiteral("Vinhetas\\abertura.mp3"));

    // Again over the existing stamp: asked again, the marker moves.
    Pane().SelectionStart = 500.0;
    view.JingleAnswer = QStringLiteral("outra.mp3");
    commands.PlaceMarker(7, QStringLiteral("Inserir carimbo"));
    EXPECT_EQ(view.JingleQuestions, 3);
    ASSERT_EQ(Pane().Markers.Count(), 1);
    EXPECT_EQ(Pane().Markers[0].X, 500.0);
    EXPECT_EQ(Pane().Markers[0].Caption, QStringLiteral("Carimbo"));
    EXPECT_EQ(fields.StampJingle, QStringLiteral("Vinhetas\\outra.mp3"));
}

struct RemoveCase {
    TMarkerKind Kind;
    QString FieldStore::*Field;
    std::string tags::Tag::*Stored;
};

TEST_F(SessionCommands, RemovingAKindEmptiesItsTextsWithOrWithoutAMarker) {
    const RemoveCase cases[] = {
        {TMarkerKind::AudioStart, &FieldStore::AudioStart, &tags::Tag::AudioStart},
        {TMarkerKind::Intro, &FieldStore::Intro, &tags::Tag::Intro},
        {TMarkerKind::ChorusStart, &FieldStore::ChorusStart, &tags::Tag::ChorusStart},
        {TMarkerKind::ChorusEnd, &FieldStore::ChorusEnd, &tags::Tag::ChorusEnd},
        {TMarkerKind::AudioEnd, &FieldStore::AudioEnd, &tags::Tag::AudioEnd},
        {TMarkerKind::MixPoint, &FieldStore::MixPoint, &tags::Tag::MixPoint},
        {TMarkerKind::Stamp, &FieldStore::StampTime, &tags::Tag::StampTime},
    };
    view.AddFilePane(1000.0);
    for (const bool withMarker : {true, false}) {
        for (const RemoveCase& c : cases) {
            SCOPED_TRACE(static_cast<int>(c.Kind));
            Pane().Markers.Clear();
            // Another kind's marker, then two of this kind: only the first goes.
            const TColor key = MarkerKindInfo(c.Kind).ColorKey;
            const TColor other = key == 0x0000FFu ? 0x00FF00u : 0x0000FFu;
            Pane().Markers.Add().Color = other;
            if (withMarker) {
                TGraphDisplayMarker& a = Pane().Markers.Add();
                a.Color = key;
                a.X = 1.0;
                TGraphDisplayMarker& b = Pane().Markers.Add();
                b.Color = key;
                b.X = 2.0;
            }
            fields.*c.Field = QStringLiteral("00:10");
            fields.StampJingle = QStringLiteral("Vinhetas\\j.mp3");
            fields.Comment = QStringLiteral("kept");
            tags::CurrentTag.*c.Stored = "00:10";
            tags::CurrentTag.StampJingle = "Vinhetas\\j.mp3";

            ASSERT_TRUE(commands.RemoveMarkerKind(c.Kind));
            EXPECT_TRUE((fields.*c.Field).isEmpty());
            EXPECT_TRUE((tags::CurrentTag.*c.Stored).empty());
            const bool stamp = c.Kind == TMarkerKind::Stamp;
            EXPECT_EQ(fields.StampJingle.isEmpty(), stamp);
            EXPECT_EQ(tags::CurrentTag.StampJingle.empty(), stamp);
            EXPECT_EQ(fields.Comment, QStringLiteral("kept"));
            if (withMarker) {
                EXPECT_EQ(Markers(), (std::vector<std::pair<std::uint32_t, double>>{{other, 0.0},
                                                                                    {key, 2.0}}));
            } else {
                EXPECT_EQ(Pane().Markers.Count(), 1);
            }
        }
    }
}

TEST_F(SessionCommands, RemoveAllClearsEveryMarkerTextJingleAndComment) {
    view.AddFilePane(1000.0);
    for (const TMarkerKindInfo& kind : MarkerKinds()) {
        Pane().Markers.Add().Color = kind.ColorKey;
    }
    TGraphDisplayMarker& foreign = Pane().Markers.Add();
    foreign.Color = 0x123456; // not a kind: left alone
    fields.Intro = fields.MixPoint = fields.StampTime = QStringLiteral("00:01");
    fields.StampJingle = QStringLiteral("Vinhetas\\j.mp3");
    fields.Comment = QStringLiteral("comentário");
    tags::CurrentTag.Intro = tags::CurrentTag.MixPoint = "00:01";
    tags::CurrentTag.StampJingle = "Vinhetas\\j.mp3";
    tags::CurrentTag.Comment = "comentário";
    tags::CurrentTag.Title = "Título";

    ASSERT_TRUE(commands.RemoveAllMarkers());
    ASSERT_EQ(Pane().Markers.Count(), 1);
    EXPECT_EQ(Pane().Markers[0].Color, 0x123456u);
    for (const QString* text : {&fields.Intro, &fields.MixPoint, &fields.StampTime,
                                &fields.StampJingle, &fields.Comment}) {
        EXPECT_TRUE(text->isEmpty());
    }
    tags::Tag expected;
    expected.Title = "Título";
    EXPECT_EQ(tags::CurrentTag, expected);
}

TEST_F(SessionCommands, RemoveWithoutAPaneAbortsBeforeTouchingAnything) {
    fields.Intro = QStringLiteral("00:01");
    fields.Comment = QStringLiteral("c");
    EXPECT_FALSE(commands.RemoveMarkerKind(TMarkerKind::Intro));
    EXPECT_FALSE(commands.RemoveAllMarkers());
    EXPECT_EQ(fields.Intro, QStringLiteral("00:01"));
    EXPECT_EQ(fields.Comment, QStringLiteral("c"));
}

TEST_F(SessionCommands, CommentPanelConfirmsCancelsAndSurvivesRemoval) {
    view.AddFilePane(1000.0);
    fields.Comment = QStringLiteral("antes");
    commands.OpenCommentPanel();
    EXPECT_TRUE(view.CommentPanelShown);
    EXPECT_EQ(view.CommentEdit, QStringLiteral("antes"));

    view.CommentEdit = QStringLiteral("rascunho");
    commands.CancelComment();
    EXPECT_FALSE(view.CommentPanelShown);
    EXPECT_EQ(view.CommentEdit, QStringLiteral("antes"));
    EXPECT_EQ(fields.Comment, QStringLiteral("antes"));

    commands.OpenCommentPanel();
    view.CommentEdit = QStringLiteral("depois");
    commands.ConfirmComment();
    EXPECT_FALSE(view.CommentPanelShown);
    EXPECT_EQ(fields.Comment, QStringLiteral("depois"));

    // Removing the comment leaves an open panel and its text as they are.
    commands.OpenCommentPanel();
    tags::CurrentTag.Comment = "depois";
    commands.RemoveComment();
    EXPECT_TRUE(fields.Comment.isEmpty());
    EXPECT_TRUE(tags::CurrentTag.Comment.empty());
    EXPECT_TRUE(view.CommentPanelShown);
    EXPECT_EQ(view.CommentEdit, QStringLiteral("depois"));
}

TEST_F(SessionCommands, RightPressOpensTheMenuAndIsTakenFromTheDisplay) {
    view.AddFilePane(1000.0);
    Pane().SelectionStart = 123.0;
    EXPECT_TRUE(commands.MouseDown(TPointerButton::Right, 40, 60));
    ASSERT_TRUE(view.PopupAt.has_value());
    EXPECT_EQ(*view.PopupAt, std::make_pair(40, 60));
    EXPECT_EQ(Pane().SelectionStart, 123.0);
    // Left and middle presses outside move mode are the display's.
    EXPECT_FALSE(commands.MouseDown(TPointerButton::Left, 10, 10));
    EXPECT_FALSE(commands.MouseDown(TPointerButton::Middle, 10, 10));
    EXPECT_FALSE(fields.Dragging);
}

TEST_F(SessionCommands, DragInMoveModeFollowsThePointer) {
    view.AddFilePane(1000.0);
    commands.ToggleMoveMode();
    ASSERT_TRUE(view.MoveMode);
    view.ScrollPosition = 500;
    EXPECT_TRUE(commands.MouseDown(TPointerButton::Left, 100, 5));
    EXPECT_TRUE(fields.Dragging);
    commands.MouseMove(90, 5);
    commands.MouseMove(80, 5);
    commands.MouseMove(85, 5);
    // The view follows the hand: each move sets it from the press, 10, 20, then 15 away.
    EXPECT_EQ(view.ScrollSets, (std::vector<int>{510, 520, 515}));
    commands.MouseUp();
    EXPECT_FALSE(fields.Dragging);
    commands.MouseMove(0, 5);
    EXPECT_EQ(view.ScrollSets.size(), 3u);

    // However many moves arrive (one merged move, or a wiggle), the view depends only on
    // where the hand is, in the display's units per pixel.
    struct Case {
        const char* name;
        std::vector<int> moves;
        int expected;
    };
    const std::vector<Case> cases = {
        {"one late move 200 px left", {-100}, 500 + 100},
        {"many small moves to the same place", {90, 60, 20, 0, -60, -100}, 600},
        {"a wiggle back to the press", {300, -200, 400, 100}, 500},
        {"right, past the start", {2000}, 0},
    };
    for (const Case& c : cases) {
        view.ScrollSets.clear();
        view.ScrollPosition = 500;
        view.UnitsPerPixel = 0.5; // a 1200-pixel panel
        ASSERT_TRUE(commands.MouseDown(TPointerButton::Left, 100, 5));
        for (int x : c.moves) {
            commands.MouseMove(x, 5);
        }
        commands.MouseUp();
        EXPECT_EQ(view.ScrollPosition, c.expected) << c.name;
    }

    commands.ToggleMoveMode();
    EXPECT_FALSE(view.MoveMode);
    EXPECT_FALSE(commands.MouseDown(TPointerButton::Left, 100, 5));
}

TEST_F(SessionCommands, NavigationButtons) {
    view.AddFilePane(1000.0);
    struct {
        double TotalX;
        int Expected;
    } const ends[] = {
        {63504000.0, 63504000},
        {2.5, 2}, // halves to even
        {3.5, 4},
        {2147483647.0, 2147483647},
        {5.0e9, 2147483647}, // beyond the 32-bit scroll range: its end
        {0.0, 0},
    };
    for (const auto& c : ends) {
        fields.TotalX = c.TotalX;
        ASSERT_TRUE(commands.GoToEnd());
        EXPECT_EQ(view.ScrollPosition, c.Expected) << c.TotalX;
    }
    ASSERT_TRUE(commands.GoToStart());
    EXPECT_EQ(view.ScrollPosition, 0);
    ASSERT_TRUE(commands.ShowAll());
    ASSERT_TRUE(commands.ResetSelection());
    ASSERT_TRUE(commands.CancelEdits());
    EXPECT_EQ(view.ShowAllCalls, 1);
    EXPECT_EQ(view.SelectAllCalls, 1);
    EXPECT_EQ(view.Reloads, 1);
    commands.SetScrollWhilePlaying(true);
    EXPECT_TRUE(view.SampleScroll);
    commands.SetScrollWhilePlaying(false);
    EXPECT_FALSE(view.SampleScroll);
}

} // namespace
} // namespace tavrela
