#pragma once

// Value types and enumerations shared by the display model, the display widget and its
// renderer. Pure: no Qt GUI, no GL.

#include <cstdint>

namespace tavrela {

/// A colour as the host stores it: 0x00BBGGRR (red in the low byte); the top byte is kept
/// but ignored when drawing.
using TColor = std::uint32_t;

/// A colour in the renderer's vertex order: 0xAARRGGBB.
using TD3DColor = std::uint32_t;

/// What the host's playback reports when the display asks.
enum TGraphDisplayPlayStatus : std::uint8_t { gdpsStoped, gdpsPlaying, gdpsPaused, gdpsRecording };

/// How vertices are processed by the device (kept for the host; the GL layer ignores it).
enum TD3DVertexProcessingMode : std::uint8_t { gd3dvpmSoftware, gd3dvpmHardware, gd3dvpmMixed };

/// Whether the vertex budget of a curve comes from the device's limit or from the host.
enum TD3DMaximumVertexCountMode : std::uint8_t { gd3dAutomaticMaximum, gd3dCustom };

/// What the geometry builder does with a curve's samples after building.
enum TGraphDisplaySamplesManagement : std::uint8_t { gdsmFlush, gdsmKeep };

/// The kind of marker change reported through the display's marker event.
enum TGraphDisplayMarkerChangeType : std::uint8_t {
    gdmctAdd,
    gdmctDelete,
    gdmctMove,
    gdmctHover,
    gdmctLeave
};

/// Which scroll bar the display shows.
enum TGraphDisplayScrollBarType : std::uint8_t { gdsbtWindows, gdsbtFlat };

/// Number format of the default axis labels.
enum TFloatFormat : std::uint8_t { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

/// Font style bits of a model font.
enum TFontStyle : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

/// An integer rectangle (right and bottom exclusive), as used for picture source areas.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

/// A 4 x 4 single-precision matrix, row-major, vectors as rows (v' = v x M).
struct TMatrix4 {
    float m[4][4] = {};

    static TMatrix4 Identity() {
        TMatrix4 r;
        for (int i = 0; i < 4; ++i) {
            r.m[i][i] = 1.0f;
        }
        return r;
    }
    friend bool operator==(const TMatrix4&, const TMatrix4&) = default;
};

/// The standard scroll bar's range when the display is created (one page of 600 units).
inline constexpr int kStandardScrollBarInitialMax = 600;

} // namespace tavrela
