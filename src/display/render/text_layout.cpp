#include "text_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace tavrela {

namespace {

// Significant digits and decimal exponent of |Value| rounded to Precision digits:
// Value = 0.d1d2d3... x 10^(Exponent + 1).
struct TDecimal {
    QString Digits; // without trailing zeros, at least one digit
    int Exponent = 0;
};

TDecimal Decompose(double Value, int Precision) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", Precision - 1, std::fabs(Value));
    const char* e = std::strchr(buf, 'e');
    TDecimal d;
    d.Exponent = std::atoi(e + 1);
    for (const char* p = buf; p < e; ++p) {
        if (*p >= '0' && *p <= '9') {
            d.Digits += QLatin1Char(*p);
        }
    }
    while (d.Digits.size() > 1 && d.Digits.endsWith(QLatin1Char('0'))) {
        d.Digits.chop(1);
    }
    return d;
}

QString ExponentText(int Exponent, int MinDigits, bool AlwaysSign) {
    QString s = QString::number(std::abs(Exponent));
    while (s.size() < MinDigits) {
        s.prepend(QLatin1Char('0'));
    }
    if (Exponent < 0) {
        s.prepend(QLatin1Char('-'));
    } else if (AlwaysSign) {
        s.prepend(QLatin1Char('+'));
    }
    return QLatin1Char('E') + s;
}

QString Scientific(const TDecimal& d, int MinExpDigits, bool AlwaysSign, int MinMantissaDigits,
                   QChar Dec) {
    QString digits = d.Digits;
    while (digits.size() < MinMantissaDigits) {
        digits += QLatin1Char('0');
    }
    QString s = digits.left(1);
    if (digits.size() > 1) {
        s += Dec + digits.mid(1);
    }
    return s + ExponentText(d.Exponent, MinExpDigits, AlwaysSign);
}

QString Grouped(const QString& IntegerPart, QChar Sep) {
    QString out;
    const qsizetype n = IntegerPart.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) {
            out += Sep;
        }
        out += IntegerPart[i];
    }
    return out;
}

// Fixed notation with exactly Decimals digits after the separator.
QString Fixed(double Value, int Decimals, bool Group, QChar Dec, QChar Sep) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", Decimals, std::fabs(Value));
    QString s = QString::fromLatin1(buf);
    const qsizetype dot = s.indexOf(QLatin1Char('.'));
    QString ip = dot < 0 ? s : s.left(dot);
    const QString fp = dot < 0 ? QString() : s.mid(dot + 1);
    if (Group) {
        ip = Grouped(ip, Sep);
    }
    return fp.isEmpty() ? ip : ip + Dec + fp;
}

bool IsZeroText(const QString& s) {
    return std::all_of(s.begin(), s.end(), [](QChar c) { return !c.isDigit() || c == u'0'; });
}

} // namespace

QString FloatToStrF(double Value, TFloatFormat Format, int Precision, int Digits, QChar Dec,
                    QChar Sep) {
    if (std::isnan(Value)) {
        return QStringLiteral("NAN");
    }
    if (std::isinf(Value)) {
        return Value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    }
    Precision = std::clamp(Precision, 1, 18);
    Digits = std::clamp(Digits, 0, 18);
    const TDecimal d = Decompose(Value, Precision);
    QString body;
    switch (Format) {
    case ffExponent:
        body = Scientific(d, std::min(Digits, 4), true, Precision, Dec);
        break;
    case ffFixed:
    case ffNumber:
    case ffCurrency:
        if (d.Exponent + 1 > Precision) {
            body = Scientific(d, 0, false, 0, Dec);
        } else {
            body = Fixed(Value, Digits, Format != ffFixed, Dec, Sep);
        }
        break;
    case ffGeneral:
    default:
        if (Value == 0.0) {
            body = QStringLiteral("0");
        } else if (d.Exponent + 1 <= Precision && std::fabs(Value) >= 0.00001) {
            if (d.Exponent < 0) {
                body =
                    QLatin1Char('0') + Dec + QString(-d.Exponent - 1, QLatin1Char('0')) + d.Digits;
            } else if (d.Digits.size() <= d.Exponent + 1) {
                body = d.Digits + QString(d.Exponent + 1 - d.Digits.size(), QLatin1Char('0'));
            } else {
                body = d.Digits.left(d.Exponent + 1) + Dec + d.Digits.mid(d.Exponent + 1);
            }
        } else {
            body = Scientific(d, std::min(Digits, 4), false, 0, Dec);
        }
        break;
    }
    if (Value < 0 && !IsZeroText(body.section(QLatin1Char('E'), 0, 0))) {
        body.prepend(QLatin1Char('-'));
    }
    return body;
}

double AxisYScale(int ScaleMode, float MaxAmplitudeRange, float MinAmplitudeRange, double AxisMax,
                  double AxisMin, float AmplitudeFactor) {
    switch (ScaleMode) {
    case 1:
        return MinAmplitudeRange / AmplitudeFactor;
    case 3:
        return (AxisMax - AxisMin) / AmplitudeFactor;
    default:
        return MaxAmplitudeRange / AmplitudeFactor;
    }
}

std::vector<TAxisYLabel> AxisYLabels(const TAxisYLayoutInput& In) {
    std::vector<TAxisYLabel> out;
    const int n = In.Divisions;
    const double t = In.Scale;
    const double H = In.Height;
    const double half = In.FontSize / 2.0;
    auto up = [&](double centre, double reach, double base) {
        for (int i = 1; i <= n; ++i) {
            const double v = t / n * i;
            out.push_back({v + base, v + base, QLatin1Char('+'),
                           static_cast<int>(centre - reach * i / n - half)});
        }
    };
    auto down = [&](double centre, double reach) {
        for (int i = 1; i <= n; ++i) {
            const double v = t / n * i;
            out.push_back(
                {-v, v, QLatin1Char('-'), static_cast<int>(reach * i / n + centre - half)});
        }
    };
    switch (In.DisplayMode) {
    case 1: {
        const double base = In.ScaleMode == 2 ? In.MinAmplitudeOffset : In.AxisMin;
        up(H - 0.0275 * H, 0.945 * H, base);
        break;
    }
    case 2:
        up(H / 2, 0.945 * (H / 2), 0.0);
        down(H / 2, 0.945 * (H / 2));
        break;
    case 3: {
        const double upper = 1.035 * H / 4;
        const double lower = 0.99 * 3 * H / 4;
        up(upper, 0.93 * (H / 4), 0.0);
        down(upper, 0.93 * (H / 4));
        up(lower, 0.93 * (H / 4), 0.0);
        down(lower, 0.93 * (H / 4));
        break;
    }
    case 4: {
        const int q = In.ChannelCount;
        for (int l = 1; l <= q; ++l) {
            const double g = 0.78 * (H + 0.62 * H / q) / (2.0 * q) - 0.05 * H / q;
            const double centre = (H / q * l - g) * (q == 1 ? 1.195 : 0.965);
            up(centre, 0.9 * (H / (2.0 * q)), 0.0);
            down(centre, 0.9 * (H / (2.0 * q)));
        }
        break;
    }
    default:
        break;
    }
    return out;
}

std::vector<TAxisXLabel> AxisXLabels(int Divisions, int ScrollPosition, int ScrollMax, double XMax,
                                     int Width) {
    std::vector<TAxisXLabel> out;
    const int d = Divisions;
    if (d < 2 || ScrollMax == 0) {
        return out;
    }
    const double start = static_cast<double>(ScrollPosition) / ScrollMax * XMax;
    const double step = XMax / (ScrollMax / 600.0) / d;
    for (int i = 1; i <= d - 1; ++i) {
        out.push_back({start + i * step, static_cast<double>(Width) / d * i});
    }
    return out;
}

std::vector<std::optional<TTextPosition>> LegendPositions(int DisplayMode, int ChannelCount,
                                                          int Position, int FontSize, int Width,
                                                          int Height,
                                                          const std::vector<TLegendCurve>& Curves) {
    std::vector<std::optional<TTextPosition>> out(Curves.size());
    if (Position < 0 || Position > 3) {
        return out;
    }
    const int x = (Position == 0 || Position == 2) ? 75 : Width - 125;
    const bool top = Position <= 1;
    const double H = Height;
    const double row = 1.5 * FontSize;
    switch (DisplayMode) {
    case 1:
    case 2:
        for (std::size_t r = 0; r < Curves.size(); ++r) {
            const double y = row * static_cast<double>(r) + (top ? H / 15 : H / 1.25);
            out[r] = TTextPosition{x, static_cast<int>(y)};
        }
        break;
    case 3: {
        int upper = 0;
        int lower = 0;
        for (std::size_t c = 0; c < Curves.size(); ++c) {
            if (Curves[c].Half == 0) {
                const double y = row * upper++ + (top ? H / 15 : H / 2 - H / 7.25);
                out[c] = TTextPosition{x, static_cast<int>(y)};
            } else if (Curves[c].Half == 1) {
                const double y = row * lower++ + (top ? H / 2 + H / 15 : H - H / 7.25);
                out[c] = TTextPosition{x, static_cast<int>(y)};
            }
        }
        break;
    }
    case 4: {
        const int q = ChannelCount;
        if (q < 1) {
            break;
        }
        const double g = H / (4.0 * q);
        for (int l = 1; l <= q; ++l) {
            const double centre = (H / q * l - g) * 0.97;
            int r = 0;
            for (std::size_t c = 0; c < Curves.size(); ++c) {
                if (Curves[c].Channel != l - 1) {
                    continue;
                }
                ++r;
                const double y = row * r + (top ? centre - 1.9 * g : centre + 0.05 * g);
                out[c] = TTextPosition{x, static_cast<int>(y)};
            }
        }
        break;
    }
    default:
        break;
    }
    return out;
}

int LabelStride(const std::vector<double>& Centres, const std::vector<int>& Widths, int Gap) {
    const std::size_t n = std::min(Centres.size(), Widths.size());
    const auto fits = [&](std::size_t stride) {
        double lastRight = 0.0;
        bool first = true;
        for (std::size_t k = stride; k <= n; k += stride) {
            const double half = Widths[k - 1] / 2.0;
            if (!first && Centres[k - 1] - half < lastRight + Gap) {
                return false;
            }
            lastRight = Centres[k - 1] + half;
            first = false;
        }
        return true;
    };
    std::size_t stride = 1;
    for (int i = 0; stride < n && !fits(stride); ++i) {
        stride = (i % 3 == 0) ? stride * 2 : (i % 3 == 1) ? stride / 2 * 5 : stride * 2;
    }
    return static_cast<int>(stride);
}

std::vector<int> StackedTextRows(const std::vector<int>& Lefts, const std::vector<int>& Widths,
                                 int Gap, int MaxRows) {
    const std::size_t n = std::min(Lefts.size(), Widths.size());
    std::vector<int> rows(n, -1);
    // Right edge of the last text of each row.
    std::vector<long long> ends(static_cast<std::size_t>(std::max(0, MaxRows)),
                                std::numeric_limits<long long>::min() / 2);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t r = 0; r < ends.size(); ++r) {
            if (Lefts[i] >= ends[r] + Gap) {
                rows[i] = static_cast<int>(r);
                ends[r] = static_cast<long long>(Lefts[i]) + Widths[i];
                break;
            }
        }
    }
    return rows;
}

namespace {
double Linear(unsigned Channel) {
    const double c = Channel / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
double Luminance(std::uint32_t Color) {
    return 0.2126 * Linear((Color >> 16) & 0xFF) + 0.7152 * Linear((Color >> 8) & 0xFF) +
           0.0722 * Linear(Color & 0xFF);
}
} // namespace

double ContrastRatio(std::uint32_t A, std::uint32_t B) {
    const double a = Luminance(A);
    const double b = Luminance(B);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

std::uint32_t ReadableTextColor(std::uint32_t Text, std::uint32_t Background, double MinRatio) {
    const std::uint32_t alpha = Text & 0xFF000000u;
    Text &= 0xFFFFFFu;
    const bool lightBackground = Luminance(Background) > 0.18;
    std::uint32_t c = Text;
    // Darker: every channel an eighth down. Lighter: every channel an eighth up while none is
    // at full strength, then an eighth of the way to white. Scaling keeps the hue.
    for (int i = 0; i < 64 && ContrastRatio(c, Background) < MinRatio; ++i) {
        int ch[3] = {static_cast<int>((c >> 16) & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                     static_cast<int>(c & 0xFF)};
        const int top = std::max({ch[0], ch[1], ch[2]});
        for (int& v : ch) {
            if (lightBackground) {
                v -= (v + 7) / 8;
            } else if (top > 0 && top < 255) {
                v = std::min(255, v + v * ((top + 7) / 8) / top);
            } else {
                v += (255 - v + 7) / 8;
            }
        }
        const std::uint32_t next = static_cast<std::uint32_t>(std::clamp(ch[0], 0, 255)) << 16 |
                                   static_cast<std::uint32_t>(std::clamp(ch[1], 0, 255)) << 8 |
                                   static_cast<std::uint32_t>(std::clamp(ch[2], 0, 255));
        if (next == c) {
            break;
        }
        c = next;
    }
    return alpha | c;
}

int CentredLeft(double X, int TextWidth) {
    return static_cast<int>(X - TextWidth / 2);
}

} // namespace tavrela
