// The editing commands through the real main window: its menu, legend buttons, pointer on
// the display and the bottom bar, on files generated for each test.
#include "test_editor_fixtures.h"
#include "test_jingles_support.h"

#include <app/editor/editor_conventions.h>
#include <app/editor/main_window.h>
#include <app/jingles/jingle_dialog.h>
#include <app/markers/marker_kinds.h>
#include <app/markers/time_text.h>
#include <app/session/edit_history.h>
#include <app/session/editor_shortcuts.h>
#include <app/session/playback_preview.h>
#include <audio/engine.h>
#include <display/graph_display_3d.h>
#include <display/model/model.h>
#include <tags/tag.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "gui_wait.h"
#include <memory>

namespace tavrela {
namespace {

using testing::Id3v23Tag;
using testing::MakeMp3;
using testing::PrependToFile;

const QString kNoDevice = QStringLiteral("Não foi possível iniciar o dispositivo de áudio padrão!");
const QString kSaved = QStringLiteral("Marcações efetuadas com sucesso.");

class SessionWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetMessagePresenter([this](const QString& text) {
            if (text != kNoDevice) {
                shown << text;
            }
        });
    }
    void TearDown() override {
        window.reset();
        SetMessagePresenter({});
        tags::ClearTag();
    }

    TfrmTavrela& Open(const QString& file) {
        window = std::make_unique<TfrmTavrela>(QStringList{file}, engine);
        window->OnTerminate = [this] { terminated = true; };
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get(), kWindowWaitMs));
        return *window;
    }
    TGraphDisplayItem& Pane() const { return window->GraphDisplay3D1->Items()[0]; }
    /// Keys go where the operator's would: to the focused widget of the active window.
    void Key(Qt::Key K, Qt::KeyboardModifiers Modifiers = Qt::NoModifier) {
        if (!window->isActiveWindow()) {
            window->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(window.get(), kWindowWaitMs));
        }
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr ? focus : window.get(), K, Modifiers);
    }
    QWidget* Panel() const { return window->GraphDisplay3D1->Panel(); }
    // A left click on the waveform at pixel column x: moves the selection start there.
    void LeftClick(int x) {
        QTest::mouseClick(Panel(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(x, Panel()->height() / 2));
    }
    std::vector<std::uint32_t> Colors() const {
        std::vector<std::uint32_t> out;
        for (const TGraphDisplayMarker& m : Pane().Markers) {
            out.push_back(m.Color);
        }
        return out;
    }
    // The file's tag as the tag reader sees it.
    tags::Tag ReadBack(const QString& path) {
        tags::CreateTagObjects(".mp3");
        tags::ReadTag(QFile::encodeName(path).toStdString());
        tags::Tag tag = tags::CurrentTag;
        tags::FreeTagObjects(".MP3");
        return tag;
    }

    QTemporaryDir dir;
    audio::Engine engine{audio::EngineOptions{false, true, 50}};
    std::unique_ptr<TfrmTavrela> window;
    QStringList shown;
    bool terminated = false;
};

TEST_F(SessionWindow, PlacingTwiceKeepsOneMarkerWithItsFirstCaption) {
    TfrmTavrela& w = Open(MakeMp3(dir, QStringLiteral("a.mp3"), 10.0, 2));
    LeftClick(100);
    const double first = Pane().SelectionStart;
    ASSERT_GT(first, 0.0);
    QTest::mouseClick(w.btnIntroducao, Qt::LeftButton);
    LeftClick(300);
    const double second = Pane().SelectionStart;
    ASSERT_GT(second, first);
    w.menuIntroducao->trigger();
    ASSERT_EQ(Pane().Markers.Count(), 1);
    EXPECT_EQ(Pane().Markers[0].Color, 0x0000FFu);
    EXPECT_EQ(Pane().Markers[0].X, second);
    EXPECT_EQ(Pane().Markers[0].Caption, QStringLiteral("Introdução"));

    // From the menu a new kind carries the item's caption.
    w.menuFimAudio->trigger();
    ASSERT_EQ(Pane().Markers.Count(), 2);
    EXPECT_EQ(Pane().Markers[1].Caption, QStringLiteral("Marcar fim do áudio"));
    EXPECT_TRUE(shown.isEmpty()) << shown.join(QLatin1Char('\n')).toStdString();
}

TEST_F(SessionWindow, RightClickOpensTheMenuAndLeavesTheSelectionStart) {
    TfrmTavrela& w = Open(MakeMp3(dir, QStringLiteral("a.mp3"), 10.0, 2));
    LeftClick(120);
    const double start = Pane().SelectionStart;
    ASSERT_GT(start, 0.0);
    QTest::mousePress(Panel(), Qt::RightButton, Qt::NoModifier, QPoint(400, 50));
    EXPECT_TRUE(w.PopupMenu1->isVisible());
    w.PopupMenu1->hide();
    QTest::mouseRelease(Panel(), Qt::RightButton, Qt::NoModifier, QPoint(400, 50));
    EXPECT_EQ(Pane().SelectionStart, start);
    w.menuIntroducao->trigger();
    ASSERT_EQ(Pane().Markers.Count(), 1);
    EXPECT_EQ(Pane().Markers[0].X, start);
    EXPECT_EQ(Pane().Markers[0].Caption, QStringLiteral("Marcar introdução"));
}

TEST_F(SessionWindow, MoveModeScrollsAndNeverChangesTheSelection) {
    TfrmTavrela& w = Open(MakeMp3(dir, QStringLiteral("a.mp3"), 10.0, 2));
    LeftClick(150);
    QTest::mouseClick(w.btnIntroducao, Qt::LeftButton); // a marker under the drag
    const double start = Pane().SelectionStart;
    for (int i = 0; i < 4; ++i) {
        QTest::mouseClick(w.btnZoomMais, Qt::LeftButton);
    }
    ASSERT_GT(Pane().ZoomFactor, 1.0);
    w.GraphDisplay3D1->SetScrollPosition(200);
    const int before = w.GraphDisplay3D1->GetScrollPosition();

    QTest::mouseClick(w.btnMoverOndas, Qt::LeftButton);
    EXPECT_TRUE(w.btnMoverOndas->isHidden());
    EXPECT_FALSE(w.btnMarcarOndas->isHidden());
    EXPECT_EQ(Panel()->cursor().shape(), Qt::OpenHandCursor);
    QTest::mousePress(Panel(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 40));
    QTest::mouseMove(Panel(), QPoint(260, 40));
    QTest::mouseMove(Panel(), QPoint(220, 40));
    EXPECT_EQ(Panel()->cursor().shape(), Qt::OpenHandCursor);
    QTest::mouseRelease(Panel(), Qt::LeftButton, Qt::NoModifier, QPoint(220, 40));
    EXPECT_FALSE(w.Dragging);
    EXPECT_GT(w.GraphDisplay3D1->GetScrollPosition(), before);
    EXPECT_EQ(Pane().SelectionStart, start);

    // The point under the hand stays under it, however the moves arrive: one late move far
    // away, or a wiggle that comes back to where it began.
    const double unitsPerPixel = 600.0 / Panel()->width();
    struct Drag {
        const char* name;
        std::vector<int> moves;
    };
    for (const Drag& drag : {Drag{"one late move", {100}}, Drag{"many moves", {290, 250, 180, 100}},
                             Drag{"a wiggle back", {500, 50, 420, 300}}}) {
        w.GraphDisplay3D1->ScrollTo(600);
        const double grabbed = w.GraphDisplay3D1->MousePosition2XValue(300);
        QTest::mousePress(Panel(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 40));
        for (int x : drag.moves) {
            QTest::mouseMove(Panel(), QPoint(x, 40));
        }
        const int end = drag.moves.back();
        QTest::mouseRelease(Panel(), Qt::LeftButton, Qt::NoModifier, QPoint(end, 40));
        EXPECT_NEAR(w.GraphDisplay3D1->GetScrollPosition(), 600 + (300 - end) * unitsPerPixel, 1)
            << drag.name;
        EXPECT_NEAR(w.GraphDisplay3D1->MousePosition2XValue(end), grabbed, Pane().XMax / 600.0)
            << drag.name;
    }

    // Back to marking: a click moves the selection start again.
    QTest::mouseClick(w.btnMarcarOndas, Qt::LeftButton);
    EXPECT_FALSE(w.btnMoverOndas->isHidden());
    EXPECT_TRUE(w.btnMarcarOndas->isHidden());
    EXPECT_EQ(Panel()->cursor().shape(), Qt::ArrowCursor);
    LeftClick(400);
    EXPECT_NE(Pane().SelectionStart, start);
}

TEST_F(SessionWindow, RemovingAKindWithoutAMarkerStillEmptiesItsTexts) {
    const QString mp3 = MakeMp3(dir, QStringLiteral("a.mp3"), 10.0, 2);
    PrependToFile(mp3, Id3v23Tag({{"TRFI", "00:03"}, {"TINT", "00:01"}}));
    TfrmTavrela& w = Open(mp3);
    ASSERT_EQ(Pane().Markers.Count(), 2);
    // The marker is gone already (dragged off by hand, say); the texts remain.
    Pane().Markers.Delete(FirstMarkerOfKind(Pane().Markers, TMarkerKind::ChorusStart)->Index);
    ASSERT_EQ(w.ChorusStart, QStringLiteral("00:03"));
    ASSERT_EQ(tags::CurrentTag.ChorusStart, "00:03");
    w.menuRemoverInicioRefrao->trigger();
    EXPECT_TRUE(w.ChorusStart.isEmpty());
    EXPECT_TRUE(tags::CurrentTag.ChorusStart.empty());
    EXPECT_EQ(w.Intro, QStringLiteral("00:01"));
    ASSERT_EQ(Pane().Markers.Count(), 1);
    EXPECT_EQ(Pane().Markers[0].Color, 0x0000FFu);
}

TEST_F(SessionWindow, TheCommentBoxKeepsTheKeysAndAnUnconfirmedEditIsAskedAbout) {
    for (const bool keep : {true, false}) {
        const QString mp3 = MakeMp3(dir, QStringLiteral("c%1.mp3").arg(keep), 4.0, 2);
        PrependToFile(mp3, Id3v23Tag({{"COMM", "nota"}}));
        TfrmTavrela& w = Open(mp3);
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w, kWindowWaitMs));
        QStringList asked;
        SetQuestionPresenter([&](const QString& text) {
            asked << text;
            return keep;
        });

        QTest::mouseClick(w.btnComentario, Qt::LeftButton);
        EXPECT_TRUE(w.edtComentario->hasFocus()); // opened to be typed in
        // Brushing past the waveform while typing leaves the keys where they are: the space
        // goes into the text and starts no playback.
        QTest::mouseMove(Panel(), QPoint(100, 40));
        QTest::mouseMove(Panel(), QPoint(200, 50));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(" mais"));
        EXPECT_EQ(w.edtComentario->toPlainText(), QStringLiteral("nota mais"));
        EXPECT_NE(engine.isActive(w.Stream), audio::ChannelState::Playing);

        QTest::mouseClick(w.btnGravarMarcacoes, Qt::LeftButton);
        EXPECT_EQ(asked.size(), 1);
        EXPECT_TRUE(terminated);
        EXPECT_EQ(ReadBack(mp3).Comment, keep ? "nota mais" : "nota") << keep;
        SetQuestionPresenter({});
        window.reset();
        terminated = false;
        shown.clear();
    }

    // Confirmed, or opened and left unchanged: nothing to ask.
    const QString mp3 = MakeMp3(dir, QStringLiteral("d.mp3"), 4.0, 2);
    TfrmTavrela& w = Open(mp3);
    int questions = 0;
    SetQuestionPresenter([&](const QString&) {
        ++questions;
        return true;
    });
    QTest::mouseClick(w.btnComentario, Qt::LeftButton);
    QTest::mouseClick(w.btnGravarMarcacoes, Qt::LeftButton);
    EXPECT_EQ(questions, 0);
    EXPECT_TRUE(terminated);
    SetQuestionPresenter({});
}

TEST_F(SessionWindow, RemoveAllThenSaveWritesNoMarkerJingleOrComment) {
    const QString mp3 = MakeMp3(dir, QStringLiteral("a.mp3"), 12.0, 2);
    PrependToFile(mp3, Id3v23Tag({{"TIT2", "Canção"},
                                  {"TMXI", "00:00.5"},
                                  {"TINT", "00:02"},
                                  {"TRFI", "00:03"},
                                  {"TRFF", "00:05"},
                                  {"TMXF", "00:11"},
                                  {"TPMI", "00:10"},
                                  {"TCAR", "00:07"},
                                  {"TVIN", "Vinhetas\\a.mp3"},
                                  {"COMM", "nota"}}));
    TfrmTavrela& w = Open(mp3);
    ASSERT_EQ(Pane().Markers.Count(), 7);
    w.menuRemoverTodosMarcadores->trigger();
    EXPECT_EQ(Pane().Markers.Count(), 0);
    EXPECT_TRUE(w.StampJingle.isEmpty());
    EXPECT_TRUE(w.Comment.isEmpty());
    QTest::mouseClick(w.btnGravarMarcacoes, Qt::LeftButton);
    EXPECT_EQ(shown, QStringList{kSaved});
    EXPECT_TRUE(terminated);

    const tags::Tag tag = ReadBack(mp3);
    for (const std::string* text :
         {&tag.AudioStart, &tag.Intro, &tag.ChorusStart, &tag.ChorusEnd, &tag.AudioEnd,
          &tag.MixPoint, &tag.StampTime, &tag.StampJingle, &tag.Comment}) {
        EXPECT_EQ(*text, "");
    }
    EXPECT_EQ(tag.Title, "Canção");
}

TEST_F(SessionWindow, CancelarMarcacoesRestoresMarkersAndCommentFromTheFile) {
    const QString mp3 = MakeMp3(dir, QStringLiteral("a.mp3"), 10.0, 2);
    PrependToFile(mp3, Id3v23Tag({{"TINT", "00:02"}, {"COMM", "original"}}));
    TfrmTavrela& w = Open(mp3);
    ASSERT_EQ(Pane().Markers.Count(), 1);
    const double stored = Pane().Markers[0].X;

    LeftClick(400);
    QTest::mouseClick(w.btnIntroducao, Qt::LeftButton);
    ASSERT_NE(Pane().Markers[0].X, stored);
    QTest::mouseClick(w.btnComentario, Qt::LeftButton);
    EXPECT_TRUE(w.pnlComentario->isVisible());
    EXPECT_EQ(w.edtComentario->toPlainText(), QStringLiteral("original"));
    w.edtComentario->setPlainText(QStringLiteral("mudado"));
    QTest::mouseClick(w.btnConfirmarComentario, Qt::LeftButton);
    EXPECT_FALSE(w.pnlComentario->isVisible());
    EXPECT_EQ(w.Comment, QStringLiteral("mudado"));

    QTest::mouseClick(w.btnCancelarMarcacoes, Qt::LeftButton);
    ASSERT_EQ(w.GraphDisplay3D1->Items().Count(), 1);
    ASSERT_EQ(Pane().Markers.Count(), 1);
    EXPECT_EQ(Pane().Markers[0].X, stored);
    EXPECT_EQ(w.Comment, QStringLiteral("original"));
    EXPECT_TRUE(shown.isEmpty()) << shown.join(QLatin1Char('\n')).toStdString();
}

TEST_F(SessionWindow, StampAsksTheJingleDialogAndACancelChangesNothing) {
    test::SharedFolder home;
    ASSERT_TRUE(test::createDatabase(home.file(QStringLiteral("ZELVODB.FDB")), test::demoScript()));
    test::writeSettings(home.path(),
                        "[BANCO]\r\nCAMINHO=" + home.file(QStringLiteral("ZELVODB.FDB")).toUtf8() +
                            "\r\n");
    qputenv("TAVRELA_HOME", home.path().toUtf8());
    struct RestoreHome {
        ~RestoreHome() { qunsetenv("TAVRELA_HOME"); }
    } restoreHome;

    TfrmTavrela& w = Open(MakeMp3(dir, QStringLiteral("a.mp3"), 10.0, 2));
    LeftClick(200);
    // Answers the dialog once it is the modal one, however late it comes up (a check before
    // then would find none and leave the dialog open for good).
    const auto answerDialog = [](const std::function<void(TfrmSelecionarVinheta*)>& act) {
        auto* poll = new QTimer;
        poll->setInterval(20);
        QObject::connect(poll, &QTimer::timeout, [poll, act] {
            auto* dialog = qobject_cast<TfrmSelecionarVinheta*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return;
            }
            poll->stop();
            poll->deleteLater();
            act(dialog);
        });
        poll->start();
    };
    answerDialog([](TfrmSelecionarVinheta* d) { d->reject(); });
    QTest::mouseClick(w.btnCarimbo, Qt::LeftButton);
    EXPECT_EQ(Pane().Markers.Count(), 0);
    EXPECT_TRUE(w.StampJingle.isEmpty());

    answerDialog([](TfrmSelecionarVinheta* d) {
        QTest::keyClicks(d->filterEdit(), QStringLiteral("hora"));
        QTest::keyClick(d->filterEdit(), Qt::Key_Return);
    });
    QTest::mouseClick(w.btnCarimbo, Qt::LeftButton);
    ASSERT_EQ(Pane().Markers.Count(), 1);
    EXPECT_EQ(Pane().Markers[0].Color, 0x000080u);
    EXPECT_EQ(Pane().Markers[0].Caption, QStringLiteral("Carimbo"));
    EXPECT_EQ(w.StampJingle, QStringLiteral("Vinhetas\\horacerta.mp3"));
    EXPECT_TRUE(shown.isEmpty()) << shown.join(QLatin1Char('\n')).toStdString();
}

TEST_F(SessionWindow, PlayStopAndPreviewThroughTheWindow) {
    TfrmTavrela& w = Open(MakeMp3(dir, QStringLiteral("a.mp3"), 10.0, 2));
    EXPECT_FALSE(w.btnPlay->isHidden());
    EXPECT_TRUE(w.btnStop->isHidden());
    QTest::mouseClick(w.btnPlay, Qt::LeftButton);
    EXPECT_TRUE(w.btnPlay->isHidden());
    EXPECT_FALSE(w.btnStop->isHidden());
    EXPECT_EQ(engine.isActive(w.Stream), audio::ChannelState::Playing);
    engine.advanceClock(44100);
    QTest::qWait(150); // the render timer refreshes the labels
    EXPECT_EQ(
        w.lblTamanho->text(),
        FormatMilliseconds(static_cast<std::int64_t>(
            engine.bytesToSeconds(w.Stream, static_cast<std::int64_t>(Pane().XMax)) * 1000.0)));
    EXPECT_NE(w.lblPosicao->text(), QStringLiteral("00:00:00.00"));
    QTest::mouseClick(w.btnStop, Qt::LeftButton);
    EXPECT_EQ(engine.isActive(w.Stream), audio::ChannelState::Stopped);
    EXPECT_FALSE(w.btnPlay->isHidden());

    // The intro preview pauses at its marker without any render tick.
    LeftClick(200);
    QTest::mouseClick(w.btnIntroducao, Qt::LeftButton);
    const auto intro = static_cast<std::int64_t>(Pane().Markers[0].X);
    w.menuTocarIntroducao->trigger();
    EXPECT_TRUE(w.PlayingIntro);
    engine.advanceClock(44100 * 10);
    QCoreApplication::processEvents();
    EXPECT_EQ(engine.isActive(w.Stream), audio::ChannelState::Paused);
    EXPECT_EQ(engine.position(w.Stream), intro - intro % 8);
    EXPECT_FALSE(w.PlayingIntro);
}

TEST_F(SessionWindow, ShortcutsActOnTheWindowAndAreInertInTheCommentField) {
    TfrmTavrela& w = Open(MakeMp3(dir, QStringLiteral("a.mp3"), 10.0, 2));
    LeftClick(200);
    const double at = Pane().SelectionStart;
    Key(Qt::Key_I);
    ASSERT_EQ(Pane().Markers.Count(), 1);
    EXPECT_EQ(Pane().Markers[0].Color, 0x0000FFu);
    EXPECT_EQ(Pane().Markers[0].X, at);
    Key(Qt::Key_M);
    Key(Qt::Key_I, Qt::ShiftModifier);
    ASSERT_EQ(Colors(), std::vector<std::uint32_t>{0x008080u});
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Pane().Markers.Count(), 2);
    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Pane().Markers.Count(), 1);
    Key(Qt::Key_Z, Qt::ControlModifier);
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Pane().Markers.Count(), 1);

    // Escape stops; the numeric pad plays the previews as the digits do.
    QTest::mouseClick(w.btnPlay, Qt::LeftButton);
    ASSERT_EQ(engine.isActive(w.Stream), audio::ChannelState::Playing);
    Key(Qt::Key_Escape);
    EXPECT_EQ(engine.isActive(w.Stream), audio::ChannelState::Stopped);
    EXPECT_FALSE(w.btnPlay->isHidden());
    Key(Qt::Key_3, Qt::KeypadModifier);
    EXPECT_TRUE(w.Preview().PlayingFinal());
    Key(Qt::Key_1);
    EXPECT_TRUE(w.PlayingIntro);
    EXPECT_FALSE(w.Preview().PlayingFinal());
    Key(Qt::Key_Escape);

    // In the comment field every key is the field's: typed, not a command.
    Key(Qt::Key_O);
    ASSERT_TRUE(w.pnlComentario->isVisible());
    w.edtComentario->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.edtComentario->hasFocus(); }, kWindowWaitMs));
    QTest::mouseClick(w.btnPlay, Qt::LeftButton);
    for (const Qt::Key k : {Qt::Key_I, Qt::Key_C, Qt::Key_Escape, Qt::Key_3, Qt::Key_F1}) {
        Key(k);
    }
    Key(Qt::Key_I, Qt::ShiftModifier);
    Key(Qt::Key_S, Qt::ControlModifier);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(w.edtComentario->toPlainText().toLower(), QStringLiteral("ic3i"));
    EXPECT_EQ(Colors(), std::vector<std::uint32_t>{0x008080u});
    EXPECT_EQ(engine.isActive(w.Stream), audio::ChannelState::Playing);
    EXPECT_FALSE(w.Preview().PlayingFinal());
    EXPECT_FALSE(terminated);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // Ctrl+Z undoes the typing, not the markers.
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Colors(), std::vector<std::uint32_t>{0x008080u});
    EXPECT_TRUE(shown.isEmpty()) << shown.join(QLatin1Char('\n')).toStdString();
}

TEST_F(SessionWindow, EveryShortcutIsShownAndNoneTakesAWaveformKey) {
    TfrmTavrela& w = Open(MakeMp3(dir, QStringLiteral("a.mp3"), 4.0, 1));
    std::vector<QKeySequence> windowKeys;
    std::vector<QKeySequence> displayKeys;
    for (const TEditorShortcut& row : EditorShortcuts()) {
        SCOPED_TRACE(row.Description.toStdString());
        ASSERT_FALSE(row.Keys.isEmpty());
        for (const QString& k : row.Keys) {
            const QKeySequence seq(k, QKeySequence::PortableText);
            ASSERT_FALSE(seq.isEmpty()) << k.toStdString();
            (row.Window ? windowKeys : displayKeys).push_back(seq);
        }
        QAction* action = w.ShortcutAction(row.Command);
        if (!row.Window) {
            EXPECT_EQ(action, nullptr);
            continue;
        }
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->shortcut(), QKeySequence(row.Keys[0], QKeySequence::PortableText));
        EXPECT_TRUE(w.actions().contains(action));
    }
    for (std::size_t i = 0; i < windowKeys.size(); ++i) {
        for (std::size_t j = i + 1; j < windowKeys.size(); ++j) {
            EXPECT_NE(windowKeys[i], windowKeys[j]) << windowKeys[i].toString().toStdString();
        }
        for (const QKeySequence& d : displayKeys) {
            EXPECT_NE(windowKeys[i], d) << d.toString().toStdString();
        }
    }
    // Menu entries carry their keys; buttons name them in their tooltips.
    EXPECT_EQ(w.menuIntroducao->shortcut(), QKeySequence(QStringLiteral("I")));
    EXPECT_EQ(w.menuRemoverIntroducao->shortcut(), QKeySequence(QStringLiteral("Shift+I")));
    EXPECT_EQ(w.btnIntroducao->toolTip(), QStringLiteral("Marcar introdução (I)"));
    EXPECT_EQ(w.btnGravarMarcacoes->toolTip(), QStringLiteral("Gravar marcações (Ctrl+S)"));
    EXPECT_EQ(w.btnTocarFinal->toolTip(), QStringLiteral("Tocar final (3)"));
    EXPECT_EQ(w.btnStop->toolTip(), QStringLiteral("Parar execução do áudio (Esc)"));

    // "Atalhos" lists the whole table, without blocking the window.
    w.menuAtalhos->trigger();
    auto* table = w.findChild<QTableWidget*>(QStringLiteral("tblAtalhos"));
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->rowCount(), static_cast<int>(EditorShortcuts().size()));
    QStringList lines;
    for (int r = 0; r < table->rowCount(); ++r) {
        lines << table->item(r, 0)->text() + QLatin1Char(' ') + table->item(r, 1)->text();
    }
    EXPECT_TRUE(lines.contains(QStringLiteral("Ctrl+S Gravar marcações")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Ctrl+Shift+Z, Ctrl+Y Refazer")));
    EXPECT_TRUE(lines.contains(QStringLiteral("3 Tocar final")));
    table->window()->close();
}

TEST_F(SessionWindow, UndoAndRedoADragAndTheReloadFromTheFile) {
    const QString mp3 = MakeMp3(dir, QStringLiteral("a.mp3"), 10.0, 2);
    PrependToFile(mp3, Id3v23Tag({{"TINT", "00:02"}, {"COMM", "original"}}));
    TfrmTavrela& w = Open(mp3);
    ASSERT_EQ(Pane().Markers.Count(), 1);
    EXPECT_FALSE(w.History().CanUndo()); // loading is not a step
    LeftClick(200);
    QTest::mouseClick(w.btnMixagem, Qt::LeftButton);
    const double placed = Pane().Markers[1].X;

    // One drag of the mix point, in several moves, is one step.
    const int y = Panel()->height() / 2;
    QTest::mousePress(Panel(), Qt::LeftButton, Qt::NoModifier, QPoint(200, y));
    for (const int x : {201, 230, 260, 300}) {
        QTest::mouseMove(Panel(), QPoint(x, y));
    }
    QTest::mouseRelease(Panel(), Qt::LeftButton, Qt::NoModifier, QPoint(300, y));
    const double dragged = Pane().Markers[1].X;
    ASSERT_GT(dragged, placed);
    w.menuDesfazer->trigger();
    EXPECT_EQ(Pane().Markers[1].X, placed);
    w.menuRefazer->trigger();
    EXPECT_EQ(Pane().Markers[1].X, dragged);

    // "Cancelar marcações" reloads the file, and is undone like any edit.
    w.menuRemoverComentario->trigger();
    QTest::mouseClick(w.btnCancelarMarcacoes, Qt::LeftButton);
    ASSERT_EQ(Pane().Markers.Count(), 1);
    EXPECT_EQ(w.Comment, QStringLiteral("original"));
    w.menuDesfazer->trigger();
    ASSERT_EQ(Pane().Markers.Count(), 2);
    EXPECT_EQ(Pane().Markers[1].X, dragged);
    EXPECT_TRUE(w.Comment.isEmpty());
    // Back to the file as loaded, and no further.
    while (w.History().Undo()) {
    }
    ASSERT_EQ(Pane().Markers.Count(), 1);
    EXPECT_EQ(w.Comment, QStringLiteral("original"));
    EXPECT_EQ(tags::CurrentTag.Comment, "original");

    // The menu greys out what cannot be done.
    QTest::mousePress(Panel(), Qt::RightButton, Qt::NoModifier, QPoint(100, y));
    ASSERT_TRUE(w.PopupMenu1->isVisible());
    EXPECT_FALSE(w.menuDesfazer->isEnabled());
    EXPECT_TRUE(w.menuRefazer->isEnabled());
    w.PopupMenu1->hide();
    EXPECT_TRUE(w.menuDesfazer->isEnabled());
    EXPECT_TRUE(shown.isEmpty()) << shown.join(QLatin1Char('\n')).toStdString();
}

} // namespace
} // namespace tavrela
