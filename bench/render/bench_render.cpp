// Frame time of the editor's waveform pane on this machine's OpenGL, and the cost of
// building its curve geometry against a plain pass over the samples.
//
// The pane: two stacked lanes of bars for a 5-minute 44.1 kHz stereo file, a budget of
// 500000 vertices per curve, antialiasing on, in a 1920 x 1080 panel, with the playback
// cursor, x labels at both edges, a legend and a caption as the editor shows them. The floor
// of the frame ratios is a frame that only clears and presents, in the same run; a second
// floor is a frame that covers the panel once with an opaque quad, the least a picture that
// fills the panel costs where the rasteriser is the processor.
//
// Then the real display widget, shown and driven by the editor's 50 ms render timer with
// nothing changing: how many frames it still presents per second.

#include "display/graph_display_3d.h"
#include "display/model/display_owner.h"
#include "display/model/items.h"
#include "display/render/custom_vertex.h"
#include "display/render/gl/gl_device.h"
#include "display/render/render_panel.h"
#include "display/render/renderer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

using namespace tavrela;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t kSamples = 5 * 60 * 44100;
constexpr int kFrames = 50;

double Ms(Clock::duration D) {
    return std::chrono::duration<double, std::milli>(D).count();
}

// The editor's display as the renderer sees it.
class BenchDisplay final : public IGraphDisplayOwner, public IRenderHost {
public:
    BenchDisplay() {
        FPanel.resize(1920, 1080);
        Props.MaximumVertexCount = 500000;
        Props.Antialiasing = true;
        Props.Animate = false;
        Props.ShowCursor = true;
        Props.SolidCursor = true;
        Renderer = std::make_unique<TGraphDisplayRenderer>(*this);
    }
    ~BenchDisplay() override {
        Renderer->D3DFree(true);
        FItems.Clear();
    }
    int ActiveIndex() const override { return FActive; }
    void StoreActiveIndex(int Index) override { FActive = Index; }
    void NotifyMarkerChange(TGraphDisplayItem&, TGraphDisplayMarker&,
                            TGraphDisplayMarkerChangeType) override {}
    void InvalidatePanel() override {}
    int StandardScrollBarMax() const override { return ScrollMax; }
    TGraphDisplayItems& Items() override { return FItems; }
    long long HoverMarkerIndex() const override { return -1; }
    TRenderProperties& RenderProperties() override { return Props; }
    TRenderPanel& Panel() override { return FPanel; }
    bool DisplayVisible() const override { return true; }
    int GetScrollPosition() override { return ScrollPosition; }
    int GetScrollMax() override { return ScrollMax; }
    void ShowDrawingSurface() override {}
    void FollowPlayback() override {}
    void StartSampleThread(int, int) override {}
    void D3DDestroy() override {}
    void NeedSamples(TGraphDisplayItem&, TGraphDisplayGraphItem&) override {}
    void BeforeD3DRender(TGraphDisplayItem&) override {}
    void BeforeD3DSamplesRender(TGraphDisplayItem&) override {}
    void AfterD3DSamplesRender(TGraphDisplayItem&) override {}
    void AfterD3DRender(TGraphDisplayItem&) override {}
    std::optional<double> NeedPlaybackPosition(TGraphDisplayItem& Item) override {
        return Item.XMax * 0.4;
    }
    std::optional<QString> NeedAxisXText(TGraphDisplayItem& Item, double Value) override {
        // A clock text, as the editor writes it.
        const double seconds = Value / Item.XMax * 300.0;
        const int whole = static_cast<int>(seconds);
        return QString::asprintf("%02d:%02d:%02d.%02d", whole / 3600, whole / 60 % 60, whole % 60,
                                 static_cast<int>((seconds - whole) * 100));
    }
    std::optional<QString> NeedAxisYText(TGraphDisplayItem&, double) override {
        return std::nullopt;
    }

    std::unique_ptr<TGraphDisplayRenderer> Renderer;
    TRenderProperties Props;
    int ScrollPosition = 0;
    int ScrollMax = 600;

private:
    int FActive = -1;
    TRenderPanel FPanel;
    TGraphDisplayItems FItems{this};
};

struct Stats {
    double Median = 0.0;
    double Worst = 0.0;
};

Stats Summarise(std::vector<double> V) {
    std::sort(V.begin(), V.end());
    return {V[V.size() / 2], V.back()};
}

// A frame that only clears the back buffer and presents it.
Stats ClearFrames(GlDevice& Device) {
    std::vector<double> times;
    QOpenGLFunctions* f = QOpenGLContext::currentContext()->functions();
    for (int i = 0; i < kFrames; ++i) {
        const auto t0 = Clock::now();
        Device.Clear(0xFF000000u);
        Device.Present();
        f->glFinish();
        times.push_back(Ms(Clock::now() - t0));
    }
    return Summarise(times);
}

// A frame that clears, covers the whole back buffer once with an opaque quad and presents:
// the least that any picture covering the panel costs on this rasteriser.
Stats FillFrames(GlDevice& Device) {
    std::vector<double> times;
    QOpenGLFunctions* f = QOpenGLContext::currentContext()->functions();
    auto buffer = Device.CreateVertexBuffer(6 * sizeof(TCustomVertex));
    if (!buffer) {
        return {};
    }
    const TCustomVertex quad[6] = {{-1, -1, 0.5f, 0xFF204060u}, {1, -1, 0.5f, 0xFF204060u},
                                   {-1, 1, 0.5f, 0xFF204060u},  {1, -1, 0.5f, 0xFF204060u},
                                   {1, 1, 0.5f, 0xFF204060u},   {-1, 1, 0.5f, 0xFF204060u}};
    void* p = buffer->Lock(0, sizeof quad);
    if (p == nullptr) {
        return {};
    }
    std::memcpy(p, quad, sizeof quad);
    buffer->Unlock();
    for (const GlTransformState t :
         {GlTransformState::World, GlTransformState::View, GlTransformState::Projection}) {
        Device.SetTransform(t, TMatrix4::Identity());
    }
    Device.SetRenderState(GlRenderState::AlphaBlendEnable, 0);
    for (int i = 0; i < kFrames; ++i) {
        const auto t0 = Clock::now();
        Device.Clear(0xFF000000u);
        Device.BeginScene();
        Device.SetFVF(kCustomVertexFormat);
        Device.SetStreamSource(buffer);
        Device.DrawPrimitive(GlPrimitiveType::TriangleList, 0, 2);
        Device.EndScene();
        Device.Present();
        f->glFinish();
        times.push_back(Ms(Clock::now() - t0));
    }
    return Summarise(times);
}

// Fills a curve with a tone under a slow swell plus a little noise: values over the whole
// range.
void FillCurve(TGraphDisplayGraphItem& G, int Channel) {
    G.Samples.SetLength(kSamples);
    std::uint32_t noise = 12345u + static_cast<std::uint32_t>(Channel);
    for (std::size_t i = 0; i < kSamples; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const double swell = 0.5 + 0.5 * std::sin(static_cast<double>(i) * 2e-5);
        const double v = swell * std::sin(static_cast<double>(i) * 0.0627 * (Channel + 1)) +
                         (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.1;
        G.Samples[i].Value = static_cast<float>(v);
    }
}

// The editor's two curves of bars.
void AddCurves(TGraphDisplayItem& Pane, TColor Top0, TColor Top1, TColor Base) {
    for (int c = 0; c < 2; ++c) {
        TGraphDisplayGraphItem& g = Pane.GraphItems.Add();
        g.Caption = QStringLiteral("Canal %1").arg(c + 1);
        g.Color = c == 0 ? Top0 : Top1;
        g.BaseColor = Base;
        g.Channel = c;
        g.PrimitiveType = 4;
        FillCurve(g, c);
    }
    Pane.SetXMax(static_cast<double>(kSamples) * 8.0);
}

void Wait(int Ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < Ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

// The editor's pane on the real widget, left alone under its 50 ms render timer.
double IdleFramesPerSecond() {
    TGraphDisplay3D display;
    display.resize(1280, 720);
    display.MaximumVertexCount = 500000;
    display.Antialiasing = true;
    display.Animate = false;
    display.ShowCursor = true;
    display.SolidCursor = true;
    display.OnNeedPlaybackPosition = [](QObject*, TGraphDisplayItem* Item) {
        return Item->XMax * 0.4;
    };
    TGraphDisplayItem& pane = display.Items().Add();
    pane.DisplayMode = 4;
    pane.ChannelCount = 2;
    pane.Axis.Visible = false;
    pane.Axis.AxisY.LabelsVisible = false;
    pane.Axis.AxisY.GridVisible = false;
    pane.Axis.AxisX.GridVisible = false;
    pane.Axis.AxisY.ScaleMode = 3;
    pane.Caption.Text = QStringLiteral("demo.mp3");
    AddCurves(pane, 0x008000, 0x008000, 0x00FF00);
    display.show();
    display.Initialize(0);
    QTimer timer;
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, &display, [&display] { display.Render(); });
    timer.start();
    Wait(1500); // settle: the first frames after the device is made
    // Frames go straight to the screen once the panel is shown, so they are counted at the
    // device (every frame presented, shown or read back), not as paints of the panel.
    GlDevice* device = TGraphDisplayRenderer::Device(pane);
    if (device == nullptr) {
        return -1.0;
    }
    const quint64 before = device->PresentCount();
    constexpr int kIdleMs = 3000;
    Wait(kIdleMs);
    timer.stop();
    return static_cast<double>(device->PresentCount() - before) * 1000.0 / kIdleMs;
}

Stats Frames(BenchDisplay& D) {
    std::vector<double> times;
    QOpenGLFunctions* f = QOpenGLContext::currentContext()->functions();
    for (int i = 0; i < kFrames; ++i) {
        // Nothing changes between these frames: each is asked for as a change would.
        D.Renderer->Invalidate();
        const auto t0 = Clock::now();
        D.Renderer->Render();
        f->glFinish();
        times.push_back(Ms(Clock::now() - t0));
    }
    return Summarise(times);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    BenchDisplay d;
    TGraphDisplayItem& pane = d.Items().Add();
    pane.DisplayMode = 4;
    pane.ChannelCount = 2;
    pane.Axis.AxisY.LabelsVisible = false;
    pane.Axis.AxisY.ScaleMode = 3;
    pane.Caption.Text = QStringLiteral("demo.mp3");
    AddCurves(pane, 0x00FF00, 0x00FFFF, 0x008000);

    if (!d.Renderer->InitD3D(0)) {
        std::fprintf(stderr, "bench-render: no OpenGL device\n");
        return 1;
    }
    GlDevice& device = *TGraphDisplayRenderer::Device(pane);

    // Geometry of both curves against one plain pass over the same samples.
    std::vector<double> build;
    std::vector<double> scan;
    volatile float sink = 0.0f;
    for (int round = 0; round < 5; ++round) {
        auto t0 = Clock::now();
        float sum = 0.0f;
        for (const TGraphDisplayGraphItem& g : pane.GraphItems) {
            for (const TGDGISample& s : g.Samples) {
                sum += std::fabs(s.Value);
            }
        }
        sink = sink + sum;
        scan.push_back(Ms(Clock::now() - t0));
        t0 = Clock::now();
        d.Renderer->InitializeGeometries(0);
        build.push_back(Ms(Clock::now() - t0));
    }
    const Stats b = Summarise(build);
    const Stats s = Summarise(scan);

    // Warm up: the first frames compile the driver's shaders.
    for (int i = 0; i < 3; ++i) {
        d.Renderer->Invalidate();
        d.Renderer->Render();
    }
    const Stats zoom1 = Frames(d);

    pane.ZoomFactor = 16.0;
    d.ScrollMax = 9600;
    d.ScrollPosition = 4200;
    pane.ViewPosition = 4200.0 / 600.0 * pane.XMax / 16.0;
    const Stats zoom16 = Frames(d);

    // A frame with the pane but no curves.
    pane.GraphItems[0].Visible = false;
    pane.GraphItems[1].Visible = false;
    const Stats empty = Frames(d);
    // Floor: a frame with nothing but clearing and presenting.
    const Stats clear = ClearFrames(device);
    const Stats fill = FillFrames(device);
    const double idle = IdleFramesPerSecond();

    std::printf("samples_per_curve: %zu samples\n", kSamples);
    std::printf("back_buffer_samples: %d samples\n", device.Samples());
    std::printf("geometry_ms: %.2f ms\n", b.Median);
    std::printf("scan_ms: %.2f ms\n", s.Median);
    std::printf("geometry_vs_scan: %.2f ratio\n", b.Median / s.Median);
    std::printf("frame_ms_zoom1: %.2f ms median\n", zoom1.Median);
    std::printf("frame_ms_zoom1_worst: %.2f ms\n", zoom1.Worst);
    std::printf("frame_ms_zoom16: %.2f ms median\n", zoom16.Median);
    std::printf("frame_ms_zoom16_worst: %.2f ms\n", zoom16.Worst);
    std::printf("frame_ms_empty: %.2f ms median\n", empty.Median);
    std::printf("frame_ms_clear: %.2f ms median\n", clear.Median);
    std::printf("frame_ms_fill: %.2f ms median\n", fill.Median);
    std::printf("fill_vs_clear: %.2f ratio\n", fill.Median / clear.Median);
    std::printf("frame_vs_fill_zoom1: %.2f ratio\n", zoom1.Median / fill.Median);
    std::printf("frame_vs_fill_zoom16: %.2f ratio\n", zoom16.Median / fill.Median);
    std::printf("zoom1_vs_empty: %.2f ratio\n", zoom1.Median / empty.Median);
    std::printf("zoom16_vs_empty: %.2f ratio\n", zoom16.Median / empty.Median);
    std::printf("frame_vs_clear_zoom1: %.2f ratio\n", zoom1.Median / clear.Median);
    std::printf("frame_vs_clear_zoom16: %.2f ratio\n", zoom16.Median / clear.Median);
    std::printf("idle_frames_per_s: %.2f frames/s\n", idle);
    return sink == -1.0f ? 1 : 0;
}
