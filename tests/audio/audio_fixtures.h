#pragma once

// Audio fixtures made at test time with sox and lame, and helpers to compare what the null
// output received with a straight decode.

#include "audio/engine.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace tavrela::audio::test {

/// A temporary folder removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

/// Runs a shell command; true when it exited with 0.
bool run(const std::string& command);

/// A 16-bit WAV made by sox: `synth` is sox's synth arguments after the length, for example
/// "whitenoise" or "sine 1000".
std::filesystem::path makeWav(const TempDir& dir, const std::string& name, int rate, int channels,
                              double seconds, const std::string& synth, double volume = 0.5);
/// An MP3 encoded from `wav` by lame with `lameOptions` (for example "-b 128" or "-V 2").
std::filesystem::path makeMp3(const TempDir& dir, const std::filesystem::path& wav,
                              const std::string& name, const std::string& lameOptions);
/// A small four-channel tracker module (one sample, one note), built byte by byte.
std::vector<std::byte> makeModule();
/// Writes bytes to a file.
std::filesystem::path writeFile(const TempDir& dir, const std::string& name,
                                const std::vector<std::byte>& bytes);

/// Every sample of a file through a decode channel in blocks of 512 frames.
std::vector<float> decodeAll(Engine& engine, const std::filesystem::path& file,
                             int* channels = nullptr);

/// How far two decodes of the same MPEG frame may differ: after a seek the decoder's filter
/// sums in another order, which changes the last bit of some samples (about -140 dB).
inline constexpr float kSampleTolerance = 1e-6f;

/// Frame index in `stereo` (interleaved stereo) where `count` frames of `ref` from frame
/// `refFrame` on (interleaved `channels`, mono compared with the left side) begin (within
/// kSampleTolerance); -1 when they appear nowhere.
std::ptrdiff_t findFrames(const std::vector<float>& stereo, const std::vector<float>& ref,
                          int channels, std::size_t refFrame, std::size_t count);

/// Frequency of the left side of interleaved stereo, from the spacing of its zero crossings.
double frequencyOf(const std::vector<float>& stereo, std::size_t fromFrame, std::size_t frames,
                   int rate);

} // namespace tavrela::audio::test
