// The renderer on the machine's OpenGL: device lifecycle, what lands on which pixel, the
// frame's order and failure handling.
#include "display/graph_display_3d.h"
#include "display/model/color.h"
#include "display/model/display_owner.h"
#include "display/model/items.h"
#include "display/render/gl/gl_device.h"
#include "display/render/render_math.h"
#include "display/render/render_panel.h"
#include "display/render/renderer.h"
#include "display/render/text_layout.h"
#include "display/render/transforms.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using namespace tavrela;

namespace {

// A display as the renderer sees it, without the widget.
class FakeDisplay : public IGraphDisplayOwner, public IRenderHost {
public:
    explicit FakeDisplay(QSize Size) {
        FPanel.resize(Size);
        Renderer = std::make_unique<TGraphDisplayRenderer>(*this);
    }
    ~FakeDisplay() override {
        Renderer->D3DFree(true);
        FItems.Clear();
    }

    // IGraphDisplayOwner and IRenderHost
    int ActiveIndex() const override { return Active; }
    void StoreActiveIndex(int Index) override { Active = Index; }
    void NotifyMarkerChange(TGraphDisplayItem&, TGraphDisplayMarker&,
                            TGraphDisplayMarkerChangeType) override {}
    void InvalidatePanel() override {}
    int StandardScrollBarMax() const override { return ScrollMax; }
    TGraphDisplayItems& Items() override { return FItems; }
    long long HoverMarkerIndex() const override { return Hover; }
    TRenderProperties& RenderProperties() override { return Props; }
    TRenderPanel& Panel() override { return FPanel; }
    bool DisplayVisible() const override { return true; }
    int GetScrollPosition() override { return ScrollPosition; }
    int GetScrollMax() override { return ScrollMax; }
    void ShowDrawingSurface() override { ++SurfaceShown; }
    void FollowPlayback() override {}
    void StartSampleThread(int, int) override { ++ThreadsStarted; }
    void D3DDestroy() override { ++Destroyed; }
    void NeedSamples(TGraphDisplayItem&, TGraphDisplayGraphItem&) override { ++SamplesAsked; }
    void BeforeD3DRender(TGraphDisplayItem&) override { Event("BeforeD3DRender"); }
    void BeforeD3DSamplesRender(TGraphDisplayItem&) override { Event("BeforeD3DSamplesRender"); }
    void AfterD3DSamplesRender(TGraphDisplayItem&) override { Event("AfterD3DSamplesRender"); }
    void AfterD3DRender(TGraphDisplayItem&) override { Event("AfterD3DRender"); }
    std::optional<double> NeedPlaybackPosition(TGraphDisplayItem&) override { return Playback; }
    std::optional<QString> NeedAxisXText(TGraphDisplayItem&, double Value) override {
        if (!AxisXText) {
            return std::nullopt;
        }
        return AxisXText(Value);
    }
    std::optional<QString> NeedAxisYText(TGraphDisplayItem&, double) override {
        return std::nullopt;
    }

    void Event(const std::string& Name) {
        Events.push_back(Name);
        if (Name == ThrowIn) {
            throw std::runtime_error("host failed");
        }
    }

    // A pane with nothing but what a test turns on.
    TGraphDisplayItem& AddQuietPane(int DisplayMode) {
        TGraphDisplayItem& pane = FItems.Add();
        pane.DisplayMode = static_cast<std::uint8_t>(DisplayMode);
        pane.Axis.Visible = false;
        pane.Axis.AxisY.GridVisible = false;
        pane.Axis.AxisX.GridVisible = false;
        pane.Axis.AxisY.LabelsVisible = false;
        pane.Axis.AxisX.LabelsVisible = false;
        pane.Legend.Visible = false;
        pane.Caption.Visible = false;
        pane.Axis.AxisY.ScaleMode = 3;
        return pane;
    }

    static TGraphDisplayGraphItem& AddCurve(TGraphDisplayItem& Pane, std::size_t Length,
                                            float Value, int PrimitiveType, TColor Color) {
        TGraphDisplayGraphItem& g = Pane.GraphItems.Add();
        g.PrimitiveType = PrimitiveType;
        g.Color = Color;
        g.BaseColor = Color;
        g.Samples.SetLength(Length);
        for (TGDGISample& s : g.Samples) {
            s.Value = Value;
        }
        return g;
    }

    QImage Frame() const { return FPanel.Frame(); }

    std::unique_ptr<TGraphDisplayRenderer> Renderer;
    TRenderProperties Props = [] {
        TRenderProperties p;
        p.Animate = false;
        p.ShowSelection = false;
        return p;
    }();
    int Active = -1;
    long long Hover = -1;
    int ScrollPosition = 0;
    int ScrollMax = 600;
    std::optional<double> Playback;
    std::function<QString(double)> AxisXText;
    int SurfaceShown = 0;
    int ThreadsStarted = 0;
    int Destroyed = 0;
    int SamplesAsked = 0;
    std::vector<std::string> Events;
    std::string ThrowIn;

private:
    TRenderPanel FPanel;
    TGraphDisplayItems FItems{this};
};

QRgb Pixel(const QImage& Image, int X, int Y) {
    return Image.pixel(X, Y) & 0xFFFFFFu;
}

constexpr QRgb kBlack = 0x000000;
constexpr QRgb kWhite = 0xFFFFFF;
constexpr QRgb kRed = 0xFF0000;

// Column a curve-unit x of pane Index lands on, through the transform of curve 0.
int ColumnOf(FakeDisplay& D, float VertexX, float VertexZ) {
    TGraphDisplayItem& pane = D.Items()[D.Active];
    D.Renderer->SetGraphItemTransform(D.Active, 0);
    const TVector4 p = TransformPoint({VertexX, 0, VertexZ, 1}, pane.WorldMatrix);
    const QSize size = D.Panel().size();
    return static_cast<int>(
        std::lround(WorldToPixel(p.X, p.Y, p.Z, size.width(), size.height()).X));
}

bool Lit(QRgb c) {
    return qRed(c) + qGreen(c) + qBlue(c) > 150;
}

} // namespace

TEST(RenderDevice, Lifecycle) {
    FakeDisplay d(QSize(320, 200));
    // Before any pane: nothing is made.
    EXPECT_FALSE(d.Renderer->InitD3D(-1));
    EXPECT_FALSE(d.Renderer->HasDirect3D());
    EXPECT_EQ(d.SurfaceShown, 0);
    // Resizing before the first device does nothing.
    d.Renderer->PanelResize();
    EXPECT_FALSE(d.Renderer->D3DInitialized());

    TGraphDisplayItem& pane = d.AddQuietPane(2);
    ASSERT_EQ(d.Active, 0);
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    GlDevice* first = TGraphDisplayRenderer::Device(pane);
    ASSERT_NE(first, nullptr);
    const std::weak_ptr<TRenderResource> firstDevice = pane.Device;
    EXPECT_TRUE(d.Renderer->D3DInitialized());
    EXPECT_EQ(d.SurfaceShown, 1);
    EXPECT_NE(pane.VertexBufferCoords, nullptr);
    EXPECT_NE(pane.VertexBufferGridVertical, nullptr);
    EXPECT_NE(pane.VertexBufferCursor, nullptr);
    EXPECT_NE(pane.Caption.D3DFont, nullptr);
    EXPECT_EQ(pane.CoordsLineCount, 21);
    EXPECT_EQ(pane.GridVerticalLineCount, 9);
    EXPECT_EQ(first->BackBufferSize(), QSize(320, 200));
    // InitD3D ends with a frame on the panel.
    EXPECT_TRUE(d.Panel().HasFrame());
    EXPECT_EQ(d.Props.MaximumVertexCount, 500000);

    // A device exists: D3DFree(False) keeps the shared object and fires nothing.
    d.Renderer->D3DFree(false);
    EXPECT_TRUE(d.Renderer->HasDirect3D());
    EXPECT_EQ(d.Destroyed, 0);

    // A second InitD3D replaces the device; the budget follows the device's limit.
    const GlDeviceCaps small{65535};
    GlDevice::SetCapsOverride(&small);
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    GlDevice::SetCapsOverride(nullptr);
    EXPECT_TRUE(firstDevice.expired());
    EXPECT_NE(pane.Device, nullptr);
    EXPECT_EQ(d.Props.MaximumVertexCount, 65534);
    EXPECT_EQ(d.Destroyed, 0);

    // Resize: re-made at the new size with AutoReInit, left alone without it.
    d.Panel().resize(400, 300);
    d.Renderer->PanelResize();
    EXPECT_EQ(TGraphDisplayRenderer::Device(pane)->BackBufferSize(), QSize(400, 300));
    d.Props.AutoReInit = false;
    d.Panel().resize(200, 100);
    d.Renderer->PanelResize();
    EXPECT_EQ(TGraphDisplayRenderer::Device(pane)->BackBufferSize(), QSize(400, 300));

    // Forced: the event fires and the shared object goes while the pane keeps its device.
    d.Renderer->D3DFree(true);
    EXPECT_EQ(d.Destroyed, 1);
    EXPECT_FALSE(d.Renderer->HasDirect3D());
    EXPECT_NE(TGraphDisplayRenderer::Device(pane), nullptr);
    EXPECT_TRUE(d.Renderer->RenderFrame(0));
}

TEST(RenderDevice, DeviceThatCannotBeMade) {
    // A back buffer larger than the rasteriser can hold: no device.
    FakeDisplay d(QSize(40000, 10));
    TGraphDisplayItem& pane = d.AddQuietPane(2);
    try {
        d.Renderer->InitD3D(0);
        ADD_FAILURE() << "no exception";
    } catch (const EGraphDisplayError& e) {
        EXPECT_STREQ(e.what(), "Error while creating D3D Device!");
    }
    EXPECT_EQ(pane.Device, nullptr);
    EXPECT_FALSE(d.Renderer->D3DInitialized());
    d.Props.SuppressErrors = true;
    EXPECT_FALSE(d.Renderer->InitD3D(0));
    EXPECT_EQ(pane.Device, nullptr);
    // Nothing to draw with: the frame does nothing.
    d.Renderer->Render();
    EXPECT_FALSE(d.Panel().HasFrame());
}

TEST(RenderDevice, CurveGeometryAndSampleSources) {
    FakeDisplay d(QSize(320, 200));
    TGraphDisplayItem& pane = d.AddQuietPane(2);
    TGraphDisplayGraphItem& strip = FakeDisplay::AddCurve(pane, 10, 0.5f, 3, 0x0000FF);
    TGraphDisplayGraphItem& bars = FakeDisplay::AddCurve(pane, 10, 0.5f, 4, 0x0000FF);
    TGraphDisplayGraphItem& other = FakeDisplay::AddCurve(pane, 10, 0.5f, 5, 0x0000FF);
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    // InitD3D does not build curves; InitializeGeometries does, asking the host first.
    EXPECT_EQ(strip.PrimitiveCount, 0);
    EXPECT_TRUE(d.Renderer->InitializeGeometries(0));
    EXPECT_EQ(d.SamplesAsked, 3);
    EXPECT_EQ(strip.PrimitiveCount, 9);
    EXPECT_EQ(bars.PrimitiveCount, 10);
    EXPECT_EQ(other.PrimitiveCount, 0);
    EXPECT_EQ(other.VertexBufferSamples, nullptr);
    EXPECT_EQ(pane.MaxPrimitiveCount(), 10);

    // Empty samples: the curve keeps its buffer and counts.
    strip.Samples.SetLength(0);
    const TRenderHandle before = strip.VertexBufferSamples;
    d.Renderer->CreateVertexesFromSamples(0, 0);
    EXPECT_EQ(strip.VertexBufferSamples, before);
    EXPECT_EQ(strip.PrimitiveCount, 9);

    // Samples from the sample thread: nothing is built here.
    d.Props.SampleInSeparateThread = true;
    d.Renderer->CreateVertexesFromSamples(0, 1);
    EXPECT_EQ(d.ThreadsStarted, 1);
    EXPECT_EQ(d.SamplesAsked, 4);
}

TEST(RenderPixels, LongestCurveTouchesBothEdges) {
    FakeDisplay d(QSize(320, 200));
    TGraphDisplayItem& pane = d.AddQuietPane(2);
    FakeDisplay::AddCurve(pane, 1000, 0.5f, 3, 0x0000FF);
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    d.Renderer->InitializeGeometries(0);
    d.Renderer->Render();
    const QImage f = d.Frame();
    // Value 0.5 of a 0 ... 1 span in the centred lane: world y -147.95, row 52.7.
    const int row = static_cast<int>(std::lround(WorldToPixel(300, -147.95, 2, 320, 200).Y));
    for (int x = 0; x < 320; x += 7) {
        EXPECT_EQ(Pixel(f, x, row), kRed) << x;
    }
    EXPECT_EQ(Pixel(f, 0, row), kRed);
    EXPECT_EQ(Pixel(f, 319, row), kRed);
    EXPECT_EQ(Pixel(f, 160, row - 1), kBlack);
    EXPECT_EQ(Pixel(f, 160, row + 1), kBlack);
}

TEST(RenderPixels, MarkerLinesAndHover) {
    FakeDisplay d(QSize(400, 300));
    TGraphDisplayItem& pane = d.AddQuietPane(2);
    FakeDisplay::AddCurve(pane, 2000, 0.5f, 3, 0x00FF00).Visible = false;
    pane.SetXMax(1000.0);
    TGraphDisplayMarker& red = pane.Markers.Add();
    red.X = 300.0;
    red.Color = 0x0000FF;
    TGraphDisplayMarker& green = pane.Markers.Add();
    green.X = 700.0;
    green.Color = 0x00FF00;
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    d.Renderer->InitializeGeometries(0);
    d.Renderer->Render();
    EXPECT_EQ(pane.MarkerLineCount, 2);

    const int n = pane.MaxPrimitiveCount() / 2;
    const int redColumn = ColumnOf(d, 0.3f * n, 1.0f);
    const int greenColumn = ColumnOf(d, 0.7f * n, 1.0f);
    QImage f = d.Frame();
    for (int y : {10, 150, 290}) {
        EXPECT_EQ(Pixel(f, redColumn, y), kRed) << y;
        EXPECT_EQ(Pixel(f, greenColumn, y), 0x00FF00u) << y;
    }
    EXPECT_EQ(Pixel(f, redColumn - 1, 150), kBlack);
    EXPECT_EQ(Pixel(f, redColumn + 1, 150), kBlack);

    d.Hover = 0;
    d.Renderer->Render();
    f = d.Frame();
    EXPECT_EQ(Pixel(f, redColumn, 150), kWhite);
    EXPECT_EQ(Pixel(f, greenColumn, 150), 0x00FF00u);

    // Markers hidden: no lines.
    pane.Markers.Visible = false;
    d.Renderer->Render();
    EXPECT_EQ(Pixel(d.Frame(), redColumn, 150), kBlack);
}

// A pane of x 0 ... 1000 with no curve drawn and the selection 250 ... 500 shown.
TGraphDisplayItem& SelectionPane(FakeDisplay& D) {
    TGraphDisplayItem& pane = D.AddQuietPane(2);
    FakeDisplay::AddCurve(pane, 2000, 0.5f, 3, 0x00FF00).Visible = false;
    pane.SetXMax(1000.0);
    pane.SelectionStart = 250.0;
    pane.SelectionEnd = 500.0;
    D.Props.ShowSelection = true;
    return pane;
}

TEST(RenderPixels, SelectionBandAndCursor) {
    FakeDisplay d(QSize(400, 300));
    TGraphDisplayItem& pane = SelectionPane(d);
    d.Props.ShowCursor = true;
    d.Props.SolidCursor = true;
    d.Playback = 750.0;
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    d.Renderer->InitializeGeometries(0);
    d.Renderer->Render();
    const QImage f = d.Frame();

    const int n = pane.MaxPrimitiveCount();
    const int start = ColumnOf(d, 0.25f * n / 2, -0.5f);
    const int end = ColumnOf(d, 0.5f * n / 2, -0.5f);
    const int cursor = ColumnOf(d, 0.75f * n / 2, -1.0f);
    // Edges opaque in the border colour, the band a dark blue shade over black.
    EXPECT_EQ(Pixel(f, start, 150), 0x111199u);
    EXPECT_EQ(Pixel(f, end, 150), 0x111199u);
    const QRgb inside = Pixel(f, (start + end) / 2, 150);
    EXPECT_NEAR(qRed(inside), 9, 3);
    EXPECT_NEAR(qGreen(inside), 9, 3);
    EXPECT_NEAR(qBlue(inside), 30, 3);
    EXPECT_EQ(Pixel(f, start - 3, 150), kBlack);
    EXPECT_EQ(Pixel(f, cursor, 150), kWhite);
    EXPECT_EQ(Pixel(f, cursor + 2, 150), kBlack);
}

TEST(RenderPixels, AMarkerOnASelectionEdgeStaysVisible) {
    // A marker placed at the selection start lands on the column of the selection's opaque
    // edge; it is drawn over it, blended as over the waveform.
    FakeDisplay d(QSize(400, 300));
    TGraphDisplayItem& pane = SelectionPane(d);
    for (const double x : {pane.SelectionStart, pane.SelectionEnd}) {
        TGraphDisplayMarker& marker = pane.Markers.Add();
        marker.X = x;
        marker.Color = 0x00FF00;
    }
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    d.Renderer->InitializeGeometries(0);
    d.Renderer->Render();
    const QImage f = d.Frame();

    const int n = pane.MaxPrimitiveCount();
    for (const float at : {0.25f, 0.5f}) {
        SCOPED_TRACE(at);
        const int edge = ColumnOf(d, at * n / 2, -0.5f);
        const int marker = ColumnOf(d, at * n / 2, 1.0f);
        ASSERT_EQ(marker, edge) << "the fixture no longer puts the marker on the edge";
        // Lime squared plus the border colour (0x111199) squared.
        const QRgb p = Pixel(f, marker, 150);
        EXPECT_EQ(qGreen(p), 255);
        EXPECT_LT(qRed(p), 8);
        EXPECT_NEAR(qBlue(p), 0x99 * 0x99 / 255, 3);
    }
}

TEST(RenderPixels, StackedLanesAtThePredictedRows) {
    FakeDisplay d(QSize(400, 300));
    TGraphDisplayItem& pane = d.AddQuietPane(4);
    pane.ChannelCount = 2;
    pane.Axis.Visible = true;
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    d.Renderer->Render();
    const QImage f = d.Frame();
    for (int slot = 1; slot <= 2; ++slot) {
        TMatrix4 world;
        ASSERT_TRUE(LaneTransform(4, 2, {0, slot}, world));
        const TVector4 p = TransformPoint({0, 0, -1, 1}, world);
        const int row = static_cast<int>(std::lround(WorldToPixel(p.X, p.Y, p.Z, 400, 300).Y));
        EXPECT_EQ(Pixel(f, 200, row), kWhite) << slot;
        EXPECT_EQ(Pixel(f, 200, row - 2), kBlack) << slot;
        EXPECT_EQ(Pixel(f, 200, row + 2), kBlack) << slot;
    }
}

TEST(RenderPixels, LegendInTheEditorsHalfTransparentGreenReads) {
    // The editor's curves are 0x008000, whose colour word carries half alpha; the legend text
    // drawn with it over its dark rim came out nearly black.
    FakeDisplay d(QSize(600, 300));
    TGraphDisplayItem& pane = d.AddQuietPane(2);
    FakeDisplay::AddCurve(pane, 100, 0.5f, 3, 0x008000).Visible = false;
    pane.GraphItems[0].Caption = QStringLiteral("Canal 1");
    pane.Legend.Visible = true;
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    d.Renderer->InitializeGeometries(0);
    d.Renderer->Render();
    const QImage f = d.Frame();
    double brightest = 0.0;
    for (int y = 15; y < 45; ++y) {
        for (int x = 60; x < 260; ++x) {
            brightest = std::max(brightest, ContrastRatio(0xFF000000u | Pixel(f, x, y),
                                                          0xFF000000u | kBlack));
        }
    }
    EXPECT_GE(brightest, 4.5);
}

TEST(RenderPixels, TextsWhereTheLayoutPutsThem) {
    FakeDisplay d(QSize(600, 300));
    TGraphDisplayItem& pane = d.AddQuietPane(2);
    FakeDisplay::AddCurve(pane, 100, 0.5f, 3, 0xFFFFFF).Visible = false;
    pane.GraphItems[0].Caption = QStringLiteral("Canal 1");
    pane.Caption.Visible = true;
    pane.Caption.Text = QStringLiteral("MMMMMM");
    pane.Legend.Visible = true;
    pane.Axis.AxisX.LabelsVisible = true;
    pane.Axis.AxisX.LabelSide = 0;
    d.AxisXText = [](double) { return QStringLiteral("H"); };
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    d.Renderer->InitializeGeometries(0);
    d.Renderer->Render();
    const QImage f = d.Frame();

    // Bounding box of the lit pixels inside a region.
    auto box = [](const QImage& f, QRect Region) {
        QRect r;
        for (int y = Region.top(); y <= Region.bottom(); ++y) {
            for (int x = Region.left(); x <= Region.right(); ++x) {
                if (Lit(Pixel(f, x, y))) {
                    r |= QRect(x, y, 1, 1);
                }
            }
        }
        return r;
    };
    // Caption: centred, its cell from row 25 on.
    const QRect caption = box(f, QRect(150, 0, 300, 60));
    ASSERT_FALSE(caption.isEmpty());
    EXPECT_NEAR((caption.left() + caption.right()) / 2.0, 300.0, 3.0);
    EXPECT_GE(caption.top(), 25);
    EXPECT_LE(caption.bottom(), 25 + 14);
    // Legend row 0 at (75, H / 15).
    const QRect legend = box(f, QRect(60, 15, 200, 30));
    ASSERT_FALSE(legend.isEmpty());
    EXPECT_GE(legend.left(), 75);
    EXPECT_LE(legend.left(), 77);
    EXPECT_GE(legend.top(), 20);
    // X labels at the bottom, centred on W / d x i.
    for (int i = 1; i <= 9; ++i) {
        const QRect label = box(f, QRect(60 * i - 20, 300 - 1 - 12, 40, 13));
        ASSERT_FALSE(label.isEmpty()) << i;
        EXPECT_NEAR((label.left() + label.right()) / 2.0, 60.0 * i, 2.0) << i;
    }

    // A font that cannot be made leaves only its own text out.
    pane.Legend.Font.Size = 0;
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    d.Renderer->InitializeGeometries(0);
    EXPECT_EQ(pane.Legend.D3DFont, nullptr);
    const QImage g = d.Frame();
    EXPECT_TRUE(box(g, QRect(60, 15, 200, 30)).isEmpty());
    EXPECT_EQ(box(g, QRect(150, 0, 300, 60)), caption);
}

TEST(RenderFrame, OrderAnimationAndAbandonedFrames) {
    FakeDisplay d(QSize(320, 200));
    TGraphDisplayItem& pane = d.AddQuietPane(2);
    FakeDisplay::AddCurve(pane, 100, 0.5f, 3, 0x00FF00);
    FakeDisplay::AddCurve(pane, 100, 0.5f, 3, 0x0000FF);
    // No active pane / no device: nothing happens.
    d.Active = -1;
    d.Renderer->Render();
    d.Active = 0;
    d.Renderer->Render();
    EXPECT_TRUE(d.Events.empty());

    ASSERT_TRUE(d.Renderer->InitD3D(0));
    d.Renderer->InitializeGeometries(0);
    d.Events.clear();
    d.Renderer->Render();
    EXPECT_EQ(d.Events, (std::vector<std::string>{"BeforeD3DRender", "BeforeD3DSamplesRender",
                                                  "AfterD3DSamplesRender", "AfterD3DRender"}));

    // Two drawn curves: the tilt-in lasts 26 frames.
    d.Props.Animate = true;
    ASSERT_TRUE(d.Renderer->SetupStartupAnim(0));
    EXPECT_FALSE(d.Renderer->SetupStartupAnim(3));
    int frames = 0;
    while (pane.Animating && frames < 100) {
        d.Renderer->Render();
        ++frames;
    }
    EXPECT_EQ(frames, 26);

    // A failure inside the curves' block drops only that block; one after it abandons the
    // frame, which still closes its scene so the next frame draws.
    GlDevice* device = TGraphDisplayRenderer::Device(pane);
    d.ThrowIn = "AfterD3DSamplesRender";
    EXPECT_TRUE(d.Renderer->RenderFrame(0));
    d.ThrowIn = "AfterD3DRender";
    const QImage before = device->PresentedImage();
    d.Renderer->Render();
    EXPECT_FALSE(device->InScene());
    EXPECT_EQ(device->PresentedImage().constBits(), before.constBits()); // not presented
    d.ThrowIn.clear();
    EXPECT_TRUE(d.Renderer->RenderFrame(0));
}

// ---------------------------------------------------------------- the waveform's picture

namespace {

bool NotBlack(QRgb c) {
    return qRed(c) > 16 || qGreen(c) > 16 || qBlue(c) > 16;
}

// The editor's pane: one lane of bars per channel, fixed 0 ... 1 scale.
TGraphDisplayItem& EditorPane(FakeDisplay& D, int Channels, std::size_t Length) {
    TGraphDisplayItem& pane = D.AddQuietPane(4);
    pane.ChannelCount = Channels;
    pane.Axis.AxisY.Max = 1.0;
    for (int c = 0; c < Channels; ++c) {
        TGraphDisplayGraphItem& g = FakeDisplay::AddCurve(pane, Length, 0.0f, 4, 0x008000);
        g.BaseColor = 0x00FF00;
        g.Channel = c;
    }
    pane.SetXMax(static_cast<double>(Length) * 4.0 * Channels);
    D.Props.MaximumVertexCount = 500000;
    D.Props.Antialiasing = true;
    return pane;
}

// Window column of sample M and row of value V of curve GraphIndex, through the transforms.
int SampleColumn(FakeDisplay& D, int GraphIndex, double M) {
    const TGraphDisplayGraphItem& g = D.Items()[0].GraphItems[GraphIndex];
    return ColumnOf(D, static_cast<float>(M / (2.0 * g.SampleStep)), 0.0f);
}
int ValueRow(FakeDisplay& D, int GraphIndex, double V) {
    TGraphDisplayItem& pane = D.Items()[0];
    D.Renderer->SetGraphItemTransform(0, GraphIndex);
    const TVector4 p = TransformPoint({0, static_cast<float>(V), 0, 1}, pane.WorldMatrix);
    const QSize size = D.Panel().size();
    return static_cast<int>(std::lround(WorldToPixel(p.X, p.Y, p.Z, size.width(), size.height()).Y));
}

// The lit rows of column X between rows Top and Bottom: first and last, -1 when none.
std::pair<int, int> LitRows(const QImage& F, int X, int Top, int Bottom) {
    int first = -1;
    int last = -1;
    for (int y = std::max(Top, 0); y <= std::min(Bottom, F.height() - 1); ++y) {
        if (NotBlack(Pixel(F, X, y))) {
            first = first < 0 ? y : first;
            last = y;
        }
    }
    return {first, last};
}

// A frame drawn as the device can, then the same frame by a device with only Caps.
std::pair<QImage, QImage> FrameAndFrameWith(FakeDisplay& D, const GlDeviceCaps& Caps) {
    D.Renderer->Invalidate();
    D.Renderer->Render();
    const QImage best = D.Frame();
    GlDevice::SetCapsOverride(&Caps);
    D.Renderer->Invalidate();
    D.Renderer->Render();
    GlDevice::SetCapsOverride(nullptr);
    return {best, D.Frame()};
}

} // namespace

TEST(WaveformPixels, EveryClickShowsAtZoomOne) {
    // Two minutes of a quiet bed with a 20 ms click (a 1 kHz square burst) every 10 s, the
    // clicks of the second channel 3.3 s later: at the editor's window sizes every click
    // reaches far up and far down in its column, and the bed stays low between them.
    constexpr std::size_t kRate = 44100;
    constexpr std::size_t kLength = 120 * kRate;
    for (const QSize size : {QSize(560, 300), QSize(1135, 420), QSize(1775, 640)}) {
        SCOPED_TRACE(size.width());
        FakeDisplay d(size);
        TGraphDisplayItem& pane = EditorPane(d, 2, kLength);
        std::vector<std::vector<std::size_t>> clicks(2);
        for (int c = 0; c < 2; ++c) {
            TGraphData& s = pane.GraphItems[c].Samples;
            std::uint32_t noise = 99u + static_cast<std::uint32_t>(c);
            for (std::size_t i = 0; i < kLength; ++i) {
                noise = noise * 1664525u + 1013904223u;
                s[i].Value = (static_cast<float>(noise >> 8) / 16777216.0f - 0.5f) * 0.02f;
            }
            for (std::size_t at = 5 * kRate + c * 33 * kRate / 10; at + 882 < kLength;
                 at += 10 * kRate) {
                for (std::size_t k = 0; k < 882; ++k) {
                    s[at + k].Value = (k / 22) % 2 == 0 ? 0.9f : -0.9f;
                }
                clicks[static_cast<std::size_t>(c)].push_back(at + 441);
            }
        }
        ASSERT_TRUE(d.Renderer->InitD3D(0));
        d.Renderer->InitializeGeometries(0);
        d.Renderer->Render();
        const QImage f = d.Frame();
        for (int c = 0; c < 2; ++c) {
            const int centre = ValueRow(d, c, 0.0);
            const int up = ValueRow(d, c, 0.7);
            const int down = ValueRow(d, c, -0.7);
            const int bed = ValueRow(d, c, 0.3);
            ASSERT_LT(up, centre);
            ASSERT_GT(down, centre);
            for (const std::size_t m : clicks[static_cast<std::size_t>(c)]) {
                const int x = SampleColumn(d, c, static_cast<double>(m));
                bool high = false;
                bool low = false;
                for (int k = x - 1; k <= x + 1; ++k) {
                    const auto [top, bottom] = LitRows(f, k, up - 40, down + 40);
                    high = high || (top >= 0 && top <= up);
                    low = low || (bottom >= down);
                }
                EXPECT_TRUE(high) << "channel " << c << " click at " << m;
                EXPECT_TRUE(low) << "channel " << c << " click at " << m;
                // Half-way to the next click only the bed shows.
                const int quiet = SampleColumn(d, c, static_cast<double>(m + 5 * kRate));
                if (m + 5 * kRate < kLength) {
                    const auto [top, bottom] = LitRows(f, quiet, up - 40, down + 40);
                    EXPECT_TRUE(top < 0 || top > bed) << m;
                }
            }
        }
    }
}

TEST(WaveformPixels, TonesFillTheirColumnsSymmetrically) {
    // A 250 ms tone burst at half scale in silence, and a full-scale square wave.
    constexpr std::size_t kRate = 44100;
    constexpr std::size_t kLength = 30 * kRate;
    FakeDisplay d(QSize(900, 400));
    TGraphDisplayItem& pane = EditorPane(d, 2, kLength);
    TGraphData& tone = pane.GraphItems[0].Samples;
    const std::size_t burst = 12 * kRate;
    for (std::size_t k = 0; k < kRate / 4; ++k) {
        tone[burst + k].Value =
            static_cast<float>(0.5 * std::sin(2.0 * 3.14159265358979 * 440.0 * k / kRate));
    }
    TGraphData& square = pane.GraphItems[1].Samples;
    for (std::size_t i = 0; i < kLength; ++i) {
        square[i].Value = (i / 220) % 2 == 0 ? 1.0f : -1.0f;
    }
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    d.Renderer->InitializeGeometries(0);
    d.Renderer->Render();
    const QImage f = d.Frame();

    // The burst: every column it covers is filled from -0.5 to +0.5 about the lane's centre.
    const int centre = ValueRow(d, 0, 0.0);
    const int first = SampleColumn(d, 0, static_cast<double>(burst));
    const int last = SampleColumn(d, 0, static_cast<double>(burst + kRate / 4));
    ASSERT_GE(last - first, 5);
    const int scanTop = ValueRow(d, 0, 0.8);
    const int scanBottom = ValueRow(d, 0, -0.8);
    for (int x = first + 1; x < last; ++x) {
        const auto [top, bottom] = LitRows(f, x, scanTop, scanBottom);
        EXPECT_NEAR(top, ValueRow(d, 0, 0.5), 1) << x;
        EXPECT_NEAR(bottom, ValueRow(d, 0, -0.5), 1) << x;
        EXPECT_NEAR(centre - top, bottom - centre, 1) << x;
        for (int y = top; y <= bottom; ++y) {
            EXPECT_TRUE(NotBlack(Pixel(f, x, y))) << x << "," << y;
        }
    }
    // Outside the burst nothing shows.
    EXPECT_EQ(LitRows(f, first - 5, scanTop, scanBottom).first, -1);

    // The square wave reaches the lane's edges in every column.
    const int top = ValueRow(d, 1, 1.0);
    const int bottom = ValueRow(d, 1, -1.0);
    for (int x = 2; x < 898; x += 7) {
        const auto rows = LitRows(f, x, top - 20, bottom + 20);
        EXPECT_NEAR(rows.first, top, 1) << x;
        EXPECT_NEAR(rows.second, bottom, 1) << x;
    }
}

TEST(WaveformPixels, DeepZoomDrawsTheLineThroughTheSamples) {
    constexpr std::size_t kLength = 100000;
    FakeDisplay d(QSize(400, 300));
    TGraphDisplayItem& pane = EditorPane(d, 1, kLength);
    TGraphData& s = pane.GraphItems[0].Samples;
    for (std::size_t i = 0; i < kLength; ++i) {
        s[i].Value = static_cast<float>(0.6 * std::sin(static_cast<double>(i) * 0.37) +
                                        0.2 * std::sin(static_cast<double>(i) * 0.051));
    }
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    d.Renderer->InitializeGeometries(0);
    // About 12 pixels per sample, a little past the middle of the file.
    pane.ZoomFactor = 12.0 * kLength / 400.0;
    d.ScrollMax = static_cast<int>(600 * pane.ZoomFactor);
    pane.ViewPosition = 0.5371 * pane.XMax;
    d.Renderer->Render();
    const QImage f = d.Frame();
    int checked = 0;
    const double first = 0.5371 * kLength;
    for (std::size_t m = static_cast<std::size_t>(first); m < first + 40; ++m) {
        const int x = SampleColumn(d, 0, static_cast<double>(m));
        if (x < 2 || x > 397) {
            continue;
        }
        const int y = ValueRow(d, 0, s[m].Value);
        bool lit = false;
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                lit = lit || NotBlack(Pixel(f, x + dx, y + dy));
            }
        }
        EXPECT_TRUE(lit) << m;
        ++checked;
    }
    EXPECT_GT(checked, 25);
    // A line, not bars: half-way between two samples far apart in value the baseline stays
    // dark.
    const int centre = ValueRow(d, 0, 0.0);
    int darkCentres = 0;
    for (int x = 5; x < 395; ++x) {
        darkCentres += NotBlack(Pixel(f, x, centre)) ? 0 : 1;
    }
    EXPECT_GT(darkCentres, 300);
}

TEST(WaveformPixels, TheColumnLookupDrawsWhatTheTrianglesDrew) {
    // The curves drawn by one lookup quad against the same curves as a triangle per span
    // (the path of a device without float textures): the same pixels, at zoom 1, in the
    // finest summary blocks and at deep zoom with the dots on the samples.
    constexpr std::size_t kLength = 400000;
    FakeDisplay d(QSize(700, 360));
    TGraphDisplayItem& pane = EditorPane(d, 2, kLength);
    for (int c = 0; c < 2; ++c) {
        TGraphData& s = pane.GraphItems[c].Samples;
        for (std::size_t i = 0; i < kLength; ++i) {
            const double swell = 0.5 + 0.5 * std::sin(static_cast<double>(i) * 3e-5 * (c + 1));
            s[i].Value = static_cast<float>(swell * std::sin(static_cast<double>(i) * 0.21) -
                                            (c == 1 ? 0.2 : 0.0));
        }
    }
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    d.Renderer->InitializeGeometries(0);
    const GlDeviceCaps triangles{0xFFFFF, false};
    for (const double zoom : {1.0, 40.0, 3000.0}) {
        SCOPED_TRACE(zoom);
        pane.ZoomFactor = zoom;
        d.ScrollMax = static_cast<int>(600 * zoom);
        pane.ViewPosition = zoom > 1.0 ? 0.4123 * pane.XMax : 0.0;
        const auto [lookup, drawn] = FrameAndFrameWith(d, triangles);
        ASSERT_EQ(lookup.size(), drawn.size());
        int lit = 0;
        int differ = 0;
        for (int y = 0; y < drawn.height(); ++y) {
            for (int x = 0; x < drawn.width(); ++x) {
                const QRgb a = Pixel(lookup, x, y);
                const QRgb b = Pixel(drawn, x, y);
                lit += NotBlack(b) ? 1 : 0;
                const int most =
                    std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))});
                differ += most > 3 ? 1 : 0;
            }
        }
        ASSERT_GT(lit, 1000);
        // A pixel centre exactly on a span's end may fall either way.
        EXPECT_LE(differ, lit / 100) << differ << " of " << lit;
    }
}

TEST(WaveformPixels, TheSelectionInOnePassMatchesItsThreePasses) {
    // The selection band's three blended fills applied as one table of what they do to each
    // channel value, against the fills drawn one by one: the same frame, pixel for pixel,
    // over curves, grid and background, for each blend operation and a light and a dark
    // band colour (frames drawn one after the other, as a display draws them).
    constexpr std::size_t kLength = 200000;
    FakeDisplay d(QSize(500, 300));
    TGraphDisplayItem& pane = EditorPane(d, 2, kLength);
    pane.Axis.AxisY.GridVisible = true;
    for (int c = 0; c < 2; ++c) {
        TGraphData& s = pane.GraphItems[c].Samples;
        for (std::size_t i = 0; i < kLength; ++i) {
            s[i].Value = static_cast<float>(std::sin(static_cast<double>(i) * 1e-4 * (c + 1)) *
                                            std::sin(static_cast<double>(i) * 0.3));
        }
    }
    pane.SelectionStart = 0.2 * pane.XMax;
    pane.SelectionEnd = 0.7 * pane.XMax;
    d.Props.ShowSelection = true;
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    d.Renderer->InitializeGeometries(0);
    ASSERT_TRUE(TGraphDisplayRenderer::Device(pane)->CanMapChannels());
    const GlDeviceCaps passes{0xFFFFF, true, false};
    for (const int op : {1, 2, 3, 4, 5}) {
        for (const TColor colour : {TColor{0xEEEEEE}, TColor{0x402010}}) {
            SCOPED_TRACE(testing::Message() << "op " << op << " colour " << colour);
            pane.SelectionBlendOp = op;
            pane.SelectionColor = colour;
            const auto [one, three] = FrameAndFrameWith(d, passes);
            ASSERT_EQ(one.size(), three.size());
            // Left of the band the curves show, whatever operation the previous frame's band
            // used.
            const int left = SampleColumn(d, 0, 0.1 * kLength);
            EXPECT_GE(LitRows(one, left, 0, one.height() - 1).first, 0);
            int differ = 0;
            for (int y = 0; y < one.height(); ++y) {
                for (int x = 0; x < one.width(); ++x) {
                    differ += Pixel(one, x, y) != Pixel(three, x, y) ? 1 : 0;
                }
            }
            EXPECT_EQ(differ, 0);
        }
    }
}

TEST(WaveformPixels, MarkersLandWhereTheMappingPutsThem) {
    // A stored marker's x lands on the column the camera and curve transform give it, for
    // the editor's pane of a 3-minute stereo file, at zoom 1 and zoomed in.
    constexpr std::size_t kLength = 180 * 44100;
    FakeDisplay d(QSize(1135, 420));
    TGraphDisplayItem& pane = EditorPane(d, 2, kLength);
    const std::vector<double> seconds = {0.0, 5.0, 12.5, 70.5, 123.45, 179.9};
    for (const double s : seconds) {
        TGraphDisplayMarker& marker = pane.Markers.Add();
        marker.X = s / 180.0 * pane.XMax;
        marker.Color = 0x0000FF;
    }
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    d.Renderer->InitializeGeometries(0);
    for (const double zoom : {1.0, 7.5}) {
        SCOPED_TRACE(zoom);
        pane.ZoomFactor = zoom;
        d.ScrollMax = static_cast<int>(600 * zoom);
        pane.ViewPosition = zoom > 1.0 ? 0.05 * pane.XMax : 0.0;
        d.Renderer->Render();
        const QImage f = d.Frame();
        const double n = pane.MaxPrimitiveCount();
        // World x = 1200.00003270771 / N x zoom x (X / XMax x N / 2) - scroll - 0.2; then
        // the camera at the markers' plane (z = 3).
        for (const double s : seconds) {
            const double vx = s / 180.0 * n / 2.0;
            const double wx = 1200.00003270771 / n * zoom * vx - pane.GetViewScrollPosition() - 0.2;
            const double px = 1135 / 2.0 * (1.0 + 2.4142136 * (wx - 300.0) / 726.0);
            const int column = static_cast<int>(std::lround(px));
            if (column < 1 || column > 1133) {
                continue;
            }
            EXPECT_EQ(Pixel(f, column, 200), kRed) << s;
        }
    }
}

TEST(RenderFrame, DrawsOnlyWhenSomethingChanged) {
    FakeDisplay d(QSize(320, 200));
    TGraphDisplayItem& pane = EditorPane(d, 2, 50000);
    d.Props.ShowCursor = true;
    d.Props.ShowSelection = true;
    d.Playback = 1000.0;
    TGraphDisplayMarker& marker = pane.Markers.Add();
    marker.X = 5000.0;
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    d.Renderer->InitializeGeometries(0);
    d.Renderer->Render();
    const quint64 start = d.Renderer->FramesPresented();
    // The host's 50 ms timer over a few idle seconds: no frame.
    for (int i = 0; i < 100; ++i) {
        d.Renderer->Render();
    }
    EXPECT_EQ(d.Renderer->FramesPresented(), start);

    // Each change draws exactly one frame.
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"hover", [&] { d.Hover = 0; }},
        {"cursor", [&] { d.Playback = 2000.0; }},
        {"marker", [&] { marker.X = 6000.0; }},
        {"selection", [&] { pane.SelectionStart = 100.0; }},
        {"zoom", [&] { pane.ZoomFactor = 2.0; }},
        {"scroll", [&] { pane.ViewPosition = 1000.0; }},
        {"amplitude", [&] { pane.AmplitudeFactor = 2.0f; }},
        {"model", [&] { d.Renderer->InitializeGeometries(0); }},
        {"invalidated", [&] { d.Renderer->Invalidate(); }},
    };
    quint64 expected = start;
    for (const auto& [name, change] : changes) {
        change();
        for (int i = 0; i < 5; ++i) {
            d.Renderer->Render();
        }
        EXPECT_EQ(d.Renderer->FramesPresented(), ++expected) << name;
    }
}

TEST(RenderDevice, FramesOfAShownDisplayGoStraightToTheScreen) {
    // The real display widget on screen, drawing on its surface: its frames are shown without
    // being read back, and what the screen shows is the frame (read back on request, as a
    // grab of the window does).
    TGraphDisplay3D display;
    display.resize(420, 260);
    display.ShowCursor = true;
    display.SolidCursor = true;
    double playback = 0.0;
    display.OnNeedPlaybackPosition = [&playback](QObject*, TGraphDisplayItem*) { return playback; };
    TGraphDisplayItem& pane = display.Items().Add();
    pane.DisplayMode = 4;
    pane.ChannelCount = 2;
    pane.Axis.Visible = false;
    pane.Axis.AxisY.LabelsVisible = false;
    pane.Axis.AxisX.LabelsVisible = false;
    pane.Axis.AxisY.GridVisible = false;
    pane.Axis.AxisX.GridVisible = false;
    pane.Axis.AxisY.ScaleMode = 3;
    pane.Legend.Visible = false;
    pane.Caption.Visible = false;
    constexpr std::size_t kLength = 20000;
    for (int c = 0; c < 2; ++c) {
        TGraphDisplayGraphItem& g = pane.GraphItems.Add();
        g.Channel = c;
        g.Color = 0x00FF00;
        g.BaseColor = 0x00FF00;
        g.PrimitiveType = 4;
        g.Samples.SetLength(kLength);
        for (std::size_t i = 0; i < kLength; ++i) {
            g.Samples[i].Value = (i / 50) % 2 == 0 ? 0.8f : -0.8f;
        }
    }
    pane.SetXMax(static_cast<double>(kLength) * 8.0);
    // Where the processor rasterises, frames are read back unless asked otherwise.
    display.Panel()->SetDirectPresentation(TRenderPanel::TDirectPresentation::Always);
    display.show();
    display.Initialize(0);
    GlDevice* device = TGraphDisplayRenderer::Device(pane);
    ASSERT_NE(device, nullptr);
    QWidget* panel = display.Panel();
    auto settle = [](int Ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < Ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    };
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000 && !static_cast<TRenderPanel*>(panel)->HasFrame()) {
        playback += 1.0;
        display.Render();
        settle(50);
    }
    ASSERT_TRUE(static_cast<TRenderPanel*>(panel)->HasFrame());
    // Frames while the cursor moves: each presented, none read back.
    const quint64 readBacks = device->ReadBackCount();
    const quint64 presented = device->PresentCount();
    for (int i = 0; i < 10; ++i) {
        playback = static_cast<double>(i + 1) * 4000.0;
        display.Render();
        settle(20);
    }
    EXPECT_GE(device->PresentCount(), presented + 10);
    EXPECT_EQ(device->ReadBackCount(), readBacks);

    settle(200);
    const QImage frame = static_cast<TRenderPanel*>(panel)->Frame();
    ASSERT_FALSE(frame.isNull());
    const QPoint origin = panel->mapToGlobal(QPoint(0, 0));
    const QImage screen =
        QGuiApplication::primaryScreen()
            ->grabWindow(0, origin.x(), origin.y(), panel->width(), panel->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(screen.size(), frame.size() / frame.devicePixelRatio());
    int lit = 0;
    int differ = 0;
    for (int y = 0; y < screen.height(); y += 3) {
        for (int x = 0; x < screen.width(); x += 3) {
            const QRgb shown = screen.pixel(x, y) & 0xFFFFFFu;
            lit += NotBlack(shown) ? 1 : 0;
            differ += shown != (Pixel(frame, x, y) & 0xFFFFFFu) ? 1 : 0;
        }
    }
    EXPECT_GT(lit, 500);
    EXPECT_EQ(differ, 0);
}

TEST(RenderDevice, BackgroundPicture) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(255, 0, 0));
    picture.setPixel(1, 0, qRgb(0, 255, 0));
    picture.setPixel(0, 1, qRgb(0, 0, 255));
    picture.setPixel(1, 1, qRgb(255, 255, 255));
    const QString path = dir.filePath(QStringLiteral("back.png"));
    ASSERT_TRUE(picture.save(path));

    FakeDisplay d(QSize(200, 100));
    TGraphDisplayItem& pane = d.AddQuietPane(2);
    pane.BackgroundPicture = dir.filePath(QStringLiteral("missing.png"));
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    EXPECT_EQ(pane.BackgroundSurface, nullptr);

    pane.BackgroundPicture = path;
    ASSERT_TRUE(d.Renderer->InitD3D(0));
    ASSERT_NE(pane.BackgroundSurface, nullptr);
    EXPECT_EQ(pane.BackgroundRect, (TRect{0, 0, 2, 2}));
    const QImage f = d.Frame();
    // Stretched with linear filtering: pure colours near the corners, a blend between.
    EXPECT_EQ(Pixel(f, 2, 2), kRed);
    EXPECT_EQ(Pixel(f, 197, 97), kWhite);
    const QRgb middle = Pixel(f, 100, 2);
    EXPECT_GT(qRed(middle), 60);
    EXPECT_GT(qGreen(middle), 60);
}
