// The main window's editing commands and playback preview: every menu item, button and
// display event bound to the logic in app/session, through a view of this window.
#include "editor_conventions.h"
#include "editor_paths.h"
#include "main_window.h"

#include <app/jingles/jingle_dialog.h>
#include <app/session/edit_history.h>
#include <app/session/editor_view.h>
#include <app/session/marker_commands.h>
#include <app/session/playback_preview.h>
#include <display/graph_display_3d.h>
#include <display/model/model.h>
#include <display/silent_abort.h>

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

namespace tavrela {

namespace {

// The window as the commands see it.
class TWindowView final : public IEditorView {
public:
    explicit TWindowView(TfrmTavrela& Window) : W(Window) {}

    TGraphDisplayItems& Items() override { return W.GraphDisplay3D1->Items(); }
    int GetScrollPosition() override { return W.GraphDisplay3D1->GetScrollPosition(); }
    void SetScrollPosition(int Value) override { W.GraphDisplay3D1->ScrollTo(Value); }
    double ScrollUnitsPerPixel() const override {
        return W.GraphDisplay3D1->ScrollUnitsPerPixel();
    }
    void ShowAll() override { W.GraphDisplay3D1->ShowAll(); }
    void SelectAll() override {
        W.GraphDisplay3D1->SelectAll();
        W.GraphDisplay3D1->UpdateSelection(false); // the band follows; no selection event
    }
    void SetSampleScroll(bool Value) override { W.GraphDisplay3D1->SampleScroll = Value; }
    void OpenPopupMenu(int X, int Y) override {
        W.PopupMenu1->popup(W.GraphDisplay3D1->Panel()->mapToGlobal(QPoint(X, Y)));
    }
    bool MoveModeShown() const override { return !W.btnMarcarOndas->isHidden(); }
    void ShowMoveMode(bool On) override {
        W.btnMarcarOndas->setVisible(On);
        W.btnMoverOndas->setVisible(!On);
        W.GraphDisplay3D1->Panel()->setCursor(On ? Qt::OpenHandCursor : Qt::ArrowCursor);
    }
    void ShowCommentPanel(bool Visible) override {
        W.pnlComentario->setVisible(Visible);
        if (Visible) {
            // Opened to be typed in: the keys go there at once, after the text.
            W.edtComentario->setFocus(Qt::OtherFocusReason);
            W.edtComentario->moveCursor(QTextCursor::End);
        }
    }
    QString CommentEditText() const override { return W.edtComentario->toPlainText(); }
    void SetCommentEditText(const QString& Text) override { W.edtComentario->setPlainText(Text); }
    std::optional<QString> ChooseJingle() override { return selectJingle(); }
    void Reload() override { W.LoadAudio(); }
    void ShowPlaying(bool Playing) override {
        W.btnPlay->setVisible(!Playing);
        W.btnStop->setVisible(Playing);
    }
    void SetTimeLabels(const QString& Length, const QString& Position) override {
        W.lblTamanho->setText(Length);
        W.lblPosicao->setText(Position);
    }
    QString ProgramFilePath(const QString& Stored) const override {
        return tavrela::ProgramFilePath(Stored);
    }
    void PostToUiThread(std::function<void()> Work) override {
        // Queued on the window: dropped if the window is gone before it runs.
        QMetaObject::invokeMethod(&W, std::move(Work), Qt::QueuedConnection);
    }

private:
    TfrmTavrela& W;
};

TPointerButton PointerButton(TMouseButton Button) {
    switch (Button) {
    case mbLeft:
        return TPointerButton::Left;
    case mbRight:
        return TPointerButton::Right;
    case mbMiddle:
        break;
    }
    return TPointerButton::Middle;
}

// Commands that need a file shown end silently without one.
void Require(bool Done) {
    if (!Done) {
        SilentAbort();
    }
}

} // namespace

struct TSessionParts {
    TSessionParts(TfrmTavrela& Window, audio::Engine& Engine, const TEditorFields& Fields)
        : View(Window), Commands(View, Fields), Preview(Engine, View, Fields),
          History(View, Fields) {}
    TWindowView View;
    TMarkerCommands Commands;
    TPlaybackPreview Preview;
    TEditHistory History;
};

void TSessionPartsDeleter::operator()(TSessionParts* Parts) const {
    delete Parts;
}

TMarkerCommands& TfrmTavrela::Commands() const {
    return FSession->Commands;
}

TPlaybackPreview& TfrmTavrela::Preview() const {
    return FSession->Preview;
}

TEditHistory& TfrmTavrela::History() const {
    return FSession->History;
}

void TfrmTavrela::BindSessionCommands() {
    const TEditorFields fields{Dragging,     DragStartX,    PlayingIntro, PlayingChorus, Stream,
                               JingleStream, SelectionSync, TotalX,       AudioStart,    AudioEnd,
                               Intro,        ChorusStart,   ChorusEnd,    Comment,       StampTime,
                               StampJingle,  MixPoint};
    FSession.reset(new TSessionParts(*this, FEngine, fields));

    const auto onAction = [this](QAction* action, std::function<void()> command) {
        connect(action, &QAction::triggered, this,
                [command = std::move(command)] { RunGuarded(command); });
    };

    for (QAction* place : {menuInicioAudio, menuIntroducao, menuInicioRefrao, menuFimRefrao,
                           menuFimAudio, menuPontoMixagem, menuCarimbo}) {
        onAction(place, [this, place] { menuInicioAudioClick(place); });
    }
    for (QPushButton* place : {btnInicioAudio, btnIntroducao, btnInicioRefrao, btnFimRefrao,
                               btnFimAudio, btnMixagem, btnCarimbo}) {
        OnClick(place, [this, place] { menuInicioAudioClick(place); });
    }
    onAction(menuComentario, [this] { menuComentarioClick(); });
    OnClick(btnComentario, [this] { menuComentarioClick(); });
    OnClick(btnConfirmarComentario, [this] { btnConfirmarComentarioClick(); });
    OnClick(btnCancelarComentario, [this] { btnCancelarComentarioClick(); });

    onAction(menuRemoverInicioAudio, [this] { menuRemoverInicioAudioClick(); });
    onAction(menuRemoverIntroducao, [this] { menuRemoverIntroducaoClick(); });
    onAction(menuRemoverInicioRefrao, [this] { menuRemoverInicioRefraoClick(); });
    onAction(menuRemoverFimRefrao, [this] { menuRemoverFimRefraoClick(); });
    onAction(menuRemoverFimAudio, [this] { menuRemoverFimAudioClick(); });
    onAction(menuRemoverPontoMixagem, [this] { menuRemoverPontoMixagemClick(); });
    onAction(menuRemoverCarimbo, [this] { menuRemoverCarimboClick(); });
    onAction(menuRemoverComentario, [this] { menuRemoverComentarioClick(); });
    onAction(menuRemoverTodosMarcadores, [this] { menuRemoverTodosMarcadoresClick(); });
    onAction(menuTocarIntroducao, [this] { menuTocarIntroducaoClick(); });
    onAction(menuTocarRefrao, [this] { menuTocarRefraoClick(); });
    onAction(menuTocarFinal, [this] { menuTocarFinalClick(); });
    OnClick(btnTocarFinal, [this] { menuTocarFinalClick(); });
    onAction(menuDesfazer, [this] { menuDesfazerClick(); });
    onAction(menuRefazer, [this] { menuRefazerClick(); });
    onAction(menuAtalhos, [this] { menuAtalhosClick(); });

    OnClick(btnMoverOndas, [this] { btnMarcarOndasClick(); });
    OnClick(btnMarcarOndas, [this] { btnMarcarOndasClick(); });
    OnClick(btnInicioOndas, [this] { btnInicioOndasClick(); });
    OnClick(btnFimOndas, [this] { btnFimOndasClick(); });
    OnClick(btnMostrarTudo, [this] { btnMostrarTudoClick(); });
    OnClick(btnRemoverSelecao, [this] { btnRemoverSelecaoClick(); });
    OnClick(btnCancelarMarcacoes, [this] { btnCancelarMarcacoesClick(); });
    OnClick(btnPlay, [this] { btnPlayClick(); });
    OnClick(btnStop, [this] { btnStopClick(); });
    connect(CheckBox1, &QCheckBox::clicked, this,
            [this] { RunGuarded([this] { CheckBox1Click(); }); });

    // The display's events. A press this window takes ends with the silent abort, which the
    // display reads as "do not react"; any other failure is shown to the operator.
    TGraphDisplay3D& d = *GraphDisplay3D1;
    d.OnMouseDown = [this](QObject*, TMouseButton Button, int X, int Y) {
        if (Button == mbLeft) {
            // A marker dragged from press to release is one step of the history.
            History().BeginStep();
        }
        GraphDisplay3D1MouseDown(Button, X, Y);
    };
    d.OnMouseMove = [this](QObject*, int X, int Y) {
        RunGuarded([&] { GraphDisplay3D1MouseMove(X, Y); });
    };
    d.OnMouseUp = [this](QObject*, TMouseButton, int, int) { GraphDisplay3D1MouseUp(); };
    d.OnPlay = [this](QObject*, TGraphDisplayItem*, double Position) {
        RunGuarded([&] { GraphDisplay3D1Play(Position); });
    };
    d.OnPause = [this](QObject*, TGraphDisplayItem*) {
        RunGuarded([&] { GraphDisplay3D1Pause(); });
    };
    d.OnSelection = [this](QObject*, TGraphDisplayItem* Item, TGraphDisplayGraphItem*) {
        RunGuarded([&] { GraphDisplay3D1Selection(Item); });
    };
    d.OnNeedPlayStatus = [this](QObject*, TGraphDisplayItem*) {
        return GraphDisplay3D1NeedPlayStatus();
    };
    d.OnNeedPlaybackPosition = [this](QObject*, TGraphDisplayItem*) {
        double position = 0.0;
        RunGuarded([&] { position = GraphDisplay3D1NeedPlaybackPosition(); });
        return position;
    };
}

// ---- markers and comment

void TfrmTavrela::menuInicioAudioClick(QObject* Sender) {
    int tag = 0;
    QString caption;
    if (const auto* action = qobject_cast<QAction*>(Sender)) {
        tag = action->data().toInt();
        caption = action->text();
    } else if (const auto* button = qobject_cast<QPushButton*>(Sender)) {
        tag = button->property("Tag").toInt();
        caption = button->text();
    } else {
        return;
    }
    History().Edit([&] { Commands().PlaceMarker(tag, caption); });
}

void TfrmTavrela::RemoveMarkerKind(TMarkerKind Kind) {
    History().Edit([&] { Require(Commands().RemoveMarkerKind(Kind)); });
}

void TfrmTavrela::menuRemoverInicioAudioClick() {
    RemoveMarkerKind(TMarkerKind::AudioStart);
}

void TfrmTavrela::menuRemoverIntroducaoClick() {
    RemoveMarkerKind(TMarkerKind::Intro);
}

void TfrmTavrela::menuRemoverInicioRefraoClick() {
    RemoveMarkerKind(TMarkerKind::ChorusStart);
}

void TfrmTavrela::menuRemoverFimRefraoClick() {
    RemoveMarkerKind(TMarkerKind::ChorusEnd);
}

void TfrmTavrela::menuRemoverFimAudioClick() {
    RemoveMarkerKind(TMarkerKind::AudioEnd);
}

void TfrmTavrela::menuRemoverPontoMixagemClick() {
    RemoveMarkerKind(TMarkerKind::MixPoint);
}

void TfrmTavrela::menuRemoverCarimboClick() {
    RemoveMarkerKind(TMarkerKind::Stamp);
}

void TfrmTavrela::menuRemoverComentarioClick() {
    History().Edit([&] { Commands().RemoveComment(); });
}

void TfrmTavrela::menuRemoverTodosMarcadoresClick() {
    History().Edit([&] { Require(Commands().RemoveAllMarkers()); });
}

void TfrmTavrela::menuComentarioClick() {
    Commands().OpenCommentPanel();
}

void TfrmTavrela::btnConfirmarComentarioClick() {
    History().Edit([&] { Commands().ConfirmComment(); });
}

void TfrmTavrela::btnCancelarComentarioClick() {
    Commands().CancelComment();
}

// ---- pointer, move mode, navigation

void TfrmTavrela::GraphDisplay3D1MouseDown(TMouseButton Button, int X, int Y) {
    bool taken = false;
    RunGuarded([&] { taken = Commands().MouseDown(PointerButton(Button), X, Y); });
    if (taken) {
        SilentAbort();
    }
}

void TfrmTavrela::GraphDisplay3D1MouseMove(int X, int Y) {
    Commands().MouseMove(X, Y);
    // The display points out markers under the pointer with its own shapes; in move mode a
    // press drags the view, never a marker, so the hand stays.
    QWidget* panel = GraphDisplay3D1->Panel();
    if (!btnMarcarOndas->isHidden() && panel->cursor().shape() != Qt::OpenHandCursor) {
        panel->setCursor(Qt::OpenHandCursor);
    }
}

void TfrmTavrela::GraphDisplay3D1MouseUp() {
    Commands().MouseUp();
    History().EndStep();
}

void TfrmTavrela::btnMarcarOndasClick() {
    Commands().ToggleMoveMode();
}

void TfrmTavrela::btnInicioOndasClick() {
    Require(Commands().GoToStart());
}

void TfrmTavrela::btnFimOndasClick() {
    Require(Commands().GoToEnd());
}

void TfrmTavrela::btnMostrarTudoClick() {
    Require(Commands().ShowAll());
}

void TfrmTavrela::btnRemoverSelecaoClick() {
    Require(Commands().ResetSelection());
}

void TfrmTavrela::btnCancelarMarcacoesClick() {
    // The reload from the file is one step: an undo brings the edits back.
    History().Edit([&] { Require(Commands().CancelEdits()); });
}

void TfrmTavrela::CheckBox1Click() {
    Commands().SetScrollWhilePlaying(CheckBox1->isChecked());
}

// ---- playback

void TfrmTavrela::GraphDisplay3D1Play(double Position) {
    Preview().Play(Position);
}

void TfrmTavrela::GraphDisplay3D1Pause() {
    Require(Preview().Pause());
}

TGraphDisplayPlayStatus TfrmTavrela::GraphDisplay3D1NeedPlayStatus() {
    return Preview().NeedPlayStatus();
}

double TfrmTavrela::GraphDisplay3D1NeedPlaybackPosition() {
    return Preview().NeedPlaybackPosition();
}

void TfrmTavrela::GraphDisplay3D1Selection(TGraphDisplayItem* GraphDisplayItem) {
    if (GraphDisplayItem != nullptr) {
        Preview().SelectionChanged(*GraphDisplayItem);
    }
}

void TfrmTavrela::btnPlayClick() {
    Require(Preview().PlayClick());
}

void TfrmTavrela::btnStopClick() {
    Require(Preview().StopClick());
}

void TfrmTavrela::menuTocarIntroducaoClick() {
    Require(Preview().PlayIntro());
}

void TfrmTavrela::menuTocarRefraoClick() {
    Require(Preview().PlayChorus());
}

void TfrmTavrela::menuTocarFinalClick() {
    Require(Preview().PlayFinal());
}

void TfrmTavrela::menuDesfazerClick() {
    History().Undo();
}

void TfrmTavrela::menuRefazerClick() {
    History().Redo();
}

void TfrmTavrela::UpdateTimeLabels() {
    Preview().UpdateTimeLabels();
}

} // namespace tavrela
