#include "audio/decode/decoder.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>

namespace tavrela::audio {
namespace {

// Modules are small; anything larger is not loaded into memory as one.
constexpr std::size_t kMaxModuleBytes = 256u << 20;

class ModuleDecoder final : public Decoder {
public:
    ~ModuleDecoder() override {
        if (module_ != nullptr) {
            openmpt_module_destroy(module_);
        }
    }

    bool open(const std::vector<std::byte>& bytes, int sampleRate, bool stopOnBackwardJump) {
        if (bytes.empty()) {
            return false;
        }
        const int probe = openmpt_probe_file_header(
            OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, bytes.data(), bytes.size(), bytes.size(),
            openmpt_log_func_silent, nullptr, openmpt_error_func_ignore, nullptr, nullptr, nullptr);
        if (probe != OPENMPT_PROBE_FILE_HEADER_RESULT_SUCCESS) {
            return false;
        }
        // Positions set by seeks restart the samples that would be sounding there; a module
        // ends at its end (or at a backward jump) instead of fading out or looping.
        const openmpt_module_initial_ctl ctls[] = {
            {"seek.sync_samples", "1"},
            {"play.at_end", "stop"},
            {nullptr, nullptr},
        };
        module_ = openmpt_module_create_from_memory2(
            bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
            nullptr, nullptr, nullptr, ctls);
        if (module_ == nullptr) {
            return false;
        }
        // The song-end detection already stops at a jump back to an earlier pattern, so
        // stopOnBackwardJump and the default behave alike: the module plays once.
        (void)stopOnBackwardJump;
        openmpt_module_set_repeat_count(module_, 0);
        const double seconds = openmpt_module_get_duration_seconds(module_);
        if (!(seconds >= 0.0) || seconds > 24.0 * 3600.0) {
            return false;
        }
        channels_ = 2;
        sampleRate_ = sampleRate;
        // The length is fixed here and the stream is made to match it exactly (cut or padded
        // with silence), so the decode and playback channels agree to the byte.
        lengthFrames_ = static_cast<std::uint64_t>(std::llround(seconds * sampleRate));
        exactLength_ = true;
        return true;
    }

    std::size_t read(float* out, std::size_t frames) override {
        const std::uint64_t left = lengthFrames_ - std::min(position_, lengthFrames_);
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(frames, left));
        std::size_t done = 0;
        while (!rendererEnded_ && done < want) {
            const std::size_t got = openmpt_module_read_interleaved_float_stereo(
                module_, sampleRate_, want - done, out + done * 2);
            if (got == 0) {
                rendererEnded_ = true;
            }
            done += got;
        }
        std::fill(out + done * 2, out + want * 2, 0.0f);
        position_ += want;
        return want;
    }

    bool seek(std::uint64_t frame) override {
        if (frame > lengthFrames_) {
            return false;
        }
        openmpt_module_set_position_seconds(module_, static_cast<double>(frame) / sampleRate_);
        position_ = frame;
        rendererEnded_ = false;
        return true;
    }

private:
    openmpt_module* module_ = nullptr;
    std::uint64_t position_ = 0;
    bool rendererEnded_ = false;
};

} // namespace

std::unique_ptr<Decoder> openModuleDecoder(std::unique_ptr<ByteSource> source, int sampleRate,
                                           bool stopOnBackwardJump) {
    if (!source || sampleRate < kMinSampleRate || sampleRate > kMaxSampleRate) {
        return nullptr;
    }
    // A glance at the header first, so an ordinary audio file is turned away without being
    // read whole.
    const std::int64_t size = source->size();
    std::vector<std::byte> head(static_cast<std::size_t>(std::clamp<std::int64_t>(
        size, 0, static_cast<std::int64_t>(openmpt_probe_file_header_get_recommended_size()))));
    if (head.empty() || !source->seek(0)) {
        return nullptr;
    }
    head.resize(source->read(head.data(), head.size()));
    const int probe =
        openmpt_probe_file_header(OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, head.data(), head.size(),
                                  static_cast<std::uint64_t>(size), openmpt_log_func_silent,
                                  nullptr, openmpt_error_func_ignore, nullptr, nullptr, nullptr);
    if (probe == OPENMPT_PROBE_FILE_HEADER_RESULT_FAILURE ||
        probe == OPENMPT_PROBE_FILE_HEADER_RESULT_ERROR) {
        return nullptr;
    }
    auto decoder = std::make_unique<ModuleDecoder>();
    if (!decoder->open(source->readAll(kMaxModuleBytes), sampleRate, stopOnBackwardJump)) {
        return nullptr;
    }
    return decoder;
}

} // namespace tavrela::audio
