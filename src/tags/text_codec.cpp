#include "text_codec.h"

#include <array>

namespace tavrela::tags {
namespace {

// Code points of Windows-1252 bytes 0x80..0x9F; the unassigned ones keep their C1 value.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Decodes one UTF-8 character at `i` (advancing it); invalid input yields U+FFFD and
// consumes one byte.
char32_t NextUtf8(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<std::uint8_t>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int extra = 0;
    char32_t c = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        c = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        c = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        c = b0 & 0x07;
        min = 0x10000;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + static_cast<std::size_t>(extra) >= s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<std::uint8_t>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += static_cast<std::size_t>(extra) + 1;
    return c;
}

} // namespace

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<std::uint8_t>(ch);
        if (b >= 0x80 && b < 0xA0) {
            AppendUtf8(out, kCp1252High[b - 0x80]);
        } else {
            AppendUtf8(out, b);
        }
    }
    return out;
}

bool Utf8ToCp1252(std::string_view utf8, std::string& out) {
    out.clear();
    out.reserve(utf8.size());
    bool all = true;
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = NextUtf8(utf8, i);
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        bool found = false;
        for (std::size_t k = 0; k < kCp1252High.size(); ++k) {
            if (kCp1252High[k] == c) {
                out.push_back(static_cast<char>(0x80 + k));
                found = true;
                break;
            }
        }
        if (!found) {
            out.push_back('?');
            all = false;
        }
    }
    return all;
}

std::string Utf16ToUtf8(const std::uint8_t* data, std::size_t size, bool bigEndian) {
    std::string out;
    out.reserve(size);
    char32_t high = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const char32_t unit = bigEndian ? (char32_t(data[i]) << 8 | data[i + 1])
                                        : (char32_t(data[i + 1]) << 8 | data[i]);
        if (unit == 0xFEFF) {
            continue;
        }
        if (unit == 0xFFFE) {
            bigEndian = !bigEndian;
            continue;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (high != 0) {
                AppendUtf8(out, 0xFFFD);
            }
            high = unit;
            continue;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (high != 0) {
                AppendUtf8(out, 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
                high = 0;
            } else {
                AppendUtf8(out, 0xFFFD);
            }
            continue;
        }
        if (high != 0) {
            AppendUtf8(out, 0xFFFD);
            high = 0;
        }
        AppendUtf8(out, unit);
    }
    if (high != 0) {
        AppendUtf8(out, 0xFFFD);
    }
    return out;
}

Bytes Utf8ToUtf16WithBom(std::string_view utf8) {
    Bytes out{0xFF, 0xFE};
    out.reserve(2 + utf8.size() * 2);
    auto put = [&out](char32_t u) {
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = NextUtf8(utf8, i);
        if (c >= 0x10000) {
            const char32_t v = c - 0x10000;
            put(0xD800 + (v >> 10));
            put(0xDC00 + (v & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

std::string SanitizeUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        AppendUtf8(out, NextUtf8(bytes, i));
    }
    return out;
}

std::string TrimControls(std::string_view text) {
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && static_cast<std::uint8_t>(text[b]) <= 32) {
        ++b;
    }
    while (e > b && static_cast<std::uint8_t>(text[e - 1]) <= 32) {
        --e;
    }
    return std::string(text.substr(b, e - b));
}

std::string TrimRightControls(std::string_view text) {
    std::size_t e = text.size();
    while (e > 0 && static_cast<std::uint8_t>(text[e - 1]) <= 32) {
        --e;
    }
    return std::string(text.substr(0, e));
}

} // namespace tavrela::tags
