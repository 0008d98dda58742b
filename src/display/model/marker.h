#pragma once

#include "list.h"
#include "types.h"

#include <QString>

namespace tavrela {

class TGraphDisplayItem;
class TGraphDisplayMarkers;

/// Colour of a marker that was added and not yet given one.
inline constexpr std::uint32_t kDefaultMarkerColor = 0xFFAAAAAA;

/// A vertical marker line at an x position of its pane.
class TGraphDisplayMarker {
public:
    explicit TGraphDisplayMarker(TGraphDisplayMarkers* AOwner) : Owner(AOwner) {}
    TGraphDisplayMarker(const TGraphDisplayMarker&) = delete;
    TGraphDisplayMarker& operator=(const TGraphDisplayMarker&) = delete;

    double X = 0.0;                            ///< position, 0 ... the pane's XMax
    QString Caption;                           ///< label kept with the marker
    std::uint32_t Color = kDefaultMarkerColor; ///< low 24 bits drawn, as a TColor
    int Index = 0;                             ///< position in its collection

    TGraphDisplayMarkers* const Owner;
};

/// The markers of a pane.
class TGraphDisplayMarkers : public TGraphDisplayList<TGraphDisplayMarker, TGraphDisplayItem> {
public:
    explicit TGraphDisplayMarkers(TGraphDisplayItem* AOwner) : TGraphDisplayList(AOwner) {}

    /// Appends a marker with default fields, then reports it to the display (gdmctAdd);
    /// the caller fills position, caption and colour afterwards.
    TGraphDisplayMarker& Add();
    /// Frees every marker; no event.
    void Clear() { FreeAll(); }
    /// Frees the marker at `Index` and renumbers the rest; no event. Throws EListError.
    void Delete(int Index) { FreeAt(Index); }

    bool Visible = true; ///< markers are drawn only when set
};

} // namespace tavrela
