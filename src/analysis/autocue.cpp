#include "analysis/autocue.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tavrela::analysis {
namespace {

// The loudness over time the mix point is judged on: EBU R128's momentary window (400 ms),
// centred on the block, so a fade is judged where it is and not 200 ms later.
constexpr int kMomentaryBlocks = 40;

// Momentary loudness (LUFS) of every block, from the blocks' weighted powers.
std::vector<double> CentredMomentary(const std::vector<float>& power) {
    const std::size_t n = power.size();
    std::vector<double> prefix(n + 1, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        prefix[i + 1] = prefix[i] + power[i];
    }
    std::vector<double> out(n);
    constexpr std::size_t half = kMomentaryBlocks / 2;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t lo = i >= half ? i - half : 0;
        const std::size_t hi = std::min(n, i + half);
        // The window keeps its length at the edges: what lies beyond the stream is silence.
        const double mean = (prefix[hi] - prefix[lo]) / kMomentaryBlocks;
        out[i] = -0.691 + PowerDb(mean);
    }
    return out;
}

} // namespace

CueProposal ProposeCues(const AudioAnalysis& a, const AutocueSettings& s) {
    CueProposal p;
    const auto block = static_cast<std::uint64_t>(a.blockFrames);
    const auto step = static_cast<std::uint64_t>(a.peakStepFrames);
    const std::size_t blocks = a.levelDb.size();
    if (blocks == 0 || block == 0 || step == 0) {
        return p;
    }
    const auto threshold = static_cast<float>(s.thresholdDbfs);
    const double thresholdAmplitude = std::pow(10.0, s.thresholdDbfs / 20.0);

    std::size_t first = blocks;
    for (std::size_t b = 0; b < blocks; ++b) {
        if (a.levelDb[b] > threshold) {
            first = b;
            break;
        }
    }
    if (first == blocks) {
        return p; // silent everywhere (at this threshold)
    }
    std::size_t last = first;
    for (std::size_t b = blocks; b-- > first;) {
        if (a.levelDb[b] > threshold) {
            last = b;
            break;
        }
    }

    // Finer than a block, two ways: where the peaks first pass the threshold (exact for a
    // sudden start; the sound that lifted the block's RMS lies in the block or in the end of
    // the one before, and a block whose RMS passes always holds a sample that does), and
    // where the RMS passes it between the centres of two blocks (exact for a fade, whose
    // peaks pass earlier than its RMS). The later of the two is where the level rises.
    const auto stepOf = [&](std::uint64_t frame) {
        return static_cast<std::size_t>(std::min<std::uint64_t>(frame / step, a.peaks.size()));
    };
    const auto crossing = [&](std::size_t below, std::size_t above) -> std::optional<double> {
        // Frame where the level passes the threshold between the two blocks' centres.
        const double lo = a.levelDb[below];
        const double hi = a.levelDb[above];
        if (!std::isfinite(lo) || !(hi > lo)) {
            return std::nullopt; // from digital silence: only the peaks tell
        }
        const double f = std::clamp((s.thresholdDbfs - lo) / (hi - lo), 0.0, 1.0);
        const double centreBelow = (static_cast<double>(below) + 0.5) * static_cast<double>(block);
        const double centreAbove = (static_cast<double>(above) + 0.5) * static_cast<double>(block);
        return centreBelow + f * (centreAbove - centreBelow);
    };
    std::uint64_t start = first * block;
    {
        const std::size_t from = stepOf(first > 0 ? (first - 1) * block : 0);
        const std::size_t to = stepOf((first + 1) * block);
        for (std::size_t i = from; i < to; ++i) {
            if (a.peaks[i] > thresholdAmplitude) {
                start = i * step;
                break;
            }
        }
        if (first > 0) {
            if (const auto c = crossing(first - 1, first)) {
                start = std::max(start, static_cast<std::uint64_t>(std::llround(*c)));
            }
        }
    }
    // Never inside leading digital silence, however low the threshold.
    start = std::max(start, a.firstSoundFrame);

    std::uint64_t end = (last + 1) * block;
    {
        const std::size_t from = stepOf(last * block);
        const std::size_t to = stepOf((last + 2) * block + step - 1);
        for (std::size_t i = to; i-- > from;) {
            if (a.peaks[i] > thresholdAmplitude) {
                end = (i + 1) * step;
                break;
            }
        }
        if (last + 1 < blocks) {
            if (const auto c = crossing(last + 1, last)) {
                end = std::min(end, static_cast<std::uint64_t>(std::llround(*c)));
            }
        }
    }
    p.startFrame = start;
    p.endFrame = end;

    // Mix point: after the last moment, searching back from the end of audio, where the
    // momentary loudness is still within `mixDropLu` of the song's integrated loudness.
    p.mixFrame = end;
    p.coldEnding = true;
    if (!std::isfinite(a.integratedLufs) || a.loudnessPower.empty()) {
        return p;
    }
    const double target = a.integratedLufs - s.mixDropLu;
    const std::vector<double> momentary = CentredMomentary(a.loudnessPower);
    const double searchFrames = std::max(0.0, s.mixSearchSeconds) * a.sampleRate;
    const auto earliest = static_cast<std::uint64_t>(
        std::max(static_cast<double>(start), static_cast<double>(end) - searchFrames));
    const std::size_t lastBlock = std::min<std::size_t>(momentary.size(), (end + block - 1) / block);
    const std::size_t firstBlock = std::min<std::size_t>(lastBlock, earliest / block);
    std::optional<std::uint64_t> mix;
    for (std::size_t b = lastBlock; b-- > firstBlock;) {
        if (momentary[b] >= target) {
            // Between this window's centre (the start of block b) and the next one's, where
            // the loudness passes the target (in dB, linearly).
            double fraction = 1.0;
            if (b + 1 < momentary.size() && std::isfinite(momentary[b + 1]) &&
                momentary[b] > momentary[b + 1]) {
                fraction = std::clamp(
                    (momentary[b] - target) / (momentary[b] - momentary[b + 1]), 0.0, 1.0);
            }
            mix = static_cast<std::uint64_t>(
                std::llround((static_cast<double>(b) + fraction) * static_cast<double>(block)));
            break;
        }
    }
    if (!mix) {
        // Below the target all through the search: the ending is long and quiet; start the
        // next song as early as the search allows.
        mix = earliest;
    }
    if (*mix < end) {
        p.mixFrame = std::max(*mix, start);
        p.coldEnding = false;
    }
    return p;
}

std::optional<double> ParseSettingNumber(const std::string& text) {
    std::string t;
    for (char c : text) {
        if (c == ' ' || c == '\t') {
            continue;
        }
        t += c == ',' ? '.' : c;
    }
    if (!t.empty() && t.front() == '+') {
        t.erase(0, 1);
    }
    double v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

std::string CheckAutocueSetting(const std::string& key, double v) {
    if (key == kThresholdKey && !(v >= -120.0 && v <= 0.0)) {
        return "the threshold must lie between -120 and 0 dBFS";
    }
    if (key == kMixDropKey && !(v >= 0.0 && v <= 60.0)) {
        return "the mix drop must lie between 0 and 60 LU";
    }
    if (key == kMixSearchKey && !(v >= 0.0 && v <= 600.0)) {
        return "the mix search must lie between 0 and 600 seconds";
    }
    return {};
}

AutocueSettings ReadAutocueSettings(
    const std::function<std::optional<std::string>(const char*)>& value, AutocueSettings base,
    std::string* problems) {
    const struct {
        const char* key;
        double AutocueSettings::*field;
    } keys[] = {{kThresholdKey, &AutocueSettings::thresholdDbfs},
                {kMixDropKey, &AutocueSettings::mixDropLu},
                {kMixSearchKey, &AutocueSettings::mixSearchSeconds}};
    for (const auto& k : keys) {
        const std::optional<std::string> text = value(k.key);
        if (!text) {
            continue;
        }
        const std::optional<double> v = ParseSettingNumber(*text);
        const std::string why = v ? CheckAutocueSetting(k.key, *v) : "not a number";
        if (why.empty()) {
            base.*k.field = *v;
        } else if (problems != nullptr) {
            *problems += std::string(problems->empty() ? "" : "; ") + k.key + "=" + *text + ": " +
                         why;
        }
    }
    return base;
}

} // namespace tavrela::analysis
