// Playback preview on the engine's null output with a hand-driven clock: every pause, restart
// and jingle start happens at a known byte, whatever the timing of the display's refreshes.
#include "test_session_support.h"

#include <app/session/playback_preview.h>
#include <audio/engine.h>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace tavrela {
namespace {

using audio::ChannelState;
using testing::FakeView;
using testing::FieldStore;

constexpr int kRate = 44100;
constexpr std::int64_t kSecond = kRate * 2 * 4; // bytes of one second, stereo float

audio::EngineOptions ManualClock() {
    audio::EngineOptions options;
    options.openDevice = false;
    options.manualClock = true;
    return options;
}

class SessionPlayback : public ::testing::Test {
protected:
    void Load(double Seconds) {
        ASSERT_FALSE(engine.init(-1, kRate));
        const std::vector<std::byte> wav = testing::ToneWav(Seconds);
        fields.Stream =
            engine.createStream(wav, audio::ChannelFlags::Float | audio::ChannelFlags::Prescan);
        ASSERT_NE(fields.Stream, 0u);
        const auto length = static_cast<double>(engine.length(fields.Stream));
        view.AddFilePane(length);
        fields.TotalX = length;
    }
    /// Plays `Seconds` of output, then lets the window run what the engine posted.
    void Advance(double Seconds) {
        const auto frames = static_cast<std::size_t>(Seconds * kRate);
        for (std::size_t done = 0; done < frames;) {
            const std::size_t step = std::min<std::size_t>(frames - done, 4410);
            engine.advanceClock(step);
            done += step;
            view.RunPosted();
        }
    }
    TGraphDisplayItem& Pane() { return view.Panes[0]; }
    void AddMarker(TMarkerKind Kind, double X) {
        TGraphDisplayMarker& m = Pane().Markers.Add();
        m.Color = MarkerKindInfo(Kind).ColorKey;
        m.X = X;
    }
    /// A jingle file of `Seconds` under Vinhetas/ of a fresh program folder, stored as the
    /// stamp's jingle.
    void UseJingle(const QTemporaryDir& Home, double Seconds) {
        ASSERT_TRUE(Home.isValid());
        ASSERT_TRUE(QDir(Home.path()).mkpath(QStringLiteral("Vinhetas")));
        QFile jingle(Home.filePath(QStringLiteral("Vinhetas/j.wav")));
        ASSERT_TRUE(jingle.open(QIODevice::WriteOnly));
        const std::vector<std::byte> bytes = testing::ToneWav(Seconds);
        jingle.write(reinterpret_cast<const char*>(bytes.data()),
                     static_cast<qint64>(bytes.size()));
        view.ProgramFolder = Home.path();
        fields.StampJingle = QStringLiteral("Vinhetas\\j.wav");
    }
    ChannelState State() const { return engine.isActive(fields.Stream); }
    std::int64_t Position() const { return engine.position(fields.Stream); }

    audio::Engine engine{ManualClock()};
    FakeView view;
    FieldStore fields;
    std::unique_ptr<TPlaybackPreview> preview =
        std::make_unique<TPlaybackPreview>(engine, view, fields.Refs());
};

TEST_F(SessionPlayback, IntroPreviewPausesExactlyAtTheMarker) {
    Load(12.0);
    AddMarker(TMarkerKind::Intro, 8 * kSecond + 4 * 8);
    Pane().SelectionStart = 3 * kSecond;
    ASSERT_TRUE(preview->PlayIntro());
    EXPECT_TRUE(fields.PlayingIntro);
    EXPECT_EQ(view.PlayingShown, std::optional<bool>(true));
    // No position request during the run: the pause does not wait for the display.
    Advance(10.0);
    EXPECT_EQ(State(), ChannelState::Paused);
    EXPECT_EQ(Position(), 8 * kSecond + 4 * 8);
    EXPECT_FALSE(fields.PlayingIntro);
    EXPECT_FALSE(fields.PlayingChorus);
    EXPECT_EQ(preview->NeedPlaybackPosition(), static_cast<double>(8 * kSecond + 32));
}

TEST_F(SessionPlayback, PlayComesBackWhenPlaybackStopsByItself) {
    // Each way the file stops without the operator: the next refresh shows "Play", and one
    // click on it plays again.
    Load(12.0);
    const auto total = static_cast<std::int64_t>(Pane().XMax);
    struct Case {
        const char* name;
        std::function<void()> start;
    };
    const std::vector<Case> cases = {
        {"intro preview's end",
         [&] {
             AddMarker(TMarkerKind::Intro, 1 * kSecond);
             EXPECT_TRUE(preview->PlayIntro());
         }},
        {"chorus preview's end",
         [&] {
             AddMarker(TMarkerKind::ChorusStart, 3 * kSecond);
             AddMarker(TMarkerKind::ChorusEnd, 4 * kSecond);
             EXPECT_TRUE(preview->PlayChorus());
         }},
        {"selection's end",
         [&] {
             Pane().SelectionStart = 6 * kSecond;
             Pane().SelectionEnd = 7 * kSecond;
             preview->SelectionChanged(Pane());
             EXPECT_TRUE(preview->PlayClick());
         }},
        {"file's end",
         [&] {
             Pane().SelectionStart = static_cast<double>(total - kSecond);
             Pane().SelectionEnd = static_cast<double>(total);
             preview->SelectionChanged(Pane());
             EXPECT_TRUE(preview->PlayClick());
         }},
    };
    for (const Case& c : cases) {
        c.start();
        Advance(0.25);
        preview->FollowPlayState(); // still playing: "Stop" stays
        EXPECT_EQ(view.PlayingShown, std::optional<bool>(true)) << c.name;
        Advance(2.0);
        ASSERT_NE(State(), ChannelState::Playing) << c.name;
        preview->FollowPlayState();
        EXPECT_EQ(view.PlayingShown, std::optional<bool>(false)) << c.name;
        ASSERT_TRUE(preview->PlayClick());
        EXPECT_EQ(State(), ChannelState::Playing) << c.name;
        EXPECT_EQ(view.PlayingShown, std::optional<bool>(true)) << c.name;
        ASSERT_TRUE(preview->StopClick());
    }
}

TEST_F(SessionPlayback, IntroPreviewWithoutAMarkerPlaysOn) {
    Load(6.0);
    ASSERT_TRUE(preview->PlayIntro());
    Advance(3.0);
    preview->NeedPlaybackPosition();
    EXPECT_EQ(State(), ChannelState::Playing);
    EXPECT_TRUE(fields.PlayingIntro);
}

TEST_F(SessionPlayback, ChorusPreviewPlaysFromStartToEndMarker) {
    Load(12.0);
    AddMarker(TMarkerKind::Intro, 4 * kSecond); // inside the chorus: must not stop it
    AddMarker(TMarkerKind::ChorusStart, 3 * kSecond);
    AddMarker(TMarkerKind::ChorusEnd, 6 * kSecond);
    ASSERT_TRUE(preview->PlayIntro());
    ASSERT_TRUE(preview->PlayChorus());
    EXPECT_FALSE(fields.PlayingIntro);
    EXPECT_TRUE(fields.PlayingChorus);
    EXPECT_EQ(State(), ChannelState::Playing);
    Advance(1.5);
    EXPECT_EQ(State(), ChannelState::Playing);
    EXPECT_GT(Position(), 3 * kSecond);
    Advance(3.0);
    EXPECT_EQ(State(), ChannelState::Paused);
    EXPECT_EQ(Position(), 6 * kSecond);
    EXPECT_FALSE(fields.PlayingChorus);
}

TEST_F(SessionPlayback, ChorusPreviewEdgeCases) {
    Load(8.0);
    // No chorus start: nothing happens.
    fields.PlayingIntro = true;
    ASSERT_TRUE(preview->PlayChorus());
    EXPECT_EQ(State(), ChannelState::Stopped);
    EXPECT_TRUE(fields.PlayingIntro);
    EXPECT_FALSE(fields.PlayingChorus);
    fields.PlayingIntro = false;

    // An end before the start: stopped at once, at the chorus start.
    AddMarker(TMarkerKind::ChorusStart, 5 * kSecond);
    AddMarker(TMarkerKind::ChorusEnd, 2 * kSecond);
    ASSERT_TRUE(preview->PlayChorus());
    Advance(0.5);
    EXPECT_NE(State(), ChannelState::Playing);
    EXPECT_EQ(Position(), 5 * kSecond);
    EXPECT_FALSE(fields.PlayingChorus);

    // No end: plays on past every marker.
    Pane().Markers.Delete(1);
    ASSERT_TRUE(preview->PlayChorus());
    Advance(2.0);
    preview->NeedPlaybackPosition();
    EXPECT_EQ(State(), ChannelState::Playing);
    EXPECT_TRUE(fields.PlayingChorus);
}

TEST_F(SessionPlayback, PreviewEndsWhenPlaybackJumpsPastItsMarker) {
    Load(12.0);
    AddMarker(TMarkerKind::Intro, 2 * kSecond);
    ASSERT_TRUE(preview->PlayIntro());
    Advance(0.5);
    // A click beyond the intro restarts there; the next position request ends the preview.
    Pane().SelectionStart = 5 * kSecond;
    preview->SelectionChanged(Pane());
    Advance(0.2);
    EXPECT_EQ(State(), ChannelState::Playing);
    preview->NeedPlaybackPosition();
    EXPECT_EQ(State(), ChannelState::Paused);
    EXPECT_FALSE(fields.PlayingIntro);
}

TEST_F(SessionPlayback, SelectionEndPauses) {
    Load(6.0);
    Pane().SelectionEnd = 2 * kSecond;
    preview->SelectionChanged(Pane());
    EXPECT_NE(fields.SelectionSync, 0u);
    EXPECT_EQ(State(), ChannelState::Stopped); // a selection while stopped starts nothing
    ASSERT_TRUE(preview->PlayClick());
    Advance(3.0);
    EXPECT_EQ(State(), ChannelState::Paused);
    EXPECT_EQ(Position(), 2 * kSecond);
    EXPECT_EQ(view.PlayingShown, std::optional<bool>(true));

    // A new selection moves the pause: the old one is gone.
    Pane().SelectionStart = 0;
    Pane().SelectionEnd = 4 * kSecond;
    preview->SelectionChanged(Pane());
    ASSERT_TRUE(preview->PlayClick());
    Advance(5.0);
    EXPECT_EQ(State(), ChannelState::Paused);
    EXPECT_EQ(Position(), 4 * kSecond);
}

TEST_F(SessionPlayback, ClickWhilePlayingRestartsAtTheClick) {
    Load(10.0);
    ASSERT_TRUE(preview->PlayClick());
    Advance(1.0);
    Pane().SelectionStart = 7 * kSecond;
    preview->SelectionChanged(Pane());
    EXPECT_EQ(State(), ChannelState::Playing);
    EXPECT_EQ(Position(), 7 * kSecond);
    Advance(0.5);
    EXPECT_GT(Position(), 7 * kSecond);
}

TEST_F(SessionPlayback, PauseEventOnAPausedChannelRestartsAtTheSelectionStart) {
    Load(10.0);
    Pane().SelectionStart = 2 * kSecond;
    ASSERT_TRUE(preview->PlayClick());
    Advance(1.5);
    ASSERT_TRUE(preview->Pause());
    EXPECT_EQ(State(), ChannelState::Paused);
    EXPECT_EQ(view.PlayingShown, std::optional<bool>(false));
    Advance(0.2);
    ASSERT_TRUE(preview->Pause());
    EXPECT_EQ(State(), ChannelState::Playing);
    EXPECT_EQ(Position(), 2 * kSecond);
    EXPECT_EQ(view.PlayingShown, std::optional<bool>(true));

    ASSERT_TRUE(preview->StopClick());
    EXPECT_EQ(State(), ChannelState::Stopped);
    EXPECT_EQ(view.PlayingShown, std::optional<bool>(false));
}

TEST_F(SessionPlayback, StampJingleStartsOnceAsPlaybackPassesTheStamp) {
    Load(70.0);
    QTemporaryDir home;
    UseJingle(home, 4.0);
    AddMarker(TMarkerKind::Stamp, 60 * kSecond);

    Pane().SelectionStart = 58 * kSecond;
    ASSERT_TRUE(preview->PlayClick());
    Advance(1.5);
    EXPECT_EQ(fields.JingleStream, 0u);
    // The display never asks for the position here: the stamp's sync alone starts it.
    Advance(1.0);
    const std::uint32_t first = fields.JingleStream;
    ASSERT_NE(first, 0u);
    EXPECT_EQ(engine.isActive(first), ChannelState::Playing);

    // Paused and played again across the stamp while the jingle plays: not started again.
    ASSERT_TRUE(preview->Pause());
    preview->Play(59.5 * kSecond);
    Advance(1.0);
    preview->NeedPlaybackPosition();
    EXPECT_EQ(fields.JingleStream, first);
    EXPECT_EQ(engine.isActive(first), ChannelState::Playing);

    // "Stop" leaves the jingle playing.
    ASSERT_TRUE(preview->StopClick());
    Advance(0.5);
    EXPECT_EQ(engine.isActive(first), ChannelState::Playing);

    // Once it has ended, the next pass starts it anew.
    Advance(4.0);
    EXPECT_NE(engine.isActive(first), ChannelState::Playing);
    preview->Play(59.0 * kSecond);
    Advance(1.5);
    EXPECT_NE(fields.JingleStream, 0u);
    EXPECT_EQ(engine.isActive(fields.JingleStream), ChannelState::Playing);
}

TEST_F(SessionPlayback, NoStampOrNoJingleFileStartsNothing) {
    Load(8.0);
    view.ProgramFolder = QStringLiteral("/nonexistent");
    fields.StampJingle = QStringLiteral("Vinhetas\\missing.wav");
    ASSERT_TRUE(preview->PlayClick());
    Advance(3.0);
    preview->NeedPlaybackPosition();
    EXPECT_EQ(fields.JingleStream, 0u);

    AddMarker(TMarkerKind::Stamp, 4 * kSecond);
    Advance(2.0);
    for (int i = 0; i < 3; ++i) {
        preview->NeedPlaybackPosition();
    }
    EXPECT_EQ(fields.JingleStream, 0u);
    EXPECT_EQ(State(), ChannelState::Playing);
}

TEST_F(SessionPlayback, StampMovedAfterPlaybackStartedIsFollowed) {
    Load(10.0);
    QTemporaryDir home;
    UseJingle(home, 1.0);
    AddMarker(TMarkerKind::Stamp, 8 * kSecond);
    ASSERT_TRUE(preview->PlayClick());
    Advance(0.5);
    Pane().Markers[0].X = 2 * kSecond; // dragged by the operator while playing
    preview->NeedPlaybackPosition();   // the next refresh moves the sync
    Advance(2.0);
    EXPECT_NE(fields.JingleStream, 0u);
}

TEST_F(SessionPlayback, FinalPreviewPlaysThePrerollBeforeTheMixAndPausesAtTheEnd) {
    Load(20.0);
    const std::int64_t mix = 12 * kSecond + 8 * 100;
    const std::int64_t end = 15 * kSecond + 8 * 7;
    AddMarker(TMarkerKind::MixPoint, static_cast<double>(mix));
    AddMarker(TMarkerKind::AudioEnd, static_cast<double>(end));
    QTemporaryDir home;
    UseJingle(home, 1.0);
    AddMarker(TMarkerKind::Stamp, static_cast<double>(mix - 2 * kSecond));
    ASSERT_TRUE(preview->PlayIntro());
    ASSERT_TRUE(preview->PlayFinal());
    EXPECT_FALSE(fields.PlayingIntro);
    EXPECT_TRUE(preview->PlayingFinal());
    EXPECT_EQ(State(), ChannelState::Playing);
    EXPECT_EQ(Position(), mix - 5 * kSecond);
    EXPECT_EQ(view.PlayingShown, std::optional<bool>(true));
    // The stamp inside the pre-roll plays its jingle as in normal playback.
    Advance(4.0);
    EXPECT_EQ(State(), ChannelState::Playing);
    ASSERT_NE(fields.JingleStream, 0u);
    // No position request: the pause comes exactly at the end marker's byte.
    Advance(6.0);
    EXPECT_EQ(State(), ChannelState::Paused);
    EXPECT_EQ(Position(), end);
    EXPECT_FALSE(preview->PlayingFinal());
}

TEST_F(SessionPlayback, FinalPreviewStartsBeforeTheEndWithoutAMixPoint) {
    struct Case {
        const char* Name;
        double Preroll;                  // 0: the default
        std::optional<std::int64_t> Mix; // marker positions, when there is one
        std::optional<std::int64_t> End;
        std::int64_t Start;
        std::int64_t Stop; // where it pauses
    };
    const std::int64_t length = 10 * kSecond;
    const Case cases[] = {
        {"end marker only", 0.0, std::nullopt, 8 * kSecond, 3 * kSecond, 8 * kSecond},
        {"neither: the file's end", 0.0, std::nullopt, std::nullopt, 5 * kSecond, length},
        {"pre-roll from the settings", 2.5, 6 * kSecond, 9 * kSecond, 6 * kSecond - kSecond * 5 / 2,
         9 * kSecond},
        {"pre-roll longer than the mix point", 0.0, 3 * kSecond, 7 * kSecond, 0, 7 * kSecond},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        preview.reset();
        engine.free();
        view.Panes.Clear();
        Load(10.0);
        preview = std::make_unique<TPlaybackPreview>(engine, view, fields.Refs());
        if (c.Preroll > 0.0) {
            preview->SetFinalPreroll(c.Preroll);
        }
        if (c.Mix) {
            AddMarker(TMarkerKind::MixPoint, static_cast<double>(*c.Mix));
        }
        if (c.End) {
            AddMarker(TMarkerKind::AudioEnd, static_cast<double>(*c.End));
        }
        ASSERT_TRUE(preview->PlayFinal());
        EXPECT_EQ(Position(), c.Start);
        Advance(12.0);
        EXPECT_NE(State(), ChannelState::Playing);
        EXPECT_EQ(Position(), c.Stop);
        EXPECT_FALSE(preview->PlayingFinal());
    }
    // Without a file shown the command cannot proceed.
    view.Panes.Clear();
    EXPECT_FALSE(preview->PlayFinal());
}

TEST_F(SessionPlayback, PlayStatesAndLabels) {
    EXPECT_EQ(PlayStatusOf(ChannelState::Stopped), gdpsStoped);
    EXPECT_EQ(PlayStatusOf(ChannelState::Playing), gdpsPlaying);
    EXPECT_EQ(PlayStatusOf(ChannelState::Stalled), gdpsPaused);
    EXPECT_EQ(PlayStatusOf(ChannelState::Paused), gdpsPaused);
    EXPECT_EQ(PlayStatusOf(static_cast<ChannelState>(7)), gdpsStoped);

    // No pane: the labels stay as they are.
    preview->UpdateTimeLabels();
    EXPECT_TRUE(view.LengthLabel.isEmpty());

    Load(10.0);
    EXPECT_EQ(preview->NeedPlayStatus(), gdpsStoped);
    preview->UpdateTimeLabels();
    EXPECT_EQ(view.LengthLabel, QStringLiteral("00:00:10.00"));
    EXPECT_EQ(view.PositionLabel, QStringLiteral("00:00:00.00"));
    preview->Play(83.456 * kSecond / 10.0); // 8.3456 s
    EXPECT_EQ(preview->NeedPlayStatus(), gdpsPlaying);
    preview->UpdateTimeLabels();
    EXPECT_EQ(view.PositionLabel, QStringLiteral("00:00:08.34"));
    ASSERT_TRUE(preview->Pause());
    EXPECT_EQ(preview->NeedPlayStatus(), gdpsPaused);
}

} // namespace
} // namespace tavrela
