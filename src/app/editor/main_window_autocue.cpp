// "Detectar marcações" and the loudness beside the length: the analysis of the loaded file,
// made while it is decoded, and the markers it proposes.
#include "main_window.h"

#include "editor_conventions.h"

#include <analysis/analysis_worker.h>
#include <analysis/autocue.h>
#include <app/jingles/jingle_settings.h>
#include <app/jingles/program_folder.h>
#include <app/markers/marker_kinds.h>
#include <app/session/edit_history.h>
#include <audio/engine.h>
#include <display/graph_display_3d.h>
#include <display/model/model.h>
#include <display/silent_abort.h>
#include <ini_file.h>

#include <QApplication>
#include <QFile>
#include <QLabel>

#include <cmath>

namespace tavrela {

namespace {

const QString kSilentMessage =
    QStringLiteral("Nenhum trecho do áudio passa do limiar de detecção: nada foi marcado.");

// The settings of the program folder's settings file; the defaults without one.
analysis::AutocueSettings EditorAutocueSettings() {
    QFile file(programFolder() + QStringLiteral("/") + kSettingsFileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const std::string text = file.read(1 << 20).toStdString();
    return analysis::ReadAutocueSettings([&](const char* key) {
        return ini::readValue(text, analysis::kAutocueSection, key);
    });
}

// A level with one decimal and the decimal comma the operator reads; a dash for silence.
QString Level(double value) {
    if (!std::isfinite(value)) {
        return QStringLiteral("—");
    }
    return QString::number(value, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace

void TfrmTavrela::AnalysisWorkerDeleter::operator()(analysis::AnalysisWorker* Worker) const {
    delete Worker;
}

void TfrmTavrela::StartAnalysis(std::uint32_t channel) {
    FAnalysis.reset();
    lblLoudness->clear();
    lblTruePeak->clear();
    const auto info = FEngine.info(channel);
    if (!info || info->channels <= 0) {
        return;
    }
    // True peak too: it is shown beside the length. It costs more than the rest, which is
    // why it runs beside the decode rather than after it.
    FAnalysis.reset(new analysis::AnalysisWorker(info->channels, info->sampleRate,
                                                 {.truePeak = true}));
}

const analysis::AudioAnalysis* TfrmTavrela::Analysis() const {
    return FAnalysis ? FAnalysis->result() : nullptr;
}

void TfrmTavrela::UpdateLoudnessLabel() {
    if (!lblLoudness->text().isEmpty()) {
        return;
    }
    const analysis::AudioAnalysis* a = Analysis();
    if (a == nullptr) {
        return;
    }
    lblLoudness->setText(Level(a->integratedLufs) + QStringLiteral(" LUFS"));
    lblLoudness->setToolTip(QStringLiteral("Loudness integrada (EBU R128)"));
    lblTruePeak->setText(Level(a->truePeakDbtp) + QStringLiteral(" dBTP"));
    lblTruePeak->setToolTip(QStringLiteral("Pico real (true peak)"));
}

void TfrmTavrela::DetectMarkers() {
    TGraphDisplay3D& display = *GraphDisplay3D1;
    if (display.Items().Count() == 0 || !FAnalysis) {
        SilentAbort();
    }
    // The analysis runs beside the decode and is usually done before the operator asks; if
    // not, the rest of it is short.
    const analysis::AudioAnalysis* a = FAnalysis->result();
    if (a == nullptr && !FAnalysis->ready()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        a = FAnalysis->wait();
        QApplication::restoreOverrideCursor();
    }
    if (a == nullptr) {
        SilentAbort();
    }
    UpdateLoudnessLabel();
    const analysis::CueProposal p = analysis::ProposeCues(*a, EditorAutocueSettings());
    if (!p.startFrame || !p.endFrame || !p.mixFrame) {
        ShowMessage(kSilentMessage);
        SilentAbort();
    }
    TGraphDisplayItem& pane = display.Items()[0];
    const double bytesPerFrame = static_cast<double>(a->channels) * 4.0;
    const std::pair<TMarkerKind, std::uint64_t> placed[] = {
        {TMarkerKind::AudioStart, *p.startFrame},
        {TMarkerKind::AudioEnd, *p.endFrame},
        {TMarkerKind::MixPoint, *p.mixFrame},
    };
    // The three markers are one step of the undo history.
    History().Edit([&] {
        for (const auto& [kind, frame] : placed) {
            // As placing by hand: the kind's marker moves there, or a new one is made.
            const double x = std::min(static_cast<double>(frame) * bytesPerFrame, pane.XMax);
            if (TGraphDisplayMarker* marker = FirstMarkerOfKind(pane.Markers, kind)) {
                marker->X = x;
                continue;
            }
            TGraphDisplayMarker& marker = pane.Markers.Add();
            marker.Caption = MarkerLoadCaption(kind);
            marker.X = x;
            marker.Color = MarkerKindInfo(kind).ColorKey;
        }
    });
}

} // namespace tavrela
