// The main window's controls: names, captions, tooltips, sizes and places.
#include "editor_icons.h"
#include "main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <display/graph_display_3d.h>

namespace tavrela {

namespace {

QColor KindQColor(std::uint32_t colorKey) {
    // Colour keys are 0x00BBGGRR.
    return QColor(static_cast<int>(colorKey & 0xFF), static_cast<int>((colorKey >> 8) & 0xFF),
                  static_cast<int>((colorKey >> 16) & 0xFF));
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& tooltip, const QIcon& icon) {
    auto* button = new QPushButton(icon, caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(tooltip);
    button->setFocusPolicy(Qt::NoFocus);
    // 22: the left column's fourteen buttons still fit the window's 367 pixels.
    button->setMinimumHeight(22);
    button->setStyleSheet(QStringLiteral("text-align: left; padding-left: 6px;"));
    return button;
}

QToolButton* MakeToolButton(QWidget* parent, const char* name, const QString& tooltip,
                            const QIcon& icon) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(icon);
    button->setIconSize(QSize(18, 18));
    button->setToolTip(tooltip);
    button->setFixedSize(27, 27);
    button->setAutoRaise(false);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QAction* MakeAction(QMenu* menu, const char* name, const QString& caption, int tag = 0) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    if (tag != 0) {
        action->setData(tag); // the kind number a place command reads
    }
    return action;
}

} // namespace

void TfrmTavrela::BuildControls() {
    setObjectName(QStringLiteral("frmTavrela"));
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // Left column: the four commands and the legend.
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedWidth(145);
    Panel1->setFrameShape(QFrame::StyledPanel);
    auto* left = new QVBoxLayout(Panel1);
    left->setContentsMargins(5, 5, 5, 5);
    left->setSpacing(3);
    btnGravarMarcacoes =
        MakeButton(Panel1, "btnGravarMarcacoes", QStringLiteral("Gravar marcações"),
                   QStringLiteral("Gravar marcações"), MakeIcon(Glyph::Save));
    btnCancelarMarcacoes =
        MakeButton(Panel1, "btnCancelarMarcacoes", QStringLiteral("Cancelar marcações"),
                   QStringLiteral("Cancelar marcações"), MakeIcon(Glyph::Undo));
    btnMostrarTudo = MakeButton(Panel1, "btnMostrarTudo", QStringLiteral("Mostrar tudo"),
                                QStringLiteral("Mostrar tudo"), MakeIcon(Glyph::ShowAll));
    btnRemoverSelecao = MakeButton(Panel1, "btnRemoverSelecao", QStringLiteral("Remover seleção"),
                                   QStringLiteral("Remover seleção"), MakeIcon(Glyph::ClearRange));
    btnDetectarMarcacoes =
        MakeButton(Panel1, "btnDetectarMarcacoes", QStringLiteral("Detectar marcações"),
                   QStringLiteral("Marcar início, fim do áudio e ponto de mixagem pelo nível"),
                   MakeIcon(Glyph::Marker, QColor(0x80, 0x80, 0x00)));
    for (QPushButton* b : {btnGravarMarcacoes, btnCancelarMarcacoes, btnMostrarTudo,
                           btnRemoverSelecao, btnDetectarMarcacoes}) {
        left->addWidget(b);
    }

    gbLegenda = new QGroupBox(QStringLiteral("Legenda:"), Panel1);
    gbLegenda->setObjectName(QStringLiteral("gbLegenda"));
    auto* legend = new QVBoxLayout(gbLegenda);
    legend->setContentsMargins(4, 4, 4, 4);
    legend->setSpacing(2);
    struct LegendButton {
        QPushButton** slot;
        const char* name;
        const char* caption;
        const char* tooltip;
        int tag;
        std::uint32_t color;
    };
    const LegendButton legendButtons[] = {
        {&btnInicioAudio, "btnInicioAudio", "Início do áudio", "Marcar início do áudio", 1,
         0xFFFF00},
        {&btnIntroducao, "btnIntroducao", "Introdução", "Marcar introdução", 2, 0x0000FF},
        {&btnInicioRefrao, "btnInicioRefrao", "Início do refrão", "Marcar início do refrão", 3,
         0x00FF00},
        {&btnFimRefrao, "btnFimRefrao", "Fim do refrão", "Marcar fim do refrão", 4, 0x00FFFF},
        {&btnFimAudio, "btnFimAudio", "Fim do áudio", "Marcar fim do áudio", 5, 0xFF00FF},
        {&btnMixagem, "btnMixagem", "Mixagem", "Marcar ponto de mixagem", 6, 0x008080},
        {&btnCarimbo, "btnCarimbo", "Carimbo", "Inserir carimbo", 7, 0x000080},
    };
    for (const LegendButton& b : legendButtons) {
        *b.slot =
            MakeButton(gbLegenda, b.name, QString::fromUtf8(b.caption),
                       QString::fromUtf8(b.tooltip), MakeIcon(Glyph::Marker, KindQColor(b.color)));
        (*b.slot)->setProperty("Tag", b.tag);
        legend->addWidget(*b.slot);
    }
    btnComentario = MakeButton(gbLegenda, "btnComentario", QStringLiteral("Comentário"),
                               QStringLiteral("Adicionar comentário"), MakeIcon(Glyph::Comment));
    legend->addWidget(btnComentario);
    left->addWidget(gbLegenda);
    left->addStretch(1);
    root->addWidget(Panel1);

    // Right area: comment panel (hidden), the display, the bottom bar.
    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    auto* right = new QVBoxLayout(Panel2);
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);

    pnlComentario = new QFrame(Panel2);
    pnlComentario->setObjectName(QStringLiteral("pnlComentario"));
    pnlComentario->setFixedHeight(93);
    pnlComentario->setFrameShape(QFrame::StyledPanel);
    auto* comment = new QGridLayout(pnlComentario);
    comment->setContentsMargins(6, 4, 6, 4);
    lblComentario = new QLabel(QStringLiteral("Comentário"), pnlComentario);
    lblComentario->setObjectName(QStringLiteral("lblComentario"));
    edtComentario = new QPlainTextEdit(pnlComentario);
    edtComentario->setObjectName(QStringLiteral("edtComentario"));
    btnConfirmarComentario = new QPushButton(QStringLiteral("Confirmar"), pnlComentario);
    btnConfirmarComentario->setObjectName(QStringLiteral("btnConfirmarComentario"));
    btnConfirmarComentario->setToolTip(QStringLiteral("Confirmar comentário"));
    btnCancelarComentario = new QPushButton(QStringLiteral("Cancelar"), pnlComentario);
    btnCancelarComentario->setObjectName(QStringLiteral("btnCancelarComentario"));
    btnCancelarComentario->setToolTip(QStringLiteral("Cancelar comentário"));
    comment->addWidget(lblComentario, 0, 0, 1, 2);
    comment->addWidget(edtComentario, 1, 0, 2, 1);
    comment->addWidget(btnConfirmarComentario, 1, 1);
    comment->addWidget(btnCancelarComentario, 2, 1);
    pnlComentario->hide();
    right->addWidget(pnlComentario);

    GraphDisplay3D1 = new TGraphDisplay3D(Panel2);
    GraphDisplay3D1->setObjectName(QStringLiteral("GraphDisplay3D1"));
    right->addWidget(GraphDisplay3D1, 1);

    Panel4 = new QFrame(Panel2);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setFixedHeight(33);
    auto* bar = new QHBoxLayout(Panel4);
    bar->setContentsMargins(3, 3, 3, 3);
    bar->setSpacing(3);
    btnInicioOndas = MakeToolButton(Panel4, "btnInicioOndas", QString(), MakeIcon(Glyph::GoStart));
    btnFimOndas = MakeToolButton(Panel4, "btnFimOndas", QString(), MakeIcon(Glyph::GoEnd));
    btnZoomMenos = MakeToolButton(Panel4, "btnZoomMenos", QStringLiteral("Reduzir zoom"),
                                  MakeIcon(Glyph::ZoomOut));
    btnZoomMais = MakeToolButton(Panel4, "btnZoomMais", QStringLiteral("Ampliar zoom"),
                                 MakeIcon(Glyph::ZoomIn));
    btnMoverOndas = MakeToolButton(Panel4, "btnMoverOndas", QStringLiteral("Mover ondas do áudio"),
                                   MakeIcon(Glyph::Hand));
    btnMarcarOndas =
        MakeToolButton(Panel4, "btnMarcarOndas", QStringLiteral("Marcar ondas do áudio"),
                       MakeIcon(Glyph::Pointer));
    btnMarcarOndas->hide();
    for (QToolButton* b :
         {btnInicioOndas, btnFimOndas, btnZoomMenos, btnZoomMais, btnMoverOndas, btnMarcarOndas}) {
        bar->addWidget(b);
    }
    btnStop = new QPushButton(MakeIcon(Glyph::Stop), QStringLiteral("Stop"), Panel4);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    btnStop->setToolTip(QStringLiteral("Parar execução do áudio"));
    btnPlay = new QPushButton(MakeIcon(Glyph::Play), QStringLiteral("Play"), Panel4);
    btnPlay->setObjectName(QStringLiteral("btnPlay"));
    btnPlay->setToolTip(QStringLiteral("Executar o áudio"));
    for (QPushButton* b : {btnStop, btnPlay}) {
        b->setFixedSize(64, 27);
        b->setFocusPolicy(Qt::NoFocus);
        bar->addWidget(b);
    }
    btnStop->hide();
    btnTocarFinal = MakeToolButton(Panel4, "btnTocarFinal", QStringLiteral("Tocar final"),
                                   MakeIcon(Glyph::PlayFinal));
    bar->addWidget(btnTocarFinal);

    auto* times = new QGridLayout();
    times->setContentsMargins(6, 0, 6, 0);
    times->setVerticalSpacing(0);
    lblPosicaoTitulo = new QLabel(QStringLiteral("Posição:"), Panel4);
    lblPosicao = new QLabel(QStringLiteral("00:00:00.00"), Panel4);
    lblPosicao->setObjectName(QStringLiteral("lblPosicao"));
    lblTamanhoTitulo = new QLabel(QStringLiteral("Tamanho:"), Panel4);
    lblTamanho = new QLabel(QStringLiteral("00:00:00.00"), Panel4);
    lblTamanho->setObjectName(QStringLiteral("lblTamanho"));
    times->addWidget(lblPosicaoTitulo, 0, 0);
    times->addWidget(lblPosicao, 0, 1);
    times->addWidget(lblTamanhoTitulo, 1, 0);
    times->addWidget(lblTamanho, 1, 1);
    lblTruePeak = new QLabel(Panel4);
    lblTruePeak->setObjectName(QStringLiteral("lblTruePeak"));
    lblLoudness = new QLabel(Panel4);
    lblLoudness->setObjectName(QStringLiteral("lblLoudness"));
    times->addWidget(lblTruePeak, 0, 2, Qt::AlignRight);
    times->addWidget(lblLoudness, 1, 2, Qt::AlignRight);
    bar->addLayout(times);
    CheckBox1 = new QCheckBox(QStringLiteral("Scroll tocando"), Panel4);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(CheckBox1);
    bar->addStretch(1);
    right->addWidget(Panel4);
    root->addWidget(Panel2, 1);

    BuildPopupMenu();

    tmrRenderGrafico = new QTimer(this);
    tmrRenderGrafico->setObjectName(QStringLiteral("tmrRenderGrafico"));
    tmrRenderGrafico->setInterval(50);
}

void TfrmTavrela::BuildPopupMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    menuInicioAudio =
        MakeAction(PopupMenu1, "menuInicioAudio", QStringLiteral("Marcar início do áudio"), 1);
    menuIntroducao =
        MakeAction(PopupMenu1, "menuIntroducao", QStringLiteral("Marcar introdução"), 2);
    menuInicioRefrao =
        MakeAction(PopupMenu1, "menuInicioRefrao", QStringLiteral("Marcar início do refrão"), 3);
    menuFimRefrao =
        MakeAction(PopupMenu1, "menuFimRefrao", QStringLiteral("Marcar fim do refrão"), 4);
    menuFimAudio = MakeAction(PopupMenu1, "menuFimAudio", QStringLiteral("Marcar fim do áudio"), 5);
    menuPontoMixagem =
        MakeAction(PopupMenu1, "menuPontoMixagem", QStringLiteral("Marcar ponto de mixagem"), 6);
    menuCarimbo = MakeAction(PopupMenu1, "menuCarimbo", QStringLiteral("Inserir carimbo"), 7);
    menuComentario = MakeAction(PopupMenu1, "menuComentario", QStringLiteral("Inserir comentário"));
    menuDetectarMarcacoes =
        MakeAction(PopupMenu1, "menuDetectarMarcacoes", QStringLiteral("Detectar marcações"));
    PopupMenu1->addSeparator();
    menuRemover = PopupMenu1->addMenu(QStringLiteral("Remover"));
    menuRemover->setObjectName(QStringLiteral("menuRemover"));
    menuRemoverInicioAudio = MakeAction(menuRemover, "menuRemoverInicioAudio",
                                        QStringLiteral("Remover início do áudio"));
    menuRemoverIntroducao =
        MakeAction(menuRemover, "menuRemoverIntroducao", QStringLiteral("Remover introdução"));
    menuRemoverInicioRefrao = MakeAction(menuRemover, "menuRemoverInicioRefrao",
                                         QStringLiteral("Remover início do refrão"));
    menuRemoverFimRefrao =
        MakeAction(menuRemover, "menuRemoverFimRefrao", QStringLiteral("Remover fim do refrão"));
    menuRemoverFimAudio =
        MakeAction(menuRemover, "menuRemoverFimAudio", QStringLiteral("Remover fim do áudio"));
    menuRemoverPontoMixagem = MakeAction(menuRemover, "menuRemoverPontoMixagem",
                                         QStringLiteral("Remover ponto de mixagem"));
    menuRemoverCarimbo =
        MakeAction(menuRemover, "menuRemoverCarimbo", QStringLiteral("Remover carimbo"));
    menuRemoverComentario =
        MakeAction(menuRemover, "menuRemoverComentario", QStringLiteral("Remover comentário"));
    menuRemover->addSeparator();
    menuRemoverTodosMarcadores = MakeAction(menuRemover, "menuRemoverTodosMarcadores",
                                            QStringLiteral("Remover todos os marcadores"));
    PopupMenu1->addSeparator();
    menuTocarIntroducao =
        MakeAction(PopupMenu1, "menuTocarIntroducao", QStringLiteral("Tocar introdução"));
    menuTocarRefrao = MakeAction(PopupMenu1, "menuTocarRefrao", QStringLiteral("Tocar refrão"));
    menuTocarFinal = MakeAction(PopupMenu1, "menuTocarFinal", QStringLiteral("Tocar final"));
    PopupMenu1->addSeparator();
    menuDesfazer = MakeAction(PopupMenu1, "menuDesfazer", QStringLiteral("Desfazer"));
    menuRefazer = MakeAction(PopupMenu1, "menuRefazer", QStringLiteral("Refazer"));
    PopupMenu1->addSeparator();
    menuAtalhos = MakeAction(PopupMenu1, "menuAtalhos", QStringLiteral("Atalhos"));
}

} // namespace tavrela
