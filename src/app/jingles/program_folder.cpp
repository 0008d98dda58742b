#include "program_folder.h"

#include <QCoreApplication>
#include <QDir>

namespace tavrela {

QString programFolder() {
    const QString home = qEnvironmentVariable("TAVRELA_HOME");
    if (!home.isEmpty()) {
        return QDir::cleanPath(QDir(home).absolutePath());
    }
    return QCoreApplication::applicationDirPath();
}

} // namespace tavrela
