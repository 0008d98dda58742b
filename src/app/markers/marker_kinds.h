#pragma once

// The seven kinds of cue marker the editor places, and how a display marker is matched to
// its kind: by its colour, which is both what is drawn and the kind's key.

#include "display/model/marker.h"
#include "display/model/types.h"

#include <QString>

#include <array>
#include <optional>

namespace tavrela {

/// Marker kinds; the value is the kind's number (the Tag of the command that places it).
enum class TMarkerKind : int {
    AudioStart = 1,
    Intro = 2,
    ChorusStart = 3,
    ChorusEnd = 4,
    AudioEnd = 5,
    MixPoint = 6,
    Stamp = 7,
};

/// One row of the kind table.
struct TMarkerKindInfo {
    TMarkerKind Kind;
    int Number;              ///< 1 ... 7
    TColor ColorKey;         ///< marker colour that identifies the kind (0x00BBGGRR)
    const char* ColorName;   ///< the colour's common name
    const char* LoadCaption; ///< UTF-8 caption of a marker loaded from the file
    const char* TextField;   ///< name of the text field that holds the kind's time text
    const char* Frame;       ///< ID3v2 frame of the time text
};

/// The kind table in number order.
const std::array<TMarkerKindInfo, 7>& MarkerKinds();

/// The table row of `Kind`.
const TMarkerKindInfo& MarkerKindInfo(TMarkerKind Kind);

/// The kind with number `Number` (a command's Tag); empty outside 1 ... 7.
std::optional<TMarkerKind> MarkerKindFromNumber(int Number);

/// The kind whose key equals `Color` (all 32 bits); empty for any other colour.
std::optional<TMarkerKind> MarkerKindOfColor(std::uint32_t Color);

/// The caption given to a marker of `Kind` loaded from the file.
QString MarkerLoadCaption(TMarkerKind Kind);

/// A marker's own values, apart from the collection that holds it.
struct TMarkerValue {
    QString Caption;
    double X = 0.0;
    std::uint32_t Color = 0;
    friend bool operator==(const TMarkerValue&, const TMarkerValue&) = default;
};

/// Appends a marker with `Value`'s caption, position and colour.
TGraphDisplayMarker& AddMarker(TGraphDisplayMarkers& Markers, const TMarkerValue& Value);

/// The first marker of `Kind` in collection order (what editing commands act on), or null.
TGraphDisplayMarker* FirstMarkerOfKind(const TGraphDisplayMarkers& Markers, TMarkerKind Kind);

/// The last marker of `Kind` in collection order (whose position and time are read), or null.
TGraphDisplayMarker* LastMarkerOfKind(const TGraphDisplayMarkers& Markers, TMarkerKind Kind);

/// X of the last marker of `Kind`; empty when there is none.
std::optional<double> MarkerX(const TGraphDisplayMarkers& Markers, TMarkerKind Kind);

/// The stored time text of the last marker of `Kind` (not yet cut to the stored length);
/// empty when there is none. Throws EMathError when `TotalX` is 0.
QString MarkerTimeText(const TGraphDisplayMarkers& Markers, TMarkerKind Kind,
                       std::int64_t DurationSeconds, double TotalX);

} // namespace tavrela
