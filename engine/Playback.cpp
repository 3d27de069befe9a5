// Starting, pausing, stopping and seeking the current channel, moving
// between entries, and the timer step.
#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>
#include <utility>

#include "audio/AudioLibrary.h"
#include "engine/Tonik_main.h"
#include "engine/Utf8Text.h"
#include "engine/WholeSeconds.h"

namespace {

constexpr uint32_t kPlayFlags = audio::kExactLength;
constexpr uint32_t kStreamFlags = audio::kUrlNoKeep;
// A stream that has not buffered enough to start by then is taken as one
// that cannot be opened.
constexpr auto kPreBufferWait = std::chrono::seconds(10);
constexpr int kStartPercent = 90;

int BarMaximum(float Seconds) {
    return static_cast<int>(std::min<uint32_t>(WholeSeconds(Seconds), INT_MAX));
}

} // namespace

void TTonikMain::StopAndFreeChannel() {
    audio::stop(Channel);
    ReleaseChannels();
}

void TTonikMain::ReleaseChannels() {
    DropPrepared();
    FreeChannel(Channel);
    Channel = 0;
    awaitingEnd_ = false;
}

HSTREAM TTonikMain::OpenLocalEntry(const std::string& Path) {
    return CreateFileChannel(Path, kPlayFlags, kPlayFlags);
}

void TTonikMain::SelectRowIfNone() {
    if (view_.selectedRow() == -1) {
        view_.setSelectedRow(0);
        CurrentIndex = 0;
    } else if (CurrentIndex < 0 || CurrentIndex >= static_cast<int>(Paths.size())) {
        // Stopped, or the current entry was removed: the selected row is meant.
        CurrentIndex = view_.selectedRow();
    }
}

// The sound settings a channel started by a command gets.
void TTonikMain::ApplyStartChain() {
    ApplyVolume();
    SendStoredPan();
    if (StartupComplete) ApplyEffectChain();
    if (Mute) ApplyMute();
}

void TTonikMain::PlayCurrent() {
    audio::stopOutput();
    ReleaseChannels();
    const int count = static_cast<int>(Paths.size());
    if (count == 0) return;
    SelectRowIfNone();

    for (int attempt = 0;; ++attempt) {
        CurrentFile = Paths[CurrentIndex];
        Channel = OpenLocalEntry(CurrentFile);
        Length = ChannelSeconds(Channel);
        if (Length != 0 || attempt == 1) break;
        // An empty file still has a channel; release it before the retry.
        FreeChannel(Channel);
        Channel = 0;
        CurrentIndex = CurrentIndex < count - 1 ? CurrentIndex + 1 : 0;
    }

    audio::startOutput();
    audio::play(Channel, false);
    ApplyStartChain();
    BuildTrackInfo();
    view_.setPositionMax(BarMaximum(Length));
    PaintPlayList();
    awaitingEnd_ = Length > 0;
    UpdatePreparedNext();
}

void TTonikMain::PlayStream() {
    audio::stopOutput();
    ReleaseChannels();
    if (Paths.empty()) return;
    SelectRowIfNone();
    CurrentFile = Paths[CurrentIndex];

    audio::startOutput();
    const HSTREAM stream = CreateURLChannel(CurrentFile, kStreamFlags);
    Channel = stream;
    Length = -1;
    if (stream != 0 && !WaitForPreBuffer(stream)) {
        // A command run during the wait has freed it and taken over.
        if (Channel != stream) return;
        FreeChannel(Channel);
        Channel = 0;
    }
    if (Channel != 0) {
        audio::play(Channel, false);
        ApplyStartChain();
        view_.setPositionMax(0);
        BuildTrackInfo();
        PaintPlayList();
        // A stream that ends for good moves on as a file does at its end.
        awaitingEnd_ = true;
        UpdatePreparedNext();
    } else if (Paths.size() == 1) {
        ClearPlaylist();
    }
}

void TTonikMain::PlayAddress(const std::string& Address) {
    StationName.clear();
    ClearPlaylist();
    AddEntry(Address);
    PlayStream();
}

// Runs window events until the stream has buffered enough to start. False
// when it failed, did not fill in time, or was freed by a command run
// meanwhile.
bool TTonikMain::WaitForPreBuffer(HSTREAM Stream) {
    streamOpening_ = Stream;
    const auto deadline = std::chrono::steady_clock::now() + kPreBufferWait;
    bool ready = false;
    for (;;) {
        view_.processEvents();
        if (Channel != Stream || view_.closing()) break;
        const int buffered = audio::streamBufferedPercent(Stream);
        if (buffered >= kStartPercent) {
            ready = true;
            break;
        }
        if (buffered < 0 || std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (streamOpening_ == Stream) streamOpening_ = 0;
    return ready;
}

// Step 1 of an active timer step: without a selected row the first entry
// becomes the current one.
std::string TTonikMain::TickCurrentPath(int Count) {
    if (view_.selectedRow() == -1) {
        view_.setSelectedRow(0);
        CurrentIndex = 0;
        return {};
    }
    return CurrentIndex >= 0 && CurrentIndex < Count ? Paths[CurrentIndex] : std::string();
}

// A local file that has played to its last sample moves on; the entry that
// follows may already be playing.
bool TTonikMain::FollowEndOfTrack(int Count) {
    if (!awaitingEnd_ || audio::activity(Channel) != audio::kStopped) return false;
    Advance(Count, TickCurrentPath(Count));
    return true;
}

void TTonikMain::Tick() {
    const int count = static_cast<int>(Paths.size());
    if (streamOpening_ != 0 && streamOpening_ == Channel) {
        ShowBuffering();
        return;
    }
    if (FollowEndOfTrack(count)) return;
    if (audio::activity(Channel) != audio::kStopped) {
        stoppedShown_.reset();
        TickCurrentPath(count);
        audio::StreamStatus stream;
        if (audio::streamStatus(Channel, stream) && stream.titleChanges != streamTitleChanges_) BuildTrackInfo();
        UpdateStatus();
        const float position = PositionSeconds(Channel);
        Elapsed = WholeSeconds(position);
        const double ratio = Length > 0 ? position / Length : 0;
        view_.setBarPosition(static_cast<int>(view_.positionMax() * std::min(ratio, 1.0)));
        UpdatePreparedNext();
        return;
    }
    view_.setBarPosition(0);
    // Ten times a second while nothing plays: only a change is shown.
    const std::string& stopped = Messages[8];
    if (CurrentIndex == -1 && stoppedShown_ && *stoppedShown_ == stopped) return;
    view_.setTipText(Utf8Upper(stopped));
    view_.setTimeLabel(" 00:00");
    CurrentIndex = -1;
    PaintPlayList();
    view_.setApplicationTitle(Utf8Mid(stopped, 0, 1) + Utf8Lower(Utf8Mid(stopped, 1, std::string::npos)) +
                              kTitleSuffix);
    stoppedShown_ = stopped;
    audio::suspendOutput();
}

void TTonikMain::Advance(int Count, const std::string& CurrentPath) {
    audio::stop(Channel);
    awaitingEnd_ = false;
    const int entries = std::min(Count, static_cast<int>(Paths.size()));
    // Chosen when it was prepared: a shuffled entry is not drawn again.
    std::optional<PreparedEntry> prepared = TakePreparedFollower(Count);
    bool start = false;
    std::string next;
    if (Count > 1) {
        const int following = prepared ? prepared->Index : FollowingIndex(CurrentIndex, Count);
        if (following >= 0) {
            CurrentIndex = !prepared && Shuffle ? ShuffleDraw(Count) : following;
            start = CurrentIndex >= 0 && CurrentIndex < entries;
        }
        if (start) next = Paths[CurrentIndex];
    } else if (Loop) {
        start = true;
        next = Count == 1 && CurrentIndex == 0 && entries == 1 ? Paths[0] : CurrentPath;
    } else {
        CurrentFile = CurrentPath;
    }

    bool handedOver = false;
    if (start) {
        FreeChannel(Channel);
        Channel = 0;
        if (IsNetworkEntry(next)) {
            PlayStream();
            return;
        }
        if (prepared && prepared->Channel != 0 && prepared->Path == next) {
            Channel = std::exchange(prepared->Channel, 0);
            // Queued too late to be started by the library.
            if (audio::activity(Channel) == audio::kStopped && audio::positionBytes(Channel) == 0)
                audio::play(Channel, false);
            handedOver = true;
        } else {
            Channel = OpenLocalEntry(next);
            audio::play(Channel, false);
        }
        CurrentFile = next;
    }
    if (prepared) FreeChannel(prepared->Channel);
    if (!handedOver)
        ApplyStartChain();
    else if (TakeEffectChange())
        ApplyEffectChain(); // changed after the preparation, on the old channel only
    Length = ChannelSeconds(Channel);
    view_.setBarPosition(0);
    BuildTrackInfo();
    PaintPlayList();
    awaitingEnd_ = start && Length > 0;
    UpdatePreparedNext();
}

void TTonikMain::StartEntryByPrefix() {
    const int count = static_cast<int>(Paths.size());
    // Without a current entry the start takes the selected row, or row 0.
    int entry = CurrentIndex >= 0 && CurrentIndex < count ? CurrentIndex : view_.selectedRow();
    if (entry < 0) entry = 0;
    if (entry < count && IsNetworkEntry(Paths[entry]))
        PlayStream();
    else
        PlayCurrent();
}

void TTonikMain::NextEntry() {
    const int count = static_cast<int>(Paths.size());
    if (count == 0) return;
    if (CurrentIndex < count - 1) {
        ++CurrentIndex;
        if (view_.topRow() + kVisibleRows == CurrentIndex) view_.setTopRow(view_.topRow() + 1);
    } else {
        CurrentIndex = 0;
        view_.setTopRow(0);
    }
    // Without a selection PlayCurrent would fall back to row 0.
    if (view_.selectedRow() == -1) view_.setSelectedRow(CurrentIndex);
    StartEntryByPrefix();
}

void TTonikMain::PreviousEntry() {
    const int count = static_cast<int>(Paths.size());
    if (count == 0) return;
    if (CurrentIndex <= 0) {
        CurrentIndex = count - 1;
        if (count - kVisibleRows >= 0) view_.setTopRow(count - kVisibleRows);
    } else {
        // Past the end after removals: step back from the end.
        CurrentIndex = std::min(CurrentIndex, count) - 1;
        if (CurrentIndex < view_.topRow()) view_.setTopRow(view_.topRow() - 1);
    }
    if (view_.selectedRow() == -1) view_.setSelectedRow(CurrentIndex);
    StartEntryByPrefix();
}

void TTonikMain::PlaySelectedEntry() {
    if (view_.selectedRow() != -1) CurrentIndex = view_.selectedRow();
    StartEntryByPrefix();
}

void TTonikMain::PlaySelectedAsFile() {
    if (view_.selectedRow() != -1) CurrentIndex = view_.selectedRow();
    PlayCurrent();
}

void TTonikMain::PauseCommand() {
    // Pause what is heard, also when the library has just moved on to the
    // next entry.
    if (HandedOver()) FollowEndOfTrack(static_cast<int>(Paths.size()));
    if (audio::activity(Channel) == audio::kPaused)
        audio::play(Channel, false);
    else
        audio::pause(Channel);
}

void TTonikMain::StopCommand() {
    StopAndFreeChannel();
}

void TTonikMain::PositionBarChanged() {
    if (view_.positionDragged()) {
        audio::setAttributes(Channel, -1, 0, -101);
        const int maximum = view_.positionMax();
        if (maximum <= 0) return;
        const double ratio = static_cast<double>(view_.barPosition()) / maximum;
        audio::seekBytes(Channel, static_cast<uint64_t>(ratio * static_cast<double>(audio::lengthBytes(Channel))));
    } else if (!Mute) {
        ApplyVolume();
    }
}
