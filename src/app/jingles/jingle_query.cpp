#include "jingle_query.h"

namespace tavrela {

QString jingleNamePattern(const QString& text) {
    QString pattern;
    pattern.reserve(text.size() * 2 + 2);
    pattern += QLatin1Char('%');
    for (const QChar c : text) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('!')) {
            pattern += QLatin1Char('!');
        }
        pattern += c;
    }
    pattern += QLatin1Char('%');
    return pattern;
}

} // namespace tavrela
