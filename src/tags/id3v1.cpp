#include "id3v1.h"

#include "text_codec.h"

#include <array>
#include <string_view>

namespace tavrela::tags {
namespace {

const std::array<const char*, 148> kGenres = {"Blues",
                                              "Classic Rock",
                                              "Country",
                                              "Dance",
                                              "Disco",
                                              "Funk",
                                              "Grunge",
                                              "Hip-Hop",
                                              "Jazz",
                                              "Metal",
                                              "New Age",
                                              "Oldies",
                                              "Other",
                                              "Pop",
                                              "R&B",
                                              "Rap",
                                              "Reggae",
                                              "Rock",
                                              "Techno",
                                              "Industrial",
                                              "Alternative",
                                              "Ska",
                                              "Death Metal",
                                              "Pranks",
                                              "Soundtrack",
                                              "Euro-Techno",
                                              "Ambient",
                                              "Trip-Hop",
                                              "Vocal",
                                              "Jazz+Funk",
                                              "Fusion",
                                              "Trance",
                                              "Classical",
                                              "Instrumental",
                                              "Acid",
                                              "House",
                                              "Game",
                                              "Sound Clip",
                                              "Gospel",
                                              "Noise",
                                              "AlternRock",
                                              "Bass",
                                              "Soul",
                                              "Punk",
                                              "Space",
                                              "Meditative",
                                              "Instrumental Pop",
                                              "Instrumental Rock",
                                              "Ethnic",
                                              "Gothic",
                                              "Darkwave",
                                              "Techno-Industrial",
                                              "Electronic",
                                              "Pop-Folk",
                                              "Eurodance",
                                              "Dream",
                                              "Southern Rock",
                                              "Comedy",
                                              "Cult",
                                              "Gangsta",
                                              "Top 40",
                                              "Christian Rap",
                                              "Pop/Funk",
                                              "Jungle",
                                              "Native American",
                                              "Cabaret",
                                              "New Wave",
                                              "Psychadelic",
                                              "Rave",
                                              "Showtunes",
                                              "Trailer",
                                              "Lo-Fi",
                                              "Tribal",
                                              "Acid Punk",
                                              "Acid Jazz",
                                              "Polka",
                                              "Retro",
                                              "Musical",
                                              "Rock & Roll",
                                              "Hard Rock",
                                              "Folk",
                                              "Folk-Rock",
                                              "National Folk",
                                              "Swing",
                                              "Fast Fusion",
                                              "Bebob",
                                              "Latin",
                                              "Revival",
                                              "Celtic",
                                              "Bluegrass",
                                              "Avantgarde",
                                              "Gothic Rock",
                                              "Progessive Rock",
                                              "Psychedelic Rock",
                                              "Symphonic Rock",
                                              "Slow Rock",
                                              "Big Band",
                                              "Chorus",
                                              "Easy Listening",
                                              "Acoustic",
                                              "Humour",
                                              "Speech",
                                              "Chanson",
                                              "Opera",
                                              "Chamber Music",
                                              "Sonata",
                                              "Symphony",
                                              "Booty Bass",
                                              "Primus",
                                              "Porn Groove",
                                              "Satire",
                                              "Slow Jam",
                                              "Club",
                                              "Tango",
                                              "Samba",
                                              "Folklore",
                                              "Ballad",
                                              "Power Ballad",
                                              "Rhythmic Soul",
                                              "Freestyle",
                                              "Duet",
                                              "Punk Rock",
                                              "Drum Solo",
                                              "A capella",
                                              "Euro-House",
                                              "Dance Hall",
                                              "Goa",
                                              "Drum & Bass",
                                              "Club-House",
                                              "Hardcore",
                                              "Terror",
                                              "Indie",
                                              "BritPop",
                                              "Negerpunk",
                                              "Polsk Punk",
                                              "Beat",
                                              "Christian Gangsta Rap",
                                              "Heavy Metal",
                                              "Black Metal",
                                              "Crossover",
                                              "Contemporary Christian",
                                              "Christian Rock",
                                              "Merengue",
                                              "Salsa",
                                              "Trash Metal",
                                              "Anime",
                                              "JPop",
                                              "Synthpop"};

std::string Field(const std::uint8_t* block, std::size_t offset, std::size_t size) {
    return Cp1252ToUtf8(
        TrimRightControls(std::string_view(reinterpret_cast<const char*>(block + offset), size)));
}

} // namespace

std::string Id3v1GenreName(int genre) {
    return genre >= 0 && genre < static_cast<int>(kGenres.size()) ? kGenres[genre] : "";
}

void TID3v1::Reset() {
    *this = TID3v1{};
}

std::string TID3v1::GenreName() const {
    return Id3v1GenreName(GenreID);
}

bool TID3v1::ReadFromFile(const std::string& FileName) {
    return ReadFrom(FileSource(FileName));
}

bool TID3v1::ReadFrom(const ByteSource& source) {
    Reset();
    if (!source.IsOpen() || source.Length() < 128) {
        return false;
    }
    // Block: "TAG", title 30, artist 30, album 30, year 4, comment 30 (1.1: 28 + zero + track),
    // genre 1.
    std::uint8_t b[128];
    if (!source.ReadExact(source.Length() - 128, b, sizeof b)) {
        return false;
    }
    if (b[0] != 'T' || b[1] != 'A' || b[2] != 'G') {
        return true;
    }
    Exists = true;
    VersionID = ((b[125] == 0 && b[126] != 0) || (b[125] == ' ' && b[126] != ' ')) ? 2 : 1;
    Title = Field(b, 3, 30);
    Artist = Field(b, 33, 30);
    Album = Field(b, 63, 30);
    Year = Field(b, 93, 4);
    if (VersionID == 1) {
        Comment = Field(b, 97, 30);
    } else {
        Comment = Field(b, 97, 28);
        Track = b[126];
    }
    GenreID = b[127];
    return true;
}

} // namespace tavrela::tags
