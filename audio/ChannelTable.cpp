#include "ChannelTable.h"

#include <limits>

namespace audio {

Handle ChannelTable::insert(std::shared_ptr<Channel> channel) {
    if (!channel || lastHandle_ == std::numeric_limits<Handle>::max()) return 0;
    const Handle h = ++lastHandle_;
    channels_.emplace(h, std::move(channel));
    return h;
}

Channel* ChannelTable::find(Handle h) const {
    const auto it = channels_.find(h);
    return it == channels_.end() ? nullptr : it->second.get();
}

std::shared_ptr<Channel> ChannelTable::share(Handle h) const {
    const auto it = channels_.find(h);
    return it == channels_.end() ? nullptr : it->second;
}

std::shared_ptr<Channel> ChannelTable::take(Handle h) {
    const auto it = channels_.find(h);
    if (it == channels_.end()) return nullptr;
    std::shared_ptr<Channel> channel = std::move(it->second);
    channels_.erase(it);
    return channel;
}

std::map<Handle, std::shared_ptr<Channel>> ChannelTable::takeAll() {
    std::map<Handle, std::shared_ptr<Channel>> all;
    all.swap(channels_);
    return all;
}

} // namespace audio
