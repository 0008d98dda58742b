// The display widget's construction, published properties, small operations and device
// life cycle as the shell sees it.
#include "test_shell_fixture.h"

#include <QTest>
#include <gtest/gtest.h>

#include "gui_wait.h"
#include <string>

namespace tavrela {
namespace {

// A shown display with room to draw.
struct ShownDisplay : TGraphDisplay3D {
    ShownDisplay() {
        resize(400, 300);
        show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(this, kWindowWaitMs));
    }
};

TEST(Shell, InitialState) {
    TGraphDisplay3D d;
    EXPECT_EQ(d.Items().Count(), 0);
    EXPECT_EQ(d.ActiveIndex(), -1);
    EXPECT_EQ(d.HoverMarkerIndex(), -1);
    EXPECT_EQ(d.MaximumVertexCountMode, gd3dCustom);
    EXPECT_EQ(d.MaximumVertexCount, 500000);
    EXPECT_TRUE(d.Animate);
    EXPECT_EQ(d.ScrollBarHeight(), 10);
    EXPECT_EQ(d.Progress(), 0);
    EXPECT_TRUE(d.AutoReInit);
    EXPECT_TRUE(d.ShowMarkers);
    EXPECT_FALSE(d.SuppressErrors);
    EXPECT_FALSE(d.FollowCursor);
    EXPECT_TRUE(d.Panel3DPictureVisible());
    EXPECT_TRUE(d.Panel3DPicture().isNull());
    EXPECT_FALSE(d.SampleInSeparateThread);
    EXPECT_FALSE(d.SampleScroll);
    EXPECT_TRUE(d.AllowSelect);
    EXPECT_TRUE(d.AllowQuickPlay);
    EXPECT_TRUE(d.AllowWheelZoom);
    EXPECT_EQ(d.D3DVertexProcessingMode, gd3dvpmHardware);
    EXPECT_FALSE(d.ShowCursor);
    EXPECT_TRUE(d.AllowAmplitudeChangeWithKey);
    EXPECT_FALSE(d.SolidCursor);
    EXPECT_FALSE(d.Antialiasing);
    EXPECT_TRUE(d.ShowSelection);
    EXPECT_EQ(d.SamplesManagement, gdsmKeep);
    EXPECT_EQ(d.ScrollBarType(), gdsbtWindows);
    EXPECT_FALSE(d.Caption().trimmed().isEmpty());
    EXPECT_EQ(d.BevelOuter(), bvLowered);
    EXPECT_FALSE(d.D3DInitialized());
    EXPECT_EQ(d.SampleThread(), nullptr);

    // both bars: range of one page, hidden
    for (const IScrollBarControl* bar : {static_cast<IScrollBarControl*>(d.ScrollBar()),
                                         static_cast<IScrollBarControl*>(d.FlatScrollBar())}) {
        EXPECT_EQ(bar->Min(), 0);
        EXPECT_EQ(bar->Max(), 600);
        EXPECT_EQ(bar->PageSize(), 600);
        EXPECT_EQ(bar->Position(), 0);
        EXPECT_EQ(bar->Tag(), 0);
    }
    EXPECT_TRUE(d.ScrollBar()->isHidden());
    EXPECT_TRUE(d.FlatScrollBar()->isHidden());
    EXPECT_EQ(d.ScrollBar()->LargeChange(), 10);
    // The flat bar steps the view a tenth of a page (arrows) and a page (track).
    EXPECT_EQ(d.FlatScrollBar()->SmallChange(), 60);
    EXPECT_EQ(d.FlatScrollBar()->LargeChange(), 600);
    // the flat bar's own colours
    EXPECT_EQ(d.FlatScrollBar()->StyleScroller().Fill().ColorCold(), 0xFF00u);
    EXPECT_EQ(d.FlatScrollBar()->StyleArrow().Border().ColorDown(), 0xFFFFu);
    EXPECT_EQ(d.FlatScrollBar()->StyleTrack().Fill().ColorHot(), 0u);
}

TEST(Shell, ScrollBarTypeWaitsForTheLogoToGo) {
    ShownDisplay d;
    d.SetScrollBarType(gdsbtFlat);
    EXPECT_TRUE(d.ScrollBar()->isHidden());
    EXPECT_TRUE(d.FlatScrollBar()->isHidden());

    d.Items().Add();
    EXPECT_TRUE(d.InitD3D(0));
    EXPECT_TRUE(d.Picture()->isHidden());
    EXPECT_FALSE(d.FlatScrollBar()->isHidden());
    EXPECT_TRUE(d.ScrollBar()->isHidden());

    d.SetScrollBarType(gdsbtWindows);
    EXPECT_FALSE(d.ScrollBar()->isHidden());
    EXPECT_TRUE(d.FlatScrollBar()->isHidden());

    d.ShowLogo();
    d.SetScrollBarType(gdsbtFlat); // stored, visibility kept while the logo shows
    EXPECT_EQ(d.ScrollBarType(), gdsbtFlat);
    EXPECT_FALSE(d.ScrollBar()->isHidden());
}

TEST(Shell, ScrollBarHeightSetsBoth) {
    TGraphDisplay3D d;
    d.SetScrollBarHeight(15);
    EXPECT_EQ(d.ScrollBarHeight(), 15);
    EXPECT_EQ(d.ScrollBar()->height(), 15);
    EXPECT_EQ(d.FlatScrollBar()->height(), 15);
}

TEST(Shell, PanelAccessors) {
    TGraphDisplay3D d;
    d.SetCaption(" ");
    EXPECT_EQ(d.Caption(), " ");
    EXPECT_EQ(d.Panel()->Caption(), " ");
    d.SetPanel3DColor(0x0000FF);
    EXPECT_EQ(d.Panel()->Color(), 0x0000FFu);
    EXPECT_EQ(d.Panel()->palette().color(QPalette::Window), QColor(255, 0, 0));
    QPixmap logo(4, 4);
    logo.fill(Qt::red);
    d.SetPanel3DPicture(logo);
    EXPECT_EQ(d.Panel3DPicture().size(), QSize(4, 4));
    d.SetPanel3DPictureVisible(false);
    EXPECT_TRUE(d.Picture()->isHidden());
    d.SetBevelOuter(bvNone);
    EXPECT_EQ(d.frameStyle(), int(QFrame::NoFrame));
}

TEST(Shell, ActiveIndexSetter) {
    TGraphDisplay3D d;
    d.Items().Add();
    d.Items().Add();
    EXPECT_EQ(d.ActiveIndex(), 0); // the first pane made it active

    EXPECT_THROW(d.SetActiveIndex(5), EListError);
    EXPECT_EQ(d.ActiveIndex(), 5);
    EXPECT_FALSE(d.Items()[0].Animating);
    EXPECT_FALSE(d.Items()[1].Animating);

    EXPECT_NO_THROW(d.SetActiveIndex(-1));
    EXPECT_EQ(d.ActiveIndex(), -1);

    d.SetActiveIndex(1); // valid: animates and resets the range
    EXPECT_TRUE(d.Items()[1].Animating);
    EXPECT_FALSE(d.Items()[0].Animating);
    d.Animate = false;
    d.Items()[0].ZoomFactor = 2.0;
    d.SetActiveIndex(0);
    EXPECT_FALSE(d.Items()[0].Animating);
    EXPECT_EQ(d.GetScrollMax(), 1200);
}

TEST(Shell, PauseStreamAndFindItem) {
    TGraphDisplay3D d;
    EXPECT_NO_THROW(d.PauseStream(0)); // no handler, nothing read
    TGraphDisplayItem& item = d.Items().Add();
    item.Name = "main";
    QObject* sender = nullptr;
    TGraphDisplayItem* got = nullptr;
    d.OnPause = [&](QObject* s, TGraphDisplayItem* i) {
        sender = s;
        got = i;
    };
    d.PauseStream(0);
    EXPECT_EQ(sender, &d);
    EXPECT_EQ(got, &item);
    EXPECT_THROW(d.PauseStream(3), EListError);

    EXPECT_EQ(d.FindItem("main"), 0);
    EXPECT_EQ(d.FindItem("Main"), -1);
    EXPECT_EQ(d.FindItem(""), -1);
}

TEST(Shell, ClearNeedsAnActivePane) {
    TGraphDisplay3D d;
    EXPECT_THROW(d.Clear(), EListError);
    d.Items().Add();
    EXPECT_NO_THROW(d.Clear()); // no device: nothing to clear
}

TEST(Shell, InitializeMakesTheDeviceAndEveryCurve) {
    ShownDisplay d;
    TGraphDisplayItem& item = d.Items().Add();
    item.GraphItems.Add();
    item.GraphItems.Add();
    std::vector<TGraphDisplayGraphItem*> built;
    d.OnNeedSamples = [&](QObject* s, TGraphDisplayItem* i, TGraphDisplayGraphItem* g) {
        EXPECT_EQ(s, &d);
        EXPECT_EQ(i, &item);
        built.push_back(g);
    };
    int destroyed = 0;
    d.OnD3DDestroy = [&](QObject* s) {
        EXPECT_EQ(s, &d);
        ++destroyed;
    };

    EXPECT_FALSE(d.InitD3D(-1));
    EXPECT_FALSE(d.D3DInitialized());

    EXPECT_TRUE(d.Initialize(0));
    EXPECT_TRUE(d.D3DInitialized());
    EXPECT_NE(item.Device, nullptr);
    EXPECT_TRUE(item.Animating);
    EXPECT_EQ(built,
              (std::vector<TGraphDisplayGraphItem*>{&item.GraphItems[0], &item.GraphItems[1]}));
    EXPECT_TRUE(d.Picture()->isHidden());
    EXPECT_FALSE(d.ScrollBar()->isHidden());

    // a failing delete is ignored and the release still runs; a pane holds a device
    EXPECT_NO_THROW(d.StreamClose(7));
    EXPECT_EQ(destroyed, 0);
    d.StreamClose(0);
    EXPECT_EQ(d.Items().Count(), 0);
    EXPECT_EQ(destroyed, 1);
}

TEST(Shell, SampleThreadLeavesTheDeviceForLater) {
    ShownDisplay d;
    d.Items().Add().GraphItems.Add();
    d.SampleInSeparateThread = true;
    d.Animate = false;
    EXPECT_TRUE(d.Initialize(0));
    EXPECT_EQ(d.Items()[0].Device, nullptr);
    EXPECT_FALSE(d.Items()[0].Animating);
    EXPECT_FALSE(d.D3DInitialized());
}

TEST(Shell, ResizeReinitialisesOnlyAfterTheFirstDevice) {
    ShownDisplay d;
    TGraphDisplayItem& item = d.Items().Add();
    item.GraphItems.Add();
    d.resize(420, 320);
    QCoreApplication::processEvents();
    EXPECT_EQ(item.Device, nullptr);

    d.Initialize(0);
    const TRenderHandle first = item.Device;
    ASSERT_NE(first, nullptr);
    d.resize(440, 330);
    QCoreApplication::processEvents();
    EXPECT_NE(item.Device, first); // re-made for the new size
    ASSERT_NE(item.Device, nullptr);

    const TRenderHandle second = item.Device;
    d.AutoReInit = false;
    d.resize(460, 340);
    QCoreApplication::processEvents();
    EXPECT_EQ(item.Device, second);
}

TEST(Shell, DestructionReleasesWithForce) {
    int destroyed = 0;
    {
        ShownDisplay d;
        d.Items().Add();
        d.Initialize(0);
        d.OnD3DDestroy = [&](QObject*) { ++destroyed; };
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(Shell, SilentAbortIsAnException) {
    EXPECT_THROW(SilentAbort(), ESilentAbort);
    EXPECT_STRNE(ESilentAbort().what(), "");
}

} // namespace
} // namespace tavrela
