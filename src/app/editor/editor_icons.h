#pragma once
// The editor's button images, drawn as vectors at whatever size and pixel ratio the button
// asks for, so they stay crisp on any screen.

#include <QColor>
#include <QIcon>

namespace tavrela {

enum class Glyph {
    Save,       // a check mark on a page: write the markers
    Undo,       // a curved arrow back: discard the edits
    ShowAll,    // arrows outwards: the whole file
    ClearRange, // a band with a cross: selection back to the whole file
    Marker,     // a flagged vertical line in the marker's colour
    Comment,    // a speech balloon
    GoStart,    // bar and arrow to the left
    GoEnd,      // arrow and bar to the right
    ZoomIn,     // magnifier with a plus
    ZoomOut,    // magnifier with a minus
    Hand,       // open hand: move the waves
    Pointer,    // an arrow pointer: mark on the waves
    Play,       // a triangle
    PlayFinal,  // a triangle up to a bar: play the segue to the end
    Stop,       // a square
};

/// An icon of the glyph; `accent` colours the marker flag (other glyphs ignore it).
QIcon MakeIcon(Glyph glyph, const QColor& accent = QColor());

} // namespace tavrela
