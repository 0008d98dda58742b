#include "editor_startup.h"

#include <app/jingles/app_style.h>
#include <audio/output/thread_priority.h>

#include <app/jingles/program_folder.h>
#include <app/jingles/jingle_settings.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QFile>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <string_view>

namespace tavrela {
namespace {

// The desktop's way to make a thread of an ordinary user's program real-time: RealtimeKit on
// the system bus. Asked only when the thread could not be made real-time directly.
bool MakeRealtimeThroughRealtimeKit(long threadId, int priority) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        return false;
    }
    QDBusInterface kit(QStringLiteral("org.freedesktop.RealtimeKit1"),
                       QStringLiteral("/org/freedesktop/RealtimeKit1"),
                       QStringLiteral("org.freedesktop.RealtimeKit1"), bus);
    const QDBusReply<void> reply =
        kit.call(QStringLiteral("MakeThreadRealtime"), static_cast<quint64>(threadId),
                 static_cast<quint32>(priority));
    return reply.isValid();
}

} // namespace

InformationOption InformationOptionOf(int argc, const char* const* argv) {
    if (argc < 2 || argv[1] == nullptr) {
        return InformationOption::None;
    }
    const std::string_view first = argv[1];
    if (first == "--help") {
        return InformationOption::Help;
    }
    if (first == "--version") {
        return InformationOption::Version;
    }
    return InformationOption::None;
}

void PrintInformation(InformationOption option) {
    if (option == InformationOption::Version) {
        std::printf("tavrela %s\n", TAVRELA_VERSION);
        return;
    }
    if (option != InformationOption::Help) {
        return;
    }
    std::printf(
        "usage: tavrela FILE\n"
        "       tavrela --help | --version\n"
        "\n"
        "Shows the waveform of FILE (MP3 or WAV) to place its playout cue markers and comment;\n"
        "\"Gravar marcações\" writes them into the file's ID3v2 tag and ends the program.\n"
        "The first argument is always the file; further arguments are ignored. A file named\n"
        "like an option is given with its folder: tavrela ./--help\n"
        "\n"
        "The program folder holds the settings file %s and the jingle folder\n"
        "Vinhetas/. It is $TAVRELA_HOME when set; else the executable's folder when it holds\n"
        "%s; else %s.\n"
        "\n"
        "Environment: TAVRELA_HOME (the program folder), FIREBIRD_LOCK (lock folder of the\n"
        "embedded database engine), TAVRELA_SCREENSHOT (save a PNG of the window after loading\n"
        "and close).\n"
        "Exit status: 0, also when no file was given; 1 when the audio engine is unusable.\n"
        "See tavrela(1).\n",
        kSettingsFileName.toUtf8().constData(), kSettingsFileName.toUtf8().constData(),
        kSystemProgramFolder.toUtf8().constData());
}

QStringList FileArguments(int argc, const char* const* argv) {
    QStringList arguments;
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        arguments.append(QFile::decodeName(argv[i]));
    }
    return arguments;
}

void PrepareApplication(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("tavrela"));
    app.setFont(uiFont(8.0));
    audio::setRealtimeHelper(&MakeRealtimeThroughRealtimeKit);
}

void ScheduleScreenshotIfAsked(QWidget& window) {
    const QString target = qEnvironmentVariable("TAVRELA_SCREENSHOT");
    if (target.isEmpty()) {
        return;
    }
    // Give the display time to build its device and draw a few frames at the 50 ms render
    // pace before the picture is taken.
    QTimer::singleShot(1500, &window, [&window, target] {
        const QPixmap shot = window.grab();
        if (!shot.save(target, "PNG")) {
            std::fprintf(stderr, "tavrela: could not save the screenshot to %s\n",
                         target.toLocal8Bit().constData());
        }
        window.close();
    });
}

} // namespace tavrela
