#pragma once

#include <QString>

#include <optional>

namespace tavrela {

/// The jingle database used when there is no settings file.
inline const QString kBuiltInJingleDatabase =
    QStringLiteral("C:\\Zelvo\\Zelvo Play\\Zelvodb\\ZELVODB.FDB");
/// The built-in credentials of the jingle database.
inline const QString kJingleDatabaseUser = QStringLiteral("SYSDBA");
inline const QString kJingleDatabasePassword = QStringLiteral("quindorel");
/// The settings file, in the program folder.
inline const QString kSettingsFileName = QStringLiteral("BaseZelvo.ini");

/// The database named by [BANCO] CAMINHO of the settings file at `path`: nothing when the file
/// does not exist, an empty name when the key is absent or the file cannot be read. The value
/// is decoded as UTF-8 when it is valid UTF-8, otherwise as Windows-1252.
std::optional<QString> readJingleDatabaseSetting(const QString& path);

/// The value of `key` in `[section]` of the settings file at `path`, under the same rules as
/// the database name: nothing when the file, the section or the key is absent or unreadable.
std::optional<QString> readSetting(const QString& path, const char* section, const char* key);

/// Seconds "Tocar final" plays before its point, from [TAVRELA] TOCAR_FINAL_SEGUNDOS of the
/// settings file at `path`: a decimal number (point or comma) above 0, at most 60 (larger
/// values are held at 60); `fallback` when the file, the key or a usable number is missing.
double readFinalPrerollSetting(const QString& path, double fallback);

} // namespace tavrela
