// FLAC, Opus and MP4 (AAC, ALAC) files encoded by Fixtures.h's encoders,
// each tool writing the given tags its own way.
#pragma once

#include <string>

namespace fixtures {

enum class TaggedKind { Flac, Opus, M4aAac, M4aAlac };

struct TagTexts {
    std::string Title{}, Artist{}, Album{}, Year{}, Track{}, Genre{}, Comment{};
};

// False when the tool is missing, fails or writes nothing.
bool EncodeTagged(TaggedKind kind, const std::string& wav, const std::string& out,
                  const TagTexts& tags);

} // namespace fixtures
