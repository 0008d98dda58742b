#pragma once
// Byte-built tag layouts and temporary files for the tag tests.
#include "tags/text_codec.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace tavrela::tags::test {

inline Bytes B(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

inline Bytes Be32(std::uint32_t n) {
    return {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
            static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
}

inline Bytes SyncSafe(std::uint32_t n) {
    return {static_cast<std::uint8_t>((n >> 21) & 0x7F),
            static_cast<std::uint8_t>((n >> 14) & 0x7F), static_cast<std::uint8_t>((n >> 7) & 0x7F),
            static_cast<std::uint8_t>(n & 0x7F)};
}

/// Version 2.3 frame (plain size); `flags` as stored.
inline Bytes Frame3(std::string_view id, const Bytes& data, std::uint16_t flags = 0) {
    return Cat({B(id),
                Be32(static_cast<std::uint32_t>(data.size())),
                {static_cast<std::uint8_t>(flags >> 8), static_cast<std::uint8_t>(flags)},
                data});
}

/// Version 2.4 frame (sync-safe size).
inline Bytes Frame4(std::string_view id, const Bytes& data, std::uint16_t flags = 0) {
    return Cat({B(id),
                SyncSafe(static_cast<std::uint32_t>(data.size())),
                {static_cast<std::uint8_t>(flags >> 8), static_cast<std::uint8_t>(flags)},
                data});
}

/// Version 2.2 frame.
inline Bytes Frame2(std::string_view id, const Bytes& data) {
    const auto n = static_cast<std::uint32_t>(data.size());
    return Cat({B(id),
                {static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 8),
                 static_cast<std::uint8_t>(n)},
                data});
}

/// Text frame data in encoding 0.
inline Bytes Text0(std::string_view s) {
    return Cat({{0}, B(s)});
}

/// A whole tag: header, the frames, `padding` zero bytes.
inline Bytes TagBytes(std::uint8_t version, const Bytes& frames, std::size_t padding = 0,
                      std::uint8_t flags = 0) {
    Bytes t = Cat({B("ID3"),
                   {version, 0, flags},
                   SyncSafe(static_cast<std::uint32_t>(frames.size() + padding)),
                   frames});
    t.resize(t.size() + padding, 0);
    return t;
}

/// `count` frames of a silent-looking MPEG 1 Layer III stream, 128 kbit/s, 44.1 kHz (417 bytes
/// each): enough for the stream analysis to call the file valid.
inline Bytes MpegFrames(std::size_t count) {
    Bytes out;
    for (std::size_t i = 0; i < count; ++i) {
        Bytes frame(417, 0);
        frame[0] = 0xFF;
        frame[1] = 0xFB;
        frame[2] = 0x90;
        frame[3] = 0x44;
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return out;
}

/// A frame of a written version 2.3 tag.
struct WrittenFrame {
    std::string id;
    std::uint16_t flags = 0;
    Bytes data;
};

/// The frames of the version 2.3 tag at the start of `file`, in order.
inline std::vector<WrittenFrame> FramesOf(const Bytes& file) {
    std::vector<WrittenFrame> frames;
    if (file.size() < 10) {
        return frames;
    }
    const std::size_t size = 10 + (std::size_t(file[6]) << 21 | std::size_t(file[7]) << 14 |
                                   std::size_t(file[8]) << 7 | file[9]);
    std::size_t pos = 10;
    while (pos + 10 <= std::min(size, file.size()) && file[pos] != 0) {
        const std::size_t n = std::size_t(file[pos + 4]) << 24 | std::size_t(file[pos + 5]) << 16 |
                              std::size_t(file[pos + 6]) << 8 | file[pos + 7];
        if (n > file.size() - pos - 10) {
            break;
        }
        const auto at = file.begin() + static_cast<std::ptrdiff_t>(pos);
        frames.push_back({std::string(at, at + 4),
                          static_cast<std::uint16_t>(file[pos + 8] << 8 | file[pos + 9]),
                          Bytes(at + 10, at + 10 + static_cast<std::ptrdiff_t>(n))});
        pos += 10 + n;
    }
    return frames;
}

/// A temporary folder removed with the object.
class TempDir {
public:
    TempDir() {
        std::string templ =
            (std::filesystem::temp_directory_path() / "tavrela-tags-XXXXXX").string();
        path_ = ::mkdtemp(templ.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline void WriteBytes(const std::string& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadBytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) {
        return {};
    }
    Bytes bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

} // namespace tavrela::tags::test
