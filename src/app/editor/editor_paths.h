#pragma once
// Paths the editor opens: files stored for the playout host relative to the program folder,
// and the file named on the command line.

#include <QString>

namespace tavrela {

/// A path stored for the playout host in its Windows form ("Vinhetas\file.mp3"), relative to
/// the program folder, as a local absolute path ("\" read as "/").
QString ProgramFilePath(const QString& storedRelativePath);

/// The command-line path as the editor opens it: used as given, relative paths resolved
/// against the working directory.
QString ResolveArgumentPath(const QString& argument);

} // namespace tavrela
