#pragma once
// Pictures of windows on a display other than the test process's own.

#include <QImage>
#include <QString>

namespace tavrela::testing {

/// The pixels of `Window` on X display `Display` (":N"); a null image when it cannot be read.
QImage GrabXWindow(const QString& Display, unsigned long Window);

} // namespace tavrela::testing
