#pragma once
// Everything of the waveform display that is not a widget: published properties and events,
// the model, navigation (zoom, scroll, pointer-to-value mapping), pointer and key reactions
// and the sample thread. It reaches the screen only through its device side
// (IGraphDisplayDevice) and the small set of virtual hooks at the bottom, which the widget
// implements and tests replace.
#include "display/model/model.h"
#include "display/render/render_host.h"
#include "graph_display_events.h"
#include "scroll_bar_control.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace tavrela {

class TSampleThread;

/// The drawing side of the display: device life cycle, geometry and frames. The widget
/// supplies one over its renderer; without one nothing is drawn.
class IGraphDisplayDevice {
public:
    virtual ~IGraphDisplayDevice() = default;
    /// (Re)creates the device of pane `Index` and draws; false when none was made.
    virtual bool InitD3D(int Index) = 0;
    /// Releases the shared graphics object when forced or when no pane holds a device.
    virtual void D3DFree(bool Force) = 0;
    /// The panel was resized: re-creates the active pane's device when allowed.
    virtual void PanelResize() = 0;
    /// Builds the geometry of every curve of pane `Index`.
    virtual bool InitializeGeometries(int Index) = 0;
    /// True once a device creation ran to its end.
    virtual bool D3DInitialized() const = 0;
    /// Whether the shared graphics object exists.
    virtual bool HasDirect3D() const = 0;
    /// Clears the active pane's picture to its background colour.
    virtual void Clear() = 0;
    /// Rebuilds the active pane's selection band, or the curve's own one.
    virtual void UpdateSelection() = 0;
    virtual void UpdateGraphItemSelection(TGraphDisplayGraphItem& GraphItem) = 0;
    /// Starts the tilt-in animation of pane `Index`; false when there is no such pane.
    virtual bool SetupStartupAnim(int Index) = 0;
    /// Draws the active pane when anything it shows changed; never raises.
    virtual void Render() = 0;
    /// The next Render draws even when nothing it can see changed.
    virtual void Invalidate() {}
    /// Frames presented so far.
    virtual std::uint64_t FramesPresented() const { return 0; }
};

/// The four drag flags of the drawing panel.
struct TPanelDragState {
    bool MarkerDragging = false;
    bool SelectionDragging = false;
    bool LeftButtonDown = false;
    bool RightButtonDown = false;
};

/// Published properties read by rendering (MaximumVertexCount, Animate, Antialiasing,
/// ShowSelection, ShowMarkers, ShowCursor, SolidCursor, SuppressErrors, AutoReInit,
/// SampleInSeparateThread, SamplesManagement, D3DVertexProcessingMode,
/// MaximumVertexCountMode) come from TRenderProperties, with their initial values.
class TGraphDisplayCore : public IGraphDisplayOwner,
                          public TGraphDisplayEvents,
                          public TRenderProperties {
public:
    TGraphDisplayCore();
    TGraphDisplayCore(const TGraphDisplayCore&) = delete;
    TGraphDisplayCore& operator=(const TGraphDisplayCore&) = delete;
    ~TGraphDisplayCore() override;

    // ---- published properties (initial values as after construction)
    TGraphDisplayItems& Items() { return *FItems; }
    const TGraphDisplayItems& Items() const { return *FItems; }
    bool FollowCursor = false; ///< stored only
    bool SampleScroll = false; ///< keep the playback position in view while playing
    bool AllowSelect = true;
    bool AllowQuickPlay = true;
    bool AllowWheelZoom = true;
    bool AllowAmplitudeChangeWithKey = true;

    /// Index of the active pane's marker under the pointer, -1 for none.
    long long HoverMarkerIndex() const { return FHoverMarkerIndex; }
    /// Set by every device creation that completes; gates the resize re-initialisation.
    bool D3DInitialized() const { return FDevice && FDevice->D3DInitialized(); }

    int ActiveIndex() const override { return FActiveIndex; }
    /// Stores the index; animates a valid pane when Animate is set; then UpdateScrollRange
    /// (which throws EListError for an index other than -1 that names no pane).
    void SetActiveIndex(int Value);
    int Progress() const { return FProgress; }
    TGraphDisplayScrollBarType ScrollBarType() const { return FScrollBarType; }
    virtual void SetScrollBarType(TGraphDisplayScrollBarType Value);

    // ---- operations
    /// Prepares pane `Index`: start-up animation, then (unless samples come from the sample
    /// thread) device and curve geometry. Always true.
    bool Initialize(int Index);
    /// Clears the active pane's picture to its background colour. Throws EListError without
    /// an active pane.
    void Clear();
    /// Deletes pane `Index` (a failure there is ignored) and releases the renderer when no
    /// pane holds a device any more.
    void StreamClose(int Index);
    /// Fires OnPause for pane `Index`.
    void PauseStream(int Index);
    int FindItem(const QString& Name) const { return FItems->FindItem(Name); }

    // ---- navigation
    int GetScrollMax();
    int GetScrollPosition();
    void SetScrollPosition(int Value);
    /// The change event of both scroll bars.
    void ScrollBarChange();
    /// Adapts the scroll bar in use to the active pane's ZoomFactor.
    void UpdateScrollRange();
    /// One wheel notch: zoom in for a delta >= 0, out for a negative one; never below 1.0.
    void WheelZoomStep(int WheelDelta);
    /// One wheel notch about pixel column PanelX of the panel: the x value under that column
    /// stays under it (as far as the range's ends allow). A column outside the panel means
    /// its centre.
    void ZoomStepAt(int WheelDelta, int PanelX);
    /// Sets the view so that GetScrollPosition reads Value, held inside 0 … the last page.
    /// Unlike SetScrollPosition it is exact on the flat bar as well, and the view follows
    /// even when the bar's position does not change.
    void ScrollTo(long long Value);
    /// Scroll units per pixel column of the panel: one page (600 units) is its width.
    double ScrollUnitsPerPixel() const;
    /// A sideways wheel turn: scrolls the view, a notch (120) a tenth of a page; a positive
    /// delta (tilted left) goes towards the start.
    void WheelScroll(int DeltaX);
    /// Zooms so that the selection fills the view; nothing for an empty selection.
    void Zoom();
    void ShowAll();
    void SelectAll();
    /// The x value under pixel column X of the panel (unsigned, as the platform passes it);
    /// also updates the marker hover unless a drag is in progress.
    double MousePosition2XValue(std::uint32_t X);
    /// The curve lane under pixel row Y of the panel.
    int MousePosition2Index(std::uint32_t Y);
    /// Keeps the playback position in view while playing (SampleScroll); run before a frame.
    void FollowPlayback();

    // ---- interaction
    void HandleMouseDown(TMouseButton Button, int X, int Y);
    void HandleMouseMove(int X, int Y);
    /// Rebuilds the pane selection band; with Notify fires OnSelection.
    void UpdateSelection(bool Notify);
    void UpdateGraphItemSelection(bool Notify, TGraphDisplayGraphItem& GraphItem);

    /// Pointer and key messages of the panel, the logo picture, the scroll bars and the
    /// control itself: the host's event first, then the display's own reaction. A host
    /// handler that throws (the silent abort included) cancels the rest.
    void PanelMouseDown(TMouseButton Button, int X, int Y);
    void PanelMouseUp(TMouseButton Button, int X, int Y);
    void PanelMouseMove(int X, int Y);
    void PanelDblClick(int X, int Y);
    void PanelMouseLeave();
    /// Wheel over the panel or a scroll bar (host sees the control's parent) and over the
    /// control itself (host sees the control).
    /// PanelX is the pointer's column in panel pixels, the point the zoom keeps in place; a
    /// column outside the panel (the default) zooms about its centre.
    void PanelMouseWheel(int WheelDelta, int PanelX = -1) {
        MouseWheel(ParentObject(), WheelDelta, PanelX);
    }
    void ScrollBarMouseWheel(int WheelDelta, int PanelX = -1) {
        MouseWheel(ParentObject(), WheelDelta, PanelX);
    }
    void ControlMouseWheel(int WheelDelta, int PanelX = -1) {
        MouseWheel(SelfObject(), WheelDelta, PanelX);
    }
    /// A wheel event of any child or of the control, as the platform delivers it: vertical
    /// motion is a zoom notch (above), sideways motion without vertical motion scrolls.
    void HorizontalWheel(int DeltaX);
    /// Key handling shared by both scroll bars (and the control, for the hidden bar);
    /// returns the code the bar's default handling is to act on.
    std::uint16_t ScrollBarKeyDown(QObject* ScrollBarObject, std::uint16_t CharCode);
    void PictureMouseDown(TMouseButton Button, int X, int Y);
    void PictureMouseUp(TMouseButton Button, int X, int Y);
    void PictureMouseMove(int X, int Y);
    void PictureDblClick(int X, int Y);
    void PictureKeyDown(std::uint16_t CharCode);
    void PictureMouseWheel(int WheelDelta);

    // ---- sample thread
    TSampleThread* SampleThread() const { return FSampleThread; }
    /// Starts a worker for curve `GraphIndex` of pane `Index`, after stopping the running one.
    void StartSampleThread(int Index, int GraphIndex);
    /// Asks the running worker to stop and waits for it.
    void WaitForSampleThread();
    /// A worker's packet, on the user-interface thread.
    void ReceiveSamplesPacket(TSamplesPacket& Packet);
    /// A worker's last message: forgets it when it is the current one.
    void SampleThreadFinished(std::uint64_t Id);
    /// Sets Progress on the user-interface thread; callable from any thread.
    void PostProgress(int Value);

    // ---- rendering (the device side is supplied by the widget)
    bool InitD3D(int Index) { return FDevice ? FDevice->InitD3D(Index) : false; }
    void D3DFree(bool Force) {
        if (FDevice) {
            FDevice->D3DFree(Force);
        }
    }
    bool InitializeGeometries(int Index);
    /// Draws the active pane when anything it shows changed since the last frame (model,
    /// view, selection, hover, markers, playback cursor, panel size); otherwise does nothing.
    void Render() {
        FRenderQueued = false;
        if (FDevice) {
            FDevice->Render();
        }
    }
    /// Something shown changed: draw soon (once, however often this is called before).
    /// The one entry point for code that changes what the display shows outside the model,
    /// or that wants the change on screen before the host's next Render.
    void RequestFrame();
    /// Bytes the curves of every pane hold for their samples and summaries.
    std::size_t SampleStorageBytes() const;
    /// Frames presented so far (none while nothing changes).
    std::uint64_t FramesPresented() const { return FDevice ? FDevice->FramesPresented() : 0; }
    bool SetupStartupAnim(int Index) { return FDevice ? FDevice->SetupStartupAnim(Index) : false; }
    /// The drawing side; the display owns it.
    IGraphDisplayDevice* Device() const { return FDevice.get(); }
    void SetDevice(std::unique_ptr<IGraphDisplayDevice> Value) { FDevice = std::move(Value); }

    // IGraphDisplayOwner
    void StoreActiveIndex(int Index) override { FActiveIndex = Index; }
    void NotifyMarkerChange(TGraphDisplayItem& Item, TGraphDisplayMarker& Marker,
                            TGraphDisplayMarkerChangeType Change) override;
    void InvalidatePanel() override {}
    int StandardScrollBarMax() const override;

protected:
    /// Re-create the device after the panel was resized, when allowed.
    void PanelResize() {
        if (FDevice) {
            FDevice->PanelResize();
        }
    }
    /// Ends every worker (before the control goes away).
    void StopSampleThreads();

    // ---- hooks
    virtual IScrollBarControl& StandardScrollBar() = 0;
    virtual const IScrollBarControl& StandardScrollBar() const = 0;
    virtual IScrollBarControl& FlatScrollBarControl() = 0;
    virtual int PanelWidth() const = 0;
    virtual int PanelHeight() const = 0;
    virtual TPanelDragState& PanelState() = 0;
    virtual void SetPanelCursor(TPanelCursor Cursor) = 0;
    /// Senders: the control, its parent, its panel.
    virtual QObject* SelfObject() = 0;
    virtual QObject* ParentObject() = 0;
    virtual QObject* PanelObject() = 0;
    /// Keyboard focus to the bar that takes keys, after a click in the panel or a move.
    virtual void FocusKeyTarget() {}
    /// Whether a pointer move over the panel may take the keyboard focus (not while the
    /// operator types in a text field).
    virtual bool MayTakeFocusOnMove() const { return true; }

private:
    void MouseWheel(QObject* Sender, int WheelDelta, int PanelX);
    /// The navigation keys (arrows, page keys, Home, End, zoom keys) on the bar in use;
    /// true when the key was one of them.
    bool NavigationKey(std::uint16_t CharCode);
    /// Ends a drag whose pointer left the panel sideways, as leaving the panel does.
    void EndDragOutside();
    IScrollBarControl& ScrollBarInUse();
    TGraphDisplayItem& ActiveItem();
    void UpdateMarkerHover(TGraphDisplayItem& Item, double Value, double Tolerance);
    void SelectionStartFromPointer(TGraphDisplayItem& Item, double Value, int Y);
    void SelectionEndFromPointer(TGraphDisplayItem& Item, double Value, int Y);

    std::unique_ptr<IGraphDisplayDevice> FDevice;
    std::unique_ptr<TGraphDisplayItems> FItems;
    int FActiveIndex = -1;
    long long FHoverMarkerIndex = -1;
    int FProgress = 0;
    TGraphDisplayScrollBarType FScrollBarType = gdsbtWindows;

    QObject MessageWindow; // target of the sample threads' queued calls
    std::vector<std::unique_ptr<TSampleThread>> FThreads;
    TSampleThread* FSampleThread = nullptr;
    std::uint64_t FNextThreadId = 1;
    bool FRenderQueued = false;
};

} // namespace tavrela
