// Version 2.2 frames as version 2.3 frames, for saves of 2.2 blocks: 2.3 is
// what the save writes, and nothing current writes 2.2.
#pragma once

#include <string>
#include <string_view>

namespace id3v2 {

// The 2.3 identifier of a 2.2 frame; empty when 2.3 has no such frame.
std::string UpgradeId(std::string_view id);

// Turns a 2.2 frame into its 2.3 form: the identifier, and the body where
// the two differ (a picture's image format becomes a MIME type, a link's
// frame identifier gets four letters). False when 2.3 has no such frame.
bool UpgradeFrame(std::string& id, std::string& body);

} // namespace id3v2
