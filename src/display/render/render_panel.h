#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

namespace tavrela {

/// The surface a display's frames appear on. It shows the last presented frame stretched
/// over its area (a frame keeps the size of the device that drew it until the device is
/// re-made) and, before any frame, its background colour with its text centred.
/// Pointer and key handling belong to the display, which watches this widget.
class TRenderPanel : public QWidget {
    Q_OBJECT
public:
    explicit TRenderPanel(QWidget* Parent = nullptr);

    /// Shows a presented frame (device pixels, with its device pixel ratio).
    void ShowFrame(const QImage& Frame);
    /// Drops the frame: the background and text show again.
    void ClearFrame();
    bool HasFrame() const { return !FFrame.isNull(); }
    const QImage& Frame() const { return FFrame; }

    /// Text shown where no frame covers the panel.
    QString Text() const { return FText; }
    void SetText(const QString& Text);

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QImage FFrame;
    QString FText;
};

} // namespace tavrela
