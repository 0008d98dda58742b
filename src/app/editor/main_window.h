#pragma once
// The editor's main window: the controls the commands are bound to, start-up, loading the
// file into the display and saving the markers.

#include "waveform_decode.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;

namespace tavrela {

namespace audio {
class Engine;
}
class EngineWaveformSource;
namespace analysis {
class AnalysisWorker;
struct AudioAnalysis;
} // namespace analysis
class TGraphData;
class TSampleSummary;
class TGraphDisplay3D;
class TfrmCarregando;
struct MarkerTexts;
class TMarkerCommands;
class TPlaybackPreview;
class TEditHistory;
enum class TEditorCommand;
enum class TMarkerKind : int;
class TGraphDisplayItem;
enum TMouseButton : std::uint8_t;
enum TGraphDisplayPlayStatus : std::uint8_t;

/// The editing commands and the playback preview of a window (main_window_commands.cpp).
struct TSessionParts;
struct TSessionPartsDeleter {
    void operator()(TSessionParts* Parts) const;
};

/// The audio library passes the start-up check when its version word's high 16 bits are
/// 0x0204 (2.4 with any revision and build).
bool AudioVersionSupported(std::uint32_t version);

class TfrmTavrela : public QWidget {
    Q_OBJECT
public:
    /// `arguments` are the command-line arguments after the program name. Runs FormCreate,
    /// which may request termination (see TerminateRequested) before the window is shown.
    explicit TfrmTavrela(QStringList arguments, audio::Engine& engine, QWidget* parent = nullptr);
    ~TfrmTavrela() override;

    /// FormCreate ended the program's useful life (no file named); main() ends at once.
    bool TerminateRequested() const { return FTerminateRequested; }
    /// The process's exit status when FormCreate ended it.
    int ExitCode() const { return FExitCode; }
    /// The audio engine the window plays and decodes with.
    audio::Engine& Engine() const { return FEngine; }

    /// Called when the window asks the application to end (after a successful save);
    /// by default it quits the application's event loop.
    std::function<void()> OnTerminate;

    // Operations (Parts of the window's own logic).
    void LoadAudio();
    void DecodeWaveform(const QString& AFileName);
    void LoadStoredMarkers();
    void SaveMarkers();
    /// One wheel notch (+120 in, -120 out) delivered to the display at the pointer.
    void ZoomStep(int Delta);
    /// "Detectar marcações": start of audio, end of audio and mix point where the analysis
    /// of the loaded file proposes them (main_window_autocue.cpp). Nothing is saved.
    void DetectMarkers();
    /// The analysis of the loaded file once it is complete, else null.
    const analysis::AudioAnalysis* Analysis() const;

    // Private state, in the order the window keeps it (public for the commands' tests).
    bool Dragging = false;
    int DragStartX = 0;
    bool PlayingIntro = false;
    bool PlayingChorus = false;
    std::uint32_t Stream = 0;
    std::uint32_t JingleStream = 0;
    std::uint32_t SelectionSync = 0;
    std::int64_t DurationSeconds = 0;
    double TotalX = 0.0;
    QString FileName;
    QString AudioStart, AudioEnd, Intro, ChorusStart, ChorusEnd;
    QString Comment;
    QString StampTime;
    QString StampJingle;
    QString MixPoint;

    // Controls.
    QFrame* Panel1 = nullptr;
    QPushButton* btnGravarMarcacoes = nullptr;
    QPushButton* btnCancelarMarcacoes = nullptr;
    QPushButton* btnMostrarTudo = nullptr;
    QPushButton* btnRemoverSelecao = nullptr;
    QPushButton* btnDetectarMarcacoes = nullptr;
    QGroupBox* gbLegenda = nullptr;
    QPushButton* btnInicioAudio = nullptr;
    QPushButton* btnIntroducao = nullptr;
    QPushButton* btnInicioRefrao = nullptr;
    QPushButton* btnFimRefrao = nullptr;
    QPushButton* btnFimAudio = nullptr;
    QPushButton* btnMixagem = nullptr;
    QPushButton* btnCarimbo = nullptr;
    QPushButton* btnComentario = nullptr;

    QFrame* Panel2 = nullptr;
    QFrame* pnlComentario = nullptr;
    QLabel* lblComentario = nullptr;
    QPlainTextEdit* edtComentario = nullptr;
    QPushButton* btnConfirmarComentario = nullptr;
    QPushButton* btnCancelarComentario = nullptr;
    TGraphDisplay3D* GraphDisplay3D1 = nullptr;
    QFrame* Panel4 = nullptr;
    QToolButton* btnInicioOndas = nullptr;
    QToolButton* btnFimOndas = nullptr;
    QToolButton* btnZoomMenos = nullptr;
    QToolButton* btnZoomMais = nullptr;
    QToolButton* btnMoverOndas = nullptr;
    QToolButton* btnMarcarOndas = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* btnPlay = nullptr;
    QToolButton* btnTocarFinal = nullptr;
    QLabel* lblPosicaoTitulo = nullptr;
    QLabel* lblPosicao = nullptr;
    QLabel* lblTamanhoTitulo = nullptr;
    QLabel* lblTamanho = nullptr;
    QLabel* lblLoudness = nullptr; ///< integrated loudness, beside the length
    QLabel* lblTruePeak = nullptr; ///< true peak, above it
    QCheckBox* CheckBox1 = nullptr;

    QMenu* PopupMenu1 = nullptr;
    QAction* menuInicioAudio = nullptr;
    QAction* menuIntroducao = nullptr;
    QAction* menuInicioRefrao = nullptr;
    QAction* menuFimRefrao = nullptr;
    QAction* menuFimAudio = nullptr;
    QAction* menuPontoMixagem = nullptr;
    QAction* menuCarimbo = nullptr;
    QAction* menuComentario = nullptr;
    QAction* menuDetectarMarcacoes = nullptr;
    QMenu* menuRemover = nullptr;
    QAction* menuRemoverInicioAudio = nullptr;
    QAction* menuRemoverIntroducao = nullptr;
    QAction* menuRemoverInicioRefrao = nullptr;
    QAction* menuRemoverFimRefrao = nullptr;
    QAction* menuRemoverFimAudio = nullptr;
    QAction* menuRemoverPontoMixagem = nullptr;
    QAction* menuRemoverCarimbo = nullptr;
    QAction* menuRemoverComentario = nullptr;
    QAction* menuRemoverTodosMarcadores = nullptr;
    QAction* menuTocarIntroducao = nullptr;
    QAction* menuTocarRefrao = nullptr;
    QAction* menuTocarFinal = nullptr;
    QAction* menuDesfazer = nullptr;
    QAction* menuRefazer = nullptr;
    QAction* menuAtalhos = nullptr;

    QTimer* tmrRenderGrafico = nullptr;

    /// The loading window while a decode runs, else null.
    TfrmCarregando* LoadingWindow() const { return FLoading; }

    /// The operator's editing commands and the playback preview this window binds.
    TMarkerCommands& Commands() const;
    TPlaybackPreview& Preview() const;
    /// Undo and redo of the edits since the file was loaded.
    TEditHistory& History() const;
    /// The action a command's keys trigger (menu entries included); null for the keys the
    /// waveform display handles itself.
    QAction* ShortcutAction(TEditorCommand Command) const;
    /// Removes the kind's marker and texts; the silent abort without a pane.
    void RemoveMarkerKind(TMarkerKind Kind);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildPopupMenu();
    void BindCommands();
    void FormCreate(const QStringList& arguments);
    void FormDestroy();
    void Terminate();
    /// Connects a button's click to a guarded command.
    void OnClick(QPushButton* button, std::function<void()> command);
    void OnClick(QToolButton* button, std::function<void()> command);

    // Handlers.
    void btnGravarMarcacoesClick();
    void btnZoomMaisClick();
    void btnZoomMenosClick();
    void tmrRenderGraficoTimer();
    void UpdateTimeLabels();

    // Editing and playback handlers (main_window_commands.cpp).
    void BindSessionCommands();
    void menuInicioAudioClick(QObject* Sender);
    void menuComentarioClick();
    void btnConfirmarComentarioClick();
    void btnCancelarComentarioClick();
    void menuRemoverInicioAudioClick();
    void menuRemoverIntroducaoClick();
    void menuRemoverInicioRefraoClick();
    void menuRemoverFimRefraoClick();
    void menuRemoverFimAudioClick();
    void menuRemoverPontoMixagemClick();
    void menuRemoverCarimboClick();
    void menuRemoverComentarioClick();
    void menuRemoverTodosMarcadoresClick();
    void GraphDisplay3D1MouseDown(TMouseButton Button, int X, int Y);
    void GraphDisplay3D1MouseMove(int X, int Y);
    void GraphDisplay3D1MouseUp();
    void btnMarcarOndasClick();
    void btnInicioOndasClick();
    void btnFimOndasClick();
    void btnMostrarTudoClick();
    void btnRemoverSelecaoClick();
    void btnCancelarMarcacoesClick();
    void CheckBox1Click();
    void GraphDisplay3D1Play(double Position);
    void GraphDisplay3D1Pause();
    TGraphDisplayPlayStatus GraphDisplay3D1NeedPlayStatus();
    double GraphDisplay3D1NeedPlaybackPosition();
    void GraphDisplay3D1Selection(TGraphDisplayItem* GraphDisplayItem);
    void btnPlayClick();
    void btnStopClick();
    void menuTocarIntroducaoClick();
    void menuTocarRefraoClick();
    void menuTocarFinalClick();
    void menuDesfazerClick();
    void menuRefazerClick();
    void menuAtalhosClick();
    QString GraphDisplay3D1NeedAxisXText(double Value);

    // Keyboard shortcuts (main_window_shortcuts.cpp).
    void BindShortcuts();
    /// Shortcuts are off while a decode runs the event loop.
    void EnableShortcuts(bool Enabled);

    void ConfigureDisplay();
    /// Empties the display and adds pane 0 with one curve per channel, set up as a loaded
    /// file shows it.
    void BuildFilePane(int channels);
    /// After a failed write: the file shown again with the markers as the attempt computed
    /// them, so "Gravar marcações" can simply be pressed again.
    void RestoreAfterFailedSave(
        const std::vector<std::shared_ptr<const TSampleSummary>>& summaries, int channels);
    /// The samples of frames First ... First + Count - 1 of a channel, read again from the
    /// file (the display keeps only summaries); how many were read.
    std::size_t GraphDisplay3D1NeedSampleRange(int Channel, std::size_t First, float* Out,
                                               std::size_t Count);
    /// Frees the decoding channel of those reads (before the file is written or replaced).
    void CloseSampleRangeChannel();
    MarkerTexts CurrentTexts() const;
    void SetTexts(const MarkerTexts& texts);
    void ClearMarkerTexts();
    /// Opens FileName as a module, else as a stream, with `decode` for a decoding channel.
    std::uint32_t OpenChannel(bool decode);
    bool IsMp3() const;

    audio::Engine& FEngine;
    /// The marker texts as the file's tag held them at load.
    std::unique_ptr<MarkerTexts> FStoredTexts;
    bool FTerminateRequested = false;
    int FExitCode = 0;
    TfrmCarregando* FLoading = nullptr;
    std::unique_ptr<TSessionParts, TSessionPartsDeleter> FSession;
    std::uint32_t FRangeChannel = 0;
    std::unique_ptr<EngineWaveformSource> FRangeSource;
    SampleRangeReader FRangeReader;
    std::map<TEditorCommand, QAction*> FShortcutActions;

    // The analysis of the loaded file, fed by its decode (main_window_autocue.cpp).
    struct AnalysisWorkerDeleter {
        void operator()(analysis::AnalysisWorker* Worker) const;
    };
    /// A new analysis for the decoding channel; the previous one is dropped.
    void StartAnalysis(std::uint32_t channel);
    void UpdateLoudnessLabel();
    std::unique_ptr<analysis::AnalysisWorker, AnalysisWorkerDeleter> FAnalysis;
};

} // namespace tavrela
