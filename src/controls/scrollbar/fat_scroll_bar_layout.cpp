#include "fat_scroll_bar_layout.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <limits>

namespace tavrela {

namespace {

// Extended precision, rounded to nearest with halves to even (the default rounding mode).
int roundEven(long double v) {
    if (!(v > static_cast<long double>(std::numeric_limits<int>::min()) &&
          v < static_cast<long double>(std::numeric_limits<int>::max()))) {
        return v > 0 ? std::numeric_limits<int>::max() : std::numeric_limits<int>::min();
    }
    return static_cast<int>(std::nearbyintl(v));
}

int truncClamped(long double v) {
    if (!(v > static_cast<long double>(std::numeric_limits<int>::min()) &&
          v < static_cast<long double>(std::numeric_limits<int>::max()))) {
        return v > 0 ? std::numeric_limits<int>::max() : std::numeric_limits<int>::min();
    }
    return static_cast<int>(v);
}

} // namespace

int Pct(int a, int p) {
    return roundEven(static_cast<long double>(a) / 100.0L * p);
}

int ClampArrowWidth(int value, int length) {
    if (value <= 1) {
        return 2;
    }
    return std::min(value, length / 2);
}

int ClampScrollerWidth(int value, int length, int arrowWidth) {
    if (value <= 1) {
        return 2;
    }
    return std::min(value, length - 2 * arrowWidth - 1);
}

int ClampArrowStretch(int value) {
    if (value <= 0) {
        return 1;
    }
    return std::min(value, 100);
}

void CalcArrows(TFatScrollBarLayout& layout, TScrollBarKind kind, int width, int height,
                int arrowWidth, int arrowStretch) {
    const int a = arrowWidth;
    const int s = arrowStretch;
    auto& r = layout.ElementRects;
    auto& g = layout.ArrowPoints;
    if (kind == sbHorizontal) {
        const int h = height;
        r[feArrowFirst] = QRect(0, 0, a, h);
        g[0] = {QPoint(Pct(a, s), Pct(h, 50)), QPoint(Pct(a, 100 - s), Pct(h, s)),
                QPoint(Pct(a, 100 - s), Pct(h, 100 - s))};
        r[feArrowSecond] = QRect(width - a, 0, a, h);
        const int left = width - a;
        g[1] = {QPoint(left + Pct(a, 100 - s), Pct(h, 50)), QPoint(left + Pct(a, s), Pct(h, s)),
                QPoint(left + Pct(a, s), Pct(h, 100 - s))};
    } else {
        const int w = width;
        r[feArrowFirst] = QRect(0, 0, w, a);
        g[0] = {QPoint(Pct(w, 50), Pct(a, s)), QPoint(Pct(w, s), Pct(a, 100 - s)),
                QPoint(Pct(w, 100 - s), Pct(a, 100 - s))};
        r[feArrowSecond] = QRect(0, height - a, w, a);
        const int top = height - a;
        g[1] = {QPoint(Pct(w, 50), top + Pct(a, 100 - s)), QPoint(Pct(w, s), top + Pct(a, s)),
                QPoint(Pct(w, 100 - s), top + Pct(a, s))};
    }
}

void CalcScroller(TFatScrollBarLayout& layout, TScrollBarKind kind, int width, int height,
                  int pageSize, int max, int position) {
    auto& r = layout.ElementRects;
    const bool horizontal = kind == sbHorizontal;
    // End of the first arrow and start of the second, along the bar.
    const int trackStart = horizontal ? r[feArrowFirst].x() + r[feArrowFirst].width()
                                      : r[feArrowFirst].y() + r[feArrowFirst].height();
    const int trackEnd = horizontal ? r[feArrowSecond].x() : r[feArrowSecond].y();
    const int track = (horizontal ? width : height) - 2 * trackStart;

    // With no range the one position fills the whole track.
    int scroller = max > 0 ? truncClamped(static_cast<long double>(pageSize) / max * track) : track;
    scroller = std::max(scroller, 5);
    // A page larger than the range would push the scroller over the second arrow.
    if (track >= 5) {
        scroller = std::min(scroller, track);
    }
    layout.ScrollerWidth = scroller;

    const int run = trackEnd - trackStart - scroller;
    int offset = 0;
    if (run > 0 && max > 0) {
        offset = roundEven(static_cast<long double>(run) *
                           (static_cast<long double>(position) / max * 100.0L) / 100.0L);
        // A position left beyond a lowered Max keeps the scroller on the track.
        offset = std::clamp(offset, 0, run);
    }
    const int scrollerStart = trackStart + offset;
    const int scrollerEnd = scrollerStart + scroller;
    if (horizontal) {
        r[feScroller] = QRect(scrollerStart, 0, scroller, height);
        r[feTrackBefore] = QRect(trackStart, 0, std::max(0, scrollerStart - trackStart), height);
        r[feTrackAfter] = QRect(scrollerEnd, 0, std::max(0, trackEnd - scrollerEnd), height);
    } else {
        r[feScroller] = QRect(0, scrollerStart, width, scroller);
        r[feTrackBefore] = QRect(0, trackStart, width, std::max(0, scrollerStart - trackStart));
        r[feTrackAfter] = QRect(0, scrollerEnd, width, std::max(0, trackEnd - scrollerEnd));
    }
}

bool DragPosition(const TFatScrollBarLayout& layout, TScrollBarKind kind, int width, int height,
                  int arrowWidth, int max, int along, int dragOffset, int& position) {
    const int length = kind == sbHorizontal ? width : height;
    const int run = length - 2 * arrowWidth - layout.ScrollerWidth;
    if (run <= 0) {
        return false;
    }
    const long double p = static_cast<long double>(along - arrowWidth - dragOffset) / run * 100.0L;
    position = roundEven(static_cast<long double>(max) * p / 100.0L);
    return true;
}

} // namespace tavrela
