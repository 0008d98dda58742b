#include "test_editor_fixtures.h"

#include <QFile>
#include <QProcess>

#include <stdexcept>

namespace tavrela::testing {

bool RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(120000)) {
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QString MakeWav(const QTemporaryDir& dir, const QString& name, double seconds, int channels,
                int rate) {
    const QString path = dir.filePath(name);
    QStringList args{QStringLiteral("-n"),
                     QStringLiteral("-q"),
                     QStringLiteral("-r"),
                     QString::number(rate),
                     QStringLiteral("-c"),
                     QString::number(channels),
                     QStringLiteral("-b"),
                     QStringLiteral("16"),
                     path,
                     QStringLiteral("synth"),
                     QString::number(seconds, 'f', 3),
                     QStringLiteral("sine"),
                     QStringLiteral("200-2000"),
                     QStringLiteral("vol"),
                     QStringLiteral("0.5")};
    if (!RunTool(QStringLiteral("sox"), args)) {
        throw std::runtime_error("sox failed for " + name.toStdString());
    }
    return path;
}

QString MakeMp3(const QTemporaryDir& dir, const QString& name, double seconds, int channels,
                const QStringList& lameArgs) {
    const QString wav = MakeWav(dir, name + QStringLiteral(".src.wav"), seconds, channels);
    const QString path = dir.filePath(name);
    QStringList args{QStringLiteral("--quiet")};
    args +=
        lameArgs.isEmpty() ? QStringList{QStringLiteral("-b"), QStringLiteral("128")} : lameArgs;
    args << wav << path;
    if (!RunTool(QStringLiteral("lame"), args)) {
        throw std::runtime_error("lame failed for " + name.toStdString());
    }
    QFile::remove(wav);
    return path;
}

namespace {
void AppendBigEndian(QByteArray& out, quint32 value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.append(static_cast<char>((value >> shift) & 0xFF));
    }
}
} // namespace

QByteArray Id3v23Tag(const std::vector<std::pair<QByteArray, QString>>& frames) {
    QByteArray body;
    for (const auto& [id, text] : frames) {
        QByteArray content(1, '\0'); // encoding 0
        if (id == "COMM") {
            content += "por";
            content.append('\0'); // empty short description
        }
        content += text.toLatin1();
        body += id;
        AppendBigEndian(body, static_cast<quint32>(content.size()));
        body.append(2, '\0'); // flags
        body += content;
    }
    body.append(64, '\0'); // padding
    QByteArray tag("ID3\x03\x00\x00", 6);
    const auto size = static_cast<quint32>(body.size());
    for (int shift = 21; shift >= 0; shift -= 7) {
        tag.append(static_cast<char>((size >> shift) & 0x7F)); // sync-safe size
    }
    return tag + body;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

void PrependToFile(const QString& path, const QByteArray& tag) {
    const QByteArray audio = ReadAll(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        throw std::runtime_error("cannot rewrite " + path.toStdString());
    }
    file.write(tag + audio);
}

} // namespace tavrela::testing
