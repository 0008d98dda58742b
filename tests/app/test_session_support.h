#pragma once
// A view of the editor without widgets, the window's fields, and small audio files built in
// memory, for the editing commands and the playback preview.

#include <app/session/editor_view.h>
#include <display/model/items.h>

#include <QDir>
#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace tavrela::testing {

/// The window's fields with their own storage.
struct FieldStore {
    bool Dragging = false;
    int DragStartX = 0;
    bool PlayingIntro = false;
    bool PlayingChorus = false;
    std::uint32_t Stream = 0;
    std::uint32_t JingleStream = 0;
    std::uint32_t SelectionSync = 0;
    double TotalX = 0.0;
    QString AudioStart, AudioEnd, Intro, ChorusStart, ChorusEnd, Comment, StampTime, StampJingle,
        MixPoint;

    TEditorFields Refs() {
        return TEditorFields{Dragging,     DragStartX,    PlayingIntro, PlayingChorus, Stream,
                             JingleStream, SelectionSync, TotalX,       AudioStart,    AudioEnd,
                             Intro,        ChorusStart,   ChorusEnd,    Comment,       StampTime,
                             StampJingle,  MixPoint};
    }
};

/// Records what the commands asked of the window.
class FakeView : public IEditorView {
public:
    TGraphDisplayItems Panes{nullptr};
    int ScrollPosition = 0;
    std::vector<int> ScrollSets;
    double UnitsPerPixel = 1.0;
    int ShowAllCalls = 0;
    int SelectAllCalls = 0;
    bool SampleScroll = false;
    std::optional<std::pair<int, int>> PopupAt;
    bool MoveMode = false;
    bool CommentPanelShown = false;
    QString CommentEdit;
    std::optional<QString> JingleAnswer;
    int JingleQuestions = 0;
    int Reloads = 0;
    /// What a reload does to the model (the real window reads the file again).
    std::function<void()> OnReload;
    std::optional<bool> PlayingShown;
    QString LengthLabel, PositionLabel;
    QString ProgramFolder;

    TGraphDisplayItems& Items() override { return Panes; }
    int GetScrollPosition() override { return ScrollPosition; }
    void SetScrollPosition(int Value) override {
        ScrollPosition = Value;
        ScrollSets.push_back(Value);
    }
    double ScrollUnitsPerPixel() const override { return UnitsPerPixel; }
    void ShowAll() override { ++ShowAllCalls; }
    void SelectAll() override { ++SelectAllCalls; }
    void SetSampleScroll(bool Value) override { SampleScroll = Value; }
    void OpenPopupMenu(int X, int Y) override { PopupAt = std::make_pair(X, Y); }
    bool MoveModeShown() const override { return MoveMode; }
    void ShowMoveMode(bool On) override { MoveMode = On; }
    void ShowCommentPanel(bool Visible) override { CommentPanelShown = Visible; }
    QString CommentEditText() const override { return CommentEdit; }
    void SetCommentEditText(const QString& Text) override { CommentEdit = Text; }
    std::optional<QString> ChooseJingle() override {
        ++JingleQuestions;
        return JingleAnswer;
    }
    void Reload() override {
        ++Reloads;
        if (OnReload) {
            OnReload();
        }
    }
    void ShowPlaying(bool Playing) override { PlayingShown = Playing; }
    void SetTimeLabels(const QString& Length, const QString& Position) override {
        LengthLabel = Length;
        PositionLabel = Position;
    }
    QString ProgramFilePath(const QString& Stored) const override {
        QString relative = Stored;
        relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
        return ProgramFolder + QLatin1Char('/') + relative;
    }
    void PostToUiThread(std::function<void()> Work) override {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(Work));
    }
    /// Runs what the engine's thread posted, as the window's event loop would.
    int RunPosted() {
        int ran = 0;
        for (;;) {
            std::function<void()> work;
            {
                std::lock_guard lock(mutex_);
                if (posted_.empty()) {
                    return ran;
                }
                work = std::move(posted_.front());
                posted_.pop_front();
            }
            work();
            ++ran;
        }
    }

    /// Pane 0 as a loaded file shows it: x from 0 to `XMax`, the whole file selected.
    TGraphDisplayItem& AddFilePane(double XMax) {
        TGraphDisplayItem& pane = Panes.Add();
        pane.SetXMax(XMax);
        pane.SelectionStart = 0.0;
        pane.SelectionEnd = XMax;
        return pane;
    }

private:
    std::mutex mutex_;
    std::deque<std::function<void()>> posted_;
};

/// A 16-bit PCM WAV file of a 440 Hz tone.
inline std::vector<std::byte> ToneWav(double Seconds, int Rate = 44100, int Channels = 2) {
    const auto frames = static_cast<std::uint32_t>(Seconds * Rate);
    const std::uint32_t dataBytes = frames * static_cast<std::uint32_t>(Channels) * 2;
    std::vector<std::byte> out;
    out.reserve(44 + dataBytes);
    const auto put = [&out](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out.push_back(static_cast<std::byte>((v >> (8 * i)) & 0xFF));
        }
    };
    const auto tag = [&out](const char* t) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(static_cast<std::byte>(t[i]));
        }
    };
    tag("RIFF");
    put(36 + dataBytes, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2); // PCM
    put(static_cast<std::uint32_t>(Channels), 2);
    put(static_cast<std::uint32_t>(Rate), 4);
    put(static_cast<std::uint32_t>(Rate * Channels * 2), 4);
    put(static_cast<std::uint32_t>(Channels * 2), 2);
    put(16, 2);
    tag("data");
    put(dataBytes, 4);
    for (std::uint32_t n = 0; n < frames; ++n) {
        const auto v = static_cast<std::int16_t>(8000.0 * std::sin(2.0 * M_PI * 440.0 * n / Rate));
        for (int c = 0; c < Channels; ++c) {
            put(static_cast<std::uint16_t>(v), 2);
        }
    }
    return out;
}

} // namespace tavrela::testing
