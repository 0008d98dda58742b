#pragma once

#include <QFont>
#include <QString>

class QWidget;

namespace tavrela {

/// The application title: the main window's caption and the caption of every message box.
inline const QString kApplicationTitle = QStringLiteral("Tavrela - Zelvo Sistemas");

/// The family of the program's interface font: the bundled-with-the-system Tahoma, registered
/// on first use, or the nearest installed face when it is missing.
QString uiFontFamily();

/// The interface font at `pointSize` (the program's windows use 8 pt).
QFont uiFont(qreal pointSize = 8.0);

/// A modal message box with an OK button, captioned with the application title.
void showMessage(QWidget* parent, const QString& text);
/// The same with `details` (a reason) under the text.
void showMessage(QWidget* parent, const QString& text, const QString& details);

} // namespace tavrela
