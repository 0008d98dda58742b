#include "stored_markers.h"

#include <app/markers/marker_kinds.h>
#include <app/markers/time_text.h>
#include <display/model/item.h>

#include <optional>
#include <utility>

namespace tavrela {

namespace {

// The kinds with the field holding each one's text, in the order a load creates them.
std::array<std::pair<TMarkerKind, const QString MarkerTexts::*>, 7> LoadOrder() {
    return {{{TMarkerKind::Intro, &MarkerTexts::Intro},
             {TMarkerKind::AudioStart, &MarkerTexts::AudioStart},
             {TMarkerKind::AudioEnd, &MarkerTexts::AudioEnd},
             {TMarkerKind::ChorusStart, &MarkerTexts::ChorusStart},
             {TMarkerKind::ChorusEnd, &MarkerTexts::ChorusEnd},
             {TMarkerKind::MixPoint, &MarkerTexts::MixPoint},
             {TMarkerKind::Stamp, &MarkerTexts::StampTime}}};
}

} // namespace

StoredMarkerPlan PlanStoredMarkers(const MarkerTexts& texts, std::int64_t DurationSeconds,
                                   double TotalX) {
    StoredMarkerPlan plan;
    for (const auto& [kind, field] : LoadOrder()) {
        const QString& text = texts.*field;
        if (text.isEmpty()) {
            continue;
        }
        try {
            const double seconds = ParseMarkerTime(text);
            const double x = SecondsToX(DurationSeconds, seconds, TotalX);
            plan.Markers.push_back(
                PlannedMarker{MarkerLoadCaption(kind), x, MarkerKindInfo(kind).ColorKey});
        } catch (const std::exception& error) {
            // One text that cannot be used must not cost the others: report it and go on.
            const QString message = QString::fromUtf8(error.what());
            if (!plan.Errors.contains(message)) {
                plan.Errors.push_back(message);
            }
        }
    }
    return plan;
}

void ComputeSaveTexts(const TGraphDisplayItem& pane, std::int64_t DurationSeconds, double TotalX,
                      MarkerTexts& texts, const MarkerTexts& stored) {
    const std::pair<TMarkerKind, QString MarkerTexts::*> saveOrder[] = {
        {TMarkerKind::Intro, &MarkerTexts::Intro},
        {TMarkerKind::AudioStart, &MarkerTexts::AudioStart},
        {TMarkerKind::AudioEnd, &MarkerTexts::AudioEnd},
        {TMarkerKind::ChorusStart, &MarkerTexts::ChorusStart},
        {TMarkerKind::ChorusEnd, &MarkerTexts::ChorusEnd},
        {TMarkerKind::Stamp, &MarkerTexts::StampTime},
        {TMarkerKind::MixPoint, &MarkerTexts::MixPoint}};
    for (const auto& [kind, field] : saveOrder) {
        texts.*field = MarkerTimeText(pane.Markers, kind, DurationSeconds, TotalX)
                           .left(kStoredMarkerTextLength);
        const QString original = (stored.*field).trimmed();
        const std::optional<double> x = MarkerX(pane.Markers, kind);
        if (original.startsWith(QLatin1Char('-')) && x) {
            try {
                if (*x == SecondsToX(DurationSeconds, ParseMarkerTime(original), TotalX)) {
                    texts.*field = stored.*field;
                }
            } catch (const std::exception&) {
                // Not a text a marker came from: the marker's own time is written.
            }
        }
    }
}

} // namespace tavrela
