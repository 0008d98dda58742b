// The main window's keyboard shortcuts: every command of the shortcut table bound to an
// action of the window, its keys shown in the menu entries and the buttons' tooltips, and the
// "Atalhos" box that lists them all.
#include "editor_conventions.h"
#include "main_window.h"

#include <app/session/edit_history.h>
#include <app/session/editor_shortcuts.h>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeySequence>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace tavrela {

namespace {

// While a text field has the focus every key is its own: the window's shortcuts stay inert,
// so typing a comment never places a marker, saves or stops the playback.
class TTextFieldKeys final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        if (Event->type() == QEvent::ShortcutOverride) {
            Event->accept();
            return true;
        }
        return QObject::eventFilter(Watched, Event);
    }
};

QList<QKeySequence> Sequences(const TEditorShortcut& Row) {
    QList<QKeySequence> out;
    for (const QString& keys : Row.Keys) {
        out << QKeySequence(keys, QKeySequence::PortableText);
    }
    return out;
}

// The keys as the operator reads them; the numeric pad's twins are left out.
QString KeyText(const QString& Keys) {
    return QKeySequence(Keys, QKeySequence::PortableText).toString(QKeySequence::NativeText);
}

QString KeysText(const TEditorShortcut& Row) {
    QStringList shown;
    for (const QString& keys : Row.Keys) {
        if (!keys.startsWith(QLatin1String("Num+"))) {
            shown << KeyText(keys);
        }
    }
    return shown.join(QStringLiteral(", "));
}

} // namespace

QAction* TfrmTavrela::ShortcutAction(TEditorCommand Command) const {
    const auto it = FShortcutActions.find(Command);
    return it == FShortcutActions.end() ? nullptr : it->second;
}

void TfrmTavrela::BindShortcuts() {
    using C = TEditorCommand;
    // Commands with a menu entry use it, so the entry shows the keys beside its caption.
    FShortcutActions = {
        {C::PlaceAudioStart, menuInicioAudio},
        {C::PlaceIntro, menuIntroducao},
        {C::PlaceChorusStart, menuInicioRefrao},
        {C::PlaceChorusEnd, menuFimRefrao},
        {C::PlaceAudioEnd, menuFimAudio},
        {C::PlaceMixPoint, menuPontoMixagem},
        {C::PlaceStamp, menuCarimbo},
        {C::OpenComment, menuComentario},
        {C::DetectMarkers, menuDetectarMarcacoes},
        {C::RemoveAudioStart, menuRemoverInicioAudio},
        {C::RemoveIntro, menuRemoverIntroducao},
        {C::RemoveChorusStart, menuRemoverInicioRefrao},
        {C::RemoveChorusEnd, menuRemoverFimRefrao},
        {C::RemoveAudioEnd, menuRemoverFimAudio},
        {C::RemoveMixPoint, menuRemoverPontoMixagem},
        {C::RemoveStamp, menuRemoverCarimbo},
        {C::RemoveComment, menuRemoverComentario},
        {C::RemoveAll, menuRemoverTodosMarcadores},
        {C::PlayIntro, menuTocarIntroducao},
        {C::PlayChorus, menuTocarRefrao},
        {C::PlayFinal, menuTocarFinal},
        {C::Undo, menuDesfazer},
        {C::Redo, menuRefazer},
        {C::ShowShortcuts, menuAtalhos},
    };
    // The buttons' commands get actions of their own, bound to the same handlers.
    const auto buttonAction = [this](C Command, const char* Name, std::function<void()> Work) {
        auto* action = new QAction(EditorShortcut(Command)->Description, this);
        action->setObjectName(QLatin1String(Name));
        connect(action, &QAction::triggered, this, [Work = std::move(Work)] { RunGuarded(Work); });
        FShortcutActions[Command] = action;
    };
    buttonAction(C::Stop, "actParar", [this] { btnStopClick(); });
    buttonAction(C::Save, "actGravarMarcacoes", [this] { btnGravarMarcacoesClick(); });
    buttonAction(C::CancelEdits, "actCancelarMarcacoes", [this] { btnCancelarMarcacoesClick(); });
    buttonAction(C::ShowAll, "actMostrarTudo", [this] { btnMostrarTudoClick(); });
    buttonAction(C::ResetSelection, "actRemoverSelecao", [this] { btnRemoverSelecaoClick(); });
    buttonAction(C::ToggleMoveMode, "actMoverOndas", [this] { btnMarcarOndasClick(); });
    buttonAction(C::ToggleScrollWhilePlaying, "actScrollTocando", [this] { CheckBox1->click(); });

    for (const TEditorShortcut& row : EditorShortcuts()) {
        QAction* action = ShortcutAction(row.Command);
        if (!row.Window || action == nullptr) {
            continue;
        }
        action->setShortcuts(Sequences(row));
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }

    const auto tip = [](QAbstractButton* Button, const QString& Base, C Command, int Key = 0) {
        const std::optional<TEditorShortcut> row = EditorShortcut(Command);
        if (!row || Key >= row->Keys.size()) {
            return;
        }
        Button->setToolTip(QStringLiteral("%1 (%2)").arg(Base, KeyText(row->Keys[Key])));
    };
    for (const auto& [button, command] : std::initializer_list<std::pair<QAbstractButton*, C>>{
             {btnGravarMarcacoes, C::Save},
             {btnCancelarMarcacoes, C::CancelEdits},
             {btnMostrarTudo, C::ShowAll},
             {btnRemoverSelecao, C::ResetSelection},
             {btnInicioAudio, C::PlaceAudioStart},
             {btnIntroducao, C::PlaceIntro},
             {btnInicioRefrao, C::PlaceChorusStart},
             {btnFimRefrao, C::PlaceChorusEnd},
             {btnFimAudio, C::PlaceAudioEnd},
             {btnMixagem, C::PlaceMixPoint},
             {btnCarimbo, C::PlaceStamp},
             {btnComentario, C::OpenComment},
             {btnDetectarMarcacoes, C::DetectMarkers},
             {btnMoverOndas, C::ToggleMoveMode},
             {btnMarcarOndas, C::ToggleMoveMode},
             {btnStop, C::Stop},
             {btnPlay, C::PlayPause},
             {btnTocarFinal, C::PlayFinal},
             {CheckBox1, C::ToggleScrollWhilePlaying},
             {btnZoomMais, C::Zoom},
         }) {
        tip(button, button->toolTip().isEmpty() ? button->text() : button->toolTip(), command);
    }
    tip(btnZoomMenos, btnZoomMenos->toolTip(), C::Zoom, 1);
    tip(btnInicioOndas, QStringLiteral("Ir para o início"), C::ScrollEnds, 0);
    tip(btnFimOndas, QStringLiteral("Ir para o fim"), C::ScrollEnds, 1);

    edtComentario->installEventFilter(new TTextFieldKeys(edtComentario));

    // The menu shows whether there is anything to undo or redo; the keys stay live (with
    // nothing to undo they do nothing).
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] {
        menuDesfazer->setEnabled(History().CanUndo());
        menuRefazer->setEnabled(History().CanRedo());
    });
    connect(PopupMenu1, &QMenu::aboutToHide, this, [this] {
        menuDesfazer->setEnabled(true);
        menuRefazer->setEnabled(true);
    });
}

void TfrmTavrela::EnableShortcuts(bool Enabled) {
    for (const auto& [command, action] : FShortcutActions) {
        action->setEnabled(Enabled);
    }
}

void TfrmTavrela::menuAtalhosClick() {
    auto* box = new QDialog(this);
    box->setObjectName(QStringLiteral("frmAtalhos"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QStringLiteral("Atalhos"));
    auto* layout = new QVBoxLayout(box);
    const std::vector<TEditorShortcut>& rows = EditorShortcuts();
    auto* table = new QTableWidget(static_cast<int>(rows.size()), 2, box);
    table->setObjectName(QStringLiteral("tblAtalhos"));
    table->setHorizontalHeaderLabels({QStringLiteral("Tecla"), QStringLiteral("Comando")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const TEditorShortcut& row = rows[static_cast<std::size_t>(i)];
        table->setItem(i, 0, new QTableWidgetItem(KeysText(row)));
        table->setItem(i, 1, new QTableWidgetItem(row.Description));
    }
    table->setShowGrid(false);
    table->setAlternatingRowColors(true);
    table->setWordWrap(false);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table);
    auto* buttons = new QDialogButtonBox(box);
    QPushButton* close = buttons->addButton(QStringLiteral("Fechar"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("btnFecharAtalhos"));
    connect(buttons, &QDialogButtonBox::rejected, box, &QDialog::reject);
    layout->addWidget(buttons);
    // The whole table at once where the screen allows it; it scrolls on a small screen.
    const int width = table->horizontalHeader()->length() + table->frameWidth() * 2 + 40;
    const int height = table->horizontalHeader()->sizeHint().height() +
                       table->verticalHeader()->length() + table->frameWidth() * 2 +
                       buttons->sizeHint().height() + 40;
    const QScreen* here = screen();
    const int room = here != nullptr ? here->availableGeometry().height() - 60 : height;
    box->resize(std::max(width, 420), std::min(height, room));
    // Keys go back to the editor at once, also where no window manager hands the focus back.
    connect(box, &QDialog::finished, this, [this] { activateWindow(); });
    box->open(); // window-modal and non-blocking: the playback and the display go on
}

} // namespace tavrela
