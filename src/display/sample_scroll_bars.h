#pragma once
// The display's two horizontal scroll bars: the platform's standard bar and the flat bar.
// Both report wheel turns and keys to the display before their own handling.
#include "controls/scrollbar/fat_scroll_bar.h"
#include "scroll_bar_control.h"

#include <QScrollBar>

#include <cstdint>
#include <functional>

namespace tavrela {

class TGraphDisplayCore;

/// A wheel event over either bar: vertical motion is a zoom notch about the pointer's
/// column, sideways motion alone scrolls the view.
void RouteWheel(TGraphDisplayCore& Display, QWheelEvent& Event);

/// The standard bar, 10 pixels high, Max and PageSize 600, LargeChange 10, hidden.
/// Its range follows the platform's classic model: Position runs from Min
/// to Max, a page covers PageSize units, and out-of-range positions are clamped.
class TSampleScrollBar : public QScrollBar, public IScrollBarControl {
public:
    explicit TSampleScrollBar(TGraphDisplayCore* Display, QWidget* parent = nullptr);

    int Min() const override { return FMin; }
    void SetMin(int Value);
    int Max() const override { return FMax; }
    /// A Max below Min is refused; Position follows a lowered Max.
    void SetMax(int Value) override;
    int PageSize() const override { return FPageSize; }
    void SetPageSize(int Value);
    int Position() const override { return FPosition; }
    /// Clamped to Min … Max; a change fires OnChange.
    void SetPosition(int Value) override;
    int SmallChange() const { return FSmallChange; }
    void SetSmallChange(int Value);
    int LargeChange() const { return FLargeChange; }
    void SetLargeChange(int Value);
    int Tag() const override { return FTag; }
    void SetTag(int Value) override { FTag = Value; }

    /// Fired after every change of Position.
    std::function<void(QObject* Sender)> OnChange;

    /// The bar's own keyboard interface, on a virtual key code: arrows by SmallChange, page
    /// keys by LargeChange, Home and End to the first and the last page.
    void DefaultKeyHandling(std::uint16_t CharCode);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    /// The position that shows the last whole page.
    int LastPage() const;
    void syncSlider();

    TGraphDisplayCore* Display;
    int FMin = 0;
    int FMax = 100;
    int FPageSize = 0;
    int FPosition = 0;
    int FSmallChange = 1;
    int FLargeChange = 1;
    int FTag = 0;
    bool FSyncing = false;
};

/// The flat bar in the display's colours, with the standard bar's settings.
class TSampleFlatScrollBar : public TFatScrollBar, public IScrollBarControl {
public:
    explicit TSampleFlatScrollBar(TGraphDisplayCore* Display, QWidget* parent = nullptr);

    int Min() const override { return TFatScrollBar::Min(); }
    int Max() const override { return TFatScrollBar::Max(); }
    /// Also rescales the arrow and track steps to the new range.
    void SetMax(int Value) override;
    int PageSize() const override { return TFatScrollBar::PageSize(); }
    int Position() const override { return TFatScrollBar::Position(); }
    void SetPosition(int Value) override { TFatScrollBar::SetPosition(Value); }
    int Tag() const override { return FTag; }
    void SetTag(int Value) override { FTag = Value; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    /// Steps that move the view a tenth of a page (arrows) and a page (track): the
    /// position runs to Max while the view runs to Max - PageSize, so a step in view units
    /// is a larger step of the position.
    void UpdateSteps();

    TGraphDisplayCore* Display;
    int FTag = 0;
};

} // namespace tavrela
