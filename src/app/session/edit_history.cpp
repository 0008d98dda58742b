#include "edit_history.h"

#include <display/model/items.h>
#include <tags/tag.h>

#include <utility>

namespace tavrela {

TEditHistory::TEditHistory(IEditorView& View, TEditorFields Fields) : FView(View), F(Fields) {}

TEditState TEditHistory::Capture() const {
    TEditState s;
    if (FView.Items().Count() > 0) {
        for (const TGraphDisplayMarker& m : FView.Items()[0].Markers) {
            s.Markers.push_back(TMarkerValue{m.Caption, m.X, m.Color});
        }
    }
    s.AudioStart = F.AudioStart;
    s.AudioEnd = F.AudioEnd;
    s.Intro = F.Intro;
    s.ChorusStart = F.ChorusStart;
    s.ChorusEnd = F.ChorusEnd;
    s.Comment = F.Comment;
    s.StampTime = F.StampTime;
    s.StampJingle = F.StampJingle;
    s.MixPoint = F.MixPoint;
    const tags::Tag& t = tags::CurrentTag;
    s.TagAudioStart = t.AudioStart;
    s.TagAudioEnd = t.AudioEnd;
    s.TagIntro = t.Intro;
    s.TagChorusStart = t.ChorusStart;
    s.TagChorusEnd = t.ChorusEnd;
    s.TagComment = t.Comment;
    s.TagStampTime = t.StampTime;
    s.TagStampJingle = t.StampJingle;
    s.TagMixPoint = t.MixPoint;
    return s;
}

void TEditHistory::Restore(const TEditState& s) {
    if (FView.Items().Count() > 0) {
        TGraphDisplayMarkers& markers = FView.Items()[0].Markers;
        markers.Clear();
        for (const TMarkerValue& m : s.Markers) {
            AddMarker(markers, m);
        }
    }
    F.AudioStart = s.AudioStart;
    F.AudioEnd = s.AudioEnd;
    F.Intro = s.Intro;
    F.ChorusStart = s.ChorusStart;
    F.ChorusEnd = s.ChorusEnd;
    F.Comment = s.Comment;
    F.StampTime = s.StampTime;
    F.StampJingle = s.StampJingle;
    F.MixPoint = s.MixPoint;
    tags::Tag& t = tags::CurrentTag;
    t.AudioStart = s.TagAudioStart;
    t.AudioEnd = s.TagAudioEnd;
    t.Intro = s.TagIntro;
    t.ChorusStart = s.TagChorusStart;
    t.ChorusEnd = s.TagChorusEnd;
    t.Comment = s.TagComment;
    t.StampTime = s.TagStampTime;
    t.StampJingle = s.TagStampJingle;
    t.MixPoint = s.TagMixPoint;
}

void TEditHistory::Reset() {
    FUndo.clear();
    FRedo.clear();
    FOpen.reset();
}

void TEditHistory::Record(TEditState Before, TEditState After) {
    if (Before == After) {
        return;
    }
    FUndo.push_back(TStep{std::move(Before), std::move(After)});
    FRedo.clear();
}

void TEditHistory::Edit(const std::function<void()>& Command) {
    // An edit in the middle of a drag splits it: the drag so far, this edit, the rest.
    const bool wasOpen = FOpen.has_value();
    EndStep();
    TEditState before = Capture();
    try {
        Command();
    } catch (...) {
        Record(std::move(before), Capture());
        if (wasOpen) {
            BeginStep();
        }
        throw;
    }
    Record(std::move(before), Capture());
    if (wasOpen) {
        BeginStep();
    }
}

void TEditHistory::BeginStep() {
    EndStep();
    FOpen = Capture();
}

void TEditHistory::EndStep() {
    if (!FOpen) {
        return;
    }
    TEditState before = std::move(*FOpen);
    FOpen.reset();
    Record(std::move(before), Capture());
}

bool TEditHistory::Undo() {
    EndStep();
    if (FUndo.empty()) {
        return false;
    }
    TStep step = std::move(FUndo.back());
    FUndo.pop_back();
    Restore(step.Before);
    FRedo.push_back(std::move(step));
    return true;
}

bool TEditHistory::Redo() {
    EndStep();
    if (FRedo.empty()) {
        return false;
    }
    TStep step = std::move(FRedo.back());
    FRedo.pop_back();
    Restore(step.After);
    FUndo.push_back(std::move(step));
    return true;
}

bool TEditHistory::CanUndo() const {
    return !FUndo.empty() || (FOpen && Capture() != *FOpen);
}

bool TEditHistory::CanRedo() const {
    return !FRedo.empty();
}

} // namespace tavrela
