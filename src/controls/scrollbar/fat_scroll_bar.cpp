#include "fat_scroll_bar.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>

#include <algorithm>

namespace tavrela {

namespace {

void setColors(TStateStyleProperty& p, TColor cold, TColor hot, TColor down) {
    p.SetColorCold(cold);
    p.SetColorHot(hot);
    p.SetColorDown(down);
}

// A one-pixel frame drawn with a brush, so that patterns and hatches show in it as well.
void frameRect(QPainter& painter, const QRect& r, const QBrush& brush) {
    if (brush.style() == Qt::NoBrush || r.isEmpty()) {
        return;
    }
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), brush);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), brush);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), brush);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), brush);
}

} // namespace

TFatScrollBar::TFatScrollBar(QWidget* parent)
    : QWidget(parent), StyleArrowValue(this), StyleArrowButtonValue(this), StyleScrollerValue(this),
      StyleTrackValue(this) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    ElementStates.fill(TElementState::Cold);

    setColors(StyleArrowValue.Border(), clWindowText, clWindow, clWindow);
    setColors(StyleArrowValue.Fill(), clWindowText, clWindow, clWindow);
    setColors(StyleArrowButtonValue.Border(), clBtnShadow, clBtnShadow, clWindow);
    setColors(StyleArrowButtonValue.Fill(), clBtnFace, clBtnShadow, clWindowText);
    setColors(StyleScrollerValue.Border(), clBtnShadow, clBtnShadow, clWindow);
    setColors(StyleScrollerValue.Fill(), clBtnFace, clBtnShadow, clWindowText);
    setColors(StyleTrackValue.Border(), clBtnShadow, clBtnShadow, clWindow);
    setColors(StyleTrackValue.Fill(), clWindow, clBtnShadow, clWindowText);
    for (TStyleProperty* s :
         {&StyleArrowValue, &StyleArrowButtonValue, &StyleScrollerValue, &StyleTrackValue}) {
        s->OnChange = [this](TStyleProperty&) { paintAll(); };
    }

    ScrollTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ScrollTimer, &QTimer::timeout, this, [this] { timerTick(); });

    resize(150, ArrowWidthValue);
    calcArrows();
}

TFatScrollBar::~TFatScrollBar() {
    for (TStyleProperty* s :
         {&StyleArrowValue, &StyleArrowButtonValue, &StyleScrollerValue, &StyleTrackValue}) {
        s->OnChange = nullptr;
    }
}

TElementState TFatScrollBar::ElementState(int element) const {
    if (element < 0 || element >= 5) {
        return TElementState::Cold;
    }
    return ElementStates[static_cast<std::size_t>(element)];
}

void TFatScrollBar::calcArrows() {
    CalcArrows(Layout, KindValue, width(), height(), ArrowWidthValue, ArrowStretchValue);
    calcScroller();
}

void TFatScrollBar::calcScroller() {
    CalcScroller(Layout, KindValue, width(), height(), PageSizeValue, MaxValue, PositionValue);
}

void TFatScrollBar::SetKind(TScrollBarKind value) {
    if (value != KindValue) {
        KindValue = value;
        calcArrows();
        paintAll();
    }
}

void TFatScrollBar::SetArrowWidth(int value) {
    value = ClampArrowWidth(value, length());
    if (value != ArrowWidthValue) {
        ArrowWidthValue = value;
        calcArrows();
        paintAll();
    }
}

void TFatScrollBar::SetArrowStretch(int value) {
    value = ClampArrowStretch(value);
    if (value != ArrowStretchValue) {
        ArrowStretchValue = value;
        calcArrows();
        paintAll();
    }
}

void TFatScrollBar::SetScrollerWidth(int value) {
    value = ClampScrollerWidth(value, length(), ArrowWidthValue);
    if (value != Layout.ScrollerWidth) {
        Layout.ScrollerWidth = value;
        calcScroller();
        paintTrack();
    }
}

void TFatScrollBar::SetMin(int value) {
    if (value != MinValue && value >= 0 && value <= MaxValue) {
        MinValue = value;
        calcScroller();
        paintTrack();
    }
}

void TFatScrollBar::SetMax(int value) {
    if (value != MaxValue && value >= 0 && value >= MinValue) {
        MaxValue = value;
        calcScroller();
        paintTrack();
    }
}

void TFatScrollBar::SetPosition(int value) {
    if (value == PositionValue || value < MinValue || value > MaxValue) {
        return;
    }
    PositionValue = value;
    calcScroller();
    paintTrack();
    if (OnChange) {
        OnChange(this);
    }
}

void TFatScrollBar::SetSmallChange(int value) {
    if (value != SmallChangeValue && value > 0 && value < LargeChangeValue) {
        SmallChangeValue = value;
    }
}

void TFatScrollBar::SetLargeChange(int value) {
    if (value != LargeChangeValue && value > 0 && value >= SmallChangeValue) {
        LargeChangeValue = value;
    }
}

void TFatScrollBar::SetPageSize(int value) {
    PageSizeValue = value;
    calcScroller();
    paintTrack();
}

void TFatScrollBar::SetScrollInterval(int value) {
    if (value > 0 && value < 10000) {
        ScrollIntervalValue = value;
    }
}

void TFatScrollBar::assignStyle(TStyleProperty& target, const TStyleProperty& value) {
    if (&target == &value) {
        return;
    }
    target.SetBorder(value.Border());
    target.SetFill(value.Fill());
}

// Track parts and scroller, in the order the scroller's movement uncovers them.
void TFatScrollBar::paintTrack() {
    PaintElement(feTrackBefore);
    PaintElement(feScroller);
    PaintElement(feTrackAfter);
}

void TFatScrollBar::paintAll() {
    for (int i = 0; i < 5; ++i) {
        PaintElement(i);
    }
}

void TFatScrollBar::PaintElement(int element) {
    if (element < 0 || element >= 5) {
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (Buffer.size() != pixels || Buffer.devicePixelRatio() != ratio) {
        Buffer = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        Buffer.setDevicePixelRatio(ratio);
        Buffer.fill(palette().color(QPalette::Window));
    }
    const auto e = static_cast<std::size_t>(element);
    const QRect rect = Layout.ElementRects[e];
    if (rect.isEmpty() || Buffer.isNull()) {
        return;
    }
    const TStyleProperty& box = element <= feArrowSecond ? StyleArrowButtonValue
                                : element == feScroller  ? StyleScrollerValue
                                                         : StyleTrackValue;
    const TElementState state = ElementStates[e];
    const QPalette& pal = palette();

    QPainter painter(&Buffer);
    painter.fillRect(rect, box.Fill().Brush(state, pal));
    frameRect(painter, rect, box.Border().Brush(state, pal));
    if (element <= feArrowSecond) {
        const TStyleProperty& glyph = StyleArrowValue;
        painter.setBrush(glyph.Fill().Brush(state, pal));
        painter.setPen(QPen(ColorToQColor(glyph.Border().Color(state), pal), 0));
        const auto& pts = Layout.ArrowPoints[e];
        painter.drawPolygon(QPolygon({pts[0], pts[1], pts[2]}));
    }
    painter.end();
    update(rect);
}

void TFatScrollBar::paintEvent(QPaintEvent* event) {
    const qreal ratio = devicePixelRatioF();
    if (Buffer.size() != (QSizeF(size()) * ratio).toSize() || Buffer.devicePixelRatio() != ratio) {
        paintAll();
    }
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.drawImage(QPoint(0, 0), Buffer);
}

void TFatScrollBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    calcArrows();
    paintAll();
}

void TFatScrollBar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        paintAll(); // system colours follow the palette
    }
}

void TFatScrollBar::setState(int element, TElementState state) {
    auto& current = ElementStates[static_cast<std::size_t>(element)];
    if (current != state) {
        current = state;
        PaintElement(element);
    }
}

void TFatScrollBar::mousePressEvent(QMouseEvent* event) {
    LastPos = event->position().toPoint();
    LastButtons = event->buttons();
    const bool left = LastButtons.testFlag(Qt::LeftButton);
    for (int i = 0; i < 5; ++i) {
        if (Layout.ElementRects[static_cast<std::size_t>(i)].contains(LastPos)) {
            if (left) {
                setState(i, TElementState::Down);
                DownElement = i;
                startAction(i);
            } else {
                setState(i, TElementState::Hot);
            }
        } else {
            setState(i, TElementState::Cold);
        }
    }
}

void TFatScrollBar::mouseMoveEvent(QMouseEvent* event) {
    handleMove(event->position().toPoint(), event->buttons());
}

void TFatScrollBar::handleMove(QPoint pos, Qt::MouseButtons buttons) {
    LastPos = pos;
    LastButtons = buttons;
    const bool left = buttons.testFlag(Qt::LeftButton);
    if (left && DownElement == feScroller) {
        dragScroller(pos);
        return;
    }
    for (int i = 0; i < 5; ++i) {
        if (Layout.ElementRects[static_cast<std::size_t>(i)].contains(pos)) {
            if (left && i == DownElement) {
                setState(i, TElementState::Down);
                // Back on the held element: the repetition resumes. While it runs, moves
                // leave it alone (restarting it on every move would never let it step).
                if (i != feScroller && !ScrollTimer.isActive()) {
                    RepeatElement = i;
                    startRepeat(ScrollIntervalValue);
                }
            } else {
                setState(i, TElementState::Hot);
            }
        } else {
            setState(i, TElementState::Cold);
        }
    }
}

void TFatScrollBar::mouseReleaseEvent(QMouseEvent* event) {
    LastPos = event->position().toPoint();
    LastButtons = event->buttons();
    const bool leftReleased = event->button() == Qt::LeftButton;
    if (leftReleased) {
        ScrollTimer.stop();
    }
    for (int i = 0; i < 5; ++i) {
        if (Layout.ElementRects[static_cast<std::size_t>(i)].contains(LastPos)) {
            if (leftReleased && i == DownElement) {
                endAction();
                DownElement = feNone;
            }
            setState(i, TElementState::Hot);
        } else {
            setState(i, TElementState::Cold);
        }
    }
    // Released away from the pressed element: the press is over all the same, so a later
    // move with the button up must not find a drag still armed.
    if (leftReleased && DownElement != feNone) {
        endAction();
        DownElement = feNone;
    }
}

void TFatScrollBar::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (OnMouseIn) {
        OnMouseIn(this);
    }
}

void TFatScrollBar::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    handleMove(QPoint(-1, -1), Qt::NoButton);
    if (OnMouseOut) {
        OnMouseOut(this);
    }
}

void TFatScrollBar::startAction(int element) {
    if (element == feScroller) {
        DraggingValue = true;
        DragOffset = LastPos - Layout.ElementRects[feScroller].topLeft();
    } else {
        // A click steps once; only a held button repeats.
        RepeatElement = element;
        step(element);
        startRepeat(std::max(RepeatDelay, ScrollIntervalValue));
    }
}

void TFatScrollBar::startRepeat(int delay) {
    RepeatDelayValue = delay;
    RepeatSteps = 0;
    RepeatClock.start();
    ScrollTimer.start(delay);
}

bool TFatScrollBar::step(int element) {
    const int before = PositionValue;
    switch (element) {
    case feArrowFirst:
        SetPosition(std::max(PositionValue - SmallChangeValue, MinValue));
        break;
    case feArrowSecond:
        SetPosition(std::min(PositionValue + SmallChangeValue, MaxValue));
        break;
    case feTrackBefore:
        SetPosition(std::max(PositionValue - LargeChangeValue, MinValue));
        break;
    case feTrackAfter:
        SetPosition(std::min(PositionValue + LargeChangeValue, MaxValue));
        break;
    default:
        break;
    }
    return PositionValue != before;
}

void TFatScrollBar::endAction() {
    DraggingValue = false;
    ScrollTimer.stop();
}

void TFatScrollBar::timerTick() {
    const auto inside = [this] {
        return RepeatElement >= 0 && RepeatElement < 5 &&
               Layout.ElementRects[static_cast<std::size_t>(RepeatElement)].contains(LastPos);
    };
    if (!inside() || RepeatElement != DownElement) {
        ScrollTimer.stop();
        handleMove(LastPos, LastButtons);
        return;
    }
    ScrollTimer.setInterval(ScrollIntervalValue);
    // Every step due by now, one per interval after the delay, however late this tick came.
    const long long due = 1 + (RepeatClock.elapsed() - RepeatDelayValue) / ScrollIntervalValue;
    while (RepeatSteps < due) {
        ++RepeatSteps;
        // Paging stops where the scroller reaches the pointer: the track part under it ends.
        if (!inside() || !step(RepeatElement)) {
            break;
        }
    }
}

void TFatScrollBar::dragScroller(QPoint pos) {
    const int along = KindValue == sbHorizontal ? pos.x() : pos.y();
    const int offset = KindValue == sbHorizontal ? DragOffset.x() : DragOffset.y();
    int position = 0;
    if (DragPosition(Layout, KindValue, width(), height(), ArrowWidthValue, MaxValue, along, offset,
                     position)) {
        SetPosition(position);
    }
}

} // namespace tavrela
