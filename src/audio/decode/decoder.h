#pragma once

#include "audio/decode/byte_source.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tavrela::audio {

/// A source of interleaved 32-bit float frames at the stream's own rate and channel count.
class Decoder {
public:
    virtual ~Decoder() = default;
    int channels() const { return channels_; }
    int sampleRate() const { return sampleRate_; }
    /// Length in frames; exact when exactLength() (the decoder then never delivers more).
    std::uint64_t lengthFrames() const { return lengthFrames_; }
    bool exactLength() const { return exactLength_; }
    /// Decodes up to `frames` frames into `out`; fewer only at the end of the data or on an
    /// error, which both end the stream.
    virtual std::size_t read(float* out, std::size_t frames) = 0;
    /// Moves so that the next frame read is frame `frame`; false when that is not possible.
    virtual bool seek(std::uint64_t frame) = 0;

protected:
    int channels_ = 0;
    int sampleRate_ = 0;
    std::uint64_t lengthFrames_ = 0;
    bool exactLength_ = false;
};

/// Limits every decoder enforces on what a file claims, so a hostile header cannot make the
/// engine allocate or loop without bound.
inline constexpr int kMaxChannels = 32;
inline constexpr int kMinSampleRate = 1000;
inline constexpr int kMaxSampleRate = 384000;
/// Longest stream taken at its word (about 290 days at 44.1 kHz); byte counts stay far from
/// overflowing.
inline constexpr std::uint64_t kMaxFrames = std::uint64_t{1} << 40;

/// Opens MPEG audio (gapless, optionally prescanned for exact length and seeks), taking
/// `source` only on success; nullptr when the bytes are not MPEG audio.
std::unique_ptr<Decoder> openMpegDecoder(std::unique_ptr<ByteSource>& source, bool prescan);
/// Opens WAV, AIFF, FLAC, Ogg and the other containers of the PCM file library, taking
/// `source` only on success; a stream that does not state its length is counted through with
/// `prescan`; nullptr when the bytes are none of them (MPEG audio is left to
/// openMpegDecoder()).
std::unique_ptr<Decoder> openPcmDecoder(std::unique_ptr<ByteSource>& source, bool prescan);
/// Opens a tracker module rendered to stereo at `sampleRate`; nullptr when it is not one.
std::unique_ptr<Decoder> openModuleDecoder(std::unique_ptr<ByteSource> source, int sampleRate,
                                           bool stopOnBackwardJump);

/// Opens a sample stream: the PCM containers first (their headers are strict), then MPEG.
std::unique_ptr<Decoder> openStreamDecoder(std::unique_ptr<ByteSource> source, bool prescan);

} // namespace tavrela::audio
