// Zoom, scroll and pointer mapping of the active pane, on the real scroll bars (not shown).
#include "test_shell_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavrela {
namespace {

using testing::TestDisplay;

TEST(Navigation, WheelSteps) {
    struct Case {
        const char* name;
        std::vector<int> deltas;
        double zoom;
        int max;
    };
    const std::vector<Case> cases = {
        {"down at 1.0 stays", {-120}, 1.0, 600},
        {"up", {120}, 1.25, 750},
        {"zero counts as up", {0}, 1.25, 750},
        {"up twice", {120, 120}, 1.5625, 937},
        {"up three times", {120, 120, 120}, 1.953125, 1171},
        {"down from 1.25 stops at 1.0", {120, -120}, 1.0, 600},
        {"up twice, down once", {120, 120, -120}, 1.171875, 703},
    };
    for (TGraphDisplayScrollBarType type : {gdsbtWindows, gdsbtFlat}) {
        for (const Case& c : cases) {
            TestDisplay d;
            d.SetScrollBarType(type);
            TGraphDisplayItem& item = d.AddPane(1000.0);
            for (int delta : c.deltas) {
                d.WheelZoomStep(delta);
            }
            EXPECT_DOUBLE_EQ(item.ZoomFactor, c.zoom) << c.name;
            EXPECT_EQ(d.GetScrollMax(), c.max) << c.name << " type " << type;
            EXPECT_EQ(d.Standard.Tag(), 0);
            EXPECT_EQ(d.Flat.Tag(), 0);
        }
    }
}

TEST(Navigation, ZoomStopsWhereASampleIsSeveralPixelsWide) {
    // 2000 samples in the test panel: the wheel and the selection zoom both stop where one
    // sample is 8 pixels wide.
    TestDisplay d;
    TGraphDisplayItem& item = d.AddPane(1000.0);
    item.GraphItems.Add().Samples.SetLength(2000);
    const double limit = 8.0 * 2000 / 600; // the test panel is 600 pixels wide
    ASSERT_GT(limit, 2.0);
    for (int i = 0; i < 60; ++i) {
        d.WheelZoomStep(120);
    }
    EXPECT_DOUBLE_EQ(item.ZoomFactor, limit);
    d.WheelZoomStep(-120);
    EXPECT_DOUBLE_EQ(item.ZoomFactor, limit * 0.75);
    item.SelectionStart = 100.0;
    item.SelectionEnd = 100.001;
    d.Zoom();
    EXPECT_DOUBLE_EQ(item.ZoomFactor, limit);
}

TEST(Navigation, ZoomKeepsTheLeftEdgesShare) {
    TestDisplay d;
    TGraphDisplayItem& item = d.AddPane(1000.0);
    d.ZoomTo(2.0);
    d.SetScrollPosition(600);
    EXPECT_DOUBLE_EQ(item.ViewPosition, 500.0);
    d.WheelZoomStep(120); // 2.5: Max 1500, position 750
    EXPECT_EQ(d.GetScrollMax(), 1500);
    EXPECT_EQ(d.GetScrollPosition(), 750);
    EXPECT_DOUBLE_EQ(item.ViewPosition, 500.0);
}

TEST(Navigation, ScrollPositionPerBar) {
    struct Case {
        const char* name;
        TGraphDisplayScrollBarType type;
        int start; // position before
        int request;
        int position; // the bar's Position after
        int reads;    // GetScrollPosition after
    };
    const std::vector<Case> cases = {
        {"standard within", gdsbtWindows, 0, 300, 300, 300},
        {"standard past the last page", gdsbtWindows, 0, 900, 600, 600},
        {"standard below zero", gdsbtWindows, 100, -50, 0, 0},
        {"flat within", gdsbtFlat, 0, 300, 527, 263},
        {"flat past the last page", gdsbtFlat, 0, 700, 1200, 600},
        {"flat below zero keeps its position", gdsbtFlat, 527, -50, 527, 263},
    };
    for (const Case& c : cases) {
        TestDisplay d;
        d.SetScrollBarType(c.type);
        TGraphDisplayItem& item = d.AddPane(1000.0);
        d.ZoomTo(2.0);
        ASSERT_EQ(d.GetScrollMax(), 1200) << c.name;
        if (c.type == gdsbtFlat) {
            d.Flat.SetPosition(c.start);
        } else {
            d.Standard.SetPosition(c.start);
        }
        d.SetScrollPosition(c.request);
        const int position = c.type == gdsbtFlat ? d.Flat.Position() : d.Standard.Position();
        EXPECT_EQ(position, c.position) << c.name;
        EXPECT_EQ(d.GetScrollPosition(), c.reads) << c.name;
        // the view follows through the bar's change event, in units of the standard bar,
        // whose range stays one page while the flat bar is in use
        EXPECT_DOUBLE_EQ(item.ViewPosition, c.reads / double(d.Standard.Max()) * 1000.0) << c.name;
    }
}

TEST(Navigation, ScrollBarChangeIdlesWhileLocked) {
    TestDisplay d;
    TGraphDisplayItem& item = d.AddPane(1000.0);
    d.Standard.SetTag(1);
    d.Standard.SetPosition(300);
    EXPECT_DOUBLE_EQ(item.ViewPosition, 0.0);
    d.Standard.SetTag(0);
    d.ScrollBarChange();
    EXPECT_DOUBLE_EQ(item.ViewPosition, 500.0);

    d.StoreActiveIndex(-1);
    d.Standard.SetPosition(0); // no active pane: nothing to move
    EXPECT_DOUBLE_EQ(item.ViewPosition, 500.0);
}

TEST(Navigation, ZoomToSelection) {
    struct Case {
        const char* name;
        double start, end;
        bool animate;
        double zoom;
        int max, position, frames;
    };
    const std::vector<Case> cases = {
        {"whole range: nothing", 0.0, 1000.0, false, 1.0, 600, 0, 0},
        {"second quarter", 250.0, 500.0, false, 4.0, 2400, 600, 1},
        {"second quarter, animated", 250.0, 500.0, true, 4.0, 2400, 600, 20},
        {"empty selection: nothing", 300.0, 300.0, false, 1.0, 600, 0, 0},
        {"reversed selection: nothing", 500.0, 300.0, true, 1.0, 600, 0, 0},
        {"beyond the range: whole view", 0.0, 1500.0, false, 1.0, 600, 0, 1},
    };
    for (const Case& c : cases) {
        TestDisplay d;
        d.Animate = c.animate;
        TGraphDisplayItem& item = d.AddPane(1000.0);
        item.SelectionStart = c.start;
        item.SelectionEnd = c.end;
        EXPECT_NO_THROW(d.Zoom()) << c.name;
        EXPECT_DOUBLE_EQ(item.ZoomFactor, c.zoom) << c.name;
        EXPECT_EQ(d.GetScrollMax(), c.max) << c.name;
        EXPECT_EQ(d.Standard.Position(), c.position) << c.name;
        EXPECT_EQ(d.Log.Frames, c.frames) << c.name;
        EXPECT_GE(item.ZoomFactor, 1.0);
    }
}

TEST(Navigation, ShowAll) {
    TestDisplay d;
    d.Animate = false;
    TGraphDisplayItem& item = d.AddPane(1000.0);
    d.ShowAll(); // already whole: nothing drawn
    EXPECT_EQ(d.Log.Frames, 0);

    for (bool animate : {false, true}) {
        d.Animate = animate;
        item.SelectionStart = 250.0;
        item.SelectionEnd = 500.0;
        d.Animate = false;
        d.Zoom();
        d.Animate = animate;
        d.Log.Frames = 0;
        d.ShowAll();
        EXPECT_DOUBLE_EQ(item.ZoomFactor, 1.0);
        EXPECT_EQ(d.GetScrollMax(), 600);
        EXPECT_EQ(d.GetScrollPosition(), 0);
        EXPECT_DOUBLE_EQ(item.ViewPosition, 0.0);
        EXPECT_EQ(d.Log.Frames, animate ? 9 : 0);
    }
}

TEST(Navigation, SelectAll) {
    TestDisplay d;
    TGraphDisplayItem& item = d.AddPane(1000.0);
    item.SelectionStart = 10.0;
    item.SelectionEnd = 20.0;
    int selections = 0;
    d.OnSelection = [&](QObject*, TGraphDisplayItem*, TGraphDisplayGraphItem*) { ++selections; };
    d.SelectAll();
    EXPECT_DOUBLE_EQ(item.SelectionStart, 0.0);
    EXPECT_DOUBLE_EQ(item.SelectionEnd, 1000.0);
    EXPECT_EQ(selections, 0);
}

TEST(Navigation, NoActivePaneRaises) {
    TestDisplay d;
    EXPECT_NO_THROW(d.UpdateScrollRange());
    EXPECT_THROW(d.Zoom(), EListError);
    EXPECT_THROW(d.ShowAll(), EListError);
    EXPECT_THROW(d.SelectAll(), EListError);
    EXPECT_THROW(d.MousePosition2XValue(0), EListError);
    EXPECT_THROW(d.MousePosition2Index(0), EListError);
}

TEST(Navigation, PixelToValue) {
    TestDisplay d(600, 200);
    d.AddPane(1000.0);
    EXPECT_DOUBLE_EQ(d.MousePosition2XValue(0), 0.0);
    EXPECT_DOUBLE_EQ(d.MousePosition2XValue(300), 500.0);
    EXPECT_DOUBLE_EQ(d.MousePosition2XValue(600), 1000.0);

    d.ZoomTo(2.0);
    d.SetScrollPosition(600); // right half
    EXPECT_DOUBLE_EQ(d.MousePosition2XValue(0), 500.0);
    EXPECT_DOUBLE_EQ(d.MousePosition2XValue(300), 750.0);

    // a pointer captured left of the panel comes as a huge unsigned column
    EXPECT_GT(d.MousePosition2XValue(static_cast<std::uint32_t>(-5)), 1.0e6);

    TestDisplay empty;
    empty.AddPane(0.0);
    EXPECT_DOUBLE_EQ(empty.MousePosition2XValue(123), 0.0);
}

TEST(Navigation, PixelToLane) {
    TestDisplay d(600, 200);
    d.AddPane(1000.0, 2);
    const std::vector<std::pair<std::uint32_t, int>> rows = {
        {0, 0}, {99, 0}, {100, 1}, {199, 1}, {200, 2}};
    for (auto [y, lane] : rows) {
        EXPECT_EQ(d.MousePosition2Index(y), lane) << y;
    }
}

TEST(Navigation, PlaybackFollowing) {
    struct Case {
        const char* name;
        TGraphDisplayScrollBarType type;
        TGraphDisplayPlayStatus status;
        double playing; // x position reported
        int start;      // bar position before
        int after;      // bar position after
    };
    const std::vector<Case> cases = {
        {"middle, standard", gdsbtWindows, gdpsPlaying, 500.0, 0, 300},
        {"start, standard goes to 0", gdsbtWindows, gdpsPlaying, 100.0, 200, 0},
        {"start, flat keeps its position", gdsbtFlat, gdpsPlaying, 100.0, 200, 200},
        {"paused: no following", gdsbtWindows, gdpsPaused, 500.0, 0, 0},
    };
    for (const Case& c : cases) {
        TestDisplay d;
        d.SetScrollBarType(c.type);
        TGraphDisplayItem& item = d.AddPane(1000.0);
        d.ZoomTo(2.0);
        IScrollBarControl& bar = c.type == gdsbtFlat ? static_cast<IScrollBarControl&>(d.Flat)
                                                     : static_cast<IScrollBarControl&>(d.Standard);
        bar.SetPosition(c.start);
        d.SampleScroll = true;
        d.OnNeedPlayStatus = [&](QObject* s, TGraphDisplayItem* i) {
            EXPECT_EQ(s, &d.Self);
            EXPECT_EQ(i, &item);
            return c.status;
        };
        d.OnNeedPlaybackPosition = [&](QObject*, TGraphDisplayItem*) { return c.playing; };
        d.FollowPlayback();
        EXPECT_EQ(bar.Position(), c.after) << c.name;
    }

    // without SampleScroll or without either event nothing is asked
    TestDisplay d;
    d.AddPane(1000.0);
    bool asked = false;
    d.OnNeedPlayStatus = [&](QObject*, TGraphDisplayItem*) {
        asked = true;
        return gdpsPlaying;
    };
    d.FollowPlayback();
    d.SampleScroll = true;
    d.FollowPlayback(); // no position event
    EXPECT_FALSE(asked);
}

} // namespace
} // namespace tavrela
