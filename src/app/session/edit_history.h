#pragma once
// Undo and redo of the operator's edits: the markers, the comment and the stamp's jingle.
//
// Each step keeps the whole edit state before and after it (a few markers and texts), so an
// undo restores exactly what was there, whatever happened between the steps. A step spanning
// several events (a marker drag from press to release) is opened and closed explicitly.

#include "editor_view.h"

#include <app/markers/marker_kinds.h>

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavrela {

/// Everything an edit can change: pane 0's markers in collection order, the window's texts,
/// and the tag's stored values that a remove empties (a save falls back to them).
struct TEditState {
    std::vector<TMarkerValue> Markers;
    QString AudioStart, AudioEnd, Intro, ChorusStart, ChorusEnd, Comment, StampTime, StampJingle,
        MixPoint;
    std::string TagAudioStart, TagAudioEnd, TagIntro, TagChorusStart, TagChorusEnd, TagComment,
        TagStampTime, TagStampJingle, TagMixPoint;
    friend bool operator==(const TEditState&, const TEditState&) = default;
};

class TEditHistory {
public:
    TEditHistory(IEditorView& View, TEditorFields Fields);

    /// The edit state now (no markers when no file is shown).
    [[nodiscard]] TEditState Capture() const;
    /// Puts a state back: pane 0's markers (when a file is shown), the texts and the tag's
    /// stored values.
    void Restore(const TEditState& State);

    /// Forgets every step: the state now is the one loaded from the file.
    void Reset();
    /// Runs one edit command as one step. No step when it changed nothing; the step is kept
    /// also when the command ends with an exception after changing something.
    void Edit(const std::function<void()>& Command);
    /// Opens a step that later events complete (a marker drag); an open step is closed first.
    void BeginStep();
    /// Closes the open step, keeping it when the state changed since it was opened.
    void EndStep();

    /// Back to the state before the last step; false when there is none.
    bool Undo();
    /// The last undone step again; false when there is none.
    bool Redo();
    /// An undo would change something (a step, or an open step that changed the state).
    [[nodiscard]] bool CanUndo() const;
    [[nodiscard]] bool CanRedo() const;

private:
    struct TStep {
        TEditState Before;
        TEditState After;
    };
    void Record(TEditState Before, TEditState After);

    IEditorView& FView;
    TEditorFields F;
    std::vector<TStep> FUndo;
    std::vector<TStep> FRedo;
    std::optional<TEditState> FOpen;
};

} // namespace tavrela
