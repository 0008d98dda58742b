#pragma once

// Draws the panes of a display with one device per pane: device lifecycle, the curve and
// overlay geometry, the camera and world transforms, the start-up animation, the frame
// and its texts. Only the active pane is drawn. See render_host.h for what the display
// provides.

#include "column_geometry.h"
#include "custom_vertex.h"
#include "gl/gl_device.h"
#include "render_host.h"

#include <QtGlobal>

#include <cstdint>
#include <optional>
#include <vector>

#include <memory>

namespace tavrela {

class GlContext;
class GlDevice;
class TGraphDisplayItem;
class TGraphDisplayGraphItem;
class TSampleSummary;
struct TSampleSpan;

class TGraphDisplayRenderer {
public:
    explicit TGraphDisplayRenderer(IRenderHost& Host);
    TGraphDisplayRenderer(const TGraphDisplayRenderer&) = delete;
    TGraphDisplayRenderer& operator=(const TGraphDisplayRenderer&) = delete;
    ~TGraphDisplayRenderer();

    // ---- device lifecycle
    /// (Re)makes the device of pane Index and everything built on it, then renders. False
    /// when no device was made (or Index is -1). Raises EGraphDisplayError unless
    /// SuppressErrors.
    bool InitD3D(int Index);
    /// Releases the shared graphics object when forced or when no pane holds a device.
    void D3DFree(bool Force);
    /// The panel was resized: re-makes the active pane's device and curves (only once a
    /// device has been made and while AutoReInit is set).
    void PanelResize();
    /// Builds every curve of pane Index. Always true.
    bool InitializeGeometries(int Index);
    /// True once any InitD3D ran to its end.
    bool D3DInitialized() const { return FD3DInitialized; }
    /// Whether the shared graphics object exists.
    bool HasDirect3D() const { return FDirect3D != nullptr; }
    /// Fills the active pane's back buffer with its background colour and presents it;
    /// nothing without a device. Raises the list index error without an active pane.
    void Clear();

    // ---- curve geometry
    /// Builds the vertex buffer of curve GraphIndex of pane Index (or starts the sample
    /// thread when samples come from it).
    void CreateVertexesFromSamples(int Index, int GraphIndex);
    bool CreateLineStripVertexes(int Index, int GraphIndex);
    int CreateBarVertexes(int Index, int GraphIndex);

    // ---- overlay geometry
    int CreateCoordsVertexes(int Index);
    int CreateGridVerticalVertexes(int Index);
    bool CreateSelectionVertexes(int Index, float XStart, float XEnd);
    bool CreateGraphItemSelectionVertexes(int Index, TGraphDisplayGraphItem& GraphItem,
                                          float XStart, float XEnd);
    int CreateMarkerVertexes(int Index, long long Highlighted);
    int CreateCursorVertexes(int Index, float X);
    void CreateFonts(int Index);
    /// Rebuilds the active pane's selection band from its SelectionStart/End (no event).
    void UpdateSelection();
    /// Rebuilds a curve's own selection band of the active pane (no event).
    void UpdateGraphItemSelection(TGraphDisplayGraphItem& GraphItem);

    // ---- camera, transforms, animation
    void SetupCamera(int Index);
    bool SetGraphItemTransform(int Index, int GraphIndex);
    bool SetGraphItemSelectionTransform(int Index, int GraphIndex);
    bool SetLaneTransform(int Index, int Half, int Slot);
    /// Starts the tilt-in animation of pane Index; false when there is no such pane.
    bool SetupStartupAnim(int Index);

    // ---- frame
    /// Refreshes the per-frame geometry and draws the active pane. Never raises.
    void Render();
    /// Draws and presents pane Index; true when the frame was presented.
    bool RenderFrame(int Index);

    // ---- texts of a frame
    void DrawAxisYLabels(TGraphDisplayItem& Item);
    void DrawAxisXLabels(TGraphDisplayItem& Item);
    void DrawLegend(TGraphDisplayItem& Item);
    void DrawCaption(TGraphDisplayItem& Item);
    /// The host's short texts beside the markers of pane `Index`, above the bottom labels.
    void DrawMarkerTexts(int Index, TGraphDisplayItem& Item);

    /// The device of a pane (nullptr when it has none).
    static GlDevice* Device(const TGraphDisplayItem& Item);

    /// Something the frame shows changed that the renderer cannot see for itself: the next
    /// Render draws. (Changes of the model, the view, the selection, the hover, the markers
    /// and the playback cursor are seen without it.)
    void Invalidate() { FFrameValid = false; }
    /// Frames presented since the renderer was made.
    quint64 FramesPresented() const { return FFramesPresented; }

private:
    // The samples of part of a curve, fetched for deep zoom.
    struct TRawWindow {
        const TGraphDisplayGraphItem* Graph = nullptr;
        const TSampleSummary* Summary = nullptr;
        std::size_t First = 0;
        std::vector<float> Values;
    };
    static bool Buildable(const TGraphDisplayItem& Item, const TGraphDisplayGraphItem& Graph);
    /// The summary (from Samples when Summarise), extent and scale of a curve.
    bool BuildCurve(int Index, int GraphIndex, int PrimitiveType, bool Summarise);
    void DropRawSamples(const TGraphDisplayGraphItem& Graph);
    const float* RawSamples(TGraphDisplayItem& Item, TGraphDisplayGraphItem& Graph,
                            const TSampleSpan& Need, TSampleSpan& Have);
    /// Draws curve GraphIndex as spans of the back buffer's pixel columns; the curve's
    /// transform must be set.
    void DrawCurveColumns(TGraphDisplayItem& Item, int GraphIndex);
    /// What the frame of Item shows, as a number: equal numbers, equal pictures.
    std::uint64_t FrameKey(TGraphDisplayItem& Item, const std::optional<double>& Cursor);
    void Fail(const char* Message) const;
    TGraphDisplayItem* Pane(int Index) const;
    TGraphDisplayItem* PaneWithDevice(int Index) const;
    void DrawLanes(TGraphDisplayItem& Item, int StartVertex, int LineCount);
    /// What the selection's fills do to each channel value on Device (learnt once per
    /// device, colour and operation); nullptr where the device cannot apply such a table.
    const GlChannelTable* SelectionTable(GlDevice& Device, const TGraphDisplayItem& Item);
    void DrawSelectionPasses(GlDevice& Device, const TGraphDisplayItem& Item,
                             const std::shared_ptr<class TRenderResource>& Shade,
                             const std::shared_ptr<class TRenderResource>& Band);

    IRenderHost& FHost;
    std::shared_ptr<GlContext> FDirect3D;
    bool FD3DInitialized = false;
    bool FFrameValid = false;
    std::uint64_t FLastFrameKey = 0;
    quint64 FFramesPresented = 0;
    quint64 FGeometryGeneration = 0;
    std::vector<TRawWindow> FRawWindows;
    std::vector<TCustomVertex> FColumnVertices;
    std::vector<TColumnSpan> FColumnSpans;
    std::vector<float> FColumnFills;
    std::optional<GlChannelTable> FSelectionTable;
    const GlDevice* FSelectionTableDevice = nullptr;
    std::uint32_t FSelectionTableOp = 0;
    TColor FSelectionTableColour = 0;
};

} // namespace tavrela
