// The display widget's construction, published properties, small operations and device
// life cycle as the shell sees it.
#include "test_shell_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace tavrela {
namespace {

using testing::FakeDeviceDisplay;

TEST(Shell, InitialState) {
    TGraphDisplay3D d;
    EXPECT_EQ(d.Items().Count(), 0);
    EXPECT_EQ(d.ActiveIndex(), -1);
    EXPECT_EQ(d.HoverMarkerIndex, -1);
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
    EXPECT_FALSE(d.D3DInitialized);
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
    EXPECT_EQ(d.FlatScrollBar()->LargeChange(), 10);
    // the flat bar's own colours
    EXPECT_EQ(d.FlatScrollBar()->StyleScroller().Fill().ColorCold(), 0xFF00u);
    EXPECT_EQ(d.FlatScrollBar()->StyleArrow().Border().ColorDown(), 0xFFFFu);
    EXPECT_EQ(d.FlatScrollBar()->StyleTrack().Fill().ColorHot(), 0u);
}

TEST(Shell, ScrollBarTypeWaitsForTheLogoToGo) {
    FakeDeviceDisplay d;
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
    d.SetPanel3DColor(clBtnFace);
    EXPECT_EQ(d.Panel()->Color(), clBtnFace);
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
    FakeDeviceDisplay d;
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
    FakeDeviceDisplay d;
    EXPECT_THROW(d.Clear(), EListError);
    d.Items().Add();
    EXPECT_NO_THROW(d.Clear()); // no device: nothing to clear
    EXPECT_EQ(d.Log.Cleared, 0);
    d.InitD3D(0);
    d.Clear();
    EXPECT_EQ(d.Log.Cleared, 1);
}

TEST(Shell, InitializeAndDeviceLifeCycle) {
    FakeDeviceDisplay d;
    TGraphDisplayItem& item = d.Items().Add();
    item.GraphItems.Add();
    item.GraphItems.Add();
    int destroyed = 0;
    d.OnD3DDestroy = [&](QObject* s) {
        EXPECT_EQ(s, &d);
        ++destroyed;
    };

    EXPECT_FALSE(d.InitD3D(-1));
    EXPECT_TRUE(d.Log.Created.empty());

    EXPECT_TRUE(d.Initialize(0));
    EXPECT_TRUE(item.Animating);
    EXPECT_EQ(d.Log.Created, std::vector<int>{0});
    EXPECT_EQ(d.Log.Geometries, (std::vector<int>{0, 1}));
    EXPECT_TRUE(d.D3DInitialized);
    EXPECT_EQ(d.Log.Frames, 1);

    // a pane holds a device: no release without force
    d.D3DFree(false);
    EXPECT_EQ(destroyed, 0);
    EXPECT_TRUE(d.Log.Direct3D);

    // a failing delete is ignored; the release still runs
    EXPECT_NO_THROW(d.StreamClose(7));
    EXPECT_EQ(destroyed, 0);
    d.StreamClose(0);
    EXPECT_EQ(d.Items().Count(), 0);
    EXPECT_EQ(destroyed, 1);
    EXPECT_FALSE(d.Log.Direct3D);
}

TEST(Shell, SampleThreadSkipsTheDeviceOnInitialize) {
    FakeDeviceDisplay d;
    d.Items().Add().GraphItems.Add();
    d.SampleInSeparateThread = true;
    d.Animate = false;
    EXPECT_TRUE(d.Initialize(0));
    EXPECT_TRUE(d.Log.Created.empty());
    EXPECT_FALSE(d.Items()[0].Animating);
}

TEST(Shell, ResizeReinitialisesOnlyAfterTheFirstDevice) {
    FakeDeviceDisplay d;
    d.Items().Add().GraphItems.Add();
    d.resize(300, 200);
    d.show();
    QCoreApplication::processEvents();
    d.resize(320, 220);
    QCoreApplication::processEvents();
    EXPECT_TRUE(d.Log.Created.empty());

    d.Initialize(0);
    d.resize(340, 240);
    QCoreApplication::processEvents();
    EXPECT_EQ(d.Log.Created, (std::vector<int>{0, 0}));
    EXPECT_EQ(d.Log.Geometries, (std::vector<int>{0, 0}));

    d.AutoReInit = false;
    d.resize(360, 260);
    QCoreApplication::processEvents();
    EXPECT_EQ(d.Log.Created.size(), 2u);

    // a failed creation does not make the resize rule start
    FakeDeviceDisplay f;
    f.Items().Add();
    f.Log.FailDevice = true;
    EXPECT_FALSE(f.InitD3D(0));
    EXPECT_FALSE(f.D3DInitialized);
}

TEST(Shell, DestructionReleasesWithForce) {
    int destroyed = 0;
    {
        FakeDeviceDisplay d;
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
