#pragma once
// Proposed cue points from a stream's measurements: where the audio starts and ends, and
// where its ending has faded far enough below its own loudness for the next song to start.

#include "analysis/audio_analysis.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tavrela::analysis {

/// The thresholds of the proposals. The defaults and their reasons are in the README.
struct AutocueSettings {
    /// Start and end of audio: where the 10 ms RMS level of the loudest channel rises above,
    /// and last falls below, this level.
    double thresholdDbfs = -40.0;
    /// Mix point: this far below the integrated loudness, held until the end of audio.
    double mixDropLu = 10.0;
    /// Mix point: never earlier than this long before the end of audio.
    double mixSearchSeconds = 30.0;

    bool operator==(const AutocueSettings&) const = default;
};

/// Proposed frames; empty when the stream never rises above the threshold.
struct CueProposal {
    std::optional<std::uint64_t> startFrame;
    std::optional<std::uint64_t> endFrame; ///< the first frame after the audio
    std::optional<std::uint64_t> mixFrame;
    bool coldEnding = false; ///< no fade: the mix point is the end of audio

    bool operator==(const CueProposal&) const = default;
};

CueProposal ProposeCues(const AudioAnalysis& analysis, const AutocueSettings& settings);

/// Where the settings live in the settings file, and their keys.
inline constexpr const char* kAutocueSection = "MARCACAO_AUTOMATICA";
inline constexpr const char* kThresholdKey = "LIMIAR_DBFS";
inline constexpr const char* kMixDropKey = "MIXAGEM_LU";
inline constexpr const char* kMixSearchKey = "MIXAGEM_BUSCA_SEG";

/// A setting's number: "." or "," as the decimal separator, blanks around it allowed.
std::optional<double> ParseSettingNumber(const std::string& text);

/// The settings as the file gives them: `value(key)` returns the raw text of a key of the
/// section, or nothing. Keys that are absent keep `base`; a key whose value is not a number
/// in its range keeps `base` too and is named in `problems` (when given).
AutocueSettings ReadAutocueSettings(
    const std::function<std::optional<std::string>(const char* key)>& value,
    AutocueSettings base = {}, std::string* problems = nullptr);

/// Checks one setting; empty when `v` is acceptable for `key`, else why not.
std::string CheckAutocueSetting(const std::string& key, double v);

} // namespace tavrela::analysis
