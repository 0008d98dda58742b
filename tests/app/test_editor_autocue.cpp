// "Detectar marcações" in the window: the analysis made while loading, the three markers it
// places (nothing saved), the loudness beside the length.
#include "test_editor_fixtures.h"

#include <analysis/audio_analysis.h>
#include <app/editor/editor_conventions.h>
#include <app/editor/main_window.h>
#include <app/markers/marker_kinds.h>
#include <audio/engine.h>
#include <display/graph_display_3d.h>
#include <display/model/model.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "gui_wait.h"
#include <memory>

namespace tavrela {
namespace {

class EditorAutocue : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("TAVRELA_HOME", dir.path().toUtf8());
        SetMessagePresenter([this](const QString& text) { shown << text; });
    }
    void TearDown() override {
        window.reset();
        SetMessagePresenter({});
        qunsetenv("TAVRELA_HOME");
    }
    // A WAV made by sox's synth with `effects`; the window opened on it, its analysis done.
    TfrmTavrela& OpenSynth(const QString& name, const QStringList& synth) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(testing::RunTool(
            QStringLiteral("sox"),
            QStringList{"-q", "-n", "-r", "44100", "-c", "2", "-b", "16", path, "synth"} + synth));
        window = std::make_unique<TfrmTavrela>(QStringList{path}, engine);
        window->OnTerminate = [] {};
        EXPECT_TRUE(QTest::qWaitFor([this] { return window->Analysis() != nullptr; },
                                    kWindowWaitMs));
        return *window;
    }
    double MarkerSeconds(TMarkerKind kind) const {
        const auto x = MarkerX(window->GraphDisplay3D1->Items()[0].Markers, kind);
        return x ? *x / (44100.0 * 2 * 4) : -1.0;
    }

    QTemporaryDir dir;
    audio::Engine engine{audio::EngineOptions{false, true, 50}};
    std::unique_ptr<TfrmTavrela> window;
    QStringList shown;
};

TEST_F(EditorAutocue, OneClickPlacesTheThreeMarkersWithoutSaving) {
    // 1.5 s of silence, a tone of 10 s whose last 4 s fade out, 0.5 s of silence.
    TfrmTavrela& w = OpenSynth(QStringLiteral("fade.wav"),
                               {"10", "sine", "1000", "vol", "0.5", "fade", "t", "0", "10", "4",
                                "pad", "1.5", "0.5"});
    const QByteArray before = testing::ReadAll(w.FileName);
    ASSERT_NE(w.btnDetectarMarcacoes, nullptr);
    QTest::mouseClick(w.btnDetectarMarcacoes, Qt::LeftButton);
    EXPECT_NEAR(MarkerSeconds(TMarkerKind::AudioStart), 1.5, 0.01);
    // The fade reaches -40 dBFS RMS shortly before the tone's end; the mix point lies in the
    // fade, before the end of audio.
    const double end = MarkerSeconds(TMarkerKind::AudioEnd);
    const double mix = MarkerSeconds(TMarkerKind::MixPoint);
    EXPECT_GT(end, 11.0);
    EXPECT_LE(end, 11.5);
    EXPECT_GT(mix, 8.0);
    EXPECT_LT(mix, end);
    EXPECT_EQ(w.GraphDisplay3D1->Items()[0].Markers.Count(), 3);
    EXPECT_EQ(testing::ReadAll(w.FileName), before);

    // The three markers are one step of the undo history.
    w.menuDesfazer->trigger();
    EXPECT_EQ(w.GraphDisplay3D1->Items()[0].Markers.Count(), 0);
    w.menuRefazer->trigger();
    EXPECT_EQ(w.GraphDisplay3D1->Items()[0].Markers.Count(), 3);
    EXPECT_NEAR(MarkerSeconds(TMarkerKind::AudioStart), 1.5, 0.01);

    // The operator moves one; the menu item puts it back and adds no second marker.
    TGraphDisplayMarker* start =
        FirstMarkerOfKind(w.GraphDisplay3D1->Items()[0].Markers, TMarkerKind::AudioStart);
    ASSERT_NE(start, nullptr);
    start->X = 0;
    w.menuDetectarMarcacoes->trigger();
    EXPECT_NEAR(MarkerSeconds(TMarkerKind::AudioStart), 1.5, 0.01);
    EXPECT_EQ(w.GraphDisplay3D1->Items()[0].Markers.Count(), 3);
    EXPECT_TRUE(shown.filter(QStringLiteral("limiar")).isEmpty());

    // The loudness and the true peak beside the length, with the decimal comma.
    QTest::qWait(120);
    EXPECT_TRUE(w.lblLoudness->text().contains(QStringLiteral(" LUFS")));
    EXPECT_TRUE(w.lblTruePeak->text().endsWith(QStringLiteral(" dBTP")));
    EXPECT_TRUE(w.lblLoudness->text().contains(QLatin1Char(',')));
    // The figures and the new button fit the window the playout host knows.
    EXPECT_LE(w.minimumSizeHint().width(), 684);
    EXPECT_LE(w.minimumSizeHint().height(), 367);
}

TEST_F(EditorAutocue, SettingsFileAndSilence) {
    // A threshold above the tone's level finds nothing: the operator is told, nothing placed.
    QFile ini(dir.filePath(QStringLiteral("BaseZelvo.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[MARCACAO_AUTOMATICA]\nLIMIAR_DBFS=-10\n");
    ini.close();
    TfrmTavrela& w = OpenSynth(QStringLiteral("quiet.wav"),
                               {"3", "sine", "1000", "vol", "0.1", "pad", "0.5", "0.5"});
    QTest::mouseClick(w.btnDetectarMarcacoes, Qt::LeftButton);
    EXPECT_EQ(w.GraphDisplay3D1->Items()[0].Markers.Count(), 0);
    EXPECT_EQ(shown.filter(QStringLiteral("limiar")).size(), 1);
    // At a lower threshold the same file gets its markers.
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("[MARCACAO_AUTOMATICA]\nLIMIAR_DBFS=-30\n");
    ini.close();
    QTest::mouseClick(w.btnDetectarMarcacoes, Qt::LeftButton);
    EXPECT_NEAR(MarkerSeconds(TMarkerKind::AudioStart), 0.5, 0.01);
    EXPECT_NEAR(MarkerSeconds(TMarkerKind::AudioEnd), 3.5, 0.01);
}

} // namespace
} // namespace tavrela
