#pragma once

#include "display/model/types.h"

#include <cstdint>

namespace tavrela {

/// The vertex record of every vertex buffer of the display: position and diffuse colour.
struct TCustomVertex {
    float X = 0.0f;
    float Y = 0.0f;
    float Z = 0.0f;
    TD3DColor Color = 0; ///< 0xAARRGGBB
    friend bool operator==(const TCustomVertex&, const TCustomVertex&) = default;
};
static_assert(sizeof(TCustomVertex) == 16, "a vertex is 16 bytes: X, Y, Z, Color");

/// Vertex format code of TCustomVertex: position (0x02) plus diffuse colour (0x40).
inline constexpr std::uint32_t kCustomVertexFormat = 0x42;

} // namespace tavrela
