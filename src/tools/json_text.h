#pragma once
// JSON texts for the tools' --json output.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace tavrela::tools {

/// `s` as a JSON string literal (UTF-8 passed through, control characters escaped).
inline std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += ch;
            }
        }
    }
    return out + "\"";
}

/// The shortest text that reads back as `v`; null for infinities and NaN, which JSON lacks.
inline std::string JsonNumber(double v) {
    if (!std::isfinite(v)) {
        return "null";
    }
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

} // namespace tavrela::tools
