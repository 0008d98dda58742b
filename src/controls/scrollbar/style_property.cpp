#include "style_property.h"

namespace tavrela {

namespace {

Qt::BrushStyle toQt(TBrushStyle style) {
    switch (style) {
    case bsClear:
        return Qt::NoBrush;
    case bsHorizontal:
        return Qt::HorPattern;
    case bsVertical:
        return Qt::VerPattern;
    case bsFDiagonal:
        return Qt::FDiagPattern;
    case bsBDiagonal:
        return Qt::BDiagPattern;
    case bsCross:
        return Qt::CrossPattern;
    case bsDiagCross:
        return Qt::DiagCrossPattern;
    case bsSolid:
    default:
        return Qt::SolidPattern;
    }
}

} // namespace

QBrush MakeBrush(TColor color, TBrushStyle style, const QImage& pattern, const QPalette& palette) {
    if (!pattern.isNull()) {
        return QBrush(pattern);
    }
    return QBrush(ColorToQColor(color, palette), toQt(style));
}

void TStateStyleProperty::changed() {
    if (OnChange) {
        OnChange(*this);
    }
}

void TStateStyleProperty::SetColor(TElementState state, TColor value) {
    if (Colors[index(state)] != value) {
        Colors[index(state)] = value;
        changed();
    }
}

void TStateStyleProperty::SetStyle(TElementState state, TBrushStyle value) {
    if (Styles[index(state)] != value) {
        Styles[index(state)] = value;
        changed();
    }
}

void TStateStyleProperty::SetPattern(TElementState state, const QImage& value) {
    // A deep copy: the caller's picture may change or go away afterwards.
    Patterns[index(state)] = value.copy();
    changed();
}

void TStateStyleProperty::Assign(const TStateStyleProperty& other) {
    if (&other == this) {
        return;
    }
    for (auto s : {TElementState::Cold, TElementState::Hot, TElementState::Down}) {
        SetColor(s, other.Color(s));
        SetStyle(s, other.Style(s));
        SetPattern(s, other.Pattern(s));
    }
}

QBrush TStateStyleProperty::Brush(TElementState state, const QPalette& palette) const {
    return MakeBrush(Color(state), Style(state), Pattern(state), palette);
}

TStyleProperty::TStyleProperty(TFatScrollBar* owner) : OwnerBar(owner) {
    auto forward = [this](TStateStyleProperty&) {
        if (OnChange) {
            OnChange(*this);
        }
    };
    BorderStyle.OnChange = forward;
    FillStyle.OnChange = forward;
}

} // namespace tavrela
