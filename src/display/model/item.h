#pragma once

#include "graph_item.h"
#include "marker.h"
#include "render_resource.h"
#include "settings.h"
#include "types.h"

#include <QString>

namespace tavrela {

class TGraphDisplayItems;
class IGraphDisplayOwner;

/// One graph pane: its curves, markers, axis/legend/caption settings, view state
/// (zoom, scroll, selection) and the rendering resources the renderer keeps for it.
class TGraphDisplayItem {
public:
    explicit TGraphDisplayItem(TGraphDisplayItems* AOwner);
    TGraphDisplayItem(const TGraphDisplayItem&) = delete;
    TGraphDisplayItem& operator=(const TGraphDisplayItem&) = delete;
    ~TGraphDisplayItem();

    TGraphDisplayItems* const Owner;

    double ViewPosition = 0.0; ///< the view's scroll position, in x units
    double XMax = 1.0;         ///< total x extent (write through SetXMax to keep selections)
    QString Name;              ///< key for FindItem
    TGraphDisplayGraphItems GraphItems{this};
    TColor BackgroundColor = 0;
    TColor SelectionColor = 0xEEEEEE;
    int SelectionBlendOp = 1; ///< blend operation of the selection band (1 = add)
    TColor SelectionBorderColor = 0x991111;
    /// 1 = one lane rising from the bottom; 2 = one lane centred; 3 = two half lanes
    /// (curves choose with Half); 4 = ChannelCount stacked lanes (curves choose by Channel).
    std::uint8_t DisplayMode = 2;
    std::uint8_t SelectionMode = 0; ///< 0 = one pane selection; 1 = one per curve
    int ChannelCount = 0;
    TGraphDisplayMarkers Markers{this};
    TGraphDisplayItemAxis Axis{this};
    TGraphDisplayItemLegend Legend{this};
    TGraphDisplayItemCaption Caption{this};
    int Index = 0;
    double ZoomFactor = 1.0;     ///< 1.0 shows the whole x range; never below 1.0
    double ZoomInFactor = 1.25;  ///< one wheel step with delta >= 0
    double ZoomOutFactor = 0.75; ///< one wheel step with delta < 0
    double SelectionStart = 0.0; ///< also the editor's play/insert position
    double SelectionEnd = 1.0;
    float AmplitudeFactor = 1.0f; ///< vertical magnification of all curves
    bool Animating = false;
    float AnimationProgress = 0.0f;
    QString BackgroundPicture; ///< picture file drawn behind the pane

    // Rendering state, filled and used by the renderer only.
    TRenderHandle Device;
    TRenderHandle VertexBufferCoords;
    TRenderHandle VertexBufferGridVertical;
    TRenderHandle VertexBufferSelection;
    TRenderHandle VertexBufferSelectionShade;
    TRenderHandle VertexBufferMarkers;
    TRenderHandle VertexBufferCursor;
    int CoordsLineCount = 0;
    int GridVerticalLineCount = 0;
    int MarkerLineCount = 0;
    TMatrix4 WorldMatrix;
    TMatrix4 AnimationMatrix;
    TRenderHandle BackgroundSurface;
    TRect BackgroundRect;

    /// Sets XMax and the selection end of the pane and of every curve present.
    void SetXMax(double Value);
    /// The largest PrimitiveCount among the curves; 1 when none is above 0.
    int MaxPrimitiveCount() const;
    /// The largest AmplitudeRange among the curves, from 0.0.
    float MaxAmplitudeRange() const;
    /// The smallest AmplitudeRange among the curves, from 3.402823e38.
    float MinAmplitudeRange() const;
    /// The smallest AmplitudeOffset among the curves, from 3.402823e38.
    double MinAmplitudeOffset() const;
    /// The deepest useful zoom in a panel PanelWidth pixels wide: one sample of the longest
    /// curve kMaxPixelsPerSample pixels wide (never below 1; no limit without samples).
    double MaxZoomFactor(int PanelWidth) const;
    static constexpr double kMaxPixelsPerSample = 8.0;
    /// ViewPosition in units of the display's standard scroll bar.
    double GetViewScrollPosition() const;
    /// Stores a standard scroll bar position as ViewPosition.
    void SetViewScrollPosition(double Position);

    /// Releases the pane's own rendering references: device, then vertex buffers, then
    /// the background surface.
    void ReleaseRenderResources();

    /// The display that owns this pane's collection (nullptr when standalone).
    IGraphDisplayOwner* Display() const;
};

} // namespace tavrela
