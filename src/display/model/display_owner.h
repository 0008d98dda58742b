#pragma once

#include "types.h"

namespace tavrela {

class TGraphDisplayItem;
class TGraphDisplayMarker;

/// What the model needs from the display that owns it. The display widget implements it;
/// tests use a small fake, so the model works without any widget.
class IGraphDisplayOwner {
public:
    virtual ~IGraphDisplayOwner() = default;

    /// The display's active pane index (-1 for none).
    virtual int ActiveIndex() const = 0;
    /// Writes the active pane index as a plain field: no animation, no scroll range update.
    virtual void StoreActiveIndex(int Index) = 0;
    /// Reports a marker change; the display calls its marker event when one is assigned.
    virtual void NotifyMarkerChange(TGraphDisplayItem& Item, TGraphDisplayMarker& Marker,
                                    TGraphDisplayMarkerChangeType Change) = 0;
    /// Asks the display to repaint its drawing panel.
    virtual void InvalidatePanel() = 0;
    /// The Max of the display's standard scroll bar, whichever bar is shown.
    virtual int StandardScrollBarMax() const = 0;
};

} // namespace tavrela
