// Fuzzes the ID3v1 block reader.
#include "tags/byte_source.h"
#include "tags/id3v1.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavrela::tags;
    TID3v1 t;
    t.ReadFrom(MemorySource({data, size}));
    return t.GenreName().size() > 64 ? 1 : 0;
}
