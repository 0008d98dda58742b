#include "audio_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tavrela::audio::test {

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tavrela-audio-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

bool run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

std::filesystem::path makeWav(const TempDir& dir, const std::string& name, int rate, int channels,
                              double seconds, const std::string& synth, double volume) {
    const auto file = dir / name;
    std::ostringstream cmd;
    // A fixed seed keeps noise the same from run to run.
    cmd << "sox -R -n -r " << rate << " -c " << channels << " -b 16 '" << file.string()
        << "' synth " << seconds << " " << synth << " vol " << volume << " 2>/dev/null";
    if (!run(cmd.str())) {
        ADD_FAILURE() << "sox failed: " << cmd.str();
    }
    return file;
}

std::filesystem::path makeMp3(const TempDir& dir, const std::filesystem::path& wav,
                              const std::string& name, const std::string& lameOptions) {
    const auto file = dir / name;
    const std::string cmd =
        "lame --quiet " + lameOptions + " '" + wav.string() + "' '" + file.string() + "'";
    if (!run(cmd)) {
        ADD_FAILURE() << "lame failed: " << cmd;
    }
    return file;
}

std::vector<std::byte> makeModule() {
    // Layout: title (20), 31 sample headers of 30 bytes (name 22, length in words 2 BE,
    // finetune 1, volume 1, loop start 2, loop length 2), song length (1), restart (1),
    // order table (128), signature "M.K." at 1080, then 64 rows x 4 channels x 4 bytes per
    // pattern, then the sample data.
    std::vector<std::byte> bytes(1084 + 1024, std::byte{0});
    auto put = [&](std::size_t at, unsigned value) { bytes[at] = static_cast<std::byte>(value); };
    const char* title = "tone";
    std::memcpy(bytes.data(), title, std::strlen(title));
    constexpr unsigned kWords = 16; // a 32-byte looping square wave
    const std::size_t h = 20;
    put(h + 22, 0);
    put(h + 23, kWords);
    put(h + 25, 64); // volume
    put(h + 26, 0);  // loop start
    put(h + 28, 0);
    put(h + 29, kWords); // loop length
    for (std::size_t i = 1; i < 31; ++i) {
        put(20 + i * 30 + 29, 1); // empty samples loop over one word
    }
    put(950, 1); // one order
    put(951, 127);
    put(952, 0); // order 0 plays pattern 0
    std::memcpy(bytes.data() + 1080, "M.K.", 4);
    // Row 0, channel 0: sample 1, period 428 (C-2).
    const std::size_t cell = 1084;
    put(cell, 0x01);
    put(cell + 1, 0xAC);
    put(cell + 2, 0x10);
    put(cell + 3, 0x00);
    for (unsigned i = 0; i < kWords * 2; ++i) {
        bytes.push_back(static_cast<std::byte>(i < kWords ? 0x60 : 0xA0));
    }
    return bytes;
}

std::filesystem::path writeFile(const TempDir& dir, const std::string& name,
                                const std::vector<std::byte>& bytes) {
    const auto file = dir / name;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return file;
}

std::vector<float> decodeAll(Engine& engine, const std::filesystem::path& file, int* channels) {
    const auto flags = ChannelFlags::Float | ChannelFlags::Prescan | ChannelFlags::Decode;
    ChannelHandle h = engine.loadModule(file, flags);
    if (h == 0) {
        h = engine.createStream(file, flags);
    }
    if (h == 0) {
        ADD_FAILURE() << "cannot decode " << file;
        return {};
    }
    const int chans = engine.info(h)->channels;
    if (channels != nullptr) {
        *channels = chans;
    }
    std::vector<float> all;
    std::vector<float> block(static_cast<std::size_t>(chans) * 512);
    while (engine.isActive(h) != ChannelState::Stopped) {
        const std::uint32_t got =
            engine.getData(h, block.data(), static_cast<std::uint32_t>(chans * 2048));
        if (got == kDataError) {
            break;
        }
        all.insert(all.end(), block.begin(), block.begin() + got / 4);
    }
    engine.freeModule(h);
    engine.freeStream(h);
    return all;
}

std::ptrdiff_t findFrames(const std::vector<float>& stereo, const std::vector<float>& ref,
                          int channels, std::size_t refFrame, std::size_t count) {
    const std::size_t ch = static_cast<std::size_t>(channels);
    const std::size_t outFrames = stereo.size() / 2;
    if ((refFrame + count) * ch > ref.size()) {
        return -1;
    }
    auto matches = [&](std::size_t at) {
        for (std::size_t i = 0; i < count; ++i) {
            const float* r = ref.data() + (refFrame + i) * ch;
            const float* o = stereo.data() + (at + i) * 2;
            if (std::abs(o[0] - r[0]) > kSampleTolerance ||
                std::abs(o[1] - (ch == 1 ? r[0] : r[1])) > kSampleTolerance) {
                return false;
            }
        }
        return true;
    };
    for (std::size_t at = 0; at + count <= outFrames; ++at) {
        if (matches(at)) {
            return static_cast<std::ptrdiff_t>(at);
        }
    }
    return -1;
}

double frequencyOf(const std::vector<float>& stereo, std::size_t fromFrame, std::size_t frames,
                   int rate) {
    // The median spacing of rising zero crossings (placed between samples by linear
    // interpolation): a gap of silence, an underrun of a busy machine, changes a few spacings
    // but not the median.
    std::vector<double> spacings;
    double previous = -1.0;
    const std::size_t end = std::min(fromFrame + frames, stereo.size() / 2);
    for (std::size_t i = fromFrame + 1; i < end; ++i) {
        const float a = stereo[2 * (i - 1)];
        const float b = stereo[2 * i];
        if (a < 0.0f && b >= 0.0f) {
            const double at = static_cast<double>(i - 1) + (-a) / static_cast<double>(b - a);
            if (previous >= 0.0) {
                spacings.push_back(at - previous);
            }
            previous = at;
        }
    }
    if (spacings.size() < 8) {
        return 0.0;
    }
    std::nth_element(spacings.begin(), spacings.begin() + spacings.size() / 2, spacings.end());
    return rate / spacings[spacings.size() / 2];
}

} // namespace tavrela::audio::test
