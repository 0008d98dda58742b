#include "autocue_batch.h"

#include "json_text.h"

#include <app/markers/time_text.h>
#include <audio/decode/byte_source.h>
#include <audio/decode/decoder.h>
#include <ini_file.h>
#include <tags/tag.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace tavrela::tools {
namespace fs = std::filesystem;
using analysis::AudioAnalysis;
using analysis::AutocueSettings;
using analysis::CueProposal;

const char* const kAutocueUsage =
    "       tavrela-tag autocue [--only-missing] [--dry-run] [--jobs N] [--json]\n"
    "                           [--threshold DBFS] [--mix-drop LU] [--mix-search SECONDS] PATH...\n"
    "       tavrela-tag loudness [--jobs N] [--json] PATH...\n";

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

// The tag facade is module state: one file at a time goes through it.
std::mutex& TagMutex() {
    static std::mutex m;
    return m;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool IsWav(const fs::path& p) {
    return Lower(p.extension().string()) == ".wav";
}
bool IsMp3(const fs::path& p) {
    return Lower(p.extension().string()) == ".mp3";
}

std::string Fixed(double v, int decimals) {
    if (!std::isfinite(v)) {
        return "-inf";
    }
    std::ostringstream s;
    s.imbue(std::locale::classic());
    s << std::fixed << std::setprecision(decimals) << v;
    return s.str();
}

// Runs `work(i)` for i in [0, count) on `jobs` threads, reporting each finished index.
template <typename Work, typename Done>
void ForEachParallel(std::size_t count, int jobs, Work work, Done done) {
    std::atomic<std::size_t> next{0};
    std::mutex doneMutex;
    const auto worker = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < count;) {
            work(i);
            std::lock_guard lock(doneMutex);
            done(i);
        }
    };
    std::vector<std::thread> threads;
    const auto n = static_cast<std::size_t>(std::max(1, jobs));
    for (std::size_t t = 1; t < std::min(n, count); ++t) {
        threads.emplace_back(worker);
    }
    worker();
    for (std::thread& t : threads) {
        t.join();
    }
}

int DefaultJobs() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

struct Progress {
    std::ostream* stream;
    std::size_t total;
    void show(std::size_t finished, std::size_t done, std::size_t skipped, std::size_t failed) {
        if (stream == nullptr) {
            return;
        }
        *stream << "\r" << finished << "/" << total << " files: " << done << " done, " << skipped
                << " skipped, " << failed << " failed" << std::flush;
    }
    void end() {
        if (stream != nullptr && total > 0) {
            *stream << "\n" << std::flush;
        }
    }
};

// Options shared by both commands.
struct CommonArgs {
    int jobs = DefaultJobs();
    bool json = false;
    std::vector<std::string> paths;
};

enum class Status { Done, Skipped, Failed };

const char* StatusName(Status s) {
    switch (s) {
    case Status::Done:
        return "done";
    case Status::Skipped:
        return "skipped";
    case Status::Failed:
        return "failed";
    }
    return "";
}

struct CueTexts {
    std::string start, end, mix;
};

struct AutocueResult {
    std::string path;
    Status status = Status::Failed;
    std::string reason;
    std::optional<AudioAnalysis> analysis; // kept only for its figures below
    double integratedLufs = 0;
    std::optional<double> startSeconds, endSeconds, mixSeconds;
    bool coldEnding = false;
    CueTexts texts;   // as stored (empty for a kind not proposed)
    CueTexts written; // the frames this run wrote (or would write, with --dry-run)
};

struct StoredFacts {
    bool valid = false;
    double duration = 0;
    CueTexts stored;
};

// Reads the file's facts and stored markers through the facade (under its lock).
StoredFacts ReadStored(const std::string& file) {
    std::lock_guard lock(TagMutex());
    StoredFacts f;
    const std::string ext = tags::FileExtension(file);
    tags::CreateTagObjects(ext);
    tags::ReadTag(file);
    if (tags::IsMp3Extension(ext)) {
        f.valid = tags::MPEGFile != nullptr && tags::MPEGFile->Valid();
        f.duration = f.valid ? tags::MPEGFile->Duration() : 0.0;
        f.stored = {tags::CurrentTag.AudioStart, tags::CurrentTag.AudioEnd,
                    tags::CurrentTag.MixPoint};
    } else {
        f.valid = tags::WAVFile != nullptr && tags::WAVFile->Valid;
        f.duration = f.valid ? tags::WAVFile->Duration() : 0.0;
    }
    tags::FreeTagObjects(ext);
    return f;
}

void ProcessAutocue(AutocueResult& r, const AutocueSettings& settings, bool onlyMissing,
                    bool dryRun) {
    const fs::path path(r.path);
    const bool wav = IsWav(path);
    if (!wav && !IsMp3(path)) {
        r.status = Status::Skipped;
        r.reason = "not an MP3 or WAV file";
        return;
    }
    if (wav && !dryRun) {
        r.status = Status::Skipped;
        r.reason = "markers are not written into WAV files (use --dry-run to see them)";
        return;
    }
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        r.reason = "not a regular file";
        return;
    }
    const StoredFacts facts = ReadStored(r.path);
    if (!facts.valid) {
        r.reason = wav ? "not a valid WAV file" : "not a valid MPEG audio stream";
        return;
    }
    const bool haveStart = !facts.stored.start.empty();
    const bool haveEnd = !facts.stored.end.empty();
    const bool haveMix = !facts.stored.mix.empty();
    if (onlyMissing && haveStart && haveEnd && haveMix) {
        r.status = Status::Skipped;
        r.reason = "every marker is already there";
        return;
    }
    std::string error;
    auto a = AnalyzeFile(path, {}, &error);
    if (!a) {
        r.reason = error;
        return;
    }
    r.integratedLufs = a->integratedLufs;
    const CueProposal p = ProposeCues(*a, settings);
    if (!p.startFrame || !p.endFrame || !p.mixFrame) {
        r.status = Status::Skipped;
        r.reason = "silent: nothing rises above the threshold";
        return;
    }
    const std::int64_t durationSeconds = RoundDurationSeconds(facts.duration);
    if (durationSeconds <= 0) {
        r.status = Status::Skipped;
        r.reason = "too short for a stored time";
        return;
    }
    r.startSeconds = a->seconds(*p.startFrame);
    r.endSeconds = a->seconds(*p.endFrame);
    r.mixSeconds = a->seconds(*p.mixFrame);
    r.coldEnding = p.coldEnding;
    r.texts = {StoredMarkerText(*p.startFrame, *a, durationSeconds),
               StoredMarkerText(*p.endFrame, *a, durationSeconds),
               StoredMarkerText(*p.mixFrame, *a, durationSeconds)};
    r.written = r.texts;
    if (onlyMissing) {
        if (haveStart) r.written.start.clear();
        if (haveEnd) r.written.end.clear();
        if (haveMix) r.written.mix.clear();
    }
    if (dryRun) {
        r.status = Status::Done;
        return;
    }

    std::lock_guard lock(TagMutex());
    const std::string ext = tags::FileExtension(r.path);
    tags::CreateTagObjects(ext);
    tags::ReadTag(r.path);
    bool ok = false;
    try {
        // Empty texts fall back to what the file holds: every other frame, and with
        // --only-missing the markers it has, are written back as read.
        const std::string e;
        ok = tags::WriteMarkerTag(r.path, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e,
                                  e, e, e, e, r.written.start, r.written.end, e, e,
                                  r.written.mix);
        if (!ok) {
            r.reason = "the tag could not be written (the file or its folder is not writable, "
                       "or the file changed)";
        }
    } catch (const std::exception& ex) {
        r.reason = std::string("the tag could not be written: ") + ex.what();
    }
    tags::FreeTagObjects(ext);
    r.status = ok ? Status::Done : Status::Failed;
}

// Reads a number option's value; false on a usage error (already reported).
bool NumberOption(const std::vector<std::string>& args, std::size_t& i, const std::string& key,
                  double& out, std::ostream& err) {
    if (i + 1 >= args.size()) {
        err << "tavrela-tag: " << args[i] << " needs a value\n";
        return false;
    }
    const auto v = analysis::ParseSettingNumber(args[++i]);
    const std::string why = v ? analysis::CheckAutocueSetting(key, *v) : "not a number";
    if (!why.empty()) {
        err << "tavrela-tag: " << args[i - 1] << " " << args[i] << ": " << why << "\n";
        return false;
    }
    out = *v;
    return true;
}

// Parses the options both commands share; returns false on a usage error. Unknown options
// are handed to `extra`, which returns false when it does not know them either.
template <typename Extra>
bool ParseCommon(const std::vector<std::string>& args, CommonArgs& c, std::ostream& err,
                 Extra extra) {
    bool options = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options && a == "--") {
            options = false;
        } else if (options && a == "--json") {
            c.json = true;
        } else if (options && a == "--jobs") {
            if (i + 1 >= args.size()) {
                err << "tavrela-tag: --jobs needs a number\n";
                return false;
            }
            const std::string& v = args[++i];
            int n = 0;
            const auto r = std::from_chars(v.data(), v.data() + v.size(), n);
            if (r.ec != std::errc() || r.ptr != v.data() + v.size() || n < 1 || n > 256) {
                err << "tavrela-tag: --jobs takes a number from 1 to 256\n";
                return false;
            }
            c.jobs = n;
        } else if (options && a.size() > 1 && a[0] == '-') {
            if (!extra(args, i)) {
                err << "tavrela-tag: unknown option " << a << "\n";
                return false;
            }
        } else {
            c.paths.push_back(a);
        }
    }
    if (c.paths.empty()) {
        err << "tavrela-tag: no file or folder named\n";
        return false;
    }
    return true;
}

std::string Seconds(const std::optional<double>& v) {
    return v ? JsonNumber(std::round(*v * 1000.0) / 1000.0) : "null";
}

} // namespace

// The stored text of a frame position, exactly as the editor's save computes it from the
// marker's byte position on the tag's duration scale.
std::string StoredMarkerText(std::uint64_t frame, const AudioAnalysis& a,
                             std::int64_t durationSeconds) {
    const double bytesPerFrame = static_cast<double>(a.channels) * 4.0;
    const double x = static_cast<double>(frame) * bytesPerFrame;
    const double totalX = static_cast<double>(a.frames) * bytesPerFrame;
    return SecondsToMarkerText(XToSeconds(durationSeconds, totalX, x))
        .left(kStoredMarkerTextLength)
        .toStdString();
}

std::optional<AudioAnalysis> AnalyzeFile(const fs::path& file, analysis::AnalysisOptions options,
                                         std::string* error) {
    const auto fail = [&](const char* why) -> std::optional<AudioAnalysis> {
        if (error != nullptr) {
            *error = why;
        }
        return std::nullopt;
    };
    auto source = audio::ByteSource::openFile(file);
    if (!source) {
        return fail("cannot be opened");
    }
    std::unique_ptr<audio::Decoder> decoder = audio::openStreamDecoder(std::move(source), false);
    if (!decoder) {
        return fail("cannot be decoded");
    }
    std::optional<analysis::Analyzer> analyzer;
    try {
        analyzer.emplace(decoder->channels(), decoder->sampleRate(), options);
    } catch (const std::exception&) {
        return fail("its sample rate or channel count cannot be measured");
    }
    constexpr std::size_t kFrames = 4096;
    std::vector<float> buffer(kFrames * static_cast<std::size_t>(decoder->channels()));
    for (;;) {
        const std::size_t got = decoder->read(buffer.data(), kFrames);
        analyzer->add(buffer.data(), got);
        if (got < kFrames) {
            break;
        }
    }
    AudioAnalysis a = analyzer->finish();
    if (a.frames == 0) {
        return fail("no audio could be decoded");
    }
    return a;
}

std::vector<fs::path> CollectAudioFiles(const std::vector<std::string>& paths,
                                        std::vector<std::string>& missing) {
    std::vector<fs::path> files;
    for (const std::string& p : paths) {
        std::error_code ec;
        const fs::path path(p);
        if (fs::is_directory(path, ec)) {
            std::vector<fs::path> found;
            for (auto it = fs::recursive_directory_iterator(
                     path, fs::directory_options::skip_permission_denied, ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
                std::error_code fileEc;
                if (it->is_regular_file(fileEc) && (IsMp3(it->path()) || IsWav(it->path()))) {
                    found.push_back(it->path());
                }
            }
            std::sort(found.begin(), found.end());
            files.insert(files.end(), found.begin(), found.end());
        } else if (fs::exists(path, ec)) {
            files.push_back(path);
        } else {
            missing.push_back(p);
        }
    }
    return files;
}

AutocueSettings ProgramFolderAutocueSettings(std::string* problems) {
    fs::path folder;
    if (const char* home = std::getenv("TAVRELA_HOME"); home != nullptr && *home != '\0') {
        folder = home;
    } else {
        std::error_code ec;
        folder = fs::read_symlink("/proc/self/exe", ec).parent_path();
    }
    std::ifstream in(folder / "BaseZelvo.ini", std::ios::binary);
    if (!in) {
        return {};
    }
    std::string text;
    constexpr std::size_t kLimit = 1 << 20; // a settings file, not a library of them
    text.resize(kLimit);
    in.read(text.data(), static_cast<std::streamsize>(kLimit));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return analysis::ReadAutocueSettings(
        [&](const char* key) { return ini::readValue(text, analysis::kAutocueSection, key); }, {},
        problems);
}

int RunAutocue(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               std::ostream* progress) {
    std::string problems;
    AutocueSettings settings = ProgramFolderAutocueSettings(&problems);
    if (!problems.empty()) {
        err << "tavrela-tag: BaseZelvo.ini: " << problems << " (the default is used)\n";
    }
    bool onlyMissing = false;
    bool dryRun = false;
    bool badValue = false;
    CommonArgs c;
    const bool parsed = ParseCommon(args, c, err, [&](const auto& a, std::size_t& i) {
        if (a[i] == "--only-missing") {
            onlyMissing = true;
        } else if (a[i] == "--dry-run") {
            dryRun = true;
        } else if (a[i] == "--threshold") {
            badValue = !NumberOption(a, i, analysis::kThresholdKey, settings.thresholdDbfs, err) || badValue;
        } else if (a[i] == "--mix-drop") {
            badValue = !NumberOption(a, i, analysis::kMixDropKey, settings.mixDropLu, err) || badValue;
        } else if (a[i] == "--mix-search") {
            badValue = !NumberOption(a, i, analysis::kMixSearchKey, settings.mixSearchSeconds, err) || badValue;
        } else {
            return false;
        }
        return true;
    });
    if (!parsed || badValue) {
        return kUsage;
    }

    std::vector<std::string> missing;
    const std::vector<fs::path> files = CollectAudioFiles(c.paths, missing);
    std::vector<AutocueResult> results(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        results[i].path = files[i].string();
    }
    std::size_t done = 0, skipped = 0, failed = 0, finished = 0;
    Progress bar{progress, files.size()};
    bar.show(0, 0, 0, 0);
    ForEachParallel(
        files.size(), c.jobs,
        [&](std::size_t i) {
            try {
                ProcessAutocue(results[i], settings, onlyMissing, dryRun);
            } catch (const std::exception& ex) {
                results[i].status = Status::Failed;
                results[i].reason = ex.what();
            }
        },
        [&](std::size_t i) {
            ++finished;
            (results[i].status == Status::Done      ? done
             : results[i].status == Status::Skipped ? skipped
                                                    : failed)++;
            bar.show(finished, done, skipped, failed);
        });
    bar.end();
    failed += missing.size();

    if (c.json) {
        std::string j = "{\n  \"settings\": {\"thresholdDbfs\": " +
                        JsonNumber(settings.thresholdDbfs) +
                        ", \"mixDropLu\": " + JsonNumber(settings.mixDropLu) +
                        ", \"mixSearchSeconds\": " + JsonNumber(settings.mixSearchSeconds) +
                        "},\n  \"dryRun\": " + (dryRun ? "true" : "false") + ",\n  \"files\": [";
        bool first = true;
        const auto item = [&](const std::string& s) {
            j += (first ? "\n    " : ",\n    ") + s;
            first = false;
        };
        for (const AutocueResult& r : results) {
            std::string s = "{\"path\": " + JsonString(r.path) +
                            ", \"status\": " + JsonString(StatusName(r.status));
            if (!r.reason.empty()) {
                s += ", \"reason\": " + JsonString(r.reason);
            }
            if (r.startSeconds) {
                s += ", \"integratedLufs\": " + JsonNumber(std::round(r.integratedLufs * 10) / 10) +
                     ", \"startSeconds\": " + Seconds(r.startSeconds) +
                     ", \"endSeconds\": " + Seconds(r.endSeconds) +
                     ", \"mixSeconds\": " + Seconds(r.mixSeconds) +
                     ", \"coldEnding\": " + (r.coldEnding ? "true" : "false") +
                     ", \"TMXI\": " + JsonString(r.texts.start) +
                     ", \"TMXF\": " + JsonString(r.texts.end) +
                     ", \"TPMI\": " + JsonString(r.texts.mix) + ", \"written\": [";
                std::string w;
                for (const auto& [frame, text] : {std::pair{"TMXI", &r.written.start},
                                                  std::pair{"TMXF", &r.written.end},
                                                  std::pair{"TPMI", &r.written.mix}}) {
                    if (!text->empty()) {
                        w += (w.empty() ? "\"" : ", \"") + std::string(frame) + "\"";
                    }
                }
                s += w + "]";
            }
            item(s + "}");
        }
        for (const std::string& m : missing) {
            item("{\"path\": " + JsonString(m) +
                 ", \"status\": \"failed\", \"reason\": \"no such file or folder\"}");
        }
        j += std::string(first ? "" : "\n  ") + "],\n  \"summary\": {\"done\": " +
             std::to_string(done) + ", \"skipped\": " + std::to_string(skipped) +
             ", \"failed\": " + std::to_string(failed) + "}\n}\n";
        out << j;
    } else {
        for (const AutocueResult& r : results) {
            out << StatusName(r.status) << "  " << r.path;
            if (r.startSeconds) {
                out << "  TMXI " << r.texts.start << "  TMXF " << r.texts.end << "  TPMI "
                    << r.texts.mix << (r.coldEnding ? " (cold ending)" : "") << "  "
                    << Fixed(r.integratedLufs, 1) << " LUFS";
            }
            if (!r.reason.empty()) {
                out << "  (" << r.reason << ")";
            }
            out << "\n";
        }
        for (const std::string& m : missing) {
            out << "failed  " << m << "  (no such file or folder)\n";
        }
        out << (dryRun ? "dry run, nothing written: " : "") << done << " done, " << skipped
            << " skipped, " << failed << " failed\n";
    }
    return failed > 0 ? kFailed : kOk;
}

int RunLoudness(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                std::ostream* progress) {
    CommonArgs c;
    if (!ParseCommon(args, c, err, [](const auto&, std::size_t&) { return false; })) {
        return kUsage;
    }
    std::vector<std::string> missing;
    const std::vector<fs::path> files = CollectAudioFiles(c.paths, missing);
    struct Row {
        std::optional<AudioAnalysis> a;
        std::string error;
    };
    std::vector<Row> rows(files.size());
    std::size_t finished = 0, failedFiles = 0;
    Progress bar{progress, files.size()};
    ForEachParallel(
        files.size(), c.jobs,
        [&](std::size_t i) {
            rows[i].a = AnalyzeFile(files[i], {.truePeak = true, .loudnessRange = true},
                                    &rows[i].error);
        },
        [&](std::size_t i) {
            ++finished;
            failedFiles += rows[i].a ? 0 : 1;
            bar.show(finished, finished - failedFiles, 0, failedFiles);
        });
    bar.end();
    if (c.json) {
        std::string j = "{\n  \"files\": [";
        bool first = true;
        for (std::size_t i = 0; i < files.size(); ++i) {
            const Row& r = rows[i];
            std::string s = "{\"path\": " + JsonString(files[i].string());
            if (r.a) {
                s += ", \"integratedLufs\": " + JsonNumber(r.a->integratedLufs) +
                     ", \"loudnessRangeLu\": " + JsonNumber(r.a->loudnessRangeLu) +
                     ", \"truePeakDbtp\": " + JsonNumber(r.a->truePeakDbtp) +
                     ", \"samplePeakDbfs\": " + JsonNumber(r.a->samplePeakDbfs) +
                     ", \"seconds\": " + JsonNumber(r.a->seconds(r.a->frames)) + "}";
            } else {
                s += ", \"error\": " + JsonString(r.error) + "}";
            }
            j += (first ? "\n    " : ",\n    ") + s;
            first = false;
        }
        for (const std::string& m : missing) {
            j += std::string(first ? "\n    " : ",\n    ") + "{\"path\": " + JsonString(m) +
                 ", \"error\": \"no such file or folder\"}";
            first = false;
        }
        j += std::string(first ? "" : "\n  ") + "]\n}\n";
        out << j;
    } else {
        for (std::size_t i = 0; i < files.size(); ++i) {
            const Row& r = rows[i];
            out << files[i].string() << ": ";
            if (r.a) {
                out << Fixed(r.a->integratedLufs, 1) << " LUFS, LRA "
                    << Fixed(r.a->loudnessRangeLu, 1) << " LU, true peak "
                    << Fixed(r.a->truePeakDbtp, 1) << " dBTP\n";
            } else {
                out << "failed (" << r.error << ")\n";
            }
        }
        for (const std::string& m : missing) {
            out << m << ": failed (no such file or folder)\n";
        }
    }
    return failedFiles + missing.size() > 0 ? kFailed : kOk;
}

} // namespace tavrela::tools
