#pragma once

#include "display/model/types.h"

#include <QString>

#include <optional>
#include <vector>

namespace tavrela {

/// A number as a label text: the general, exponent, fixed, number and currency formats
/// with a precision (significant digits) and digits (decimals, or exponent digits).
QString FloatToStrF(double Value, TFloatFormat Format, int Precision, int Digits,
                    QChar DecimalSeparator = QLatin1Char('.'),
                    QChar ThousandSeparator = QLatin1Char(','));

/// The value span the y labels run over, by scale mode.
double AxisYScale(int ScaleMode, float MaxAmplitudeRange, float MinAmplitudeRange, double AxisMax,
                  double AxisMin, float AmplitudeFactor);

/// What the y labels are laid out from.
struct TAxisYLayoutInput {
    int DisplayMode = 2;
    int ChannelCount = 0;
    int Height = 0; ///< panel height in pixels
    int FontSize = 12;
    int Divisions = 10;
    int ScaleMode = 0;
    double Scale = 1.0; ///< AxisYScale
    double AxisMin = 0.0;
    double MinAmplitudeOffset = 0.0;
};

/// One y label: the value given to the host's text event, the value the default text shows
/// (with Sign in front), and the top of the text.
struct TAxisYLabel {
    double EventValue = 0.0;
    double TextValue = 0.0;
    QChar Sign;
    int Y = 0;
};
std::vector<TAxisYLabel> AxisYLabels(const TAxisYLayoutInput& In);

/// One x label: its value and the pixel column it is centred on.
struct TAxisXLabel {
    double Value = 0.0;
    double X = 0.0;
};
/// Divisions - 1 labels over the visible window; the edges are not labelled.
std::vector<TAxisXLabel> AxisXLabels(int Divisions, int ScrollPosition, int ScrollMax, double XMax,
                                     int Width);

/// Where a curve's legend row goes: its lane and channel.
struct TLegendCurve {
    int Half = 0;
    int Channel = 0;
};
struct TTextPosition {
    int X = 0;
    int Y = 0;
    friend bool operator==(const TTextPosition&, const TTextPosition&) = default;
};
/// The top-left corner of every curve's legend row, or none for a curve without a row.
std::vector<std::optional<TTextPosition>> LegendPositions(int DisplayMode, int ChannelCount,
                                                          int Position, int FontSize, int Width,
                                                          int Height,
                                                          const std::vector<TLegendCurve>& Curves);

/// Left edge of a text of width TextWidth centred on column X.
int CentredLeft(double X, int TextWidth);

} // namespace tavrela
