#pragma once
// An owner-drawn scroll bar: two arrow buttons, the track on either side of the scroller, and
// the scroller, each drawn in its own style for the states Cold, Hot and Down.
#include "fat_scroll_bar_layout.h"
#include "style_property.h"
#include "tcolor.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>

namespace tavrela {

using TNotifyEvent = std::function<void(QObject* sender)>;

class TFatScrollBar : public QWidget {
public:
    explicit TFatScrollBar(QWidget* parent = nullptr);
    ~TFatScrollBar() override;

    TScrollBarKind Kind() const { return KindValue; }
    void SetKind(TScrollBarKind value);
    int ArrowWidth() const { return ArrowWidthValue; }
    void SetArrowWidth(int value);
    int ArrowStretch() const { return ArrowStretchValue; }
    void SetArrowStretch(int value);
    /// Derived from PageSize by every layout pass; a value set here lasts until the next one.
    int ScrollerWidth() const { return Layout.ScrollerWidth; }
    void SetScrollerWidth(int value);
    int Min() const { return MinValue; }
    void SetMin(int value);
    int Max() const { return MaxValue; }
    /// Does not move Position, even when it is left beyond the new Max.
    void SetMax(int value);
    int Position() const { return PositionValue; }
    /// Ignored unless it differs and lies within Min … Max; then fires OnChange.
    void SetPosition(int value);
    int SmallChange() const { return SmallChangeValue; }
    void SetSmallChange(int value);
    int LargeChange() const { return LargeChangeValue; }
    void SetLargeChange(int value);
    int PageSize() const { return PageSizeValue; }
    void SetPageSize(int value);
    /// Repeat interval of a held arrow or track part, in milliseconds (1 … 9999).
    int ScrollInterval() const { return ScrollIntervalValue; }
    void SetScrollInterval(int value);
    /// A press on an arrow or a track part steps at once; held this long (milliseconds), it
    /// repeats every ScrollInterval.
    static constexpr int RepeatDelay = 300;

    TStyleProperty& StyleArrow() { return StyleArrowValue; }
    TStyleProperty& StyleArrowButton() { return StyleArrowButtonValue; }
    TStyleProperty& StyleScroller() { return StyleScrollerValue; }
    TStyleProperty& StyleTrack() { return StyleTrackValue; }
    void SetStyleArrow(const TStyleProperty& value) { assignStyle(StyleArrowValue, value); }
    void SetStyleArrowButton(const TStyleProperty& value) {
        assignStyle(StyleArrowButtonValue, value);
    }
    void SetStyleScroller(const TStyleProperty& value) { assignStyle(StyleScrollerValue, value); }
    void SetStyleTrack(const TStyleProperty& value) { assignStyle(StyleTrackValue, value); }

    const std::array<QRect, 5>& ElementRects() const { return Layout.ElementRects; }
    const std::array<std::array<QPoint, 3>, 2>& ArrowPoints() const { return Layout.ArrowPoints; }
    TElementState ElementState(int element) const;
    /// True while a held arrow or track part repeats its step.
    bool Repeating() const { return ScrollTimer.isActive(); }
    bool Dragging() const { return DraggingValue; }

    /// Fired after every accepted change of Position.
    TNotifyEvent OnChange;
    TNotifyEvent OnMouseIn;
    TNotifyEvent OnMouseOut;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

    /// Draws element `element` into the off-screen buffer and schedules its rectangle.
    virtual void PaintElement(int element);

private:
    int length() const { return KindValue == sbHorizontal ? width() : height(); }
    void calcArrows();
    void calcScroller();
    void paintAll();
    void paintTrack();
    void setState(int element, TElementState state);
    void handleMove(QPoint pos, Qt::MouseButtons buttons);
    void startAction(int element);
    /// (Re)starts the repetition of RepeatElement; the first step is due after `delay`.
    void startRepeat(int delay);
    /// One step of `element`; false when it cannot move any further.
    bool step(int element);
    void endAction();
    void timerTick();
    void dragScroller(QPoint pos);
    void assignStyle(TStyleProperty& target, const TStyleProperty& value);

    TScrollBarKind KindValue = sbHorizontal;
    int ArrowWidthValue = 18;
    int ArrowStretchValue = 35;
    int MinValue = 0;
    int MaxValue = 100;
    int PositionValue = 0;
    int SmallChangeValue = 1;
    int LargeChangeValue = 5;
    int PageSizeValue = 10;
    TStyleProperty StyleArrowValue;
    TStyleProperty StyleArrowButtonValue;
    TStyleProperty StyleScrollerValue;
    TStyleProperty StyleTrackValue;

    TFatScrollBarLayout Layout;
    std::array<TElementState, 5> ElementStates{};
    int DownElement = feNone;
    int RepeatElement = feNone;
    bool DraggingValue = false;
    QPoint DragOffset;
    QPoint LastPos;
    Qt::MouseButtons LastButtons;
    QImage Buffer;
    QTimer ScrollTimer;
    int ScrollIntervalValue = 50;
    // The repetition keeps its rate when the event loop is late: steps are counted from
    // the clock, not from the ticks.
    QElapsedTimer RepeatClock;
    int RepeatDelayValue = 0;
    long long RepeatSteps = 0;
};

} // namespace tavrela
