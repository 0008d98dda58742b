#include "id3v2_frames.h"

#include "id3v2_v22.h"

#include <zlib.h>

#include <algorithm>

namespace tavrela::tags {
namespace {

// Tags above this size are not loaded into memory; real tags (with pictures) stay far below.
constexpr std::uint32_t kMaxTagBytes = 256u * 1024u * 1024u;
// Decompressed frames of one tag stay below this; a frame that would pass it is carried
// compressed (a few bytes of zlib data can claim gigabytes).
constexpr std::size_t kMaxInflatedBytes = 64u * 1024u * 1024u;

std::uint32_t BigEndian32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 |
           std::uint32_t(p[3]);
}

std::uint32_t SyncSafe32(const std::uint8_t* p) {
    return std::uint32_t(p[0] & 0x7F) << 21 | std::uint32_t(p[1] & 0x7F) << 14 |
           std::uint32_t(p[2] & 0x7F) << 7 | std::uint32_t(p[3] & 0x7F);
}

bool IsUpper(std::uint8_t c) {
    return c >= 'A' && c <= 'Z';
}
bool IsIdChar(std::uint8_t c) {
    return IsUpper(c) || (c >= '0' && c <= '9');
}

struct FrameSpan {
    std::string id;
    std::uint16_t flags = 0;
    std::size_t offset = 0;
    std::size_t size = 0;
};

// Walks a frame chain. Frame header: ID (3 or 4), size (3 or 4 bytes), flags (0 or 2).
// `clean` tells whether the chain ended exactly at the end of the frames or in zero padding,
// which is how the right size interpretation of a version 2.4 tag is recognised.
std::vector<FrameSpan> WalkFrames(const Bytes& body, std::size_t pos, int version, bool syncSafe,
                                  bool& clean) {
    const std::size_t idLen = version == 2 ? 3 : 4;
    const std::size_t headerLen = version == 2 ? 6 : 10;
    std::vector<FrameSpan> frames;
    clean = false;
    while (pos + headerLen <= body.size()) {
        const std::uint8_t* h = body.data() + pos;
        if (!IsUpper(h[0])) {
            clean = std::all_of(body.begin() + static_cast<std::ptrdiff_t>(pos), body.end(),
                                [](std::uint8_t b) { return b == 0; });
            return frames;
        }
        if (!std::all_of(h, h + idLen, IsIdChar)) {
            return frames;
        }
        FrameSpan f;
        f.id.assign(reinterpret_cast<const char*>(h), idLen);
        if (version == 2) {
            f.size = std::size_t(h[3]) << 16 | std::size_t(h[4]) << 8 | h[5];
        } else {
            f.size = syncSafe ? SyncSafe32(h + 4) : BigEndian32(h + 4);
            f.flags = static_cast<std::uint16_t>(h[8] << 8 | h[9]);
        }
        if (f.size > body.size() - pos - headerLen) {
            return frames;
        }
        f.offset = pos + headerLen;
        pos = f.offset + f.size;
        frames.push_back(std::move(f));
    }
    clean = std::all_of(body.begin() + static_cast<std::ptrdiff_t>(std::min(pos, body.size())),
                        body.end(), [](std::uint8_t b) { return b == 0; });
    return frames;
}

std::size_t FindTerminator(const Bytes& d, std::size_t pos, std::uint8_t encoding) {
    if (encoding == 1 || encoding == 2) {
        for (std::size_t i = pos; i + 1 < d.size(); i += 2) {
            if (d[i] == 0 && d[i + 1] == 0) {
                return i;
            }
        }
        return d.size();
    }
    for (std::size_t i = pos; i < d.size(); ++i) {
        if (d[i] == 0) {
            return i;
        }
    }
    return d.size();
}

std::size_t TerminatorLength(std::uint8_t encoding) {
    return encoding == 1 || encoding == 2 ? 2 : 1;
}

std::string DecodeWithEncoding(std::uint8_t encoding, const std::uint8_t* p, std::size_t n) {
    const auto* c = reinterpret_cast<const char*>(p);
    switch (encoding) {
    case 0:
        return Cp1252ToUtf8(std::string_view(c, n));
    case 1:
        return Utf16ToUtf8(p, n, false);
    case 2:
        return Utf16ToUtf8(p, n, true);
    case 3:
        return SanitizeUtf8(std::string_view(c, n));
    default:
        return {};
    }
}

// Layout items of frames whose strings follow the encoding byte, for re-encoding.
enum class Item { Raw3, Raw1, Latin1Z, EncZ, EncRest, RawRest };

// Rewrites the strings of a version 2.4 frame in encoding 2 or 3 as UTF-16 with a
// byte-order mark (encoding 1), which version 2.3 readers understand.
Bytes Reencode(const std::string& id, const Bytes& content) {
    if (content.empty() || (content[0] != 2 && content[0] != 3)) {
        return content;
    }
    std::vector<Item> layout;
    if (id == "WXXX") {
        layout = {Item::EncZ, Item::RawRest};
    } else if (id == "COMM" || id == "USLT") {
        layout = {Item::Raw3, Item::EncZ, Item::EncRest};
    } else if (id == "USER") {
        layout = {Item::Raw3, Item::EncRest};
    } else if (id == "APIC") {
        layout = {Item::Latin1Z, Item::Raw1, Item::EncZ, Item::RawRest};
    } else if (id == "GEOB") {
        layout = {Item::Latin1Z, Item::EncZ, Item::EncZ, Item::RawRest};
    } else if (id[0] == 'T') {
        layout = {Item::EncRest};
    } else {
        return content;
    }
    const std::uint8_t enc = content[0];
    Bytes out{1};
    std::size_t pos = 1;
    auto copyRaw = [&](std::size_t n) {
        n = std::min(n, content.size() - pos);
        out.insert(out.end(), content.begin() + static_cast<std::ptrdiff_t>(pos),
                   content.begin() + static_cast<std::ptrdiff_t>(pos + n));
        pos += n;
    };
    auto convertOne = [&] {
        const std::size_t end = FindTerminator(content, pos, enc);
        const Bytes u16 =
            Utf8ToUtf16WithBom(DecodeWithEncoding(enc, content.data() + pos, end - pos));
        out.insert(out.end(), u16.begin(), u16.end());
        pos = end;
        if (pos < content.size()) {
            out.push_back(0);
            out.push_back(0);
            pos = std::min(content.size(), pos + TerminatorLength(enc));
        }
    };
    for (Item item : layout) {
        switch (item) {
        case Item::Raw3:
            copyRaw(3);
            break;
        case Item::Raw1:
            copyRaw(1);
            break;
        case Item::Latin1Z: {
            const std::size_t end = FindTerminator(content, pos, 0);
            copyRaw(end - pos + 1);
            break;
        }
        case Item::EncZ:
            convertOne();
            break;
        case Item::EncRest:
            while (pos < content.size()) {
                convertOne();
            }
            break;
        case Item::RawRest:
            copyRaw(content.size() - pos);
            break;
        }
    }
    return out;
}

// zlib stream to bytes; false when it is damaged, truncated or would pass `limit` bytes.
bool Inflate(const std::uint8_t* data, std::size_t size, std::size_t limit, Bytes& out) {
    out.clear();
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) {
        return false;
    }
    struct End {
        z_stream* zs;
        ~End() { inflateEnd(zs); }
    } end{&zs};
    zs.next_in = const_cast<Bytef*>(data);
    zs.avail_in = static_cast<uInt>(size);
    std::uint8_t buffer[16384];
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = buffer;
        zs.avail_out = sizeof buffer;
        rc = inflate(&zs, Z_NO_FLUSH);
        const std::size_t n = sizeof buffer - zs.avail_out;
        if (n > limit - out.size()) {
            return false;
        }
        out.insert(out.end(), buffer, buffer + n);
    }
    return rc == Z_STREAM_END;
}

void AppendBe32(Bytes& out, std::uint32_t n) {
    out.insert(out.end(), {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                           static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
}

// A version 2.4 frame's data after its 10-byte header: the extras of the format flags in
// flag order (0x40 group byte, 0x04 encryption method byte, 0x01 data length indicator,
// sync-safe), then the content; 0x08 compressed with zlib, 0x02 unsynchronised (all of it).
void MakeFrameV24(const Id3v2Header& header, Bytes data, std::size_t& inflateBudget,
                  Id3v2Frame& f) {
    const std::uint8_t format = f.Flags & 0xFF;
    const std::uint8_t status = f.Flags >> 8;
    if ((format & 0x02) || (header.Flags & 0x80)) {
        data = Resynchronise(data.data(), data.size());
    }
    std::size_t pos = 0;
    std::optional<std::uint8_t> group;
    std::optional<std::uint8_t> method;
    std::optional<std::uint32_t> dataLength;
    if (format & 0x40) {
        if (pos >= data.size()) {
            return;
        }
        group = data[pos++];
    }
    if (format & 0x04) {
        if (pos >= data.size()) {
            return;
        }
        method = data[pos++];
    }
    if (format & 0x01) {
        if (data.size() - pos < 4) {
            return;
        }
        dataLength = SyncSafe32(data.data() + pos);
        pos += 4;
    }
    Bytes content(data.begin() + static_cast<std::ptrdiff_t>(pos), data.end());
    bool compressed = (format & 0x08) != 0;
    if (compressed && !method) {
        // Decompressed, the frame is an ordinary one. Some writers put the decompressed size
        // in front without the data length flag.
        Bytes inflated;
        if (Inflate(content.data(), content.size(), inflateBudget, inflated) ||
            (!dataLength && content.size() > 4 &&
             Inflate(content.data() + 4, content.size() - 4, inflateBudget, inflated))) {
            inflateBudget -= inflated.size();
            content = std::move(inflated);
            compressed = false;
        }
    }
    // Version 2.3 layout: status flags 0x80/0x40/0x20 (2.4: 0x40/0x20/0x10); format flags
    // 0x80 compressed with a plain 4-byte decompressed size, 0x40 encrypted with the method
    // byte, 0x20 grouped with the group byte, extras in that order.
    auto flags = static_cast<std::uint16_t>(
        ((status & 0x40) ? 0x8000 : 0) | ((status & 0x20) ? 0x4000 : 0) |
        ((status & 0x10) ? 0x2000 : 0));
    Bytes extras;
    if (compressed) {
        flags |= 0x80;
        AppendBe32(extras, dataLength.value_or(0)); // 0: the writer did not say
    }
    if (method) {
        flags |= 0x40;
        extras.push_back(*method);
    }
    if (group) {
        flags |= 0x20;
        extras.push_back(*group);
    }
    if (compressed || method) {
        // Still compressed or encrypted: carried as it is, never decoded.
        extras.insert(extras.end(), content.begin(), content.end());
        f.V23 = Id3v2FrameV23{f.ID, flags, std::move(extras)};
        return;
    }
    content = JoinTextValues(f.ID, content);
    const Bytes data23 = Reencode(f.ID, content);
    extras.insert(extras.end(), data23.begin(), data23.end());
    f.V23 = Id3v2FrameV23{f.ID, flags, std::move(extras)};
    if (!group) {
        f.Payload = std::move(content);
    }
}

Id3v2Frame MakeFrame(const Id3v2Header& header, const Bytes& body, const FrameSpan& span,
                     std::size_t& inflateBudget) {
    Id3v2Frame f;
    f.ID = span.id;
    f.Flags = span.flags;
    Bytes data(body.begin() + static_cast<std::ptrdiff_t>(span.offset),
               body.begin() + static_cast<std::ptrdiff_t>(span.offset + span.size));
    if (header.Version == 2) {
        if (auto v23 = V23FrameOfV22(f.ID, data)) {
            f.V23 = Id3v2FrameV23{std::move(v23->first), 0, std::move(v23->second)};
        }
        f.Payload = std::move(data);
    } else if (header.Version == 3) {
        // Compression (0x80), encryption (0x40) and grouping (0x20) put extra bytes or a
        // transformed content in front: such a frame is carried, not decoded.
        if ((span.flags & 0x00E0) == 0) {
            f.Payload = data;
        }
        f.V23 = Id3v2FrameV23{f.ID, span.flags, std::move(data)};
    } else {
        MakeFrameV24(header, std::move(data), inflateBudget, f);
    }
    return f;
}

} // namespace

bool ReadId3v2Header(const ByteSource& source, Id3v2Header& header) {
    header = Id3v2Header{};
    if (!source.IsOpen()) {
        return false;
    }
    std::uint8_t b[10];
    if (!source.ReadExact(0, b, sizeof b)) {
        return false;
    }
    std::copy(b, b + 3, header.ID.begin());
    header.Version = b[3];
    header.Revision = b[4];
    header.Flags = b[5];
    std::copy(b + 6, b + 10, header.Size.begin());
    header.FileSize = source.Length();
    return true;
}

std::uint32_t Id3v2TagSize(const Id3v2Header& header) {
    const auto& s = header.Size;
    std::uint64_t size = std::uint64_t(s[0]) * (1u << 21) + std::uint64_t(s[1]) * (1u << 14) +
                         std::uint64_t(s[2]) * (1u << 7) + s[3] + 10;
    if (header.Flags & 0x10) {
        size += 10;
    }
    return size > header.FileSize ? 0 : static_cast<std::uint32_t>(size);
}

Bytes Resynchronise(const std::uint8_t* data, std::size_t size) {
    Bytes out;
    out.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(data[i]);
        if (data[i] == 0xFF && i + 1 < size && data[i + 1] == 0x00) {
            ++i;
        }
    }
    return out;
}

Id3v2Frames ReadId3v2Frames(const ByteSource& source, const Id3v2Header& header) {
    Id3v2Frames result;
    if (!header.IsId3() || header.Version < 2 || header.Version > 4 || Id3v2TagSize(header) == 0) {
        result.Complete = true;
        return result;
    }
    const auto& s = header.Size;
    const std::uint32_t bodySize = std::uint32_t(s[0]) * (1u << 21) +
                                   std::uint32_t(s[1]) * (1u << 14) +
                                   std::uint32_t(s[2]) * (1u << 7) + s[3];
    if (bodySize > kMaxTagBytes) {
        return result;
    }
    Bytes body(bodySize);
    body.resize(source.ReadAt(10, body.data(), body.size()));
    result.Complete = body.size() == bodySize;
    if (header.Version < 4 && (header.Flags & 0x80)) {
        body = Resynchronise(body.data(), body.size());
    }
    std::size_t pos = 0;
    if (header.Flags & 0x40 && header.Version > 2) {
        // Extended header: version 2.3 gives its size without the 4 size bytes, plain;
        // version 2.4 gives it sync-safe, including them.
        if (body.size() < 4) {
            return result;
        }
        const std::uint64_t ext = header.Version == 3 ? std::uint64_t(BigEndian32(body.data())) + 4
                                                      : SyncSafe32(body.data());
        if (ext < 4 || ext > body.size()) {
            return result;
        }
        pos = static_cast<std::size_t>(ext);
    }
    bool clean = false;
    std::vector<FrameSpan> spans =
        WalkFrames(body, pos, header.Version, header.Version == 4, clean);
    if (header.Version == 4 && !clean) {
        // Some writers store plain 32-bit frame sizes in version 2.4 tags.
        bool plainClean = false;
        std::vector<FrameSpan> plain = WalkFrames(body, pos, 4, false, plainClean);
        if (plainClean) {
            spans = std::move(plain);
        }
    }
    std::size_t inflateBudget = kMaxInflatedBytes;
    result.Frames.reserve(spans.size());
    for (const FrameSpan& span : spans) {
        result.Frames.push_back(MakeFrame(header, body, span, inflateBudget));
    }
    return result;
}

void AppendFrameV23(Bytes& out, const std::string& id, std::uint16_t flags, const Bytes& data) {
    out.insert(out.end(), id.begin(), id.end());
    const auto n = static_cast<std::uint32_t>(data.size());
    out.push_back(static_cast<std::uint8_t>(n >> 24));
    out.push_back(static_cast<std::uint8_t>(n >> 16));
    out.push_back(static_cast<std::uint8_t>(n >> 8));
    out.push_back(static_cast<std::uint8_t>(n));
    out.push_back(static_cast<std::uint8_t>(flags >> 8));
    out.push_back(static_cast<std::uint8_t>(flags));
    out.insert(out.end(), data.begin(), data.end());
}

Bytes JoinTextValues(const std::string& id, const Bytes& content) {
    // TIPL and TMCL hold role/name pairs, not values.
    if (content.empty() || id.size() != 4 || id[0] != 'T' || id == "TIPL" || id == "TMCL" ||
        content[0] > 3) {
        return content;
    }
    const std::uint8_t enc = content[0];
    const std::size_t term = TerminatorLength(enc);
    std::size_t pos = 1;
    std::string description;
    if (id == "TXXX") {
        const std::size_t end = FindTerminator(content, pos, enc);
        if (end == content.size()) {
            return content;
        }
        description = DecodeWithEncoding(enc, content.data() + pos, end - pos);
        pos = end + term;
    }
    const std::size_t head = pos;
    // Empty values (a trailing terminator, padding zeros) are no values.
    std::vector<std::pair<std::size_t, std::size_t>> values; // offset, length
    while (pos < content.size()) {
        const std::size_t end = FindTerminator(content, pos, enc);
        if (end > pos) {
            values.emplace_back(pos, end - pos);
        }
        pos = std::min(content.size(), end + term);
    }
    if (values.size() < 2) {
        return content;
    }
    const std::string_view all(reinterpret_cast<const char*>(content.data()), content.size());
    Bytes out;
    if (enc == 0 || enc == 3) {
        // Byte-oriented encodings: "/" is the same byte in both.
        out.assign(content.begin(), content.begin() + static_cast<std::ptrdiff_t>(head));
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0) {
                out.push_back('/');
            }
            const auto [offset, length] = values[i];
            out.insert(out.end(), all.begin() + static_cast<std::ptrdiff_t>(offset),
                       all.begin() + static_cast<std::ptrdiff_t>(offset + length));
        }
        return out;
    }
    // UTF-16 (each value may carry its own byte-order mark): joined as UTF-8.
    out.push_back(3);
    if (id == "TXXX") {
        out.insert(out.end(), description.begin(), description.end());
        out.push_back(0);
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            out.push_back('/');
        }
        const auto [offset, length] = values[i];
        const std::string v = DecodeWithEncoding(enc, content.data() + offset, length);
        out.insert(out.end(), v.begin(), v.end());
    }
    return out;
}

std::string DecodeTextPayload(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return {};
    }
    return TrimControls(DecodeWithEncoding(data[0], data + 1, size - 1));
}

std::string ExtractTextPayload(const Bytes& payload, bool withLanguage, bool rawSingleByteRest,
                               std::string* description) {
    if (payload.empty()) {
        return {};
    }
    const std::uint8_t enc = payload[0];
    const std::size_t start = std::min(payload.size(), std::size_t(withLanguage ? 4 : 1));
    const std::size_t end = FindTerminator(payload, start, enc);
    if (description) {
        *description = DecodeWithEncoding(enc, payload.data() + start, end - start);
    }
    const std::size_t rest = std::min(payload.size(), end + TerminatorLength(enc));
    const std::uint8_t* p = payload.data() + rest;
    const std::size_t n = payload.size() - rest;
    if (rawSingleByteRest) {
        return TrimControls(Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(p), n)));
    }
    return TrimControls(DecodeWithEncoding(enc, p, n));
}

} // namespace tavrela::tags
