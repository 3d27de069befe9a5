// CD-Text as UTF-8. libcdio hands its text over converted from the charset
// the disc names (ISO-8859-1 for a CUE sheet), so a CUE sheet written in
// UTF-8 comes out converted twice.
#pragma once

#include <string>

namespace audio {

// What libcdio gave, undone once where it was UTF-8 taken for Latin-1; text
// that is no UTF-8 at all is taken for Latin-1.
std::string CdTextToUtf8(const std::string& text);

} // namespace audio
