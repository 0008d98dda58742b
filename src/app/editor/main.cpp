// The program the playout host starts: `tavrela FILE`.
#include "editor_startup.h"
#include "main_window.h"

#include <audio/engine.h>

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tavrela::PrepareApplication(app);

    tavrela::audio::Engine engine;
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    tavrela::TfrmTavrela window(arguments, engine);
    if (window.TerminateRequested()) {
        return window.ExitCode();
    }
    window.show();
    tavrela::ScheduleScreenshotIfAsked(window);
    return QApplication::exec();
}
