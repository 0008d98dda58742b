// Fuzzes the ID3v2 reader and the writer's conversion of the old tag's frames: any bytes as
// the start of a file, then the tag the writer would build over them, read back.
#include "tags/byte_source.h"
#include "tags/id3v2.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavrela::tags;
    const MemorySource source({data, size});
    TID3v2 tag;
    tag.ReadFrom(source);
    bool rewrite = false;
    std::uint32_t oldSize = 0;
    const Bytes written = tag.RenderTag(source, rewrite, oldSize);
    if (!written.empty()) {
        TID3v2 back;
        if (!back.ReadFrom(MemorySource(written)) || !back.Exists || back.Title != tag.Title ||
            back.Intro != tag.Intro || back.Comment != tag.Comment || back.Rating != tag.Rating) {
            std::abort(); // what was read must survive the rewrite
        }
    }
    return 0;
}
