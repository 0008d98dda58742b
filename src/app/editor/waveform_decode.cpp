#include "waveform_decode.h"

#include <display/model/graph_data.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace tavrela {

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
