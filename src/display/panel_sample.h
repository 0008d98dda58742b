#pragma once
// The display's drawing surface and the logo picture that covers it until drawing starts.
#include "controls/scrollbar/tcolor.h"
#include "display/render/render_panel.h"
#include "graph_display_core.h"

#include <QLabel>
#include <QWidget>

#include <functional>

namespace tavrela {

class TPanelSample;

/// The logo: a stretched picture over the whole panel. It only reports pointer and key
/// events to the host.
class TSamplePicture : public QLabel {
public:
    TSamplePicture(TGraphDisplayCore* Display, TPanelSample* Panel);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TGraphDisplayCore* Display;
};

/// The surface the frames are drawn on and that receives the pointer. Its caption shows
/// only where nothing is drawn over it.
class TPanelSample : public TRenderPanel, public TPanelDragState {
public:
    explicit TPanelSample(TGraphDisplayCore* Display, QWidget* parent);

    TSamplePicture* Picture() const { return FPicture; }
    QString Caption() const { return Text(); }
    void SetCaption(const QString& Value) { SetText(Value); }
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);

    /// The panel's resize event.
    std::function<void()> OnResize;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TGraphDisplayCore* Display;
    TSamplePicture* FPicture;
    TColor FColor = clBtnFace;
};

} // namespace tavrela
