#pragma once
// Writing a new tag into a file: over its first bytes, or by rewriting the whole file through
// a temporary copy that replaces the original atomically.
#include "text_codec.h"

#include <cstdint>
#include <string>

namespace tavrela::tags {

/// Writes `head` over the first bytes of the existing file and flushes it to disk. Adds the
/// owner's write permission when the file lacks it. False on any failure.
bool OverwriteFileStart(const std::string& fileName, const Bytes& head);

/// Writes `head` followed by the file's bytes from `skip` on into fileName + "~", flushes it,
/// gives it the original's permission bits (plus the owner's write permission) and renames it
/// over the original. On any failure the original is untouched and the temporary file removed.
bool RewriteFileWithHead(const std::string& fileName, const Bytes& head, std::uint64_t skip);

} // namespace tavrela::tags
