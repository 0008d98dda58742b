#pragma once

#include "display/model/types.h"

#include <QString>

#include <cstdint>
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

/// Every how many x labels one is drawn so that no two drawn texts come closer than Gap
/// pixels: 1, 2, 5, 10, 20, 50, ... the first that fits. Label k (1-based) is drawn when k is
/// a multiple of the stride, so the chosen ones stay put while the view scrolls. Centres
/// ascend; Widths are the texts' measured widths.
int LabelStride(const std::vector<double>& Centres, const std::vector<int>& Widths, int Gap);

/// Rows for texts that must not run into each other (Lefts ascending): each takes the lowest
/// of MaxRows rows where it keeps Gap pixels from the text before it; -1 when none has room.
std::vector<int> StackedTextRows(const std::vector<int>& Lefts, const std::vector<int>& Widths,
                                 int Gap, int MaxRows);

/// Contrast ratio of two drawing colours (0xAARRGGBB, alpha ignored) as the web's
/// accessibility rules define it: 1 … 21.
double ContrastRatio(std::uint32_t A, std::uint32_t B);
/// `Text` darkened (on a light background) or lightened (on a dark one) in small steps until
/// it stands out from `Background` with at least `MinRatio`; unchanged when it already does.
/// Alpha is kept.
std::uint32_t ReadableTextColor(std::uint32_t Text, std::uint32_t Background, double MinRatio);

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
