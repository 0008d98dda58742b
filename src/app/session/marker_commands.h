#pragma once
// The operator's editing commands on the loaded file: placing and removing markers, the
// comment, drag-to-scroll in move mode, and the navigation buttons.
//
// A command that returns false could not proceed (no file shown): the window ends it with
// the silent abort. Commands that return nothing simply do nothing then.

#include "editor_view.h"

#include <app/markers/marker_kinds.h>

#include <QString>

#include <cstdint>

namespace tavrela {

/// Pointer buttons as the display reports them.
enum class TPointerButton { Left, Right, Middle };

class TMarkerCommands {
public:
    TMarkerCommands(IEditorView& View, TEditorFields Fields);

    /// Places the marker of the kind numbered `Tag` at the selection start, or moves the one
    /// that exists (keeping its caption); a new marker gets `Caption`. The stamp first asks
    /// for its jingle; a cancelled choice changes nothing. Tags outside 1 ... 7 do nothing.
    void PlaceMarker(int Tag, const QString& Caption);
    /// Empties the kind's text (and the tag's stored value, so it is not written back), then
    /// deletes the kind's first marker. False without a pane.
    [[nodiscard]] bool RemoveMarkerKind(TMarkerKind Kind);
    /// Empties the comment, here and in the tag's stored value; an open panel keeps its text.
    void RemoveComment();
    /// Every kind's marker and text, the stamp jingle and the comment. False without a pane.
    [[nodiscard]] bool RemoveAllMarkers();

    /// Shows the comment panel with the current comment (only when a file is shown).
    void OpenCommentPanel();
    void ConfirmComment();
    void CancelComment();

    /// The display's press event. True when the press was taken here (the context menu, or
    /// the start of a drag in move mode): the display must then not react to it.
    [[nodiscard]] bool MouseDown(TPointerButton Button, int X, int Y);
    void MouseMove(int X, int Y);
    void MouseUp();
    /// Switches between marking and moving the waveform with the left button.
    void ToggleMoveMode();

    [[nodiscard]] bool GoToStart();
    /// Scrolls to the file's end; positions beyond the 32-bit scroll range go to its end.
    [[nodiscard]] bool GoToEnd();
    [[nodiscard]] bool ShowAll();
    [[nodiscard]] bool ResetSelection();
    /// Reloads the file, dropping every unsaved edit.
    [[nodiscard]] bool CancelEdits();
    void SetScrollWhilePlaying(bool On);

private:
    bool HasPane() const;
    QString& TextField(TMarkerKind Kind);

    IEditorView& FView;
    TEditorFields F;
    std::int64_t FDragStartScroll = 0; ///< the view's scroll position at a move-mode press
};

/// The scroll position of the file's end: `TotalX` rounded (halves to even) and held inside
/// 0 ... 2147483647.
int EndScrollPosition(double TotalX);

} // namespace tavrela
