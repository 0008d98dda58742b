#include "waveform_decode.h"

#include <display/model/graph_data.h>

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

std::uint64_t DecodeWaveformInto(WaveformSource& source, std::span<TGraphData* const> curves,
                                 const std::function<void(int percent)>& progress) {
    const int chans = source.Channels();
    if (chans <= 0) {
        return 0;
    }
    const std::uint64_t length = source.LengthBytes();
    std::size_t capacity = InitialSampleCapacity(length, chans);
    for (TGraphData* curve : curves) {
        curve->SetLength(capacity);
        AdviseLargePages(*curve);
    }

    // Curves beyond the source's channels stay empty; channels beyond the curves are read
    // and dropped.
    const std::size_t filled = std::min(curves.size(), static_cast<std::size_t>(chans));
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
        if (done + frames > capacity) {
            // Longer than the allowance: grow by half again rather than write past the end.
            capacity = std::max<std::size_t>(done + frames, capacity + capacity / 2 + 1);
            for (TGraphData* curve : curves) {
                curve->SetLength(capacity);
            }
        }
        for (std::size_t i = 0; i < filled; ++i) {
            TGDGISample* out = curves[i]->data() + done;
            const float* in = buffer.data() + i;
            for (std::size_t j = 0; j < frames; ++j) {
                out[j].Value = in[j * static_cast<std::size_t>(chans)];
            }
        }
        done += frames;
        if (progress) {
            const std::uint64_t position = source.PositionBytes();
            const int percent = length == 0 ? 100
                                            : static_cast<int>(static_cast<double>(position) /
                                                               static_cast<double>(length) * 100.0);
            progress(std::clamp(percent, 0, 100));
        }
    }

    for (TGraphData* curve : curves) {
        curve->SetLength(static_cast<std::size_t>(done));
    }
    return done;
}

} // namespace tavrela
