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
    QApplication app(argc, argv);
    tavrela::PrepareApplication(app);
    // SIGTERM, SIGINT and SIGHUP end the editor as the close box does, whatever it is doing:
    // every event loop (the main one, a dialog's, a message box's, the loading's) returns,
    // nothing is saved, and the status is 0.
    tavrela::TerminationSignalRoute signalRoute([](int) { QCoreApplication::exit(0); });

    tavrela::audio::Engine engine;
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    tavrela::TfrmTavrela window(arguments, engine);
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
