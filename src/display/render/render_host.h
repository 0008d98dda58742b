#pragma once

// The contract between the display widget and its renderer: what a frame needs to know
// about the display (model, view state, properties, events) and the errors the renderer
// reports. The widget implements IRenderHost and owns one TGraphDisplayRenderer.

#include "display/model/types.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>

namespace tavrela {

class TGraphDisplayItems;
class TGraphDisplayItem;
class TGraphDisplayGraphItem;
class TGraphDisplayMarker;
class TRenderPanel;

/// A failure of the renderer; its message begins with "Error". Raised only while the
/// display's SuppressErrors is off.
class EGraphDisplayError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The display's published properties that rendering reads. The widget keeps them here and
/// its property accessors read and write these fields; the renderer writes only
/// MaximumVertexCount (clamped to the device's limit when a device is made).
struct TRenderProperties {
    TD3DVertexProcessingMode D3DVertexProcessingMode = gd3dvpmHardware;
    bool Antialiasing = false;
    std::int64_t MaximumVertexCount = 500000;
    TD3DMaximumVertexCountMode MaximumVertexCountMode = gd3dCustom;
    bool SuppressErrors = false;
    bool AutoReInit = true;
    bool ShowSelection = true;
    bool ShowMarkers = true;
    bool ShowCursor = false;
    bool SolidCursor = false;
    bool Animate = true;
    bool SampleInSeparateThread = false;
    TGraphDisplaySamplesManagement SamplesManagement = gdsmKeep;
};

/// What the renderer needs from the display that owns it.
class IRenderHost {
public:
    virtual ~IRenderHost() = default;

    /// The panes.
    virtual TGraphDisplayItems& Items() = 0;
    /// Index of the pane shown (-1 for none).
    virtual int ActiveIndex() const = 0;
    /// Marker of the active pane under the pointer, -1 for none.
    virtual long long HoverMarkerIndex() const = 0;
    /// The rendering properties (see TRenderProperties).
    virtual TRenderProperties& RenderProperties() = 0;
    /// The drawing panel the frames are presented on.
    virtual TRenderPanel& Panel() = 0;
    /// Whether the display is visible (the cursor follows playback only then).
    virtual bool DisplayVisible() const = 0;
    /// Position and Max of the scroll bar in use (x labels).
    virtual int GetScrollPosition() = 0;
    virtual int GetScrollMax() = 0;

    /// A device was made: hide the logo picture and show the chosen scroll bar.
    virtual void ShowDrawingSurface() = 0;
    /// Before each frame: keep the playback position in view when the display follows it.
    virtual void FollowPlayback() = 0;
    /// Samples come from the sample thread: start it for this curve.
    virtual void StartSampleThread(int Index, int GraphIndex) = 0;

    // The display's events; each call does nothing when the event is not assigned.
    virtual void D3DDestroy() = 0;
    virtual void NeedSamples(TGraphDisplayItem& Item, TGraphDisplayGraphItem& GraphItem) = 0;
    virtual void BeforeD3DRender(TGraphDisplayItem& Item) = 0;
    virtual void BeforeD3DSamplesRender(TGraphDisplayItem& Item) = 0;
    virtual void AfterD3DSamplesRender(TGraphDisplayItem& Item) = 0;
    virtual void AfterD3DRender(TGraphDisplayItem& Item) = 0;
    /// Fills Out with the values of samples First ... First + Count - 1 of a curve that keeps
    /// only its summary; returns how many it filled (0: none can be had).
    virtual std::size_t NeedSampleRange(TGraphDisplayItem& Item, TGraphDisplayGraphItem& GraphItem,
                                        std::size_t First, float* Out, std::size_t Count) {
        (void)Item;
        (void)GraphItem;
        (void)First;
        (void)Out;
        (void)Count;
        return 0;
    }
    /// The playback position in x units; nullopt when the event is not assigned.
    virtual std::optional<double> NeedPlaybackPosition(TGraphDisplayItem& Item) = 0;
    /// Label texts from the host; nullopt when the event is not assigned.
    virtual std::optional<QString> NeedAxisXText(TGraphDisplayItem& Item, double Value) = 0;
    virtual std::optional<QString> NeedAxisYText(TGraphDisplayItem& Item, double Value) = 0;
    /// The text drawn beside a marker; nullopt (the default) or empty for none.
    virtual std::optional<QString> NeedMarkerText(TGraphDisplayItem& Item,
                                                  TGraphDisplayMarker& Marker) {
        (void)Item;
        (void)Marker;
        return std::nullopt;
    }
};

} // namespace tavrela
