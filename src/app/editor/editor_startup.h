#pragma once
// Process-wide set-up of the program and its unattended screenshot run.

#include <QStringList>

class QApplication;
class QWidget;

namespace tavrela {

/// The editor's own options. Only the exact first argument "--help" or "--version" is one;
/// anything else, dashes or not, is the file to open ("./--help" opens a file of that name).
enum class InformationOption { None, Help, Version };
InformationOption InformationOptionOf(int argc, const char* const* argv);

/// Writes the answer to `option` on standard output.
void PrintInformation(InformationOption option);

/// The arguments after the program name, file names decoded as the file system stores them.
QStringList FileArguments(int argc, const char* const* argv);

/// Names the application, registers the interface font and makes it the default.
void PrepareApplication(QApplication& app);

/// When TAVRELA_SCREENSHOT names a file: once the window has drawn the loaded file, saves a
/// PNG of it there and closes the window, which ends the program (a run without a display).
void ScheduleScreenshotIfAsked(QWidget& window);

} // namespace tavrela
