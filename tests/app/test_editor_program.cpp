// The real program on the test display: it comes up with a file and closes from the window
// system; without a file it shows its message and ends when the message is dismissed.
#include "test_editor_fixtures.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace tavrela {
namespace {

const QString kTitle = QStringLiteral("^Tavrela - Zelvo Sistemas$");

QString Program() {
    return QStringLiteral(TAVRELA_BINARY_DIR "/bin/tavrela");
}

QString Xdotool(const QStringList& arguments) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), arguments);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The operator's Return on a message box, sent to that window only (other tests may have
// windows on the same display). When the window has the focus xdotool presses the key through
// the server, and when the box closes on the press xdotool can fail before releasing it: the
// key then stays down, and its auto-repeat closes every dialog that later tests open on this
// display. So the key is always released afterwards.
void PressReturn(const QString& window) {
    Xdotool({QStringLiteral("key"), QStringLiteral("--window"), window, QStringLiteral("Return")});
    Xdotool({QStringLiteral("keyup"), QStringLiteral("Return")});
}

// Windows of the process titled like the program, polled until some appear.
QStringList WaitForWindows(const QProcess& process, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs && process.state() == QProcess::Running) {
        const QString out =
            Xdotool({QStringLiteral("search"), QStringLiteral("--all"),
                     QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                     QString::number(process.processId()), QStringLiteral("--name"), kTitle});
        if (!out.isEmpty()) {
            return out.split(QLatin1Char('\n'));
        }
        QThread::msleep(200);
    }
    return {};
}

// What a window manager sends when the close box is pressed (WM_DELETE_WINDOW), through the
// X library loaded at run time. The test display has no window manager to do it.
bool RequestClose(unsigned long window) {
    void* x11 = dlopen("libX11.so.6", RTLD_NOW);
    if (x11 == nullptr) {
        return false;
    }
    struct ClientMessage {
        int type;
        unsigned long serial;
        int send_event;
        void* display;
        unsigned long window;
        unsigned long message_type;
        int format;
        long data[5];
    };
    union Event {
        ClientMessage xclient;
        long pad[24];
    };
    using OpenDisplay = void* (*)(const char*);
    using InternAtom = unsigned long (*)(void*, const char*, int);
    using SendEvent = int (*)(void*, unsigned long, int, long, Event*);
    using Display = int (*)(void*);
    const auto open = reinterpret_cast<OpenDisplay>(dlsym(x11, "XOpenDisplay"));
    const auto intern = reinterpret_cast<InternAtom>(dlsym(x11, "XInternAtom"));
    const auto send = reinterpret_cast<SendEvent>(dlsym(x11, "XSendEvent"));
    const auto flush = reinterpret_cast<Display>(dlsym(x11, "XFlush"));
    const auto close = reinterpret_cast<Display>(dlsym(x11, "XCloseDisplay"));
    void* display = open && intern && send && flush && close ? open(nullptr) : nullptr;
    if (display == nullptr) {
        dlclose(x11);
        return false;
    }
    Event event{};
    event.xclient.type = 33; // ClientMessage
    event.xclient.window = window;
    event.xclient.message_type = intern(display, "WM_PROTOCOLS", 0);
    event.xclient.format = 32;
    event.xclient.data[0] = static_cast<long>(intern(display, "WM_DELETE_WINDOW", 0));
    const bool sent = send(display, window, 0, 0, &event) != 0;
    flush(display);
    close(display);
    dlclose(x11);
    return sent;
}

class EditorProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            GTEST_SKIP() << "needs the test display";
        }
        ASSERT_TRUE(QFile::exists(Program())) << Program().toStdString();
    }
    void TearDown() override {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    QProcess process;
    QTemporaryDir dir;
};

TEST_F(EditorProgram, ComesUpWithTheFileAndClosesFromTheWindowSystem) {
    const QString mp3 = testing::MakeMp3(dir, QStringLiteral("song.mp3"), 5.0, 2);
    process.start(Program(), {mp3});
    ASSERT_TRUE(process.waitForStarted(10000));
    const QByteArray before = testing::ReadAll(mp3);
    // The main window is the one of the program's size; it is asked to close as the window
    // system's close box does, and the program ends at once, without saving. A message box
    // with the same title comes first when the sound device cannot be opened; it is
    // dismissed like the operator would. Qt may replace a top-level's native window once
    // while the display sets up its drawing surface, so the request goes to whatever main
    // window exists until the program has ended.
    bool sawMain = false;
    QElapsedTimer timer;
    timer.start();
    while (process.state() == QProcess::Running && timer.elapsed() < 60000) {
        for (const QString& w : WaitForWindows(process, 5000)) {
            const QString geometry = Xdotool({QStringLiteral("getwindowgeometry"), w});
            if (geometry.contains(QStringLiteral("684x367"))) {
                sawMain = true;
                RequestClose(w.toULong());
            } else {
                PressReturn(w);
            }
        }
        process.waitForFinished(1000);
    }
    EXPECT_TRUE(sawMain);
    ASSERT_EQ(process.state(), QProcess::NotRunning)
        << "still running; its output:\n"
        << process.readAllStandardError().right(4000).toStdString();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    const QByteArray errors = process.readAllStandardError();
    // When the sound server could not be reached, the system's sound plugins leave memory
    // behind that the sanitizer build reports at exit; that is not the program's doing.
    if (!errors.contains(
            QStringLiteral("Não foi possível iniciar o dispositivo de áudio padrão!").toUtf8())) {
        EXPECT_EQ(process.exitCode(), 0) << errors.right(4000).toStdString();
    }
    EXPECT_EQ(testing::ReadAll(mp3), before);
}

TEST_F(EditorProgram, WithoutAFileItShowsTheMessageAndEndsWhenItIsDismissed) {
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(Program(), {});
    ASSERT_TRUE(process.waitForStarted(10000));
    // The message, as shown, is also written on stderr. Without a sound device that message
    // comes first; it is dismissed like the operator would.
    const QByteArray noFile = QStringLiteral("Nenhum áudio foi informado.").toUtf8();
    const QByteArray noDevice =
        QStringLiteral("Não foi possível iniciar o dispositivo de áudio padrão!").toUtf8();
    QElapsedTimer timer;
    timer.start();
    QByteArray errors;
    bool deviceMessageDismissed = false;
    while (!errors.contains(noFile) && process.state() == QProcess::Running &&
           timer.elapsed() < 30000) {
        process.waitForReadyRead(200);
        errors += process.readAllStandardError();
        if (errors.contains(noDevice) && !errors.contains(noFile)) {
            for (const QString& w : WaitForWindows(process, 5000)) {
                PressReturn(w);
            }
            deviceMessageDismissed = true;
        }
    }
    EXPECT_TRUE(errors.contains(noFile)) << errors.toStdString();

    // Return on the message box, repeated until the program has ended: a key that arrives
    // before the box has set up its focus is lost.
    timer.restart();
    bool sawBox = false;
    while (process.state() == QProcess::Running && timer.elapsed() < 30000) {
        for (const QString& w : WaitForWindows(process, 5000)) {
            sawBox = true;
            PressReturn(w);
        }
        process.waitForFinished(1000);
    }
    ASSERT_EQ(process.state(), QProcess::NotRunning);
    EXPECT_TRUE(sawBox) << "the message box waited for the operator";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    if (!deviceMessageDismissed) { // see above: the sound plugins' leak report without a server
        EXPECT_EQ(process.exitCode(), 0);
    }
}

// --help and --version are answered without a window: the program is run with no display at
// all, where creating the application would fail.
TEST(EditorProgramOptions, AnsweredWithoutADisplay) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    const struct {
        const char* option;
        QString expected;
    } cases[] = {
        {"--version", QStringLiteral("tavrela " TAVRELA_VERSION "\n")},
        {"--help", QStringLiteral("usage: tavrela FILE\n")},
    };
    for (const auto& c : cases) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(Program(), {QString::fromLatin1(c.option)});
        ASSERT_TRUE(process.waitForFinished(30000)) << c.option;
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << c.option;
        EXPECT_EQ(process.exitCode(), 0) << c.option << process.readAllStandardError().data();
        EXPECT_TRUE(out.startsWith(c.expected)) << c.option << ": " << out.toStdString();
    }
}

// The first argument is always the file: names shaped like Qt's options or like the program's
// own are opened, not taken. The unattended screenshot run shows that the file was loaded.
TEST_F(EditorProgram, OpensFilesNamedLikeOptions) {
    const QString mp3 = testing::MakeMp3(dir, QStringLiteral("song.mp3"), 3.0, 2);
    const struct {
        QString fileName;
        QString argument;
    } cases[] = {
        {QStringLiteral("-style=x.mp3"), QStringLiteral("-style=x.mp3")},
        {QStringLiteral("-reverse.mp3"), QStringLiteral("-reverse.mp3")},
        {QStringLiteral("--help"), QStringLiteral("./--help")},
        {QStringLiteral("--version.mp3"), QStringLiteral("--version.mp3")},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(QFile::copy(mp3, dir.filePath(c.fileName))) << c.fileName.toStdString();
        const QString shot = dir.filePath(QStringLiteral("shot.png"));
        QFile::remove(shot);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TAVRELA_SCREENSHOT"), shot);
        QProcess run;
        run.setProcessEnvironment(environment);
        run.setWorkingDirectory(dir.path());
        run.start(Program(), {c.argument});
        ASSERT_TRUE(run.waitForFinished(120000)) << c.argument.toStdString();
        const QByteArray errors = run.readAllStandardError();
        EXPECT_FALSE(errors.contains(QStringLiteral("Nenhum áudio foi informado.").toUtf8()))
            << c.argument.toStdString();
        EXPECT_TRUE(QFile::exists(shot))
            << c.argument.toStdString() << ": " << errors.right(2000).toStdString();
        EXPECT_TRUE(run.readAllStandardOutput().isEmpty()) << c.argument.toStdString();
    }
}

} // namespace
} // namespace tavrela
