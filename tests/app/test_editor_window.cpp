// The main window in process, on files generated for each test: start-up, loading, the
// stored markers, saving and its failure, closing without saving.
#include "test_editor_fixtures.h"

#include <app/editor/editor_conventions.h>
#include <app/editor/engine_waveform_source.h>
#include <app/editor/loading_window.h>
#include <app/editor/main_window.h>
#include <app/markers/time_text.h>
#include <audio/engine.h>
#include <display/graph_display_3d.h>
#include <display/model/model.h>
#include <tags/tag.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "gui_wait.h"
#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tavrela {
namespace {

using testing::Id3v23Tag;
using testing::MakeMp3;
using testing::MakeWav;
using testing::PrependToFile;
using testing::ReadAll;

const QString kNoDevice = QStringLiteral("Não foi possível iniciar o dispositivo de áudio padrão!");

class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetMessagePresenter([this](const QString& text) { shown << text; });
    }
    void TearDown() override {
        window.reset();
        SetMessagePresenter({});
    }

    TfrmTavrela& Open(const QStringList& arguments) {
        window = std::make_unique<TfrmTavrela>(arguments, engine);
        window->OnTerminate = [this] { terminated = true; };
        return *window;
    }
    // Messages other than the start-up note that there is no sound device (there is none
    // in these tests: the engine runs on its silent output).
    QStringList Messages() const {
        QStringList m = shown;
        m.removeAll(kNoDevice);
        return m;
    }
    TGraphDisplayItem& Pane() const { return window->GraphDisplay3D1->Items()[0]; }

    QTemporaryDir dir;
    audio::Engine engine{audio::EngineOptions{false, true, 50}};
    std::unique_ptr<TfrmTavrela> window;
    QStringList shown;
    bool terminated = false;
};

// Size of the ID3v2 tag at the start of `bytes` (header included), 0 without one.
int TagSize(const QByteArray& bytes) {
    if (!bytes.startsWith("ID3") || bytes.size() < 10) {
        return 0;
    }
    int size = 0;
    for (int i = 6; i < 10; ++i) {
        size = (size << 7) | (static_cast<unsigned char>(bytes[i]) & 0x7F);
    }
    return size + 10;
}

// Text of an ID3v2.3 text frame in `bytes` (encoding byte skipped), or null when absent.
QByteArray FrameText(const QByteArray& bytes, const QByteArray& id) {
    const int end = TagSize(bytes);
    int pos = 10;
    while (pos + 10 <= end && bytes[pos] != '\0') {
        const QByteArray frameId = bytes.mid(pos, 4);
        int size = 0;
        for (int i = 4; i < 8; ++i) {
            size = (size << 8) | static_cast<unsigned char>(bytes[pos + i]);
        }
        if (frameId == id) {
            return bytes.mid(pos + 11, size - 1);
        }
        pos += 10 + size;
    }
    return {};
}

TEST_F(EditorWindow, WithoutAnArgumentItSaysSoAndEndsWithoutLoading) {
    TfrmTavrela& w = Open({});
    EXPECT_EQ(shown, (QStringList{kNoDevice, QStringLiteral("Nenhum áudio foi informado.")}));
    EXPECT_TRUE(w.TerminateRequested());
    EXPECT_EQ(w.GraphDisplay3D1->Items().Count(), 0);
    EXPECT_EQ(w.Stream, 0u);
}

TEST_F(EditorWindow, TheFirstArgumentIsLoadedRelativeToTheWorkingFolder) {
    MakeMp3(dir, QStringLiteral("first.mp3"), 2.0, 1);
    MakeWav(dir, QStringLiteral("second.wav"), 1.0, 2);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    TfrmTavrela& w = Open({QStringLiteral("first.mp3"), QStringLiteral("second.wav")});
    QDir::setCurrent(previous);

    EXPECT_TRUE(Messages().isEmpty()) << Messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(w.TerminateRequested());
    EXPECT_EQ(w.FileName, QFileInfo(dir.filePath(QStringLiteral("first.mp3"))).absoluteFilePath());
    ASSERT_EQ(w.GraphDisplay3D1->Items().Count(), 1);
    EXPECT_EQ(Pane().Caption.Text, QStringLiteral("first.mp3"));
    EXPECT_EQ(Pane().ChannelCount, 1);
    EXPECT_NE(w.Stream, 0u);
    EXPECT_EQ(engine.isActive(w.Stream), audio::ChannelState::Stopped);
    EXPECT_EQ(engine.position(w.Stream), 0);
    // The loading window is gone and the commands are back.
    EXPECT_EQ(w.LoadingWindow(), nullptr);
    EXPECT_TRUE(w.Panel1->isEnabled());
    EXPECT_TRUE(w.Panel2->isEnabled());
}

TEST_F(EditorWindow, ChannelsBecomeCurvesLanesAndCaptions) {
    struct Case {
        QString file;
        int channels;
        int fontSize;
    };
    MakeMp3(dir, QStringLiteral("mono.mp3"), 1.5, 1);
    MakeWav(dir, QStringLiteral("six.wav"), 1.0, 6, 48000);
    for (const Case& c :
         {Case{QStringLiteral("mono.mp3"), 1, 12}, Case{QStringLiteral("six.wav"), 6, 10}}) {
        SCOPED_TRACE(c.file.toStdString());
        TfrmTavrela& w = Open({dir.filePath(c.file)});
        const TGraphDisplay3D& d = *w.GraphDisplay3D1;
        EXPECT_TRUE(d.ShowCursor);
        EXPECT_TRUE(d.SolidCursor);
        EXPECT_TRUE(d.AllowQuickPlay);
        EXPECT_EQ(d.MaximumVertexCount, 500000);
        EXPECT_FALSE(d.Animate);
        const TGraphDisplayItem& pane = Pane();
        EXPECT_EQ(pane.DisplayMode, 4);
        EXPECT_EQ(pane.ChannelCount, c.channels);
        EXPECT_EQ(pane.Axis.AxisY.Font.Size, c.fontSize);
        EXPECT_FALSE(pane.Axis.Visible);
        EXPECT_EQ(pane.Axis.AxisY.ScaleMode, 3);
        EXPECT_FALSE(pane.Axis.AxisY.LabelsVisible);
        EXPECT_FALSE(pane.Axis.AxisX.GridVisible);
        EXPECT_EQ(pane.Caption.Text, c.file);
        ASSERT_EQ(pane.GraphItems.Count(), c.channels);
        const std::size_t frames = pane.GraphItems[0].SampleCount();
        EXPECT_GT(frames, 0u);
        EXPECT_EQ(pane.XMax, static_cast<double>(frames) * c.channels * 4);
        EXPECT_EQ(w.TotalX, pane.XMax);
        for (int i = 0; i < c.channels; ++i) {
            const TGraphDisplayGraphItem& curve = pane.GraphItems[i];
            EXPECT_EQ(curve.Caption, QStringLiteral("Canal %1").arg(i + 1));
            EXPECT_EQ(curve.Channel, i);
            EXPECT_EQ(curve.Color, 0x008000u);
            EXPECT_EQ(curve.BaseColor, 0x00FF00u);
            EXPECT_EQ(curve.PrimitiveType, 4);
            EXPECT_EQ(curve.SampleCount(), frames);
        }
        window.reset();
    }
}

TEST_F(EditorWindow, ThreeMinutesOfStereoFillTheArraysExactly) {
    const QString wav = MakeWav(dir, QStringLiteral("long.wav"), 180.0, 2);
    // Events run while the file decodes: look at the window from inside the decode.
    QString caption;
    bool commandsEnabled = true;
    QTimer::singleShot(0, [&] {
        // The window is still being created: find it and its loading window among the
        // top-level widgets.
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* loading = qobject_cast<TfrmCarregando*>(top);
                loading && loading->isVisible()) {
                caption = loading->windowTitle();
            }
            if (auto* main = qobject_cast<TfrmTavrela*>(top)) {
                commandsEnabled = main->Panel1->isEnabled() || main->Panel2->isEnabled();
            }
        }
    });
    Open({wav});
    EXPECT_EQ(caption, QStringLiteral("Carregando..."));
    EXPECT_FALSE(commandsEnabled);
    EXPECT_EQ(window->LoadingWindow(), nullptr);
    EXPECT_TRUE(window->Panel1->isEnabled());
    ASSERT_EQ(Pane().GraphItems.Count(), 2);
    EXPECT_EQ(Pane().GraphItems[0].SampleCount(), 7938000u);
    EXPECT_EQ(Pane().GraphItems[1].SampleCount(), 7938000u);
    EXPECT_EQ(Pane().XMax, 63504000.0);
    // Only the summaries are kept: far less than the 63.5 MB of decoded samples.
    EXPECT_EQ(Pane().GraphItems[0].Samples.Length(), 0u);
    EXPECT_GT(window->GraphDisplay3D1->SampleStorageBytes(), 0u);
    EXPECT_LT(window->GraphDisplay3D1->SampleStorageBytes(), 63504000u / 12);
    EXPECT_EQ(window->DurationSeconds, 180);
}

TEST_F(EditorWindow, DeepZoomSamplesAreReadAgainExactlyFromTheFile) {
    // The display keeps only summaries; the samples it asks for at deep zoom come from a
    // seek into the MP3 and must equal a plain decode of the same frames, for both channels,
    // forwards and backwards.
    const QString mp3 = MakeMp3(dir, QStringLiteral("range.mp3"), 20.0, 2);
    TfrmTavrela& w = Open({mp3});
    ASSERT_EQ(Pane().GraphItems.Count(), 2);
    const std::size_t frames = Pane().GraphItems[0].SampleCount();
    ASSERT_GT(frames, 800000u);
    EXPECT_EQ(Pane().GraphItems[0].Summary->Length(), frames);

    const auto flags = audio::ChannelFlags::Float | audio::ChannelFlags::Prescan |
                       audio::ChannelFlags::Decode;
    const auto channel = engine.createStream(QFile::encodeName(mp3).toStdString(), flags);
    ASSERT_NE(channel, 0u);
    EngineWaveformSource source(engine, channel);
    std::vector<TGraphData> plain(2);
    std::vector<TGraphData*> targets = {&plain[0], &plain[1]};
    ASSERT_EQ(DecodeWaveformInto(source, targets, {}), frames);
    engine.freeStream(channel);

    TGraphDisplay3D& display = *w.GraphDisplay3D1;
    ASSERT_TRUE(display.OnNeedSampleRange);
    for (const std::size_t first : {std::size_t{700000}, std::size_t{12345}, frames - 300}) {
        for (int c = 0; c < 2; ++c) {
            std::vector<float> got(500, -9.0f);
            const std::size_t n = display.OnNeedSampleRange(
                &display, &Pane(), &Pane().GraphItems[c], first, got.data(), got.size());
            EXPECT_EQ(n, std::min<std::size_t>(500, frames - first));
            for (std::size_t j = 0; j < n; ++j) {
                ASSERT_EQ(got[j], plain[static_cast<std::size_t>(c)][first + j].Value)
                    << first << " " << c << " " << j;
            }
        }
    }
}

TEST_F(EditorWindow, StoredMarkerTextsBecomeMarkersOnTheDurationScale) {
    const QString mp3 = MakeMp3(dir, QStringLiteral("tagged.mp3"), 75.0, 2);
    PrependToFile(mp3, Id3v23Tag({{"TMXI", "00:05"}, {"TRFF", "01:10.5"}}));
    TfrmTavrela& w = Open({mp3});
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_EQ(w.DurationSeconds, 75);
    EXPECT_EQ(w.AudioStart, QStringLiteral("00:05"));
    EXPECT_EQ(w.ChorusEnd, QStringLiteral("01:10.5"));
    ASSERT_EQ(Pane().Markers.Count(), 2);
    const TGraphDisplayMarker& start = Pane().Markers[0];
    const TGraphDisplayMarker& chorusEnd = Pane().Markers[1];
    EXPECT_EQ(start.Caption, QStringLiteral("Início"));
    EXPECT_EQ(start.Color, 0xFFFF00u);
    EXPECT_DOUBLE_EQ(start.X, SecondsToX(75, 5.0, w.TotalX));
    EXPECT_EQ(chorusEnd.Caption, QStringLiteral("Fim do Refrão"));
    EXPECT_EQ(chorusEnd.Color, 0x00FFFFu);
    EXPECT_DOUBLE_EQ(chorusEnd.X, SecondsToX(75, 70.5, w.TotalX));
}

TEST_F(EditorWindow, AJingleAloneCreatesNoMarkerAndABadTextIsSkipped) {
    const QString jingle = MakeMp3(dir, QStringLiteral("jingle.mp3"), 2.0, 2);
    PrependToFile(jingle, Id3v23Tag({{"TVIN", "Vinhetas\\abertura.mp3"}}));
    Open({jingle});
    EXPECT_EQ(window->StampJingle, QStringLiteral("Vinhetas\\abertura.mp3"));
    EXPECT_EQ(Pane().Markers.Count(), 0);
    EXPECT_TRUE(Messages().isEmpty());
    window.reset();

    const QString bad = MakeMp3(dir, QStringLiteral("bad.mp3"), 3.0, 2);
    PrependToFile(bad, Id3v23Tag({{"TINT", "1:2x"}, {"TRFF", "00:01"}}));
    Open({bad});
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages()[0].contains(QStringLiteral("1:2x")) ||
                Messages()[0].contains(QStringLiteral("2x")))
        << Messages()[0].toStdString();
    ASSERT_EQ(Pane().Markers.Count(), 1);
    EXPECT_EQ(Pane().Markers[0].Color, 0x00FFFFu);
}

TEST_F(EditorWindow, ZoomButtonsStepTheViewAndLoadingEndsZoomedOut) {
    const QString mp3 = MakeMp3(dir, QStringLiteral("zoom.mp3"), 2.0, 2);
    TfrmTavrela& w = Open({mp3});
    EXPECT_EQ(Pane().ZoomFactor, 1.0); // the closing zoom-out step never goes below the whole
    QTest::mouseClick(w.btnZoomMais, Qt::LeftButton);
    QTest::mouseClick(w.btnZoomMais, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(Pane().ZoomFactor, 1.5625);
    QTest::mouseClick(w.btnZoomMenos, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(Pane().ZoomFactor, 1.171875);
    EXPECT_TRUE(Messages().isEmpty());
    window.reset();

    // Without a file the buttons end silently.
    TfrmTavrela& empty = Open({});
    shown.clear();
    QTest::mouseClick(empty.btnZoomMais, Qt::LeftButton);
    EXPECT_TRUE(shown.isEmpty());
}

// Columns of the light (text) pixels in rows [Top, Bottom] of a frame, grouped into runs that
// are apart by at least `Gap` dark columns: one run per label that stands alone.
std::vector<std::pair<int, int>> TextRuns(const QImage& Frame, int Top, int Bottom, int Gap) {
    std::vector<std::pair<int, int>> runs;
    int dark = Gap;
    for (int x = 0; x < Frame.width(); ++x) {
        bool lit = false;
        for (int y = std::max(0, Top); y <= Bottom && y < Frame.height(); ++y) {
            const QColor c = Frame.pixelColor(x, y);
            // The labels are white: grey when smoothed; the waveform is green.
            lit |= c.red() > 90 && std::abs(c.red() - c.green()) < 40 &&
                   std::abs(c.green() - c.blue()) < 40;
        }
        if (lit) {
            if (dark >= Gap) {
                runs.push_back({x, x});
            }
            runs.back().second = x;
            dark = 0;
        } else {
            ++dark;
        }
    }
    return runs;
}

TEST_F(EditorWindow, TimeLabelsNeverRunIntoEachOther) {
    const QString mp3 = MakeMp3(dir, QStringLiteral("labels.mp3"), 3.0, 2);
    TfrmTavrela& w = Open({mp3});
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w, kWindowWaitMs));
    const QSize screen = w.screen()->availableGeometry().size();
    const QSize minimum = w.minimumSizeHint().expandedTo(w.minimumSize());
    const auto frameAt = [&](QSize size) {
        w.resize(size);
        QTest::qWait(50);
        QApplication::processEvents();
        w.GraphDisplay3D1->Render();
        return w.GraphDisplay3D1->Panel()->Frame();
    };
    // Maximised, every label stands alone: the widest run is one label's width.
    const QImage wide = frameAt(screen);
    ASSERT_FALSE(wide.isNull());
    const int fs = Pane().Axis.AxisX.Font.Size;
    const int bottom = wide.height() - 1;
    const auto wideRuns = TextRuns(wide, bottom - fs, bottom, 5);
    ASSERT_EQ(wideRuns.size(), 9u); // 10 divisions, the edges unlabelled
    int labelWidth = 0;
    for (const auto& [left, right] : wideRuns) {
        labelWidth = std::max(labelWidth, right - left + 1);
    }
    ASSERT_GT(labelWidth, 20);

    for (const QSize size : {QSize(684, 367), minimum, screen}) {
        const QImage f = frameAt(size);
        ASSERT_FALSE(f.isNull());
        for (const bool top : {false, true}) {
            const int y0 = top ? 1 : f.height() - 1 - fs;
            const auto runs = TextRuns(f, y0, y0 + fs, 5);
            const std::string where = std::to_string(size.width()) + "x" +
                                      std::to_string(size.height()) + (top ? " top" : " bottom");
            EXPECT_GE(runs.size(), 2u) << where; // still labelled
            for (const auto& [left, right] : runs) {
                EXPECT_LE(right - left + 1, labelWidth) << where << " run at " << left;
            }
        }
    }
}

TEST_F(EditorWindow, AFileThatIsNotAudioIsRefused) {
    const QString path = dir.filePath(QStringLiteral("notes.mp3"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4000, 'x'));
    file.close();
    TfrmTavrela& w = Open({path});
    EXPECT_EQ(Messages(),
              QStringList{QStringLiteral("Não foi possível carregar o arquivo de áudio!")});
    EXPECT_EQ(w.Stream, 0u);
    EXPECT_EQ(w.GraphDisplay3D1->Items().Count(), 0);
}

// A tagged stereo file with frames the save must keep.
QString MakeTaggedSong(const QTemporaryDir& dir) {
    const QString mp3 = MakeMp3(dir, QStringLiteral("song.mp3"), 20.0, 2);
    PrependToFile(mp3, Id3v23Tag({{"TIT2", "Canção"},
                                  {"TPE1", "Artista"},
                                  {"TINT", "00:02.5"},
                                  {"TMXF", "00:18"},
                                  {"COMM", "antigo"}}));
    return mp3;
}

TEST_F(EditorWindow, SavingWritesTheMarkersKeepsTheRestAndEnds) {
    const QString mp3 = MakeTaggedSong(dir);
    const QByteArray before = ReadAll(mp3);
    TfrmTavrela& w = Open({mp3});
    ASSERT_EQ(Pane().Markers.Count(), 2);
    Pane().Markers[0].X = SecondsToX(w.DurationSeconds, 4.25, w.TotalX); // the intro moves
    TGraphDisplayMarker& mix = Pane().Markers.Add();
    mix.X = SecondsToX(w.DurationSeconds, 15.0, w.TotalX);
    mix.Color = 0x008080;
    w.Comment = QStringLiteral("novo comentário");

    QTest::mouseClick(w.btnGravarMarcacoes, Qt::LeftButton);
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Marcações efetuadas com sucesso.")});
    EXPECT_TRUE(terminated);

    const QByteArray after = ReadAll(mp3);
    EXPECT_EQ(FrameText(after, "TINT"), QByteArray("00:04.25"));
    EXPECT_EQ(FrameText(after, "TPMI"), QByteArray("00:15"));
    EXPECT_EQ(FrameText(after, "TMXF"), QByteArray("00:18"));
    EXPECT_EQ(FrameText(after, "TCAD"), QByteArray("S"));
    EXPECT_TRUE(FrameText(after, "TRFI").isNull());
    // The audio after the tag is untouched.
    EXPECT_EQ(after.mid(TagSize(after)), before.mid(TagSize(before)));

    // The tag reader agrees, comment and untouched texts included.
    tags::CreateTagObjects(".mp3");
    tags::ReadTag(QFile::encodeName(mp3).toStdString());
    const tags::Tag& tag = tags::CurrentTag;
    EXPECT_EQ(tag.Intro, "00:04.25");
    EXPECT_EQ(tag.MixPoint, "00:15");
    EXPECT_EQ(tag.Comment, "novo comentário");
    EXPECT_EQ(tag.Title, "Canção");
    EXPECT_EQ(tag.Artist, "Artista");
    tags::FreeTagObjects(".MP3");
}

TEST_F(EditorWindow, AFailedWriteKeepsTheWorkAndASecondPressRetries) {
    const QString mp3 = MakeTaggedSong(dir);
    const QString away = mp3 + QStringLiteral(".away");
    TfrmTavrela& w = Open({mp3});
    Pane().Markers[0].X = SecondsToX(w.DurationSeconds, 6.0, w.TotalX);
    w.Comment = QStringLiteral("revisto");
    w.StampJingle = QStringLiteral("Vinhetas\\x.mp3");
    ASSERT_TRUE(QFile::rename(mp3, away)); // the file vanishes under the editor

    QTest::mouseClick(w.btnGravarMarcacoes, Qt::LeftButton);
    EXPECT_EQ(Messages(), QStringList{QStringLiteral(
                              "Não foi possível efetuar as marcações. O áudio pode estar sendo "
                              "utilizado por outro processo.\n\nO arquivo não existe mais.")});
    EXPECT_FALSE(terminated);
    ASSERT_EQ(w.GraphDisplay3D1->Items().Count(), 1);
    EXPECT_EQ(Pane().GraphItems.Count(), 2);
    EXPECT_GT(Pane().GraphItems[0].SampleCount(), 0u);
    ASSERT_EQ(Pane().Markers.Count(), 2);
    EXPECT_DOUBLE_EQ(Pane().Markers[0].X, SecondsToX(w.DurationSeconds, 6.0, w.TotalX));
    EXPECT_EQ(w.Comment, QStringLiteral("revisto"));
    EXPECT_EQ(w.StampJingle, QStringLiteral("Vinhetas\\x.mp3"));

    shown.clear();
    ASSERT_TRUE(QFile::rename(away, mp3));
    QTest::mouseClick(w.btnGravarMarcacoes, Qt::LeftButton);
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Marcações efetuadas com sucesso.")});
    EXPECT_TRUE(terminated);
    const QByteArray after = ReadAll(mp3);
    EXPECT_EQ(FrameText(after, "TINT"), QByteArray("00:06"));
    EXPECT_EQ(FrameText(after, "TVIN"), QByteArray("Vinhetas\\x.mp3"));
}

TEST_F(EditorWindow, AFileChangedSinceItWasOpenedIsNotWritten) {
    // Another program retags the file, or puts another song in its place, while the operator
    // works: the save must not write this song's texts over that, and says why.
    for (const bool replaced : {false, true}) {
        const QString mp3 = MakeTaggedSong(dir);
        TfrmTavrela& w = Open({mp3});
        w.Comment = QStringLiteral("deste som");
        if (replaced) {
            const QString other = mp3 + QStringLiteral(".other");
            ASSERT_TRUE(QFile::copy(mp3, other));
            ASSERT_TRUE(QFile::remove(mp3));
            ASSERT_TRUE(QFile::rename(other, mp3));
        } else {
            QFile f(mp3);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            f.seek(TagSize(ReadAll(mp3)) - 1); // a byte of the padding: another program's edit
            f.write("x", 1);
        }
        const QByteArray changed = ReadAll(mp3);
        shown.clear();
        QTest::mouseClick(w.btnGravarMarcacoes, Qt::LeftButton);
        ASSERT_EQ(Messages().size(), 1);
        EXPECT_TRUE(Messages()[0].startsWith(QStringLiteral(
            "Não foi possível efetuar as marcações. O áudio pode estar sendo utilizado por "
            "outro processo.\n\nO arquivo foi alterado desde que foi aberto")))
            << Messages()[0].toStdString();
        EXPECT_FALSE(terminated);
        EXPECT_EQ(ReadAll(mp3), changed);
        window.reset();
    }
}

TEST_F(EditorWindow, ClosingAfterEditsLeavesTheFileAsItWas) {
    const QString mp3 = MakeTaggedSong(dir);
    const QByteArray before = ReadAll(mp3);
    TfrmTavrela& w = Open({mp3});
    w.show();
    Pane().Markers[0].X = 1000.0;
    w.Comment = QStringLiteral("descartado");
    EXPECT_TRUE(w.close());
    window.reset();
    EXPECT_EQ(ReadAll(mp3), before);
    EXPECT_TRUE(Messages().isEmpty());
}

TEST_F(EditorWindow, AWavFileIsShownButItsMarkersAreNotWritten) {
    const QString wav = MakeWav(dir, QStringLiteral("take.wav"), 4.0, 2);
    const QByteArray before = ReadAll(wav);
    TfrmTavrela& w = Open({wav});
    EXPECT_EQ(w.DurationSeconds, 4);
    TGraphDisplayMarker& intro = Pane().Markers.Add();
    intro.X = SecondsToX(4, 1.0, w.TotalX);
    intro.Color = 0x0000FF;

    QTest::mouseClick(w.btnGravarMarcacoes, Qt::LeftButton);
    EXPECT_EQ(Messages(),
              QStringList{QStringLiteral("Não é possível gravar marcações em arquivos WAV.")});
    EXPECT_FALSE(terminated);
    EXPECT_NE(w.Stream, 0u);
    ASSERT_EQ(Pane().Markers.Count(), 1);
    EXPECT_EQ(Pane().GraphItems.Count(), 2);
    EXPECT_EQ(ReadAll(wav), before);
}

// A shown window whose native window is replaced flickers, and what the window system
// addressed to the old one (a close request) is lost. Loading builds the display's drawing
// device; that must not touch the top-level, whether its native window exists before the
// first load (made early, as a child window would) or a load happens while it is shown.
TEST_F(EditorWindow, TheNativeWindowMadeOnceIsKept) {
    const QString mp3 = MakeMp3(dir, QStringLiteral("song.mp3"), 2.0, 2);
    TfrmTavrela& w = Open({});
    const WId early = w.winId();
    shown.clear();
    w.FileName = mp3;
    w.LoadAudio();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w, kWindowWaitMs));
    QTest::qWait(200); // render ticks
    EXPECT_EQ(w.winId(), early);
    w.LoadAudio();
    QTest::qWait(200);
    EXPECT_EQ(w.winId(), early);
    EXPECT_TRUE(Messages().isEmpty());
}

TEST(EditorStartup, OnlyVersionTwoFourOfTheAudioLibraryPasses) {
    EXPECT_TRUE(AudioVersionSupported(0x0204000F)); // 2.4.15.0
    EXPECT_TRUE(AudioVersionSupported(0x02040000));
    EXPECT_FALSE(AudioVersionSupported(0x02030000));
    EXPECT_FALSE(AudioVersionSupported(0x03000000));
    EXPECT_TRUE(AudioVersionSupported(audio::Engine::version()));
}

} // namespace
} // namespace tavrela
