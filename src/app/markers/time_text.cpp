#include "time_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

namespace tavrela {

namespace {

[[noreturn]] void ThrowDivision(long double numerator) {
    // 0 / 0 is an invalid operation rather than a division by zero.
    throw EMathError(numerator == 0.0L ? "Invalid floating point operation"
                                       : "Floating point division by zero");
}

// Saturating conversion for values headed into integer arithmetic; NaN becomes 0.
std::int64_t TruncToInt64(long double v) {
    if (!(v == v)) {
        return 0;
    }
    if (v >= 9.2233720368547758e18L) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (v <= -9.2233720368547758e18L) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(v);
}

QString TwoDigits(std::uint64_t v) {
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

// Splits the general rendering of `Seconds` into its whole part and fraction digits.
struct GeneralParts {
    std::string whole; // decimal digits, no leading zeros except "0"
    std::string fraction;
};

GeneralParts GeneralDecimal(double Seconds) {
    if (!(Seconds >= 0.00001) || !std::isfinite(Seconds)) {
        return {"0", {}};
    }
    // 15 significant digits, correctly rounded: d.dddddddddddddde+XX.
    char buf[64];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, Seconds, std::chars_format::scientific, 14);
    const std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
    const std::size_t e = text.find('e');
    std::string digits;
    for (char c : text.substr(0, e)) {
        if (c != '.') {
            digits += c;
        }
    }
    int exponent = 0;
    std::string_view exp = text.substr(e + 1);
    const bool negative = exp.front() == '-';
    if (exp.front() == '-' || exp.front() == '+') {
        exp.remove_prefix(1);
    }
    std::from_chars(exp.data(), exp.data() + exp.size(), exponent);
    if (negative) {
        exponent = -exponent;
    }
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }

    GeneralParts parts;
    if (exponent >= 0) {
        const auto wholeCount = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= wholeCount) {
            parts.whole = digits + std::string(wholeCount - digits.size(), '0');
        } else {
            parts.whole = digits.substr(0, wholeCount);
            parts.fraction = digits.substr(wholeCount);
        }
    } else {
        parts.whole = "0";
        parts.fraction = std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    }
    return parts;
}

bool IsDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// A whole number: surrounding blanks, optional sign, decimal digits, 32-bit range.
bool ParseInteger(const QString& text, int& out) {
    const QString s = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) {
        negative = s[i] == QLatin1Char('-');
        ++i;
    }
    if (i == s.size()) {
        return false;
    }
    std::int64_t value = 0;
    for (; i < s.size(); ++i) {
        if (!IsDigit(s[i])) {
            return false;
        }
        value = value * 10 + (s[i].unicode() - '0');
        if (value > std::int64_t{1} << 31) {
            return false;
        }
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<int>::max()) {
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

// A decimal number with "," as separator: surrounding blanks, optional sign, digits with
// at most one separator (at least one digit), optional exponent.
bool ParseDecimalComma(const QString& s, long double& out) {
    const QString t = s.trimmed();
    std::string ascii;
    qsizetype i = 0;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
        if (t[i] == QLatin1Char('-')) {
            ascii += '-';
        }
        ++i;
    }
    int mantissaDigits = 0;
    bool separator = false;
    for (; i < t.size(); ++i) {
        if (IsDigit(t[i])) {
            ascii += static_cast<char>(t[i].unicode());
            ++mantissaDigits;
        } else if (t[i] == QLatin1Char(',') && !separator) {
            ascii += '.';
            separator = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0) {
        return false;
    }
    if (i < t.size() && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        ascii += 'e';
        ++i;
        if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
            ascii += static_cast<char>(t[i].unicode());
            ++i;
        }
        int expDigits = 0;
        for (; i < t.size() && IsDigit(t[i]); ++i) {
            ascii += static_cast<char>(t[i].unicode());
            ++expDigits;
        }
        if (expDigits == 0) {
            return false;
        }
    }
    if (i != t.size()) {
        return false;
    }
    // from_chars reads "." whatever the process locale says, and rounds exactly.
    const char* first = ascii.data();
    const char* last = ascii.data() + ascii.size();
    long double value = 0;
    const auto res = std::from_chars(first, last, value);
    // Seconds end up in a double: anything beyond its range is no number either.
    if (res.ec != std::errc() || res.ptr != last ||
        !(std::fabs(value) <= std::numeric_limits<double>::max())) {
        return false;
    }
    out = value;
    return true;
}

} // namespace

std::int64_t RoundDurationSeconds(double Duration) {
    return TruncToInt64(std::nearbyint(Duration));
}

double SecondsToX(std::int64_t DurationSeconds, double Seconds, double TotalX) {
    const long double numerator = static_cast<long double>(TotalX) * Seconds;
    if (DurationSeconds == 0) {
        ThrowDivision(numerator);
    }
    return static_cast<double>(numerator / static_cast<long double>(DurationSeconds));
}

double XToSeconds(std::int64_t DurationSeconds, double TotalX, double X) {
    const long double numerator = static_cast<long double>(DurationSeconds) * X;
    if (TotalX == 0.0) {
        ThrowDivision(numerator);
    }
    return static_cast<double>(numerator / TotalX);
}

QString FormatGeneralSeconds(double Seconds) {
    const GeneralParts parts = GeneralDecimal(Seconds);
    QString text = QString::fromStdString(parts.whole);
    if (!parts.fraction.empty()) {
        text += QLatin1Char('.') + QString::fromStdString(parts.fraction);
    }
    return text;
}

QString SecondsToMarkerText(double Seconds) {
    const GeneralParts parts = GeneralDecimal(Seconds);
    // Whole seconds beyond 64 bits mean nothing as a marker; saturate rather than wrap.
    std::uint64_t whole = 0;
    const auto res =
        std::from_chars(parts.whole.data(), parts.whole.data() + parts.whole.size(), whole);
    if (res.ec != std::errc()) {
        whole = std::numeric_limits<std::uint64_t>::max();
    }
    QString text = TwoDigits(whole / 60) + QLatin1Char(':') + TwoDigits(whole % 60);
    if (!parts.fraction.empty()) {
        text += QLatin1Char('.') + QString::fromStdString(parts.fraction);
    }
    return text;
}

double ParseMarkerTime(const QString& Text) {
    QString text = Text;
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const QString minutesText = colon < 0 ? QString() : text.left(colon);
    int minutes = 0;
    if (!ParseInteger(minutesText, minutes)) {
        throw EConvertError(
            QStringLiteral("'%1' is not a valid integer value").arg(minutesText).toStdString());
    }
    const QString secondsText = text.mid(colon + 1);
    long double seconds = 0;
    if (!ParseDecimalComma(secondsText, seconds)) {
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value")
                                .arg(secondsText)
                                .toStdString());
    }
    return static_cast<double>(static_cast<long double>(minutes) * 60 + seconds);
}

QString FormatMilliseconds(std::int64_t Milliseconds) {
    if (Milliseconds < 0) {
        Milliseconds = 0;
    }
    const std::int64_t s = Milliseconds / 1000;
    const std::int64_t hours = s / 3600;
    const std::int64_t mins = (s - hours * 3600) / 60;
    const std::int64_t secs = s - hours * 3600 - mins * 60;
    const std::int64_t rest = Milliseconds - s * 1000;
    return TwoDigits(static_cast<std::uint64_t>(hours)) + QLatin1Char(':') +
           TwoDigits(static_cast<std::uint64_t>(mins)) + QLatin1Char(':') +
           TwoDigits(static_cast<std::uint64_t>(secs)) + QLatin1Char('.') +
           TwoDigits(static_cast<std::uint64_t>(rest / 10));
}

QString AxisXTimeText(double Value, const std::function<double(std::int64_t)>& BytesToSeconds) {
    const double seconds = BytesToSeconds(TruncToInt64(Value));
    return FormatMilliseconds(TruncToInt64(static_cast<long double>(seconds * 1000.0)));
}

} // namespace tavrela
