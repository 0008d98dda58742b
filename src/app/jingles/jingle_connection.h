#pragma once

#include <QSqlDatabase>
#include <QString>

#include <stdexcept>

class QSqlError;

namespace tavrela {

/// A failure of the jingle database; what() is the database's own message.
class JingleDatabaseError : public std::runtime_error {
public:
    explicit JingleDatabaseError(const QString& message);
    explicit JingleDatabaseError(const QSqlError& error);

    /// The message as text for the operator.
    QString message() const { return QString::fromUtf8(what()); }
};

/// One private Firebird connection (Qt's QIBASE driver) under a name of its own, with at most
/// one explicit transaction. The connection and its transaction end with the object.
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
    /// Rolls back an active transaction and disconnects; never throws.
    void close();

    bool inTransaction() const { return inTransaction_; }
    /// Starts the transaction the queries run in; throws JingleDatabaseError on failure.
    void startTransaction();

private:
    QString name_;
    bool inTransaction_ = false;
};

} // namespace tavrela
