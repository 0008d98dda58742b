// The program the playout host starts: `tavrela FILE`.
#include "editor_startup.h"
#include "main_window.h"
#include "termination_signals.h"

#include <app/jingles/jingle_probe.h>
#include <audio/engine.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

int run(int argc, char** argv) {
    // Qt sees only the program name, so it takes none of its own options (-style, -display,
    // ...) from the command line: the first argument is always the file, whatever its shape.
    char fallbackName[] = "tavrela";
    int qtArgc = 1;
    char* qtArgv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName, nullptr};
    QApplication app(qtArgc, qtArgv);
    tavrela::PrepareApplication(app);
    // SIGTERM, SIGINT and SIGHUP end the editor as the close box does, whatever it is doing:
    // every event loop (the main one, a dialog's, a message box's, the loading's) returns,
    // nothing is saved, and the status is 0.
    tavrela::TerminationSignalRoute signalRoute([](int) { QCoreApplication::exit(0); });

    tavrela::audio::Engine engine;
    tavrela::TfrmTavrela window(tavrela::FileArguments(argc, argv), engine);
    if (tavrela::TerminationSignal() != 0) {
        return 0;
    }
    if (window.TerminateRequested()) {
        return window.ExitCode();
    }
    window.show();
    tavrela::ScheduleScreenshotIfAsked(window);
    const int status = QApplication::exec();
    return tavrela::TerminationSignal() != 0 ? 0 : status;
}

} // namespace

int main(int argc, char** argv) {
    // Answered before anything else: no window, no display connection, no sound device.
    if (const auto option = tavrela::InformationOptionOf(argc, argv);
        option != tavrela::InformationOption::None) {
        tavrela::PrintInformation(option);
        return 0;
    }
    // Before any thread exists, so that every thread the program or a library starts has them
    // blocked too.
    tavrela::BlockTerminationSignals();
    const int status = run(argc, argv);
    if (tavrela::abandonedJingleProbes() > 0) {
        // A jingle database connection attempt that nobody waits for any more is still inside
        // the database client (for a few seconds at most): ending the process now, rather than
        // through the client's own shutdown, does not wait for it.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
