// A temporary folder for what one test process makes (encoded audio, a
// certificate), removed when that process ends.
#pragma once

#include <string>

namespace servers {

// Empty when no folder could be made.
const std::string& ProcessFolder();

} // namespace servers
