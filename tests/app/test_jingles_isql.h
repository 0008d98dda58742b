// Creates a Firebird database from an isql-fb script (Qt's driver cannot create one). Shared
// by the jingle tests and the jingle benchmark.
#pragma once

#include <QFile>
#include <QProcess>
#include <QString>

#include <sys/stat.h>

namespace tavrela::test {

// Runs `script`, in which "@DB@" stands for `dbPath`, through isql-fb; the script is kept
// beside the database. The new file is left readable and writable for the server's user.
// On failure returns false and puts isql's output in `*output`.
inline bool createDatabaseFromScript(const QString& dbPath, const QString& script,
                                     QString* output) {
    const QString scriptPath = dbPath + QStringLiteral(".sql");
    QString text = script;
    text.replace(QStringLiteral("@DB@"), dbPath);
    QFile f(scriptPath);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *output = QStringLiteral("cannot write ") + scriptPath;
        return false;
    }
    f.write(text.toUtf8());
    f.close();
    QProcess isql;
    isql.setProcessChannelMode(QProcess::MergedChannels);
    // Non-ASCII scripts must come from a file, not a pipe.
    isql.start(QStringLiteral("isql-fb"),
               {QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("-ch"),
                QStringLiteral("UTF8"), QStringLiteral("-i"), scriptPath});
    const bool ok = isql.waitForFinished(120000) && isql.exitStatus() == QProcess::NormalExit &&
                    isql.exitCode() == 0;
    if (!ok) {
        *output = QString::fromUtf8(isql.readAll());
        return false;
    }
    ::chmod(QFile::encodeName(dbPath).constData(), 0666);
    return true;
}

} // namespace tavrela::test
