#pragma once
// What the operator's commands and the playback preview need from the main window: its state
// fields and the few controls they drive. The window implements the view; the logic stays
// free of widgets, so it runs and is tested without a screen.

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace tavrela {

class TGraphDisplayItems;

/// The window's own fields the commands read and write, bound by reference so the window
/// keeps the only copy.
struct TEditorFields {
    bool& Dragging;
    int& DragStartX;
    bool& PlayingIntro;
    bool& PlayingChorus;
    std::uint32_t& Stream;
    std::uint32_t& JingleStream;
    std::uint32_t& SelectionSync;
    double& TotalX;
    QString& AudioStart;
    QString& AudioEnd;
    QString& Intro;
    QString& ChorusStart;
    QString& ChorusEnd;
    QString& Comment;
    QString& StampTime;
    QString& StampJingle;
    QString& MixPoint;
};

/// The window's controls and the display as the commands see them.
class IEditorView {
public:
    virtual ~IEditorView() = default;

    /// The display's panes (pane 0 is the loaded file).
    virtual TGraphDisplayItems& Items() = 0;

    // Display navigation, in the display's integer scroll units (it clamps them).
    virtual int GetScrollPosition() = 0;
    /// Moves the view so that GetScrollPosition reads Value (held inside the range).
    virtual void SetScrollPosition(int Value) = 0;
    /// Scroll units per pixel column of the display.
    virtual double ScrollUnitsPerPixel() const = 0;
    virtual void ShowAll() = 0;
    /// Selection back to the whole file, firing no selection event.
    virtual void SelectAll() = 0;
    /// Whether the display scrolls along with the playback position.
    virtual void SetSampleScroll(bool Value) = 0;

    /// Opens the command menu at pixel (X, Y) of the display's drawing panel.
    virtual void OpenPopupMenu(int X, int Y) = 0;
    /// Move mode is on while the "mark" button is the one shown.
    virtual bool MoveModeShown() const = 0;
    /// Shows the button of the other mode and sets the panel's cursor (hand in move mode).
    virtual void ShowMoveMode(bool On) = 0;

    /// The comment panel above the display and its edit box.
    virtual void ShowCommentPanel(bool Visible) = 0;
    virtual QString CommentEditText() const = 0;
    virtual void SetCommentEditText(const QString& Text) = 0;

    /// Asks the operator for a jingle; the chosen file name, or nothing when cancelled.
    virtual std::optional<QString> ChooseJingle() = 0;
    /// Loads the file again, dropping every unsaved edit.
    virtual void Reload() = 0;

    /// "Stop" shown in the shared place while true, "Play" while false.
    virtual void ShowPlaying(bool Playing) = 0;
    /// The length and position labels.
    virtual void SetTimeLabels(const QString& Length, const QString& Position) = 0;
    /// A local path for a file stored relative to the program folder ("Vinhetas\x.mp3").
    virtual QString ProgramFilePath(const QString& Stored) const = 0;
    /// Runs `Work` on the user-interface thread soon; callable from any thread.
    virtual void PostToUiThread(std::function<void()> Work) = 0;
};

} // namespace tavrela
