#pragma once

#include <QSqlDatabase>
#include <QString>

#include <stdexcept>

class QSqlError;

namespace tavrela {

/// A failure of the jingle database; what() is the database's own message.
class JingleDatabaseError : public std::runtime_error {
public:
    explicit JingleDatabaseError(const QString& message, bool timedOut = false);
    explicit JingleDatabaseError(const QSqlError& error);

    /// The message as text for the operator.
    QString message() const { return QString::fromUtf8(what()); }
    /// The database did not answer in time (so trying again at once would only wait again).
    bool timedOut() const { return timedOut_; }

private:
    bool timedOut_ = false;
};

/// The operator gave up waiting for the jingle database.
class JingleConnectCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};

/// One private Firebird connection (Qt's QIBASE driver) under a name of its own; it ends with
/// the object.
class JingleConnection {
public:
    JingleConnection(const QString& userName, const QString& password);
    ~JingleConnection();
    JingleConnection(const JingleConnection&) = delete;
    JingleConnection& operator=(const JingleConnection&) = delete;

    void setDatabaseName(const QString& name);
    QString databaseName() const;
    QString connectionName() const { return name_; }
    /// The Qt handle of the connection, for queries on it.
    QSqlDatabase database() const;

    bool isOpen() const;
    /// Connects; throws JingleDatabaseError with the server's message on failure.
    void open();
    /// Connects with a bounded wait, off the interface thread, keeping the interface alive
    /// (see probeJingleDatabaseWhileWaiting): throws JingleDatabaseError (timedOut() when the
    /// database did not answer in time) or JingleConnectCancelled.
    void openWithTimeout();
    /// Disconnects; never throws.
    void close();

private:
    QString name_;
    QString userName_;
    QString password_;
};

/// The transaction the jingle queries run in. Nothing is ever written, so ending it is a
/// rollback that only releases the snapshot; it ends with the object at the latest.
class JingleTransaction {
public:
    explicit JingleTransaction(JingleConnection& connection) : connection_(connection) {}
    ~JingleTransaction() { end(); }
    JingleTransaction(const JingleTransaction&) = delete;
    JingleTransaction& operator=(const JingleTransaction&) = delete;

    bool isActive() const { return active_; }
    /// Starts it on the (open) connection; throws JingleDatabaseError on failure.
    void start();
    /// Rolls back when active; never throws.
    void end();

private:
    JingleConnection& connection_;
    bool active_ = false;
};

} // namespace tavrela
