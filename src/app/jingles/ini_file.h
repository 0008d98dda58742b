#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavrela::ini {

/// The value of `key` in `[section]` of Windows-style INI text, or nothing when the section or
/// the key is absent. Section and key names match without regard to ASCII letter case; the
/// value is kept raw (backslashes and inner spaces untouched), only trimmed of surrounding
/// blanks and of one pair of enclosing quotes (single or double). Accepts LF, CRLF and CR line
/// ends, a UTF-8 byte order mark, and UTF-16LE text with its byte order mark (returned as UTF-8).
std::optional<std::string> readValue(std::string_view text, std::string_view section,
                                     std::string_view key);

} // namespace tavrela::ini
