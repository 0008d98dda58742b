#pragma once

#include "render_resource.h"
#include "types.h"

#include <QString>

namespace tavrela {

class TGraphDisplayItem;
class TGraphDisplayItemAxis;

/// A font description kept by the model; the renderer makes its text object from it.
struct TGraphDisplayFont {
    QString Name = QStringLiteral("Tahoma");
    int Size = 12;           ///< in points; the renderer draws text this many units high
    TColor Color = 0xFFFFFF; ///< text colour
    std::uint8_t Style = 0;  ///< TFontStyle bits
    friend bool operator==(const TGraphDisplayFont&, const TGraphDisplayFont&) = default;
};

/// Settings both axes share: label font and format, label side, grid.
class TGraphDisplayItemAxisBase {
public:
    explicit TGraphDisplayItemAxisBase(TGraphDisplayItemAxis* AOwner) : Owner(AOwner) {}
    TGraphDisplayItemAxisBase(const TGraphDisplayItemAxisBase&) = delete;
    TGraphDisplayItemAxisBase& operator=(const TGraphDisplayItemAxisBase&) = delete;

    TGraphDisplayFont Font;
    TFloatFormat Format = ffGeneral; ///< default label text: format, precision, digits
    int Precision = 7;
    int Digits = 4;
    std::uint8_t LabelSide = 2; ///< y: 0 left, 1 right, 2 both; x: 0 bottom, 1 top, 2 both
    bool LabelsVisible = true;
    int Divisions = 10;                   ///< grid divisions
    std::uint32_t GridColor = 0xFF444444; ///< low 24 bits used, as a TColor
    bool GridVisible = true;
    TRenderHandle D3DFont; ///< text object, made by the renderer

    TGraphDisplayItemAxis* const Owner;
};

/// Vertical axis settings of a pane.
class TGraphDisplayItemAxisY : public TGraphDisplayItemAxisBase {
public:
    using TGraphDisplayItemAxisBase::TGraphDisplayItemAxisBase;

    /// 0: each curve spans its largest absolute value; 1: as 0, labels from the smallest
    /// range; 2: span (largest - smallest absolute value), shifted by the smallest;
    /// 3: fixed span Max - Min, shifted by Min.
    std::uint8_t ScaleMode = 0;
    double Max = 1.0; ///< upper value for ScaleMode 3
    double Min = 0.0; ///< lower value for ScaleMode 3
};

/// Horizontal axis settings of a pane.
class TGraphDisplayItemAxisX : public TGraphDisplayItemAxisBase {
public:
    using TGraphDisplayItemAxisBase::TGraphDisplayItemAxisBase;
};

/// Both axes of a pane and whether their lines are drawn.
class TGraphDisplayItemAxis {
public:
    explicit TGraphDisplayItemAxis(TGraphDisplayItem* AOwner) : Owner(AOwner) {}
    TGraphDisplayItemAxis(const TGraphDisplayItemAxis&) = delete;
    TGraphDisplayItemAxis& operator=(const TGraphDisplayItemAxis&) = delete;

    TGraphDisplayItem* const Owner;
    // Declared Y before X: members are destroyed in reverse, X first.
    TGraphDisplayItemAxisY AxisY{this};
    TGraphDisplayItemAxisX AxisX{this};
    bool Visible = true; ///< the axis line of each lane is drawn
};

/// Legend of a pane: lists the curves' captions.
class TGraphDisplayItemLegend {
public:
    explicit TGraphDisplayItemLegend(TGraphDisplayItem* AOwner) : Owner(AOwner) {}
    TGraphDisplayItemLegend(const TGraphDisplayItemLegend&) = delete;
    TGraphDisplayItemLegend& operator=(const TGraphDisplayItemLegend&) = delete;

    TGraphDisplayFont Font;
    std::uint8_t Position = 0; ///< 0 top left, 1 top right, 2 bottom left, 3 bottom right
    bool Visible = true;
    TRenderHandle D3DFont;

    TGraphDisplayItem* const Owner;
};

/// Caption of a pane, drawn centred at its top.
class TGraphDisplayItemCaption {
public:
    explicit TGraphDisplayItemCaption(TGraphDisplayItem* AOwner) : Owner(AOwner) { Font.Size = 14; }
    TGraphDisplayItemCaption(const TGraphDisplayItemCaption&) = delete;
    TGraphDisplayItemCaption& operator=(const TGraphDisplayItemCaption&) = delete;

    TGraphDisplayFont Font;
    QString Text;
    bool Visible = true;
    TRenderHandle D3DFont;

    TGraphDisplayItem* const Owner;
};

} // namespace tavrela
