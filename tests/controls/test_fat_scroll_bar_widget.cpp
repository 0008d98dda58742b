// The flat scroll bar driven by pointer events: states, repeat, paging, dragging, repainting.
#include "controls/scrollbar/fat_scroll_bar.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <vector>

namespace tavrela {
namespace {

// Records which elements get repainted.
class RecordingBar : public TFatScrollBar {
public:
    std::vector<int> painted;

protected:
    void PaintElement(int element) override {
        painted.push_back(element);
        TFatScrollBar::PaintElement(element);
    }
};

void send(QWidget& w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
          Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(pos), w.mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}
void press(QWidget& w, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
    send(w, QEvent::MouseButtonPress, p, b, b);
}
void moveHeld(QWidget& w, QPoint p) {
    send(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
}
void hover(QWidget& w, QPoint p) {
    send(w, QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton);
}
void release(QWidget& w, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
    send(w, QEvent::MouseButtonRelease, p, b, Qt::NoButton);
}

TEST(FatScrollBarWidget, HoldingAnArrowRepeatsUntilMax) {
    TFatScrollBar bar;
    bar.SetScrollInterval(1);
    bar.SetMax(19);
    bar.SetSmallChange(2);
    std::vector<int> seen;
    bar.OnChange = [&](QObject*) { seen.push_back(bar.Position()); };

    press(bar, QPoint(140, 9)); // second arrow
    EXPECT_EQ(bar.ElementState(feArrowSecond), TElementState::Down);
    EXPECT_EQ(seen, std::vector<int>{2}); // the press steps at once, holding repeats
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar.Position() == 19; }, 5000));
    EXPECT_EQ(seen, (std::vector<int>{2, 4, 6, 8, 10, 12, 14, 16, 18, 19}));
    release(bar, QPoint(140, 9));
    EXPECT_FALSE(bar.Repeating());
    EXPECT_EQ(bar.ElementState(feArrowSecond), TElementState::Hot);
}

TEST(FatScrollBarWidget, LeavingTheArrowStopsAndReturningRestarts) {
    TFatScrollBar bar;
    bar.SetScrollInterval(1);
    bar.SetMax(1000);
    bar.SetPageSize(1);
    press(bar, QPoint(140, 9));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar.Position() >= 3; }, 5000));

    moveHeld(bar, QPoint(75, 9)); // onto the track
    EXPECT_EQ(bar.ElementState(feArrowSecond), TElementState::Cold);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bar.Repeating(); }, 5000));
    const int stopped = bar.Position();
    QTest::qWait(20);
    EXPECT_EQ(bar.Position(), stopped);

    moveHeld(bar, QPoint(140, 9));
    EXPECT_EQ(bar.ElementState(feArrowSecond), TElementState::Down);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar.Position() > stopped + 2; }, 5000));
    release(bar, QPoint(140, 9));
}

TEST(FatScrollBarWidget, AClickStepsOnceAndOnlyHoldingRepeats) {
    struct Case {
        const char* name;
        QPoint at;
        int start;
        int after;
    };
    const std::vector<Case> cases = {
        {"track after the scroller: a page on", QPoint(120, 9), 0, 10},
        {"track before the scroller: a page back", QPoint(25, 9), 60, 50},
        {"second arrow: a small step on", QPoint(140, 9), 0, 2},
        {"first arrow: a small step back", QPoint(5, 9), 60, 58},
    };
    for (const Case& c : cases) {
        TFatScrollBar bar;
        bar.SetLargeChange(10);
        bar.SetSmallChange(2);
        bar.SetPosition(c.start);
        int changes = 0;
        bar.OnChange = [&](QObject*) { ++changes; };
        press(bar, c.at);
        release(bar, c.at);
        EXPECT_EQ(bar.Position(), c.after) << c.name;
        EXPECT_FALSE(bar.Repeating()) << c.name;
        QTest::qWait(TFatScrollBar::RepeatDelay + 100);
        EXPECT_EQ(bar.Position(), c.after) << c.name; // nothing more without the button
        EXPECT_EQ(changes, 1) << c.name;
    }

    // Held: the repetition waits for the delay (a timer never fires early), then runs.
    TFatScrollBar bar;
    bar.SetMax(1000);
    bar.SetPageSize(1);
    press(bar, QPoint(140, 9));
    EXPECT_EQ(bar.Position(), 1);
    QTest::qWait(TFatScrollBar::RepeatDelay / 3);
    EXPECT_EQ(bar.Position(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar.Position() >= 4; }, 5000));
    release(bar, QPoint(140, 9));
}

TEST(FatScrollBarWidget, RepeatKeepsItsRateWhenMovedOrLate) {
    // Moves over the held arrow do not hold the repetition back.
    TFatScrollBar bar;
    bar.SetMax(1000);
    bar.SetPageSize(1);
    bar.SetScrollInterval(20);
    press(bar, QPoint(140, 9));
    bool wiggle = false;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            moveHeld(bar, QPoint(wiggle ? 139 : 141, 9));
            wiggle = !wiggle;
            return bar.Position() >= 5;
        },
        5000));
    release(bar, QPoint(140, 9));

    // A busy event loop: the late tick makes up for every interval it missed.
    TFatScrollBar late;
    late.SetMax(1000);
    late.SetPageSize(1);
    late.SetScrollInterval(10);
    press(late, QPoint(140, 9));
    QThread::msleep(TFatScrollBar::RepeatDelay + 300); // 30 intervals past the delay
    ASSERT_TRUE(QTest::qWaitFor([&] { return late.Position() > 1; }, 5000));
    EXPECT_GE(late.Position(), 1 + 30);
    release(late, QPoint(140, 9));
}

TEST(FatScrollBarWidget, PagingStopsWhenTheScrollerReachesThePointer) {
    TFatScrollBar bar;
    bar.SetScrollInterval(1);
    bar.SetLargeChange(10);
    press(bar, QPoint(100, 9)); // track after the scroller
    EXPECT_EQ(bar.ElementState(feTrackAfter), TElementState::Down);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bar.Repeating(); }, 5000));
    EXPECT_TRUE(bar.ElementRects()[feScroller].contains(QPoint(100, 9)) ||
                bar.ElementRects()[feTrackBefore].contains(QPoint(100, 9)));
    EXPECT_GT(bar.Position(), 0);
    release(bar, QPoint(100, 9));
}

TEST(FatScrollBarWidget, DraggingTheScroller) {
    TFatScrollBar bar;
    std::vector<int> seen;
    bar.OnChange = [&](QObject*) { seen.push_back(bar.Position()); };
    press(bar, QPoint(21, 9)); // 3 px into the scroller at 18
    EXPECT_TRUE(bar.Dragging());
    moveHeld(bar, QPoint(71, 9));  // 50 / 103 of the free run
    moveHeld(bar, QPoint(300, 9)); // beyond the end: refused, the position stays
    moveHeld(bar, QPoint(124, 9)); // 103 / 103
    EXPECT_EQ(seen, (std::vector<int>{49, 100}));
    EXPECT_EQ(bar.ElementRects()[feScroller].x(), 121);

    release(bar, QPoint(124, 40)); // let go below the bar
    EXPECT_FALSE(bar.Dragging());
    hover(bar, QPoint(30, 9)); // moves without the button drag no longer
    EXPECT_EQ(bar.Position(), 100);
}

TEST(FatScrollBarWidget, HoverRepaintsOnlyChangedElements) {
    RecordingBar bar;
    bar.painted.clear();
    hover(bar, QPoint(9, 9));
    EXPECT_EQ(bar.painted, std::vector<int>{feArrowFirst});
    EXPECT_EQ(bar.ElementState(feArrowFirst), TElementState::Hot);
    bar.painted.clear();
    hover(bar, QPoint(10, 9)); // same element: nothing to draw
    EXPECT_TRUE(bar.painted.empty());
    hover(bar, QPoint(140, 9));
    EXPECT_EQ(bar.painted, (std::vector<int>{feArrowFirst, feArrowSecond}));

    bar.painted.clear();
    bar.SetPosition(50); // track parts and scroller, in uncovering order
    EXPECT_EQ(bar.painted, (std::vector<int>{feTrackBefore, feScroller, feTrackAfter}));
}

TEST(FatScrollBarWidget, EnterAndLeave) {
    TFatScrollBar bar;
    std::vector<std::string> log;
    bar.OnMouseIn = [&](QObject* s) {
        EXPECT_EQ(s, &bar);
        log.push_back("in");
    };
    bar.OnMouseOut = [&](QObject*) {
        log.push_back("out");
        EXPECT_EQ(bar.ElementState(feArrowFirst), TElementState::Cold); // already cold
    };
    QEnterEvent enter(QPointF(9, 9), QPointF(9, 9), QPointF(9, 9));
    QApplication::sendEvent(&bar, &enter);
    hover(bar, QPoint(9, 9));
    EXPECT_EQ(bar.ElementState(feArrowFirst), TElementState::Hot);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&bar, &leave);
    EXPECT_EQ(log, (std::vector<std::string>{"in", "out"}));
}

TEST(FatScrollBarWidget, DrawsElementsInTheirStateColours) {
    TFatScrollBar bar;
    bar.StyleTrack().Fill().SetColorCold(0x0000FF);   // red
    bar.StyleTrack().Border().SetColorCold(0x00FF00); // lime
    bar.StyleScroller().Fill().SetColorHot(0xFF0000); // blue
    bar.StyleArrowButton().Fill().SetColorCold(0xFFFFFF);
    bar.StyleArrow().Fill().SetColorCold(0x000000);
    bar.StyleArrow().Border().SetColorCold(0x000000);
    hover(bar, QPoint(20, 9)); // scroller hot

    const QImage img = bar.grab().toImage();
    EXPECT_EQ(img.pixelColor(80, 9), QColor(255, 0, 0));    // track inside
    EXPECT_EQ(img.pixelColor(80, 0), QColor(0, 255, 0));    // track frame
    EXPECT_EQ(img.pixelColor(23, 9), QColor(0, 0, 255));    // hot scroller
    EXPECT_EQ(img.pixelColor(2, 9), QColor(255, 255, 255)); // button, outside the glyph
    EXPECT_EQ(img.pixelColor(10, 9), QColor(0, 0, 0));      // glyph
}

} // namespace
} // namespace tavrela
