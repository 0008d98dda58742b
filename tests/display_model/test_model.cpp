#include "display/model/model.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tavrela {
namespace {

// Records what the model asks of its display.
class FakeDisplay : public IGraphDisplayOwner {
public:
    int ActiveIndex() const override { return FActiveIndex; }
    void StoreActiveIndex(int Index) override { FActiveIndex = Index; }
    void NotifyMarkerChange(TGraphDisplayItem& Item, TGraphDisplayMarker& Marker,
                            TGraphDisplayMarkerChangeType Change) override {
        Events.push_back({&Item, Marker.Index, Marker.X, Marker.Color, Change});
    }
    void InvalidatePanel() override { ++Invalidations; }
    int StandardScrollBarMax() const override { return ScrollMax; }

    struct Event {
        TGraphDisplayItem* Item;
        int Index;
        double X;
        std::uint32_t Color;
        TGraphDisplayMarkerChangeType Change;
    };
    int FActiveIndex = -1;
    std::vector<Event> Events;
    int Invalidations = 0;
    int ScrollMax = kStandardScrollBarInitialMax;
};

TEST(DisplayModel, NewPaneDefaults) {
    TGraphDisplayItems items(nullptr);
    TGraphDisplayItem& pane = items.Add();
    EXPECT_EQ(pane.XMax, 1.0);
    EXPECT_EQ(pane.SelectionStart, 0.0);
    EXPECT_EQ(pane.SelectionEnd, 1.0);
    EXPECT_EQ(pane.ZoomFactor, 1.0);
    EXPECT_EQ(pane.AmplitudeFactor, 1.0f);
    EXPECT_EQ(pane.DisplayMode, 2);
    EXPECT_EQ(pane.BackgroundColor, 0u);
    EXPECT_EQ(pane.Owner, &items);
    EXPECT_EQ(pane.Axis.AxisY.Owner, &pane.Axis);
    EXPECT_EQ(pane.Axis.AxisX.Font.Name, "Tahoma");
    EXPECT_EQ(pane.Caption.Font.Size, 14);
    EXPECT_EQ(pane.Legend.Font.Size, 12);

    TGraphDisplayGraphItem& curve = pane.GraphItems.Add();
    EXPECT_EQ(curve.Color, 0x00BB00u);
    EXPECT_EQ(curve.PrimitiveType, 3);
    EXPECT_EQ(curve.AmplitudeRange, 1.0f);
    EXPECT_EQ(curve.Item(), &pane);
    EXPECT_TRUE(curve.Samples.empty());
}

TEST(DisplayModel, ActiveIndexFollowsFirstPaneAndClear) {
    FakeDisplay display;
    TGraphDisplayItems items(&display);
    items.Add();
    EXPECT_EQ(display.FActiveIndex, 0);
    display.FActiveIndex = 0;
    items.Add();
    EXPECT_EQ(display.FActiveIndex, 0);
    EXPECT_EQ(items.Count(), 2);
    items.Clear();
    EXPECT_EQ(display.FActiveIndex, -1);
    EXPECT_EQ(items.Count(), 0);
}

TEST(DisplayModel, DeleteRenumbersAndIndexErrors) {
    FakeDisplay display;
    TGraphDisplayItems items(&display);
    TGraphDisplayItem& pane = items.Add();
    for (int i = 0; i < 3; ++i) {
        pane.Markers.Add().X = i * 10.0;
    }
    display.Events.clear();
    pane.Markers.Delete(1);
    ASSERT_EQ(pane.Markers.Count(), 2);
    EXPECT_EQ(pane.Markers[0].Index, 0);
    EXPECT_EQ(pane.Markers[1].Index, 1);
    EXPECT_EQ(pane.Markers[1].X, 20.0);
    EXPECT_TRUE(display.Events.empty()) << "deleting a marker fires no event";

    EXPECT_THROW(pane.Markers[2], EListError);
    EXPECT_THROW(pane.Markers[-1], EListError);
    EXPECT_THROW(pane.Markers.Delete(5), EListError);
    EXPECT_THROW(items.Delete(1), EListError);
    EXPECT_EQ(display.Invalidations, 0);

    items.Add();
    items.Add().Name = "c";
    items.Delete(1);
    EXPECT_EQ(display.Invalidations, 1);
    EXPECT_EQ(items[1].Index, 1);
    EXPECT_EQ(items[1].Name, "c");
}

TEST(DisplayModel, MarkerAddReportsDefaults) {
    FakeDisplay display;
    TGraphDisplayItems items(&display);
    TGraphDisplayItem& pane = items.Add();
    TGraphDisplayMarker& m = pane.Markers.Add();
    m.X = 42.0;
    m.Color = 0x0000FF;
    ASSERT_EQ(display.Events.size(), 1u);
    EXPECT_EQ(display.Events[0].Item, &pane);
    EXPECT_EQ(display.Events[0].Change, gdmctAdd);
    EXPECT_EQ(display.Events[0].X, 0.0);
    EXPECT_EQ(display.Events[0].Color, kDefaultMarkerColor);
}

TEST(DisplayModel, SetXMaxReachesOnlyCurvesPresent) {
    TGraphDisplayItems items(nullptr);
    TGraphDisplayItem& pane = items.Add();
    pane.GraphItems.Add();
    pane.GraphItems.Add();
    pane.SetXMax(1000.0);
    TGraphDisplayGraphItem& later = pane.GraphItems.Add();
    EXPECT_EQ(pane.XMax, 1000.0);
    EXPECT_EQ(pane.SelectionEnd, 1000.0);
    EXPECT_EQ(pane.GraphItems[0].SelectionEnd, 1000.0);
    EXPECT_EQ(pane.GraphItems[1].SelectionEnd, 1000.0);
    EXPECT_EQ(later.SelectionEnd, 0.0);
}

TEST(DisplayModel, PaneQueries) {
    TGraphDisplayItems items(nullptr);
    TGraphDisplayItem& pane = items.Add();
    EXPECT_EQ(pane.MaxPrimitiveCount(), 1);
    EXPECT_EQ(pane.MaxAmplitudeRange(), 0.0f);
    EXPECT_EQ(pane.MinAmplitudeRange(), 3.402823e38f);
    EXPECT_EQ(pane.MinAmplitudeOffset(), 3.402823e38);

    TGraphDisplayGraphItem& a = pane.GraphItems.Add();
    TGraphDisplayGraphItem& b = pane.GraphItems.Add();
    a.PrimitiveCount = -4;
    b.PrimitiveCount = 0;
    EXPECT_EQ(pane.MaxPrimitiveCount(), 1);
    b.PrimitiveCount = 700;
    EXPECT_EQ(pane.MaxPrimitiveCount(), 700);
    a.AmplitudeRange = 0.25f;
    b.AmplitudeRange = 2.0f;
    a.AmplitudeOffset = 0.5;
    b.AmplitudeOffset = -0.5;
    EXPECT_EQ(pane.MaxAmplitudeRange(), 2.0f);
    EXPECT_EQ(pane.MinAmplitudeRange(), 0.25f);
    EXPECT_EQ(pane.MinAmplitudeOffset(), -0.5);
}

TEST(DisplayModel, ViewScrollPositionUsesStandardBarMax) {
    FakeDisplay display;
    TGraphDisplayItems items(&display);
    TGraphDisplayItem& pane = items.Add();
    pane.SetXMax(63504000.0);
    display.ScrollMax = 1200;
    pane.SetViewScrollPosition(300);
    EXPECT_DOUBLE_EQ(pane.ViewPosition, 63504000.0 / 4);
    EXPECT_DOUBLE_EQ(pane.GetViewScrollPosition(), 300.0);

    pane.SetXMax(0.0);
    EXPECT_EQ(pane.GetViewScrollPosition(), 0.0) << "an empty range must not give NaN";
}

TEST(DisplayModel, FindItem) {
    TGraphDisplayItems items(nullptr);
    EXPECT_EQ(items.FindItem("a"), -1);
    items.Add();
    items.Add().Name = "wave";
    items.Add().Name = "wave";
    EXPECT_EQ(items.FindItem(""), -1) << "pane 0 has an empty name, still -1";
    EXPECT_EQ(items.FindItem("wave"), 1);
    EXPECT_EQ(items.FindItem("Wave"), -1);
    EXPECT_EQ(items.FindItem("other"), -1);
}

TEST(DisplayModel, ColorToD3D) {
    struct Case {
        std::uint32_t in, out;
    };
    for (const Case c :
         {Case{0x0000FF, 0xFFFF0000}, Case{0x00FF00, 0xFE00FF00}, Case{0xFF0000, 0xFF0000FF},
          Case{0xFFFFFF, 0xFEFFFFFF}, Case{0xEEEEEE, 0xEDEEEEEE}, Case{0x000000, 0xFF000000},
          Case{0xFFAAAAAA, 0xA9AAAAAA}, Case{0x123456, 0x33563412}}) {
        EXPECT_EQ(ColorToD3D(c.in), c.out) << std::hex << c.in;
    }
}

} // namespace
} // namespace tavrela

namespace tavrela {
namespace {

// Records the order in which rendering resources are released.
class Logged : public TRenderResource {
public:
    Logged(std::vector<std::string>& log, std::string name) : FLog(log), FName(std::move(name)) {}
    ~Logged() override { FLog.push_back(FName); }

private:
    std::vector<std::string>& FLog;
    std::string FName;
};

TEST(DisplayModel, DestructionOrder) {
    std::vector<std::string> log;
    auto make = [&](const char* name) { return std::make_shared<Logged>(log, name); };
    FakeDisplay display;
    {
        TGraphDisplayItems items(&display);
        TGraphDisplayItem& pane = items.Add();
        TGraphDisplayGraphItem& curve = pane.GraphItems.Add();
        curve.VertexBufferSamples = make("curve samples");
        pane.BackgroundSurface = make("background");
        pane.VertexBufferMarkers = make("markers buffer");
        pane.Device = make("device");
        pane.Caption.D3DFont = make("caption font");
        pane.Legend.D3DFont = make("legend font");
        pane.Axis.AxisY.D3DFont = make("axis y font");
        pane.Axis.AxisX.D3DFont = make("axis x font");
        // Clearing stores -1 before any pane goes.
        struct Probe : TRenderResource {
            explicit Probe(FakeDisplay& d, std::vector<std::string>& l) : D(d), L(l) {}
            ~Probe() override { L.push_back("active " + std::to_string(D.ActiveIndex())); }
            FakeDisplay& D;
            std::vector<std::string>& L;
        };
        pane.VertexBufferCursor = std::make_shared<Probe>(display, log);
        items.Clear();
    }
    const std::vector<std::string> expected = {"device",      "markers buffer", "active -1",
                                               "background",  "caption font",   "legend font",
                                               "axis x font", "axis y font",    "curve samples"};
    EXPECT_EQ(log, expected);
}

TEST(DisplayModel, SharedRenderReferenceOutlivesThePane) {
    std::vector<std::string> log;
    TRenderHandle device = std::make_shared<Logged>(log, "device");
    {
        TGraphDisplayItems items(nullptr);
        items.Add().Device = device;
    }
    EXPECT_TRUE(log.empty()) << "the pane releases only its own reference";
    device.reset();
    EXPECT_EQ(log.size(), 1u);
}

} // namespace
} // namespace tavrela
