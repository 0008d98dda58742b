#include "audio/output/output.h"

#include <algorithm>
#include <chrono>

namespace tavrela::audio {

NullOutput::NullOutput(int rate, bool manualClock, RenderFunction render, void* user)
    : rate_(rate), manual_(manualClock), render_(render), user_(user) {}

NullOutput::~NullOutput() {
    stop();
}

bool NullOutput::start() {
    if (running_.exchange(true)) {
        return true;
    }
    if (!manual_) {
        thread_ = std::thread([this] { run(); });
    }
    return true;
}

void NullOutput::stop() {
    running_ = false;
    if (thread_.joinable()) {
        thread_.join();
    }
}

void NullOutput::advance(float* out, std::size_t frames) {
    if (running_) {
        render_(user_, out, frames);
    } else {
        std::fill(out, out + frames * 2, 0.0f);
    }
}

void NullOutput::run() {
    // Consumes the mix at the output rate, in periods of about 10 ms, as a device would.
    using Clock = std::chrono::steady_clock;
    const std::size_t period = static_cast<std::size_t>(std::max(rate_ / 100, 1));
    std::vector<float> scratch(period * 2 * 4);
    const auto start = Clock::now();
    std::uint64_t played = 0;
    while (running_) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const auto due = static_cast<std::uint64_t>(elapsed * rate_);
        while (due > played && running_) {
            const auto n =
                static_cast<std::size_t>(std::min<std::uint64_t>(due - played, period * 4));
            render_(user_, scratch.data(), n);
            played += n;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace tavrela::audio
