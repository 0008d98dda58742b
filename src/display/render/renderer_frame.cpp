#include "renderer.h"

#include "display/model/color.h"
#include "display/model/items.h"
#include "column_geometry.h"
#include "gl/gl_device.h"
#include "overlay_geometry.h"
#include "render_panel.h"
#include "sample_geometry.h"
#include "text_layout.h"
#include "transforms.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <utility>

namespace tavrela {

namespace {

// Runs one step of a frame; a failure inside drops only that step.
template <typename F> void Guarded(F&& Step) {
    try {
        Step();
    } catch (...) {
    }
}

// The transform inputs of curve GraphIndex; a pane without curves gets a unit curve so
// that its markers, selection and cursor still have a transform.
TCurveTransformInput CurveInput(const TGraphDisplayItem& Item, int GraphIndex) {
    TCurveTransformInput in;
    in.MaxPrimitiveCount = Item.MaxPrimitiveCount();
    in.ZoomFactor = Item.ZoomFactor;
    in.AmplitudeFactor = Item.AmplitudeFactor;
    in.DisplayMode = Item.DisplayMode;
    in.ChannelCount = Item.ChannelCount;
    in.ViewScrollPosition = Item.GetViewScrollPosition();
    if (GraphIndex == 0 && Item.GraphItems.Count() == 0) {
        in.AmplitudeRange = 1.0f;
        return in;
    }
    const TGraphDisplayGraphItem& graph = Item.GraphItems[GraphIndex];
    in.AmplitudeRange = graph.AmplitudeRange;
    if (graph.DisplayMode != 0) {
        in.DisplayMode = graph.DisplayMode;
    }
    in.Half = graph.Half;
    in.Channel = graph.Channel;
    in.XOffset = graph.XOffset;
    return in;
}

std::shared_ptr<GlVertexBuffer> Stream(const TRenderHandle& Handle) {
    return std::dynamic_pointer_cast<GlVertexBuffer>(Handle);
}

GlFont* Font(const TRenderHandle& Handle) {
    return dynamic_cast<GlFont*>(Handle.get());
}

// Mixes values into a running hash (FNV-1a over their bytes).
class THash {
public:
    template <typename T> THash& operator<<(const T& Value) {
        const auto* p = reinterpret_cast<const unsigned char*>(&Value);
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            FValue = (FValue ^ p[i]) * 1099511628211ull;
        }
        return *this;
    }
    THash& operator<<(const QString& Text) { return *this << qHash(Text) << Text.size(); }
    std::uint64_t Value() const { return FValue; }

private:
    std::uint64_t FValue = 14695981039346656037ull;
};

void HashFont(THash& H, const TGraphDisplayFont& Font) {
    H << Font.Name << Font.Size << Font.Color << Font.Style;
}

} // namespace

// ------------------------------------------------------------------ camera and transforms

void TGraphDisplayRenderer::SetupCamera(int Index) {
    TGraphDisplayItem* item = PaneWithDevice(Index);
    if (item == nullptr) {
        return;
    }
    GlDevice& device = *Device(*item);
    item->WorldMatrix = TMatrix4::Identity();
    device.SetTransform(GlTransformState::World, item->WorldMatrix);
    device.SetTransform(GlTransformState::View, CameraViewMatrix());
    device.SetTransform(GlTransformState::Projection, CameraProjectionMatrix());
}

bool TGraphDisplayRenderer::SetGraphItemTransform(int Index, int GraphIndex) {
    TGraphDisplayItem* item = PaneWithDevice(Index);
    if (item == nullptr) {
        return false;
    }
    const TCurveTransformInput in = CurveInput(*item, GraphIndex);
    TAnimationState animation{item->Animating, item->AnimationProgress, item->AnimationMatrix};
    TMatrix4 world;
    if (!GraphItemTransform(in, &animation, world)) {
        return false;
    }
    item->Animating = animation.Animating;
    item->AnimationProgress = animation.Progress;
    item->AnimationMatrix = animation.Matrix;
    item->WorldMatrix = world;
    Device(*item)->SetTransform(GlTransformState::World, world);
    return true;
}

bool TGraphDisplayRenderer::SetGraphItemSelectionTransform(int Index, int GraphIndex) {
    TGraphDisplayItem* item = PaneWithDevice(Index);
    if (item == nullptr) {
        return false;
    }
    TMatrix4 world;
    if (!GraphItemSelectionTransform(CurveInput(*item, GraphIndex), world)) {
        return false;
    }
    item->WorldMatrix = world;
    Device(*item)->SetTransform(GlTransformState::World, world);
    return true;
}

bool TGraphDisplayRenderer::SetLaneTransform(int Index, int Half, int Slot) {
    TGraphDisplayItem* item = PaneWithDevice(Index);
    if (item == nullptr) {
        return false;
    }
    TMatrix4 world;
    if (!LaneTransform(item->DisplayMode, item->ChannelCount, {Half, Slot}, world)) {
        return false;
    }
    item->WorldMatrix = world;
    Device(*item)->SetTransform(GlTransformState::World, world);
    return true;
}

bool TGraphDisplayRenderer::SetupStartupAnim(int Index) {
    TGraphDisplayItem* item = Pane(Index);
    if (item == nullptr) {
        return false;
    }
    const TAnimationState s = StartupAnimation();
    item->Animating = s.Animating;
    item->AnimationProgress = s.Progress;
    item->AnimationMatrix = s.Matrix;
    return true;
}

// ------------------------------------------------------------------ frame

std::uint64_t TGraphDisplayRenderer::FrameKey(TGraphDisplayItem& Item,
                                              const std::optional<double>& Cursor) {
    const TRenderProperties& props = FHost.RenderProperties();
    const TRenderPanel& panel = FHost.Panel();
    THash h;
    h << static_cast<const void*>(Item.Device.get()) << FGeometryGeneration << Item.Index
      << panel.width() << panel.height() << panel.devicePixelRatioF();
    h << props.ShowSelection << props.ShowMarkers << props.ShowCursor << props.SolidCursor
      << props.Animate << props.Antialiasing << FHost.HoverMarkerIndex();
    h << Cursor.has_value() << Cursor.value_or(0.0);
    h << FHost.GetScrollPosition() << FHost.GetScrollMax();
    h << Item.ViewPosition << Item.XMax << Item.BackgroundColor << Item.SelectionColor
      << Item.SelectionBlendOp << Item.SelectionBorderColor << Item.DisplayMode
      << Item.SelectionMode << Item.ChannelCount << Item.ZoomFactor << Item.SelectionStart
      << Item.SelectionEnd << Item.AmplitudeFactor << Item.Animating << Item.AnimationProgress
      << static_cast<const void*>(Item.BackgroundSurface.get());
    const TGraphDisplayItemAxis& axis = Item.Axis;
    h << axis.Visible;
    h << axis.AxisY.Format << axis.AxisY.Precision << axis.AxisY.Digits << axis.AxisY.ScaleMode
      << axis.AxisY.Max << axis.AxisY.Min << axis.AxisY.LabelSide << axis.AxisY.LabelsVisible
      << axis.AxisY.Divisions << axis.AxisY.GridColor << axis.AxisY.GridVisible;
    HashFont(h, axis.AxisY.Font);
    h << axis.AxisX.Format << axis.AxisX.Precision << axis.AxisX.Digits << axis.AxisX.LabelSide
      << axis.AxisX.LabelsVisible << axis.AxisX.Divisions << axis.AxisX.GridColor
      << axis.AxisX.GridVisible;
    HashFont(h, axis.AxisX.Font);
    h << Item.Legend.Position << Item.Legend.Visible << Item.Caption.Text << Item.Caption.Visible;
    HashFont(h, Item.Legend.Font);
    HashFont(h, Item.Caption.Font);
    h << Item.Markers.Visible << Item.Markers.Count();
    for (TGraphDisplayMarker& marker : Item.Markers) {
        h << marker.X << marker.Color << FHost.NeedMarkerText(Item, marker).value_or(QString());
    }
    h << Item.GraphItems.Count();
    for (const TGraphDisplayGraphItem& graph : Item.GraphItems) {
        h << graph.XOffset << graph.Caption << graph.ColorMode << graph.Color << graph.BaseColor
          << graph.Channel << graph.PrimitiveType << graph.DisplayMode << graph.Half
          << graph.Visible << graph.SelectionStart << graph.SelectionEnd << graph.PrimitiveCount
          << graph.AmplitudeRange << graph.AmplitudeOffset << graph.SampleStep
          << static_cast<const void*>(graph.Summary.get());
    }
    return h.Value();
}

void TGraphDisplayRenderer::Render() {
    TGraphDisplayItem* item = Pane(FHost.ActiveIndex());
    if (item == nullptr || Device(*item) == nullptr) {
        return;
    }
    // Keep the device alive while the frame runs, whatever the host's events do.
    const TRenderHandle device = item->Device;
    const TRenderProperties& props = FHost.RenderProperties();
    const int index = item->Index;
    try {
        FHost.FollowPlayback();
        // The host learns the playback position on every call, drawn or not.
        std::optional<double> position;
        if (props.ShowCursor && FHost.DisplayVisible()) {
            position = FHost.NeedPlaybackPosition(*item);
        }
        // Nothing changed since the last frame: the picture on screen is still right.
        const std::uint64_t key = FrameKey(*item, position);
        if (FFrameValid && key == FLastFrameKey) {
            return;
        }
        if (props.ShowSelection) {
            UpdateSelection();
            for (TGraphDisplayGraphItem& graph : item->GraphItems) {
                UpdateGraphItemSelection(graph);
            }
        }
        item->MarkerLineCount =
            props.ShowMarkers ? CreateMarkerVertexes(index, FHost.HoverMarkerIndex()) : 0;
        if (position) {
            const double x = *position / item->XMax * item->MaxPrimitiveCount() / 2;
            if (std::isfinite(x)) {
                CreateCursorVertexes(index, static_cast<float>(x));
            }
        }
        FFrameValid = false;
        if (RenderFrame(index)) {
            FLastFrameKey = key;
            FFrameValid = true;
        }
    } catch (...) {
    }
    // A frame abandoned half-way still closes its scene, so the next one can begin.
    auto* d = dynamic_cast<GlDevice*>(device.get());
    if (d != nullptr && d->InScene()) {
        d->EndScene();
    }
}

void TGraphDisplayRenderer::DrawLanes(TGraphDisplayItem& Item, int StartVertex, int LineCount) {
    GlDevice& device = *Device(Item);
    for (const TLane& lane : PaneLanes(Item.DisplayMode, Item.ChannelCount)) {
        if (SetLaneTransform(Item.Index, lane.Half, lane.Slot) && LineCount > 0) {
            device.DrawPrimitive(GlPrimitiveType::LineList, StartVertex, LineCount);
        }
    }
}

namespace {
// The selection's filled passes: the shade darkens the band's area, then the band brightens
// what lies under it, in two passes.
void SelectionFills(GlDevice& D, std::uint32_t Op, const std::shared_ptr<GlVertexBuffer>& Shade,
                    const std::shared_ptr<GlVertexBuffer>& Band) {
    D.SetRenderState(GlRenderState::AlphaBlendEnable, 1);
    D.SetStreamSource(Shade);
    D.SetRenderState(GlRenderState::BlendOp, Op);
    D.SetRenderState(GlRenderState::DestBlend, GlBlendOne);
    D.SetRenderState(GlRenderState::SrcBlend, GlBlendSrcAlpha);
    D.DrawPrimitive(GlPrimitiveType::TriangleList, 0, 2);
    D.SetStreamSource(Band);
    D.SetRenderState(GlRenderState::DestBlend, GlBlendDestColor);
    D.SetRenderState(GlRenderState::SrcBlend, GlBlendDestColor);
    D.DrawPrimitive(GlPrimitiveType::TriangleList, 0, 2);
    D.SetRenderState(GlRenderState::DestBlend, GlBlendSrcAlpha);
    D.DrawPrimitive(GlPrimitiveType::TriangleList, 0, 2);
}
} // namespace

const GlChannelTable* TGraphDisplayRenderer::SelectionTable(GlDevice& D,
                                                            const TGraphDisplayItem& Item) {
    const std::uint32_t op = static_cast<std::uint32_t>(Item.SelectionBlendOp);
    const TColor colour = Item.SelectionColor;
    if (FSelectionTable && FSelectionTableDevice == &D && FSelectionTableOp == op &&
        FSelectionTableColour == colour) {
        return &*FSelectionTable;
    }
    FSelectionTable.reset();
    if (!D.CanMapChannels()) {
        return nullptr;
    }
    // The fills drawn once over every value, on quads that cover the probe.
    const auto band =
        SelectionVertexes(-2.0f, 2.0f, 2.0f, Item.SelectionColor, Item.SelectionBorderColor);
    const auto shade = SelectionShadeVertexes(-2.0f, 2.0f, 2.0f);
    auto upload = [&D](const auto& V) -> std::shared_ptr<GlVertexBuffer> {
        auto buffer = D.CreateVertexBuffer(sizeof V);
        void* p = buffer ? buffer->Lock(0, sizeof V) : nullptr;
        if (p == nullptr) {
            return nullptr;
        }
        std::memcpy(p, V.data(), sizeof V);
        return buffer->Unlock() ? buffer : nullptr;
    };
    const auto bandBuffer = upload(band);
    const auto shadeBuffer = upload(shade);
    if (!bandBuffer || !shadeBuffer) {
        return nullptr;
    }
    const TMatrix4 world = D.GetTransform(GlTransformState::World);
    const TMatrix4 view = D.GetTransform(GlTransformState::View);
    const TMatrix4 projection = D.GetTransform(GlTransformState::Projection);
    // The band's depth brought inside the clip volume.
    TMatrix4 lift = TMatrix4::Identity();
    lift.m[3][2] = 1.0f;
    D.SetTransform(GlTransformState::World, lift);
    D.SetTransform(GlTransformState::View, TMatrix4::Identity());
    D.SetTransform(GlTransformState::Projection, TMatrix4::Identity());
    std::optional<GlChannelTable> table;
    if (D.BeginChannelProbe()) {
        SelectionFills(D, op, shadeBuffer, bandBuffer);
        table = D.EndChannelProbe();
    }
    D.SetTransform(GlTransformState::World, world);
    D.SetTransform(GlTransformState::View, view);
    D.SetTransform(GlTransformState::Projection, projection);
    if (!table) {
        return nullptr;
    }
    FSelectionTable = table;
    FSelectionTableDevice = &D;
    FSelectionTableOp = op;
    FSelectionTableColour = colour;
    return &*FSelectionTable;
}

void TGraphDisplayRenderer::DrawSelectionPasses(GlDevice& D, const TGraphDisplayItem& Item,
                                                const TRenderHandle& Shade,
                                                const TRenderHandle& Band) {
    const auto op = static_cast<std::uint32_t>(Item.SelectionBlendOp);
    // The shade's edges, then the fills, then the band's edges opaque over both. Each fill
    // changes every channel by itself with constant colours, so all three are one table
    // where the device can apply one: a software rasteriser then covers the band once
    // instead of three times.
    D.SetRenderState(GlRenderState::AlphaBlendEnable, 1);
    D.SetStreamSource(Stream(Shade));
    D.SetRenderState(GlRenderState::BlendOp, op);
    D.SetRenderState(GlRenderState::DestBlend, GlBlendOne);
    D.SetRenderState(GlRenderState::SrcBlend, GlBlendSrcAlpha);
    D.DrawPrimitive(GlPrimitiveType::LineList, 3, 1);
    D.DrawPrimitive(GlPrimitiveType::LineList, 0, 1);
    const GlChannelTable* table = SelectionTable(D, Item);
    D.SetStreamSource(Stream(Band));
    if (table != nullptr && D.DrawChannelMap(*table, 0, 2)) {
        // The states the fills would have left, for whatever is drawn next.
        D.SetRenderState(GlRenderState::DestBlend, GlBlendSrcAlpha);
        D.SetRenderState(GlRenderState::SrcBlend, GlBlendDestColor);
    } else {
        SelectionFills(D, op, Stream(Shade), Stream(Band));
    }
    D.SetStreamSource(Stream(Band));
    D.SetRenderState(GlRenderState::AlphaBlendEnable, 0);
    D.DrawPrimitive(GlPrimitiveType::LineList, 6, 1);
    D.DrawPrimitive(GlPrimitiveType::LineList, 8, 1);
}

bool TGraphDisplayRenderer::RenderFrame(int Index) {
    TGraphDisplayItem& item = FHost.Items()[Index];
    GlDevice* device = Device(item);
    if (device == nullptr) {
        return false;
    }
    const TRenderHandle keep = item.Device;
    const TRenderProperties& props = FHost.RenderProperties();
    GlDevice& d = *device;

    if (!d.Clear(ColorToD3D(item.BackgroundColor))) {
        Fail("Error while clearing D3D device!");
        return false;
    }
    if (d.BeginScene()) {
        d.SetFVF(kCustomVertexFormat);
        // Grid and curves blend by adding; the selection's own operation (drawn later in the
        // frame) must not carry over into the next frame's curves, which it would hide.
        d.SetRenderState(GlRenderState::BlendOp, GlBlendOpAdd);
        if (auto* surface = dynamic_cast<GlSurface*>(item.BackgroundSurface.get())) {
            const TRenderPanel& panel = FHost.Panel();
            if (!d.StretchRect(*surface, item.BackgroundRect,
                               QRect(0, 0, panel.width(), panel.height()))) {
                Fail("Error while drawing D3D background picture!");
            }
        }
        FHost.BeforeD3DRender(item);
        d.SetFVF(kCustomVertexFormat);

        // Horizontal grid and zero line.
        Guarded([&] {
            CreateCoordsVertexes(Index);
            d.SetRenderState(GlRenderState::AlphaBlendEnable, 1);
            d.SetRenderState(GlRenderState::DestBlend, GlBlendSrcColor);
            d.SetRenderState(GlRenderState::SrcBlend, GlBlendSrcAlpha);
            d.SetStreamSource(Stream(item.VertexBufferCoords));
            if (item.Axis.AxisY.GridVisible) {
                DrawLanes(item, 2, item.CoordsLineCount - 1);
            }
            if (item.Axis.Visible) {
                DrawLanes(item, 0, 1);
            }
        });

        // Vertical grid.
        Guarded([&] {
            CreateGridVerticalVertexes(Index);
            d.SetRenderState(GlRenderState::AlphaBlendEnable, 1);
            d.SetRenderState(GlRenderState::DestBlend, GlBlendSrcColor);
            d.SetRenderState(GlRenderState::SrcBlend, GlBlendSrcAlpha);
            d.SetStreamSource(Stream(item.VertexBufferGridVertical));
            if (item.Axis.AxisX.GridVisible) {
                DrawLanes(item, 0, item.GridVerticalLineCount);
            }
        });

        // Curves: each pixel becomes source x source + destination x destination.
        Guarded([&] {
            FHost.BeforeD3DSamplesRender(item);
            d.SetRenderState(GlRenderState::AlphaBlendEnable, 1);
            d.SetRenderState(GlRenderState::DestBlend, GlBlendDestColor);
            d.SetRenderState(GlRenderState::SrcBlend, GlBlendSrcColor);
            for (int i = 0; i < item.GraphItems.Count(); ++i) {
                TGraphDisplayGraphItem& graph = item.GraphItems[i];
                if (graph.PrimitiveCount <= 0 || !graph.Visible || !graph.Summary) {
                    continue;
                }
                if (!SetGraphItemTransform(Index, i)) {
                    continue;
                }
                DrawCurveColumns(item, i);
            }
            FHost.AfterD3DSamplesRender(item);
        });

        // Axis lines over the curves.
        Guarded([&] {
            if (item.Axis.Visible) {
                d.SetStreamSource(Stream(item.VertexBufferCoords));
                DrawLanes(item, 0, 1);
            }
        });

        const bool overlays = !props.Animate || !item.Animating;

        Guarded([&] {
            if (!props.ShowSelection || !overlays) {
                return;
            }
            if (item.SelectionMode == 0) {
                if (SetGraphItemTransform(Index, 0)) {
                    DrawSelectionPasses(d, item, item.VertexBufferSelectionShade,
                                        item.VertexBufferSelection);
                }
            } else if (item.SelectionMode == 1) {
                for (int i = 0; i < item.GraphItems.Count(); ++i) {
                    if (SetGraphItemSelectionTransform(Index, i)) {
                        const TGraphDisplayGraphItem& graph = item.GraphItems[i];
                        DrawSelectionPasses(d, item, graph.VertexBufferSelectionShade,
                                            graph.VertexBufferSelection);
                    }
                }
            }
        });

        // Markers over the selection: a marker placed at the selection start lands on the
        // column of the selection's opaque edge and would vanish under it. They blend as the
        // curves do (each pixel source x source + destination x destination), so a line over
        // the waveform stays told apart from it; the state is set here because the selection
        // passes leave their own.
        if (item.Markers.Visible && overlays) {
            // Without a layout for the pane's display mode there is nowhere to draw them.
            const bool placed = SetGraphItemTransform(Index, 0);
            Guarded([&] {
                if (placed && item.MarkerLineCount > 0) {
                    d.SetRenderState(GlRenderState::AlphaBlendEnable, 1);
                    d.SetRenderState(GlRenderState::BlendOp, GlBlendOpAdd);
                    d.SetRenderState(GlRenderState::DestBlend, GlBlendDestColor);
                    d.SetRenderState(GlRenderState::SrcBlend, GlBlendSrcColor);
                    d.SetStreamSource(Stream(item.VertexBufferMarkers));
                    d.DrawPrimitive(GlPrimitiveType::LineList, 0, item.MarkerLineCount);
                }
            });
        }

        // The cursor keeps the world transform in force (curve 0's).
        Guarded([&] {
            if (!props.ShowCursor || !overlays) {
                return;
            }
            if (props.SolidCursor) {
                d.SetRenderState(GlRenderState::AlphaBlendEnable, 0);
                d.SetStreamSource(Stream(item.VertexBufferCursor));
                d.DrawPrimitive(GlPrimitiveType::LineList, 0, 1);
            } else {
                d.SetRenderState(GlRenderState::AlphaBlendEnable, 1);
                d.SetRenderState(GlRenderState::AlphaTestEnable, 1);
                d.SetRenderState(GlRenderState::BlendOp, GlBlendOpAdd);
                d.SetRenderState(GlRenderState::DestBlend, GlBlendSrcAlpha);
                d.SetRenderState(GlRenderState::SrcBlend, GlBlendDestColor);
                d.SetStreamSource(Stream(item.VertexBufferCursor));
                d.DrawPrimitive(GlPrimitiveType::TriangleList, 0, 2);
                d.DrawPrimitive(GlPrimitiveType::LineList, 3, 1);
            }
        });

        DrawAxisYLabels(item);
        DrawAxisXLabels(item);
        DrawLegend(item);
        DrawCaption(item);
        if (overlays) {
            DrawMarkerTexts(Index, item);
        }

        FHost.AfterD3DRender(item);
        d.EndScene();
    }
    if (!d.Present()) {
        return false;
    }
    ++FFramesPresented;
    return true;
}

void TGraphDisplayRenderer::DrawCurveColumns(TGraphDisplayItem& Item, int GraphIndex) {
    GlDevice& d = *Device(Item);
    TGraphDisplayGraphItem& graph = Item.GraphItems[GraphIndex];
    // The curves' plane is world z = 2. There the camera maps world x and y to window x and
    // y each on its own, so a vertex can be given in window pixels across and in values up.
    constexpr double kCurveZ = 2.0;
    const double bx = d.WindowXOfWorld(0.0, kCurveZ);
    const double ax = d.WindowXOfWorld(1.0, kCurveZ) - bx;
    const double ay = d.WindowYOfWorld(1.0, kCurveZ) - d.WindowYOfWorld(0.0, kCurveZ);
    if (!(std::fabs(ax) > 0.0) || !std::isfinite(ax) || !std::isfinite(bx)) {
        return;
    }
    // Where sample m lands, in double precision: the world matrix's single precision
    // cannot place a sample of a long file to the pixel at deep zoom.
    const TAffine world = CurveWorldX(CurveInput(Item, GraphIndex));
    const double step = graph.SampleStep > 0.0f ? graph.SampleStep : 1.0;
    TColumnMapping m;
    m.PixelsPerSample = ax * world.Scale / (2.0 * step);
    m.Origin = ax * world.Offset + bx;
    m.PixelsPerValue = std::fabs(ay * static_cast<double>(Item.WorldMatrix.m[1][1]));
    m.Columns = d.BackBufferPixelSize().width();
    TColumnStyle style;
    style.PrimitiveType = graph.PrimitiveType;
    style.Top = ColorToD3D(graph.Color);
    style.Base = ColorToD3D(graph.BaseColor);
    style.Lo = static_cast<float>(graph.AmplitudeOffset);
    TSampleSpan have;
    const float* raw = RawSamples(Item, graph, RawSamplesNeeded(m, graph.SampleCount()), have);
    BuildColumnSpans(*graph.Summary, raw, have, m, style, FColumnSpans, FColumnVertices);
    if (FColumnSpans.empty() && FColumnVertices.empty()) {
        return;
    }
    // The curve's own transform for y (lane, scale, tilt), window pixels for x.
    TMatrix4 draw = Item.WorldMatrix;
    draw.m[0][0] = static_cast<float>(1.0 / ax);
    draw.m[1][0] = 0.0f;
    draw.m[2][0] = 0.0f;
    draw.m[3][0] = static_cast<float>(-bx / ax);
    Item.WorldMatrix = draw;
    d.SetTransform(GlTransformState::World, draw);

    // The spans by one lookup quad where the device can, else as triangles; the dots over them.
    bool spansDrawn = FColumnSpans.empty();
    if (!spansDrawn && d.CanDrawColumnSpans()) {
        const int first = FColumnSpans.front().Column;
        const int count = FColumnSpans.back().Column - first + 1;
        // Columns without a span stay empty: Lo above Hi.
        FColumnFills.assign(2 * static_cast<std::size_t>(count), 0.0f);
        for (std::size_t i = 0; i < FColumnFills.size(); i += 2) {
            FColumnFills[i] = 1.0f;
        }
        for (const TColumnSpan& s : FColumnSpans) {
            const auto i = 2 * static_cast<std::size_t>(s.Column - first);
            FColumnFills[i] = s.Lo;
            FColumnFills[i + 1] = s.Hi;
        }
        spansDrawn =
            d.DrawColumnSpans(first, FColumnFills, style.Top, style.Base, style.PrimitiveType == 4);
    }
    if (!spansDrawn) {
        std::vector<TCustomVertex> dots;
        dots.swap(FColumnVertices);
        AppendSpanVertexes(FColumnSpans, style, FColumnVertices);
        FColumnVertices.insert(FColumnVertices.end(), dots.begin(), dots.end());
    }
    if (FColumnVertices.empty()) {
        return;
    }

    const std::size_t bytes = FColumnVertices.size() * sizeof(TCustomVertex);
    auto buffer = Stream(graph.VertexBufferSamples);
    if (!buffer || buffer->Size() < bytes) {
        // Room for more than this frame needs, so that the next frames write in place.
        buffer = d.CreateVertexBuffer(bytes + bytes / 2);
        graph.VertexBufferSamples = buffer;
        if (!buffer) {
            Fail(graph.PrimitiveType == 3 ? "Error: CreateVertexBuffer: VertexBufferSamples!"
                                          : "Error: CreateVertexBuffer for samples.");
            return;
        }
    }
    void* p = buffer->Lock(0, bytes);
    if (p == nullptr) {
        Fail(graph.PrimitiveType == 3 ? "Error: VertexBufferSamples.Lock!"
                                      : "Error: VertexBufferSamples.Lock.");
        return;
    }
    std::memcpy(p, FColumnVertices.data(), bytes);
    buffer->Unlock();
    d.SetStreamSource(buffer);
    d.DrawPrimitive(GlPrimitiveType::TriangleList, 0,
                    static_cast<int>(FColumnVertices.size() / 3));
}

// ------------------------------------------------------------------ texts

namespace {
constexpr int kLabelGap = 8;              // pixels between two drawn x labels at least
constexpr double kMinTextContrast = 7.0; // texts over the curves, against the background
// A text that lies over the waveform: a one-pixel rim of the background around every glyph
// keeps it readable whatever is drawn beneath.
void DrawTextOverCurves(GlDevice& Device, GlFont& Font, const QString& Text, int X, int Y,
                        TD3DColor Color, TD3DColor Background) {
    const TD3DColor rim = Background | 0xFF000000u;
    for (const auto& [dx, dy] : {std::pair{-1, 0}, std::pair{1, 0}, std::pair{0, -1},
                                 std::pair{0, 1}}) {
        Device.DrawText(Font, Text, X + dx, Y + dy, rim);
    }
    // Opaque: a curve colour's alpha (half for the editor's green) would let the rim darken
    // the glyphs it surrounds.
    Device.DrawText(Font, Text, X, Y, Color | 0xFF000000u);
}
QChar DecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QLatin1Char('.') : point.front();
}
QChar GroupSeparator() {
    const QString sep = QLocale().groupSeparator();
    return sep.isEmpty() ? QLatin1Char(',') : sep.front();
}
} // namespace

void TGraphDisplayRenderer::DrawAxisYLabels(TGraphDisplayItem& Item) {
    const TGraphDisplayItemAxisY& axis = Item.Axis.AxisY;
    GlDevice* device = Device(Item);
    if (!axis.LabelsVisible || device == nullptr) {
        return;
    }
    const TRenderPanel& panel = FHost.Panel();
    TAxisYLayoutInput in;
    in.DisplayMode = Item.DisplayMode;
    in.ChannelCount = Item.ChannelCount;
    in.Height = panel.height();
    in.FontSize = axis.Font.Size;
    in.Divisions = axis.Divisions;
    in.ScaleMode = axis.ScaleMode;
    in.Scale = AxisYScale(axis.ScaleMode, Item.MaxAmplitudeRange(), Item.MinAmplitudeRange(),
                          axis.Max, axis.Min, Item.AmplitudeFactor);
    in.AxisMin = axis.Min;
    in.MinAmplitudeOffset = Item.MinAmplitudeOffset();
    GlFont* font = Font(axis.D3DFont);
    const TD3DColor color = ColorToD3D(axis.Font.Color);
    for (const TAxisYLabel& label : AxisYLabels(in)) {
        const std::optional<QString> hostText = FHost.NeedAxisYText(Item, label.EventValue);
        const QString text =
            hostText ? *hostText
                     : label.Sign + FloatToStrF(label.TextValue, axis.Format, axis.Precision,
                                                axis.Digits, DecimalSeparator(), GroupSeparator());
        if (font == nullptr) {
            continue;
        }
        if (axis.LabelSide == 0 || axis.LabelSide == 2) {
            device->DrawText(*font, text, 3, label.Y, color);
        }
        if (axis.LabelSide == 1 || axis.LabelSide == 2) {
            const int w = device->MeasureText(*font, text);
            device->DrawText(*font, text, panel.width() - w - 3, label.Y, color);
        }
    }
}

void TGraphDisplayRenderer::DrawAxisXLabels(TGraphDisplayItem& Item) {
    const TGraphDisplayItemAxisX& axis = Item.Axis.AxisX;
    GlDevice* device = Device(Item);
    if (!axis.LabelsVisible || device == nullptr) {
        return;
    }
    const TRenderPanel& panel = FHost.Panel();
    const int fs = axis.Font.Size;
    GlFont* font = Font(axis.D3DFont);
    const TD3DColor color = ColorToD3D(axis.Font.Color);
    const std::vector<TAxisXLabel> labels = AxisXLabels(
        axis.Divisions, FHost.GetScrollPosition(), FHost.GetScrollMax(), Item.XMax, panel.width());
    std::vector<QString> texts;
    std::vector<double> centres;
    std::vector<int> widths;
    for (const TAxisXLabel& label : labels) {
        const std::optional<QString> hostText = FHost.NeedAxisXText(Item, label.Value);
        texts.push_back(hostText ? *hostText
                                 : FloatToStrF(label.Value, axis.Format, axis.Precision,
                                               axis.Digits, DecimalSeparator(), GroupSeparator()));
        centres.push_back(label.X);
        widths.push_back(font != nullptr ? device->MeasureText(*font, texts.back()) : 0);
    }
    if (font == nullptr) {
        return;
    }
    // A narrow panel shows every second or fifth label rather than texts run together.
    const int stride = LabelStride(centres, widths, kLabelGap);
    for (std::size_t k = 1; k <= texts.size(); ++k) {
        if (k % static_cast<std::size_t>(stride) != 0) {
            continue;
        }
        const QString& text = texts[k - 1];
        const int left = CentredLeft(centres[k - 1], widths[k - 1]);
        if (axis.LabelSide == 0 || axis.LabelSide == 2) {
            device->DrawText(*font, text, left, panel.height() - 1 - fs, color);
        }
        if (axis.LabelSide == 1 || axis.LabelSide == 2) {
            device->DrawText(*font, text, left, 1, color);
        }
    }
}

void TGraphDisplayRenderer::DrawLegend(TGraphDisplayItem& Item) {
    GlDevice* device = Device(Item);
    GlFont* font = Font(Item.Legend.D3DFont);
    if (!Item.Legend.Visible || device == nullptr || font == nullptr) {
        return;
    }
    const TRenderPanel& panel = FHost.Panel();
    std::vector<TLegendCurve> curves;
    for (const TGraphDisplayGraphItem& graph : Item.GraphItems) {
        curves.push_back({graph.Half, graph.Channel});
    }
    const auto rows = LegendPositions(Item.DisplayMode, Item.ChannelCount, Item.Legend.Position,
                                      Item.Legend.Font.Size, panel.width(), panel.height(), curves);
    for (int i = 0; i < Item.GraphItems.Count(); ++i) {
        if (const auto& row = rows[static_cast<std::size_t>(i)]) {
            const TGraphDisplayGraphItem& graph = Item.GraphItems[i];
            // The curve's colour, made readable against the background where it is not.
            const TD3DColor background = ColorToD3D(Item.BackgroundColor);
            const TD3DColor color =
                ReadableTextColor(ColorToD3D(graph.Color), background, kMinTextContrast);
            DrawTextOverCurves(*device, *font, graph.Caption, row->X, row->Y, color, background);
        }
    }
}

void TGraphDisplayRenderer::DrawMarkerTexts(int Index, TGraphDisplayItem& Item) {
    GlDevice* device = Device(Item);
    const TGraphDisplayItemAxisX& axis = Item.Axis.AxisX;
    GlFont* font = Font(axis.D3DFont);
    if (!Item.Markers.Visible || device == nullptr || font == nullptr ||
        !SetGraphItemTransform(Index, 0)) {
        return;
    }
    const TRenderPanel& panel = FHost.Panel();
    const int width = panel.width();
    struct TText {
        QString Text;
        int Left;
        int Width;
        TD3DColor Color;
    };
    std::vector<TText> texts;
    for (TGraphDisplayMarker& marker : Item.Markers) {
        const std::optional<QString> text = FHost.NeedMarkerText(Item, marker);
        const float x = MarkerVertexX(marker.X, Item.XMax, Item.MaxPrimitiveCount());
        if (!text || text->isEmpty() || x < 0.0f) {
            continue;
        }
        const double column = device->WindowX(x, 0.0, 1.0);
        if (!std::isfinite(column) || column < 0.0 || column > width) {
            continue;
        }
        const int w = device->MeasureText(*font, *text);
        // Right of the line, or left of it where the panel ends.
        int left = static_cast<int>(column) + 3;
        if (left + w > width) {
            left = static_cast<int>(column) - 3 - w;
        }
        texts.push_back({*text, left, w,
                         ReadableTextColor(ColorToD3D(marker.Color),
                                           ColorToD3D(Item.BackgroundColor), kMinTextContrast)});
    }
    std::sort(texts.begin(), texts.end(),
              [](const TText& a, const TText& b) { return a.Left < b.Left; });
    std::vector<int> lefts;
    std::vector<int> widths;
    for (const TText& t : texts) {
        lefts.push_back(t.Left);
        widths.push_back(t.Width);
    }
    const std::vector<int> rows = StackedTextRows(lefts, widths, kLabelGap, 3);
    const int fs = axis.Font.Size;
    const bool bottomLabels = axis.LabelsVisible && (axis.LabelSide == 0 || axis.LabelSide == 2);
    const int base = panel.height() - 1 - (bottomLabels ? fs + 3 : 0);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (rows[i] >= 0) {
            const int y = base - (rows[i] + 1) * (fs + 4);
            DrawTextOverCurves(*device, *font, texts[i].Text, texts[i].Left, y, texts[i].Color,
                               ColorToD3D(Item.BackgroundColor));
        }
    }
}

void TGraphDisplayRenderer::DrawCaption(TGraphDisplayItem& Item) {
    GlDevice* device = Device(Item);
    GlFont* font = Font(Item.Caption.D3DFont);
    if (!Item.Caption.Visible || device == nullptr || font == nullptr) {
        return;
    }
    const int w = device->MeasureText(*font, Item.Caption.Text);
    device->DrawText(*font, Item.Caption.Text, FHost.Panel().width() / 2 - w / 2, 25,
                     ColorToD3D(Item.Caption.Font.Color));
}

} // namespace tavrela
