// Shared by the jingle tests: Firebird databases made at test time with isql-fb, settings
// files, and a watcher that records and dismisses message boxes.
#pragma once

#include "test_jingles_isql.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace tavrela::test {

// A scratch folder that the Firebird server (user firebird) can also reach.
class SharedFolder {
public:
    SharedFolder() {
        EXPECT_TRUE(dir_.isValid());
        ::chmod(QFile::encodeName(dir_.path()).constData(), 0777);
    }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return QDir(dir_.path()).filePath(name); }

private:
    QTemporaryDir dir_;
};

inline QString readText(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(f.readAll());
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

inline bool createDatabase(const QString& dbPath, const QString& script) {
    QString output;
    if (!createDatabaseFromScript(dbPath, script, &output)) {
        ADD_FAILURE() << "isql-fb failed: " << output.toStdString();
        return false;
    }
    return true;
}

// The demo recipe: 20 rows with accents, quotes, wildcards, a null name and other kinds.
inline QString demoScript() {
    return readText(QStringLiteral(TAVRELA_SOURCE_DIR "/data/jingles.sql"));
}

// The header of a script creating a dialect-1 WIN1252 database, as the playout suite does.
inline QString scriptHeader() {
    return QStringLiteral("SET SQL DIALECT 1;\nSET NAMES UTF8;\n"
                          "CREATE DATABASE '@DB@' USER 'SYSDBA' PASSWORD 'quindorel' "
                          "DEFAULT CHARACTER SET WIN1252;\n");
}

inline void writeSettings(const QString& folder, const QByteArray& text) {
    writeBytes(QDir(folder).filePath(QStringLiteral("BaseZelvo.ini")), text);
}

// Records every message box that appears and presses its OK button.
class MessageBoxWatcher {
public:
    struct Seen {
        QString title;
        QString text;
    };

    MessageBoxWatcher() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (box != nullptr && box->isVisible() && !box->property("seen").toBool()) {
                    box->setProperty("seen", true);
                    seen_.push_back({box->windowTitle(), box->text()});
                    box->accept();
                }
            }
        });
        timer_.start();
    }
    const std::vector<Seen>& seen() const { return seen_; }

private:
    QTimer timer_;
    std::vector<Seen> seen_;
};

} // namespace tavrela::test
