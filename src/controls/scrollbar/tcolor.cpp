#include "tcolor.h"

namespace tavrela {

namespace {

// System colour numbers of the platform the stored values come from, mapped to the nearest
// role of a Qt palette.
QPalette::ColorRole systemColorRole(unsigned index) {
    switch (index) {
    case 1:  // desktop
    case 2:  // active caption
    case 13: // highlight
        return QPalette::Highlight;
    case 9:  // caption text
    case 14: // highlight text
        return QPalette::HighlightedText;
    case 4: // menu
    case 5: // window
        return QPalette::Base;
    case 6:  // window frame
    case 21: // 3D dark shadow
        return QPalette::Shadow;
    case 16: // button shadow
        return QPalette::Dark;
    case 17: // grey text
        return QPalette::PlaceholderText;
    case 18: // button text
        return QPalette::ButtonText;
    case 20: // button highlight
        return QPalette::Light;
    case 22: // 3D light
        return QPalette::Midlight;
    case 23: // info text
        return QPalette::ToolTipText;
    case 24: // info background
        return QPalette::ToolTipBase;
    case 7: // menu text
    case 8: // window text
        return QPalette::WindowText;
    case 15: // button face
    default:
        return QPalette::Button;
    }
}

} // namespace

QColor ColorToQColor(TColor color, const QPalette& palette) {
    if ((color & 0xFF000000u) == 0xFF000000u) {
        return palette.color(QPalette::Active, systemColorRole(color & 0xFFu));
    }
    return QColor(static_cast<int>(color & 0xFFu), static_cast<int>((color >> 8) & 0xFFu),
                  static_cast<int>((color >> 16) & 0xFFu));
}

} // namespace tavrela
