#include "sample_scroll_bars.h"

#include "graph_display_core.h"
#include "key_codes.h"

#include <QKeyEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace tavrela {

void RouteWheel(TGraphDisplayCore& Display, QWheelEvent& Event) {
    // The bars lie right under the panel, as wide as it: their columns are the panel's.
    const QPoint delta = Event.angleDelta();
    if (delta.y() != 0) {
        Display.ScrollBarMouseWheel(delta.y(), static_cast<int>(Event.position().x()));
    } else if (delta.x() != 0) {
        Display.HorizontalWheel(delta.x());
    }
    Event.accept();
}

TSampleScrollBar::TSampleScrollBar(TGraphDisplayCore* Display, QWidget* parent)
    : QScrollBar(Qt::Horizontal, parent), Display(Display) {
    setFocusPolicy(Qt::StrongFocus);
    // One page of 600 units until a zoom widens the range; hidden until chosen.
    setFixedHeight(10);
    FMax = 600;
    FPageSize = 600;
    FLargeChange = 10;
    hide();
    // Clicks and drags on the bar itself arrive as slider actions, within the last page.
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int) {
        if (!FSyncing) {
            SetPosition(sliderPosition());
        }
    });
    syncSlider();
}

int TSampleScrollBar::LastPage() const {
    return std::max(FMin, FMax - FPageSize);
}

void TSampleScrollBar::syncSlider() {
    FSyncing = true;
    setRange(FMin, LastPage());
    setPageStep(std::max(FPageSize, 1));
    setSingleStep(FSmallChange);
    setValue(std::clamp(FPosition, FMin, LastPage()));
    FSyncing = false;
}

void TSampleScrollBar::SetMin(int Value) {
    if (Value > FMax) {
        return;
    }
    FMin = Value;
    syncSlider();
    if (FPosition < FMin) {
        SetPosition(FMin);
    }
}

void TSampleScrollBar::SetMax(int Value) {
    if (Value < FMin) {
        return;
    }
    FMax = Value;
    syncSlider();
    if (FPosition > FMax) {
        SetPosition(FMax);
    }
}

void TSampleScrollBar::SetPageSize(int Value) {
    FPageSize = std::max(0, Value);
    syncSlider();
}

void TSampleScrollBar::SetPosition(int Value) {
    Value = std::clamp(Value, FMin, FMax);
    if (Value == FPosition) {
        return;
    }
    FPosition = Value;
    syncSlider();
    if (OnChange) {
        OnChange(this);
    }
}

void TSampleScrollBar::SetSmallChange(int Value) {
    FSmallChange = std::max(1, Value);
    syncSlider();
}

void TSampleScrollBar::SetLargeChange(int Value) {
    FLargeChange = std::max(1, Value);
}

void TSampleScrollBar::DefaultKeyHandling(std::uint16_t CharCode) {
    // The operator's moves stop at the last whole page, so the view never runs past the
    // end of the range. Computed in 64 bits: a step must not wrap.
    auto step = [this](long long delta) {
        SetPosition(static_cast<int>(std::clamp<long long>(FPosition + delta, FMin, LastPage())));
    };
    switch (CharCode) {
    case 37: // left
    case 38: // up
        step(-FSmallChange);
        break;
    case 39: // right
    case 40: // down
        step(FSmallChange);
        break;
    case 33: // page up
        step(-FLargeChange);
        break;
    case 34: // page down
        step(FLargeChange);
        break;
    case 36: // home
        SetPosition(FMin);
        break;
    case 35: // end
        SetPosition(LastPage());
        break;
    default:
        break;
    }
}

void TSampleScrollBar::keyPressEvent(QKeyEvent* event) {
    const std::uint16_t code = Display->ScrollBarKeyDown(this, VirtualKeyFromQt(*event));
    DefaultKeyHandling(code);
    event->accept();
}

void TSampleScrollBar::wheelEvent(QWheelEvent* event) {
    RouteWheel(*Display, *event);
}

TSampleFlatScrollBar::TSampleFlatScrollBar(TGraphDisplayCore* Display, QWidget* parent)
    : TFatScrollBar(parent), Display(Display) {
    setFocusPolicy(Qt::ClickFocus);
    setFixedHeight(10);
    TFatScrollBar::SetMax(600);
    SetPageSize(600);
    UpdateSteps();
    hide();
    struct Colors {
        TStateStyleProperty& p;
        TColor cold, hot, down;
    };
    constexpr TColor lime = 0xFF00;
    constexpr TColor yellow = 0xFFFF;
    constexpr TColor black = 0;
    for (const Colors& c : {
             Colors{StyleArrow().Border(), lime, black, yellow},
             Colors{StyleArrow().Fill(), lime, black, black},
             Colors{StyleArrowButton().Border(), black, black, black},
             Colors{StyleArrowButton().Fill(), black, yellow, yellow},
             Colors{StyleScroller().Border(), black, black, black},
             Colors{StyleScroller().Fill(), lime, yellow, yellow},
             Colors{StyleTrack().Border(), black, black, black},
             Colors{StyleTrack().Fill(), black, black, black},
         }) {
        c.p.SetColorCold(c.cold);
        c.p.SetColorHot(c.hot);
        c.p.SetColorDown(c.down);
    }
}

void TSampleFlatScrollBar::SetMax(int Value) {
    TFatScrollBar::SetMax(Value);
    UpdateSteps();
}

void TSampleFlatScrollBar::UpdateSteps() {
    constexpr double kPage = 600.0;
    const int m = Max();
    const int s = PageSize();
    const double share = m > s ? static_cast<double>(m - s) / m : 1.0;
    const auto units = [share](double view) {
        return static_cast<int>(std::min(std::ceil(view / share), 1.0e9));
    };
    const int small = std::max(1, units(kPage / 10));
    const int large = std::max(small + 1, units(kPage));
    // SmallChange must stay below LargeChange at every step of the change.
    SetLargeChange(std::max(large, SmallChange()));
    SetSmallChange(small);
    SetLargeChange(large);
}

void TSampleFlatScrollBar::keyPressEvent(QKeyEvent* event) {
    // The flat bar has no keyboard interface of its own.
    Display->ScrollBarKeyDown(this, VirtualKeyFromQt(*event));
    event->accept();
}

void TSampleFlatScrollBar::wheelEvent(QWheelEvent* event) {
    RouteWheel(*Display, *event);
}

} // namespace tavrela
