// bench-autocue: `tavrela-tag autocue` on 40 copies of a 4-minute stereo 44.1 kHz MP3 with
// every core (decode, analysis, proposals and the tag written into each file), against plain
// libmpg123 decoding of the same files to float on every core, in the same run.
#include "autocue_batch.h"

#include <mpg123.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kCopies = 40;
constexpr int kRuns = 2;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Decodes one file to float in blocks, as plainly as the library allows.
bool PlainDecode(const std::string& path) {
    mpg123_handle* h = mpg123_new(nullptr, nullptr);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    mpg123_format_none(h);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i) {
        mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    }
    std::size_t total = 0;
    if (mpg123_open(h, path.c_str()) == MPG123_OK) {
        std::vector<unsigned char> buf(4096 * 2 * sizeof(float));
        for (;;) {
            std::size_t done = 0;
            const int rc = mpg123_read(h, buf.data(), buf.size(), &done);
            total += done;
            if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) {
                break;
            }
        }
        mpg123_close(h);
    }
    mpg123_delete(h);
    return total > 0;
}

double FloorFilesPerSecond(const std::vector<std::string>& files, int jobs) {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> ok{true};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int t = 0; t < jobs; ++t) {
        threads.emplace_back([&] {
            for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
                if (!PlainDecode(files[i])) {
                    ok = false;
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    if (!ok) {
        std::fprintf(stderr, "bench-autocue: the plain decode failed\n");
        std::exit(1);
    }
    return static_cast<double>(files.size()) / Seconds(start);
}

double AutocueFilesPerSecond(const fs::path& folder, int jobs, bool dryRun) {
    std::vector<std::string> args = {"--jobs", std::to_string(jobs)};
    if (dryRun) {
        args.push_back("--dry-run");
    }
    args.push_back(folder.string());
    std::ostringstream out, err;
    const auto start = std::chrono::steady_clock::now();
    const int status = tavrela::tools::RunAutocue(args, out, err, nullptr);
    const double seconds = Seconds(start);
    if (status != 0 || out.str().find(std::to_string(kCopies) + " done") == std::string::npos) {
        std::fprintf(stderr, "bench-autocue: the batch failed:\n%s%s", out.str().c_str(),
                     err.str().c_str());
        std::exit(1);
    }
    return kCopies / seconds;
}

} // namespace

int main() {
    mpg123_init();
    char templ[] = "/tmp/bench-autocue-XXXXXX";
    if (::mkdtemp(templ) == nullptr) {
        return 1;
    }
    const fs::path dir(templ);
    // A song-like 4 minutes: half a second of silence, noise shaped like music, a 12 s fade.
    const fs::path wav = dir / "song.wav";
    const fs::path mp3 = dir / "song.mp3";
    const std::string make = "sox -q -n -r 44100 -c 2 -b 16 '" + wav.string() +
                             "' synth 239.5 pinknoise tremolo 2 40 vol 0.4 fade t 0 239.5 12 "
                             "pad 0.5 0 && lame --quiet -b 192 '" +
                             wav.string() + "' '" + mp3.string() + "'";
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "bench-autocue: sox or lame failed\n");
        return 1;
    }
    const fs::path folder = dir / "library";
    fs::create_directories(folder);
    std::vector<std::string> files;
    for (int i = 0; i < kCopies; ++i) {
        const fs::path copy = folder / ("song" + std::to_string(i) + ".mp3");
        fs::copy_file(mp3, copy);
        files.push_back(copy.string());
    }
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));

    double floor = 0, batch = 0, dry = 0;
    for (int run = 0; run < kRuns; ++run) {
        floor = std::max(floor, FloorFilesPerSecond(files, cores));
        batch = std::max(batch, AutocueFilesPerSecond(folder, cores, false));
        dry = std::max(dry, AutocueFilesPerSecond(folder, cores, true));
    }
    std::printf("cores: %d\n", cores);
    std::printf("decode_files_per_s: %.2f files/s\n", floor);
    std::printf("files_per_s: %.2f files/s\n", batch);
    std::printf("dry_run_files_per_s: %.2f files/s\n", dry);
    std::printf("autocue_vs_decode: %.3f ratio\n", batch / floor);
    fs::remove_all(dir);
    return 0;
}
