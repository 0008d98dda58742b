#include "jingle_probe.h"

#include "app_style.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include <ibase.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace tavrela {
namespace {

std::atomic<int> abandonedProbes{0};

// Appends one parameter to a database parameter block: tag, length byte, value.
void addParameter(QByteArray& block, char tag, const QByteArray& value) {
    block.append(tag);
    block.append(static_cast<char>(std::min<qsizetype>(value.size(), 255)));
    block.append(value.left(255));
}

QString clientMessage(const ISC_STATUS* status) {
    QString text;
    char buffer[512];
    const ISC_STATUS* cursor = status;
    while (fb_interpret(buffer, sizeof buffer, &cursor) != 0) {
        if (!text.isEmpty()) {
            text += QStringLiteral(" - ");
        }
        text += QString::fromUtf8(buffer);
    }
    return text;
}

} // namespace

JingleProbeResult probeJingleDatabase(const QString& database, const QString& userName,
                                      const QString& password, std::chrono::seconds timeout) {
    QByteArray block;
    block.append(static_cast<char>(isc_dpb_version1));
    addParameter(block, isc_dpb_user_name, userName.toUtf8());
    addParameter(block, isc_dpb_password, password.toUtf8());
    addParameter(block, isc_dpb_lc_ctype, QByteArrayLiteral("UTF8"));
    // The connection timeout, in seconds, as a 4-byte little-endian integer.
    const auto seconds = static_cast<quint32>(timeout.count());
    QByteArray value(4, '\0');
    for (int i = 0; i < 4; ++i) {
        value[i] = static_cast<char>((seconds >> (8 * i)) & 0xFF);
    }
    addParameter(block, isc_dpb_connect_timeout, value);

    const QByteArray name = database.toLocal8Bit();
    ISC_STATUS_ARRAY status{};
    isc_db_handle handle = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    isc_attach_database(status, 0, name.constData(), &handle, static_cast<short>(block.size()),
                        block.constData());
    JingleProbeResult result;
    if (status[0] == 1 && status[1] != 0) {
        result.reason = clientMessage(status);
        result.timedOut =
            elapsed.elapsed() >= std::chrono::milliseconds(timeout).count() * 9 / 10;
        return result;
    }
    isc_detach_database(status, &handle);
    result.connected = true;
    return result;
}

int abandonedJingleProbes() {
    return abandonedProbes.load();
}

JingleProbeResult probeJingleDatabaseWhileWaiting(const QString& database, const QString& userName,
                                                  const QString& password, bool& cancelled,
                                                  std::chrono::seconds timeout) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        bool abandoned = false;
        JingleProbeResult result;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, database, userName, password, timeout] {
        JingleProbeResult result = probeJingleDatabase(database, userName, password, timeout);
        std::lock_guard lock(shared->mutex);
        shared->result = std::move(result);
        shared->done = true;
        if (shared->abandoned) {
            --abandonedProbes;
        }
        shared->finished.notify_all();
    }).detach();

    // A database that answers at once (the usual case) is not worth a busy interface: the
    // caller simply goes on, as with a plain connection.
    {
        std::unique_lock lock(shared->mutex);
        if (shared->finished.wait_for(lock, std::chrono::milliseconds(300),
                                      [&] { return shared->done; })) {
            cancelled = false;
            return shared->result;
        }
    }

    cancelled = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Shown only when the answer takes a moment; modal, so the editor behind takes no
    // commands meanwhile, yet it keeps drawing.
    QProgressDialog box(QStringLiteral("Conectando com a base de dados..."),
                        QStringLiteral("Cancelar"), 0, 0, QApplication::activeWindow());
    box.setWindowTitle(kApplicationTitle);
    box.setWindowModality(Qt::ApplicationModal);
    box.setMinimumDuration(400);
    box.setAutoReset(false);
    box.setAutoClose(false);
    QEventLoop loop;
    QObject::connect(&box, &QProgressDialog::canceled, &loop, [&] {
        cancelled = true;
        loop.quit();
    });
    // The client's own timeout normally ends the attempt; this bound also covers the parts it
    // does not time (a name lookup that hangs).
    QElapsedTimer waited;
    waited.start();
    const qint64 limitMs = std::chrono::milliseconds(timeout).count() + 3000;
    bool ranOut = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        std::lock_guard lock(shared->mutex);
        if (shared->done) {
            loop.quit();
        } else if (waited.elapsed() > limitMs) {
            ranOut = true;
            loop.quit();
        }
    });
    poll.start();
    box.setValue(0);
    // A program-wide quit (a termination signal) ends this loop at once, like every other.
    loop.exec();
    QApplication::restoreOverrideCursor();

    std::lock_guard lock(shared->mutex);
    if (shared->done) {
        return shared->result;
    }
    shared->abandoned = true;
    ++abandonedProbes;
    if (!ranOut) {
        cancelled = true;
        return {};
    }
    JingleProbeResult result;
    result.timedOut = true;
    result.reason = QStringLiteral("A base de dados não respondeu em %1 segundos.")
                        .arg(std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::milliseconds(limitMs))
                                 .count());
    return result;
}

} // namespace tavrela
