#include "program_folder.h"

#include "jingle_settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace tavrela {

QString programFolderFrom(const QString& home, const QString& executableFolder,
                          const QString& systemFolder) {
    if (!home.isEmpty()) {
        return QDir::cleanPath(QDir(home).absolutePath());
    }
    // A playout host keeps its settings beside the executable (and so does the build tree);
    // an installed executable in bin/ has none there and reads the machine's settings.
    if (QFileInfo(QDir(executableFolder).filePath(kSettingsFileName)).isFile()) {
        return QDir::cleanPath(executableFolder);
    }
    return QDir::cleanPath(systemFolder);
}

QString programFolder() {
    return programFolderFrom(qEnvironmentVariable("TAVRELA_HOME"),
                             QCoreApplication::applicationDirPath(), kSystemProgramFolder);
}

} // namespace tavrela
