#include "audio/channel.h"

#include <algorithm>

namespace tavrela::audio {

Channel::Channel(ChannelHandle h, std::unique_ptr<Decoder> d, bool isModule, bool isDecode)
    : handle(h), decoder(std::move(d)) {
    info.channels = decoder->channels();
    info.sampleRate = decoder->sampleRate();
    info.isModule = isModule;
    info.isDecode = isDecode;
    lengthFrames = decoder->lengthFrames();
    exactLength = decoder->exactLength();
    dataEnded = exactLength && lengthFrames == 0;
    if (!isDecode) {
        raw.resize(kBlockFrames * static_cast<std::size_t>(info.channels));
        staged.resize(kBlockFrames * 2);
    }
}

std::uint64_t Channel::nextSyncAfter(std::uint64_t frame) const {
    std::uint64_t next = kNever;
    for (const auto& s : syncs) {
        if (s->frame > frame && s->frame < next) {
            next = s->frame;
        }
    }
    return next;
}

std::size_t Channel::pull(float* out, std::size_t frames, bool& hitSync) {
    hitSync = false;
    if (dataEnded || !decoder) {
        return 0;
    }
    std::uint64_t limit = frames;
    const std::uint64_t next = nextSyncAfter(pos);
    if (next != kNever) {
        limit = std::min(limit, next - pos);
    }
    if (exactLength) {
        limit = std::min(limit, lengthFrames - std::min(pos, lengthFrames));
    }
    std::size_t got = 0;
    while (got < limit) {
        const std::size_t n = decoder->read(out + got * static_cast<std::size_t>(info.channels),
                                            static_cast<std::size_t>(limit) - got);
        if (n == 0) {
            dataEnded = true;
            break;
        }
        got += n;
    }
    pos += got;
    if (exactLength && pos >= lengthFrames) {
        dataEnded = true;
    }
    hitSync = got > 0 && pos == next;
    return got;
}

bool Channel::seekTo(std::uint64_t frame) {
    if (!decoder || (exactLength && frame > lengthFrames)) {
        return false;
    }
    if (!decoder->seek(frame)) {
        // The decoder may have moved anyway: go back, or end the data if even that fails.
        if (!decoder->seek(pos)) {
            dataEnded = true;
        }
        return false;
    }
    pos = frame;
    dataEnded = exactLength && pos >= lengthFrames;
    mixEnded = false;
    endOut = kNever;
    stagedCount = 0;
    stagedOffset = 0;
    restartResampler();
    heard.clear();
    return true;
}

void Channel::restartResampler() {
    if (resampler) {
        resampler->clear();
    }
    resampleClock = static_cast<double>(mixFrame());
    draining = false;
    endAfterDrain = false;
}

void Channel::noteResampled(std::uint64_t outAt, std::size_t made, double ratio) {
    // The converter holds some input back inside its filter, so the input it has taken runs
    // ahead of its output: count the output instead, never beyond the input taken.
    const double next = std::min(resampleClock + static_cast<double>(made) * ratio,
                                 static_cast<double>(mixFrame()));
    const auto from = static_cast<std::uint64_t>(resampleClock);
    heard.add(outAt, made, from, static_cast<std::uint64_t>(next) - from);
    resampleClock = next;
}

} // namespace tavrela::audio
