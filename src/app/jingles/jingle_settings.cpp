#include "jingle_settings.h"

#include "ini_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace tavrela {
namespace {

// A settings file is a few lines; anything far larger is not one.
constexpr qint64 kMaxSettingsBytes = 1 << 20;

QString decodeSettingText(const std::string& bytes) {
    const QByteArray raw = QByteArray::fromStdString(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(raw);
    if (!utf8.hasError()) {
        return text;
    }
    // Files written by Windows tools are in the ANSI code page.
    QStringDecoder ansi("Windows-1252");
    if (ansi.isValid()) {
        return ansi.decode(raw);
    }
    return QString::fromLatin1(raw);
}

} // namespace

std::optional<QString> readJingleDatabaseSetting(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    const QByteArray bytes = file.read(kMaxSettingsBytes);
    const std::optional<std::string> value =
        ini::readValue(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                       "BANCO", "CAMINHO");
    return value ? decodeSettingText(*value) : QString();
}

} // namespace tavrela
