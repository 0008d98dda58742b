// Fuzzes the ID3v2 reader and the writer's conversion of the old tag's frames: any bytes as
// the start of a file, then the tag the writer would build over them, read back and built
// once more.
#include "tags/byte_source.h"
#include "tags/id3v2.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavrela::tags;
    const MemorySource source({data, size});
    TID3v2 tag;
    tag.ReadFrom(source);
    Id3v2FramesWithoutV23Form(source);
    bool rewrite = false;
    std::uint32_t oldSize = 0;
    const Bytes written = tag.RenderTag(source, rewrite, oldSize);
    if (!written.empty()) {
        TID3v2 back;
        const MemorySource writtenSource(written);
        if (!back.ReadFrom(writtenSource) || !back.Exists || back.Title != tag.Title ||
            back.Intro != tag.Intro || back.Comment != tag.Comment || back.Rating != tag.Rating ||
            back.Link != tag.Link) {
            std::abort(); // what was read must survive the rewrite
        }
        // Saving the saved file again changes nothing: every frame the first save carried,
        // and the table's own, come out the same.
        if (back.RenderTag(writtenSource, rewrite, oldSize) != written ||
            !Id3v2FramesWithoutV23Form(writtenSource).empty()) {
            std::abort();
        }
    }
    return 0;
}
