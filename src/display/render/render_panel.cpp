#include "render_panel.h"

#include <QPainter>

namespace tavrela {

TRenderPanel::TRenderPanel(QWidget* Parent) : QWidget(Parent) {
    setAutoFillBackground(true);
    setMouseTracking(true);
}

void TRenderPanel::ShowFrame(const QImage& Frame) {
    FFrame = Frame;
    setAttribute(Qt::WA_OpaquePaintEvent, !FFrame.isNull());
    update();
}

void TRenderPanel::ClearFrame() {
    FFrame = QImage();
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    update();
}

void TRenderPanel::SetText(const QString& Text) {
    FText = Text;
    update();
}

void TRenderPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!FFrame.isNull()) {
        // A frame drawn at another size is stretched, as presenting a back buffer to a
        // window of a different size does.
        const QSizeF logical = QSizeF(FFrame.size()) / FFrame.devicePixelRatio();
        if (logical.toSize() == size()) {
            p.drawImage(QPoint(0, 0), FFrame);
        } else {
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(QRectF(rect()), FFrame, QRectF(FFrame.rect()));
        }
        return;
    }
    if (!FText.isEmpty()) {
        p.drawText(rect(), Qt::AlignCenter, FText);
    }
}

} // namespace tavrela
