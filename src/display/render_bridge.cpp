#include "render_bridge.h"

#include "graph_display_3d.h"

namespace tavrela {

namespace {

// An event seen through the renderer: called with the control as sender when assigned.
template <typename Event, typename... Args> void fire(const Event& e, Args&&... args) {
    if (e) {
        e(std::forward<Args>(args)...);
    }
}

} // namespace

TRenderBridge::TRenderBridge(TGraphDisplay3D& Display) : FDisplay(Display), FRenderer(*this) {}

TGraphDisplayItems& TRenderBridge::Items() {
    return FDisplay.Items();
}
int TRenderBridge::ActiveIndex() const {
    return FDisplay.ActiveIndex();
}
long long TRenderBridge::HoverMarkerIndex() const {
    return FDisplay.HoverMarkerIndex();
}
TRenderProperties& TRenderBridge::RenderProperties() {
    return FDisplay;
}
TRenderPanel& TRenderBridge::Panel() {
    return *FDisplay.Panel();
}
bool TRenderBridge::DisplayVisible() const {
    return FDisplay.isVisible();
}
int TRenderBridge::GetScrollPosition() {
    return FDisplay.GetScrollPosition();
}
int TRenderBridge::GetScrollMax() {
    return FDisplay.GetScrollMax();
}
void TRenderBridge::ShowDrawingSurface() {
    FDisplay.ShowDrawingSurface();
}
void TRenderBridge::FollowPlayback() {
    FDisplay.FollowPlayback();
}
void TRenderBridge::StartSampleThread(int Index, int GraphIndex) {
    FDisplay.StartSampleThread(Index, GraphIndex);
}
void TRenderBridge::D3DDestroy() {
    fire(FDisplay.OnD3DDestroy, &FDisplay);
}
void TRenderBridge::NeedSamples(TGraphDisplayItem& Item, TGraphDisplayGraphItem& GraphItem) {
    fire(FDisplay.OnNeedSamples, &FDisplay, &Item, &GraphItem);
}
void TRenderBridge::BeforeD3DRender(TGraphDisplayItem& Item) {
    fire(FDisplay.BeforeD3DRender, &FDisplay, &Item);
}
void TRenderBridge::BeforeD3DSamplesRender(TGraphDisplayItem& Item) {
    fire(FDisplay.BeforeD3DSamplesRender, &FDisplay, &Item);
}
void TRenderBridge::AfterD3DSamplesRender(TGraphDisplayItem& Item) {
    fire(FDisplay.AfterD3DSamplesRender, &FDisplay, &Item);
}
void TRenderBridge::AfterD3DRender(TGraphDisplayItem& Item) {
    fire(FDisplay.AfterD3DRender, &FDisplay, &Item);
}
std::size_t TRenderBridge::NeedSampleRange(TGraphDisplayItem& Item,
                                           TGraphDisplayGraphItem& GraphItem, std::size_t First,
                                           float* Out, std::size_t Count) {
    if (!FDisplay.OnNeedSampleRange) {
        return 0;
    }
    return FDisplay.OnNeedSampleRange(&FDisplay, &Item, &GraphItem, First, Out, Count);
}
std::optional<double> TRenderBridge::NeedPlaybackPosition(TGraphDisplayItem& Item) {
    if (!FDisplay.OnNeedPlaybackPosition) {
        return std::nullopt;
    }
    return FDisplay.OnNeedPlaybackPosition(&FDisplay, &Item);
}
std::optional<QString> TRenderBridge::NeedAxisXText(TGraphDisplayItem& Item, double Value) {
    if (!FDisplay.OnNeedAxisXText) {
        return std::nullopt;
    }
    return FDisplay.OnNeedAxisXText(&FDisplay, &Item, Value);
}
std::optional<QString> TRenderBridge::NeedMarkerText(TGraphDisplayItem& Item,
                                                     TGraphDisplayMarker& Marker) {
    if (!FDisplay.OnNeedMarkerText) {
        return std::nullopt;
    }
    return FDisplay.OnNeedMarkerText(&FDisplay, &Item, &Marker);
}
std::optional<QString> TRenderBridge::NeedAxisYText(TGraphDisplayItem& Item, double Value) {
    if (!FDisplay.OnNeedAxisYText) {
        return std::nullopt;
    }
    return FDisplay.OnNeedAxisYText(&FDisplay, &Item, Value);
}

} // namespace tavrela
