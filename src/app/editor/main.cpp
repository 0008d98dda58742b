// The program the playout host starts: `tavrela FILE`.
#include "editor_startup.h"
#include "main_window.h"

#include <audio/engine.h>

#include <QApplication>

int main(int argc, char** argv) {
    // Answered before anything else: no window, no display connection, no sound device.
    if (const auto option = tavrela::InformationOptionOf(argc, argv);
        option != tavrela::InformationOption::None) {
        tavrela::PrintInformation(option);
        return 0;
    }
    // Qt sees only the program name, so it takes none of its own options (-style, -display,
    // ...) from the command line: the first argument is always the file, whatever its shape.
    char fallbackName[] = "tavrela";
    int qtArgc = 1;
    char* qtArgv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName, nullptr};
    QApplication app(qtArgc, qtArgv);
    tavrela::PrepareApplication(app);

    tavrela::audio::Engine engine;
    tavrela::TfrmTavrela window(tavrela::FileArguments(argc, argv), engine);
    if (window.TerminateRequested()) {
        return window.ExitCode();
    }
    window.show();
    tavrela::ScheduleScreenshotIfAsked(window);
    return QApplication::exec();
}
