#include "tag.h"

#include "text_codec.h"

#include <cctype>
#include <charconv>
#include <optional>
#include <stdexcept>

namespace tavrela::tags {

std::unique_ptr<TMPEGaudio> MPEGFile;
std::unique_ptr<TID3v1> ID3v1Tag;
std::unique_ptr<TID3v2> ID3v2Tag;
std::unique_ptr<TWAVfile> WAVFile;
Tag CurrentTag;

namespace {

// The file whose tag ID3v2Tag holds. Writing rebuilds the tag from those fields, so a write
// is refused unless they were read from the same file (else its texts would be wiped).
std::string g_id3v2ReadFrom;
// The MP3 file as its tag was read, held open until the analysers are released: a save
// writes only if it is still that file, unchanged.
std::unique_ptr<HeldFile> g_held;
SaveResult g_lastWrite;

const char* const kYes = "Sim";
const char* const kNo = "N\xC3\xA3o";

const char* YesNo(bool b) {
    return b ? kYes : kNo;
}

#define TAVRELA_FIELD(name)                                                                        \
    TagField {                                                                                     \
#name, &Tag::name                                                                          \
    }
const std::array<TagField, kTagFieldCount> kFields = {{
    TAVRELA_FIELD(Valid),      TAVRELA_FIELD(FileSize),     TAVRELA_FIELD(VersionLayer),
    TAVRELA_FIELD(BitRate),    TAVRELA_FIELD(SampleRate),   TAVRELA_FIELD(ChannelMode),
    TAVRELA_FIELD(Duration),   TAVRELA_FIELD(FirstFrame),   TAVRELA_FIELD(Protection),
    TAVRELA_FIELD(FrameCount), TAVRELA_FIELD(Copyrighted),  TAVRELA_FIELD(Original),
    TAVRELA_FIELD(Emphasis),   TAVRELA_FIELD(AudioEncoder), TAVRELA_FIELD(TagPresent),
    TAVRELA_FIELD(TagVersion), TAVRELA_FIELD(TagSize),      TAVRELA_FIELD(Title),
    TAVRELA_FIELD(Artist),     TAVRELA_FIELD(Album),        TAVRELA_FIELD(Track),
    TAVRELA_FIELD(Year),       TAVRELA_FIELD(Genre),        TAVRELA_FIELD(Comment),
    TAVRELA_FIELD(Composer),   TAVRELA_FIELD(Encoder),      TAVRELA_FIELD(Copyright),
    TAVRELA_FIELD(Language),   TAVRELA_FIELD(FrameTGRA),    TAVRELA_FIELD(FrameTVOC),
    TAVRELA_FIELD(Rating),     TAVRELA_FIELD(FrameTTPE),    TAVRELA_FIELD(FrameTPIN),
    TAVRELA_FIELD(FrameTPFI),  TAVRELA_FIELD(Link),         TAVRELA_FIELD(FrameTRIT),
    TAVRELA_FIELD(Intro),      TAVRELA_FIELD(FrameTEXT),    TAVRELA_FIELD(FrameTEST),
    TAVRELA_FIELD(FrameTIDM),  TAVRELA_FIELD(StampTime),    TAVRELA_FIELD(StampJingle),
    TAVRELA_FIELD(AudioStart), TAVRELA_FIELD(AudioEnd),     TAVRELA_FIELD(ChorusStart),
    TAVRELA_FIELD(ChorusEnd),  TAVRELA_FIELD(MixPoint),
}};
#undef TAVRELA_FIELD

std::string Upper(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return s;
}

// Whole number in 32 bits, surrounding blanks allowed; nullopt otherwise.
std::optional<std::int64_t> ParseInteger(const std::string& text) {
    const std::string t = TrimControls(text);
    const char* first = t.data();
    const char* last = t.data() + t.size();
    if (first != last && *first == '+') {
        ++first;
    }
    std::int32_t value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (first == last || ec != std::errc() || ptr != last) {
        return std::nullopt;
    }
    return value;
}

void CreateFor(const std::string& fileName) {
    const bool mp3 = IsMp3Extension(FileExtension(fileName));
    if ((mp3 && !MPEGFile) || (!mp3 && !WAVFile)) {
        CreateTagObjects(FileExtension(fileName));
    }
}

} // namespace

const std::array<TagField, kTagFieldCount>& TagFields() {
    return kFields;
}

std::string FileExtension(const std::string& FileName) {
    const auto slash = FileName.find_last_of('/');
    const auto dot = FileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    return FileName.substr(dot);
}

bool IsMp3Extension(const std::string& Extension) {
    const std::string u = Upper(Extension);
    return u == ".MP3" || u == "MP3";
}

std::string FormatDecimalComma(double value, int decimals) {
    if (!(value == value)) {
        return "NaN";
    }
    std::string sign;
    if (value < 0) {
        sign = "-";
        value = -value;
    }
    // Enough digits to hold the exact binary value of any duration, so that halves are seen.
    char buf[512];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 80);
    if (r.ec != std::errc()) {
        return {};
    }
    const std::string s(buf, r.ptr);
    const auto point = s.find('.');
    std::string digits = s.substr(0, point);
    std::string frac = point == std::string::npos ? std::string() : s.substr(point + 1);
    frac.resize(static_cast<std::size_t>(decimals) + 1, '0');
    const bool roundUp = frac[static_cast<std::size_t>(decimals)] >= '5';
    digits += frac.substr(0, static_cast<std::size_t>(decimals));
    if (roundUp) {
        std::size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9') {
            digits[--i] = '0';
        }
        if (i == 0) {
            digits.insert(digits.begin(), '1');
        } else {
            ++digits[i - 1];
        }
    }
    std::string whole = digits.substr(0, digits.size() - static_cast<std::size_t>(decimals));
    const std::string fraction = digits.substr(whole.size());
    whole.erase(0, whole.find_first_not_of('0'));
    if (decimals == 0) {
        return sign + (whole.empty() ? "0" : whole);
    }
    return sign + whole + "," + fraction;
}

void CreateTagObjects(const std::string& Extension) {
    MPEGFile.reset();
    ID3v1Tag.reset();
    ID3v2Tag.reset();
    WAVFile.reset();
    g_id3v2ReadFrom.clear();
    g_held.reset();
    if (IsMp3Extension(Extension)) {
        MPEGFile = std::make_unique<TMPEGaudio>();
        ID3v1Tag = std::make_unique<TID3v1>();
        ID3v2Tag = std::make_unique<TID3v2>();
        ClearTag();
    } else {
        WAVFile = std::make_unique<TWAVfile>();
    }
}

void ClearTag() {
    CurrentTag = Tag{};
}

void ReadTag(const std::string& FileName) {
    ClearTag();
    g_id3v2ReadFrom.clear();
    g_held.reset();
    if (FileName.empty()) {
        return;
    }
    CreateFor(FileName);
    if (!RegularFileExists(FileName)) {
        return;
    }
    Tag& t = CurrentTag;
    if (!IsMp3Extension(FileExtension(FileName))) {
        if (!WAVFile->ReadFromFile(FileName) || !WAVFile->Valid) {
            return;
        }
        t.ChannelMode = WAVFile->ChannelMode();
        t.SampleRate = std::to_string(WAVFile->SampleRate) + " hz";
        t.FileSize = std::to_string(WAVFile->FileSize) + " bytes";
        t.Duration = FormatDecimalComma(WAVFile->Duration(), 3) + " seg.";
        return;
    }
    // Every reader reads through one descriptor; the read ends however ReadTag returns.
    g_held = std::make_unique<HeldFile>(FileName);
    struct EndRead {
        HeldFile& held;
        ~EndRead() { held.EndRead(); }
    } endRead{*g_held};
    const ByteSource& source = g_held->Source();
    TMPEGaudio& m = *MPEGFile;
    if (!m.ReadFrom(source)) {
        return;
    }
    if (!m.Valid()) {
        t.Valid = kNo;
        return;
    }
    t.Valid = kYes;
    t.FileSize = std::to_string(m.FileLength) + " bytes";
    t.VersionLayer = m.VersionText() + " " + m.LayerText();
    t.BitRate =
        std::string(m.VBR.Found ? "VBR " : "CBR ") + std::to_string(m.BitRate()) + " kbit/s";
    t.SampleRate = std::to_string(m.SampleRate()) + " hz";
    t.ChannelMode = m.ChannelMode();
    t.Duration = FormatDecimalComma(m.Duration(), 1) + " seg.";
    t.FirstFrame = std::to_string(m.Frame.Position) + " bytes";
    t.Protection = YesNo(m.Frame.ProtectionBit);
    t.FrameCount = std::to_string(m.FrameCount());
    t.Copyrighted = YesNo(m.Frame.CopyrightBit);
    t.Original = YesNo(m.Frame.OriginalBit);
    t.Emphasis = m.Emphasis();
    t.AudioEncoder = m.EncoderText();

    TID3v2& v2 = *ID3v2Tag;
    if (!v2.ReadFrom(source)) {
        return;
    }
    g_id3v2ReadFrom = FileName;
    if (v2.Exists) {
        t.TagPresent = kYes;
        t.TagVersion = "2." + std::to_string(v2.VersionID);
        t.TagSize = std::to_string(v2.Size) + " bytes";
        t.Title = v2.Title;
        t.Artist = v2.Artist;
        t.Album = v2.Album;
        t.Track = v2.Track > 0 ? std::to_string(v2.Track) : std::string();
        t.Year = v2.Year;
        t.Genre = v2.Genre;
        t.Comment = v2.Comment;
        t.Composer = v2.Composer;
        t.Encoder = v2.Encoder;
        t.Copyright = v2.Copyright;
        t.Language = v2.Language;
        t.FrameTGRA = v2.FrameTGRA;
        t.FrameTVOC = v2.FrameTVOC;
        t.Rating = std::to_string(v2.Rating);
        t.FrameTTPE = v2.FrameTTPE;
        t.FrameTPIN = v2.FrameTPIN;
        t.FrameTPFI = v2.FrameTPFI;
        t.Link = v2.Link;
        t.FrameTRIT = v2.FrameTRIT;
        t.Intro = v2.Intro;
        t.FrameTEXT = v2.FrameTEXT;
        t.FrameTEST = v2.FrameTEST;
        t.FrameTIDM = v2.FrameTIDM;
        t.StampTime = v2.StampTime;
        t.StampJingle = v2.StampJingle;
        t.AudioStart = v2.AudioStart;
        t.AudioEnd = v2.AudioEnd;
        t.ChorusStart = v2.ChorusStart;
        t.ChorusEnd = v2.ChorusEnd;
        t.MixPoint = v2.MixPoint;
        return;
    }
    TID3v1& v1 = *ID3v1Tag;
    if (!v1.ReadFrom(source)) {
        t.TagPresent = kNo;
        return;
    }
    if (v1.Exists) {
        t.TagPresent = kYes;
        t.TagVersion = v1.VersionID == 1 ? "1.0" : "1.1";
        t.Title = v1.Title;
        t.Artist = v1.Artist;
        t.Album = v1.Album;
        t.Track = std::to_string(v1.Track);
        t.Year = v1.Year;
        t.Genre = v1.GenreName();
        t.Comment = v1.Comment;
    }
}

bool WriteMarkerTag(const std::string& FileName, const std::string& Title,
                    const std::string& Artist, const std::string& Composer,
                    const std::string& Album, const std::string& Year, const std::string& Track,
                    const std::string& TIDM, const std::string& Genre, const std::string& TEST,
                    const std::string& TRIT, const std::string& Language, const std::string& TGRA,
                    const std::string& TVOC, const std::string& Rating, const std::string& TTPE,
                    const std::string& TPIN, const std::string& TPFI, const std::string& TEXT,
                    const std::string& Comment, const std::string& Intro,
                    const std::string& StampTime, const std::string& StampJingle,
                    const std::string& AudioStart, const std::string& AudioEnd,
                    const std::string& ChorusStart, const std::string& ChorusEnd,
                    const std::string& MixPoint) {
    g_lastWrite = {};
    if (!RegularFileExists(FileName)) {
        g_lastWrite.Error = SaveError::Missing;
        return false;
    }
    const Tag& c = CurrentTag;
    auto pick = [](const std::string& param, const std::string& fallback) {
        return TrimControls(param.empty() ? fallback : param);
    };
    // The track is checked before anything changes, so a bad one leaves no trace.
    const std::string trackText = Track.empty() ? c.Track : Track;
    std::optional<std::uint16_t> track;
    if (!trackText.empty()) {
        const auto n = ParseInteger(trackText);
        if (!n || *n < 0 || *n > 65535) {
            throw std::invalid_argument(
                "'" + trackText + "' n\xC3\xA3o \xC3\xA9 um n\xC3\xBAmero de faixa v\xC3\xA1lido");
        }
        track = static_cast<std::uint16_t>(*n);
    }
    if (!ID3v2Tag || g_id3v2ReadFrom != FileName) {
        g_lastWrite.Error = SaveError::NotWritable;
        return false;
    }
    TID3v2& v2 = *ID3v2Tag;
    v2.Title = pick(Title, c.Title);
    v2.Artist = pick(Artist, c.Artist);
    v2.Composer = pick(Composer, c.Composer);
    v2.Album = pick(Album, c.Album);
    v2.Year = pick(Year, c.Year);
    if (track) {
        v2.Track = *track;
    }
    v2.FrameTIDM = pick(TIDM, c.FrameTIDM);
    v2.Genre = pick(Genre, c.Genre);
    v2.FrameTEST = pick(TEST, c.FrameTEST);
    v2.FrameTRIT = pick(TRIT, c.FrameTRIT);
    v2.Language = pick(Language, c.Language);
    v2.FrameTGRA = pick(TGRA, c.FrameTGRA);
    v2.FrameTVOC = pick(TVOC, c.FrameTVOC);
    // The rating is lenient: text that is not a number counts as 0; one byte is kept.
    const auto rating = ParseInteger(Rating.empty() ? c.Rating : Rating);
    v2.Rating = static_cast<std::uint8_t>(rating.value_or(0) & 0xFF);
    v2.FrameTTPE = pick(TTPE, c.FrameTTPE);
    v2.FrameTPIN = pick(TPIN, c.FrameTPIN);
    v2.FrameTPFI = pick(TPFI, c.FrameTPFI);
    v2.FrameTEXT = pick(TEXT, c.FrameTEXT);
    v2.Comment = pick(Comment, c.Comment);
    v2.Intro = pick(Intro, c.Intro);
    v2.StampTime = pick(StampTime, c.StampTime);
    v2.StampJingle = pick(StampJingle, c.StampJingle);
    v2.AudioStart = pick(AudioStart, c.AudioStart);
    v2.AudioEnd = pick(AudioEnd, c.AudioEnd);
    v2.ChorusStart = pick(ChorusStart, c.ChorusStart);
    v2.ChorusEnd = pick(ChorusEnd, c.ChorusEnd);
    v2.MixPoint = pick(MixPoint, c.MixPoint);
    v2.Encoder = TrimControls(c.Encoder);
    v2.Copyright = TrimControls(c.Copyright);
    v2.Link = TrimControls(c.Link);
    v2.FrameTCAD.assign(1, 'S'); // every save marks the file
    g_lastWrite = v2.SaveTo(FileName, g_held.get());
    if (g_lastWrite.Ok()) {
        // The file now holds what was written: a second save compares with that.
        g_held = std::make_unique<HeldFile>(FileName);
        g_held->EndRead();
    }
    return g_lastWrite.Ok();
}

const SaveResult& LastWriteResult() {
    return g_lastWrite;
}

void FreeTagObjects(const std::string& Extension) {
    if (IsMp3Extension(Extension)) {
        ClearTag();
        MPEGFile.reset();
        ID3v1Tag.reset();
        ID3v2Tag.reset();
        g_id3v2ReadFrom.clear();
        g_held.reset();
    } else {
        WAVFile.reset();
    }
}

} // namespace tavrela::tags
