#pragma once

#include "types.h"

namespace tavrela {

/// Converts a host colour (0x??BBGGRR) to the renderer's 0xAARRGGBB. The alpha byte comes
/// out as (green - 1) mod 256, not 255: translucent drawing (the selection band) relies on
/// exactly that value, so it is kept rather than forced opaque.
constexpr TD3DColor ColorToD3D(TColor Color) {
    const std::uint32_t bgr = Color & 0x00FFFFFFu;
    const std::uint32_t shifted = bgr << 16; // 0xGGRR0000, wraps modulo 2^32
    return shifted + ((shifted >> 24) << 8) + (bgr >> 16) - 0x01000000u;
}

} // namespace tavrela
