#pragma once

#include <QString>

namespace tavrela {

/// The jingle list: rows of type "V" whose name contains the filter, ignoring letter case and
/// accents ("noti" finds "Giro de Notícias"). Its one parameter is a pattern from
/// jingleNamePattern(); rows with a null name never match. Both sides are compared as UTF8 text
/// in a case- and accent-insensitive collation, whatever the column's own character set. The
/// parameter is cast to the widest UTF8 text: typed as the name column, a filter longer than
/// the column would fail with a truncation error instead of matching nothing.
inline const QString kJingleQuerySql = QStringLiteral(
    "SELECT * FROM Tb_Vinhetas\n"
    "WHERE Vin_Tipo = 'V'\n"
    "  AND CAST(Vin_Nome AS VARCHAR(8191) CHARACTER SET UTF8) COLLATE UNICODE_CI_AI\n"
    "      LIKE CAST(? AS VARCHAR(8191) CHARACTER SET UTF8) COLLATE UNICODE_CI_AI ESCAPE '!'");

/// The same list for a name column of character set NONE whose bytes are not UTF8 (written by
/// programs that stored their Windows code page): its bytes are read as WIN1252 first.
inline const QString kJingleQueryWin1252BytesSql = QStringLiteral(
    "SELECT * FROM Tb_Vinhetas\n"
    "WHERE Vin_Tipo = 'V'\n"
    "  AND CAST(CAST(Vin_Nome AS VARCHAR(8191) CHARACTER SET WIN1252)\n"
    "           AS VARCHAR(8191) CHARACTER SET UTF8) COLLATE UNICODE_CI_AI\n"
    "      LIKE CAST(? AS VARCHAR(8191) CHARACTER SET UTF8) COLLATE UNICODE_CI_AI ESCAPE '!'");

/// The longest filter text whose pattern (every character escaped, plus two '%') fits the
/// parameter.
inline constexpr int kMaxJingleFilterLength = 4000;

/// The LIKE pattern "%" + text + "%" in which every '%', '_' and '!' of the operator's text
/// stands for itself (escaped with '!').
QString jingleNamePattern(const QString& text);

} // namespace tavrela
