#pragma once
// Layout of the flat scroll bar's five elements, as plain functions so that it can be checked
// without a window.
#include <QPoint>
#include <QRect>

#include <array>

namespace tavrela {

enum TScrollBarKind { sbHorizontal, sbVertical };

/// Element numbers: the two arrows, the track before and after the scroller, the scroller.
enum TFatScrollBarElement {
    feArrowFirst = 0,
    feArrowSecond = 1,
    feTrackBefore = 2,
    feTrackAfter = 3,
    feScroller = 4,
    feNone = 5
};

struct TFatScrollBarLayout {
    std::array<QRect, 5> ElementRects{};
    /// Glyph triangles of the two arrows, in control coordinates.
    std::array<std::array<QPoint, 3>, 2> ArrowPoints{};
    int ScrollerWidth = 0;
};

/// a / 100 × p, rounded to the nearest integer with halves to even.
int Pct(int a, int p);

/// ArrowWidth as stored for a control `length` pixels long (width or height along the bar).
int ClampArrowWidth(int value, int length);
/// ScrollerWidth as stored for a control `length` pixels long with arrows `arrowWidth` wide.
int ClampScrollerWidth(int value, int length, int arrowWidth);
/// ArrowStretch as stored: at least 1, at most 100 percent.
int ClampArrowStretch(int value);

/// Arrow rectangles and glyphs for a control of `width` × `height`.
void CalcArrows(TFatScrollBarLayout& layout, TScrollBarKind kind, int width, int height,
                int arrowWidth, int arrowStretch);

/// Scroller and track rectangles from the arrow layout and the range. A `max` of 0 or a track
/// no longer than the scroller puts the scroller at the start of the track.
void CalcScroller(TFatScrollBarLayout& layout, TScrollBarKind kind, int width, int height,
                  int pageSize, int max, int position);

/// Position that dragging the scroller to pointer coordinate `along` (x or y) asks for, or
/// false when the track leaves the scroller no room to move.
bool DragPosition(const TFatScrollBarLayout& layout, TScrollBarKind kind, int width, int height,
                  int arrowWidth, int max, int along, int dragOffset, int& position);

} // namespace tavrela
