// Layout maths and setter rules of the flat scroll bar, without showing it.
#include "controls/scrollbar/fat_scroll_bar.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavrela {
namespace {

TEST(FatScrollBarLayout, PctRoundsHalvesToEven) {
    struct Case {
        int a, p, want;
    };
    for (const Case& c : std::vector<Case>{{18, 35, 6},
                                           {18, 65, 12},
                                           {18, 50, 9},
                                           {10, 25, 2},
                                           {10, 35, 4},
                                           {30, 5, 2},
                                           {50, 5, 2},
                                           {70, 5, 4},
                                           {0, 50, 0},
                                           {18, 100, 18}}) {
        EXPECT_EQ(Pct(c.a, c.p), c.want) << c.a << " " << c.p;
    }
}

TEST(FatScrollBarLayout, Clamps) {
    EXPECT_EQ(ClampArrowWidth(1, 150), 2);
    EXPECT_EQ(ClampArrowWidth(-5, 150), 2);
    EXPECT_EQ(ClampArrowWidth(100, 150), 75);
    EXPECT_EQ(ClampArrowWidth(40, 81), 40);
    EXPECT_EQ(ClampScrollerWidth(0, 150, 18), 2);
    EXPECT_EQ(ClampScrollerWidth(500, 150, 18), 113);
    EXPECT_EQ(ClampArrowStretch(0), 1);
    EXPECT_EQ(ClampArrowStretch(150), 100);
    EXPECT_EQ(ClampArrowStretch(50), 50);
}

struct LayoutCase {
    const char* name;
    TScrollBarKind kind;
    int width, height, pageSize, max, position;
    int scrollerWidth;
    QRect before, scroller, after;
};

TEST(FatScrollBarLayout, ScrollerAndTrack) {
    const std::vector<LayoutCase> cases = {
        // 10 / 100 × 114 = 11.4, truncated
        {"defaults", sbHorizontal, 150, 18, 10, 100, 0, 11, QRect(18, 0, 0, 18),
         QRect(18, 0, 11, 18), QRect(29, 0, 103, 18)},
        {"minimum five pixels", sbHorizontal, 150, 18, 1, 1000, 0, 5, QRect(18, 0, 0, 18),
         QRect(18, 0, 5, 18), QRect(23, 0, 109, 18)},
        // free run 103 × 0.5 = 51.5 goes to the even 52
        {"half to even", sbHorizontal, 150, 18, 10, 100, 50, 11, QRect(18, 0, 52, 18),
         QRect(70, 0, 11, 18), QRect(81, 0, 51, 18)},
        {"at max", sbHorizontal, 150, 18, 10, 100, 100, 11, QRect(18, 0, 103, 18),
         QRect(121, 0, 11, 18), QRect(132, 0, 0, 18)},
        {"vertical", sbVertical, 18, 150, 10, 100, 25, 11, QRect(0, 18, 18, 26),
         QRect(0, 44, 18, 11), QRect(0, 55, 18, 77)},
        {"page equals range fills the track", sbHorizontal, 150, 18, 600, 600, 0, 114,
         QRect(18, 0, 0, 18), QRect(18, 0, 114, 18), QRect(132, 0, 0, 18)},
        {"no range", sbHorizontal, 150, 18, 10, 0, 0, 114, QRect(18, 0, 0, 18),
         QRect(18, 0, 114, 18), QRect(132, 0, 0, 18)},
        {"position beyond a lowered max", sbHorizontal, 150, 18, 10, 50, 100, 22,
         QRect(18, 0, 92, 18), QRect(110, 0, 22, 18), QRect(132, 0, 0, 18)},
    };
    for (const LayoutCase& c : cases) {
        TFatScrollBarLayout l;
        CalcArrows(l, c.kind, c.width, c.height, 18, 35);
        CalcScroller(l, c.kind, c.width, c.height, c.pageSize, c.max, c.position);
        EXPECT_EQ(l.ScrollerWidth, c.scrollerWidth) << c.name;
        EXPECT_EQ(l.ElementRects[feTrackBefore], c.before) << c.name;
        EXPECT_EQ(l.ElementRects[feScroller], c.scroller) << c.name;
        EXPECT_EQ(l.ElementRects[feTrackAfter], c.after) << c.name;
    }
}

TEST(FatScrollBarLayout, ArrowsAndGlyphs) {
    TFatScrollBarLayout h;
    CalcArrows(h, sbHorizontal, 150, 18, 18, 35);
    EXPECT_EQ(h.ElementRects[feArrowFirst], QRect(0, 0, 18, 18));
    EXPECT_EQ(h.ElementRects[feArrowSecond], QRect(132, 0, 18, 18));
    using P = std::array<QPoint, 3>;
    EXPECT_EQ(h.ArrowPoints[0], (P{QPoint(6, 9), QPoint(12, 6), QPoint(12, 12)}));
    EXPECT_EQ(h.ArrowPoints[1], (P{QPoint(144, 9), QPoint(138, 6), QPoint(138, 12)}));

    TFatScrollBarLayout v;
    CalcArrows(v, sbVertical, 18, 150, 18, 35);
    EXPECT_EQ(v.ElementRects[feArrowFirst], QRect(0, 0, 18, 18));
    EXPECT_EQ(v.ElementRects[feArrowSecond], QRect(0, 132, 18, 18));
    EXPECT_EQ(v.ArrowPoints[0], (P{QPoint(9, 6), QPoint(6, 12), QPoint(12, 12)}));
    EXPECT_EQ(v.ArrowPoints[1], (P{QPoint(9, 144), QPoint(6, 138), QPoint(12, 138)}));

    // 50 percent makes the glyph a point
    TFatScrollBarLayout p;
    CalcArrows(p, sbHorizontal, 150, 18, 18, 50);
    EXPECT_EQ(p.ArrowPoints[0], (P{QPoint(9, 9), QPoint(9, 9), QPoint(9, 9)}));
}

TEST(FatScrollBarLayout, DragPosition) {
    TFatScrollBarLayout l;
    CalcArrows(l, sbHorizontal, 150, 18, 18, 35);
    CalcScroller(l, sbHorizontal, 150, 18, 10, 100, 0);
    int pos = -1;
    // free run 150 − 36 − 11 = 103; pointer 3 px into the scroller
    ASSERT_TRUE(DragPosition(l, sbHorizontal, 150, 18, 18, 100, 18 + 3 + 50, 3, pos));
    EXPECT_EQ(pos, 49); // 50 / 103 × 100 = 48.54
    ASSERT_TRUE(DragPosition(l, sbHorizontal, 150, 18, 18, 100, 10, 3, pos));
    EXPECT_LT(pos, 0); // left of the track: the bar refuses it

    CalcScroller(l, sbHorizontal, 150, 18, 600, 600, 0);
    EXPECT_FALSE(DragPosition(l, sbHorizontal, 150, 18, 18, 600, 60, 3, pos));
}

TEST(FatScrollBarSetters, Defaults) {
    TFatScrollBar bar;
    EXPECT_EQ(bar.width(), 150);
    EXPECT_EQ(bar.height(), 18);
    EXPECT_EQ(bar.Kind(), sbHorizontal);
    EXPECT_EQ(bar.ArrowWidth(), 18);
    EXPECT_EQ(bar.ArrowStretch(), 35);
    EXPECT_EQ(bar.ScrollerWidth(), 11);
    EXPECT_EQ(bar.Min(), 0);
    EXPECT_EQ(bar.Max(), 100);
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_EQ(bar.SmallChange(), 1);
    EXPECT_EQ(bar.LargeChange(), 5);
    EXPECT_EQ(bar.PageSize(), 10);
    EXPECT_EQ(bar.ScrollInterval(), 50);
    EXPECT_EQ(bar.StyleArrow().Border().ColorCold(), clWindowText);
    EXPECT_EQ(bar.StyleArrowButton().Fill().ColorDown(), clWindowText);
    EXPECT_EQ(bar.StyleScroller().Fill().ColorCold(), clBtnFace);
    EXPECT_EQ(bar.StyleTrack().Fill().ColorCold(), clWindow);
    EXPECT_EQ(bar.StyleTrack().Border().ColorHot(), clBtnShadow);
    EXPECT_EQ(bar.StyleTrack().Fill().StyleHot(), bsSolid);
    EXPECT_TRUE(bar.StyleTrack().Fill().PatternCold().isNull());
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(bar.ElementState(i), TElementState::Cold);
    }
}

TEST(FatScrollBarSetters, AcceptAndRefuse) {
    TFatScrollBar bar;
    std::vector<int> changes;
    bar.OnChange = [&](QObject* sender) {
        EXPECT_EQ(sender, &bar);
        changes.push_back(bar.Position());
    };

    bar.SetArrowStretch(0);
    EXPECT_EQ(bar.ArrowStretch(), 1);
    bar.SetArrowStretch(150);
    EXPECT_EQ(bar.ArrowStretch(), 100);

    bar.SetPosition(120); // beyond Max
    bar.SetPosition(0);   // the current value
    bar.SetPosition(-1);
    EXPECT_TRUE(changes.empty());
    bar.SetPosition(40);
    EXPECT_EQ(changes, std::vector<int>{40});

    bar.SetMax(20); // below Position: Position stays
    EXPECT_EQ(bar.Max(), 20);
    EXPECT_EQ(bar.Position(), 40);
    bar.SetMax(-1);
    bar.SetMin(30); // above Max
    EXPECT_EQ(bar.Max(), 20);
    EXPECT_EQ(bar.Min(), 0);
    bar.SetMin(-1);
    EXPECT_EQ(bar.Min(), 0);

    bar.SetSmallChange(5); // equal to LargeChange
    EXPECT_EQ(bar.SmallChange(), 1);
    bar.SetLargeChange(1); // equal to SmallChange
    EXPECT_EQ(bar.LargeChange(), 1);
    bar.SetLargeChange(0);
    EXPECT_EQ(bar.LargeChange(), 1);

    bar.SetScrollInterval(0);
    bar.SetScrollInterval(10000);
    EXPECT_EQ(bar.ScrollInterval(), 50);
    bar.SetScrollInterval(9999);
    EXPECT_EQ(bar.ScrollInterval(), 9999);

    bar.SetArrowWidth(1);
    EXPECT_EQ(bar.ArrowWidth(), 2);
    bar.SetArrowWidth(200);
    EXPECT_EQ(bar.ArrowWidth(), 75);

    // the scroller width is derived from PageSize again at once
    bar.SetArrowWidth(18);
    bar.SetMax(100);
    bar.SetScrollerWidth(40);
    EXPECT_EQ(bar.ScrollerWidth(), 11);
}

TEST(FatScrollBarSetters, StyleNotifications) {
    TStateStyleProperty p;
    int fired = 0;
    p.OnChange = [&](TStateStyleProperty& sender) {
        EXPECT_EQ(&sender, &p);
        ++fired;
    };
    p.SetColorHot(0);
    p.SetStyleHot(bsSolid);
    EXPECT_EQ(fired, 0); // unchanged values are silent
    p.SetColorHot(0x00FF00);
    p.SetStyleDown(bsCross);
    EXPECT_EQ(fired, 2);
    QImage pattern(8, 8, QImage::Format_RGB32);
    pattern.fill(Qt::red);
    p.SetPatternCold(pattern);
    p.SetPatternCold(pattern); // patterns always notify
    EXPECT_EQ(fired, 4);
    pattern.fill(Qt::blue);
    EXPECT_EQ(p.PatternCold().pixelColor(0, 0), QColor(Qt::red)); // a copy was taken

    TStyleProperty style;
    int styleFired = 0;
    style.OnChange = [&](TStyleProperty& sender) {
        EXPECT_EQ(&sender, &style);
        ++styleFired;
    };
    style.Border().SetColorCold(0x123456);
    style.Fill().SetStyleCold(bsClear);
    EXPECT_EQ(styleFired, 2);
}

} // namespace
} // namespace tavrela
