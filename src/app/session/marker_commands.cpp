#include "marker_commands.h"

#include <display/model/items.h>
#include <tags/tag.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>

namespace tavrela {

namespace {

// Where the stamp's jingle files live, in the form the playout host reads.
const QString kJingleFolder = QStringLiteral("Vinhetas\\");

// The tag's stored value of each kind's text: emptied with the marker so that a save (whose
// empty arguments fall back to the stored values) does not write the removed marker back.
std::string tags::Tag::*StoredTagField(TMarkerKind Kind) {
    switch (Kind) {
    case TMarkerKind::AudioStart:
        return &tags::Tag::AudioStart;
    case TMarkerKind::Intro:
        return &tags::Tag::Intro;
    case TMarkerKind::ChorusStart:
        return &tags::Tag::ChorusStart;
    case TMarkerKind::ChorusEnd:
        return &tags::Tag::ChorusEnd;
    case TMarkerKind::AudioEnd:
        return &tags::Tag::AudioEnd;
    case TMarkerKind::MixPoint:
        return &tags::Tag::MixPoint;
    case TMarkerKind::Stamp:
        return &tags::Tag::StampTime;
    }
    return &tags::Tag::StampTime;
}

} // namespace

int EndScrollPosition(double TotalX) {
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    if (!(TotalX > 0.0)) {
        return 0;
    }
    return static_cast<int>(std::nearbyint(std::min(TotalX, kMax)));
}

TMarkerCommands::TMarkerCommands(IEditorView& View, TEditorFields Fields)
    : FView(View), F(Fields) {}

bool TMarkerCommands::HasPane() const {
    return FView.Items().Count() > 0;
}

QString& TMarkerCommands::TextField(TMarkerKind Kind) {
    switch (Kind) {
    case TMarkerKind::AudioStart:
        return F.AudioStart;
    case TMarkerKind::Intro:
        return F.Intro;
    case TMarkerKind::ChorusStart:
        return F.ChorusStart;
    case TMarkerKind::ChorusEnd:
        return F.ChorusEnd;
    case TMarkerKind::AudioEnd:
        return F.AudioEnd;
    case TMarkerKind::MixPoint:
        return F.MixPoint;
    case TMarkerKind::Stamp:
        return F.StampTime;
    }
    return F.StampTime;
}

void TMarkerCommands::PlaceMarker(int Tag, const QString& Caption) {
    if (!HasPane()) {
        return;
    }
    const std::optional<TMarkerKind> kind = MarkerKindFromNumber(Tag);
    if (!kind) {
        return;
    }
    if (*kind == TMarkerKind::Stamp) {
        const std::optional<QString> jingle = FView.ChooseJingle();
        if (!jingle) {
            return;
        }
        F.StampJingle = kJingleFolder + *jingle;
    }
    TGraphDisplayItem& pane = FView.Items()[0];
    if (TGraphDisplayMarker* marker = FirstMarkerOfKind(pane.Markers, *kind)) {
        marker->X = pane.SelectionStart;
        return;
    }
    AddMarker(pane.Markers,
              TMarkerValue{Caption, pane.SelectionStart, MarkerKindInfo(*kind).ColorKey});
}

bool TMarkerCommands::RemoveMarkerKind(TMarkerKind Kind) {
    if (!HasPane()) {
        return false;
    }
    TextField(Kind).clear();
    tags::CurrentTag.*StoredTagField(Kind) = std::string();
    if (Kind == TMarkerKind::Stamp) {
        F.StampJingle.clear();
        tags::CurrentTag.StampJingle.clear();
    }
    TGraphDisplayMarkers& markers = FView.Items()[0].Markers;
    if (const TGraphDisplayMarker* marker = FirstMarkerOfKind(markers, Kind)) {
        markers.Delete(marker->Index);
    }
    return true;
}

void TMarkerCommands::RemoveComment() {
    F.Comment.clear();
    tags::CurrentTag.Comment.clear();
}

bool TMarkerCommands::RemoveAllMarkers() {
    static constexpr std::array kOrder = {TMarkerKind::Stamp,       TMarkerKind::AudioEnd,
                                          TMarkerKind::ChorusEnd,   TMarkerKind::AudioStart,
                                          TMarkerKind::ChorusStart, TMarkerKind::Intro,
                                          TMarkerKind::MixPoint};
    for (const TMarkerKind kind : kOrder) {
        if (!RemoveMarkerKind(kind)) {
            return false;
        }
    }
    RemoveComment();
    return true;
}

void TMarkerCommands::OpenCommentPanel() {
    if (!HasPane()) {
        return;
    }
    FView.SetCommentEditText(F.Comment);
    FView.ShowCommentPanel(true);
}

void TMarkerCommands::ConfirmComment() {
    F.Comment = FView.CommentEditText();
    CancelComment();
}

void TMarkerCommands::CancelComment() {
    FView.SetCommentEditText(F.Comment);
    FView.ShowCommentPanel(false);
}

bool TMarkerCommands::MouseDown(TPointerButton Button, int X, int Y) {
    if (Button == TPointerButton::Right) {
        // The right button only opens the menu: the selection start, where markers go and
        // playback starts, stays where the operator last clicked.
        FView.OpenPopupMenu(X, Y);
        return true;
    }
    if (Button == TPointerButton::Left && FView.MoveModeShown()) {
        F.Dragging = true;
        F.DragStartX = X;
        FDragStartScroll = FView.GetScrollPosition();
        return true;
    }
    return false;
}

void TMarkerCommands::MouseMove(int X, int Y) {
    Q_UNUSED(Y);
    if (!F.Dragging) {
        return;
    }
    // Measured from the press, not from the last move: however many moves arrive, the point
    // under the hand at the press stays under the hand.
    const double shift = static_cast<double>(F.DragStartX - X) * FView.ScrollUnitsPerPixel();
    FView.SetScrollPosition(std::clamp<std::int64_t>(
        FDragStartScroll + std::llround(shift), 0, std::numeric_limits<std::int32_t>::max()));
}

void TMarkerCommands::MouseUp() {
    F.Dragging = false;
}

void TMarkerCommands::ToggleMoveMode() {
    FView.ShowMoveMode(!FView.MoveModeShown());
}

bool TMarkerCommands::GoToStart() {
    if (!HasPane()) {
        return false;
    }
    FView.SetScrollPosition(0);
    return true;
}

bool TMarkerCommands::GoToEnd() {
    if (!HasPane()) {
        return false;
    }
    FView.SetScrollPosition(EndScrollPosition(F.TotalX));
    return true;
}

bool TMarkerCommands::ShowAll() {
    if (!HasPane()) {
        return false;
    }
    FView.ShowAll();
    return true;
}

bool TMarkerCommands::ResetSelection() {
    if (!HasPane()) {
        return false;
    }
    FView.SelectAll();
    return true;
}

bool TMarkerCommands::CancelEdits() {
    if (!HasPane()) {
        return false;
    }
    FView.Reload();
    return true;
}

void TMarkerCommands::SetScrollWhilePlaying(bool On) {
    FView.SetSampleScroll(On);
}

} // namespace tavrela
