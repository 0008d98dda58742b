#include "audio/decode/decoder.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdio>

namespace tavrela::audio {
namespace {

sf_count_t lengthCallback(void* user) {
    return static_cast<ByteSource*>(user)->size();
}

sf_count_t seekCallback(sf_count_t offset, int whence, void* user) {
    auto* source = static_cast<ByteSource*>(user);
    sf_count_t target = offset;
    if (whence == SEEK_CUR) {
        target += source->tell();
    } else if (whence == SEEK_END) {
        target += source->size();
    } else if (whence != SEEK_SET) {
        return -1;
    }
    return source->seek(target) ? target : -1;
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

    bool open() {
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
        lengthFrames_ = static_cast<std::uint64_t>(info.frames);
        exactLength_ = true;
        return true;
    }

    std::size_t read(float* out, std::size_t frames) override {
        const std::uint64_t left = lengthFrames_ - std::min(position_, lengthFrames_);
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
        if (frame > lengthFrames_) {
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

std::unique_ptr<Decoder> openPcmDecoder(std::unique_ptr<ByteSource>& source) {
    if (!source) {
        return nullptr;
    }
    auto decoder = std::make_unique<PcmDecoder>(source.get());
    if (!decoder->open()) {
        return nullptr;
    }
    decoder->own(std::move(source));
    return decoder;
}

std::unique_ptr<Decoder> openStreamDecoder(std::unique_ptr<ByteSource> source, bool prescan) {
    // The PCM containers identify themselves by strict headers; MPEG audio has no header of
    // its own and is tried last.
    if (auto pcm = openPcmDecoder(source)) {
        return pcm;
    }
    if (!source || !source->seek(0)) {
        return nullptr;
    }
    return openMpegDecoder(std::move(source), prescan);
}

} // namespace tavrela::audio
