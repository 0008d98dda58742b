#include "audio/decode/decoder.h"

#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <mutex>

namespace tavrela::audio {
namespace {

mpg123_ssize_t readCallback(void* handle, void* dst, size_t count) {
    return static_cast<mpg123_ssize_t>(static_cast<ByteSource*>(handle)->read(dst, count));
}

off_t seekCallback(void* handle, off_t offset, int whence) {
    return static_cast<off_t>(static_cast<ByteSource*>(handle)->seek(offset, whence));
}

class MpegDecoder final : public Decoder {
public:
    // Reads through `source` without owning it until open() succeeded and own() was called,
    // so a rejected file leaves the source to the next reader.
    explicit MpegDecoder(ByteSource* source) : source_(source) {}
    ~MpegDecoder() override {
        if (handle_ != nullptr) {
            mpg123_close(handle_);
            mpg123_delete(handle_);
        }
    }
    MpegDecoder(const MpegDecoder&) = delete;
    MpegDecoder& operator=(const MpegDecoder&) = delete;

    bool open(bool prescan) {
        static std::once_flag initOnce;
        std::call_once(initOnce, [] { mpg123_init(); });
        int error = MPG123_OK;
        handle_ = mpg123_new(nullptr, &error);
        if (handle_ == nullptr) {
            return false;
        }
        // Gapless: the encoder's delay and padding are trimmed, so the length and every byte
        // position count only the real audio. No resampling inside the decoder: the stream
        // keeps its own rate and the mixer converts.
        mpg123_param(handle_, MPG123_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
        mpg123_format_none(handle_);
        const long* rates = nullptr;
        size_t rateCount = 0;
        mpg123_rates(&rates, &rateCount);
        for (size_t i = 0; i < rateCount; ++i) {
            mpg123_format(handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
        }
        if (mpg123_replace_reader_handle(handle_, readCallback, seekCallback, nullptr) !=
                MPG123_OK ||
            mpg123_open_handle(handle_, source_) != MPG123_OK) {
            return false;
        }
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK ||
            encoding != MPG123_ENC_FLOAT_32 || channels < 1 || channels > 2 ||
            rate < kMinSampleRate || rate > kMaxSampleRate) {
            return false;
        }
        sampleRate_ = static_cast<int>(rate);
        channels_ = channels;
        if (prescan) {
            // A scan reads every frame header: the exact length and a seek index that makes
            // every seek land on the exact sample.
            exactLength_ = mpg123_scan(handle_) == MPG123_OK;
        }
        const off_t length = mpg123_length(handle_);
        lengthFrames_ = length > 0 ? std::min(static_cast<std::uint64_t>(length), kMaxFrames) : 0;
        return true;
    }

    std::size_t read(float* out, std::size_t frames) override {
        if (ended_) {
            return 0;
        }
        if (exactLength_) {
            frames = static_cast<std::size_t>(std::min<std::uint64_t>(
                frames, lengthFrames_ - std::min(position_, lengthFrames_)));
        }
        const std::size_t frameBytes = static_cast<std::size_t>(channels_) * sizeof(float);
        std::size_t doneFrames = 0;
        int idleRounds = 0;
        while (doneFrames < frames) {
            size_t doneBytes = 0;
            const int result =
                mpg123_read(handle_, reinterpret_cast<unsigned char*>(out + doneFrames * channels_),
                            (frames - doneFrames) * frameBytes, &doneBytes);
            doneFrames += doneBytes / frameBytes;
            if (result == MPG123_NEW_FORMAT) {
                long rate = 0;
                int channels = 0;
                int encoding = 0;
                // A stream that changes its rate or layout midway cannot continue as one
                // stream of fixed frames: it ends there.
                if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK ||
                    rate != sampleRate_ || channels != channels_ ||
                    encoding != MPG123_ENC_FLOAT_32) {
                    ended_ = true;
                    break;
                }
                continue;
            }
            if (result != MPG123_OK) {
                ended_ = true; // MPG123_DONE or an error: both end the data
                break;
            }
            // Guard against a decoder that keeps answering OK without output.
            idleRounds = doneBytes == 0 ? idleRounds + 1 : 0;
            if (idleRounds > 64) {
                ended_ = true;
                break;
            }
        }
        position_ += doneFrames;
        return doneFrames;
    }

    bool seek(std::uint64_t frame) override {
        if (frame > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) ||
            (exactLength_ && frame > lengthFrames_)) {
            return false;
        }
        const off_t reached = mpg123_seek(handle_, static_cast<off_t>(frame), SEEK_SET);
        if (reached < 0) {
            return false;
        }
        position_ = static_cast<std::uint64_t>(reached);
        ended_ = false;
        return position_ == frame;
    }

    void own(std::unique_ptr<ByteSource> source) { owned_ = std::move(source); }

private:
    ByteSource* source_;
    std::unique_ptr<ByteSource> owned_;
    mpg123_handle* handle_ = nullptr;
    std::uint64_t position_ = 0;
    bool ended_ = false;
};

} // namespace

std::unique_ptr<Decoder> openMpegDecoder(std::unique_ptr<ByteSource>& source, bool prescan) {
    if (!source) {
        return nullptr;
    }
    auto decoder = std::make_unique<MpegDecoder>(source.get());
    if (!decoder->open(prescan)) {
        return nullptr;
    }
    decoder->own(std::move(source));
    return decoder;
}

} // namespace tavrela::audio
