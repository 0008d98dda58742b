#include "jingle_connection.h"

#include "jingle_probe.h"

#include <QSqlError>

#include <atomic>

namespace tavrela {
namespace {

QString errorText(const QSqlError& error) {
    // The server's own message when there is one; the driver's wording otherwise.
    QString text = error.databaseText().trimmed();
    if (text.isEmpty()) {
        text = error.driverText().trimmed();
    }
    if (text.isEmpty()) {
        text = error.text().trimmed();
    }
    return text;
}

QString uniqueConnectionName() {
    static std::atomic<unsigned> counter{0};
    return QStringLiteral("tavrela-jingles-%1").arg(++counter);
}

} // namespace

JingleDatabaseError::JingleDatabaseError(const QString& message, bool timedOut)
    : std::runtime_error(message.toStdString()), timedOut_(timedOut) {}

JingleDatabaseError::JingleDatabaseError(const QSqlError& error)
    : JingleDatabaseError(errorText(error)) {}

JingleConnection::JingleConnection(const QString& userName, const QString& password)
    : name_(uniqueConnectionName()), userName_(userName), password_(password) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), name_);
    db.setUserName(userName);
    db.setPassword(password);
}

JingleConnection::~JingleConnection() {
    close();
    // Every QSqlDatabase handle of this connection is gone by now.
    QSqlDatabase::removeDatabase(name_);
}

QSqlDatabase JingleConnection::database() const {
    return QSqlDatabase::database(name_, false);
}

void JingleConnection::setDatabaseName(const QString& name) {
    database().setDatabaseName(name);
}

QString JingleConnection::databaseName() const {
    return database().databaseName();
}

bool JingleConnection::isOpen() const {
    return database().isOpen();
}

void JingleConnection::open() {
    QSqlDatabase db = database();
    if (!db.isValid()) {
        throw JingleDatabaseError(
            QStringLiteral("O driver do Firebird (QIBASE) não está instalado."));
    }
    if (!db.open()) {
        const QSqlError error = db.lastError();
        db.close();
        throw JingleDatabaseError(error);
    }
}

void JingleConnection::openWithTimeout() {
    if (!database().isValid()) {
        open(); // reports the missing driver
        return;
    }
    // Qt's driver cannot bound the client's wait for a server that never answers, and it
    // blocks the thread that connects: a first attempt with a timeout, on a thread of its
    // own, tells whether the database answers now; only then does the driver connect.
    bool cancelled = false;
    const JingleProbeResult probe =
        probeJingleDatabaseWhileWaiting(databaseName(), userName_, password_, cancelled);
    if (cancelled) {
        throw JingleConnectCancelled();
    }
    if (!probe.connected) {
        throw JingleDatabaseError(probe.reason, probe.timedOut);
    }
    open();
}

void JingleConnection::close() {
    QSqlDatabase db = database();
    if (db.isOpen()) {
        db.close();
    }
}

void JingleTransaction::start() {
    QSqlDatabase db = connection_.database();
    if (!db.transaction()) {
        throw JingleDatabaseError(db.lastError());
    }
    active_ = true;
}

void JingleTransaction::end() {
    if (active_) {
        active_ = false;
        connection_.database().rollback();
    }
}

} // namespace tavrela
