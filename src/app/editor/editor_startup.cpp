#include "editor_startup.h"

#include <app/jingles/app_style.h>

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace tavrela {

void PrepareApplication(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("tavrela"));
    app.setFont(uiFont(8.0));
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
