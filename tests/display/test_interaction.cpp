// Pointer and key reactions: the display logic first (a 600-pixel panel over x 0 … 600, so a
// pixel is one x unit and the marker reach is 3 units), then the widget's event routing.
#include "test_shell_fixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "gui_wait.h"
#include <algorithm>
#include <string>
#include <vector>

namespace tavrela {
namespace {

using testing::TestDisplay;

struct MarkerEvent {
    int index;
    TGraphDisplayMarkerChangeType change;
    bool operator==(const MarkerEvent&) const = default;
};

// A display over x 0 … 600 with markers at the given positions, recording marker events.
struct Fixture {
    explicit Fixture(std::vector<double> markers = {}, int curves = 0) {
        item = &d.AddPane(600.0, curves);
        for (double x : markers) {
            item->Markers.Add().X = x;
        }
        d.OnMarkerChange = [this](QObject* s, TGraphDisplayItem* i, TGraphDisplayMarker* m,
                                  TGraphDisplayMarkerChangeType c) {
            EXPECT_EQ(s, &d.Self);
            EXPECT_EQ(i, item);
            events.push_back({m->Index, c});
        };
        d.OnSelection = [this](QObject* s, TGraphDisplayItem* i, TGraphDisplayGraphItem* g) {
            EXPECT_EQ(s, &d.Self);
            EXPECT_EQ(i, item);
            selections.push_back(g);
        };
    }
    TestDisplay d{600, 200};
    TGraphDisplayItem* item;
    std::vector<MarkerEvent> events;
    std::vector<TGraphDisplayGraphItem*> selections;
};

TEST(Interaction, PressesSetTheSelectionEdges) {
    struct Case {
        const char* name;
        TMouseButton button;
        double start0, end0; // selection before
        int x;
        double start, end;
    };
    const std::vector<Case> cases = {
        {"left sets the start", mbLeft, 0, 600, 100, 100, 600},
        {"left beyond the end stops at it", mbLeft, 0, 300, 400, 300, 300},
        {"right sets the end", mbRight, 0, 600, 200, 0, 200},
        {"right before the start stops at it", mbRight, 300, 600, 100, 300, 300},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.item->SelectionStart = c.start0;
        f.item->SelectionEnd = c.end0;
        f.d.PanelMouseDown(c.button, c.x, 50);
        EXPECT_DOUBLE_EQ(f.item->SelectionStart, c.start) << c.name;
        EXPECT_DOUBLE_EQ(f.item->SelectionEnd, c.end) << c.name;
        EXPECT_EQ(f.selections, std::vector<TGraphDisplayGraphItem*>{nullptr}) << c.name;
        EXPECT_EQ(f.d.Log.Bands, 1) << c.name;
    }

    Fixture off;
    off.d.AllowSelect = false;
    off.d.PanelMouseDown(mbLeft, 100, 50);
    off.d.PanelMouseDown(mbRight, 200, 50);
    EXPECT_DOUBLE_EQ(off.item->SelectionStart, 0.0);
    EXPECT_DOUBLE_EQ(off.item->SelectionEnd, 600.0);
    EXPECT_TRUE(off.selections.empty());
}

TEST(Interaction, SelectionDragsNotifyOnEveryMove) {
    Fixture f;
    f.d.PanelMouseDown(mbLeft, 100, 50);
    f.d.PanelMouseMove(90, 50);
    f.d.PanelMouseMove(80, 50);
    EXPECT_EQ(f.selections.size(), 3u);
    EXPECT_TRUE(f.d.State.SelectionDragging);
    EXPECT_DOUBLE_EQ(f.item->SelectionStart, 80.0);
    f.d.PanelMouseUp(mbLeft, 80, 50);
    EXPECT_FALSE(f.d.State.SelectionDragging);
    EXPECT_FALSE(f.d.State.LeftButtonDown);
    f.d.PanelMouseMove(70, 50); // button up: no more edits
    EXPECT_EQ(f.selections.size(), 3u);

    // dragged out past the left edge: the view's left edge, not a wrap to the far end
    f.d.PanelMouseDown(mbLeft, 80, 50);
    f.d.PanelMouseMove(-20, 50);
    EXPECT_DOUBLE_EQ(f.item->SelectionStart, 0.0);
    f.d.PanelMouseUp(mbLeft, -20, 50);
    f.selections.clear();
    f.item->SelectionStart = 80.0;

    // right drag moves the end, never before the start
    f.d.PanelMouseDown(mbRight, 300, 50);
    f.d.PanelMouseMove(50, 50);
    EXPECT_DOUBLE_EQ(f.item->SelectionEnd, 80.0);
    EXPECT_EQ(f.selections.size(), 2u);
}

TEST(Interaction, PerCurveSelection) {
    Fixture f({}, 2);
    f.item->SelectionMode = 1;
    f.d.PanelMouseDown(mbLeft, 100, 150); // lower lane: curve 1
    TGraphDisplayGraphItem& curve = f.item->GraphItems[1];
    EXPECT_DOUBLE_EQ(curve.SelectionStart, 100.0);
    EXPECT_DOUBLE_EQ(f.item->GraphItems[0].SelectionStart, 0.0);
    EXPECT_EQ(f.selections, std::vector<TGraphDisplayGraphItem*>{&curve});
    EXPECT_EQ(f.d.Log.CurveBands, 1);

    // the bottom row names no curve: the press is dropped
    f.d.PanelMouseDown(mbRight, 300, 200);
    EXPECT_DOUBLE_EQ(curve.SelectionEnd, 600.0);
    EXPECT_EQ(f.selections.size(), 1u);
}

TEST(Interaction, HoverPicksTheLowestMarkerInReach) {
    Fixture f({299.0, 301.0, 500.0});
    f.d.PanelMouseMove(300, 50);
    EXPECT_EQ(f.d.HoverMarkerIndex(), 0);
    EXPECT_EQ(f.events, (std::vector<MarkerEvent>{{0, gdmctHover}}));
    EXPECT_EQ(f.d.Cursors.back(), crHSplit);

    f.events.clear();
    f.d.PanelMouseMove(100, 50); // away: every marker reports leaving, on every move
    f.d.PanelMouseMove(101, 50);
    EXPECT_EQ(f.d.HoverMarkerIndex(), -1);
    EXPECT_EQ(f.events.size(), 6u);
    EXPECT_EQ(f.events[0], (MarkerEvent{0, gdmctLeave}));
    EXPECT_EQ(f.events[2], (MarkerEvent{2, gdmctLeave}));
    EXPECT_EQ(f.d.Cursors.back(), crDefault);

    f.events.clear();
    f.d.PanelMouseMove(502, 50); // within 3 px, after two misses
    EXPECT_EQ(f.events,
              (std::vector<MarkerEvent>{{0, gdmctLeave}, {1, gdmctLeave}, {2, gdmctHover}}));
    f.d.PanelMouseMove(503, 50); // exactly 3 px away: out of reach
    EXPECT_EQ(f.d.HoverMarkerIndex(), -1);

    f.d.ShowMarkers = false;
    f.events.clear();
    f.d.PanelMouseMove(500, 50);
    EXPECT_TRUE(f.events.empty());
}

TEST(Interaction, MarkerDragAndDelete) {
    Fixture f({200.0, 400.0});
    f.d.PanelMouseMove(200, 50);
    f.d.PanelMouseDown(mbLeft, 200, 50);
    EXPECT_DOUBLE_EQ(f.item->SelectionStart, 0.0); // a press on a marker selects nothing
    f.events.clear();
    EXPECT_TRUE(f.d.State.MarkerDragging); // held from the press on
    f.d.PanelMouseMove(202, 50);
    f.d.PanelMouseMove(260, 50); // hover frozen: the marker follows
    EXPECT_TRUE(f.d.State.MarkerDragging);
    EXPECT_DOUBLE_EQ(f.item->Markers[0].X, 260.0);
    EXPECT_EQ(f.events, (std::vector<MarkerEvent>{{0, gdmctMove}, {0, gdmctMove}}));

    // leaving the panel ends the drag; the marker keeps its place
    f.d.PanelMouseLeave();
    EXPECT_FALSE(f.d.State.MarkerDragging);
    EXPECT_FALSE(f.d.State.LeftButtonDown);
    EXPECT_EQ(f.d.HoverMarkerIndex(), -1);
    f.d.PanelMouseMove(300, 50);
    EXPECT_DOUBLE_EQ(f.item->Markers[0].X, 260.0);

    // right click on a hovered marker: reported while still listed, then removed
    f.d.PanelMouseMove(260, 50);
    f.events.clear();
    int countAtEvent = -1;
    f.d.OnMarkerChange = [&](QObject*, TGraphDisplayItem*, TGraphDisplayMarker* m,
                             TGraphDisplayMarkerChangeType c) {
        if (c == gdmctDelete) {
            countAtEvent = f.item->Markers.Count();
            EXPECT_EQ(m->Index, 0);
        }
    };
    f.d.PanelMouseDown(mbRight, 260, 50);
    EXPECT_EQ(countAtEvent, 2);
    ASSERT_EQ(f.item->Markers.Count(), 1);
    EXPECT_EQ(f.item->Markers[0].Index, 0);
    EXPECT_DOUBLE_EQ(f.item->Markers[0].X, 400.0);
    EXPECT_EQ(f.d.HoverMarkerIndex(), -1);
    EXPECT_FALSE(f.d.State.RightButtonDown);
    EXPECT_DOUBLE_EQ(f.item->SelectionEnd, 600.0);
}

TEST(Interaction, MergedLateMovesStillDragTheMarker) {
    // The event loop was busy: the first move handled after the press lies far away, past
    // the marker's reach and past the other marker; then the release.
    for (const int target : {260, 140, 405, 599}) {
        Fixture f({200.0, 400.0});
        f.d.PanelMouseMove(200, 50);
        f.d.PanelMouseDown(mbLeft, 200, 50);
        f.d.PanelMouseMove(target, 50);
        f.d.PanelMouseUp(mbLeft, target, 50);
        EXPECT_DOUBLE_EQ(f.item->Markers[0].X, target) << target;
        EXPECT_DOUBLE_EQ(f.item->Markers[1].X, 400.0) << target;
        EXPECT_DOUBLE_EQ(f.item->SelectionStart, 0.0) << target; // no selection drag
        EXPECT_TRUE(f.selections.empty()) << target;
    }
}

TEST(Interaction, DragsThatLeaveThePanelEndAtItsEdge) {
    // The panel keeps the pointer while a button is held: no leave event, moves beyond it.
    struct Case {
        const char* name;
        double zoom;
        int scroll; // standard bar position
        int x;      // the move beyond the panel
        double edge;
    };
    const std::vector<Case> cases = {
        {"right, whole file", 1.0, 0, 700, 600.0},
        {"far right, whole file", 1.0, 0, 5000, 600.0},
        {"left, whole file", 1.0, 0, -40, 0.0},
        {"right, zoomed in", 2.0, 300, 650, 450.0}, // the view shows 150 ... 450
        {"left, zoomed in", 2.0, 300, -1, 150.0},
    };
    for (const Case& c : cases) {
        for (const bool marker : {true, false}) {
            const std::string name = std::string(c.name) + (marker ? ", marker" : ", selection");
            Fixture f({300.0});
            f.d.ZoomTo(c.zoom);
            f.d.SetScrollPosition(c.scroll);
            f.d.ScrollBarChange();
            const int at = marker ? 300 : 100; // the marker lies at column 300 in both views
            f.d.PanelMouseMove(at, 50);
            f.d.PanelMouseDown(mbLeft, at, 50);
            f.d.PanelMouseMove(c.x, 50);
            EXPECT_FALSE(f.d.State.LeftButtonDown) << name; // ended as leaving would end it
            EXPECT_FALSE(f.d.State.MarkerDragging) << name;
            EXPECT_EQ(f.d.HoverMarkerIndex(), -1) << name;
            if (marker) {
                EXPECT_NEAR(f.item->Markers[0].X, c.edge, 1e-3) << name;
            } else {
                EXPECT_NEAR(f.item->SelectionStart, c.edge, 1e-3) << name;
            }
            // Later moves before the release change nothing; the release is harmless.
            f.d.PanelMouseMove(c.x * 2, 50);
            f.d.PanelMouseUp(mbLeft, c.x * 2, 50);
            EXPECT_NEAR(marker ? f.item->Markers[0].X : f.item->SelectionStart, c.edge, 1e-3)
                << name;
            EXPECT_GE(f.item->Markers[0].X, 0.0) << name;
            EXPECT_LE(f.item->Markers[0].X, f.item->XMax) << name;
        }
    }
}

TEST(Interaction, HostVetoesWithTheSilentAbort) {
    Fixture f({200.0});
    std::vector<std::string> log;
    f.d.OnMouseDown = [&](QObject* s, TMouseButton b, int, int) {
        EXPECT_EQ(s, &f.d.Parent);
        log.push_back("down");
        if (b == mbRight) {
            SilentAbort(); // as a host does to open its own menu
        }
    };
    f.d.PanelMouseMove(200, 50);
    f.d.PanelMouseDown(mbRight, 200, 50);
    EXPECT_EQ(f.item->Markers.Count(), 1);
    f.d.PanelMouseMove(100, 50);
    f.d.PanelMouseDown(mbRight, 100, 50);
    EXPECT_DOUBLE_EQ(f.item->SelectionEnd, 600.0);
    EXPECT_FALSE(f.d.State.RightButtonDown);

    // any other exception vetoes as well, and nothing escapes
    f.d.OnMouseDown = [](QObject*, TMouseButton, int, int) { throw std::runtime_error("host"); };
    EXPECT_NO_THROW(f.d.PanelMouseDown(mbLeft, 50, 50));
    EXPECT_DOUBLE_EQ(f.item->SelectionStart, 0.0);
}

TEST(Interaction, MiddleClickPlays) {
    Fixture f({200.0});
    std::vector<double> played;
    f.d.OnPlay = [&](QObject* s, TGraphDisplayItem* i, double at) {
        EXPECT_EQ(s, &f.d.Self);
        EXPECT_EQ(i, f.item);
        played.push_back(at);
    };
    f.d.AllowQuickPlay = false;
    f.d.PanelMouseDown(mbMiddle, 100, 50);
    EXPECT_TRUE(played.empty());
    f.d.AllowQuickPlay = true;
    f.d.PanelMouseDown(mbMiddle, 100, 50);
    f.d.PanelMouseDown(mbMiddle, 201, 50); // on the marker: from the marker itself
    EXPECT_EQ(played, (std::vector<double>{100.0, 200.0}));
}

TEST(Interaction, BeforeTheDeviceMovesOnlyReport) {
    Fixture f({200.0});
    f.d.Log.Direct3D = false;
    int moves = 0;
    f.d.OnMouseMove = [&](QObject* s, int, int) {
        EXPECT_EQ(s, &f.d.Parent);
        ++moves;
    };
    f.d.PanelMouseDown(mbLeft, 100, 50);
    f.selections.clear();
    f.d.PanelMouseMove(200, 50);
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(f.d.HoverMarkerIndex(), -1);
    EXPECT_TRUE(f.selections.empty());
    EXPECT_EQ(f.d.Focused, 2); // the press and the move
}

TEST(Interaction, DoubleClickReportsPaneAndMarker) {
    Fixture f({200.0});
    TGraphDisplayItem* pane = nullptr;
    TGraphDisplayMarker* marker = nullptr;
    f.d.OnDblClick = [&](QObject* s, int, int, TGraphDisplayItem* i, TGraphDisplayMarker* m) {
        EXPECT_EQ(s, &f.d.Self);
        pane = i;
        marker = m;
    };
    f.d.PanelMouseMove(200, 50);
    f.d.PanelDblClick(200, 50);
    EXPECT_EQ(pane, f.item);
    EXPECT_EQ(marker, &f.item->Markers[0]);

    TestDisplay empty;
    bool called = false;
    empty.OnDblClick = [&](QObject*, int, int, TGraphDisplayItem* i, TGraphDisplayMarker* m) {
        called = true;
        EXPECT_EQ(i, nullptr);
        EXPECT_EQ(m, nullptr);
    };
    empty.PanelDblClick(1, 1);
    EXPECT_TRUE(called);
}

TEST(Interaction, WheelZoomAfterTheHost) {
    Fixture f;
    f.d.OnMouseWheel = [&](QObject* s, std::int16_t& delta) {
        EXPECT_EQ(s, &f.d.Parent);
        delta = static_cast<std::int16_t>(-delta); // the host turns it around
    };
    f.d.PanelMouseWheel(-120);
    EXPECT_DOUBLE_EQ(f.item->ZoomFactor, 1.25);
    f.d.AllowWheelZoom = false;
    f.d.ScrollBarMouseWheel(-120);
    EXPECT_DOUBLE_EQ(f.item->ZoomFactor, 1.25);

    TestDisplay empty; // no pane: nothing escapes
    EXPECT_NO_THROW(empty.ControlMouseWheel(120));
}

TEST(Interaction, Keys) {
    Fixture f;
    QObject bar;
    std::vector<std::string> log;
    f.d.OnPlay = [&](QObject* s, TGraphDisplayItem*, double at) {
        EXPECT_EQ(s, &bar);
        log.push_back("play " + std::to_string(int(at)));
    };
    f.d.OnPause = [&](QObject* s, TGraphDisplayItem*) {
        EXPECT_EQ(s, &bar);
        log.push_back("pause");
    };
    f.item->SelectionStart = 42.0;
    f.d.ScrollBarKeyDown(&bar, VK_SPACE_KEY); // no status event: stopped
    TGraphDisplayPlayStatus status = gdpsPlaying;
    f.d.OnNeedPlayStatus = [&](QObject* s, TGraphDisplayItem*) {
        EXPECT_EQ(s, &bar);
        return status;
    };
    f.d.ScrollBarKeyDown(&bar, VK_SPACE_KEY);
    status = gdpsPaused;
    f.d.ScrollBarKeyDown(&bar, VK_SPACE_KEY);
    status = gdpsRecording;
    f.d.ScrollBarKeyDown(&bar, VK_SPACE_KEY);
    f.d.AllowQuickPlay = false;
    status = gdpsStoped;
    f.d.ScrollBarKeyDown(&bar, VK_SPACE_KEY);
    EXPECT_EQ(log, (std::vector<std::string>{"play 42", "pause", "pause"}));

    for (int i = 0; i < 5; ++i) {
        f.d.ScrollBarKeyDown(&bar, VK_SUBTRACT_KEY);
    }
    EXPECT_NEAR(f.item->AmplitudeFactor, 0.0f, 1e-5f);
    f.d.ScrollBarKeyDown(&bar, VK_SUBTRACT_KEY);
    EXPECT_LT(f.item->AmplitudeFactor, 0.0f);
    f.d.ScrollBarKeyDown(&bar, VK_ADD_KEY);
    f.d.ScrollBarKeyDown(&bar, VK_ADD_KEY);
    EXPECT_NEAR(f.item->AmplitudeFactor, 0.2f, 1e-5f);
    f.d.AllowAmplitudeChangeWithKey = false;
    f.d.ScrollBarKeyDown(&bar, VK_ADD_KEY);
    EXPECT_NEAR(f.item->AmplitudeFactor, 0.2f, 1e-5f);

    // the host may rewrite the key; the display and the bar's default handling see it
    f.d.AllowAmplitudeChangeWithKey = true;
    f.d.OnKeyDown = [&](QObject* s, std::uint16_t& code) {
        EXPECT_EQ(s, &f.d.Parent);
        if (code == 'A') {
            code = VK_ADD_KEY;
        }
    };
    EXPECT_EQ(f.d.ScrollBarKeyDown(&bar, 'A'), VK_ADD_KEY);
    EXPECT_NEAR(f.item->AmplitudeFactor, 0.4f, 1e-5f);
    // an aborting host ends the display's reaction but the default handling still gets it
    f.d.OnKeyDown = [](QObject*, std::uint16_t& code) {
        code = 39;
        SilentAbort();
    };
    EXPECT_EQ(f.d.ScrollBarKeyDown(&bar, VK_ADD_KEY), 39);
    EXPECT_NEAR(f.item->AmplitudeFactor, 0.4f, 1e-5f);

    TestDisplay empty; // no active pane: the host is not even told
    bool told = false;
    empty.OnKeyDown = [&](QObject*, std::uint16_t&) { told = true; };
    EXPECT_EQ(empty.ScrollBarKeyDown(&bar, 32), 32);
    EXPECT_FALSE(told);
}

TEST(Interaction, NavigationKeysMoveTheViewOnTheBarInUse) {
    // Zoom 4 over a 600-pixel panel: the range spans 2400 units, the last page starts at 1800.
    struct Case {
        const char* name;
        int from;
        std::uint16_t key;
        int to;
    };
    const std::vector<Case> cases = {
        {"right: a tenth of a page", 600, 39, 660},  {"left", 600, 37, 540},
        {"down as right", 600, 40, 660},             {"up as left", 600, 38, 540},
        {"page down", 600, 34, 1200},                {"page up", 600, 33, 0},
        {"page up stops at the start", 300, 33, 0},  {"page down stops at the end", 1500, 34, 1800},
        {"home", 1000, 36, 0},                       {"end: the last page", 0, 35, 1800},
        {"right at the end stays", 1800, 39, 1800},  {"left at the start stays", 0, 37, 0},
    };
    for (TGraphDisplayScrollBarType type : {gdsbtWindows, gdsbtFlat}) {
        for (const Case& c : cases) {
            Fixture f;
            f.d.SetScrollBarType(type);
            f.d.ZoomTo(4.0);
            f.d.ScrollTo(c.from);
            ASSERT_EQ(f.d.GetScrollPosition(), c.from) << c.name;
            QObject bar;
            // Handled here: the standard bar's own handling gets nothing left to do.
            EXPECT_EQ(f.d.ScrollBarKeyDown(&bar, c.key), 0) << c.name;
            EXPECT_EQ(f.d.GetScrollPosition(), c.to) << c.name << " type " << type;
            EXPECT_DOUBLE_EQ(f.item->GetViewScrollPosition(), c.to) << c.name;
        }
    }

    // Plus and minus zoom about the view's centre; the keypad's do so where they do not set
    // the amplitude.
    for (const bool amplitudeKeys : {false, true}) {
        Fixture f;
        f.d.SetScrollBarType(gdsbtFlat);
        f.d.AllowAmplitudeChangeWithKey = amplitudeKeys;
        f.d.ZoomTo(2.0);
        f.d.ScrollTo(300);
        QObject bar;
        const double centre = f.d.MousePosition2XValue(300);
        f.d.ScrollBarKeyDown(&bar, 187);
        EXPECT_DOUBLE_EQ(f.item->ZoomFactor, 2.5);
        EXPECT_NEAR(f.d.MousePosition2XValue(300), centre, 0.5);
        f.d.ScrollBarKeyDown(&bar, 189);
        EXPECT_DOUBLE_EQ(f.item->ZoomFactor, 1.875);
        EXPECT_NEAR(f.d.MousePosition2XValue(300), centre, 0.5);
        f.d.ScrollBarKeyDown(&bar, VK_ADD_KEY);
        EXPECT_DOUBLE_EQ(f.item->ZoomFactor, amplitudeKeys ? 1.875 : 1.875 * 1.25);
        EXPECT_NEAR(f.item->AmplitudeFactor, amplitudeKeys ? 1.2f : 1.0f, 1e-5f);
    }
}

TEST(Interaction, FlatBarClicksStepTheViewVisibly) {
    // Its position runs to Max while the view runs to Max - PageSize: the steps are scaled so
    // that an arrow moves the view a tenth of a page and the track a page, at any zoom.
    for (const double zoom : {1.25, 4.0, 40.0}) {
        Fixture f;
        f.d.SetScrollBarType(gdsbtFlat);
        f.d.ZoomTo(zoom);
        TSampleFlatScrollBar& bar = f.d.Flat;
        const int last = f.d.GetScrollMax() - 600;
        const int arrow = bar.ElementRects()[feArrowSecond].center().x();
        testing::press(bar, QPoint(arrow, 5));
        testing::release(bar, QPoint(arrow, 5));
        EXPECT_NEAR(f.d.GetScrollPosition(), std::min(60, last), 1) << zoom;
        const int track = bar.ElementRects()[feTrackAfter].center().x();
        testing::press(bar, QPoint(track, 5));
        testing::release(bar, QPoint(track, 5));
        EXPECT_NEAR(f.d.GetScrollPosition(), std::min(660, last), 1) << zoom;
        EXPECT_DOUBLE_EQ(f.item->GetViewScrollPosition(), f.d.GetScrollPosition()) << zoom;
    }
}

TEST(Interaction, WheelZoomKeepsThePointersTime) {
    struct Case {
        const char* name;
        double zoom;
        int from;   // view position before
        int column; // pointer column
        int delta;
        bool end; // the view ends at the file's end afterwards
    };
    const std::vector<Case> cases = {
        {"in, mid-file", 4.0, 900, 150, 120, false},
        {"out, mid-file", 4.0, 900, 450, -120, false},
        {"in at the end, right edge", 4.0, 1800, 599, 120, true},
        {"out at the end, right edge", 4.0, 1800, 599, -120, true},
        {"in at the end, middle", 4.0, 1800, 300, 120, false},
        {"in at the start, left edge", 4.0, 0, 0, 120, false},
        {"out to the whole file", 1.25, 150, 500, -120, false},
    };
    for (TGraphDisplayScrollBarType type : {gdsbtWindows, gdsbtFlat}) {
        for (const Case& c : cases) {
            const std::string name = std::string(c.name) + (type == gdsbtFlat ? ", flat" : "");
            Fixture f;
            f.d.SetScrollBarType(type);
            f.d.ZoomTo(c.zoom);
            f.d.ScrollTo(c.from);
            ASSERT_EQ(f.d.GetScrollPosition(), c.from) << name;
            const double before = f.d.MousePosition2XValue(c.column);
            f.d.PanelMouseWheel(c.delta, c.column);
            const double zoom = f.item->ZoomFactor;
            ASSERT_NE(zoom, c.zoom) << name;
            // One scroll unit of rounding: a pixel or less of the panel.
            const double unit = 600.0 / (600.0 * zoom);
            if (zoom > 1.0) {
                EXPECT_NEAR(f.d.MousePosition2XValue(c.column), before, unit) << name;
            }
            const int last = f.d.GetScrollMax() - 600;
            if (c.end) {
                EXPECT_EQ(f.d.GetScrollPosition(), std::max(0, last)) << name;
            }
            EXPECT_GE(f.d.GetScrollPosition(), 0) << name;
            EXPECT_LE(f.d.GetScrollPosition(), std::max(0, last)) << name;
            EXPECT_DOUBLE_EQ(f.item->GetViewScrollPosition(), f.d.GetScrollPosition()) << name;
        }
    }
    // A notch that changes no zoom (out of the whole file) never moves the view.
    Fixture f;
    f.d.PanelMouseWheel(-120, 17);
    EXPECT_EQ(f.d.GetScrollPosition(), 0);
    EXPECT_DOUBLE_EQ(f.item->ZoomFactor, 1.0);
}

TEST(Interaction, SidewaysWheelScrolls) {
    for (TGraphDisplayScrollBarType type : {gdsbtWindows, gdsbtFlat}) {
        Fixture f;
        f.d.SetScrollBarType(type);
        f.d.ZoomTo(4.0);
        f.d.ScrollTo(900);
        f.d.HorizontalWheel(-120); // tilted right: on towards the end
        EXPECT_EQ(f.d.GetScrollPosition(), 960);
        f.d.HorizontalWheel(240);
        EXPECT_EQ(f.d.GetScrollPosition(), 840);
        f.d.HorizontalWheel(120 * 100);
        EXPECT_EQ(f.d.GetScrollPosition(), 0);
        EXPECT_DOUBLE_EQ(f.item->ZoomFactor, 4.0); // never a zoom
        EXPECT_DOUBLE_EQ(f.item->GetViewScrollPosition(), 0.0);
    }
    TestDisplay empty; // no pane: nothing escapes
    EXPECT_NO_THROW(empty.HorizontalWheel(120));
}

// ---- the widget: which child reports what, with which sender

struct WidgetFixture {
    WidgetFixture() : d(&host) {
        host.resize(500, 300);
        d.resize(400, 250);
        host.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&host, kWindowWaitMs));
        item = &d.Items().Add();
        item->SetXMax(1000.0);
        d.OnMouseDown = [this](QObject* s, TMouseButton b, int x, int y) {
            log.push_back(name(s) + " down " + std::to_string(b) + " " + std::to_string(x) + "," +
                          std::to_string(y));
        };
        d.OnMouseUp = [this](QObject* s, TMouseButton b, int, int) {
            log.push_back(name(s) + " up " + std::to_string(b));
        };
        d.OnMouseWheel = [this](QObject* s, std::int16_t& delta) {
            log.push_back(name(s) + " wheel " + std::to_string(delta));
        };
        d.OnKeyDown = [this](QObject* s, std::uint16_t& code) {
            log.push_back(name(s) + " key " + std::to_string(code));
        };
        d.OnDblClick = [this](QObject* s, int, int, TGraphDisplayItem* i, TGraphDisplayMarker*) {
            log.push_back(name(s) + " dbl " + (i != nullptr ? "pane" : "none"));
        };
    }
    std::string name(QObject* s) const {
        if (s == &d) {
            return "control";
        }
        if (s == &host) {
            return "parent";
        }
        if (s == d.Panel()) {
            return "panel";
        }
        if (s == d.ScrollBar()) {
            return "bar";
        }
        return "other";
    }
    QWidget host;
    TGraphDisplay3D d;
    TGraphDisplayItem* item;
    std::vector<std::string> log;
};

TEST(InteractionWidget, LogoPictureOnlyReports) {
    WidgetFixture f;
    QWidget& picture = *f.d.Picture();
    testing::press(picture, QPoint(10, 20));
    testing::release(picture, QPoint(10, 20));
    testing::press(picture, QPoint(10, 20), Qt::RightButton);
    testing::release(picture, QPoint(10, 20), Qt::RightButton);
    testing::press(picture, QPoint(10, 20), Qt::MiddleButton);
    testing::doubleClick(picture, QPoint(10, 20));
    testing::wheel(picture, 120);
    testing::key(picture, Qt::Key_Space);
    EXPECT_EQ(f.log,
              (std::vector<std::string>{"control down 0 10,20", "control up 0",
                                        "panel down 1 10,20", "panel up 1", "panel down 2 10,20",
                                        "control dbl none", "panel wheel 120", "panel key 32"}));
    EXPECT_DOUBLE_EQ(f.item->SelectionStart, 0.0);
    EXPECT_DOUBLE_EQ(f.item->ZoomFactor, 1.0);
}

TEST(InteractionWidget, PanelRoutesToTheDisplay) {
    WidgetFixture f;
    f.d.SetScrollBarType(gdsbtFlat);
    f.d.Initialize(0); // a device: the logo goes, the flat bar shows
    ASSERT_TRUE(f.d.D3DInitialized());
    ASSERT_FALSE(f.d.FlatScrollBar()->isHidden());
    QWidget& panel = *f.d.Panel();
    const int w = panel.width();

    testing::press(panel, QPoint(w / 2, 10));
    EXPECT_NEAR(f.item->SelectionStart, 500.0, 1000.0 / w);
    testing::release(panel, QPoint(w / 2, 10));
    testing::doubleClick(panel, QPoint(w / 2, 10));
    testing::wheel(panel, 120);
    testing::wheel(*f.d.FlatScrollBar(), 120);
    testing::wheel(f.d, -120);
    EXPECT_EQ(f.log,
              (std::vector<std::string>{"parent down 0 " + std::to_string(w / 2) + ",10",
                                        "control up 0", "control dbl pane", "parent wheel 120",
                                        "parent wheel 120", "control wheel -120"}));
    EXPECT_DOUBLE_EQ(f.item->ZoomFactor, 1.25 * 1.25 * 0.75); // one step per notch

    // a sideways turn is no notch
    f.log.clear();
    QWheelEvent sideways(QPointF(5, 5), panel.mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(120, 0),
                         Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&panel, &sideways);
    EXPECT_TRUE(f.log.empty());

    // leaving the panel drops the button state
    testing::press(panel, QPoint(10, 10), Qt::RightButton);
    EXPECT_TRUE(f.d.Panel()->RightButtonDown);
    testing::leave(panel);
    EXPECT_FALSE(f.d.Panel()->RightButtonDown);
}

TEST(InteractionWidget, KeysGoThroughTheStandardBar) {
    WidgetFixture f;
    f.d.SetScrollBarType(gdsbtFlat);
    f.d.Initialize(0);
    QObject* sender = nullptr;
    f.d.OnPlay = [&](QObject* s, TGraphDisplayItem*, double) { sender = s; };

    // the flat bar is in use: the control stands in for the hidden standard bar, and the
    // navigation keys move the flat bar, the one shown
    testing::key(f.d, Qt::Key_Space);
    EXPECT_EQ(sender, f.d.ScrollBar());
    testing::key(f.d, Qt::Key_Right);
    EXPECT_EQ(f.d.GetScrollPosition(), 0); // one page: nowhere to go
    testing::key(f.d, Qt::Key_Plus);
    testing::key(f.d, Qt::Key_Equal); // the same key without shift
    EXPECT_DOUBLE_EQ(f.item->ZoomFactor, 1.5625);
    testing::key(f.d, Qt::Key_End);
    EXPECT_EQ(f.d.GetScrollPosition(), 937 - 600);
    EXPECT_EQ(f.d.ScrollBar()->Position(), 0); // the hidden bar stays
    testing::key(f.d, Qt::Key_Left);
    EXPECT_EQ(f.d.GetScrollPosition(), 937 - 600 - 60);
    EXPECT_DOUBLE_EQ(f.item->ViewPosition, (937.0 - 660.0) / 600.0 * 1000.0);
    testing::key(f.d, Qt::Key_Home);
    EXPECT_EQ(f.d.GetScrollPosition(), 0);
    testing::key(f.d, Qt::Key_Minus);
    EXPECT_DOUBLE_EQ(f.item->ZoomFactor, 1.171875);

    // with the standard bar in use its keys move it once, by the display's steps
    f.item->ZoomFactor = 2.0;
    f.d.SetScrollBarType(gdsbtWindows);
    f.d.UpdateScrollRange();
    f.d.SetScrollPosition(0);
    testing::key(*f.d.ScrollBar(), Qt::Key_Right);
    EXPECT_EQ(f.d.ScrollBar()->Position(), 60);
    testing::key(*f.d.ScrollBar(), Qt::Key_PageDown);
    EXPECT_EQ(f.d.ScrollBar()->Position(), 600);
    EXPECT_DOUBLE_EQ(f.item->ViewPosition, 600.0 / 1200.0 * 1000.0);
    testing::key(*f.d.ScrollBar(), Qt::Key_Right); // the last page, not past it
    EXPECT_EQ(f.d.ScrollBar()->Position(), 600);
    testing::key(*f.d.ScrollBar(), Qt::Key_Home);
    EXPECT_EQ(f.d.ScrollBar()->Position(), 0);
    testing::key(*f.d.ScrollBar(), Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_NEAR(f.item->AmplitudeFactor, 0.8f, 1e-5f);
    EXPECT_EQ(f.log.back(), "parent key 109");

    // the flat bar reports keys the same way when they reach it
    sender = nullptr;
    testing::key(*f.d.FlatScrollBar(), Qt::Key_Space);
    EXPECT_EQ(sender, f.d.FlatScrollBar());
}

TEST(InteractionWidget, WheelOverEveryPartZoomsAboutThePointerOrScrollsSideways) {
    WidgetFixture f;
    f.d.SetScrollBarType(gdsbtFlat);
    f.d.Initialize(0);
    f.item->ZoomFactor = 4.0;
    f.d.UpdateScrollRange();
    f.d.ScrollTo(900);
    TSampleFlatScrollBar& flat = *f.d.FlatScrollBar();
    const auto sideways = [](QWidget& w, int dx) {
        QWheelEvent e(QPointF(5, 5), w.mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(dx, 0),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&w, &e);
    };
    int expected = 900;
    for (QWidget* w : {static_cast<QWidget*>(f.d.Panel()), static_cast<QWidget*>(&flat),
                       static_cast<QWidget*>(f.d.ScrollBar()), static_cast<QWidget*>(&f.d)}) {
        sideways(*w, -120);
        expected += 60;
        EXPECT_EQ(f.d.GetScrollPosition(), expected);
        EXPECT_DOUBLE_EQ(f.item->ZoomFactor, 4.0); // a sideways turn never zooms
    }
    EXPECT_TRUE(f.log.empty()); // nor is it a notch the host hears of

    // A notch over the flat bar keeps the time above the pointer where it was.
    const int column = f.d.Panel()->width() / 4;
    const double before = f.d.MousePosition2XValue(column);
    testing::wheel(flat, 120, QPoint(column, 5));
    EXPECT_DOUBLE_EQ(f.item->ZoomFactor, 5.0);
    EXPECT_NEAR(f.d.MousePosition2XValue(column), before, 1000.0 / 3000.0);
}

TEST(InteractionWidget, MarkerDragsFromRealEventsMergedLateOrLeaving) {
    // Pointer events as the window system delivers them to the panel: a press on the marker,
    // one move far away (the moves in between were merged), the release. Then a drag that
    // leaves the panel on either side while the button is held.
    WidgetFixture f;
    f.d.Initialize(0);
    QWidget& panel = *f.d.Panel();
    const int w = panel.width();
    TGraphDisplayMarker& marker = f.item->Markers.Add();
    marker.X = 500.0; // column w / 2
    const auto column = [&](double x) { return std::min(w - 1, static_cast<int>(x / 1000.0 * w)); };

    struct Case {
        const char* name;
        int to;
        double expected;
    };
    const std::vector<Case> cases = {
        {"one move far right", w - 20, (w - 20) * 1000.0 / w},
        {"one move far left", 15, 15 * 1000.0 / w},
        {"past the right edge", w + 300, 1000.0},
        {"past the left edge", -300, 0.0},
    };
    for (const Case& c : cases) {
        const QPoint at(column(marker.X), 40);
        testing::move(panel, at);
        ASSERT_EQ(f.d.HoverMarkerIndex(), 0) << c.name;
        testing::press(panel, at);
        testing::move(panel, QPoint(c.to, 40), Qt::LeftButton);
        testing::release(panel, QPoint(c.to, 40));
        EXPECT_NEAR(marker.X, c.expected, 1000.0 / w) << c.name;
        EXPECT_GE(marker.X, 0.0) << c.name;
        EXPECT_LE(marker.X, 1000.0) << c.name;
        EXPECT_DOUBLE_EQ(f.item->SelectionStart, 0.0) << c.name; // never a selection drag
    }
}

TEST(InteractionWidget, MovesLeaveTheKeysInATextFieldAndClicksTakeThem) {
    WidgetFixture f;
    f.d.SetScrollBarType(gdsbtFlat);
    f.d.Initialize(0);
    QLineEdit edit(&f.host);
    edit.move(420, 10);
    edit.show();
    f.host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.host, kWindowWaitMs));
    edit.setFocus();
    ASSERT_TRUE(edit.hasFocus());
    testing::move(*f.d.Panel(), QPoint(30, 30));
    testing::move(*f.d.Panel(), QPoint(60, 40));
    EXPECT_TRUE(edit.hasFocus()); // brushing past the waveform steals nothing
    QTest::keyClicks(&edit, QStringLiteral("a b"));
    EXPECT_EQ(edit.text(), QStringLiteral("a b"));
    testing::press(*f.d.Panel(), QPoint(60, 40));
    testing::release(*f.d.Panel(), QPoint(60, 40));
    EXPECT_TRUE(f.d.hasFocus()); // a click gives the display the keys

    // Away from a text field (a button has the focus), a move takes them as before.
    QPushButton button(&f.host);
    button.move(420, 60);
    button.show();
    button.setFocus();
    testing::move(*f.d.Panel(), QPoint(30, 30));
    EXPECT_TRUE(f.d.hasFocus());
}

TEST(InteractionWidget, DraggingTheFlatScrollerMovesTheView) {
    WidgetFixture f;
    f.d.SetScrollBarType(gdsbtFlat);
    f.d.Initialize(0);
    testing::wheel(*f.d.Panel(), 120);
    testing::wheel(*f.d.Panel(), 120); // 1.5625: Max 937
    TSampleFlatScrollBar& bar = *f.d.FlatScrollBar();
    const QRect scroller = bar.ElementRects()[feScroller];
    const QPoint grip = scroller.center();
    testing::press(bar, grip);
    testing::move(bar, grip + QPoint(40, 0), Qt::LeftButton);
    testing::release(bar, grip + QPoint(40, 0));
    ASSERT_GT(bar.Position(), 0);
    EXPECT_EQ(f.d.GetScrollPosition(), int(bar.Position() - bar.Position() * 600.0 / 937));
    EXPECT_DOUBLE_EQ(f.item->ViewPosition, f.d.GetScrollPosition() / 600.0 * 1000.0);
}

TEST(InteractionWidget, PointerMovesGiveTheKeysToTheStandardBar) {
    WidgetFixture f;
    f.d.Initialize(0);
    f.host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.host, kWindowWaitMs));
    testing::move(*f.d.Panel(), QPoint(30, 30));
    EXPECT_TRUE(f.d.ScrollBar()->hasFocus());
}

} // namespace
} // namespace tavrela
