#pragma once
// Text conversions of tag bytes: Windows-1252 (single-byte text), UTF-16 with or without a
// byte-order mark, UTF-8. In memory every text is UTF-8.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrela::tags {

using Bytes = std::vector<std::uint8_t>;

/// Windows-1252 bytes to UTF-8 (the five unassigned bytes map to the C1 controls).
std::string Cp1252ToUtf8(std::string_view bytes);

/// UTF-8 to Windows-1252; false when some character has no single-byte form.
bool Utf8ToCp1252(std::string_view utf8, std::string& out);

/// UTF-16 to UTF-8. A byte-order mark anywhere switches the byte order and is dropped;
/// without one `bigEndian` decides. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::uint8_t* data, std::size_t size, bool bigEndian);

/// UTF-8 to UTF-16 little-endian with the byte-order mark FF FE in front.
Bytes Utf8ToUtf16WithBom(std::string_view utf8);

/// UTF-8 bytes checked: invalid sequences become U+FFFD.
std::string SanitizeUtf8(std::string_view bytes);

/// Removes leading and trailing characters with code 32 or below (blanks, zeros, controls).
std::string TrimControls(std::string_view text);

/// Removes trailing characters with code 32 or below.
std::string TrimRightControls(std::string_view text);

} // namespace tavrela::tags
