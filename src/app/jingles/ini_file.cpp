#include "ini_file.h"

#include <cstddef>
#include <cstdint>

namespace tavrela::ini {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16LE code units (2 bytes each, low byte first) to UTF-8. A trailing odd byte is dropped;
// an unpaired surrogate becomes U+FFFD.
std::string utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    auto unitAt = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i])) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8);
    };
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t u = unitAt(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const std::uint32_t low = unitAt(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        appendUtf8(out, u);
    }
    return out;
}

std::optional<std::string> findValue(std::string_view text, std::string_view section,
                                     std::string_view key) {
    const std::string_view wantedSection = trim(section);
    const std::string_view wantedKey = trim(key);
    bool inSection = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = trim(text.substr(pos, end - pos));
        // Step over one line end: CRLF counts once.
        pos = end;
        if (pos < text.size() && text[pos] == '\r') {
            ++pos;
        }
        if (pos < text.size() && text[pos] == '\n') {
            ++pos;
        }

        if (!line.empty() && line.front() == '[') {
            std::string_view name = line.substr(1);
            const std::size_t close = name.find(']');
            if (close != std::string_view::npos) {
                name = name.substr(0, close);
            }
            inSection = equalsIgnoringCase(trim(name), wantedSection);
            continue;
        }
        if (!inSection) {
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos ||
            !equalsIgnoringCase(trim(line.substr(0, eq)), wantedKey)) {
            continue;
        }
        std::string_view value = trim(line.substr(eq + 1));
        // Windows drops one pair of enclosing quotes, single or double.
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(value);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> readValue(std::string_view text, std::string_view section,
                                     std::string_view key) {
    if (text.substr(0, kUtf16LeBom.size()) == kUtf16LeBom) {
        const std::string converted = utf16LeToUtf8(text.substr(kUtf16LeBom.size()));
        return findValue(converted, section, key);
    }
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        text.remove_prefix(kUtf8Bom.size());
    }
    return findValue(text, section, key);
}

} // namespace tavrela::ini
