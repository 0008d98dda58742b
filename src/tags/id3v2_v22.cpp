#include "id3v2_v22.h"

#include "id3v2.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace tavrela::tags {
namespace {

struct IdPair {
    std::string_view v22;
    std::string_view v23;
};

// The frames of the version 2.2 standard, plus the sort-order, compilation and grouping
// frames that common writers put in version 2.2 tags and version 2.3 readers know.
constexpr std::array<IdPair, 71> kIds = {{
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"},
    {"EQU", "EQUA"}, {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"LNK", "LINK"}, {"MCI", "MCDI"},
    {"MLL", "MLLT"}, {"PIC", "APIC"}, {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"},
    {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"},
    {"TCO", "TCON"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"},
    {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"},
    {"TMT", "TMED"}, {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"},
    {"TOT", "TOAL"}, {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"},
    {"TPA", "TPOS"}, {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"},
    {"TSI", "TSIZ"}, {"TSS", "TSSE"}, {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"},
    {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"},
    {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"},
    {"WPB", "WPUB"}, {"WXX", "WXXX"}, {"TCP", "TCMP"}, {"TST", "TSOT"}, {"TSP", "TSOP"},
    {"TSA", "TSOA"}, {"TS2", "TSO2"}, {"TSC", "TSOC"}, {"GP1", "GRP1"}, {"MVN", "MVNM"},
    {"MVI", "MVIN"},
}};

} // namespace

std::optional<std::string> V23IdOfV22(const std::string& id) {
    for (const IdPair& p : kIds) {
        if (p.v22 == id) {
            return std::string(p.v23);
        }
    }
    // The playout frames have three-letter IDs of their own.
    for (int r = 0; r < kId3v2FrameRows; ++r) {
        if (id == Id3v2FrameIdV22(r)) {
            return std::string(Id3v2FrameId(r));
        }
    }
    return std::nullopt;
}

std::string PictureMimeOfV22Format(const std::string& format) {
    std::string f;
    for (char c : format) {
        if (c != 0 && c != ' ') {
            f.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        }
    }
    if (f == "-->" || f.empty()) {
        return f; // a link to the picture keeps its marker; no format leaves "image/" implied
    }
    return f == "jpg" ? "image/jpeg" : "image/" + f;
}

std::optional<std::pair<std::string, Bytes>> V23FrameOfV22(const std::string& id,
                                                           const Bytes& data) {
    const auto id23 = V23IdOfV22(id);
    if (!id23) {
        return std::nullopt;
    }
    if (id == "PIC") {
        // PIC: encoding (1), image format (3), picture type, description, picture.
        // APIC: encoding, MIME type and a zero byte, then the same.
        if (data.size() < 5) {
            return std::nullopt;
        }
        const std::string mime =
            PictureMimeOfV22Format(std::string(data.begin() + 1, data.begin() + 4));
        Bytes out{data[0]};
        out.insert(out.end(), mime.begin(), mime.end());
        out.push_back(0);
        out.insert(out.end(), data.begin() + 4, data.end());
        return std::make_pair(*id23, std::move(out));
    }
    if (id == "LNK") {
        // LNK: linked frame's ID (3), URL, extra data. LINK has a four-letter ID there.
        if (data.size() < 3) {
            return std::nullopt;
        }
        const auto linked = V23IdOfV22(std::string(data.begin(), data.begin() + 3));
        if (!linked) {
            return std::nullopt;
        }
        Bytes out(linked->begin(), linked->end());
        out.insert(out.end(), data.begin() + 3, data.end());
        return std::make_pair(*id23, std::move(out));
    }
    return std::make_pair(*id23, data);
}

} // namespace tavrela::tags
