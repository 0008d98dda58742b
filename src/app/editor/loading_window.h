#pragma once
// The small modeless window shown while a file is decoded: a caption and a progress bar.

#include <QWidget>

class QProgressBar;

namespace tavrela {

class TfrmCarregando final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmCarregando(QWidget* owner = nullptr);

    /// Shows the percentage (0-100) and paints it at once.
    void SetProgress(int percent);
    int Progress() const;

    QProgressBar* ProgressBar1 = nullptr;

protected:
    // The operator cannot close it; it goes away when the decode ends.
    void closeEvent(QCloseEvent* event) override;
};

} // namespace tavrela
