#pragma once
// Per-state colours, brush styles and patterns of the flat scroll bar's elements.
#include "tcolor.h"

#include <QBrush>
#include <QImage>

#include <array>
#include <cstdint>
#include <functional>

namespace tavrela {

enum TBrushStyle : std::uint8_t {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};

/// Visual state of one element of the bar.
enum class TElementState : std::uint8_t { Cold = 0, Hot = 1, Down = 2 };

/// Brush for a colour and style, or for a pattern when the pattern is not empty.
QBrush MakeBrush(TColor color, TBrushStyle style, const QImage& pattern, const QPalette& palette);

/// Colour, brush style and pattern for each of the three states.
class TStateStyleProperty {
public:
    TColor Color(TElementState state) const { return Colors[index(state)]; }
    TBrushStyle Style(TElementState state) const { return Styles[index(state)]; }
    const QImage& Pattern(TElementState state) const { return Patterns[index(state)]; }
    /// Each setter fires OnChange; colours and styles only when the value differs.
    void SetColor(TElementState state, TColor value);
    void SetStyle(TElementState state, TBrushStyle value);
    /// Copies the given picture; always fires OnChange.
    void SetPattern(TElementState state, const QImage& value);
    /// Takes every value of `other` through the setters above.
    void Assign(const TStateStyleProperty& other);

    TColor ColorCold() const { return Color(TElementState::Cold); }
    TColor ColorHot() const { return Color(TElementState::Hot); }
    TColor ColorDown() const { return Color(TElementState::Down); }
    void SetColorCold(TColor v) { SetColor(TElementState::Cold, v); }
    void SetColorHot(TColor v) { SetColor(TElementState::Hot, v); }
    void SetColorDown(TColor v) { SetColor(TElementState::Down, v); }
    TBrushStyle StyleCold() const { return Style(TElementState::Cold); }
    TBrushStyle StyleHot() const { return Style(TElementState::Hot); }
    TBrushStyle StyleDown() const { return Style(TElementState::Down); }
    void SetStyleCold(TBrushStyle v) { SetStyle(TElementState::Cold, v); }
    void SetStyleHot(TBrushStyle v) { SetStyle(TElementState::Hot, v); }
    void SetStyleDown(TBrushStyle v) { SetStyle(TElementState::Down, v); }
    const QImage& PatternCold() const { return Pattern(TElementState::Cold); }
    const QImage& PatternHot() const { return Pattern(TElementState::Hot); }
    const QImage& PatternDown() const { return Pattern(TElementState::Down); }
    void SetPatternCold(const QImage& v) { SetPattern(TElementState::Cold, v); }
    void SetPatternHot(const QImage& v) { SetPattern(TElementState::Hot, v); }
    void SetPatternDown(const QImage& v) { SetPattern(TElementState::Down, v); }

    /// The brush to paint with in `state`: the pattern when set, else colour and style.
    QBrush Brush(TElementState state, const QPalette& palette) const;

    std::function<void(TStateStyleProperty& sender)> OnChange;

private:
    static std::size_t index(TElementState s) { return static_cast<std::size_t>(s); }
    void changed();

    std::array<TColor, 3> Colors{};
    std::array<TBrushStyle, 3> Styles{bsSolid, bsSolid, bsSolid};
    std::array<QImage, 3> Patterns;
};

class TFatScrollBar;

/// Border and fill of one kind of element.
class TStyleProperty {
public:
    explicit TStyleProperty(TFatScrollBar* owner = nullptr);
    TStyleProperty(const TStyleProperty&) = delete;
    TStyleProperty& operator=(const TStyleProperty&) = delete;

    TStateStyleProperty& Border() { return BorderStyle; }
    const TStateStyleProperty& Border() const { return BorderStyle; }
    TStateStyleProperty& Fill() { return FillStyle; }
    const TStateStyleProperty& Fill() const { return FillStyle; }
    void SetBorder(const TStateStyleProperty& value) { BorderStyle.Assign(value); }
    void SetFill(const TStateStyleProperty& value) { FillStyle.Assign(value); }
    TFatScrollBar* Owner() const { return OwnerBar; }

    /// Fired for every change of Border or Fill.
    std::function<void(TStyleProperty& sender)> OnChange;

private:
    TFatScrollBar* OwnerBar;
    TStateStyleProperty BorderStyle;
    TStateStyleProperty FillStyle;
};

} // namespace tavrela
