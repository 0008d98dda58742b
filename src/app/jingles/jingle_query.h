#pragma once

#include <QString>

namespace tavrela {

/// The jingle list: rows of type "V" whose name contains the filter in any letter case. Its
/// one parameter is a pattern from jingleNamePattern(); rows with a null name never match.
/// The parameter is cast to the widest UTF8 text: typed as the name column, a filter longer than
/// the column would fail with a truncation error instead of matching nothing.
inline const QString kJingleQuerySql = QStringLiteral(
    "SELECT * FROM Tb_Vinhetas\n"
    "WHERE Vin_Tipo = 'V'\n"
    "  AND UPPER(Vin_Nome) LIKE UPPER(CAST(? AS VARCHAR(8191) CHARACTER SET UTF8)) ESCAPE '!'");

/// The longest filter text whose pattern (every character escaped, plus two '%') fits the
/// parameter.
inline constexpr int kMaxJingleFilterLength = 4000;

/// The LIKE pattern "%" + text + "%" in which every '%', '_' and '!' of the operator's text
/// stands for itself (escaped with '!').
QString jingleNamePattern(const QString& text);

} // namespace tavrela
