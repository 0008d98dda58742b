// Undo and redo over the editing commands, on a model without widgets: every command undone
// gives back the state before it, redone the state after it; a drag is one step.
#include "test_session_support.h"

#include <app/session/edit_history.h>
#include <app/session/marker_commands.h>
#include <tags/tag.h>

#include <gtest/gtest.h>

#include <stdexcept>

namespace tavrela {
namespace {

using testing::FakeView;
using testing::FieldStore;

class SessionHistory : public ::testing::Test {
public: // the case table reaches into the fixture
    void SetUp() override { Load(); }
    void TearDown() override { tags::ClearTag(); }

    void Load() {
        tags::ClearTag();
        view.Panes.Clear();
        view.OnReload = nullptr;
        view.JingleAnswer.reset();
        fields = FieldStore{};
        // A file as loaded: three markers, their texts, a stamp with its jingle, a comment,
        // and a mix point whose stored text could not be placed (tag value only).
        view.AddFilePane(10000.0);
        AddMarker(TMarkerKind::Intro, 1200.0, QStringLiteral("Introdução"));
        AddMarker(TMarkerKind::AudioEnd, 9000.0, QStringLiteral("Fim do áudio"));
        AddMarker(TMarkerKind::Stamp, 4000.0, QStringLiteral("Carimbo"));
        fields.Intro = QStringLiteral("00:12");
        fields.AudioEnd = QStringLiteral("01:30");
        fields.StampTime = QStringLiteral("00:40");
        fields.StampJingle = QStringLiteral("Vinhetas\\abertura.mp3");
        fields.Comment = QStringLiteral("comentário lido");
        fields.MixPoint = QStringLiteral("99:99");
        tags::CurrentTag.Intro = "00:12";
        tags::CurrentTag.AudioEnd = "01:30";
        tags::CurrentTag.StampTime = "00:40";
        tags::CurrentTag.StampJingle = "Vinhetas\\abertura.mp3";
        tags::CurrentTag.Comment = "comentário lido";
        tags::CurrentTag.MixPoint = "99:99";
        history.Reset();
    }

    TGraphDisplayItem& Pane() { return view.Panes[0]; }
    void AddMarker(TMarkerKind Kind, double X, const QString& Caption) {
        TGraphDisplayMarker& m = Pane().Markers.Add();
        m.Color = MarkerKindInfo(Kind).ColorKey;
        m.X = X;
        m.Caption = Caption;
    }

    FakeView view;
    FieldStore fields;
    TMarkerCommands commands{view, fields.Refs()};
    TEditHistory history{view, fields.Refs()};
};

struct HistoryCase {
    const char* Name;
    std::function<void(SessionHistory&, TMarkerCommands&, TEditHistory&, FakeView&)> Run;
};

TEST_F(SessionHistory, EachCommandUndoesToTheStateBeforeAndRedoesToTheStateAfter) {
    using S = SessionHistory;
    const HistoryCase cases[] = {
        {"place a new kind",
         [](S&, TMarkerCommands& c, TEditHistory& h, FakeView& v) {
             v.Panes[0].SelectionStart = 2500.0;
             h.Edit([&] { c.PlaceMarker(3, QStringLiteral("Marcar início do refrão")); });
         }},
        {"move a kind by placing it again",
         [](S&, TMarkerCommands& c, TEditHistory& h, FakeView& v) {
             v.Panes[0].SelectionStart = 3000.0;
             h.Edit([&] { c.PlaceMarker(2, QStringLiteral("Marcar introdução")); });
         }},
        {"stamp with a new jingle",
         [](S&, TMarkerCommands& c, TEditHistory& h, FakeView& v) {
             v.JingleAnswer = QStringLiteral("outra.mp3");
             v.Panes[0].SelectionStart = 5000.0;
             h.Edit([&] { c.PlaceMarker(7, QStringLiteral("Inserir carimbo")); });
         }},
        {"remove a kind with its marker",
         [](S&, TMarkerCommands& c, TEditHistory& h, FakeView&) {
             h.Edit([&] { ASSERT_TRUE(c.RemoveMarkerKind(TMarkerKind::Intro)); });
         }},
        {"remove a kind known only from the tag",
         [](S&, TMarkerCommands& c, TEditHistory& h, FakeView&) {
             h.Edit([&] { ASSERT_TRUE(c.RemoveMarkerKind(TMarkerKind::MixPoint)); });
         }},
        {"remove the stamp and its jingle",
         [](S&, TMarkerCommands& c, TEditHistory& h, FakeView&) {
             h.Edit([&] { ASSERT_TRUE(c.RemoveMarkerKind(TMarkerKind::Stamp)); });
         }},
        {"remove everything",
         [](S&, TMarkerCommands& c, TEditHistory& h, FakeView&) {
             h.Edit([&] { ASSERT_TRUE(c.RemoveAllMarkers()); });
         }},
        {"confirm a comment",
         [](S&, TMarkerCommands& c, TEditHistory& h, FakeView& v) {
             c.OpenCommentPanel();
             v.CommentEdit = QStringLiteral("novo comentário");
             h.Edit([&] { c.ConfirmComment(); });
         }},
        {"remove the comment", [](S&, TMarkerCommands& c, TEditHistory& h,
                                  FakeView&) { h.Edit([&] { c.RemoveComment(); }); }},
        {"cancel the edits (reload from the file)",
         [](S& s, TMarkerCommands& c, TEditHistory& h, FakeView& v) {
             // An edit first, then the reload brings back what the file holds.
             h.Edit([&] { c.RemoveComment(); });
             v.OnReload = [&s] {
                 s.Pane().Markers.Clear();
                 s.AddMarker(TMarkerKind::Intro, 1200.0, QStringLiteral("Introdução"));
                 s.fields.Comment = QStringLiteral("comentário do arquivo");
                 tags::CurrentTag.Comment = "comentário do arquivo";
             };
             h.Edit([&] { ASSERT_TRUE(c.CancelEdits()); });
         }},
        {"drag a marker: every move of one drag is one step",
         [](S& s, TMarkerCommands&, TEditHistory& h, FakeView&) {
             h.BeginStep();
             for (const double x : {4100.0, 4700.0, 5300.0, 6100.0}) {
                 s.Pane().Markers[2].X = x;
             }
             h.EndStep();
         }},
    };
    for (const HistoryCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Load();
        const TEditState loaded = history.Capture();
        c.Run(*this, commands, history, view);
        const TEditState after = history.Capture();
        ASSERT_NE(after, loaded);
        // Cases with two steps (the reload) undo the last one first.
        TEditState before = loaded;
        if (std::string(c.Name).starts_with("cancel")) {
            ASSERT_TRUE(history.Undo());
            before = history.Capture();
            ASSERT_TRUE(history.Redo());
        }
        ASSERT_TRUE(history.CanUndo());
        ASSERT_TRUE(history.Undo());
        EXPECT_EQ(history.Capture(), before);
        EXPECT_TRUE(history.CanRedo());
        ASSERT_TRUE(history.Redo());
        EXPECT_EQ(history.Capture(), after);
        EXPECT_FALSE(history.Redo());
        while (history.Undo()) {
        }
        EXPECT_EQ(history.Capture(), loaded);
        EXPECT_EQ(fields.MixPoint, QStringLiteral("99:99"));
        EXPECT_EQ(tags::CurrentTag.MixPoint, "99:99");
    }
}

TEST_F(SessionHistory, CommandsThatChangeNothingLeaveNoStep) {
    view.JingleAnswer.reset(); // the jingle dialog cancelled
    history.Edit([&] { commands.PlaceMarker(7, QStringLiteral("Carimbo")); });
    commands.OpenCommentPanel();
    view.CommentEdit = QStringLiteral("rascunho");
    history.Edit([&] { commands.CancelComment(); });
    history.BeginStep(); // a click that moves no marker
    history.EndStep();
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.Undo());
}

TEST_F(SessionHistory, ANewEditDropsTheRedoAndResetForgetsEverything) {
    Pane().SelectionStart = 100.0;
    history.Edit([&] { commands.PlaceMarker(1, QStringLiteral("a")); });
    history.Edit([&] { commands.RemoveComment(); });
    ASSERT_TRUE(history.Undo());
    EXPECT_EQ(fields.Comment, QStringLiteral("comentário lido"));
    history.Edit([&] { ASSERT_TRUE(commands.RemoveMarkerKind(TMarkerKind::AudioEnd)); });
    EXPECT_FALSE(history.CanRedo());
    EXPECT_FALSE(history.Redo());
    EXPECT_EQ(fields.Comment, QStringLiteral("comentário lido"));

    history.Reset();
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.CanRedo());
}

TEST_F(SessionHistory, ADragLeftOpenIsUndoneAndAnEditInsideADragSplitsIt) {
    // The pointer left the panel with the button held: no release ever closed the step.
    history.BeginStep();
    Pane().Markers[0].X = 2000.0;
    EXPECT_TRUE(history.CanUndo());
    ASSERT_TRUE(history.Undo());
    EXPECT_EQ(Pane().Markers[0].X, 1200.0);
    ASSERT_TRUE(history.Redo());
    EXPECT_EQ(Pane().Markers[0].X, 2000.0);

    // A key during a drag: the drag so far, the key's edit, then the rest of the drag.
    history.BeginStep();
    Pane().Markers[0].X = 2500.0;
    history.Edit([&] { commands.RemoveComment(); });
    Pane().Markers[0].X = 2600.0;
    history.EndStep();
    ASSERT_TRUE(history.Undo());
    EXPECT_EQ(Pane().Markers[0].X, 2500.0);
    EXPECT_TRUE(fields.Comment.isEmpty());
    ASSERT_TRUE(history.Undo());
    EXPECT_EQ(fields.Comment, QStringLiteral("comentário lido"));
    ASSERT_TRUE(history.Undo());
    EXPECT_EQ(Pane().Markers[0].X, 2000.0);
}

TEST_F(SessionHistory, ACommandThatFailsHalfwayIsStillOneStep) {
    EXPECT_THROW(history.Edit([&] {
        commands.RemoveComment();
        throw std::runtime_error("failed after a change");
    }),
                 std::runtime_error);
    ASSERT_TRUE(history.Undo());
    EXPECT_EQ(fields.Comment, QStringLiteral("comentário lido"));
    EXPECT_EQ(tags::CurrentTag.Comment, "comentário lido");
}

} // namespace
} // namespace tavrela
