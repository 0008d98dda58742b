// The real program told to end by a signal (as a playout host or a session manager does):
// SIGTERM, SIGINT and SIGHUP end it as the close box does, at any moment, with status 0 and
// the file untouched; and inputs that are not a regular file fail to load without a hang.
#include "test_editor_fixtures.h"
#include "test_jingles_support.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>

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
            const QStringList windows = VisibleWindows(title);
            if (!windows.isEmpty()) {
                return windows;
            }
            QThread::msleep(100);
        }
        return {};
    }

    QStringList VisibleWindows(const QString& title) const {
        // --all: xdotool otherwise matches windows meeting any one condition (every window of
        // the process, whatever its title).
        const QString out =
            Xdotool({QStringLiteral("search"), QStringLiteral("--all"),
                     QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                     QString::number(process.processId()), QStringLiteral("--name"), title});
        return out.isEmpty() ? QStringList() : out.split(QLatin1Char('\n'));
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

    /// Sends `signal` and waits for the end: status 0 and a normal exit. The time the ending
    /// took goes to the test's output (it normally takes a fraction of a second).
    void ExpectEndsCleanlyOn(int signal, const char* moment) {
        ASSERT_EQ(process.state(), QProcess::Running);
        QElapsedTimer ending;
        ending.start();
        ::kill(static_cast<pid_t>(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(kEndWaitMs))
            << "still running after signal " << signal << "; its output:\n"
            << process.readAllStandardError().right(3000).toStdString();
        std::printf("signal %d %s: ended in %lld ms\n", signal, moment,
                    static_cast<long long>(ending.elapsed()));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "signal " << signal;
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().right(3000).toStdString();
    }

    /// The demo jingle database, named in the settings the program reads.
    bool PrepareJingleDatabase() {
        const QString database = home.file(QStringLiteral("ZELVODB.FDB"));
        if (!test::createDatabase(database, test::demoScript())) {
            return false;
        }
        test::writeSettings(home.path(), "[BANCO]\r\nCAMINHO=" + database.toUtf8() + "\r\n");
        return true;
    }

    static QString JingleDialogTitle() {
        return QStringLiteral("^Selecione a vinheta para o carimbo$");
    }

    /// Opens the jingle dialog as the operator does, through the context menu's seventh item,
    /// "Inserir carimbo"; returns the dialog's window (empty when it did not open).
    QString OpenJingleDialog(const QString& main) const {
        // Injected input is now and then lost while the menu maps, so the operator tries again.
        for (int attempt = 0; attempt < 3; ++attempt) {
            Click(main, 400, 150, 3);
            QThread::msleep(700);
            Keys(main, {QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"),
                        QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"),
                        QStringLiteral("Down"), QStringLiteral("Return")});
            const QStringList dialogs = Windows(JingleDialogTitle(), 20000);
            if (!dialogs.isEmpty()) {
                return dialogs.front();
            }
            Keys(main, {QStringLiteral("Escape")});
        }
        return {};
    }

    /// True once no visible window of the program has the title `title` (polled).
    bool Gone(const QString& title, int timeoutMs = 20000) const {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs && process.state() == QProcess::Running) {
            if (VisibleWindows(title).isEmpty()) {
                return true;
            }
            QThread::msleep(100);
        }
        return false;
    }

    /// Lines of text the dialog's grid shows, read off the screen: bands of dark pixel rows
    /// in the name column below the titles. An empty grid is plain background.
    static int GridTextLines(const QString& dialog) {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (screen == nullptr) {
            return 0;
        }
        const QImage shot = screen->grabWindow(dialog.toULongLong()).toImage();
        // Below the filter strip (30 px) and the column titles; across the name column.
        const int top = 60;
        const int right = std::min(shot.width(), 560);
        int lines = 0;
        bool inLine = false;
        for (int y = top; y < shot.height() - 2; ++y) {
            bool ink = false;
            for (int x = 20; x < right && !ink; ++x) {
                ink = qGray(shot.pixel(x, y)) < 100;
            }
            lines += ink && !inLine ? 1 : 0;
            inLine = ink;
        }
        return lines;
    }

    /// Waits until the dialog's grid shows rows; returns the lines of text last seen.
    static int WaitForListedRows(const QString& dialog, int atLeast) {
        int lines = 0;
        for (int tries = 0; tries < 50 && lines < atLeast; ++tries) {
            QThread::msleep(200);
            lines = GridTextLines(dialog);
        }
        return lines;
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
        ExpectEndsCleanlyOn(SIGTERM, "while the load failure is shown");
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
    const bool caught = !Windows(QStringLiteral("^Carregando"), 20000).isEmpty();
    ExpectEndsCleanlyOn(SIGINT, caught ? "while loading" : "after a load too quick to catch");
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
        ExpectEndsCleanlyOn(signal, signal == SIGINT ? "while playing" : "while idle");
        EXPECT_EQ(testing::ReadAll(mp3), before);
    }
}

// The jingle dialog loads the Firebird client, which takes the process's signals for itself
// when it connects. SIGTERM still ends the program with status 0 and the file as it was,
// with the dialog open and after it was cancelled; opened again without a restart, the dialog
// lists the jingles again (the database keeps working after its first use).
TEST_F(EditorSignals, SigtermEndsTheProgramWithTheJingleDialogOpenOrCancelled) {
    ASSERT_TRUE(PrepareJingleDatabase());
    // The demo database holds 17 jingles of kind V; most of them fit in the grid.
    constexpr int kLinesOfAFullGrid = 10;
    const struct {
        const char* moment;
        int openings;
        bool cancel;
    } cases[] = {
        {"with the jingle dialog open", 1, false},
        {"after the jingle dialog was opened and cancelled twice", 2, true},
    };
    const QString mp3 = testing::MakeMp3(dir, QStringLiteral("song.mp3"), 20.0, 2);
    const QByteArray before = testing::ReadAll(mp3);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.moment);
        Start(mp3);
        const QString main = MainWindow();
        ASSERT_FALSE(main.isEmpty()) << "no main window";
        for (int opening = 1; opening <= c.openings; ++opening) {
            SCOPED_TRACE(opening);
            const QString dialog = OpenJingleDialog(main);
            ASSERT_FALSE(dialog.isEmpty()) << "the jingle dialog did not open";
            EXPECT_GE(WaitForListedRows(dialog, kLinesOfAFullGrid), kLinesOfAFullGrid)
                << "the grid lists no jingles";
            if (c.cancel) {
                Keys(dialog, {QStringLiteral("Escape")}, true);
                ASSERT_TRUE(Gone(JingleDialogTitle())) << "the dialog stayed after Escape";
            }
        }
        ExpectEndsCleanlyOn(SIGTERM, c.moment);
        EXPECT_EQ(testing::ReadAll(mp3), before);
    }
}

} // namespace
} // namespace tavrela
