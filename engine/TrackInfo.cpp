// The information line of the current track and the status displays:
// status label with its marquee, time label and application title.
#include <algorithm>

#include "audio/AudioLibrary.h"
#include "effects/SndAttrib.h"
#include "engine/TagTitle.h"
#include "engine/Tonik_main.h"
#include "engine/Utf8Text.h"
#include "engine/WholeSeconds.h"

namespace {

void ResetMarquee(int32_t& Hold) {
    Hold = 0;
    MarqueeWidth = 0;
    MarqueeStart = 0;
}

// One step of the status line: a short line is typed out, held and restarted;
// a long one grows to 56 characters, scrolls to its end, holds and restarts.
std::string MarqueeStep(const std::string& Text) {
    const auto length = static_cast<int64_t>(Utf8Length(Text));
    if (MarqueeWidth < 56) {
        if (MarqueeWidth < length)
            ++MarqueeWidth;
        else if (++MarqueeHoldFull > 20)
            ResetMarquee(MarqueeHoldFull);
    }
    if (MarqueeWidth > 55) {
        if (length < static_cast<int64_t>(MarqueeStart) + MarqueeWidth) {
            if (++MarqueeHoldEnd > 20) ResetMarquee(MarqueeHoldEnd);
        } else {
            ++MarqueeStart;
        }
    }
    const int32_t first = std::max(MarqueeStart, 1);
    return Utf8Mid(Text, static_cast<size_t>(first - 1), static_cast<size_t>(std::max(MarqueeWidth, 0)));
}

} // namespace

void TTonikMain::BuildTrackInfo() {
    const TSndAttrib attributes = GetSndAttrib(Channel, CurrentFile);
    if (IsNetworkEntry(CurrentFile)) {
        // What the stream says is playing follows the station's name. The
        // title is the server's text: a "*" in it does not end the part the
        // application title shows.
        audio::StreamStatus stream;
        audio::streamStatus(Channel, stream);
        streamTitleChanges_ = stream.titleChanges;
        std::string name = StationName.empty() ? CurrentFile : StationName;
        if (!stream.title.empty()) name += " - " + stream.title;
        TrackInfo = name + " * " + attributes.ChannelMode + " * " + attributes.SampleRate;
        trackTitleLength_ = name.size() + 1;
        return;
    }
    const TTagNames tags = ReadTitleTags(CurrentFile, true, Channel);
    const std::string bits = attributes.SampleBits.empty() ? "" : " * " + attributes.SampleBits;
    TrackInfo = (tags.Artist.empty() ? "" : tags.Artist + " - ") + tags.Title + " (" +
                FormatTime(WholeSeconds(Length)) + ")" + " * " + attributes.ChannelMode + " * " +
                attributes.SampleRate + bits + " * " + attributes.BitRate;
    trackTitleLength_ = TrackInfo.find('*');
}

std::optional<std::string> TTonikMain::StreamNotice() const {
    audio::StreamStatus stream;
    if (!audio::streamStatus(Channel, stream) || stream.reconnecting == 0) return std::nullopt;
    return Messages[63] + " " + std::to_string(stream.reconnecting) + "/" + std::to_string(audio::kStreamReconnects);
}

void TTonikMain::ShowBuffering() {
    const int buffered = std::max(audio::streamBufferedPercent(streamOpening_), 0);
    const std::string status = Messages[62] + " " + std::to_string(buffered) + "%";
    view_.setTipText(Utf8Upper(status));
    view_.setApplicationTitle(status + kTitleSuffix);
}

void TTonikMain::UpdateStatus() {
    if (audio::activity(Channel) == audio::kPaused) {
        std::string status = Messages[9];
        if (Mute) status += " | " + Messages[10];
        view_.setTipText(Utf8Upper(status));
        view_.setApplicationTitle(status + kTitleSuffix);
        return;
    }
    if (Mute) {
        view_.setTipText(Utf8Upper(Messages[10]));
        view_.setApplicationTitle(Messages[10] + kTitleSuffix);
    } else if (const auto notice = StreamNotice()) {
        view_.setTipText(Utf8Upper(*notice));
        view_.setApplicationTitle(*notice + kTitleSuffix);
    } else {
        view_.setTipText(Utf8Upper(MarqueeStep(TrackInfo)));
        view_.setApplicationTitle(TrackInfo.substr(0, trackTitleLength_) + kTitleSuffix);
    }
    std::string time = " ";
    view_.setTimeLabel(time += ElapsedText());
}

std::string TTonikMain::ElapsedText() {
    if (Channel == 0) return "00:00";
    Elapsed = WholeSeconds(PositionSeconds(Channel));
    return FormatTime(Elapsed);
}
