#pragma once

#include <QString>

namespace tavrela {

/// The machine-wide program folder of an installed program.
inline const QString kSystemProgramFolder = QStringLiteral("/etc/tavrela");

/// The program folder, holding the settings file and the jingle folder, chosen in this order:
/// `home` (the environment variable TAVRELA_HOME) when it is not empty; the folder of the
/// executable when it holds the settings file; otherwise `systemFolder`. Never ends with a
/// separator.
QString programFolderFrom(const QString& home, const QString& executableFolder,
                          const QString& systemFolder);

/// The program folder of this process: programFolderFrom() with TAVRELA_HOME, the running
/// executable's folder and kSystemProgramFolder.
QString programFolder();

} // namespace tavrela
