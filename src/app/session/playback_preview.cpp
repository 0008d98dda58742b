#include "playback_preview.h"

#include <app/markers/time_text.h>
#include <display/model/items.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include <QFile>

namespace tavrela {

namespace {

constexpr auto kStreamFlags = audio::ChannelFlags::Float | audio::ChannelFlags::Prescan;
constexpr auto kModuleFlags = kStreamFlags | audio::ChannelFlags::StopOnBackwardJump;

// Positions reach the engine as whole bytes, cut toward zero.
std::int64_t Bytes(double Position) {
    return static_cast<std::int64_t>(Position);
}

} // namespace

TGraphDisplayPlayStatus PlayStatusOf(audio::ChannelState State) {
    switch (State) {
    case audio::ChannelState::Playing:
        return gdpsPlaying;
    case audio::ChannelState::Stalled:
    case audio::ChannelState::Paused:
        return gdpsPaused;
    case audio::ChannelState::Stopped:
        break;
    }
    return gdpsStoped;
}

TPlaybackPreview::TPlaybackPreview(audio::Engine& Engine, IEditorView& View, TEditorFields Fields)
    : FEngine(Engine), FView(View), F(Fields) {}

TPlaybackPreview::~TPlaybackPreview() {
    Remove(FIntroEnd);
    Remove(FChorusEnd);
    Remove(FFinalEnd);
    Remove(FStamp);
}

bool TPlaybackPreview::HasPane() const {
    return FView.Items().Count() > 0;
}

std::optional<double> TPlaybackPreview::KindX(TMarkerKind Kind) const {
    if (!HasPane()) {
        return std::nullopt;
    }
    return MarkerX(FView.Items()[0].Markers, Kind);
}

bool& TPlaybackPreview::Flag(TPreview Which) {
    switch (Which) {
    case TPreview::Intro:
        return F.PlayingIntro;
    case TPreview::Chorus:
        return F.PlayingChorus;
    case TPreview::Final:
        break;
    }
    return FPlayingFinal;
}

TPlaybackPreview::TPlacedSync& TPlaybackPreview::Placed(TPreview Which) {
    switch (Which) {
    case TPreview::Intro:
        return FIntroEnd;
    case TPreview::Chorus:
        return FChorusEnd;
    case TPreview::Final:
        break;
    }
    return FFinalEnd;
}

std::optional<double> TPlaybackPreview::PreviewEnd(TPreview Which) const {
    switch (Which) {
    case TPreview::Intro:
        return KindX(TMarkerKind::Intro);
    case TPreview::Chorus:
        return KindX(TMarkerKind::ChorusEnd);
    case TPreview::Final:
        break;
    }
    if (const std::optional<double> end = KindX(TMarkerKind::AudioEnd)) {
        return end;
    }
    if (!HasPane()) {
        return std::nullopt;
    }
    return FView.Items()[0].XMax;
}

void TPlaybackPreview::Remove(TPlacedSync& Sync) {
    if (Sync.Sync != 0) {
        FEngine.removeSync(Sync.Stream, Sync.Sync);
    }
    Sync = {};
}

void TPlaybackPreview::Play(double Position) {
    FEngine.setPosition(F.Stream, Bytes(Position));
    // A stamp placed a moment ago must have its sync before the mixer gets there.
    UpdateStampSync();
    FEngine.play(F.Stream, false);
    ShowPlaying(true);
}

void TPlaybackPreview::ShowPlaying(bool Playing) {
    FShownPlaying = Playing;
    FView.ShowPlaying(Playing);
}

void TPlaybackPreview::FollowPlayState() {
    // A pause of the engine's own (the selection's end, a preview's end, the file's end)
    // leaves "Stop" showing for a file that no longer plays; a click on it would do nothing
    // the operator can hear.
    if (!FShownPlaying) {
        return;
    }
    const audio::ChannelState state = FEngine.isActive(F.Stream);
    if (state == audio::ChannelState::Stopped || state == audio::ChannelState::Paused) {
        ShowPlaying(false);
    }
}

bool TPlaybackPreview::PlayClick() {
    if (!HasPane()) {
        return false;
    }
    Play(FView.Items()[0].SelectionStart);
    return true;
}

bool TPlaybackPreview::StopClick() {
    if (!HasPane()) {
        return false;
    }
    FEngine.stop(F.Stream);
    ShowPlaying(false);
    return true;
}

bool TPlaybackPreview::Pause() {
    if (FEngine.isActive(F.Stream) == audio::ChannelState::Paused) {
        if (!HasPane()) {
            return false;
        }
        Play(FView.Items()[0].SelectionStart);
        return true;
    }
    FEngine.pause(F.Stream);
    ShowPlaying(false);
    return true;
}

void TPlaybackPreview::SelectionChanged(const TGraphDisplayItem& Pane) {
    FEngine.removeSync(F.Stream, F.SelectionSync);
    // Runs on the engine's thread: it pauses the channel it is given and touches nothing else.
    audio::Engine* engine = &FEngine;
    F.SelectionSync = FEngine.setSync(F.Stream, Bytes(Pane.SelectionEnd),
                                      [engine](audio::SyncHandle, audio::ChannelHandle Channel,
                                               std::uintptr_t) { engine->pause(Channel); });
    if (FEngine.isActive(F.Stream) == audio::ChannelState::Playing) {
        Play(Pane.SelectionStart);
    }
}

void TPlaybackPreview::ArmPreviewEnd(TPreview Which, std::optional<double> EndX, double StartX) {
    Remove(Placed(Which));
    if (!EndX) {
        return;
    }
    if (*EndX <= StartX) {
        // Nothing lies between start and end: the preview is over before it began.
        FEngine.setPosition(F.Stream, Bytes(StartX));
        FEngine.pause(F.Stream);
        Flag(Which) = false;
        return;
    }
    // The pause comes from the engine's mixing at the marker's very byte, not from the next
    // display refresh; clearing the flag waits for the user-interface thread.
    audio::Engine* engine = &FEngine;
    IEditorView* view = &FView;
    TPlacedSync& placed = Placed(Which);
    placed.Stream = F.Stream;
    placed.At = Bytes(*EndX);
    placed.Sync = FEngine.setSync(
        F.Stream, placed.At,
        [this, engine, view, Which](audio::SyncHandle Sync, audio::ChannelHandle Channel,
                                    std::uintptr_t) {
            engine->pause(Channel);
            view->PostToUiThread([this, Which, Sync] { PreviewEndReached(Which, Sync); });
        });
}

void TPlaybackPreview::PreviewEndReached(TPreview Which, audio::SyncHandle Sync) {
    TPlacedSync& placed = Placed(Which);
    if (placed.Sync != Sync) {
        return; // a later preview replaced this one
    }
    Remove(placed);
    Flag(Which) = false;
}

void TPlaybackPreview::StartPreview(TPreview Which, double StartX) {
    for (const TPreview other : {TPreview::Intro, TPreview::Chorus, TPreview::Final}) {
        if (other != Which) {
            Flag(other) = false;
            Remove(Placed(other));
        }
    }
    Flag(Which) = true;
    FEngine.setPosition(F.Stream, Bytes(StartX));
    ArmPreviewEnd(Which, PreviewEnd(Which), StartX);
    if (Flag(Which)) {
        Play(StartX);
    }
}

bool TPlaybackPreview::PlayIntro() {
    if (!HasPane()) {
        return false;
    }
    StartPreview(TPreview::Intro, 0.0);
    return true;
}

bool TPlaybackPreview::PlayChorus() {
    if (!HasPane()) {
        return false;
    }
    const std::optional<double> start = KindX(TMarkerKind::ChorusStart);
    if (!start) {
        return true; // no chorus to play
    }
    StartPreview(TPreview::Chorus, *start);
    return true;
}

void TPlaybackPreview::SetFinalPreroll(double Seconds) {
    if (Seconds > 0.0) {
        FFinalPreroll = Seconds;
    }
}

bool TPlaybackPreview::PlayFinal() {
    if (!HasPane()) {
        return false;
    }
    const std::optional<double> end = PreviewEnd(TPreview::Final);
    const std::optional<double> mix = KindX(TMarkerKind::MixPoint);
    const double point = mix ? *mix : end.value_or(0.0);
    // The pre-roll in whole frames of the playback channel, so the start is a frame's first
    // byte whenever the point is.
    const std::optional<audio::ChannelInfo> info = FEngine.info(F.Stream);
    const std::int64_t frameBytes =
        info && info->channels > 0 ? static_cast<std::int64_t>(info->channels) * 4 : 0;
    const auto preroll =
        info
            ? static_cast<std::int64_t>(std::llround(FFinalPreroll * info->sampleRate)) * frameBytes
            : 0;
    double start = std::max(0.0, point - static_cast<double>(preroll));
    if (frameBytes > 0) {
        start = static_cast<double>(Bytes(start) / frameBytes * frameBytes);
    }
    StartPreview(TPreview::Final, start);
    return true;
}

void TPlaybackPreview::EndPreviewIfPassed(TPreview Which) {
    if (!Flag(Which) || FEngine.isActive(F.Stream) != audio::ChannelState::Playing) {
        return;
    }
    const std::optional<double> end = PreviewEnd(Which);
    const double pos = static_cast<double>(FEngine.position(F.Stream));
    // Playback that jumped past the end (a click beyond it, a marker moved behind the
    // cursor) never crosses the sync: the end is reached as soon as it is seen.
    if (end && *end <= pos) {
        FEngine.pause(F.Stream);
        Remove(Placed(Which));
        Flag(Which) = false;
    }
}

double TPlaybackPreview::NeedPlaybackPosition() {
    const std::int64_t bytes = FEngine.position(F.Stream);
    const double pos = bytes < 0 ? 0.0 : static_cast<double>(bytes);
    EndPreviewIfPassed(TPreview::Intro);
    EndPreviewIfPassed(TPreview::Chorus);
    EndPreviewIfPassed(TPreview::Final);
    UpdateStampSync();
    // The sync starts the jingle as the music passes the stamp; this also covers playback
    // that starts just past it, and a jingle that could not be opened the first time.
    if (const std::optional<double> stamp = KindX(TMarkerKind::Stamp);
        stamp && FEngine.isActive(F.Stream) == audio::ChannelState::Playing &&
        std::abs(pos - *stamp) <= kStampWindowBytes) {
        StartStampJingle();
    }
    return pos;
}

void TPlaybackPreview::UpdateStampSync() {
    const std::optional<double> stamp = KindX(TMarkerKind::Stamp);
    const std::int64_t at = stamp ? Bytes(*stamp) : -1;
    if (FStamp.Stream == F.Stream && FStamp.At == at && (FStamp.Sync != 0 || at < 0)) {
        return;
    }
    Remove(FStamp);
    if (at < 0 || F.Stream == 0) {
        return;
    }
    IEditorView* view = &FView;
    FStamp.Stream = F.Stream;
    FStamp.At = at;
    FStamp.Sync = FEngine.setSync(
        F.Stream, at, [this, view](audio::SyncHandle, audio::ChannelHandle, std::uintptr_t) {
            view->PostToUiThread([this] { StartStampJingle(); });
        });
}

void TPlaybackPreview::StartStampJingle() {
    if (FEngine.isActive(F.JingleStream) == audio::ChannelState::Playing) {
        return;
    }
    FEngine.freeStream(F.JingleStream);
    FEngine.freeModule(F.JingleStream);
    F.JingleStream = 0;
    if (F.StampJingle.isEmpty()) {
        return;
    }
    const std::filesystem::path path(
        QFile::encodeName(FView.ProgramFilePath(F.StampJingle)).toStdString());
    F.JingleStream = FEngine.loadModule(path, kModuleFlags);
    if (F.JingleStream == 0) {
        F.JingleStream = FEngine.createStream(path, kStreamFlags);
    }
    if (F.JingleStream != 0) {
        FEngine.play(F.JingleStream, false);
    }
}

TGraphDisplayPlayStatus TPlaybackPreview::NeedPlayStatus() const {
    return PlayStatusOf(FEngine.isActive(F.Stream));
}

void TPlaybackPreview::UpdateTimeLabels() {
    if (!HasPane()) {
        return;
    }
    const auto clock = [this](std::int64_t bytes) {
        return FormatMilliseconds(
            static_cast<std::int64_t>(FEngine.bytesToSeconds(F.Stream, bytes) * 1000.0));
    };
    FView.SetTimeLabels(clock(Bytes(FView.Items()[0].XMax)), clock(FEngine.position(F.Stream)));
}

} // namespace tavrela
