#include "panel_sample.h"

#include <QMouseEvent>
#include <QWheelEvent>

#include <optional>

#include "key_codes.h"

namespace tavrela {

namespace {

std::optional<TMouseButton> buttonOf(const QMouseEvent& e) {
    switch (e.button()) {
    case Qt::LeftButton:
        return mbLeft;
    case Qt::RightButton:
        return mbRight;
    case Qt::MiddleButton:
        return mbMiddle;
    default:
        return std::nullopt;
    }
}

QPoint pointOf(const QMouseEvent& e) {
    return e.position().toPoint();
}

} // namespace

TSamplePicture::TSamplePicture(TGraphDisplayCore* Display, TPanelSample* Panel)
    : QLabel(Panel), Display(Display) {
    setScaledContents(true);
    setMouseTracking(true);
}

void TSamplePicture::mousePressEvent(QMouseEvent* event) {
    if (auto b = buttonOf(*event)) {
        const QPoint p = pointOf(*event);
        Display->PictureMouseDown(*b, p.x(), p.y());
    }
}

void TSamplePicture::mouseReleaseEvent(QMouseEvent* event) {
    if (auto b = buttonOf(*event)) {
        const QPoint p = pointOf(*event);
        Display->PictureMouseUp(*b, p.x(), p.y());
    }
}

void TSamplePicture::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint p = pointOf(*event);
    if (event->button() == Qt::LeftButton) {
        Display->PictureDblClick(p.x(), p.y());
    } else {
        mousePressEvent(event);
    }
}

void TSamplePicture::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = pointOf(*event);
    Display->PictureMouseMove(p.x(), p.y());
}

void TSamplePicture::wheelEvent(QWheelEvent* event) {
    if (event->angleDelta().y() != 0) {
        Display->PictureMouseWheel(event->angleDelta().y());
    }
    event->accept();
}

void TSamplePicture::keyPressEvent(QKeyEvent* event) {
    Display->PictureKeyDown(VirtualKeyFromQt(*event));
    event->accept();
}

TPanelSample::TPanelSample(TGraphDisplayCore* Display, QWidget* parent)
    : TRenderPanel(parent), Display(Display), FPicture(new TSamplePicture(Display, this)) {
    setMouseTracking(true);
    FPicture->setGeometry(rect());
    SetColor(FColor);
}

void TPanelSample::SetColor(TColor Value) {
    FColor = Value;
    // The background shows wherever no frame covers the panel.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ColorToQColor(Value, QWidget::palette()));
    setPalette(pal);
}

void TPanelSample::resizeEvent(QResizeEvent* event) {
    TRenderPanel::resizeEvent(event);
    FPicture->setGeometry(rect());
    if (OnResize) {
        OnResize();
    }
}

void TPanelSample::mousePressEvent(QMouseEvent* event) {
    if (auto b = buttonOf(*event)) {
        const QPoint p = pointOf(*event);
        Display->PanelMouseDown(*b, p.x(), p.y());
    }
}

void TPanelSample::mouseReleaseEvent(QMouseEvent* event) {
    if (auto b = buttonOf(*event)) {
        const QPoint p = pointOf(*event);
        Display->PanelMouseUp(*b, p.x(), p.y());
    }
}

void TPanelSample::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint p = pointOf(*event);
        Display->PanelDblClick(p.x(), p.y());
    } else {
        // a quick second right or middle click is a click of its own
        mousePressEvent(event);
    }
}

void TPanelSample::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = pointOf(*event);
    Display->PanelMouseMove(p.x(), p.y());
}

void TPanelSample::wheelEvent(QWheelEvent* event) {
    // A purely sideways turn (tilt wheels, touch pads) is no zoom notch: it scrolls.
    const QPoint delta = event->angleDelta();
    if (delta.y() != 0) {
        Display->PanelMouseWheel(delta.y(), static_cast<int>(event->position().x()));
    } else if (delta.x() != 0) {
        Display->HorizontalWheel(delta.x());
    }
    event->accept();
}

void TPanelSample::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    Display->PanelMouseLeave();
}

} // namespace tavrela
