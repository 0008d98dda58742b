#pragma once
// The markers stored in the file's tag, as the editor turns them into display markers at load
// and back into time texts at save. Pure: no window, no display.

#include <app/markers/marker_kinds.h>

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace tavrela {

class TGraphDisplayItem;

/// The marker texts, the comment and the jingle the editor keeps for a file.
struct MarkerTexts {
    QString Intro, AudioStart, AudioEnd, ChorusStart, ChorusEnd, MixPoint, StampJingle, StampTime,
        Comment;
    friend bool operator==(const MarkerTexts&, const MarkerTexts&) = default;
};

/// A marker to create on the pane.
using PlannedMarker = TMarkerValue;

/// The markers to create from stored texts, and the errors of texts that could not be used.
struct StoredMarkerPlan {
    std::vector<PlannedMarker> Markers;
    QStringList Errors;
};

/// Markers for the non-empty texts, in the order introduction, start of audio, end of audio,
/// chorus start, chorus end, mix point, stamp, each with its load caption, its colour key and
/// its x on the DurationSeconds scale. A text that cannot be read gives its conversion error
/// and no marker; with DurationSeconds 0 no text can be placed and one error says so.
StoredMarkerPlan PlanStoredMarkers(const MarkerTexts& texts, std::int64_t DurationSeconds,
                                   double TotalX);

/// The seven marker texts as a save writes them: each kind's last marker on the pane as a
/// time text cut to 8 characters, empty for a kind without a marker. The comment and the
/// jingle are not touched. A negative text of `stored` (the texts as loaded) whose marker the
/// operator did not move is kept as it was stored: the time text cannot say it again.
void ComputeSaveTexts(const TGraphDisplayItem& pane, std::int64_t DurationSeconds, double TotalX,
                      MarkerTexts& texts, const MarkerTexts& stored = {});

} // namespace tavrela
