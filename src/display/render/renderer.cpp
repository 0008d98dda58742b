#include "renderer.h"

#include "display/model/color.h"
#include "display/model/items.h"
#include "gl/gl_device.h"
#include "overlay_geometry.h"
#include "render_panel.h"
#include "sample_geometry.h"
#include "transforms.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPointer>

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
constexpr TBufferMessages kLineStripMessages{"Error: CreateVertexBuffer: VertexBufferSamples!",
                                             "Error: VertexBufferSamples.Lock!"};
constexpr TBufferMessages kBarMessages{"Error: CreateVertexBuffer for samples.",
                                       "Error: VertexBufferSamples.Lock."};
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

template <typename Container>
bool UploadVertices(GlDevice& Device, TRenderHandle& Target, const Container& V,
                    const TBufferMessages& Messages, const std::function<void(const char*)>& Fail) {
    return Upload(Device, Target, V.data(), V.size() * sizeof(TCustomVertex), Messages, Fail);
}

} // namespace

// A curve's geometry on its way into its vertex buffer: laid out and locked, filled (on any
// thread), then unlocked.
struct TGraphDisplayRenderer::TCurveUpload {
    TGraphDisplayGraphItem* Graph = nullptr;
    int PrimitiveType = 0;
    TGraphData Samples; // holds the array while it is read
    TSampleGeometryInput Input;
    TSampleGeometryLayout Layout;
    const TBufferMessages* Messages = nullptr;
    std::shared_ptr<GlVertexBuffer> Buffer;
    TCustomVertex* Out = nullptr; // the locked buffer; null when there is nothing to fill
    TAmplitudeBounds Bounds;
    bool Filled = false;

    void FillVertices() {
        Bounds =
            FillSampleGeometry(PrimitiveType, Samples.data(), Samples.size(), Input, Layout, Out);
        Filled = true;
    }
};

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
    pp.MultiSampleType = props.Antialiasing ? 4 : 0;
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
    // A long file's curves take tens of megabytes of vertices each: every curve's buffer is
    // made and locked in turn (its samples asked for first, as one by one), then all are
    // filled at once, each on its own thread, and unlocked in turn.
    std::vector<TCurveUpload> uploads(static_cast<std::size_t>(item.GraphItems.Count()));
    std::size_t begun = 0;
    try {
        for (; begun < uploads.size(); ++begun) {
            const int i = static_cast<int>(begun);
            TGraphDisplayGraphItem& graph = item.GraphItems[i];
            FHost.NeedSamples(item, graph);
            BeginCurveUpload(Index, i, graph.PrimitiveType, uploads[begun]);
        }
    } catch (...) {
        // What was locked before the failure is still completed, as it would have been.
        for (std::size_t i = 0; i < begun; ++i) {
            try {
                FinishCurveUpload(uploads[i]);
            } catch (...) {
            }
        }
        throw;
    }
    std::vector<std::future<void>> fills;
    TCurveUpload* last = nullptr;
    for (TCurveUpload& upload : uploads) {
        if (upload.Out == nullptr) {
            continue;
        }
        if (last != nullptr) {
            fills.push_back(std::async(std::launch::async, [last] { last->FillVertices(); }));
        }
        last = &upload;
    }
    if (last != nullptr) {
        last->FillVertices(); // this thread takes a share too
    }
    for (std::future<void>& fill : fills) {
        fill.get();
    }
    for (TCurveUpload& upload : uploads) {
        FinishCurveUpload(upload);
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

bool TGraphDisplayRenderer::BeginCurveUpload(int Index, int GraphIndex, int PrimitiveType,
                                             TCurveUpload& Upload) {
    TGraphDisplayItem& item = FHost.Items()[Index];
    TGraphDisplayGraphItem& graph = item.GraphItems[GraphIndex];
    GlDevice* device = Device(item);
    if ((PrimitiveType != 3 && PrimitiveType != 4) || device == nullptr || graph.Samples.empty()) {
        return false;
    }
    Upload.Graph = &graph;
    Upload.PrimitiveType = PrimitiveType;
    Upload.Samples = graph.Samples;
    Upload.Input = GeometryInput(item, graph, FHost.RenderProperties().MaximumVertexCount);
    Upload.Layout = SampleGeometryLayout(Upload.PrimitiveType, Upload.Samples.size(), Upload.Input);
    Upload.Messages = Upload.PrimitiveType == 3 ? &kLineStripMessages : &kBarMessages;
    graph.VertexBufferSamples.reset();
    const std::size_t bytes = Upload.Layout.VertexCount * sizeof(TCustomVertex);
    // Without a buffer the curve still gets its scale, as it would before an upload.
    auto failWithBounds = [&](const char* Message) {
        const TAmplitudeBounds b =
            AmplitudeBounds(Upload.Samples.data(), Upload.Samples.size(), Upload.Input);
        graph.AmplitudeOffset = b.Lo;
        graph.AmplitudeRange = b.Range;
        Upload.Graph = nullptr;
        Fail(Message);
        return false;
    };
    std::shared_ptr<GlVertexBuffer> buffer;
    try {
        buffer = device->CreateVertexBuffer(bytes);
    } catch (const std::bad_alloc&) {
        return failWithBounds(kNoMemory);
    }
    if (!buffer) {
        return failWithBounds(Upload.Messages->Create);
    }
    graph.VertexBufferSamples = buffer;
    Upload.Buffer = buffer;
    void* p = buffer->Lock(0, bytes);
    if (p == nullptr) {
        return failWithBounds(Upload.Messages->Lock);
    }
    Upload.Out = static_cast<TCustomVertex*>(p);
    return true;
}

bool TGraphDisplayRenderer::FinishCurveUpload(TCurveUpload& Upload) {
    if (Upload.Graph == nullptr) {
        return false;
    }
    TGraphDisplayGraphItem& graph = *Upload.Graph;
    Upload.Graph = nullptr;
    if (!Upload.Filled) {
        Upload.FillVertices();
    }
    graph.AmplitudeOffset = Upload.Bounds.Lo;
    graph.AmplitudeRange = Upload.Bounds.Range;
    Upload.Out = nullptr;
    if (!Upload.Buffer->Unlock()) {
        return false;
    }
    graph.PrimitiveCount = Upload.Layout.PrimitiveCount;
    return true;
}

bool TGraphDisplayRenderer::CreateLineStripVertexes(int Index, int GraphIndex) {
    TCurveUpload upload;
    return BeginCurveUpload(Index, GraphIndex, 3, upload) && FinishCurveUpload(upload);
}

int TGraphDisplayRenderer::CreateBarVertexes(int Index, int GraphIndex) {
    TCurveUpload upload;
    if (!BeginCurveUpload(Index, GraphIndex, 4, upload) || !FinishCurveUpload(upload)) {
        return 0;
    }
    return upload.Layout.PrimitiveCount;
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
