#pragma once

#include <QString>

namespace tavrela {

/// The program folder, holding the settings file and the jingle folder: the folder named by
/// the environment variable TAVRELA_HOME when it is set and not empty, otherwise the folder
/// of the running executable. Never ends with a separator.
QString programFolder();

} // namespace tavrela
