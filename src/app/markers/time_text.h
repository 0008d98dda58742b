#pragma once

// Conversions between marker positions, seconds and the texts stored in the file or shown
// to the operator. None of them depends on the process locale.

#include <QString>

#include <cstdint>
#include <functional>
#include <stdexcept>

namespace tavrela {

/// A text that is not a number where one is expected. The message names the text.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// A division by zero in a position/seconds conversion.
class EMathError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Stored time texts keep at most this many characters (at most two fraction digits).
inline constexpr int kStoredMarkerTextLength = 8;

/// The scale of stored times: a duration in seconds rounded to the nearest whole second,
/// halves to the even neighbour (180.5 s gives 180). Saturates outside the 64-bit range.
std::int64_t RoundDurationSeconds(double Duration);

/// TotalX * Seconds / DurationSeconds, multiplied first, in extended precision.
/// Throws EMathError when DurationSeconds is 0.
double SecondsToX(std::int64_t DurationSeconds, double Seconds, double TotalX);

/// DurationSeconds * X / TotalX, multiplied first, in extended precision.
/// Throws EMathError when TotalX is 0.
double XToSeconds(std::int64_t DurationSeconds, double TotalX, double X);

/// Seconds in general decimal form: at most 15 significant digits, fixed notation,
/// trailing zeros and a trailing point removed, "." as separator; below 0.00001 is "0".
QString FormatGeneralSeconds(double Seconds);

/// The stored time text of a position in seconds: minutes (at least two digits; an hour or
/// more is written as total minutes), ":", two-digit seconds, then "." and the fraction
/// digits of FormatGeneralSeconds when there are any. Not cut: see kStoredMarkerTextLength.
QString SecondsToMarkerText(double Seconds);

/// Seconds from a stored time text "m:ss[.f]": minutes are a whole number, the seconds
/// accept "." or "," as the decimal separator. Throws EConvertError naming the bad part.
double ParseMarkerTime(const QString& Text);

/// Clock text hh:mm:ss.cc (hundredths cut, not rounded; hours widen from 100 on).
/// Negative values give 00:00:00.00.
QString FormatMilliseconds(std::int64_t Milliseconds);

/// The time-axis text of x position `Value` (a byte offset): the clock text of the
/// position's playback time as given by `BytesToSeconds`.
QString AxisXTimeText(double Value, const std::function<double(std::int64_t)>& BytesToSeconds);

} // namespace tavrela
