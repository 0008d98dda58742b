// Fuzzes the RIFF/WAVE header reader.
#include "tags/byte_source.h"
#include "tags/wav_file.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavrela::tags;
    TWAVfile w;
    w.ReadFrom(MemorySource({data, size}));
    volatile double d = w.Duration();
    (void)d;
    return w.ChannelMode().empty() ? 1 : 0;
}
