// The handle table: handles are never reused, 0 is none, and an unknown
// handle finds nothing. Not locked itself: the library changes it under both
// of its locks, so either one suffices for reading.
#pragma once

#include <map>
#include <memory>

#include "AudioLibrary.h"
#include "Channel.h"

namespace audio {

class ChannelTable {
  public:
    // 0 when the handles are used up (or channel is null).
    Handle insert(std::shared_ptr<Channel> channel);
    Channel* find(Handle h) const;
    std::shared_ptr<Channel> share(Handle h) const;
    // Removes the channel and hands it over (to be destroyed outside the locks).
    std::shared_ptr<Channel> take(Handle h);
    std::map<Handle, std::shared_ptr<Channel>> takeAll();

    template <typename Fn> void forEach(Fn&& fn) const {
        for (const auto& [handle, channel] : channels_) fn(handle, *channel);
    }

  private:
    std::map<Handle, std::shared_ptr<Channel>> channels_;
    Handle lastHandle_ = 0;
};

} // namespace audio
