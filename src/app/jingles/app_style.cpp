#include "app_style.h"

#include <QFile>
#include <QFontDatabase>
#include <QMessageBox>

namespace tavrela {
namespace {

// Debian's fonts-wine ships a free Tahoma outside fontconfig's search path.
constexpr const char* kTahomaFiles[] = {"/usr/share/wine/fonts/tahoma.ttf",
                                        "/usr/share/wine/fonts/tahomabd.ttf"};

QString registerFonts() {
    QString family;
    for (const char* path : kTahomaFiles) {
        if (!QFile::exists(QString::fromUtf8(path))) {
            continue;
        }
        const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(path));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (family.isEmpty() && !families.isEmpty()) {
            family = families.front();
        }
    }
    if (family.isEmpty()) {
        family = QFontDatabase::hasFamily(QStringLiteral("Tahoma")) ? QStringLiteral("Tahoma")
                                                                    : QStringLiteral("DejaVu Sans");
    }
    return family;
}

} // namespace

QString uiFontFamily() {
    // Registered once per process, on the GUI thread that first asks.
    static const QString family = registerFonts();
    return family;
}

QFont uiFont(qreal pointSize) {
    QFont font(uiFontFamily());
    font.setPointSizeF(pointSize);
    return font;
}

void showMessage(QWidget* parent, const QString& text) {
    showMessage(parent, text, {});
}

void showMessage(QWidget* parent, const QString& text, const QString& details) {
    QMessageBox box(QMessageBox::NoIcon, kApplicationTitle, text, QMessageBox::Ok, parent);
    box.setInformativeText(details);
    box.exec();
}

} // namespace tavrela
