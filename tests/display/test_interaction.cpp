// Pointer and key reactions: the display logic first (a 600-pixel panel over x 0 … 600, so a
// pixel is one x unit and the marker reach is 3 units), then the widget's event routing.
#include "test_shell_fixture.h"

#include <QTest>
#include <gtest/gtest.h>

#include "gui_wait.h"
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
    f.d.PanelMouseMove(202, 50); // still in reach: the drag starts
    f.d.PanelMouseMove(260, 50); // hover frozen: the marker follows
    EXPECT_TRUE(f.d.State.MarkerDragging);
    EXPECT_DOUBLE_EQ(f.item->Markers[0].X, 260.0);
    EXPECT_EQ(f.events,
              (std::vector<MarkerEvent>{{0, gdmctHover}, {0, gdmctMove}, {0, gdmctMove}}));

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
    EXPECT_EQ(f.d.Focused, 1);
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

    // the flat bar is in use: the control stands in for the hidden standard bar
    testing::key(f.d, Qt::Key_Space);
    EXPECT_EQ(sender, f.d.ScrollBar());
    testing::key(f.d, Qt::Key_Right);
    EXPECT_EQ(f.d.ScrollBar()->Position(), 0); // one page: nowhere to go
    EXPECT_DOUBLE_EQ(f.item->ViewPosition, 0.0);
    f.item->ZoomFactor = 2.0;
    f.d.SetScrollBarType(gdsbtWindows);
    f.d.UpdateScrollRange();
    f.d.SetScrollPosition(0);
    testing::key(*f.d.ScrollBar(), Qt::Key_Right);
    testing::key(*f.d.ScrollBar(), Qt::Key_PageDown);
    EXPECT_EQ(f.d.ScrollBar()->Position(), 11);
    EXPECT_DOUBLE_EQ(f.item->ViewPosition, 11.0 / 1200.0 * 1000.0);
    testing::key(*f.d.ScrollBar(), Qt::Key_End); // the last page, not past it
    EXPECT_EQ(f.d.ScrollBar()->Position(), 600);
    testing::key(*f.d.ScrollBar(), Qt::Key_Right);
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
