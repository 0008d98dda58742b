#include "audio/decode/decoder.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace tavrela::audio {
namespace {

sf_count_t lengthCallback(void* user) {
    return static_cast<ByteSource*>(user)->size();
}

sf_count_t seekCallback(sf_count_t offset, int whence, void* user) {
    return static_cast<ByteSource*>(user)->seek(offset, whence);
}

sf_count_t readCallback(void* dst, sf_count_t count, void* user) {
    if (count <= 0) {
        return 0;
    }
    return static_cast<sf_count_t>(
        static_cast<ByteSource*>(user)->read(dst, static_cast<std::size_t>(count)));
}

sf_count_t writeCallback(const void*, sf_count_t, void*) {
    return 0;
} // opened read-only

sf_count_t tellCallback(void* user) {
    return static_cast<ByteSource*>(user)->tell();
}

class PcmDecoder final : public Decoder {
public:
    // Reads through `source` without owning it until open() succeeded and own() was called,
    // so a rejected file leaves the source to the next reader.
    explicit PcmDecoder(ByteSource* source) : source_(source) {}
    ~PcmDecoder() override {
        if (file_ != nullptr) {
            sf_close(file_);
        }
    }
    PcmDecoder(const PcmDecoder&) = delete;
    PcmDecoder& operator=(const PcmDecoder&) = delete;

    bool open(bool prescan) {
        SF_VIRTUAL_IO io{lengthCallback, seekCallback, readCallback, writeCallback, tellCallback};
        SF_INFO info{};
        file_ = sf_open_virtual(&io, SFM_READ, &info, source_);
        if (file_ == nullptr) {
            return false;
        }
        // MPEG audio goes through the gapless decoder so its length matches every other
        // reader of the file.
        if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG || info.channels < 1 ||
            info.channels > kMaxChannels || info.samplerate < kMinSampleRate ||
            info.samplerate > kMaxSampleRate || info.frames < 0 || !info.seekable) {
            return false;
        }
        channels_ = info.channels;
        sampleRate_ = info.samplerate;
        if (static_cast<std::uint64_t>(info.frames) < kMaxFrames) {
            lengthFrames_ = static_cast<std::uint64_t>(info.frames);
            exactLength_ = true;
        } else if (prescan) {
            // The header does not tell the length (a FLAC stream may leave it out): count it.
            lengthFrames_ = countFrames();
            exactLength_ = sf_seek(file_, 0, SEEK_SET) == 0;
        }
        return true;
    }

    std::uint64_t countFrames() {
        std::vector<float> block(4096 * static_cast<std::size_t>(channels_));
        std::uint64_t total = 0;
        sf_count_t got = 0;
        while (total < kMaxFrames && (got = sf_readf_float(file_, block.data(), 4096)) > 0) {
            total += static_cast<std::uint64_t>(got);
        }
        return total;
    }

    std::size_t read(float* out, std::size_t frames) override {
        const std::uint64_t left =
            exactLength_ ? lengthFrames_ - std::min(position_, lengthFrames_) : kMaxFrames;
        const auto want = static_cast<sf_count_t>(std::min<std::uint64_t>(frames, left));
        if (want <= 0) {
            return 0;
        }
        const sf_count_t got = sf_readf_float(file_, out, want);
        if (got <= 0) {
            return 0;
        }
        position_ += static_cast<std::uint64_t>(got);
        return static_cast<std::size_t>(got);
    }

    bool seek(std::uint64_t frame) override {
        if (frame > (exactLength_ ? lengthFrames_ : kMaxFrames)) {
            return false;
        }
        if (sf_seek(file_, static_cast<sf_count_t>(frame), SEEK_SET) < 0) {
            return false;
        }
        position_ = frame;
        return true;
    }

    void own(std::unique_ptr<ByteSource> source) { owned_ = std::move(source); }

private:
    ByteSource* source_;
    std::unique_ptr<ByteSource> owned_;
    SNDFILE* file_ = nullptr;
    std::uint64_t position_ = 0;
};

} // namespace

std::unique_ptr<Decoder> openPcmDecoder(std::unique_ptr<ByteSource>& source, bool prescan) {
    if (!source) {
        return nullptr;
    }
    auto decoder = std::make_unique<PcmDecoder>(source.get());
    if (!decoder->open(prescan)) {
        return nullptr;
    }
    decoder->own(std::move(source));
    return decoder;
}

std::unique_ptr<Decoder> openStreamDecoder(std::unique_ptr<ByteSource> source, bool prescan) {
    if (!source) {
        return nullptr;
    }
    // An ID3v2 tag or an MPEG frame sync at the start goes straight to the MPEG decoder (the
    // PCM library would otherwise open it through its own MPEG support first). Everything else
    // meets the PCM containers first: their headers are strict, while MPEG audio has no header
    // of its own and is tried last.
    unsigned char head[3] = {};
    const bool looksMpeg =
        source->read(head, 3) == 3 && ((head[0] == 'I' && head[1] == 'D' && head[2] == '3') ||
                                       (head[0] == 0xFF && (head[1] & 0xE0) == 0xE0));
    if (looksMpeg && source->seek(0)) {
        if (auto mpeg = openMpegDecoder(source, prescan)) {
            return mpeg;
        }
    }
    if (!source->seek(0)) {
        return nullptr;
    }
    if (auto pcm = openPcmDecoder(source, prescan)) {
        return pcm;
    }
    if (looksMpeg || !source->seek(0)) {
        return nullptr;
    }
    return openMpegDecoder(source, prescan);
}

} // namespace tavrela::audio
