// The station list file radiostations.cfg: records of five lines (a heading,
// the name, the address, a further value, the description), read into the
// engine's four parallel station lists.
#pragma once

#include <string>
#include <vector>

class TTonikMain;

struct RadioStationList {
    std::vector<std::string> Names;
    std::vector<std::string> URLs;
    std::vector<std::string> Extra;
    std::vector<std::string> Descriptions;
};

// Each value is the text after the last "=" of its line, in UTF-8: the file
// is read as UTF-8 when it is valid UTF-8, else in the legacy code page. A
// missing or unreadable file gives no stations; an incomplete last record is
// dropped.
RadioStationList ReadRadioStations(const std::string& File);

// Refills RadioNames, RadioURLs, RadioExtra and RadioDescriptions from
// AppDir + "radiostations.cfg".
void LoadRadioStations(TTonikMain& Tonik);
