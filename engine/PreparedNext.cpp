// Gapless track changes: while a local file plays, the entries Advance would
// move to are opened ahead, set up as every new channel is, and queued in the
// audio library, which starts each on the sample after the one before it
// ends. The timer step then only catches up with the hand-over (Advance).
#include <numeric>

#include "audio/AudioLibrary.h"
#include "engine/Tonik_main.h"

namespace {

// Preparing as soon as a file starts leaves the whole file's time for the
// next one to be opened. Files shorter than a few timer steps get their own
// successors prepared too, so that a late step still finds them queued; the
// count bounds a playlist of files of a few samples.
constexpr float kCoverSeconds = 2.0f;
constexpr size_t kMostPrepared = 8;

} // namespace

// Advance's choice before Shuffle draws; -1 when playback ends after From.
int TTonikMain::FollowingIndex(int From, int Count) const {
    if (Count > 1) {
        if (From < Count - 1) return From + 1;
        return Loop ? 0 : -1;
    }
    return Loop ? From : -1;
}

// Uniform over all entries, the one that ends included.
int TTonikMain::ShuffleDraw(int Count) {
    return static_cast<int>(Random() % static_cast<uint32_t>(Count));
}

std::string TTonikMain::PathAt(int Index) const {
    return Index >= 0 && Index < static_cast<int>(Paths.size()) ? Paths[static_cast<size_t>(Index)]
                                                                : std::string();
}

bool TTonikMain::PreparedStillFollows(int Count) const {
    const PreparedBasis& basis = preparedBasis_;
    if (basis.After != Channel || basis.From != CurrentIndex || basis.Loop != Loop ||
        basis.Shuffle != Shuffle)
        return false;
    // A shuffled choice is a draw over the whole list.
    if (Shuffle && basis.Count != static_cast<size_t>(Count)) return false;
    int from = CurrentIndex;
    for (const PreparedEntry& entry : prepared_) {
        if (entry.Path != PathAt(entry.Index)) return false;
        if (!Shuffle && FollowingIndex(from, Count) != entry.Index) return false;
        from = entry.Index;
    }
    return true;
}

void TTonikMain::UpdatePreparedNext() {
    if (!StartupComplete || !awaitingEnd_) {
        DropPrepared();
        return;
    }
    // The current file has ended: what follows is settled by the next timer
    // step, which may find the prepared entry already playing.
    if (audio::activity(Channel) == audio::kStopped) return;
    const int count = static_cast<int>(Paths.size());
    if (!PreparedStillFollows(count)) DropPrepared();
    if (prepared_.empty()) {
        preparedBasis_ = {Channel, CurrentIndex, Paths.size(), Loop, Shuffle};
        preparedEffects_ = ReadEffectSettings();
    } else if (TakeEffectChange()) {
        // The window changes effects on the current channel only.
        for (const PreparedEntry& entry : prepared_)
            if (entry.Channel != 0) SetUpPrepared(entry.Channel, false);
    }
    ExtendPrepared(count);
}

void TTonikMain::ExtendPrepared(int Count) {
    float covered =
        std::accumulate(prepared_.begin(), prepared_.end(), 0.0f,
                        [](float sum, const PreparedEntry& entry) { return sum + entry.Length; });
    while (prepared_.size() < kMostPrepared && covered < kCoverSeconds) {
        const bool first = prepared_.empty();
        if (!first && prepared_.back().Channel == 0) return;
        const HSTREAM before = first ? Channel : prepared_.back().Channel;
        int next = FollowingIndex(first ? CurrentIndex : prepared_.back().Index, Count);
        if (next < 0) return;
        if (Count > 1 && Shuffle) next = ShuffleDraw(Count);

        PreparedEntry entry{next, PathAt(next)};
        if (!IsNetworkEntry(entry.Path)) {
            entry.Channel = OpenLocalEntry(entry.Path);
            entry.Length = ChannelSeconds(entry.Channel);
            if (entry.Length > 0) {
                SetUpPrepared(entry.Channel, true);
                audio::queueNext(before, entry.Channel);
            } else {
                FreeChannel(entry.Channel);
                entry = {next, entry.Path};
            }
        }
        covered += entry.Length;
        prepared_.push_back(std::move(entry));
    }
}

void TTonikMain::DropPrepared() {
    audio::queueNext(Channel, 0);
    for (const PreparedEntry& entry : prepared_)
        FreeChannel(entry.Channel);
    prepared_.clear();
}

std::optional<PreparedEntry> TTonikMain::TakePreparedFollower(int Count) {
    if (prepared_.empty()) return std::nullopt;
    if (!PreparedStillFollows(Count)) {
        DropPrepared();
        return std::nullopt;
    }
    PreparedEntry front = std::move(prepared_.front());
    prepared_.erase(prepared_.begin());
    preparedBasis_.After = front.Channel;
    preparedBasis_.From = front.Index;
    return front;
}

// The library has started the prepared entry; the timer step has not yet
// followed.
bool TTonikMain::HandedOver() const {
    if (!awaitingEnd_ || prepared_.empty() || prepared_.front().Channel == 0) return false;
    const HSTREAM next = prepared_.front().Channel;
    return audio::activity(Channel) == audio::kStopped &&
           (audio::activity(next) != audio::kStopped || audio::positionBytes(next) > 0);
}

bool TTonikMain::TakeEffectChange() {
    const EffectSettings now = ReadEffectSettings();
    if (now == preparedEffects_) return false;
    preparedEffects_ = now;
    return true;
}

// The same chain a channel started by a command gets, reaching only the
// prepared channel.
void TTonikMain::SetUpPrepared(HSTREAM Prepared, bool WholeChain) {
    soleTarget_ = Prepared;
    if (WholeChain)
        ApplyStartChain();
    else
        ApplyEffectChain();
    soleTarget_ = 0;
}
