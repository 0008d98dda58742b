#pragma once
// Playback preview: playing from a position, pausing at the selection end, the intro and
// chorus previews, the stamp's jingle over the music, the play state and the time labels.
//
// Every member runs on the user-interface thread. The engine's sync callbacks (its mixing
// thread) only pause the channel they are given and post the rest to the user-interface
// thread through the view.
//
// A command that returns false could not proceed (no file shown): the window ends it with
// the silent abort.

#include "editor_view.h"

#include <app/markers/marker_kinds.h>
#include <audio/engine.h>
#include <display/model/types.h>

#include <atomic>
#include <memory>
#include <optional>

namespace tavrela {

class TGraphDisplayItem;

/// The display's play state for a channel state; states it does not know read as stopped.
TGraphDisplayPlayStatus PlayStatusOf(audio::ChannelState State);

/// Bytes either side of the stamp within which a position request starts the jingle.
inline constexpr double kStampWindowBytes = 10000.0;

/// Seconds "Tocar final" plays before the mix point unless the settings file says otherwise.
inline constexpr double kDefaultFinalPrerollSeconds = 5.0;

class TPlaybackPreview {
public:
    TPlaybackPreview(audio::Engine& Engine, IEditorView& View, TEditorFields Fields);
    /// Removes the syncs it placed, so none of its callbacks runs afterwards.
    ~TPlaybackPreview();
    TPlaybackPreview(const TPlaybackPreview&) = delete;
    TPlaybackPreview& operator=(const TPlaybackPreview&) = delete;

    /// Plays the file from byte `Position` and shows "Stop".
    void Play(double Position);
    /// "Play": from the selection start.
    [[nodiscard]] bool PlayClick();
    /// "Stop": stops the file (the jingle plays on) and shows "Play".
    [[nodiscard]] bool StopClick();
    /// Pauses; a paused file restarts at the selection start instead.
    [[nodiscard]] bool Pause();
    /// The selection changed: the end-of-selection pause moves to its end, and a playing
    /// file restarts at its start.
    void SelectionChanged(const TGraphDisplayItem& Pane);
    /// Plays from the start and pauses exactly at the introduction marker (plays on when
    /// there is none).
    [[nodiscard]] bool PlayIntro();
    /// Plays from the chorus start and pauses exactly at the chorus end (plays on when there
    /// is none; stops at once when it lies at or before the start). Nothing without a start.
    [[nodiscard]] bool PlayChorus();
    /// The segue: plays from the pre-roll before the mix point (before the end-of-audio
    /// marker when there is no mix point, before the file's end when there is neither) and
    /// pauses exactly at the end-of-audio marker, or at the file's end.
    [[nodiscard]] bool PlayFinal();
    /// Seconds "Tocar final" starts before its point (values of 0 or less are ignored).
    void SetFinalPreroll(double Seconds);
    double FinalPreroll() const { return FFinalPreroll; }
    /// The "Tocar final" preview is running.
    bool PlayingFinal() const { return FPlayingFinal; }

    /// The position for the display's cursor. Also ends a preview whose end was passed
    /// without its sync, keeps the stamp's sync on the stamp marker, and starts the jingle
    /// when the position lies inside the stamp's window.
    double NeedPlaybackPosition();
    TGraphDisplayPlayStatus NeedPlayStatus() const;
    /// Length and position labels (only while a file is shown).
    void UpdateTimeLabels();
    /// Shows "Play" again once the file stopped playing by itself, so one click plays it.
    void FollowPlayState();

    /// Starts the stamp's jingle unless it is playing already.
    void StartStampJingle();

private:
    enum class TPreview { Intro, Chorus, Final };
    struct TPlacedSync {
        audio::ChannelHandle Stream = 0;
        audio::SyncHandle Sync = 0;
        std::int64_t At = -1;
    };

    bool HasPane() const;
    void ShowPlaying(bool Playing);
    std::optional<double> KindX(TMarkerKind Kind) const;
    bool& Flag(TPreview Which);
    TPlacedSync& Placed(TPreview Which);
    void Remove(TPlacedSync& Sync);
    /// Places the preview's end pause; `EndX` empty: plays on.
    void ArmPreviewEnd(TPreview Which, std::optional<double> EndX, double StartX);
    /// On the user-interface thread, after the preview's sync paused the file.
    void PreviewEndReached(TPreview Which, audio::SyncHandle Sync);
    /// Where the preview pauses; empty: it plays on.
    std::optional<double> PreviewEnd(TPreview Which) const;
    /// Clears the other previews' flags and pauses, sets this one's and plays from `StartX`
    /// up to its end.
    void StartPreview(TPreview Which, double StartX);
    void EndPreviewIfPassed(TPreview Which);
    /// Keeps a sync on the stamp marker of the current file.
    void UpdateStampSync();

    audio::Engine& FEngine;
    IEditorView& FView;
    TEditorFields F;
    TPlacedSync FIntroEnd;
    TPlacedSync FChorusEnd;
    TPlacedSync FFinalEnd;
    TPlacedSync FStamp;
    bool FPlayingFinal = false;
    double FFinalPreroll = kDefaultFinalPrerollSeconds;
    bool FShownPlaying = false; ///< "Stop" is the button shown
};

} // namespace tavrela
