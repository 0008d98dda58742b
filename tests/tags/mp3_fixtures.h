#pragma once
// MP3 files made at test time with sox and lame.
#include "tag_fixtures.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace tavrela::tags::test {

/// Synthesises `seconds` of a tone at `rate` Hz with `channels`, encodes it with lame using
/// `lameArgs`, and returns the MP3's path (empty, with a test failure, when a tool failed).
inline std::string MakeMp3(const TempDir& dir, const std::string& name, int rate, int channels,
                           double seconds, const std::string& lameArgs) {
    const std::string wav = dir.File(name + ".wav");
    const std::string mp3 = dir.File(name + ".mp3");
    const std::string sox = "sox -q -n -r " + std::to_string(rate) + " -c " +
                            std::to_string(channels) + " -b 16 '" + wav + "' synth " +
                            std::to_string(seconds) + " sine 440 vol 0.5";
    const std::string lame = "lame --quiet " + lameArgs + " '" + wav + "' '" + mp3 + "'";
    if (std::system(sox.c_str()) != 0 || std::system(lame.c_str()) != 0) {
        ADD_FAILURE() << "could not make " << name << ": " << sox << " && " << lame;
        return {};
    }
    return mp3;
}

} // namespace tavrela::tags::test
