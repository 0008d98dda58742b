#include "editor_startup.h"

#include <app/jingles/app_style.h>
#include <audio/output/thread_priority.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <cstdio>

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
