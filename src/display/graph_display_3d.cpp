#include "graph_display_3d.h"

#include "key_codes.h"
#include "render_bridge.h"

#include <QApplication>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace tavrela {

namespace {

const char* const kCreditText = "Tavrela waveform display";

} // namespace

TGraphDisplay3D::TGraphDisplay3D(QWidget* parent) : QFrame(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    FPanel = new TPanelSample(this, this);
    FPanel->SetCaption(QString::fromLatin1(kCreditText));
    FPanel->OnResize = [this] {
        // A failed re-creation leaves the old picture; a resize has no caller to tell.
        try {
            PanelResize();
        } catch (...) {
        }
    };
    SetDevice(std::make_unique<TRenderBridge>(*this));
    layout->addWidget(FPanel, 1);

    FScrollBar = new TSampleScrollBar(this, this);
    FScrollBar->OnChange = [this](QObject*) { ScrollBarChange(); };
    layout->addWidget(FScrollBar);

    FFlatScrollBar = new TSampleFlatScrollBar(this, this);
    FFlatScrollBar->OnChange = [this](QObject*) { ScrollBarChange(); };
    layout->addWidget(FFlatScrollBar);

    SetBevelOuter(bvLowered);
    // Keys reach the standard bar through the control while that bar is hidden.
    setFocusPolicy(Qt::ClickFocus);
}

TGraphDisplay3D::~TGraphDisplay3D() {
    // Workers first: their handler calls reach the model.
    StopSampleThreads();
    try {
        D3DFree(true);
    } catch (...) {
    }
    FScrollBar->OnChange = nullptr;
    FFlatScrollBar->OnChange = nullptr;
    FPanel->OnResize = nullptr;
    Items().Clear();
    delete FScrollBar;
    FScrollBar = nullptr;
    delete FPanel;
    FPanel = nullptr;
    delete FFlatScrollBar;
    FFlatScrollBar = nullptr;
}

int TGraphDisplay3D::ScrollBarHeight() const {
    return FScrollBar->height();
}

void TGraphDisplay3D::SetScrollBarHeight(int Value) {
    FFlatScrollBar->setFixedHeight(Value);
    FScrollBar->setFixedHeight(Value);
}

void TGraphDisplay3D::SetScrollBarType(TGraphDisplayScrollBarType Value) {
    TGraphDisplayCore::SetScrollBarType(Value);
    if (!Picture()->isHidden()) {
        return;
    }
    FScrollBar->setVisible(Value == gdsbtWindows);
    FFlatScrollBar->setVisible(Value == gdsbtFlat);
}

QPixmap TGraphDisplay3D::Panel3DPicture() const {
    return Picture()->pixmap();
}

void TGraphDisplay3D::SetPanel3DPicture(const QPixmap& Value) {
    Picture()->setPixmap(Value);
}

void TGraphDisplay3D::SetBevelOuter(TBevelCut Value) {
    FBevelOuter = Value;
    switch (Value) {
    case bvNone:
        setFrameStyle(QFrame::NoFrame);
        break;
    case bvLowered:
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        break;
    case bvRaised:
        setFrameStyle(QFrame::Panel | QFrame::Raised);
        break;
    case bvSpace:
        setFrameStyle(QFrame::Panel | QFrame::Plain);
        break;
    }
}

void TGraphDisplay3D::SetPanelCursor(TPanelCursor Cursor) {
    FPanel->setCursor(Cursor == crHSplit ? Qt::SplitHCursor : Qt::ArrowCursor);
}

void TGraphDisplay3D::FocusKeyTarget() {
    if (FScrollBar->isVisible()) {
        FScrollBar->setFocus(Qt::MouseFocusReason);
    } else {
        setFocus(Qt::MouseFocusReason);
    }
}

void TGraphDisplay3D::ShowDrawingSurface() {
    Picture()->hide();
    SetScrollBarType(ScrollBarType());
}

void TGraphDisplay3D::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    if (delta.y() != 0) {
        const QPointF onPanel = FPanel->mapFromGlobal(event->globalPosition());
        ControlMouseWheel(delta.y(), static_cast<int>(onPanel.x()));
    } else if (delta.x() != 0) {
        HorizontalWheel(delta.x());
    }
    event->accept();
}

bool TGraphDisplay3D::MayTakeFocusOnMove() const {
    // Text fields take input-method events; they keep the keys until the operator clicks.
    const QWidget* focused = QApplication::focusWidget();
    return focused == nullptr || isAncestorOf(focused) || focused == this ||
           !focused->testAttribute(Qt::WA_InputMethodEnabled);
}

void TGraphDisplay3D::keyPressEvent(QKeyEvent* event) {
    // Standing in for the standard bar while it is hidden.
    const std::uint16_t code = ScrollBarKeyDown(FScrollBar, VirtualKeyFromQt(*event));
    FScrollBar->DefaultKeyHandling(code);
    event->accept();
}

} // namespace tavrela
