#include "id3v2.h"

#include "file_rewrite.h"
#include "id3v2_frames.h"

#include <array>
#include <charconv>
#include <optional>
#include <set>

namespace tavrela::tags {
namespace {

struct Row {
    const char* id;    // versions 2.3 and 2.4
    const char* idV22; // version 2.2
    std::string TID3v2::*field;
};

// Row order is the order of reading into fields and of the frames in a written tag.
const std::array<Row, kId3v2FrameRows> kRows = {{
    {"TIT2", "TT2", &TID3v2::Title},
    {"TPE1", "TP1", &TID3v2::Artist},
    {"TALB", "TAL", &TID3v2::Album},
    {"TRCK", "TRK", nullptr},
    {"TYER", "TYE", &TID3v2::Year},
    {"TCON", "TCO", &TID3v2::Genre},
    {"COMM", "COM", &TID3v2::Comment},
    {"TCOM", "TCM", &TID3v2::Composer},
    {"TENC", "TEN", &TID3v2::Encoder},
    {"TCOP", "TCR", &TID3v2::Copyright},
    {"TLAN", "TLA", &TID3v2::Language},
    {"WXXX", "WXX", &TID3v2::Link},
    {"TDRC", "TOR", nullptr},
    {"TOPE", "TOA", nullptr},
    {"TIT1", "TT1", nullptr},
    {"TOAL", "TOT", nullptr},
    {"TRIT", "TRI", &TID3v2::FrameTRIT},
    {"TINT", "TIN", &TID3v2::Intro},
    {"TEXT", "TEX", &TID3v2::FrameTEXT},
    {"TEST", "TES", &TID3v2::FrameTEST},
    {"TIDM", "TID", &TID3v2::FrameTIDM},
    {"TCAR", "TCA", &TID3v2::StampTime},
    {"TVIN", "TVI", &TID3v2::StampJingle},
    {"TMXI", "TMI", &TID3v2::AudioStart},
    {"TMXF", "TMF", &TID3v2::AudioEnd},
    {"TRFI", "TRI", &TID3v2::ChorusStart},
    {"TRFF", "TRF", &TID3v2::ChorusEnd},
    {"TCAD", "TCD", &TID3v2::FrameTCAD},
    {"TSUC", "TSU", &TID3v2::FrameTSUC},
    {"TGRA", "TGR", &TID3v2::FrameTGRA},
    {"TVOC", "TVO", &TID3v2::FrameTVOC},
    {"TTPE", "TTP", &TID3v2::FrameTTPE},
    {"TPIN", "TPI", &TID3v2::FrameTPIN},
    {"TPFI", "TPF", &TID3v2::FrameTPFI},
    {"TPMI", "TPM", &TID3v2::MixPoint},
    {"POPM", "POP", nullptr},
}};

constexpr int kRowTrack = 3;
constexpr int kRowComment = 6;
constexpr int kRowLink = 11;
constexpr int kRowDate = 12;
constexpr int kRowOrigArtist = 13;
constexpr int kRowGroup = 14;
constexpr int kRowOrigAlbum = 15;
constexpr int kRowRating = 35;

bool IsReadOnlyRow(int row) {
    return row >= kRowDate && row <= kRowOrigAlbum;
}

// How a frame of the old tag relates to the table.
enum class Use {
    Row,       // decoded into a table row; the new tag writes it from the fields
    Other,     // not the table's; carried into the new tag
    Undecoded, // a table ID the reader cannot decode; carried unless the new tag has the ID
};

// Frames of which a tag may hold several (by description, language or e-mail): one of them
// is the table's, the others are carried whatever the table writes.
bool IsMultiFrameRow(int row) {
    return row == kRowComment || row == kRowLink || row == kRowRating;
}

// `editors`: the frame is the one of its COMM or WXXX frames that the table reads and writes.
Use Classify(const Id3v2Frame& f, int row, bool editors) {
    if (row < 0 || IsReadOnlyRow(row)) {
        return Use::Other;
    }
    if (!f.Payload) {
        return Use::Undecoded;
    }
    const Bytes& p = *f.Payload;
    if (row == kRowRating) {
        // Only the rating without an e-mail is the table's; players keep their own.
        return p.empty() || p[0] == 0 ? Use::Row : Use::Other;
    }
    if (!p.empty() && p[0] > 3) {
        return Use::Undecoded;
    }
    if (row == kRowComment || row == kRowLink) {
        return editors ? Use::Row : Use::Other;
    }
    return Use::Row;
}

std::vector<int> RowsOf(const std::string& id, int version) {
    std::vector<int> rows;
    for (int r = 0; r < kId3v2FrameRows; ++r) {
        if (id == (version == 2 ? kRows[r].idV22 : kRows[r].id)) {
            rows.push_back(r);
        }
    }
    return rows;
}

// The COMM and WXXX frames that the table reads and writes, by index in `frames` (-1: none).
// The comment is the last decodable COMM with an empty description and some text, else the
// last one without text (the playout host, too, takes a tag's last comment); the link is the
// last decodable WXXX with a URL, else the last one. Every other COMM and WXXX (other
// languages, other descriptions) is carried unchanged, ahead of the table's own, so that a
// save leaves the table's frame the one read next time.
struct EditorFrames {
    int comment = -1;
    int link = -1;

    bool Is(int index) const { return index == comment || index == link; }
};

EditorFrames FindEditorFrames(const std::vector<Id3v2Frame>& frames, int version) {
    EditorFrames e;
    bool commentHasText = false;
    bool linkHasText = false;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const Id3v2Frame& f = frames[i];
        if (!f.Payload || (!f.Payload->empty() && (*f.Payload)[0] > 3)) {
            continue;
        }
        const int index = static_cast<int>(i);
        for (int r : RowsOf(f.ID, version)) {
            if (r == kRowLink) {
                const bool text = !ExtractTextPayload(*f.Payload, false, true).empty();
                if (text || !linkHasText) {
                    e.link = index;
                    linkHasText = text;
                }
            } else if (r == kRowComment) {
                std::string description;
                const bool text =
                    !ExtractTextPayload(*f.Payload, true, false, &description).empty();
                if (description.empty() && (text || !commentHasText)) {
                    e.comment = index;
                    commentHasText = text;
                }
            }
        }
    }
    return e;
}

// Track number: the text before the first "/", as a decimal number; 0 when it is none.
std::uint16_t TrackNumber(const std::string& text) {
    const std::string head = TrimControls(text.substr(0, text.find('/')));
    int value = 0;
    const char* first = head.data();
    const char* last = head.data() + head.size();
    if (first != last && *first == '+') {
        ++first;
    }
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last || first == last || value < 0 || value > 65535) {
        return 0;
    }
    return static_cast<std::uint16_t>(value);
}

// Genre text without its leading numeric references: (13)Pop gives Pop, (13)(17) gives
// nothing. Parentheses elsewhere are the genre's own (Rock (Live)).
std::string WithoutGenreReferences(const std::string& genre) {
    std::size_t pos = 0;
    while (pos < genre.size() && genre[pos] == '(') {
        const auto close = genre.find(')', pos);
        if (close == std::string::npos || close == pos + 1) {
            break;
        }
        const std::string ref = genre.substr(pos + 1, close - pos - 1);
        const bool number = ref.find_first_not_of("0123456789") == std::string::npos;
        if (!number && ref != "RX" && ref != "CR") {
            break;
        }
        pos = close + 1;
    }
    return TrimControls(genre.substr(pos));
}

std::string FirstCodePoints(const std::string& s, int count) {
    std::size_t i = 0;
    for (int n = 0; n < count && i < s.size(); ++n) {
        ++i;
        while (i < s.size() && (static_cast<std::uint8_t>(s[i]) & 0xC0) == 0x80) {
            ++i;
        }
    }
    return s.substr(0, i);
}

// Text frame content: single-byte Windows-1252 when the text fits, else UTF-16 with a BOM.
Bytes EncodeText(const std::string& text) {
    std::string single;
    if (Utf8ToCp1252(text, single)) {
        Bytes out{0};
        out.insert(out.end(), single.begin(), single.end());
        return out;
    }
    Bytes out{1};
    const Bytes u16 = Utf8ToUtf16WithBom(text);
    out.insert(out.end(), u16.begin(), u16.end());
    return out;
}

// Comment: encoding, language, empty description, text. Single-byte when the text fits and
// `unicode` is not asked for, else UTF-16 with a byte-order mark.
Bytes CommentPayload(const std::string& text, const Bytes& language, bool unicode) {
    std::string single;
    const bool singleByte = !unicode && Utf8ToCp1252(text, single);
    Bytes out{static_cast<std::uint8_t>(singleByte ? 0 : 1)};
    out.insert(out.end(), language.begin(), language.end());
    if (singleByte) {
        out.push_back(0);
        out.insert(out.end(), single.begin(), single.end());
    } else {
        out.insert(out.end(), {0xFF, 0xFE, 0, 0});
        const Bytes u16 = Utf8ToUtf16WithBom(text);
        out.insert(out.end(), u16.begin(), u16.end());
    }
    return out;
}

// URLs are single-byte text; characters outside Windows-1252 are percent-encoded.
Bytes LinkPayload(const std::string& url) {
    Bytes out{0, 0};
    std::string single;
    if (Utf8ToCp1252(url, single)) {
        out.insert(out.end(), single.begin(), single.end());
        return out;
    }
    static const char* hex = "0123456789ABCDEF";
    for (char ch : url) {
        const auto b = static_cast<std::uint8_t>(ch);
        if (b < 0x80) {
            out.push_back(b);
        } else {
            out.insert(out.end(), {'%', static_cast<std::uint8_t>(hex[b >> 4]),
                                   static_cast<std::uint8_t>(hex[b & 15])});
        }
    }
    return out;
}

} // namespace

const char* Id3v2FrameId(int row) {
    return kRows.at(static_cast<std::size_t>(row)).id;
}
const char* Id3v2FrameIdV22(int row) {
    return kRows.at(static_cast<std::size_t>(row)).idV22;
}

void TID3v2::Reset() {
    *this = TID3v2{};
}

bool TID3v2::ReadFromFile(const std::string& FileName) {
    return ReadFrom(FileSource(FileName));
}

bool TID3v2::ReadFrom(const ByteSource& source) {
    Reset();
    Id3v2Header header;
    if (!ReadId3v2Header(source, header)) {
        return false;
    }
    if (!header.IsId3()) {
        return true;
    }
    Exists = true;
    VersionID = header.Version;
    Size = Id3v2TagSize(header);
    if (header.Version < 2 || header.Version > 4 || Size == 0) {
        return true;
    }
    const Id3v2Frames frames = ReadId3v2Frames(source, header);
    std::array<std::optional<Bytes>, kId3v2FrameRows> rows;
    std::optional<std::uint8_t> firstRating;
    const EditorFrames editors = FindEditorFrames(frames.Frames, header.Version);
    for (std::size_t n = 0; n < frames.Frames.size(); ++n) {
        const Id3v2Frame& f = frames.Frames[n];
        for (int r : RowsOf(f.ID, header.Version)) {
            if (r == kRowRating && f.Payload && !firstRating) {
                // Rating of the first POPM whatever its e-mail: the byte after the e-mail.
                const Bytes& p = *f.Payload;
                std::size_t i = 0;
                while (i < p.size() && p[i] != 0) {
                    ++i;
                }
                firstRating = i + 1 < p.size() ? p[i + 1] : 0;
            }
            const Use use = Classify(f, r, editors.Is(static_cast<int>(n)));
            if (use == Use::Row ||
                (IsReadOnlyRow(r) && f.Payload && (f.Payload->empty() || (*f.Payload)[0] <= 3))) {
                rows[static_cast<std::size_t>(r)] = *f.Payload;
            }
        }
    }
    auto text = [&rows](int r) {
        const auto& p = rows[static_cast<std::size_t>(r)];
        return p ? DecodeTextPayload(p->data(), p->size()) : std::string();
    };
    for (int r = 0; r < kId3v2FrameRows; ++r) {
        if (kRows[r].field != nullptr && r != kRowComment && r != kRowLink) {
            this->*kRows[r].field = text(r);
        }
    }
    if (Title.empty()) {
        Title = text(kRowGroup);
    }
    if (Artist.empty()) {
        Artist = text(kRowOrigArtist);
    }
    if (Album.empty()) {
        Album = text(kRowOrigAlbum);
    }
    TrackString = text(kRowTrack);
    Track = TrackNumber(TrackString);
    if (Year.empty()) {
        Year = FirstCodePoints(text(kRowDate), 4);
    }
    Genre = WithoutGenreReferences(Genre);
    if (rows[kRowComment]) {
        Comment = ExtractTextPayload(*rows[kRowComment], true, false);
    }
    if (rows[kRowLink]) {
        Link = ExtractTextPayload(*rows[kRowLink], false, true);
    }
    if (rows[kRowRating]) {
        Rating = rows[kRowRating]->size() > 1 ? (*rows[kRowRating])[1] : 0;
    } else {
        Rating = firstRating.value_or(0);
    }
    return true;
}

Bytes TID3v2::RenderTag(const ByteSource& current, bool& NeedRewrite,
                        std::uint32_t& OldSize) const {
    Id3v2Header header;
    ReadId3v2Header(current, header);
    const Id3v2Frames old = ReadId3v2Frames(current, header);
    if (!old.Complete) {
        return {};
    }
    const EditorFrames editors = FindEditorFrames(old.Frames, header.Version);
    // The comment written back keeps the language of the one it replaces, and its UTF-16
    // when it had it; a new comment is English.
    Bytes commentLanguage = {'e', 'n', 'g'};
    bool commentUnicode = false;
    if (editors.comment >= 0) {
        const auto& v23 = old.Frames[static_cast<std::size_t>(editors.comment)].V23;
        if (v23 && v23->Data.size() >= 4) {
            commentLanguage.assign(v23->Data.begin() + 1, v23->Data.begin() + 4);
            commentUnicode = v23->Data[0] != 0;
        }
    }
    // The table frames, from the fields.
    std::vector<std::pair<int, Bytes>> frames;
    std::set<std::string> written;
    for (int r = 0; r < kId3v2FrameRows; ++r) {
        Bytes data;
        if (r == kRowTrack) {
            if (Track > 0) {
                // The stored text (3/12, 05) is kept while its number is still the track.
                const std::string t = TrimControls(TrackString);
                data = EncodeText(TrackNumber(t) == Track ? t : std::to_string(Track));
            }
        } else if (r == kRowRating) {
            data = {0, Rating};
        } else if (kRows[r].field != nullptr) {
            const std::string t = TrimControls(this->*kRows[r].field);
            if (!t.empty()) {
                data = r == kRowComment ? CommentPayload(t, commentLanguage, commentUnicode)
                       : r == kRowLink  ? LinkPayload(t)
                                        : EncodeText(t);
            }
        }
        if (!data.empty()) {
            frames.emplace_back(r, std::move(data));
            written.insert(kRows[r].id);
        }
    }
    // Frames of the old tag that are not the table's, in their version 2.3 form.
    std::vector<const Id3v2FrameV23*> carried;
    for (std::size_t i = 0; i < old.Frames.size(); ++i) {
        const Id3v2Frame& f = old.Frames[i];
        if (!f.V23) {
            continue; // no version 2.3 form (reported by Id3v2FramesWithoutV23Form)
        }
        Use use = Use::Other;
        bool multi = false;
        for (int r : RowsOf(f.ID, header.Version)) {
            const Use u = Classify(f, r, editors.Is(static_cast<int>(i)));
            if (u != Use::Other) {
                use = u;
                multi = multi || IsMultiFrameRow(r);
            }
        }
        if (use == Use::Row || (use == Use::Undecoded && !multi && written.count(f.V23->ID) > 0)) {
            continue;
        }
        carried.push_back(&*f.V23);
    }
    Bytes body;
    for (const auto& [row, data] : frames) {
        if (row == kRowComment || row == kRowLink) {
            // The other comments (links) go first: the table's is the tag's last one.
            for (auto& c : carried) {
                if (c != nullptr && c->ID == kRows[row].id) {
                    AppendFrameV23(body, c->ID, c->Flags, c->Data);
                    c = nullptr;
                }
            }
        }
        AppendFrameV23(body, kRows[row].id, 0, data);
    }
    for (const Id3v2FrameV23* c : carried) {
        if (c != nullptr) {
            AppendFrameV23(body, c->ID, c->Flags, c->Data);
        }
    }
    std::uint64_t newSize = 10 + body.size();
    OldSize = Id3v2TagSize(header);
    NeedRewrite = !(header.IsId3() && OldSize >= newSize && OldSize <= 4096);
    const std::int64_t padding = static_cast<std::int64_t>(NeedRewrite ? 4096 : OldSize) -
                                 static_cast<std::int64_t>(newSize);
    if (padding > 0) {
        newSize += static_cast<std::uint64_t>(padding);
    }
    const std::uint64_t size = newSize - 10;
    if (size >= (1u << 28)) {
        return {};
    }
    Bytes tag{'I',
              'D',
              '3',
              3,
              0,
              0,
              static_cast<std::uint8_t>((size >> 21) & 0x7F),
              static_cast<std::uint8_t>((size >> 14) & 0x7F),
              static_cast<std::uint8_t>((size >> 7) & 0x7F),
              static_cast<std::uint8_t>(size & 0x7F)};
    tag.reserve(newSize);
    tag.insert(tag.end(), body.begin(), body.end());
    tag.resize(newSize, 0);
    return tag;
}

std::vector<std::string> Id3v2FramesWithoutV23Form(const ByteSource& source) {
    std::vector<std::string> ids;
    Id3v2Header header;
    if (!ReadId3v2Header(source, header)) {
        return ids;
    }
    for (const Id3v2Frame& f : ReadId3v2Frames(source, header).Frames) {
        if (!f.V23) {
            ids.push_back(f.ID);
        }
    }
    return ids;
}

bool TID3v2::SaveToFile(const std::string& FileName) const {
    return SaveTo(FileName, nullptr).Ok();
}

SaveResult TID3v2::SaveTo(const std::string& FileName, const HeldFile* held) const {
    const auto render = [this](const ByteSource& current, bool& needRewrite,
                               std::uint64_t& replaced) {
        Id3v2Header header;
        if (!ReadId3v2Header(current, header)) {
            return Bytes{};
        }
        std::uint32_t oldSize = 0;
        Bytes tag = RenderTag(current, needRewrite, oldSize);
        replaced = header.IsId3() ? oldSize : 0;
        return tag;
    };
    return SaveFileHead(FileName, render, held);
}

} // namespace tavrela::tags
