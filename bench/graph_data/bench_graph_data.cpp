// Peak memory of a curve's sample array through the decoder's pattern: allocate 1.2 times
// the expected length, fill the decoded part, cut to the decoded length. The floor is the
// least any approach needs: one array of exactly the decoded length, filled. A naive
// vector (reserve 1.2x, then shrink_to_fit) is shown for contrast: its shrink copies.

#include "display/model/graph_data.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Five minutes at 44 100 Hz: one curve's frame count.
constexpr std::size_t kFrames = 5 * 60 * 44100;

long StatusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(key);
    while (std::getline(in, line)) {
        if (line.compare(0, n, key) == 0) {
            return std::stol(line.substr(n + 1));
        }
    }
    return -1;
}

// Resets the peak resident size to the current one (Linux: write 5 to clear_refs).
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

template <typename Fn> double PeakMb(Fn&& fn) {
    ResetPeak();
    const long base = StatusKb("VmRSS:");
    fn();
    return (StatusKb("VmHWM:") - base) / 1024.0;
}

void Touch(tavrela::TGDGISample* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        p[i].Value = static_cast<float>(i & 0xFFFF) * 1e-5f;
    }
}

} // namespace

int main() {
    const double decodedMb = kFrames * sizeof(tavrela::TGDGISample) / (1024.0 * 1024.0);
    const std::size_t allocated = kFrames * 6 / 5;

    const double floor = PeakMb([] {
        std::vector<tavrela::TGDGISample> v(kFrames);
        Touch(v.data(), v.size());
    });

    double afterCut = 0;
    const double graphData = PeakMb([&] {
        tavrela::TGraphData d(allocated);
        Touch(d.data(), kFrames);
        d.SetLength(kFrames);
        afterCut = d.ReservedBytes() / (1024.0 * 1024.0);
    });

    const double naive = PeakMb([&] {
        std::vector<tavrela::TGDGISample> v(allocated);
        Touch(v.data(), kFrames);
        v.resize(kFrames);
        v.shrink_to_fit();
    });

    std::printf("graph_data_decoded: %.1f MB\n", decodedMb);
    std::printf("graph_data_floor_peak: %.1f MB\n", floor);
    std::printf("graph_data_peak: %.1f MB\n", graphData);
    std::printf("graph_data_reserved_after_cut: %.1f MB\n", afterCut);
    std::printf("naive_vector_peak: %.1f MB\n", naive);
    std::printf("graph_data_peak_vs_floor: %.2f ratio\n", graphData / floor);
    std::printf("naive_vector_peak_vs_floor: %.2f ratio\n", naive / floor);
    return 0;
}
