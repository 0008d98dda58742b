#include "render_panel.h"

#include <QExposeEvent>
#include <QPainter>
#include <QSurfaceFormat>
#include <QWindow>

namespace tavrela {

/// The native surface frames are drawn on: transparent for input, so every pointer event
/// reaches the panel beneath.
class TSurfaceWindow : public QWindow {
public:
    explicit TSurfaceWindow(TRenderPanel& Panel) : FPanel(Panel) {
        setSurfaceType(QSurface::OpenGLSurface);
        QSurfaceFormat format;
        format.setDepthBufferSize(0);
        format.setStencilBufferSize(0);
        format.setSamples(0);
        // The display draws on its own pace; a swap never waits for the screen's refresh.
        format.setSwapInterval(0);
        setFormat(format);
        setFlag(Qt::WindowTransparentForInput, true);
    }

protected:
    void exposeEvent(QExposeEvent*) override {
        if (isExposed() && FPanel.OnSurfaceExposed) {
            FPanel.OnSurfaceExposed();
        }
    }

private:
    TRenderPanel& FPanel;
};

TRenderPanel::TRenderPanel(QWidget* Parent) : QWidget(Parent) {
    setAutoFillBackground(true);
    setMouseTracking(true);
}

TRenderPanel::~TRenderPanel() {
    OnSurfaceExposed = nullptr;
}

void TRenderPanel::ShowFrame(const QImage& Frame) {
    FFrame = Frame;
    setAttribute(Qt::WA_OpaquePaintEvent, !FFrame.isNull());
    update();
}

void TRenderPanel::ClearFrame() {
    FFrame = QImage();
    FDirectFrames = false;
    if (FContainer != nullptr) {
        FContainer->hide();
    }
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    update();
}

QImage TRenderPanel::Frame() const {
    if (FDirectFrames && FReader) {
        return FReader();
    }
    return FFrame;
}

void TRenderPanel::SetText(const QString& Text) {
    FText = Text;
    update();
}

void TRenderPanel::SetDirectPresentation(TDirectPresentation Mode) {
    FDirectMode = Mode;
    if (Mode == TDirectPresentation::Never) {
        DropSurface();
    }
}

QWindow* TRenderPanel::DirectSurface() {
    if (FDirectMode == TDirectPresentation::Never || FDirectFailed || !isVisible()) {
        return nullptr;
    }
    if (FSurface == nullptr) {
        FSurface = new TSurfaceWindow(*this);
        FContainer = QWidget::createWindowContainer(FSurface, this);
        FContainer->setAttribute(Qt::WA_TransparentForMouseEvents, true);
        FContainer->setFocusPolicy(Qt::NoFocus);
        FContainer->setGeometry(rect());
    }
    if (!FContainer->isVisible()) {
        FContainer->show();
    }
    return FSurface;
}

void TRenderPanel::DirectFrameShown() {
    FDirectFrames = true;
    // No read-back picture lingers to be painted, or returned as the frame.
    FFrame = QImage();
    setAttribute(Qt::WA_OpaquePaintEvent, true);
}

void TRenderPanel::DirectPresentationFailed() {
    FDirectFailed = true;
    DropSurface();
}

void TRenderPanel::DropSurface() {
    FDirectFrames = false;
    if (FContainer != nullptr) {
        FContainer->hide();
        FContainer->deleteLater();
        FContainer = nullptr;
        FSurface = nullptr;
    }
}

void TRenderPanel::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    if (FContainer != nullptr) {
        FContainer->setGeometry(rect());
    }
}

void TRenderPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Frames on the drawing surface cover the panel; painting the panel (a grab of the
    // window, say) shows the same picture read back.
    const QImage frame = FDirectFrames && FReader ? FReader() : FFrame;
    if (!frame.isNull()) {
        // A frame drawn at another size is stretched, as presenting a back buffer to a
        // window of a different size does.
        const QSizeF logical = QSizeF(frame.size()) / frame.devicePixelRatio();
        if (logical.toSize() == size()) {
            p.drawImage(QPoint(0, 0), frame);
        } else {
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(QRectF(rect()), frame, QRectF(frame.rect()));
        }
        return;
    }
    if (!FText.isEmpty()) {
        p.drawText(rect(), Qt::AlignCenter, FText);
    }
}

} // namespace tavrela
