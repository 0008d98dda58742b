#pragma once
// Audio fixtures for the editor's tests, made at test time with sox and lame, and ID3v2.3 tags
// assembled byte by byte.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <utility>
#include <vector>

namespace tavrela::testing {

/// Runs a program to completion; true when it exits 0.
bool RunTool(const QString& program, const QStringList& arguments);

/// A sine sweep of `seconds` seconds with `channels` channels at `rate` Hz as a WAV file.
QString MakeWav(const QTemporaryDir& dir, const QString& name, double seconds, int channels,
                int rate = 44100);

/// The same as an MP3 (lame, 128 kbit/s CBR unless `lameArgs` says otherwise). Mono and
/// stereo only (lame's limit).
QString MakeMp3(const QTemporaryDir& dir, const QString& name, double seconds, int channels,
                const QStringList& lameArgs = {});

/// An ID3v2.3 tag holding text frames (encoding 0, Latin-1 text) and, for the id "COMM", a
/// comment frame.
QByteArray Id3v23Tag(const std::vector<std::pair<QByteArray, QString>>& frames);

/// Puts `tag` in front of the file's bytes.
void PrependToFile(const QString& path, const QByteArray& tag);

QByteArray ReadAll(const QString& path);

} // namespace tavrela::testing
