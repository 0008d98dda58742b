// Settings files come from the station's disk: any bytes must be read safely.
#include "ini_file.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto value = tavrela::ini::readValue(text, "BANCO", "CAMINHO");
    if (value && value->size() > 4 * size + 4) {
        __builtin_trap(); // a value can never be longer than its (UTF-8 widened) source
    }
    // Names taken from the input itself reach the other paths of the matcher.
    if (size > 2) {
        const std::size_t cut = data[0] % size;
        (void)tavrela::ini::readValue(text, text.substr(0, cut), text.substr(cut, 8));
    }
    return 0;
}
