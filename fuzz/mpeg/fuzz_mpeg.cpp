// Fuzzes the MPEG stream analysis (with the tag reads it makes) and every derived fact.
#include "tags/byte_source.h"
#include "tags/mpeg_audio.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavrela::tags;
    TMPEGaudio m;
    m.ReadFrom(MemorySource({data, size}));
    volatile double sink = m.Duration() + m.BitRate() + m.SampleRate() + m.FrameCount() +
                           m.EncoderID() + (m.Valid() ? 1 : 0);
    (void)sink;
    const std::string texts =
        m.VersionText() + m.LayerText() + m.ChannelMode() + m.Emphasis() + m.EncoderText();
    return texts.empty() ? 1 : 0;
}
