#include "tags/ID3v2Upgrade.h"

#include <algorithm>
#include <array>
#include <utility>

namespace id3v2 {

namespace {

// The frames of version 2.2 and the iTunes additions to it.
constexpr std::array<std::pair<std::string_view, std::string_view>, 67> kIds = {{
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"EQU", "EQUA"}, {"ETC", "ETCO"},
    {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"LNK", "LINK"}, {"MCI", "MCDI"}, {"MLL", "MLLT"}, {"PIC", "APIC"},
    {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"},
    {"TBP", "TBPM"}, {"TCM", "TCOM"}, {"TCO", "TCON"}, {"TCP", "TCMP"}, {"TCR", "TCOP"}, {"TDA", "TDAT"},
    {"TDY", "TDLY"}, {"TEN", "TENC"}, {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"},
    {"TLE", "TLEN"}, {"TMT", "TMED"}, {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"},
    {"TOT", "TOAL"}, {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"},
    {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TS2", "TSO2"}, {"TSA", "TSOA"},
    {"TSC", "TSOC"}, {"TSI", "TSIZ"}, {"TSP", "TSOP"}, {"TSS", "TSSE"}, {"TST", "TSOT"}, {"TT1", "TIT1"},
    {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"},
    {"ULT", "USLT"}, {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"},
    {"WPB", "WPUB"},
}};

// "JPG" and "PNG" are the formats 2.2 names; others keep their letters.
std::string MimeType(std::string_view format) {
    if (format == "JPG") return "image/jpeg";
    if (format == "PNG") return "image/png";
    if (format == "-->") return std::string(format);
    std::string lower(format);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    return "image/" + lower;
}

} // namespace

std::string UpgradeId(std::string_view id) {
    for (const auto& [old, upgraded] : kIds)
        if (old == id) return std::string(upgraded);
    return {};
}

bool UpgradeFrame(std::string& id, std::string& body) {
    std::string upgraded = UpgradeId(id);
    if (upgraded.empty()) return false;
    if (upgraded == "APIC") {
        // Encoding, 3-letter format, then picture type, description and data as in 2.3.
        if (body.size() < 5) return false;
        body = body.substr(0, 1) + MimeType(body.substr(1, 3)) + '\0' + body.substr(4);
    } else if (upgraded == "LINK") {
        if (body.size() < 3) return false;
        const std::string target = UpgradeId(body.substr(0, 3));
        if (target.empty()) return false;
        body = target + body.substr(3);
    }
    id = std::move(upgraded);
    return true;
}

} // namespace id3v2
