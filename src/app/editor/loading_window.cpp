#include "loading_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

namespace tavrela {

TfrmCarregando::TfrmCarregando(QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("frmCarregando"));
    setWindowTitle(QStringLiteral("Carregando..."));
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    setFixedSize(410, 33);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    layout->addWidget(ProgressBar1);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void TfrmCarregando::SetProgress(int percent) {
    FProgress = percent;
    if (FShowQueued || percent == ProgressBar1->value()) {
        return;
    }
    FShowQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            FShowQueued = false;
            ProgressBar1->setValue(FProgress);
        },
        Qt::QueuedConnection);
}

void TfrmCarregando::closeEvent(QCloseEvent* event) {
    event->ignore();
}

} // namespace tavrela
