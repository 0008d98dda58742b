#pragma once
// Colour values as the host forms store them: 0x00BBGGRR for a plain colour, or 0xFF0000nn
// for "the system's colour number nn", resolved against the widget's palette when drawn.
#include <QColor>
#include <QPalette>

#include <cstdint>

namespace tavrela {

using TColor = std::uint32_t;

inline constexpr TColor clBtnFace = 0xFF00000F;
inline constexpr TColor clBtnShadow = 0xFF000010;
inline constexpr TColor clWindow = 0xFF000005;
inline constexpr TColor clWindowText = 0xFF000008;

/// The colour a TColor stands for, with system colours taken from `palette`.
QColor ColorToQColor(TColor color, const QPalette& palette);

} // namespace tavrela
