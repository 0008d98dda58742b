#include "jingle_settings.h"

#include "ini_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>

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

// The settings file's bytes: nothing when it does not exist, empty when it cannot be read.
std::optional<QByteArray> readSettingsFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    return file.read(kMaxSettingsBytes);
}

std::optional<QString> valueIn(const QByteArray& bytes, const char* section, const char* key) {
    const std::optional<std::string> value = ini::readValue(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), section, key);
    if (!value) {
        return std::nullopt;
    }
    return decodeSettingText(*value);
}

// The longest pre-roll: a minute is far more than any segue needs.
constexpr double kMaxPrerollSeconds = 60.0;

} // namespace

std::optional<QString> readJingleDatabaseSetting(const QString& path) {
    const std::optional<QByteArray> bytes = readSettingsFile(path);
    if (!bytes) {
        return std::nullopt;
    }
    return valueIn(*bytes, "BANCO", "CAMINHO").value_or(QString());
}

std::optional<QString> readSetting(const QString& path, const char* section, const char* key) {
    const std::optional<QByteArray> bytes = readSettingsFile(path);
    if (!bytes) {
        return std::nullopt;
    }
    return valueIn(*bytes, section, key);
}

double readFinalPrerollSetting(const QString& path, double fallback) {
    const std::optional<QString> text = readSetting(path, "TAVRELA", "TOCAR_FINAL_SEGUNDOS");
    if (!text) {
        return fallback;
    }
    // Windows in Portuguese writes decimals with a comma.
    QString number = text->trimmed();
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double seconds = number.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds <= 0.0) {
        return fallback;
    }
    return std::min(seconds, kMaxPrerollSeconds);
}

} // namespace tavrela
