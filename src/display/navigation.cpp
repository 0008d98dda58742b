// Zoom and scroll of the active pane, and the mapping of panel pixels to x values and lanes.
//
// One page of the scroll bar (600 units) is the visible width; the whole x range spans the
// bar's Max, which grows with ZoomFactor. The flat bar's Position runs to Max rather than to
// Max - PageSize, so its position is converted on the way in and out.
#include "graph_display_core.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tavrela {

namespace {

constexpr int kPage = 600;

// Truncation toward zero, saturated to the int range (a zoom has no upper limit).
int truncInt(long double v) {
    if (std::isnan(v)) {
        return 0;
    }
    if (v >= static_cast<long double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (v <= static_cast<long double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(v);
}

// What the flat bar's position P reads as a view position: it runs to Max rather than to
// Max - PageSize, so P is scaled down by the page's share.
int FlatViewPosition(long double P, int Max, int PageSize) {
    return truncInt(P - P / Max * PageSize);
}

// The mapping of panel columns to x values for one view: start + column / width * span.
struct TViewMapping {
    float Start = 0.0f;  // x at column 0
    float Extent = 0.0f; // x span of the whole scroll range
    long double Width = 1.0L;
    long double Zoom = 1.0L;

    TViewMapping(int P, int M, int W, double Z, double XMax)
        : Start(M != 0 ? static_cast<float>(static_cast<long double>(P) / M * XMax) : 0.0f),
          Extent(static_cast<float>(static_cast<long double>(M) / kPage * XMax)),
          Width(std::max(1, W)), Zoom(Z) {}

    long double ValueAt(long double X) const {
        return X / Width * static_cast<long double>(Extent) / (Zoom * Zoom) + Start;
    }
    /// The view start (x at column 0) that puts Value under column X.
    long double StartFor(long double Value, long double X) const {
        return Value - X / Width * static_cast<long double>(Extent) / (Zoom * Zoom);
    }
};

// The operator's small scroll step (arrow keys, a sideways wheel notch): a tenth of a page.
constexpr long long kSmallStep = kPage / 10;

} // namespace

IScrollBarControl& TGraphDisplayCore::ScrollBarInUse() {
    return FScrollBarType == gdsbtFlat ? FlatScrollBarControl() : StandardScrollBar();
}

TGraphDisplayItem& TGraphDisplayCore::ActiveItem() {
    return FItems->Items(FActiveIndex);
}

int TGraphDisplayCore::GetScrollMax() {
    return ScrollBarInUse().Max();
}

int TGraphDisplayCore::GetScrollPosition() {
    IScrollBarControl& bar = ScrollBarInUse();
    if (FScrollBarType != gdsbtFlat) {
        return bar.Position();
    }
    const int m = bar.Max();
    if (m == 0) {
        return bar.Position();
    }
    return FlatViewPosition(bar.Position(), m, bar.PageSize());
}

void TGraphDisplayCore::ScrollTo(long long Value) {
    if (FActiveIndex < 0 || FActiveIndex >= FItems->Count()) {
        return;
    }
    IScrollBarControl& bar = ScrollBarInUse();
    const int m = bar.Max();
    const int s = bar.PageSize();
    const long long last = std::max<long long>(0, static_cast<long long>(m) - s);
    const long long v = std::clamp<long long>(Value, 0, last);
    if (FScrollBarType != gdsbtFlat) {
        bar.SetPosition(static_cast<int>(v));
    } else if (m > s) {
        // The reading grows with the position: take the smallest position that reads v.
        const long double guess = std::ceil(static_cast<long double>(v) * m / (m - s));
        long long p = std::clamp<long long>(static_cast<long long>(guess) - 2, 0, m);
        while (p < m && FlatViewPosition(p, m, s) < v) {
            ++p;
        }
        bar.SetPosition(static_cast<int>(p));
    } else {
        bar.SetPosition(0); // one page covers the range: every position reads 0
    }
    // The bar may already have stood there while the view was elsewhere (a range change
    // under the bar's lock): the view follows the bar in any case.
    ScrollBarChange();
}

double TGraphDisplayCore::ScrollUnitsPerPixel() const {
    return static_cast<double>(kPage) / std::max(1, PanelWidth());
}

void TGraphDisplayCore::WheelScroll(int DeltaX) {
    if (FActiveIndex < 0 || FActiveIndex >= FItems->Count() || DeltaX == 0) {
        return;
    }
    const long long step = std::llround(static_cast<double>(DeltaX) * kSmallStep / 120.0);
    ScrollTo(static_cast<long long>(GetScrollPosition()) - step);
}

bool TGraphDisplayCore::NavigationKey(std::uint16_t CharCode) {
    const long long position = GetScrollPosition();
    // The keypad's plus and minus change the amplitude where that is allowed; otherwise they
    // zoom like the main keyboard's.
    const bool keypadZooms = !AllowAmplitudeChangeWithKey;
    switch (CharCode) {
    case VK_LEFT_KEY:
    case VK_UP_KEY:
        ScrollTo(position - kSmallStep);
        return true;
    case VK_RIGHT_KEY:
    case VK_DOWN_KEY:
        ScrollTo(position + kSmallStep);
        return true;
    case VK_PRIOR_KEY:
        ScrollTo(position - kPage);
        return true;
    case VK_NEXT_KEY:
        ScrollTo(position + kPage);
        return true;
    case VK_HOME_KEY:
        ScrollTo(0);
        return true;
    case VK_END_KEY:
        ScrollTo(std::numeric_limits<long long>::max());
        return true;
    case VK_OEM_PLUS_KEY:
        ZoomStepAt(120, -1);
        return true;
    case VK_OEM_MINUS_KEY:
        ZoomStepAt(-120, -1);
        return true;
    case VK_ADD_KEY:
        if (keypadZooms) {
            ZoomStepAt(120, -1);
        }
        return keypadZooms;
    case VK_SUBTRACT_KEY:
        if (keypadZooms) {
            ZoomStepAt(-120, -1);
        }
        return keypadZooms;
    default:
        return false;
    }
}

void TGraphDisplayCore::SetScrollPosition(int Value) {
    IScrollBarControl& bar = ScrollBarInUse();
    const int m = bar.Max();
    const int s = bar.PageSize();
    if (FScrollBarType != gdsbtFlat) {
        bar.SetPosition(Value >= m - s ? m - s : Value);
        return;
    }
    if (Value < m - s && m != 0) {
        // Approximate inverse of GetScrollPosition; exact only as the page shrinks
        // against the range.
        const long double v = Value;
        const long double ratio = static_cast<long double>(s) / m;
        bar.SetPosition(truncInt(v + ((v + v * ratio) * ratio) * 1.0115L));
    } else {
        bar.SetPosition(m);
    }
}

void TGraphDisplayCore::ScrollBarChange() {
    if (FActiveIndex < 0 || FActiveIndex >= FItems->Count() || ScrollBarInUse().Tag() != 0) {
        return;
    }
    ActiveItem().SetViewScrollPosition(GetScrollPosition());
}

void TGraphDisplayCore::UpdateScrollRange() {
    if (FActiveIndex == -1) {
        return;
    }
    const double zoom = ActiveItem().ZoomFactor;
    IScrollBarControl& bar = ScrollBarInUse();
    if (zoom <= 1.0) {
        bar.SetMax(kPage);
        bar.SetPosition(0);
        return;
    }
    bar.SetTag(1);
    if (static_cast<std::int64_t>(bar.Position()) + bar.PageSize() > bar.Max()) {
        bar.SetPosition(bar.Max() - bar.PageSize() + 1);
    }
    const int p = bar.Position();
    const int newMax = truncInt(static_cast<long double>(zoom) * kPage);
    if (p > 1) {
        // Keep the left edge's share of the range: the view zooms about its left edge.
        const float r = static_cast<float>(static_cast<double>(p) / bar.Max());
        bar.SetMax(newMax);
        bar.SetTag(0);
        bar.SetPosition(truncInt(static_cast<long double>(bar.Max()) * r));
    } else {
        bar.SetMax(newMax);
    }
    bar.SetTag(0);
}

void TGraphDisplayCore::WheelZoomStep(int WheelDelta) {
    TGraphDisplayItem& item = ActiveItem();
    const double z = item.ZoomFactor * (WheelDelta < 0 ? item.ZoomOutFactor : item.ZoomInFactor);
    // Zooming stops where a sample is several pixels wide: deeper shows nothing new.
    item.ZoomFactor = std::min(z >= 1.0 ? z : 1.0, item.MaxZoomFactor(PanelWidth()));
    UpdateScrollRange();
}

void TGraphDisplayCore::ZoomStepAt(int WheelDelta, int PanelX) {
    TGraphDisplayItem& item = ActiveItem();
    const int w = std::max(1, PanelWidth());
    if (PanelX < 0 || PanelX >= w) {
        PanelX = w / 2;
    }
    const double zoomBefore = item.ZoomFactor;
    const long double anchor =
        TViewMapping(GetScrollPosition(), GetScrollMax(), w, zoomBefore, item.XMax)
            .ValueAt(PanelX);
    WheelZoomStep(WheelDelta);
    // A notch that changed nothing (zooming out of the whole file) leaves the view alone.
    if (item.ZoomFactor == zoomBefore || item.XMax == 0.0) {
        return;
    }
    const int m = GetScrollMax();
    const TViewMapping after(0, m, w, item.ZoomFactor, item.XMax);
    const long double start = after.StartFor(anchor, PanelX);
    ScrollTo(std::llround(static_cast<double>(start / item.XMax * m)));
}

void TGraphDisplayCore::Zoom() {
    TGraphDisplayItem& item = ActiveItem();
    if (item.SelectionStart == 0.0 && item.SelectionEnd == item.XMax) {
        return;
    }
    if (item.XMax == 0.0) {
        return;
    }
    const float f = static_cast<float>(item.SelectionStart / item.XMax);
    const float w = static_cast<float>(item.SelectionEnd - item.SelectionStart);
    // An empty or reversed selection has nothing to fill the view with.
    if (!(w > 0.0f)) {
        return;
    }
    // A selection reaching beyond 0 … XMax would ask for less than the whole range.
    const double target = std::clamp(static_cast<double>(item.XMax / w), 1.0,
                                     item.MaxZoomFactor(PanelWidth()));
    if (Animate) {
        const double z0 = item.ZoomFactor;
        const int p0 = GetScrollPosition();
        for (int i = 1; i <= 20; ++i) {
            const double t = i / 20.0;
            item.ZoomFactor = z0 + (target - z0) * t;
            UpdateScrollRange();
            const int m = truncInt(static_cast<long double>(GetScrollMax()) * f);
            SetScrollPosition(p0 - truncInt(static_cast<long double>(p0 - m) * t));
            ScrollBarChange();
            Render();
        }
    } else {
        item.ZoomFactor = target;
        UpdateScrollRange();
        SetScrollPosition(truncInt(static_cast<long double>(GetScrollMax()) * f));
        ScrollBarChange();
        Render();
    }
}

void TGraphDisplayCore::ShowAll() {
    TGraphDisplayItem& item = ActiveItem();
    if (item.ZoomFactor == 1.0 && GetScrollPosition() == 0) {
        return;
    }
    if (Animate) {
        const double z0 = item.ZoomFactor;
        for (int i = 1; i <= 9; ++i) {
            const double s = 1.0 - i / 10.0;
            item.ZoomFactor = z0 * s + 1.0;
            UpdateScrollRange();
            SetScrollPosition(
                truncInt(StandardScrollBar().Position() * static_cast<long double>(s)));
            Render();
        }
    }
    item.ZoomFactor = 1.0;
    SetScrollPosition(0);
    UpdateScrollRange();
}

void TGraphDisplayCore::SelectAll() {
    TGraphDisplayItem& item = ActiveItem();
    item.SelectionStart = 0.0;
    item.SelectionEnd = item.XMax;
}

double TGraphDisplayCore::MousePosition2XValue(std::uint32_t X) {
    TGraphDisplayItem& item = ActiveItem();
    double value = 0.0;
    double tolerance = 0.0;
    if (item.XMax != 0.0) {
        const TViewMapping view(GetScrollPosition(), GetScrollMax(), PanelWidth(),
                                item.ZoomFactor, item.XMax);
        const long double v = view.ValueAt(static_cast<long double>(X));
        value = static_cast<double>(v);
        // Three pixels in x units, negative.
        tolerance = static_cast<double>(v - view.ValueAt(static_cast<long double>(X) + 3.0L));
    }
    const TPanelDragState& state = PanelState();
    if (!state.MarkerDragging && !state.SelectionDragging && ShowMarkers) {
        UpdateMarkerHover(item, value, tolerance);
    }
    return value;
}

int TGraphDisplayCore::MousePosition2Index(std::uint32_t Y) {
    TGraphDisplayItem& item = ActiveItem();
    const int h = PanelHeight();
    if (h <= 0) {
        return 0;
    }
    const double q = static_cast<double>(Y) / h * 100.0;
    const auto lanes = static_cast<std::int64_t>(static_cast<double>(item.ChannelCount) * q);
    return static_cast<int>(lanes / 100);
}

void TGraphDisplayCore::FollowPlayback() {
    if (!SampleScroll || !OnNeedPlayStatus || !OnNeedPlaybackPosition) {
        return;
    }
    TGraphDisplayItem& item = ActiveItem();
    if (OnNeedPlayStatus(SelfObject(), &item) != gdpsPlaying) {
        return;
    }
    const double pos = OnNeedPlaybackPosition(SelfObject(), &item);
    if (item.XMax == 0.0) {
        return;
    }
    // Half a page from the left edge.
    const long double at = std::trunc(static_cast<long double>(GetScrollMax()) * pos / item.XMax);
    SetScrollPosition(truncInt(at - 300.0L));
}

} // namespace tavrela
