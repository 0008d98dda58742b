#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>

class QWindow;

namespace tavrela {

class TSurfaceWindow;

/// The surface a display's frames appear on. Once the panel is shown, frames go straight to
/// a native drawing surface laid over it (DirectSurface), so nothing is read back from the
/// graphics memory per frame; before that, and wherever the platform cannot draw on such a
/// surface, a presented frame is read back and painted: stretched over the panel's area (a
/// frame keeps the size of the device that drew it until the device is re-made). Before any
/// frame the panel shows its background colour with its text centred.
/// Pointer and key handling belong to the display, which watches this widget: the drawing
/// surface lets every input event through to it.
class TRenderPanel : public QWidget {
    Q_OBJECT
public:
    explicit TRenderPanel(QWidget* Parent = nullptr);
    ~TRenderPanel() override;

    /// Shows a presented frame (device pixels, with its device pixel ratio).
    void ShowFrame(const QImage& Frame);
    /// Drops the frame: the background and text show again.
    void ClearFrame();
    /// Whether a frame is shown (painted or on the drawing surface).
    bool HasFrame() const { return !FFrame.isNull() || FDirectFrames; }
    /// The frame shown, read back from the device when it went straight to the surface.
    QImage Frame() const;

    /// Text shown where no frame covers the panel.
    QString Text() const { return FText; }
    void SetText(const QString& Text);

    /// When frames go straight to a drawing surface: Automatic where the graphics processor
    /// draws (a software rasteriser's frames are read back: that costs it less than the
    /// window system's presentation), Always, or Never.
    enum class TDirectPresentation { Automatic, Always, Never };
    TDirectPresentation DirectPresentation() const { return FDirectMode; }
    void SetDirectPresentation(TDirectPresentation Mode);
    /// The drawing surface over the panel, made when first asked for while the panel is
    /// visible; nullptr while hidden or where direct presentation is off or has failed.
    QWindow* DirectSurface();
    /// A frame went to the drawing surface.
    void DirectFrameShown();
    /// The platform cannot draw on the surface: frames are painted from now on.
    void DirectPresentationFailed();
    /// Reads the last frame back from the device that drew it (for Frame()).
    void SetFrameReader(std::function<QImage()> Reader) { FReader = std::move(Reader); }
    /// Called when the drawing surface is (again) on screen and needs its picture.
    std::function<void()> OnSurfaceExposed;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    void DropSurface();

    QImage FFrame;
    QString FText;
    TDirectPresentation FDirectMode = TDirectPresentation::Automatic;
    bool FDirectFailed = false;
    bool FDirectFrames = false;
    TSurfaceWindow* FSurface = nullptr; // owned by FContainer
    QWidget* FContainer = nullptr;
    std::function<QImage()> FReader;
};

} // namespace tavrela
