#pragma once
// Connects the display widget with its renderer: the renderer sees the display through
// IRenderHost, the display drives the renderer through IGraphDisplayDevice.
#include "display/render/render_host.h"
#include "display/render/renderer.h"
#include "graph_display_core.h"

namespace tavrela {

class TGraphDisplay3D;

class TRenderBridge : public IRenderHost, public IGraphDisplayDevice {
public:
    explicit TRenderBridge(TGraphDisplay3D& Display);

    TGraphDisplayRenderer& Renderer() { return FRenderer; }

    // IRenderHost
    TGraphDisplayItems& Items() override;
    int ActiveIndex() const override;
    long long HoverMarkerIndex() const override;
    TRenderProperties& RenderProperties() override;
    TRenderPanel& Panel() override;
    bool DisplayVisible() const override;
    int GetScrollPosition() override;
    int GetScrollMax() override;
    void ShowDrawingSurface() override;
    void FollowPlayback() override;
    void StartSampleThread(int Index, int GraphIndex) override;
    void D3DDestroy() override;
    void NeedSamples(TGraphDisplayItem& Item, TGraphDisplayGraphItem& GraphItem) override;
    void BeforeD3DRender(TGraphDisplayItem& Item) override;
    void BeforeD3DSamplesRender(TGraphDisplayItem& Item) override;
    void AfterD3DSamplesRender(TGraphDisplayItem& Item) override;
    void AfterD3DRender(TGraphDisplayItem& Item) override;
    std::size_t NeedSampleRange(TGraphDisplayItem& Item, TGraphDisplayGraphItem& GraphItem,
                                std::size_t First, float* Out, std::size_t Count) override;
    std::optional<double> NeedPlaybackPosition(TGraphDisplayItem& Item) override;
    std::optional<QString> NeedAxisXText(TGraphDisplayItem& Item, double Value) override;
    std::optional<QString> NeedMarkerText(TGraphDisplayItem& Item,
                                          TGraphDisplayMarker& Marker) override;
    std::optional<QString> NeedAxisYText(TGraphDisplayItem& Item, double Value) override;

    // IGraphDisplayDevice
    bool InitD3D(int Index) override { return FRenderer.InitD3D(Index); }
    void D3DFree(bool Force) override { FRenderer.D3DFree(Force); }
    void PanelResize() override { FRenderer.PanelResize(); }
    bool InitializeGeometries(int Index) override { return FRenderer.InitializeGeometries(Index); }
    bool D3DInitialized() const override { return FRenderer.D3DInitialized(); }
    bool HasDirect3D() const override { return FRenderer.HasDirect3D(); }
    void Clear() override { FRenderer.Clear(); }
    void UpdateSelection() override { FRenderer.UpdateSelection(); }
    void UpdateGraphItemSelection(TGraphDisplayGraphItem& GraphItem) override {
        FRenderer.UpdateGraphItemSelection(GraphItem);
    }
    bool SetupStartupAnim(int Index) override { return FRenderer.SetupStartupAnim(Index); }
    void Render() override { FRenderer.Render(); }
    void Invalidate() override { FRenderer.Invalidate(); }
    std::uint64_t FramesPresented() const override { return FRenderer.FramesPresented(); }

private:
    TGraphDisplay3D& FDisplay;
    TGraphDisplayRenderer FRenderer;
};

} // namespace tavrela
