// The real program told to end by a signal (as a playout host or a session manager does):
// SIGTERM, SIGINT and SIGHUP end it as the close box does, at any moment, with status 0 and
// the file untouched; and inputs that are not a regular file fail to load without a hang.
#include "test_editor_fixtures.h"
#include "test_jingles_support.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/stat.h>

namespace tavrela {
namespace {

// Upper bound for an ending asked by a signal; it normally takes a fraction of a second.
constexpr int kEndWaitMs = 20000;

class EditorSignals : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            GTEST_SKIP() << "needs the test display";
        }
        ASSERT_TRUE(QFile::exists(Program()));
    }
    void TearDown() override {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    static QString Program() { return QStringLiteral(TAVRELA_BINARY_DIR "/bin/tavrela"); }

    void Start(const QString& file) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TAVRELA_HOME"), home.path());
        process.setProcessEnvironment(environment);
        process.start(Program(), {file});
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    QString Xdotool(const QStringList& arguments) const {
        QProcess p;
        p.start(QStringLiteral("xdotool"), arguments);
        p.waitForFinished(10000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }

    /// The program's visible windows titled `title` (a regular expression), polled until one
    /// appears or `timeoutMs` passed.
    QStringList Windows(const QString& title, int timeoutMs = 60000) const {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs && process.state() == QProcess::Running) {
            const QString out = Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                         QStringLiteral("--pid"),
                                         QString::number(process.processId()),
                                         QStringLiteral("--name"), title});
            if (!out.isEmpty()) {
                return out.split(QLatin1Char('\n'));
            }
            QThread::msleep(100);
        }
        return {};
    }

    /// The main window, once it is up (seen twice a second apart: Qt may replace its native
    /// window once while the display sets up its drawing surface).
    QString MainWindow() const {
        QString seen;
        for (int tries = 0; tries < 90 && process.state() == QProcess::Running; ++tries) {
            QString now;
            for (const QString& w : Windows(QStringLiteral("^Tavrela - Zelvo Sistemas$"), 2000)) {
                if (Xdotool({QStringLiteral("getwindowgeometry"), w})
                        .contains(QStringLiteral("684x367"))) {
                    now = w;
                }
            }
            if (!now.isEmpty() && now == seen) {
                return now;
            }
            seen = now;
            QThread::msleep(1000);
        }
        return {};
    }

    void Click(const QString& window, int x, int y, int button = 1) const {
        Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("--window"),
                 window, QString::number(x), QString::number(y)});
        QThread::msleep(150);
        Xdotool({QStringLiteral("click"), QString::number(button)});
        QThread::msleep(300);
    }

    /// Keys through the server to whatever has the keyboard (an open menu grabs it), after
    /// focusing `window`; with `direct`, sent to `window` itself instead (a dialog: the test
    /// display has no window manager to give it the focus).
    void Keys(const QString& window, const QStringList& keys, bool direct = false) const {
        QStringList arguments{QStringLiteral("key")};
        if (direct) {
            arguments += {QStringLiteral("--window"), window};
        } else {
            Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
        }
        Xdotool(arguments + QStringList{QStringLiteral("--delay"), QStringLiteral("120")} + keys);
        // A key left down (xdotool can fail before releasing it when the window goes) would
        // repeat into later tests' windows.
        for (const QString& key : keys) {
            Xdotool({QStringLiteral("keyup"), key});
        }
        QThread::msleep(300);
    }

    /// Sends `signal` and waits for the end: status 0 and a normal exit.
    void ExpectEndsCleanlyOn(int signal) {
        ASSERT_EQ(process.state(), QProcess::Running);
        ::kill(static_cast<pid_t>(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(kEndWaitMs))
            << "still running after signal " << signal << "; its output:\n"
            << process.readAllStandardError().right(3000).toStdString();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "signal " << signal;
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().right(3000).toStdString();
    }

    QProcess process;
    QTemporaryDir dir;
    test::SharedFolder home;
};

// Neither a FIFO (whose opening would wait for a writer) nor a folder is opened as audio: the
// load fails with its message, and the program still ends on a signal while it is shown.
TEST_F(EditorSignals, AFifoOrAFolderFailsToLoadWithItsMessageAndNoHang) {
    const QString fifo = dir.filePath(QStringLiteral("pipe.mp3"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QByteArray message = QStringLiteral("Não foi possível carregar o arquivo de áudio!").toUtf8();
    for (const QString& file : {fifo, dir.path()}) {
        SCOPED_TRACE(file.toStdString());
        process.setProcessChannelMode(QProcess::SeparateChannels);
        Start(file);
        QByteArray errors;
        QElapsedTimer timer;
        timer.start();
        while (!errors.contains(message) && process.state() == QProcess::Running &&
               timer.elapsed() < 60000) {
            process.waitForReadyRead(200);
            errors += process.readAllStandardError();
        }
        EXPECT_TRUE(errors.contains(message)) << errors.right(3000).toStdString();
        ExpectEndsCleanlyOn(SIGTERM);
    }
}

// SIGINT while the file is being loaded: a long file keeps the loading window up a while.
TEST_F(EditorSignals, SigintWhileLoadingEndsTheProgram) {
    const QString wav = dir.filePath(QStringLiteral("long.wav"));
    ASSERT_EQ(std::system(("sox -R -n -r 8000 -c 1 -b 16 '" + wav.toStdString() +
                           "' synth 1200 sine 440 vol 0.3 2>/dev/null")
                              .c_str()),
              0);
    const QByteArray before = testing::ReadAll(wav);
    Start(wav);
    // Sent as soon as the loading window shows; should the load have been too quick to be
    // caught, the signal still reaches a running program.
    Windows(QStringLiteral("^Carregando"), 60000);
    ExpectEndsCleanlyOn(SIGINT);
    EXPECT_EQ(testing::ReadAll(wav), before);
}

// SIGINT while playing, and SIGHUP on a program left alone.
TEST_F(EditorSignals, SigintWhilePlayingAndSighupEndTheProgram) {
    for (const int signal : {SIGINT, SIGHUP}) {
        const QString mp3 = testing::MakeMp3(dir, QStringLiteral("song.mp3"), 20.0, 2);
        const QByteArray before = testing::ReadAll(mp3);
        Start(mp3);
        const QString main = MainWindow();
        ASSERT_FALSE(main.isEmpty()) << "no main window";
        if (signal == SIGINT) {
            Click(main, 330, 350); // "Play" in the bottom bar
            QThread::msleep(1000);
        }
        ExpectEndsCleanlyOn(signal);
        EXPECT_EQ(testing::ReadAll(mp3), before);
    }
}

// The jingle dialog loads the Firebird client, which takes the process's signals for itself
// when it connects: with the dialog open, SIGTERM still ends the program.
TEST_F(EditorSignals, SigtermEndsTheProgramWhileTheJingleDialogIsOpen) {
    const QString database = home.file(QStringLiteral("ZELVODB.FDB"));
    ASSERT_TRUE(test::createDatabase(database, test::demoScript()));
    test::writeSettings(home.path(), "[BANCO]\r\nCAMINHO=" + database.toUtf8() + "\r\n");
    const QString mp3 = testing::MakeMp3(dir, QStringLiteral("song.mp3"), 20.0, 2);
    const QByteArray before = testing::ReadAll(mp3);
    Start(mp3);
    const QString main = MainWindow();
    ASSERT_FALSE(main.isEmpty()) << "no main window";
    const QString dialogTitle = QStringLiteral("^Selecione a vinheta para o carimbo$");
    const auto openDialog = [&]() -> QString {
        // The context menu's seventh item, "Inserir carimbo"; injected input is now and then
        // lost while the menu maps, so the operator tries again.
        for (int attempt = 0; attempt < 3; ++attempt) {
            Click(main, 400, 150, 3);
            QThread::msleep(700);
            Keys(main, {QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"),
                        QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"),
                        QStringLiteral("Down"), QStringLiteral("Return")});
            const QStringList dialogs = Windows(dialogTitle, 20000);
            if (!dialogs.isEmpty()) {
                return dialogs.front();
            }
            Keys(main, {QStringLiteral("Escape")});
        }
        return {};
    };

    // The dialog is up: the client has connected (and installed its handlers).
    const QString dialog = openDialog();
    ASSERT_FALSE(dialog.isEmpty()) << "the jingle dialog did not open";
    ExpectEndsCleanlyOn(SIGTERM);
    EXPECT_EQ(testing::ReadAll(mp3), before);
}

} // namespace
} // namespace tavrela
