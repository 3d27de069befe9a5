// The one way a whole file is replaced (settings, playlists, tag rebuilds): a
// new file beside it, written, forced to disk and renamed over it, so that a
// crash at any moment leaves the old file or the new one, whole.
#pragma once

#include <functional>
#include <string>

namespace platform {

// The system steps of a replacement that a test seam may refuse.
enum class ReplaceStep { Create, Sync, Rename };
// An errno value to fail the step with as if the system refused it, or 0.
using ReplaceStepCheck = std::function<int(ReplaceStep step, const std::string& name)>;

// Replaces path with what fill writes to the new file through its descriptor
// (the name is for messages). A symbolic link is followed and the file it
// leads to replaced, so the link stays; a link that leads nowhere fails. The
// new file is named after that file with "~" and random characters (the name
// cut short when it would be too long for the folder), created with
// O_CREAT|O_EXCL|O_NOFOLLOW (an existing file or link of any name is never
// followed, overwritten or deleted), given the original's mode and, as far as
// the system allows, its owner, group and extended attributes, ACLs among
// them (0644 and none for a file that does not exist yet), synced, renamed
// over the original, and the folder synced. False when fill returns false or
// any step fails; then, and when fill throws, the original's bytes and mode
// are untouched and the new file is gone.
bool ReplaceFile(const std::string& path, const std::function<bool(int fd, const std::string& name)>& fill,
                 const ReplaceStepCheck& check = {});

} // namespace platform
