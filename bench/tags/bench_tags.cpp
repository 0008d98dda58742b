// bench-tags: reads and saves the tags of a generated set of MP3 files through the facade,
// and compares the whole-file rewrite with a plain cp of the same files in the same run, and
// with copies flushed to disk one by one (the rewrite flushes every file it writes).
//   bench-tags [FILES]   (default 200)
#include "tags/tag.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace tavrela::tags;
using Clock = std::chrono::steady_clock;

bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

bool Save(const std::string& file, const std::string& intro, const std::string& comment) {
    const std::string e;
    return WriteMarkerTag(file, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, comment,
                          intro, e, e, "00:00.5", "03:10", "01:00", "01:30", "02:59");
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 200;
    char templ[] = "/tmp/bench-tags-XXXXXX";
    if (count <= 0 || ::mkdtemp(templ) == nullptr) {
        std::fprintf(stderr, "usage: bench-tags [FILES]\n");
        return 2;
    }
    const fs::path dir = templ;
    struct Cleanup {
        fs::path p;
        ~Cleanup() {
            std::error_code ec;
            fs::remove_all(p, ec);
        }
    } cleanup{dir};

    // One 30-second 128 kbit/s song (about 480 KB), copied into two sets: one with a tag that
    // saves fit into, one without a tag, whose first save rewrites the whole file.
    const std::string wav = (dir / "src.wav").string();
    const std::string mp3 = (dir / "src.mp3").string();
    const std::string bare = (dir / "bare.mp3").string();
    if (!Run("sox -q -n -r 44100 -c 2 -b 16 '" + wav + "' synth 30 sine 440 sine 660") ||
        !Run("lame --quiet -b 128 --add-id3v2 --tt Bench --ta Tavrela '" + wav + "' '" + mp3 +
             "'") ||
        !Run("lame --quiet -b 128 '" + wav + "' '" + bare + "'")) {
        std::fprintf(stderr, "bench-tags: sox and lame are needed\n");
        return 1;
    }
    fs::create_directories(dir / "tagged");
    fs::create_directories(dir / "plain");
    fs::create_directories(dir / "copies");
    std::vector<std::string> tagged, plain;
    for (int i = 0; i < count; ++i) {
        const std::string name = "song" + std::to_string(i) + ".mp3";
        tagged.push_back((dir / "tagged" / name).string());
        plain.push_back((dir / "plain" / name).string());
        fs::copy_file(mp3, tagged.back());
        fs::copy_file(bare, plain.back());
        // lame's tag has no room for the markers: a first save gives the file a 4096-byte tag
        // that the measured saves fit into.
        CreateTagObjects(".mp3");
        ReadTag(tagged.back());
        Save(tagged.back(), "00:01", "prepared");
    }

    auto t0 = Clock::now();
    for (const std::string& f : tagged) {
        CreateTagObjects(".mp3");
        ReadTag(f);
    }
    const double read = Seconds(t0);

    t0 = Clock::now();
    int failures = 0;
    for (std::size_t i = 0; i < tagged.size(); ++i) {
        CreateTagObjects(".mp3");
        ReadTag(tagged[i]);
        failures += !Save(tagged[i], "00:12." + std::to_string(i % 10), "in place");
    }
    const double inPlace = Seconds(t0);

    t0 = Clock::now();
    for (const std::string& f : plain) {
        CreateTagObjects(".mp3");
        ReadTag(f);
        failures += !Save(f, "00:12.5", "rewritten");
    }
    const double rewrite = Seconds(t0);

    // The floor: the files the rewrite wrote, copied by cp in one process.
    t0 = Clock::now();
    if (!Run("cp '" + (dir / "plain").string() + "'/*.mp3 '" + (dir / "copies").string() + "'/")) {
        ++failures;
    }
    const double copy = Seconds(t0);

    // A second floor: the same copies made durable one by one, as the rewrite makes its files.
    fs::create_directories(dir / "synced");
    t0 = Clock::now();
    for (const std::string& f : plain) {
        const fs::path to = dir / "synced" / fs::path(f).filename();
        fs::copy_file(f, to);
        const int fd = ::open(to.c_str(), O_RDONLY);
        if (fd < 0 || ::fsync(fd) != 0) {
            ++failures;
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }
    const double syncedCopy = Seconds(t0);
    FreeTagObjects(".mp3");

    if (failures > 0) {
        std::fprintf(stderr, "bench-tags: %d saves failed\n", failures);
        return 1;
    }
    std::printf("files: %d\n", count);
    std::printf("file_size: %.0f KiB\n", static_cast<double>(fs::file_size(tagged[0])) / 1024);
    std::printf("read: %.0f files/s\n", count / read);
    std::printf("save_in_place: %.0f files/s\n", count / inPlace);
    std::printf("save_rewrite: %.0f files/s\n", count / rewrite);
    std::printf("cp: %.0f files/s\n", count / copy);
    std::printf("rewrite_vs_cp: %.2f\n", rewrite / copy);
    std::printf("cp_fsync: %.0f files/s\n", count / syncedCopy);
    std::printf("rewrite_vs_cp_fsync: %.2f\n", rewrite / syncedCopy);
    return 0;
}
