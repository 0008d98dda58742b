// bench-load: the editor's load of a 5-minute stereo 44.1 kHz MP3 (320 kbit/s CBR and VBR -V2)
// against plain libmpg123 decoding of the same file to float in the same run, and the peak
// memory of the load against the size of the decoded samples as floats, and how the peak memory
// grows with the length of the file (a 1-minute and a 60-minute stereo MP3, each loaded in a
// fresh process). Needs a display (the waveform is drawn on a real GL context): run it under
// Xvfb.
#include <app/editor/editor_conventions.h>
#include <app/editor/engine_waveform_source.h>
#include <app/editor/main_window.h>
#include <audio/engine.h>
#include <display/graph_display_3d.h>
#include <display/model/model.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRuns = 3;

bool Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Plain decode of the whole file to interleaved float into one preallocated array.
double FloorDecodeMs(const QString& path) {
    QElapsedTimer timer;
    timer.start();
    mpg123_handle* h = mpg123_new(nullptr, nullptr);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT | MPG123_GAPLESS, 0.0);
    mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_QUIET, 0.0);
    if (mpg123_open(h, QFile::encodeName(path).constData()) != MPG123_OK) {
        std::fprintf(stderr, "bench-load: mpg123 cannot open %s\n", qPrintable(path));
        std::exit(1);
    }
    long rate = 0;
    int channels = 0, encoding = 0;
    mpg123_getformat(h, &rate, &channels, &encoding);
    mpg123_format_none(h);
    mpg123_format(h, rate, channels, MPG123_ENC_FLOAT_32);
    mpg123_scan(h);
    const off_t frames = mpg123_length(h);
    std::vector<float> out(static_cast<std::size_t>(frames) * channels);
    std::size_t filled = 0;
    for (;;) {
        std::size_t done = 0;
        const std::size_t room = (out.size() - filled) * sizeof(float);
        if (room == 0) {
            break;
        }
        const int rc =
            mpg123_read(h, reinterpret_cast<unsigned char*>(out.data() + filled), room, &done);
        filled += done / sizeof(float);
        if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) {
            break;
        }
    }
    mpg123_close(h);
    mpg123_delete(h);
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (filled == 0) {
        std::fprintf(stderr, "bench-load: floor decode produced nothing\n");
        std::exit(1);
    }
    return ms;
}

long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) {
            return std::stol(line.substr(key.size()));
        }
    }
    return 0;
}

void ResetPeakRss() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

struct LoadFigures {
    double loadMs = 0;
    double peakVsArrays = 0;
    double geometryMs = 0;
};

// The decode alone, the window's way (blocks into the curves' summaries), without the window:
// shows how much of the load is the decode and how much the rest.
double DecodeOnlyMs(const QString& path) {
    tavrela::audio::Engine engine(tavrela::audio::EngineOptions{false, true, 50});
    engine.init();
    QElapsedTimer timer;
    timer.start();
    const auto flags = tavrela::audio::ChannelFlags::Float | tavrela::audio::ChannelFlags::Prescan |
                       tavrela::audio::ChannelFlags::Decode;
    const auto channel = engine.createStream(QFile::encodeName(path).toStdString(), flags);
    tavrela::EngineWaveformSource source(engine, channel);
    std::vector<tavrela::TSampleSummary> summaries(static_cast<std::size_t>(source.Channels()));
    std::vector<tavrela::TSampleSummary*> targets;
    for (auto& s : summaries) {
        targets.push_back(&s);
    }
    tavrela::DecodeWaveformSummaries(source, targets, {});
    engine.freeStream(channel);
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

LoadFigures MeasureLoad(tavrela::TfrmTavrela& window, const QString& path) {
    window.FileName = path;
    // Start from an empty display so the previous file's arrays do not hide this one's.
    window.GraphDisplay3D1->Items().Clear();
    ResetPeakRss();
    const long before = StatusKb("VmRSS");
    QElapsedTimer timer;
    timer.start();
    window.LoadAudio();
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const long peak = StatusKb("VmHWM");
    const tavrela::TGraphDisplayItem& pane = window.GraphDisplay3D1->Items()[0];
    // The decoded samples' own size as floats: what the load would hold if it kept them.
    double arrayBytes = 0;
    for (const tavrela::TGraphDisplayGraphItem& curve : pane.GraphItems) {
        arrayBytes += static_cast<double>(curve.SampleCount()) * sizeof(float);
    }
    LoadFigures f;
    QElapsedTimer geometry;
    geometry.start();
    window.GraphDisplay3D1->InitializeGeometries(0); // the curves' geometry, built again
    f.geometryMs = static_cast<double>(geometry.nsecsElapsed()) / 1e6;
    f.loadMs = ms;
    f.peakVsArrays = arrayBytes > 0 ? static_cast<double>(peak - before) * 1024.0 / arrayBytes : 0;
    return f;
}

// The peak memory (kB) of a fresh process that starts the editor's window and loads Path.
long PeakRssKbOfLoad(const QString& Path) {
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peak-rss-of"), Path});
    if (!p.waitForFinished(1800000) || p.exitCode() != 0) {
        std::fprintf(stderr, "bench-load: loading %s failed\n", qPrintable(Path));
        std::exit(1);
    }
    return QString::fromLatin1(p.readAllStandardOutput()).trimmed().toLong();
}

// A stereo 44.1 kHz MP3 of pink noise, Minutes long.
QString MakeNoiseMp3(const QTemporaryDir& Dir, int Minutes) {
    const QString mp3 = Dir.filePath(QStringLiteral("noise%1.mp3").arg(Minutes));
    const QString script =
        QStringLiteral("sox -n -r 44100 -c 2 -b 16 -t wav - synth %1 pinknoise vol 0.4 | "
                       "lame --quiet -q 9 -b 128 - '%2'")
            .arg(Minutes * 60)
            .arg(mp3);
    if (!Run(QStringLiteral("sh"), {QStringLiteral("-c"), script})) {
        std::fprintf(stderr, "bench-load: making the %d-minute MP3 failed\n", Minutes);
        std::exit(1);
    }
    return mp3;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--peak-rss-of") {
        // The child of PeakRssKbOfLoad: the window as the editor starts it with the file.
        tavrela::SetMessagePresenter([](const QString&) {});
        tavrela::audio::Engine engine(tavrela::audio::EngineOptions{false, true, 50});
        tavrela::TfrmTavrela window(QStringList{QString::fromLocal8Bit(argv[2])}, engine);
        window.show();
        QCoreApplication::processEvents();
        std::printf("%ld\n", StatusKb("VmHWM"));
        return 0;
    }
    tavrela::SetMessagePresenter([](const QString&) {});
    mpg123_init();
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("source.wav"));
    if (!Run(QStringLiteral("sox"),
             {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
              QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"), QStringLiteral("16"),
              wav, QStringLiteral("synth"), QStringLiteral("300"), QStringLiteral("pinknoise"),
              QStringLiteral("vol"), QStringLiteral("0.4")})) {
        std::fprintf(stderr, "bench-load: sox failed\n");
        return 1;
    }
    struct Variant {
        const char* name;
        QStringList lameArgs;
    };
    const Variant variants[] = {
        {"cbr320", {QStringLiteral("-b"), QStringLiteral("320")}},
        {"vbr_v2", {QStringLiteral("-V"), QStringLiteral("2")}},
    };

    tavrela::audio::Engine engine(tavrela::audio::EngineOptions{false, true, 50});
    const QString tiny = dir.filePath(QStringLiteral("tiny.wav"));
    Run(QStringLiteral("sox"),
        {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"),
         QStringLiteral("2"), tiny, QStringLiteral("synth"), QStringLiteral("1"),
         QStringLiteral("sine"), QStringLiteral("440")});
    tavrela::TfrmTavrela window(QStringList{tiny}, engine);
    window.show();
    QCoreApplication::processEvents();

    double worstLoadVsFloor = 0;
    double worstPeakVsArrays = 0;
    for (const Variant& v : variants) {
        const QString mp3 = dir.filePath(QString::fromLatin1(v.name) + QStringLiteral(".mp3"));
        QStringList args{QStringLiteral("--quiet")};
        args += v.lameArgs;
        args << wav << mp3;
        if (!Run(QStringLiteral("lame"), args)) {
            std::fprintf(stderr, "bench-load: lame failed\n");
            return 1;
        }
        // Warm the file cache so both measure decoding, not the disk.
        // The best of a few runs of each, taken in turns, so that a busy machine weighs
        // on both sides alike.
        FloorDecodeMs(mp3);
        double floorMs = 0;
        double decodeMs = 0;
        LoadFigures load;
        for (int run = 0; run < kRuns; ++run) {
            const double f = FloorDecodeMs(mp3);
            const double d = DecodeOnlyMs(mp3);
            const LoadFigures l = MeasureLoad(window, mp3);
            floorMs = run == 0 ? f : std::min(floorMs, f);
            decodeMs = run == 0 ? d : std::min(decodeMs, d);
            load.loadMs = run == 0 ? l.loadMs : std::min(load.loadMs, l.loadMs);
            load.geometryMs = run == 0 ? l.geometryMs : std::min(load.geometryMs, l.geometryMs);
            load.peakVsArrays = std::max(load.peakVsArrays, l.peakVsArrays);
        }
        std::printf("%s_load_ms: %.1f ms\n", v.name, load.loadMs);
        std::printf("%s_floor_ms: %.1f ms\n", v.name, floorMs);
        std::printf("%s_decode_only_ms: %.1f ms\n", v.name, decodeMs);
        std::printf("%s_geometry_ms: %.1f ms\n", v.name, load.geometryMs);
        std::printf("%s_load_vs_floor: %.3f ratio\n", v.name, load.loadMs / floorMs);
        std::printf("%s_peak_rss_vs_decoded: %.3f ratio\n", v.name, load.peakVsArrays);
        std::fflush(stdout);
        worstLoadVsFloor = std::max(worstLoadVsFloor, load.loadMs / floorMs);
        worstPeakVsArrays = std::max(worstPeakVsArrays, load.peakVsArrays);
    }
    // The figures the goals are stated for: the worse of the two encodings.
    std::printf("load_vs_floor: %.3f ratio\n", worstLoadVsFloor);
    std::printf("peak_rss_vs_decoded: %.3f ratio\n", worstPeakVsArrays);
    std::fflush(stdout);

    const long oneMinuteKb = PeakRssKbOfLoad(MakeNoiseMp3(dir, 1));
    const long sixtyMinutesKb = PeakRssKbOfLoad(MakeNoiseMp3(dir, 60));
    std::printf("rss_mb_1min: %.1f MB\n", oneMinuteKb / 1024.0);
    std::printf("rss_mb_60min: %.1f MB\n", sixtyMinutesKb / 1024.0);
    std::printf("rss_mb_per_minute: %.2f MB/min\n", (sixtyMinutesKb - oneMinuteKb) / 1024.0 / 59.0);
    mpg123_exit();
    return 0;
}
