#include "renderer.h"

#include "display/model/color.h"
#include "display/model/items.h"
#include "column_geometry.h"
#include "gl/gl_device.h"
#include "overlay_geometry.h"
#include "render_panel.h"
#include "sample_geometry.h"
#include "transforms.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPointer>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <future>
#include <vector>

namespace tavrela {

namespace {

// Messages of the overlay buffers: creation, lock, copy.
struct TBufferMessages {
    const char* Create;
    const char* Lock;
};
constexpr TBufferMessages kCoordsMessages{"Error: CreateVertexBuffer for coordinates.",
                                          "Error: VertexBufferCoords.Lock."};
constexpr TBufferMessages kGridMessages{"Error: CreateVertexBuffer for vertical grid.",
                                        "Error: VertexBufferGridVertical.Lock."};
constexpr TBufferMessages kSelectionMessages{"Error: CreateVertexBuffer for selection.",
                                             "Error: VertexBufferSelection.Lock."};
constexpr TBufferMessages kMarkerMessages{"Error: CreateVertexBuffer for markers.",
                                          "Error: VertexBufferMarkers.Lock."};
constexpr TBufferMessages kCursorMessages{"Error: CreateVertexBuffer for cursor.",
                                          "Error: VertexBufferCursor.Lock."};
constexpr const char* kNoMemory = "Error: Not enough memory to create vertex buffer for samples.";

// Height of the pane's selection band in curve units: far beyond the view.
constexpr double kPaneSelectionHeight = 4000.0 * 210000.0;

} // namespace

TGraphDisplayRenderer::TGraphDisplayRenderer(IRenderHost& Host) : FHost(Host) {}

TGraphDisplayRenderer::~TGraphDisplayRenderer() = default;

void TGraphDisplayRenderer::Fail(const char* Message) const {
    if (!FHost.RenderProperties().SuppressErrors) {
        throw EGraphDisplayError(Message);
    }
}

GlDevice* TGraphDisplayRenderer::Device(const TGraphDisplayItem& Item) {
    return dynamic_cast<GlDevice*>(Item.Device.get());
}

TGraphDisplayItem* TGraphDisplayRenderer::Pane(int Index) const {
    TGraphDisplayItems& items = FHost.Items();
    if (Index < 0 || Index >= items.Count()) {
        return nullptr;
    }
    return &items[Index];
}

TGraphDisplayItem* TGraphDisplayRenderer::PaneWithDevice(int Index) const {
    TGraphDisplayItem* item = Pane(Index);
    return item != nullptr && Device(*item) != nullptr ? item : nullptr;
}

namespace {

// Replaces Target with a new buffer holding Bytes bytes of Data: create, lock, copy,
// unlock. An empty array leaves no buffer (there is nothing to draw).
bool Upload(GlDevice& Device, TRenderHandle& Target, const void* Data, std::size_t Bytes,
            const TBufferMessages& Messages, const std::function<void(const char*)>& Fail) {
    Target.reset();
    if (Bytes == 0) {
        return true;
    }
    std::shared_ptr<GlVertexBuffer> buffer = Device.CreateVertexBuffer(Bytes);
    if (!buffer) {
        Fail(Messages.Create);
        return false;
    }
    Target = buffer;
    void* p = buffer->Lock(0, Bytes);
    if (p == nullptr) {
        Fail(Messages.Lock);
        return false;
    }
    std::memcpy(p, Data, Bytes);
    return buffer->Unlock();
}

// The summary of a curve's sample array.
std::shared_ptr<TSampleSummary> SummaryOf(const TGraphData& Samples) {
    auto summary = std::make_shared<TSampleSummary>();
    summary->Reserve(Samples.size());
    std::array<float, 4096> chunk;
    for (std::size_t at = 0; at < Samples.size(); at += chunk.size()) {
        const std::size_t n = std::min(chunk.size(), Samples.size() - at);
        for (std::size_t k = 0; k < n; ++k) {
            chunk[k] = Samples[at + k].Value;
        }
        summary->Append(chunk.data(), n);
    }
    return summary;
}

template <typename Container>
bool UploadVertices(GlDevice& Device, TRenderHandle& Target, const Container& V,
                    const TBufferMessages& Messages, const std::function<void(const char*)>& Fail) {
    return Upload(Device, Target, V.data(), V.size() * sizeof(TCustomVertex), Messages, Fail);
}

} // namespace

// ------------------------------------------------------------------ device lifecycle

bool TGraphDisplayRenderer::InitD3D(int Index) {
    D3DFree(false);
    if (Index == -1) {
        return false;
    }
    TGraphDisplayItem& item = FHost.Items()[Index];
    TRenderProperties& props = FHost.RenderProperties();
    FHost.ShowDrawingSurface();

    if (!FDirect3D) {
        FDirect3D = GlContext::Create();
        if (!FDirect3D) {
            Fail("Error while creating D3D Object!");
            return false;
        }
    }

    TRenderPanel& panel = FHost.Panel();
    GlPresentParameters pp;
    // The curves are spans aligned to pixel columns and need no antialiasing; lines are
    // smoothed instead of multisampling the whole frame, which a software rasteriser would
    // pay for on every pixel.
    pp.MultiSampleType = 0;
    pp.EnableAutoDepthStencil = false;
    pp.PresentationInterval = 0;
    pp.BackBufferSize = panel.size();
    pp.DevicePixelRatio = panel.devicePixelRatioF();

    item.Device.reset();
    std::shared_ptr<GlDevice> device = GlDevice::Create(FDirect3D, pp);
    if (!device) {
        Fail("Error while creating D3D Device!");
        return false;
    }
    QPointer<TRenderPanel> target(&panel);
    device->SetPresentTarget([target](const QImage& Frame) {
        if (target) {
            target->ShowFrame(Frame);
        }
    });
    // Frames go straight to the panel's drawing surface once it is on screen, where the
    // graphics processor draws them. A software rasteriser's frames are read back instead:
    // measured on Mesa's llvmpipe, presenting through the window system took about four
    // times the processor time of reading the frame back and painting it.
    using TDirect = TRenderPanel::TDirectPresentation;
    const bool direct =
        panel.DirectPresentation() == TDirect::Always ||
        (panel.DirectPresentation() == TDirect::Automatic && !FDirect3D->IsSoftware());
    if (direct) {
        device->SetPresentWindow(
            [target]() -> QWindow* { return target ? target->DirectSurface() : nullptr; },
            [target] {
                if (target) {
                    target->DirectFrameShown();
                }
            },
            [target] {
                if (target) {
                    target->DirectPresentationFailed();
                }
            });
    }
    const std::weak_ptr<GlDevice> weak = device;
    panel.SetFrameReader([weak] {
        const auto d = weak.lock();
        return d ? d->ReadFrame() : QImage();
    });
    panel.OnSurfaceExposed = [weak] {
        // The surface lost its picture (shown, uncovered, resized): the last frame again.
        const auto d = weak.lock();
        if (d && !d->InScene() && d->HasFrame()) {
            d->Present();
        }
    };
    item.Device = device;

    props.MaximumVertexCount =
        ClampMaximumVertexCount(props.MaximumVertexCountMode, props.MaximumVertexCount,
                                device->GetDeviceCaps().MaxPrimitiveCount);

    device->SetRenderState(GlRenderState::CullMode, GlCullNone);
    device->SetSamplerState(0, GlSamplerState::MinFilter, GlTexfAnisotropic);
    device->SetSamplerState(0, GlSamplerState::MagFilter, GlTexfAnisotropic);
    device->SetSamplerState(0, GlSamplerState::MipFilter, GlTexfAnisotropic);
    device->SetRenderState(GlRenderState::DitherEnable, 1);
    device->SetRenderState(GlRenderState::Lighting, 0);
    device->SetRenderState(GlRenderState::MultisampleAntialias, props.Antialiasing ? 1 : 0);
    device->SetRenderState(GlRenderState::AntialiasedLineEnable, props.Antialiasing ? 1 : 0);

    if (!item.BackgroundPicture.isEmpty() && QFileInfo::exists(item.BackgroundPicture)) {
        const QSize size = QImageReader(item.BackgroundPicture).size();
        if (!size.isValid() || size.isEmpty()) {
            // Not a picture the loader knows: nothing can be drawn from it.
            Fail("Error while loading D3D background image!");
        } else {
            item.BackgroundRect = {0, 0, size.width(), size.height()};
            item.BackgroundSurface.reset();
            std::shared_ptr<GlSurface> surface =
                device->CreateOffscreenPlainSurface(size.width(), size.height());
            if (!surface) {
                Fail("Error while creating D3D offscreen plain surface for background image!");
            } else {
                item.BackgroundSurface = surface;
            }
            if (!surface || !device->LoadSurfaceFromFile(*surface, item.BackgroundPicture)) {
                Fail("Error while loading D3D background image!");
            }
        }
    }

    CreateCoordsVertexes(Index);
    CreateGridVerticalVertexes(Index);
    CreateCursorVertexes(Index, 0.0f);
    CreateFonts(Index);
    SetupCamera(Index);

    FD3DInitialized = true;
    Invalidate();
    Render();
    return true;
}

void TGraphDisplayRenderer::D3DFree(bool Force) {
    if (!FDirect3D) {
        return;
    }
    bool anyDevice = false;
    for (const TGraphDisplayItem& item : FHost.Items()) {
        anyDevice = anyDevice || item.Device != nullptr;
    }
    if (Force || !anyDevice) {
        FHost.D3DDestroy();
        // Devices still alive keep the context they draw with.
        FDirect3D.reset();
    }
}

void TGraphDisplayRenderer::PanelResize() {
    if (!FHost.RenderProperties().AutoReInit || !FD3DInitialized) {
        return;
    }
    // A resize is a window event: failures end here.
    try {
        const int index = FHost.ActiveIndex();
        InitD3D(index);
        if (Pane(index) != nullptr) {
            InitializeGeometries(index);
        }
    } catch (...) {
    }
}

bool TGraphDisplayRenderer::InitializeGeometries(int Index) {
    TGraphDisplayItem& item = FHost.Items()[Index];
    if (FHost.RenderProperties().SampleInSeparateThread) {
        for (int i = 0; i < item.GraphItems.Count(); ++i) {
            CreateVertexesFromSamples(Index, i);
        }
        return true;
    }
    // Every curve's samples are asked for first (one by one, as the host expects); then the
    // summaries of long curves are built at once, each on its own thread.
    std::vector<std::shared_ptr<TSampleSummary>> summaries(
        static_cast<std::size_t>(item.GraphItems.Count()));
    for (int i = 0; i < item.GraphItems.Count(); ++i) {
        FHost.NeedSamples(item, item.GraphItems[i]);
    }
    std::vector<std::future<std::shared_ptr<TSampleSummary>>> builds;
    for (int i = 0; i < item.GraphItems.Count(); ++i) {
        const TGraphDisplayGraphItem& graph = item.GraphItems[i];
        if (!Buildable(item, graph) || graph.Samples.empty()) {
            builds.emplace_back();
            continue;
        }
        const TGraphData samples = graph.Samples;
        builds.push_back(std::async(i == 0 ? std::launch::deferred : std::launch::async,
                                    [samples] { return SummaryOf(samples); }));
    }
    for (int i = 0; i < item.GraphItems.Count(); ++i) {
        auto& build = builds[static_cast<std::size_t>(i)];
        std::shared_ptr<TSampleSummary> summary;
        try {
            if (build.valid()) {
                summary = build.get();
            }
        } catch (const std::bad_alloc&) {
            Fail(kNoMemory);
        }
        TGraphDisplayGraphItem& graph = item.GraphItems[i];
        if (summary) {
            graph.Summary = summary;
        }
        BuildCurve(Index, i, graph.PrimitiveType, false);
    }
    return true;
}

void TGraphDisplayRenderer::Clear() {
    TGraphDisplayItem& item = FHost.Items()[FHost.ActiveIndex()];
    GlDevice* device = Device(item);
    if (device == nullptr) {
        return;
    }
    device->Clear(ColorToD3D(item.BackgroundColor));
    device->Present();
}

// ------------------------------------------------------------------ curve geometry

void TGraphDisplayRenderer::CreateVertexesFromSamples(int Index, int GraphIndex) {
    if (FHost.RenderProperties().SampleInSeparateThread) {
        FHost.StartSampleThread(Index, GraphIndex);
        return;
    }
    TGraphDisplayItem& item = FHost.Items()[Index];
    TGraphDisplayGraphItem& graph = item.GraphItems[GraphIndex];
    FHost.NeedSamples(item, graph);
    switch (graph.PrimitiveType) {
    case 3:
        CreateLineStripVertexes(Index, GraphIndex);
        break;
    case 4:
        CreateBarVertexes(Index, GraphIndex);
        break;
    default:
        break;
    }
}

namespace {

TSampleGeometryInput GeometryInput(const TGraphDisplayItem& Item,
                                   const TGraphDisplayGraphItem& Graph,
                                   std::int64_t MaximumVertexCount) {
    TSampleGeometryInput in;
    in.ScaleMode = Item.Axis.AxisY.ScaleMode;
    in.AxisMax = Item.Axis.AxisY.Max;
    in.AxisMin = Item.Axis.AxisY.Min;
    in.MaximumVertexCount = MaximumVertexCount;
    in.ColorMode = Graph.ColorMode;
    in.Color = Graph.Color;
    in.BaseColor = Graph.BaseColor;
    return in;
}

} // namespace

bool TGraphDisplayRenderer::Buildable(const TGraphDisplayItem& Item,
                                      const TGraphDisplayGraphItem& Graph) {
    return (Graph.PrimitiveType == 3 || Graph.PrimitiveType == 4) && Device(Item) != nullptr;
}

bool TGraphDisplayRenderer::BuildCurve(int Index, int GraphIndex, int PrimitiveType,
                                       bool Summarise) {
    TGraphDisplayItem& item = FHost.Items()[Index];
    TGraphDisplayGraphItem& graph = item.GraphItems[GraphIndex];
    if ((PrimitiveType != 3 && PrimitiveType != 4) || Device(item) == nullptr) {
        return false;
    }
    if (Summarise && !graph.Samples.empty()) {
        try {
            graph.Summary = SummaryOf(graph.Samples);
        } catch (const std::bad_alloc&) {
            Fail(kNoMemory);
            return false;
        }
    }
    const std::size_t count = graph.SampleCount();
    if (count == 0) {
        return false;
    }
    // The curve's extent stays what the vertex budget made it: markers, selection, cursor
    // and pointer all scale with it.
    const TSampleGeometryInput in =
        GeometryInput(item, graph, FHost.RenderProperties().MaximumVertexCount);
    const TSampleGeometryLayout layout = SampleGeometryLayout(PrimitiveType, count, in);
    const TAmplitudeBounds bounds = AmplitudeBounds(*graph.Summary, in);
    graph.AmplitudeOffset = bounds.Lo;
    graph.AmplitudeRange = bounds.Range;
    graph.SampleStep = layout.Step;
    graph.PrimitiveCount = layout.PrimitiveCount;
    DropRawSamples(graph);
    ++FGeometryGeneration;
    return true;
}

void TGraphDisplayRenderer::DropRawSamples(const TGraphDisplayGraphItem& Graph) {
    std::erase_if(FRawWindows, [&](const TRawWindow& W) { return W.Graph == &Graph; });
}

const float* TGraphDisplayRenderer::RawSamples(TGraphDisplayItem& Item,
                                               TGraphDisplayGraphItem& Graph,
                                               const TSampleSpan& Need, TSampleSpan& Have) {
    Have = {};
    if (Need.Empty()) {
        return nullptr;
    }
    auto it = std::find_if(FRawWindows.begin(), FRawWindows.end(),
                           [&](const TRawWindow& W) { return W.Graph == &Graph; });
    if (it == FRawWindows.end()) {
        it = FRawWindows.insert(FRawWindows.end(), TRawWindow{&Graph, nullptr, 0, {}});
    }
    TRawWindow& w = *it;
    const bool covers = w.Summary == Graph.Summary.get() && w.First <= Need.First &&
                        w.First + w.Values.size() >= Need.Last;
    if (!covers) {
        // Fetch a view's width more on each side, so that scrolling a little fetches nothing.
        const std::size_t width = Need.Last - Need.First;
        const std::size_t count = Graph.SampleCount();
        const std::size_t first = Need.First > width ? Need.First - width : 0;
        const std::size_t last = std::min(count, Need.Last + width);
        w.Summary = Graph.Summary.get();
        w.First = first;
        w.Values.assign(last - first, 0.0f);
        std::size_t got = 0;
        if (Graph.Samples.size() >= last) {
            for (std::size_t m = first; m < last; ++m) {
                w.Values[m - first] = Graph.Samples[m].Value;
            }
            got = last - first;
        } else {
            got = std::min(FHost.NeedSampleRange(Item, Graph, first, w.Values.data(),
                                                 w.Values.size()),
                           w.Values.size());
        }
        w.Values.resize(got);
    }
    Have = {w.First, w.First + w.Values.size()};
    return w.Values.empty() ? nullptr : w.Values.data();
}

bool TGraphDisplayRenderer::CreateLineStripVertexes(int Index, int GraphIndex) {
    return BuildCurve(Index, GraphIndex, 3, true);
}

int TGraphDisplayRenderer::CreateBarVertexes(int Index, int GraphIndex) {
    TGraphDisplayGraphItem& graph = FHost.Items()[Index].GraphItems[GraphIndex];
    return BuildCurve(Index, GraphIndex, 4, true) ? graph.PrimitiveCount : 0;
}

// ------------------------------------------------------------------ overlay geometry

int TGraphDisplayRenderer::CreateCoordsVertexes(int Index) {
    TGraphDisplayItem* item = PaneWithDevice(Index);
    if (item == nullptr) {
        return -1;
    }
    const TGraphDisplayItemAxisY& axis = item->Axis.AxisY;
    const std::vector<TCustomVertex> v = CoordsVertexes(axis.Divisions, axis.GridColor);
    if (!UploadVertices(*Device(*item), item->VertexBufferCoords, v, kCoordsMessages,
                        [this](const char* m) { Fail(m); })) {
        return -1;
    }
    item->CoordsLineCount = CoordsLineCount(axis.Divisions);
    return item->CoordsLineCount;
}

int TGraphDisplayRenderer::CreateGridVerticalVertexes(int Index) {
    TGraphDisplayItem* item = PaneWithDevice(Index);
    if (item == nullptr) {
        return -1;
    }
    const TGraphDisplayItemAxisX& axis = item->Axis.AxisX;
    const std::vector<TCustomVertex> v = GridVerticalVertexes(axis.Divisions, axis.GridColor);
    if (!UploadVertices(*Device(*item), item->VertexBufferGridVertical, v, kGridMessages,
                        [this](const char* m) { Fail(m); })) {
        return -1;
    }
    item->GridVerticalLineCount = GridVerticalLineCount(axis.Divisions);
    return item->GridVerticalLineCount;
}

bool TGraphDisplayRenderer::CreateSelectionVertexes(int Index, float XStart, float XEnd) {
    TGraphDisplayItem* item = PaneWithDevice(Index);
    if (item == nullptr) {
        return false;
    }
    // Without a curve span the band would have no height; a unit span keeps it covering.
    const float range = item->MaxAmplitudeRange() > 0.0f ? item->MaxAmplitudeRange() : 1.0f;
    const auto h = static_cast<float>(range * kPaneSelectionHeight);
    const auto band =
        SelectionVertexes(XStart, XEnd, h, item->SelectionColor, item->SelectionBorderColor);
    const auto shade = SelectionShadeVertexes(XStart, XEnd, h);
    GlDevice& device = *Device(*item);
    auto fail = [this](const char* m) { Fail(m); };
    return UploadVertices(device, item->VertexBufferSelection, band, kSelectionMessages, fail) &&
           UploadVertices(device, item->VertexBufferSelectionShade, shade, kSelectionMessages,
                          fail);
}

bool TGraphDisplayRenderer::CreateGraphItemSelectionVertexes(int Index,
                                                             TGraphDisplayGraphItem& GraphItem,
                                                             float XStart, float XEnd) {
    TGraphDisplayItem* item = PaneWithDevice(Index);
    if (item == nullptr) {
        return false;
    }
    const auto band =
        SelectionVertexes(XStart, XEnd, 1.0f, item->SelectionColor, item->SelectionBorderColor);
    const auto shade = SelectionShadeVertexes(XStart, XEnd, 1.0f);
    GlDevice& device = *Device(*item);
    auto fail = [this](const char* m) { Fail(m); };
    return UploadVertices(device, GraphItem.VertexBufferSelection, band, kSelectionMessages,
                          fail) &&
           UploadVertices(device, GraphItem.VertexBufferSelectionShade, shade, kSelectionMessages,
                          fail);
}

int TGraphDisplayRenderer::CreateMarkerVertexes(int Index, long long Highlighted) {
    TGraphDisplayItem* item = PaneWithDevice(Index);
    if (item == nullptr || item->Markers.Count() == 0) {
        return 0;
    }
    const std::vector<TCustomVertex> v =
        MarkerVertexes(item->Markers, item->XMax, item->MaxPrimitiveCount(), Highlighted);
    if (!UploadVertices(*Device(*item), item->VertexBufferMarkers, v, kMarkerMessages,
                        [this](const char* m) { Fail(m); })) {
        return -1;
    }
    return item->Markers.Count();
}

int TGraphDisplayRenderer::CreateCursorVertexes(int Index, float X) {
    TGraphDisplayItem* item = PaneWithDevice(Index);
    if (item == nullptr) {
        return 0;
    }
    const std::vector<TCustomVertex> v = CursorVertexes(X, FHost.RenderProperties().SolidCursor);
    if (!UploadVertices(*Device(*item), item->VertexBufferCursor, v, kCursorMessages,
                        [this](const char* m) { Fail(m); })) {
        return 0;
    }
    return static_cast<int>(v.size());
}

void TGraphDisplayRenderer::CreateFonts(int Index) {
    TGraphDisplayItem* item = PaneWithDevice(Index);
    if (item == nullptr) {
        return;
    }
    GlDevice& device = *Device(*item);
    auto make = [&device](TRenderHandle& Target, const TGraphDisplayFont& Font) {
        Target.reset();
        // A font that cannot be made leaves its text undrawn.
        Target = device.CreateFont(Font.Size, (Font.Style & fsBold) != 0 ? 700 : 400,
                                   (Font.Style & fsItalic) != 0, Font.Name);
    };
    make(item->Axis.AxisY.D3DFont, item->Axis.AxisY.Font);
    make(item->Axis.AxisX.D3DFont, item->Axis.AxisX.Font);
    make(item->Legend.D3DFont, item->Legend.Font);
    make(item->Caption.D3DFont, item->Caption.Font);
}

void TGraphDisplayRenderer::UpdateSelection() {
    TGraphDisplayItem* item = Pane(FHost.ActiveIndex());
    if (item == nullptr) {
        return;
    }
    const int n = item->MaxPrimitiveCount();
    CreateSelectionVertexes(item->Index, SelectionVertexX(item->SelectionStart, item->XMax, n),
                            SelectionVertexX(item->SelectionEnd, item->XMax, n));
}

void TGraphDisplayRenderer::UpdateGraphItemSelection(TGraphDisplayGraphItem& GraphItem) {
    TGraphDisplayItem* item = Pane(FHost.ActiveIndex());
    if (item == nullptr) {
        return;
    }
    const int n = item->MaxPrimitiveCount();
    CreateGraphItemSelectionVertexes(item->Index, GraphItem,
                                     SelectionVertexX(GraphItem.SelectionStart, item->XMax, n),
                                     SelectionVertexX(GraphItem.SelectionEnd, item->XMax, n));
}

} // namespace tavrela
