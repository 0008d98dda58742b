#pragma once
// The editor's keyboard shortcuts: one table that the window binds, shows in its menu entries
// and button tooltips, and lists in its "Atalhos" box.
//
// Letters place the marker kinds (Shift removes), digits play the previews, Ctrl combinations
// save, undo and redo. The waveform's own keys (arrows, page keys, Home, End, +, -, space)
// belong to the display while it has the focus; no window shortcut takes one of them.

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tavrela {

/// The commands a key reaches.
enum class TEditorCommand {
    PlaceAudioStart,
    PlaceIntro,
    PlaceChorusStart,
    PlaceChorusEnd,
    PlaceAudioEnd,
    PlaceMixPoint,
    PlaceStamp,
    OpenComment,
    DetectMarkers,
    RemoveAudioStart,
    RemoveIntro,
    RemoveChorusStart,
    RemoveChorusEnd,
    RemoveAudioEnd,
    RemoveMixPoint,
    RemoveStamp,
    RemoveComment,
    RemoveAll,
    PlayIntro,
    PlayChorus,
    PlayFinal,
    Stop,
    Save,
    Undo,
    Redo,
    CancelEdits,
    ShowAll,
    ResetSelection,
    ToggleMoveMode,
    ToggleScrollWhilePlaying,
    ShowShortcuts,
    // Keys of the waveform display itself (handled there while it has the focus).
    PlayPause,
    ScrollStep,
    ScrollPage,
    ScrollEnds,
    Zoom,
};

/// One row: the keys in Qt's portable text (the first is the one shown), what they do, and
/// whether the window binds them (false: the waveform display handles them).
struct TEditorShortcut {
    TEditorCommand Command;
    QStringList Keys;
    QString Description;
    bool Window = true;
};

/// Every shortcut, in the order the "Atalhos" box lists them.
const std::vector<TEditorShortcut>& EditorShortcuts();

/// The row of `Command`; empty for a command without keys.
std::optional<TEditorShortcut> EditorShortcut(TEditorCommand Command);

} // namespace tavrela
