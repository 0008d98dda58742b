// Stored marker times come from the audio file's tag, written by anyone. Reading must only
// ever return a number or throw the conversion error; a finite result written back and read
// again must come back within the text's resolution.

#include "app/markers/time_text.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    double seconds = 0;
    try {
        seconds = tavrela::ParseMarkerTime(text);
    } catch (const tavrela::EConvertError&) {
        return 0;
    }
    if (!std::isfinite(seconds)) {
        std::abort();
    }
    if (seconds >= 0 && seconds < 1e9) {
        const double again = tavrela::ParseMarkerTime(tavrela::SecondsToMarkerText(seconds));
        if (std::fabs(again - seconds) > 1e-5 * (1 + seconds)) {
            std::abort();
        }
    }
    return 0;
}
