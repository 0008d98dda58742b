#pragma once
// The decode of a whole file into the display's sample arrays, kept apart from the window so
// it can be exercised with any source: blocks of 512 frames, one curve per channel.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace tavrela {

class TGraphData;
class TSampleSummary;

/// What the decode needs of a decoding channel: interleaved 32-bit float samples in bytes.
class WaveformSource {
public:
    virtual ~WaveformSource() = default;
    virtual int Channels() const = 0;
    /// Length of the whole stream in bytes (channels x 4 x frames).
    virtual std::uint64_t LengthBytes() const = 0;
    /// Bytes delivered so far.
    virtual std::uint64_t PositionBytes() const = 0;
    /// True while the source has data left.
    virtual bool Active() const = 0;
    /// Reads up to `bytes` bytes into `buffer`; returns the bytes written, or
    /// kWaveformReadError.
    virtual std::uint32_t Read(float* buffer, std::uint32_t bytes) = 0;
    /// Goes to frame `frame` exactly, so that the next Read starts there; false when the
    /// source cannot (then its position is unspecified).
    virtual bool Seek(std::uint64_t frame) {
        (void)frame;
        return false;
    }
};

/// The error value of a read (all bits set).
inline constexpr std::uint32_t kWaveformReadError = 0xFFFFFFFFu;

/// Frames read per block.
inline constexpr int kWaveformBlockFrames = 512;

/// Elements allocated per curve before the decode: the expected frame count plus 20 %,
/// rounded to the nearest integer with halves to even.
std::size_t InitialSampleCapacity(std::uint64_t lengthBytes, int channels);

/// Decodes everything `source` delivers into `curves` (curve i takes channel i; only `Value`
/// is written) and cuts each array to the decoded frame count, which it returns. The arrays
/// are allocated once at InitialSampleCapacity and grow only when the source delivers more
/// than that. A read error or a read of nothing ends the decode. `progress` (optional) is
/// called after every block with the percentage of the stream read so far.
std::uint64_t DecodeWaveformInto(WaveformSource& source, std::span<TGraphData* const> curves,
                                 const std::function<void(int percent)>& progress);

/// The same decode into minimum/maximum summaries instead of sample arrays: what the display
/// draws from, about a sixteenth of the samples' size. Returns the decoded frame count.
std::uint64_t DecodeWaveformSummaries(WaveformSource& source,
                                      std::span<TSampleSummary* const> summaries,
                                      const std::function<void(int percent)>& progress);

/// Reads the samples of any range of frames again from a source that seeks (the file's
/// decoding channel): the full-resolution samples of the few seconds a deep zoom shows,
/// while only the summaries stay in memory. The last range read is kept, so that the
/// channels of one range cost one read.
class SampleRangeReader {
public:
    /// The source to read from (not owned; nullptr to have none). Forgets the kept range.
    void SetSource(WaveformSource* source);
    WaveformSource* Source() const { return source_; }
    /// Fills `out` with the samples of channel `channel` of frames first ... first + count - 1;
    /// returns how many it filled (fewer at the end of the stream, 0 on a failed seek).
    std::size_t Read(int channel, std::uint64_t first, float* out, std::size_t count);

private:
    WaveformSource* source_ = nullptr;
    std::uint64_t first_ = 0;
    std::size_t frames_ = 0;
    std::vector<float> frames_data_; // interleaved
};

} // namespace tavrela
