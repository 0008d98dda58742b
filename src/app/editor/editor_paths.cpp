#include "editor_paths.h"

#include <app/jingles/program_folder.h>

#include <QDir>
#include <QFileInfo>

namespace tavrela {

QString ProgramFilePath(const QString& storedRelativePath) {
    QString relative = storedRelativePath;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(programFolder() + QLatin1Char('/') + relative);
}

QString ResolveArgumentPath(const QString& argument) {
    if (argument.isEmpty()) {
        return argument;
    }
    return QFileInfo(argument).absoluteFilePath();
}

} // namespace tavrela
