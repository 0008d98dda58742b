#pragma once
// The small modeless window shown while a file is decoded: a caption and a progress bar.

#include <QWidget>

class QProgressBar;

namespace tavrela {

class TfrmCarregando final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmCarregando(QWidget* owner = nullptr);

    /// Sets the percentage (0-100). The bar shows it the next time events are processed:
    /// the bar repaints synchronously on every change, and a decode moves it far more
    /// often than a screen can show.
    void SetProgress(int percent);
    /// The percentage last set.
    int Progress() const { return FProgress; }

    QProgressBar* ProgressBar1 = nullptr;

protected:
    // The operator cannot close it; it goes away when the decode ends.
    void closeEvent(QCloseEvent* event) override;

private:
    int FProgress = 0;
    bool FShowQueued = false;
};

} // namespace tavrela
