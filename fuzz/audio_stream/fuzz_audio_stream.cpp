// Opens arbitrary bytes as a stream and decodes them the way the editor does (blocks of 512
// frames until the channel stops), with a jump into the middle and a sync on the way.

#include "audio/engine.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace tavrela::audio;

// libsndfile leaves the Vorbis info of a malformed Ogg stream allocated on one error path (the
// program holds no handle that could free it). That one allocation is not a leak of ours; the
// target suppresses it itself, so that it fuzzes with leak checking on also when run by hand.
// Every other leak stays fatal.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:vorbis_info_init\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Engine engine(EngineOptions{false, true, 50});
    const auto flags = ChannelFlags::Float | ChannelFlags::Prescan | ChannelFlags::Decode;
    const ChannelHandle h =
        engine.createStream(std::span(reinterpret_cast<const std::byte*>(data), size), flags);
    if (h == 0) {
        return 0;
    }
    const int chans = engine.info(h)->channels;
    const std::int64_t length = engine.length(h);
    int fired = 0;
    engine.setSync(h, length / 3, [&fired](SyncHandle, ChannelHandle, std::uintptr_t) { ++fired; });
    std::vector<float> block(static_cast<std::size_t>(chans) * 512);
    const auto blockBytes = static_cast<std::uint32_t>(block.size() * sizeof(float));
    // Bounded: a hostile header may claim hours of audio that decode as silence.
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 2000 && engine.isActive(h) != ChannelState::Stopped; ++i) {
            const std::uint32_t got = engine.getData(h, block.data(), blockBytes);
            if (got == kDataError) {
                break;
            }
            if (got > blockBytes || engine.position(h) > length) {
                __builtin_trap(); // wrote past the block, or past the length it reported
            }
        }
        engine.setPosition(h, length / 2);
    }
    engine.freeStream(h);
    return 0;
}
