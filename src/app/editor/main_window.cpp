// The main window's start-up, loading and saving.
#include "main_window.h"

#include "editor_conventions.h"
#include "editor_paths.h"
#include "analysis_tap.h"
#include "engine_waveform_source.h"
#include "loading_window.h"
#include "stored_markers.h"
#include "termination_signals.h"
#include "waveform_decode.h"

#include <app/jingles/app_style.h>
#include <app/jingles/jingle_settings.h>
#include <app/jingles/program_folder.h>
#include <app/markers/marker_kinds.h>
#include <app/markers/time_text.h>
#include <app/session/edit_history.h>
#include <app/session/playback_preview.h>
#include <audio/engine.h>
#include <display/graph_display_3d.h>
#include <display/model/model.h>
#include <display/silent_abort.h>
#include <tags/tag.h>

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

namespace tavrela {

namespace {

constexpr auto kStreamFlags = audio::ChannelFlags::Float | audio::ChannelFlags::Prescan;
constexpr auto kModuleFlags = kStreamFlags | audio::ChannelFlags::StopOnBackwardJump;

const QString kNoDeviceMessage =
    QStringLiteral("Não foi possível iniciar o dispositivo de áudio padrão!");
const QString kNoFileMessage = QStringLiteral("Nenhum áudio foi informado.");
const QString kVersionMessage = QStringLiteral("Biblioteca de áudio 2.4 não encontrada.");
const QString kCannotLoadMessage = QStringLiteral("Não foi possível carregar o arquivo de áudio!");
const QString kWriteFailedMessage =
    QStringLiteral("Não foi possível efetuar as marcações. O áudio pode estar sendo utilizado por "
                   "outro processo.");
const QString kSavedMessage = QStringLiteral("Marcações efetuadas com sucesso.");
const QString kWavMessage = QStringLiteral("Não é possível gravar marcações em arquivos WAV.");
const QString kKeepCommentQuestion =
    QStringLiteral("O comentário foi alterado e não foi confirmado. Deseja mantê-lo?");

// What went wrong with a save, said after the failure message so the operator knows what to do.
QString SaveFailureText(const tags::SaveResult& result) {
    using tags::SaveError;
    QString text;
    switch (result.Error) {
    case SaveError::None:
        return {};
    case SaveError::Missing:
        text = QStringLiteral("O arquivo não existe mais.");
        break;
    case SaveError::NotRegularFile:
        text = QStringLiteral("O caminho não é um arquivo comum.");
        break;
    case SaveError::Permission:
        text = QStringLiteral("Sem permissão para gravar o arquivo.");
        break;
    case SaveError::FolderPermission:
        text = QStringLiteral("O arquivo precisa ser regravado inteiro por meio de um novo "
                              "arquivo na sua pasta, e não há permissão para gravar na pasta.");
        break;
    case SaveError::ReadOnly:
        text = QStringLiteral("O sistema de arquivos está somente para leitura.");
        break;
    case SaveError::DiskFull:
        text = QStringLiteral("O disco está cheio.");
        break;
    case SaveError::Busy:
        text = QStringLiteral("Outra gravação deste arquivo está em andamento. Tente de novo "
                              "em instantes.");
        break;
    case SaveError::Changed:
        text = QStringLiteral("O arquivo foi alterado desde que foi aberto (por outro programa "
                              "ou outra gravação); nada foi gravado. Abra-o de novo para "
                              "marcá-lo.");
        break;
    case SaveError::ReadFailed:
        text = QStringLiteral("Erro de leitura: a etiqueta do arquivo não pôde ser lida por "
                              "inteiro; nada foi gravado.");
        break;
    case SaveError::TagUnreadable:
        text = QStringLiteral("A etiqueta atual do arquivo não pôde ser lida por inteiro.");
        break;
    case SaveError::CopyIncomplete:
        text = QStringLiteral("O áudio não pôde ser copiado por inteiro (o arquivo foi "
                              "encurtado por outro programa).");
        break;
    case SaveError::OwnerNotKept:
        text = QStringLiteral("O arquivo precisa ser regravado inteiro, e a cópia não manteria "
                              "o dono, o grupo ou as permissões do original.");
        break;
    case SaveError::HardLinks:
        text = QStringLiteral("O arquivo precisa ser regravado inteiro, e outros nomes (hard "
                              "links) do mesmo arquivo ficariam com o conteúdo antigo.");
        break;
    case SaveError::NotWritable:
        text = QStringLiteral("A etiqueta do arquivo não foi lida (o fluxo MPEG não é válido).");
        break;
    case SaveError::Io:
        text = QStringLiteral("Erro do sistema.");
        break;
    }
    if (result.Errno != 0) {
        text += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(result.Errno)));
    }
    return text;
}

// How often the decode lets the window process its events: at the render timer's pace, which
// keeps the progress bar, the drawing and the labels alive; more often would only slow the
// decode.
constexpr qint64 kDecodeEventIntervalMs = 50;

std::filesystem::path LocalPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Frees a decoding channel however the decode ends.
struct DecodeChannelGuard {
    audio::Engine& engine;
    audio::ChannelHandle channel;
    ~DecodeChannelGuard() {
        engine.freeModule(channel);
        engine.freeStream(channel);
    }
};

} // namespace

bool AudioVersionSupported(std::uint32_t version) {
    return (version >> 16) == 0x0204;
}

TfrmTavrela::TfrmTavrela(QStringList arguments, audio::Engine& engine, QWidget* parent)
    : QWidget(parent), FEngine(engine) {
    setWindowTitle(kApplicationTitle);
    setFont(uiFont(8.0));
    BuildControls();
    ConfigureDisplay();
    BindCommands();
    BindSessionCommands();
    BindShortcuts();
    Preview().SetFinalPreroll(readFinalPrerollSetting(
        QDir(programFolder()).filePath(kSettingsFileName), kDefaultFinalPrerollSeconds));
    resize(684, 367);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    OnTerminate = [] {
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    };
    tmrRenderGrafico->start();
    FormCreate(arguments);
}

TfrmTavrela::~TfrmTavrela() {
    FormDestroy();
}

void TfrmTavrela::FormCreate(const QStringList& arguments) {
    PlayingIntro = false;
    PlayingChorus = false;
    if (!AudioVersionSupported(audio::Engine::version())) {
        ShowMessage(kVersionMessage);
        FTerminateRequested = true;
        FExitCode = 1;
        tmrRenderGrafico->stop();
        return;
    }
    if (!FEngine.init(-1, 44100)) {
        // The engine goes on with its silent output: the file can still be marked visually.
        ShowMessage(kNoDeviceMessage);
    } else {
        // The one line about sound the program writes: which output it chose.
        std::fprintf(stderr, "tavrela: sound output: %s\n", FEngine.outputDescription().c_str());
    }
    if (!arguments.isEmpty()) {
        FileName = ResolveArgumentPath(arguments.first());
        RunGuarded([this] { LoadAudio(); });
        // Undo goes back as far as the file as loaded, never further.
        History().Reset();
        return;
    }
    ShowMessage(kNoFileMessage);
    FTerminateRequested = true;
    tmrRenderGrafico->stop();
}

void TfrmTavrela::FormDestroy() {
    tmrRenderGrafico->stop();
    CloseSampleRangeChannel();
    // Not stop() first: stopping lets the device play out what it holds (through PulseAudio
    // a few hundred milliseconds of waiting), while free() cuts the output at once.
    FEngine.free();
}

void TfrmTavrela::Terminate() {
    tmrRenderGrafico->stop();
    FTerminateRequested = true;
    if (OnTerminate) {
        OnTerminate();
    }
}

void TfrmTavrela::closeEvent(QCloseEvent* event) {
    // The close box ends the editor at once: nothing is saved and nothing is asked.
    tmrRenderGrafico->stop();
    event->accept();
}

void TfrmTavrela::OnClick(QPushButton* button, std::function<void()> command) {
    connect(button, &QPushButton::clicked, this,
            [command = std::move(command)] { RunGuarded(command); });
}

void TfrmTavrela::OnClick(QToolButton* button, std::function<void()> command) {
    connect(button, &QToolButton::clicked, this,
            [command = std::move(command)] { RunGuarded(command); });
}

void TfrmTavrela::BindCommands() {
    OnClick(btnGravarMarcacoes, [this] { btnGravarMarcacoesClick(); });
    OnClick(btnZoomMais, [this] { btnZoomMaisClick(); });
    OnClick(btnZoomMenos, [this] { btnZoomMenosClick(); });
    OnClick(btnDetectarMarcacoes, [this] { DetectMarkers(); });
    connect(menuDetectarMarcacoes, &QAction::triggered, this,
            [this] { RunGuarded([this] { DetectMarkers(); }); });
    connect(tmrRenderGrafico, &QTimer::timeout, this,
            [this] { RunGuarded([this] { tmrRenderGraficoTimer(); }); });
}

bool TfrmTavrela::IsMp3() const {
    return tags::IsMp3Extension(tags::FileExtension(FileName.toStdString()));
}

std::uint32_t TfrmTavrela::OpenChannel(bool decode) {
    const auto path = LocalPath(FileName);
    // Only a regular file is handed to the loader: opening a FIFO waits for a writer (before
    // any window appears), a device or a folder holds no audio. Either way the load fails
    // with its message.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return 0;
    }
    const auto extra = decode ? audio::ChannelFlags::Decode : audio::ChannelFlags::None;
    audio::ChannelHandle channel = FEngine.loadModule(path, kModuleFlags | extra);
    if (channel == 0) {
        channel = FEngine.createStream(path, kStreamFlags | extra);
    }
    return channel;
}

MarkerTexts TfrmTavrela::CurrentTexts() const {
    return MarkerTexts{Intro,    AudioStart,  AudioEnd,  ChorusStart, ChorusEnd,
                       MixPoint, StampJingle, StampTime, Comment};
}

void TfrmTavrela::SetTexts(const MarkerTexts& t) {
    Intro = t.Intro;
    AudioStart = t.AudioStart;
    AudioEnd = t.AudioEnd;
    ChorusStart = t.ChorusStart;
    ChorusEnd = t.ChorusEnd;
    MixPoint = t.MixPoint;
    StampJingle = t.StampJingle;
    StampTime = t.StampTime;
    Comment = t.Comment;
}

void TfrmTavrela::ClearMarkerTexts() {
    SetTexts(MarkerTexts{});
}

void TfrmTavrela::LoadAudio() {
    if (FileName.isEmpty()) {
        return;
    }
    tags::CreateTagObjects(tags::FileExtension(FileName.toStdString()));
    tags::ReadTag(QFile::encodeName(FileName).toStdString());

    CloseSampleRangeChannel();
    FEngine.freeStream(Stream);
    Stream = OpenChannel(false);
    if (Stream == 0) {
        ShowMessage(kCannotLoadMessage);
        return;
    }
    const auto info = FEngine.info(Stream);
    BuildFilePane(info ? info->channels : 0);
    DecodeWaveform(FileName);
    GraphDisplay3D1->Initialize(0);
    LoadStoredMarkers();
    ZoomStep(-120);
}

void TfrmTavrela::BuildFilePane(int channels) {
    TGraphDisplay3D& display = *GraphDisplay3D1;
    display.Items().Clear();
    display.ShowCursor = true;
    display.SolidCursor = true;
    display.AllowQuickPlay = true;
    display.MaximumVertexCount = 500000;
    display.Animate = false;
    TGraphDisplayItem& pane = display.Items().Add();
    pane.DisplayMode = 4;
    pane.ChannelCount = channels;
    pane.Axis.Visible = false;
    pane.Axis.AxisY.ScaleMode = 3;
    pane.Axis.AxisY.Max = 1.0;
    pane.Axis.AxisY.LabelsVisible = false;
    pane.Axis.AxisY.GridVisible = false;
    pane.Axis.AxisX.GridVisible = false;
    pane.Axis.AxisY.Font.Size = channels <= 4 ? 12 : 10;
    pane.Caption.Text = QFileInfo(FileName).fileName();
    pane.SelectionMode = 0;
    for (int i = 0; i < channels; ++i) {
        TGraphDisplayGraphItem& curve = pane.GraphItems.Add();
        curve.Caption = QStringLiteral("Canal ") + QString::number(i + 1);
        curve.Color = 0x008000;
        curve.BaseColor = 0x00FF00;
        curve.Channel = i;
        curve.PrimitiveType = 4;
    }
}

void TfrmTavrela::DecodeWaveform(const QString& AFileName) {
    Q_UNUSED(AFileName); // FileName names the same file; kept for the operation's shape
    const audio::ChannelHandle channel = OpenChannel(true);
    if (channel == 0) {
        return;
    }
    DecodeChannelGuard channelGuard{FEngine, channel};

    // Parentless when the main window is not shown yet (the load at start-up): a child
    // window would make the hidden main window create its native window before the display
    // sets up its drawing surface, and the window would then be replaced on screen.
    auto* loading = new TfrmCarregando(isVisible() ? this : nullptr);
    FLoading = loading;
    Panel1->setEnabled(false);
    Panel2->setEnabled(false);
    EnableShortcuts(false);
    loading->SetProgress(0);
    loading->show();
    struct Cleanup {
        TfrmTavrela* window;
        ~Cleanup() {
            delete window->FLoading;
            window->FLoading = nullptr;
            window->Panel1->setEnabled(true);
            window->Panel2->setEnabled(true);
            window->EnableShortcuts(true);
            if (window->isVisible()) {
                window->raise();
                window->activateWindow();
            }
        }
    } cleanup{this};
    QCoreApplication::processEvents();

    // Only the summaries stay: the samples of a deep zoom are read again from the file.
    TGraphDisplayItem& pane = GraphDisplay3D1->Items()[0];
    std::vector<std::shared_ptr<TSampleSummary>> summaries;
    std::vector<TSampleSummary*> targets;
    for (int i = 0; i < pane.GraphItems.Count(); ++i) {
        summaries.push_back(std::make_shared<TSampleSummary>());
        targets.push_back(summaries.back().get());
    }
    EngineWaveformSource engineSource(FEngine, channel);
    StartAnalysis(channel);
    AnalysisTap source(engineSource, FAnalysis.get());
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    DecodeWaveformSummaries(source, targets, [&](int percent) {
        if (FLoading != nullptr) {
            FLoading->SetProgress(percent);
        }
        if (sinceEvents.elapsed() >= kDecodeEventIntervalMs) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
            if (TerminationSignal() != 0) {
                SilentAbort(); // told to end while loading: the program ends without the rest
            }
        }
    });
    source.Finish();
    for (int i = 0; i < pane.GraphItems.Count(); ++i) {
        pane.GraphItems[i].Summary = summaries[static_cast<std::size_t>(i)];
    }
    pane.SetXMax(static_cast<double>(std::max<std::int64_t>(0, FEngine.length(channel))));
}

void TfrmTavrela::LoadStoredMarkers() {
    TGraphDisplayItem& pane = GraphDisplay3D1->Items()[0];
    MarkerTexts texts;
    double duration = 0.0;
    if (IsMp3() && tags::MPEGFile != nullptr) {
        duration = tags::MPEGFile->Duration();
        const auto& id3 = tags::MPEGFile->ID3v2;
        const auto text = [](const std::string& s) { return QString::fromStdString(s); };
        texts.Intro = text(id3.Intro);
        texts.AudioStart = text(id3.AudioStart);
        texts.AudioEnd = text(id3.AudioEnd);
        texts.ChorusStart = text(id3.ChorusStart);
        texts.ChorusEnd = text(id3.ChorusEnd);
        texts.MixPoint = text(id3.MixPoint);
        texts.StampJingle = text(id3.StampJingle);
        texts.StampTime = text(id3.StampTime);
        texts.Comment = text(id3.Comment);
    } else if (!IsMp3() && tags::WAVFile != nullptr) {
        // WAV files carry no marker texts; their duration comes from the header.
        duration = tags::WAVFile->Duration();
    }
    DurationSeconds = RoundDurationSeconds(duration);
    TotalX = pane.SelectionEnd;
    SetTexts(texts);
    FStoredTexts = std::make_unique<MarkerTexts>(texts);

    const StoredMarkerPlan plan = PlanStoredMarkers(texts, DurationSeconds, TotalX);
    for (const QString& error : plan.Errors) {
        ShowMessage(error);
    }
    for (const PlannedMarker& planned : plan.Markers) {
        AddMarker(pane.Markers, planned);
    }
}

void TfrmTavrela::ZoomStep(int Delta) {
    if (GraphDisplay3D1->Items().Count() == 0) {
        SilentAbort();
    }
    // One notch of the display's own wheel handling, about the middle of the view: the
    // pointer is on the button, so its position says nothing about where to zoom.
    GraphDisplay3D1->setFocus();
    GraphDisplay3D1->ControlMouseWheel(Delta);
}

void TfrmTavrela::btnZoomMaisClick() {
    ZoomStep(120);
}

void TfrmTavrela::btnZoomMenosClick() {
    ZoomStep(-120);
}

void TfrmTavrela::btnGravarMarcacoesClick() {
    SaveMarkers();
}

void TfrmTavrela::SaveMarkers() {
    TGraphDisplay3D& display = *GraphDisplay3D1;
    if (display.Items().Count() == 0) {
        SilentAbort();
    }
    if (!IsMp3()) {
        // There is no tag writer for WAV files: say so and leave everything as it is.
        ShowMessage(kWavMessage);
        SilentAbort();
    }
    // A comment typed but not confirmed would otherwise be dropped without a word.
    if (!pnlComentario->isHidden() && edtComentario->toPlainText() != Comment) {
        if (AskYesNo(kKeepCommentQuestion)) {
            btnConfirmarComentarioClick();
        } else {
            btnCancelarComentarioClick();
        }
    }
    TGraphDisplayItem& pane = display.Items()[0];
    MarkerTexts texts = CurrentTexts();
    ComputeSaveTexts(pane, DurationSeconds, TotalX, texts,
                     FStoredTexts ? *FStoredTexts : MarkerTexts{});
    SetTexts(texts);

    // Kept so a failed write can show the file again without decoding it anew.
    std::vector<std::shared_ptr<const TSampleSummary>> summaries;
    for (TGraphDisplayGraphItem& curve : pane.GraphItems) {
        summaries.push_back(curve.Summary);
    }
    const int channels = pane.ChannelCount;

    CloseSampleRangeChannel();
    FEngine.stop(Stream);
    FEngine.freeStream(Stream);
    FEngine.freeModule(Stream);
    Stream = 0;

    display.Items().Clear();
    TGraphDisplayItem& placeholder = display.Items().Add();
    placeholder.DisplayMode = 4;
    placeholder.ChannelCount = 1;
    placeholder.Axis.Visible = false;
    placeholder.Axis.AxisY.ScaleMode = 3;
    placeholder.Axis.AxisY.Max = 1.0;
    placeholder.Axis.AxisY.LabelsVisible = false;
    placeholder.Axis.AxisY.GridVisible = false;
    placeholder.Axis.AxisX.GridVisible = false;
    placeholder.SelectionMode = 0;
    TGraphDisplayGraphItem& curve = placeholder.GraphItems.Add();
    curve.Caption = QStringLiteral("Canal 1");
    curve.Color = 0x227722;
    curve.BaseColor = 0x00FF00;
    curve.Channel = 1;
    curve.PrimitiveType = 4;
    display.Initialize(0);

    const auto s = [](const QString& text) { return text.toStdString(); };
    const bool ok = tags::WriteMarkerTag(
        QFile::encodeName(FileName).toStdString(), "", "", "", "", "", "", "", "", "", "", "", "",
        "", "", "", "", "", "", s(Comment), s(Intro), s(StampTime), s(StampJingle), s(AudioStart),
        s(AudioEnd), s(ChorusStart), s(ChorusEnd), s(MixPoint));
    if (!ok) {
        const QString reason = SaveFailureText(tags::LastWriteResult());
        ShowMessage(reason.isEmpty() ? kWriteFailedMessage
                                     : kWriteFailedMessage + QStringLiteral("\n\n") + reason);
        RestoreAfterFailedSave(summaries, channels);
        SilentAbort();
    }
    ClearMarkerTexts();
    tags::FreeTagObjects(QString::fromStdString(tags::FileExtension(FileName.toStdString()))
                             .toUpper()
                             .toStdString());
    ShowMessage(kSavedMessage);
    Terminate();
}

void TfrmTavrela::RestoreAfterFailedSave(
    const std::vector<std::shared_ptr<const TSampleSummary>>& summaries, int channels) {
    Stream = OpenChannel(false);
    BuildFilePane(channels);
    TGraphDisplayItem& pane = GraphDisplay3D1->Items()[0];
    for (int i = 0; i < pane.GraphItems.Count() && i < static_cast<int>(summaries.size()); ++i) {
        pane.GraphItems[i].Summary = summaries[static_cast<std::size_t>(i)];
    }
    pane.SetXMax(TotalX);
    GraphDisplay3D1->Initialize(0);
    const StoredMarkerPlan plan = PlanStoredMarkers(CurrentTexts(), DurationSeconds, TotalX);
    for (const PlannedMarker& planned : plan.Markers) {
        AddMarker(pane.Markers, planned);
    }
}

void TfrmTavrela::ConfigureDisplay() {
    TGraphDisplay3D& d = *GraphDisplay3D1;
    d.SetCaption(QStringLiteral(" "));
    d.MaximumVertexCount = 300000;
    d.Animate = true;
    d.SetActiveIndex(-1);
    d.SetScrollBarHeight(15);
    d.SetScrollBarType(gdsbtFlat);
    const QColor face = palette().color(QPalette::Button);
    d.SetPanel3DColor(static_cast<TColor>(face.red() | (face.green() << 8) | (face.blue() << 16)));
    d.AllowQuickPlay = false;
    d.AllowAmplitudeChangeWithKey = false;
    d.Antialiasing = true;
    d.D3DVertexProcessingMode = gd3dvpmMixed;
    d.SetBevelOuter(bvNone);
    d.OnNeedAxisXText = [this](QObject*, TGraphDisplayItem*, double Value) {
        return GraphDisplay3D1NeedAxisXText(Value);
    };
    d.OnNeedSampleRange = [this](QObject*, TGraphDisplayItem*, TGraphDisplayGraphItem* Curve,
                                 std::size_t First, float* Out, std::size_t Count) {
        return GraphDisplay3D1NeedSampleRange(Curve->Channel, First, Out, Count);
    };
    // Each marker names its kind beside its line: colours alone do not tell the intro's red
    // from the stamp's dark red at a glance.
    d.OnNeedMarkerText = [](QObject*, TGraphDisplayItem*, TGraphDisplayMarker* Marker) {
        const std::optional<TMarkerKind> kind = MarkerKindOfColor(Marker->Color);
        return kind ? MarkerLoadCaption(*kind) : QString();
    };
}

std::size_t TfrmTavrela::GraphDisplay3D1NeedSampleRange(int Channel, std::size_t First,
                                                        float* Out, std::size_t Count) {
    if (FRangeReader.Source() == nullptr) {
        if (FileName.isEmpty() || (FRangeChannel = OpenChannel(true)) == 0) {
            return 0;
        }
        FRangeSource = std::make_unique<EngineWaveformSource>(FEngine, FRangeChannel);
        FRangeReader.SetSource(FRangeSource.get());
    }
    return FRangeReader.Read(Channel, First, Out, Count);
}

void TfrmTavrela::CloseSampleRangeChannel() {
    FRangeReader.SetSource(nullptr);
    FRangeSource.reset();
    if (FRangeChannel != 0) {
        FEngine.freeModule(FRangeChannel);
        FEngine.freeStream(FRangeChannel);
        FRangeChannel = 0;
    }
}

QString TfrmTavrela::GraphDisplay3D1NeedAxisXText(double Value) {
    return AxisXTimeText(
        Value, [this](std::int64_t bytes) { return FEngine.bytesToSeconds(Stream, bytes); });
}

void TfrmTavrela::tmrRenderGraficoTimer() {
    GraphDisplay3D1->Render();
    UpdateTimeLabels();
    Preview().FollowPlayState();
    UpdateLoudnessLabel();
}

} // namespace tavrela
