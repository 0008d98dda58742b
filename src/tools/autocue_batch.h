#pragma once
// The library commands of tavrela-tag: proposed start, end and mix points written into many
// files at once (autocue), and their loudness (loudness). Every core is used; every write
// goes through the tag facade's save, as the editor's.

#include <analysis/audio_analysis.h>
#include <analysis/autocue.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tavrela::tools {

/// Decodes a whole file (WAV, MP3 and the other stream formats) and measures it; empty with
/// `error` set when it cannot be decoded.
std::optional<analysis::AudioAnalysis> AnalyzeFile(const std::filesystem::path& file,
                                                   analysis::AnalysisOptions options,
                                                   std::string* error = nullptr);

/// The stored time text of frame `frame`, as the editor's save writes a marker there: its
/// byte position on the scale of the tag's duration in whole seconds, at most 8 characters.
std::string StoredMarkerText(std::uint64_t frame, const analysis::AudioAnalysis& a,
                             std::int64_t durationSeconds);

/// The files named by `paths`: files as given, folders searched recursively for MP3 and WAV
/// files (sorted); paths that do not exist are returned in `missing`.
std::vector<std::filesystem::path> CollectAudioFiles(const std::vector<std::string>& paths,
                                                     std::vector<std::string>& missing);

/// The autocue settings of the settings file in the program folder (TAVRELA_HOME, else the
/// executable's folder); the defaults when there is no file. Problems go to `problems`.
analysis::AutocueSettings ProgramFolderAutocueSettings(std::string* problems);

/// `tavrela-tag autocue ARGS...` and `tavrela-tag loudness ARGS...`: exit status 0 (all
/// done or skipped), 1 (a file failed), 2 (usage). `progress` is the terminal's stream for
/// the progress line, or null.
int RunAutocue(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               std::ostream* progress);
int RunLoudness(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                std::ostream* progress);

extern const char* const kAutocueUsage;

} // namespace tavrela::tools
