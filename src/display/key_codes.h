#pragma once
// The display reports keys to its host as platform virtual key codes (32 space, 107 and
// 109 the numeric-pad plus and minus, 37-40 the arrows, ...), which hosts may rewrite.
#include <cstdint>

class QKeyEvent;

namespace tavrela {

/// The virtual key code of a Qt key press; 0 for keys without one.
std::uint16_t VirtualKeyFromQt(const QKeyEvent& Event);

} // namespace tavrela
