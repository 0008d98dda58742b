#pragma once
// Version 2.2 frames in their version 2.3 form: three-letter IDs to four-letter ones, and the
// few frames whose layout changed with the ID (PIC's image format became APIC's MIME type,
// LNK's three-letter frame ID became LINK's four-letter one).
#include "text_codec.h"

#include <optional>
#include <string>

namespace tavrela::tags {

/// The version 2.3 ID of a version 2.2 frame ID; nullopt when version 2.3 has no such frame
/// (CRM, the encrypted meta frame, and IDs no standard or known writer defines).
std::optional<std::string> V23IdOfV22(const std::string& id);

/// The version 2.3 frame (ID, content) of a version 2.2 frame; nullopt when it has none or
/// its content is too short to convert.
std::optional<std::pair<std::string, Bytes>> V23FrameOfV22(const std::string& id,
                                                           const Bytes& data);

/// The MIME type that stands for a version 2.2 picture's image format (JPG -> image/jpeg).
std::string PictureMimeOfV22Format(const std::string& format);

} // namespace tavrela::tags
