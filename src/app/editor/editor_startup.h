#pragma once
// Process-wide set-up of the program and its unattended screenshot run.

class QApplication;
class QWidget;

namespace tavrela {

/// Names the application, registers the interface font and makes it the default.
void PrepareApplication(QApplication& app);

/// When TAVRELA_SCREENSHOT names a file: once the window has drawn the loaded file, saves a
/// PNG of it there and closes the window, which ends the program (a run without a display).
void ScheduleScreenshotIfAsked(QWidget& window);

} // namespace tavrela
