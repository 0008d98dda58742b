#include "marker_kinds.h"

#include "time_text.h"

namespace tavrela {

namespace {

constexpr std::array<TMarkerKindInfo, 7> kKinds = {{
    {TMarkerKind::AudioStart, 1, 0xFFFF00, "aqua", "Início", "AudioStart", "TMXI"},
    {TMarkerKind::Intro, 2, 0x0000FF, "red", "Introdução", "Intro", "TINT"},
    {TMarkerKind::ChorusStart, 3, 0x00FF00, "lime", "Início do Refrão", "ChorusStart", "TRFI"},
    {TMarkerKind::ChorusEnd, 4, 0x00FFFF, "yellow", "Fim do Refrão", "ChorusEnd", "TRFF"},
    {TMarkerKind::AudioEnd, 5, 0xFF00FF, "fuchsia", "Fim", "AudioEnd", "TMXF"},
    {TMarkerKind::MixPoint, 6, 0x008080, "olive", "Ponto de Mixagem", "MixPoint", "TPMI"},
    {TMarkerKind::Stamp, 7, 0x000080, "maroon", "Carimbo", "StampTime", "TCAR"},
}};

} // namespace

const std::array<TMarkerKindInfo, 7>& MarkerKinds() {
    return kKinds;
}

const TMarkerKindInfo& MarkerKindInfo(TMarkerKind Kind) {
    return kKinds.at(static_cast<std::size_t>(static_cast<int>(Kind) - 1));
}

std::optional<TMarkerKind> MarkerKindFromNumber(int Number) {
    if (Number < 1 || Number > static_cast<int>(kKinds.size())) {
        return std::nullopt;
    }
    return kKinds[static_cast<std::size_t>(Number - 1)].Kind;
}

std::optional<TMarkerKind> MarkerKindOfColor(std::uint32_t Color) {
    for (const TMarkerKindInfo& info : kKinds) {
        if (info.ColorKey == Color) {
            return info.Kind;
        }
    }
    return std::nullopt;
}

QString MarkerLoadCaption(TMarkerKind Kind) {
    return QString::fromUtf8(MarkerKindInfo(Kind).LoadCaption);
}

TGraphDisplayMarker* FirstMarkerOfKind(const TGraphDisplayMarkers& Markers, TMarkerKind Kind) {
    const TColor key = MarkerKindInfo(Kind).ColorKey;
    for (TGraphDisplayMarker& marker : Markers) {
        if (marker.Color == key) {
            return &marker;
        }
    }
    return nullptr;
}

TGraphDisplayMarker* LastMarkerOfKind(const TGraphDisplayMarkers& Markers, TMarkerKind Kind) {
    const TColor key = MarkerKindInfo(Kind).ColorKey;
    TGraphDisplayMarker* last = nullptr;
    for (TGraphDisplayMarker& marker : Markers) {
        if (marker.Color == key) {
            last = &marker;
        }
    }
    return last;
}

TGraphDisplayMarker& AddMarker(TGraphDisplayMarkers& Markers, const TMarkerValue& Value) {
    TGraphDisplayMarker& marker = Markers.Add();
    marker.Caption = Value.Caption;
    marker.X = Value.X;
    marker.Color = Value.Color;
    return marker;
}

std::optional<double> MarkerX(const TGraphDisplayMarkers& Markers, TMarkerKind Kind) {
    if (const TGraphDisplayMarker* marker = LastMarkerOfKind(Markers, Kind)) {
        return marker->X;
    }
    return std::nullopt;
}

QString MarkerTimeText(const TGraphDisplayMarkers& Markers, TMarkerKind Kind,
                       std::int64_t DurationSeconds, double TotalX) {
    const TGraphDisplayMarker* marker = LastMarkerOfKind(Markers, Kind);
    if (marker == nullptr) {
        return {};
    }
    return SecondsToMarkerText(XToSeconds(DurationSeconds, TotalX, marker->X));
}

} // namespace tavrela
