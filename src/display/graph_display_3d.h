#pragma once
// The waveform display widget: a drawing panel with a logo picture, and a standard or flat
// horizontal scroll bar below it. Properties, events and operations are those of
// TGraphDisplayCore; this class adds the widgets and their properties.
#include "controls/scrollbar/tcolor.h"
#include "graph_display_core.h"
#include "panel_sample.h"
#include "sample_scroll_bars.h"
#include "silent_abort.h"

#include <QFrame>
#include <QPixmap>

namespace tavrela {

/// Outer bevel of the control.
enum TBevelCut : std::uint8_t { bvNone, bvLowered, bvRaised, bvSpace };

class TGraphDisplay3D : public QFrame, public TGraphDisplayCore {
public:
    explicit TGraphDisplay3D(QWidget* parent = nullptr);
    ~TGraphDisplay3D() override;

    TPanelSample* Panel() const { return FPanel; }
    TSamplePicture* Picture() const { return FPanel->Picture(); }
    TSampleScrollBar* ScrollBar() const { return FScrollBar; }
    TSampleFlatScrollBar* FlatScrollBar() const { return FFlatScrollBar; }

    /// Height of the standard bar; setting it sets both bars (flat first).
    int ScrollBarHeight() const;
    void SetScrollBarHeight(int Value);
    /// Shows the chosen bar, unless the logo is still shown.
    void SetScrollBarType(TGraphDisplayScrollBarType Value) override;
    QString Caption() const { return FPanel->Caption(); }
    void SetCaption(const QString& Value) { FPanel->SetCaption(Value); }
    TColor Panel3DColor() const { return FPanel->Color(); }
    void SetPanel3DColor(TColor Value) { FPanel->SetColor(Value); }
    QPixmap Panel3DPicture() const;
    void SetPanel3DPicture(const QPixmap& Value);
    bool Panel3DPictureVisible() const { return !Picture()->isHidden(); }
    void SetPanel3DPictureVisible(bool Value) { Picture()->setVisible(Value); }
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut Value);

    /// Shows the logo picture again.
    void ShowLogo() { Picture()->show(); }
    /// Hides the logo and shows the chosen scroll bar (a device now draws on the panel).
    void ShowDrawingSurface();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    IScrollBarControl& StandardScrollBar() override { return *FScrollBar; }
    const IScrollBarControl& StandardScrollBar() const override { return *FScrollBar; }
    IScrollBarControl& FlatScrollBarControl() override { return *FFlatScrollBar; }
    int PanelWidth() const override { return FPanel->width(); }
    int PanelHeight() const override { return FPanel->height(); }
    TPanelDragState& PanelState() override { return *FPanel; }
    void SetPanelCursor(TPanelCursor Cursor) override;
    QObject* SelfObject() override { return this; }
    QObject* ParentObject() override { return parent(); }
    QObject* PanelObject() override { return FPanel; }
    void FocusKeyTarget() override;
    bool MayTakeFocusOnMove() const override;
    void InvalidatePanel() override { FPanel->update(); }

private:
    TPanelSample* FPanel;
    TSampleScrollBar* FScrollBar;
    TSampleFlatScrollBar* FFlatScrollBar;
    TBevelCut FBevelOuter = bvLowered;
};

} // namespace tavrela
