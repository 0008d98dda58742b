// The operator's whole session on the real program and the test display: a tagged file comes
// up with its stored intro drawn, a click and the context menu place the chorus start, the
// save writes it, confirms and ends. The written tag is read back with the tag reader.
#include "test_editor_fixtures.h"
#include "test_session_x11.h"

#include <app/markers/time_text.h>
#include <tags/tag.h>

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdint>

#include <signal.h>

namespace tavrela {
namespace {

// Drives the program through the window system as an operator would (xdotool), on a display
// of the test's own where no other window can come between the pointer and the program.
class Operator {
public:
    Operator(QProcess& Program, QString Display)
        : program_(Program), display_(std::move(Display)) {}

    QString Run(const QStringList& Arguments) const {
        QProcess p;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display_);
        p.setProcessEnvironment(environment);
        p.start(QStringLiteral("xdotool"), Arguments);
        p.waitForFinished(10000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }

    /// The program's visible windows titled as the program, once there are `Count` of them.
    QStringList Windows(int Count, int TimeoutMs = 60000) const {
        QElapsedTimer timer;
        timer.start();
        QStringList found;
        while (timer.elapsed() < TimeoutMs && program_.state() == QProcess::Running) {
            const QString out = Run(
                {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--pid"), QString::number(program_.processId()),
                 QStringLiteral("--name"), QStringLiteral("^Tavrela - Zelvo Sistemas$")});
            found = out.isEmpty() ? QStringList() : out.split(QLatin1Char('\n'));
            if (found.size() >= Count) {
                return found;
            }
            QThread::msleep(200);
        }
        return found;
    }

    /// A window of the program that is not among `Known`, once one appears.
    QString NewWindow(const QStringList& Known, int TimeoutMs = 30000) const {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < TimeoutMs && program_.state() == QProcess::Running) {
            for (const QString& w : Windows(1, 1000)) {
                if (!Known.contains(w)) {
                    return w;
                }
            }
            QThread::msleep(100);
        }
        return {};
    }

    /// A click of `Button` (1 left, 3 right) at (X, Y) of the window.
    void Click(const QString& Window, int X, int Y, int Button = 1) const {
        Run({QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("--window"),
             Window, QString::number(X), QString::number(Y)});
        QThread::msleep(150);
        Run({QStringLiteral("click"), QString::number(Button)});
        QThread::msleep(300);
    }

    void Keys(const QStringList& Keys) const {
        QStringList arguments{QStringLiteral("key"), QStringLiteral("--delay"),
                              QStringLiteral("120")};
        arguments += Keys;
        Run(arguments);
        QThread::msleep(300);
    }

    /// What the window shows now.
    QImage Grab(const QString& Window) const {
        return testing::GrabXWindow(display_, Window.toULong());
    }

private:
    QProcess& program_;
    QString display_;
};

// Columns of `Image` between x From and To where `Drawn` holds on nearly every row from Top
// to Bottom: where a marker line stands. Marker lines are blended over the waveform, so a
// line is told from the waveform by covering the whole height.
template <typename Predicate>
std::vector<int> MarkerColumns(const QImage& Image, Predicate Drawn, int From, int To, int Top,
                               int Bottom) {
    std::vector<int> columns;
    for (int x = From; x < To && x < Image.width(); ++x) {
        int hits = 0;
        for (int y = Top; y < Bottom && y < Image.height(); ++y) {
            hits += Drawn(Image.pixel(x, y)) ? 1 : 0;
        }
        if (hits * 10 >= (Bottom - Top) * 9) {
            columns.push_back(x);
        }
    }
    return columns;
}

// Largest sample of a 16-bit PCM WAV file as written by the recorder, from 0 to 1.
double PeakOfWav(const QString& Path) {
    QFile file(Path);
    if (!file.open(QIODevice::ReadOnly)) {
        return 0.0;
    }
    const QByteArray bytes = file.readAll();
    const qsizetype data = bytes.indexOf("data");
    int peak = 0;
    for (qsizetype i = data < 0 ? bytes.size() : data + 8; i + 1 < bytes.size(); i += 2) {
        const auto v = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                                 (static_cast<std::uint8_t>(bytes[i + 1]) << 8));
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    }
    return peak / 32768.0;
}

bool Reddish(QRgb p) {
    return qRed(p) >= 100 && qBlue(p) < 80;
}

// Lime, and not yellow (red and green).
bool Limeish(QRgb p) {
    return qGreen(p) >= 50 && qRed(p) < 100 && qGreen(p) > qBlue(p);
}

class SessionProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QFile::exists(Program()));
        // A virtual display of the test's own; it names its free display number on stdout.
        xvfb.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                    QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!xvfb.waitForStarted(10000)) {
            GTEST_SKIP() << "needs Xvfb";
        }
        QElapsedTimer timer;
        timer.start();
        QByteArray number;
        while (!number.contains('\n') && timer.elapsed() < 20000) {
            xvfb.waitForReadyRead(500);
            number += xvfb.readAllStandardOutput();
        }
        ASSERT_TRUE(number.contains('\n')) << "the virtual display did not start";
        display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
    }
    void TearDown() override {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
        if (xvfb.state() != QProcess::NotRunning) {
            xvfb.terminate();
            if (!xvfb.waitForFinished(5000)) {
                xvfb.kill();
                xvfb.waitForFinished(5000);
            }
        }
    }
    static QString Program() { return QStringLiteral(TAVRELA_BINARY_DIR "/bin/tavrela"); }

    QTemporaryDir dir;
    QProcess xvfb;
    QString display;
    QProcess process;
};

TEST_F(SessionProgram, TheTypicalRunPlacesTheChorusStartAndSavesIt) {
    constexpr double kSeconds = 80.0;
    constexpr int kPlayX = 330; // the "Play"/"Stop" place in the bottom bar
    constexpr int kPlayY = 350;
    const QString song = testing::MakeMp3(dir, QStringLiteral("song.mp3"), kSeconds, 2);
    testing::PrependToFile(
        song,
        testing::Id3v23Tag(
            {{"TIT2", "Canção"}, {"TPE1", "Artista"}, {"TINT", "00:12.5"}, {"TRFF", "01:15"}}));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TAVRELA_HOME"), dir.path());
    environment.insert(QStringLiteral("DISPLAY"), display);
    process.setProcessEnvironment(environment);
    process.start(Program(), {song});
    ASSERT_TRUE(process.waitForStarted(10000));
    Operator op(process, display);
    // The main window once it is up: the loading window comes and goes before it, and the
    // window system's window may be made anew when the drawing surface is set up, so the
    // same one must be seen twice, a second apart.
    QString main;
    QString seen;
    for (int tries = 0; tries < 120 && main.isEmpty(); ++tries) {
        QString now;
        for (const QString& w : op.Windows(1)) {
            const QString size = op.Run({QStringLiteral("getwindowgeometry"), w});
            if (size.contains(QStringLiteral("684x367"))) {
                now = w;
            }
        }
        if (!now.isEmpty() && now == seen) {
            main = now;
        }
        seen = now;
        QThread::msleep(1000);
    }
    ASSERT_FALSE(main.isEmpty()) << "no main window";
    // Keyboard input goes to the focused window (there is no window manager to give it).
    op.Run({QStringLiteral("windowfocus"), QStringLiteral("--sync"), main});

    // The waveform panel: right of the 145-pixel command column, above the bottom bar and
    // the scroll bar.
    const int left = 145;
    const int width = 684 - left;
    const int top = 10;
    const int bottom = 367 - 33 - 15 - 10;
    const auto columnOf = [&](double seconds) {
        return left + static_cast<int>(std::lround(width * seconds / kSeconds));
    };

    // The stored intro is a red line at 12.5 s.
    const QImage loaded = op.Grab(main);
    ASSERT_FALSE(loaded.isNull());
    // Lime columns before the chorus start exists: none (the waveform never fills a column).
    EXPECT_TRUE(MarkerColumns(loaded, Limeish, left, 684, top, bottom).empty());
    const std::vector<int> red = MarkerColumns(loaded, Reddish, left, columnOf(40.0), top, bottom);
    ASSERT_FALSE(red.empty()) << "no red marker line";
    EXPECT_NEAR(red.front(), columnOf(12.5), 4);
    EXPECT_NEAR(red.back(), columnOf(12.5), 4);

    // A left click at 1:05 moves the selection start there; the right button opens the menu
    // without moving it; the third item places the chorus start.
    const int x65 = columnOf(65.0);
    op.Click(main, x65, 150, 1);
    // Input injected into the test display is now and then lost while the menu maps: the
    // operator then simply opens the menu again.
    QImage placed;
    std::vector<int> lime;
    for (int attempt = 0; attempt < 3 && lime.empty(); ++attempt) {
        op.Click(main, x65 + 40, 120, 3);
        QThread::msleep(700); // the menu opens (it carries no title or process to wait for)
        op.Keys({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down")});
        op.Keys({QStringLiteral("Return")});
        // The line shows on one of the next frames.
        for (int frame = 0; frame < 12 && lime.empty(); ++frame) {
            QThread::msleep(250);
            placed = op.Grab(main);
            lime = MarkerColumns(placed, Limeish, left, 684, top, bottom);
        }
        if (lime.empty()) {
            op.Keys({QStringLiteral("Escape")});
        }
    }
    if (lime.empty()) {
        placed.save(QDir::temp().filePath(QStringLiteral("tavrela-session-placed.png")));
    }
    ASSERT_FALSE(lime.empty()) << "no lime marker line (picture in the temporary folder)";
    EXPECT_NEAR(lime.front(), x65, 4);
    EXPECT_NEAR(lime.back(), x65, 4);

    // "Play" sounds through the default device from the selection start; "Stop" in the same
    // place stops it. Heard on the test sound server's sink when there is one.
    const QString sink = qEnvironmentVariable("TAVRELA_TEST_PULSE_SINK");
    if (!sink.isEmpty() && !QStandardPaths::findExecutable(QStringLiteral("parec")).isEmpty()) {
        const QString recording = dir.filePath(QStringLiteral("heard.wav"));
        QProcess recorder;
        recorder.start(QStringLiteral("parec"),
                       {QStringLiteral("-d"), sink + QStringLiteral(".monitor"),
                        QStringLiteral("--file-format=wav"), QStringLiteral("--format=s16le"),
                        QStringLiteral("--rate=44100"), QStringLiteral("--channels=2"), recording});
        ASSERT_TRUE(recorder.waitForStarted(10000));
        QThread::msleep(500);
        op.Click(main, kPlayX, kPlayY, 1); // "Play"
        QThread::msleep(1500);
        op.Click(main, kPlayX, kPlayY, 1); // "Stop"
        QThread::msleep(300);
        ::kill(static_cast<pid_t>(recorder.processId()), SIGINT); // finishes the WAV header
        recorder.waitForFinished(10000);
        EXPECT_GT(PeakOfWav(recording), 0.05) << "nothing was heard";
    }

    // "Gravar marcações": the confirmation, then the program ends.
    const QStringList beforeBox = op.Windows(1);
    op.Click(main, 70, 17, 1);
    const QString box = op.NewWindow(beforeBox);
    ASSERT_FALSE(box.isEmpty()) << "no confirmation box";
    op.Run({QStringLiteral("windowfocus"), QStringLiteral("--sync"), box});
    op.Keys({QStringLiteral("Return")});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(process.readAllStandardError().contains("Marcações efetuadas com sucesso."));

    tags::CreateTagObjects(".mp3");
    tags::ReadTag(QFile::encodeName(song).toStdString());
    const tags::Tag tag = tags::CurrentTag;
    tags::FreeTagObjects(".MP3");
    EXPECT_EQ(tag.Intro, "00:12.5");
    EXPECT_EQ(tag.ChorusEnd, "01:15");
    EXPECT_EQ(tag.Title, "Canção");
    EXPECT_EQ(tag.Artist, "Artista");
    ASSERT_FALSE(tag.ChorusStart.empty());
    EXPECT_LE(tag.ChorusStart.size(), 8u);
    EXPECT_NEAR(ParseMarkerTime(QString::fromStdString(tag.ChorusStart)), 65.0,
                kSeconds / width * 2);
    EXPECT_TRUE(tag.AudioStart.empty());
    EXPECT_TRUE(tag.StampJingle.empty());
}

} // namespace
} // namespace tavrela
