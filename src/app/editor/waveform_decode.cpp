#include "waveform_decode.h"

#include <display/model/graph_data.h>
#include <display/model/sample_summary.h>

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tavrela {

namespace {

// The arrays are written once from start to end: ask for huge pages where the system gives
// them only on request, which spares most of the page faults of a long file. A hint only.
void AdviseLargePages(TGraphData& data) {
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(data.data());
    const std::uintptr_t end = start + data.Length() * sizeof(TGDGISample);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = end & ~(kHugePage - 1);
    if (start != 0 && last > first) {
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
}

} // namespace

std::size_t InitialSampleCapacity(std::uint64_t lengthBytes, int channels) {
    if (channels <= 0) {
        return 0;
    }
    const std::uint64_t frames = (lengthBytes / static_cast<std::uint64_t>(channels)) / 4;
    // nearbyint rounds halves to even under the default rounding mode.
    return static_cast<std::size_t>(std::nearbyint(static_cast<double>(frames) * 1.2));
}

namespace {

// The decode loop: every block of interleaved frames to `block`, progress after each. A read
// error or a read of nothing ends it. Returns the frames read.
std::uint64_t DecodeBlocks(WaveformSource& source,
                           const std::function<void(const float*, std::size_t)>& block,
                           const std::function<void(int percent)>& progress) {
    const int chans = source.Channels();
    const std::uint64_t length = source.LengthBytes();
    std::vector<float> buffer(static_cast<std::size_t>(chans) * kWaveformBlockFrames);
    const auto blockBytes = static_cast<std::uint32_t>(buffer.size() * sizeof(float));
    std::uint64_t done = 0;
    while (source.Active()) {
        const std::uint32_t got = source.Read(buffer.data(), blockBytes);
        if (got == kWaveformReadError || got == 0) {
            break;
        }
        const std::size_t frames = std::min<std::size_t>(
            (got / 4) / static_cast<std::uint32_t>(chans), kWaveformBlockFrames);
        block(buffer.data(), frames);
        done += frames;
        if (progress) {
            const std::uint64_t position = source.PositionBytes();
            const int percent = length == 0 ? 100
                                            : static_cast<int>(static_cast<double>(position) /
                                                               static_cast<double>(length) * 100.0);
            progress(std::clamp(percent, 0, 100));
        }
    }
    return done;
}

} // namespace

std::uint64_t DecodeWaveformInto(WaveformSource& source, std::span<TGraphData* const> curves,
                                 const std::function<void(int percent)>& progress) {
    const int chans = source.Channels();
    if (chans <= 0) {
        return 0;
    }
    std::size_t capacity = InitialSampleCapacity(source.LengthBytes(), chans);
    for (TGraphData* curve : curves) {
        curve->SetLength(capacity);
        AdviseLargePages(*curve);
    }

    // Curves beyond the source's channels stay empty; channels beyond the curves are read
    // and dropped.
    const std::size_t filled = std::min(curves.size(), static_cast<std::size_t>(chans));
    std::uint64_t done = 0;
    DecodeBlocks(
        source,
        [&](const float* buffer, std::size_t frames) {
            if (done + frames > capacity) {
                // Longer than the allowance: grow by half again rather than write past the end.
                capacity = std::max<std::size_t>(done + frames, capacity + capacity / 2 + 1);
                for (TGraphData* curve : curves) {
                    curve->SetLength(capacity);
                }
            }
            for (std::size_t i = 0; i < filled; ++i) {
                TGDGISample* out = curves[i]->data() + done;
                const float* in = buffer + i;
                for (std::size_t j = 0; j < frames; ++j) {
                    out[j].Value = in[j * static_cast<std::size_t>(chans)];
                }
            }
            done += frames;
        },
        progress);

    for (TGraphData* curve : curves) {
        curve->SetLength(static_cast<std::size_t>(done));
    }
    return done;
}

std::uint64_t DecodeWaveformSummaries(WaveformSource& source,
                                      std::span<TSampleSummary* const> summaries,
                                      const std::function<void(int percent)>& progress) {
    const int chans = source.Channels();
    if (chans <= 0) {
        return 0;
    }
    for (TSampleSummary* summary : summaries) {
        summary->Clear();
        summary->Reserve(InitialSampleCapacity(source.LengthBytes(), chans));
    }
    const std::size_t filled = std::min(summaries.size(), static_cast<std::size_t>(chans));
    return DecodeBlocks(
        source,
        [&](const float* buffer, std::size_t frames) {
            for (std::size_t i = 0; i < filled; ++i) {
                summaries[i]->Append(buffer + i, frames, static_cast<std::size_t>(chans));
            }
        },
        progress);
}

void SampleRangeReader::SetSource(WaveformSource* source) {
    source_ = source;
    frames_ = 0;
    frames_data_.clear();
}

std::size_t SampleRangeReader::Read(int channel, std::uint64_t first, float* out,
                                    std::size_t count) {
    if (source_ == nullptr || count == 0 || channel < 0) {
        return 0;
    }
    const auto chans = static_cast<std::size_t>(source_->Channels());
    if (chans == 0 || static_cast<std::size_t>(channel) >= chans) {
        return 0;
    }
    const bool kept = first >= first_ && first + count <= first_ + frames_;
    if (!kept) {
        frames_ = 0;
        if (!source_->Seek(first)) {
            return 0;
        }
        first_ = first;
        frames_data_.resize(count * chans);
        while (frames_ < count && source_->Active()) {
            const std::size_t room = std::min<std::size_t>(
                count - frames_, std::size_t{1} << 20); // one read stays well below 4 GB
            const std::uint32_t got = source_->Read(frames_data_.data() + frames_ * chans,
                                                    static_cast<std::uint32_t>(room * chans * 4));
            if (got == kWaveformReadError || got == 0) {
                break;
            }
            frames_ += std::min<std::size_t>(got / 4 / chans, room);
        }
        frames_data_.resize(frames_ * chans);
    }
    const std::uint64_t offset = first - first_;
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(count, first_ + frames_ - first));
    for (std::size_t j = 0; j < n; ++j) {
        out[j] = frames_data_[(offset + j) * chans + static_cast<std::size_t>(channel)];
    }
    return n;
}

} // namespace tavrela
