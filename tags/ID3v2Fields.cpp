#include "tags/ID3v2Fields.h"

#include <optional>
#include <string_view>

#include "tags/ID3v2.h"
#include "tags/ID3v2Text.h"
#include "tags/TagFile.h"
#include "tags/TagText.h"

namespace id3v2 {

namespace {

constexpr int64_t kMaxValue = 500;

int FrameIndex(std::string_view id, uint8_t version) {
    const auto& ids = version == 2 ? kFrameIdsV22 : kFrameIds;
    for (int i = 0; i < kFrameCount; ++i)
        if (id == ids[i]) return i;
    return -1;
}

bool DescribedComment(const std::string& value) {
    return !DecodeDescription(value, 4).empty();
}

} // namespace

FrameScan ScanFrames(BlockBody& body, uint8_t version, uint8_t flags, std::vector<FrameSlot>* slots) {
    FrameScan scan;
    scan.from.fill(-1);
    int64_t place = 0;
    try {
        WalkFrames(body, version, FramesStart(body, version, flags), [&](const FrameSlot& frame) {
            const int64_t here = place++;
            if (slots) slots->push_back(frame);
            const int index = FrameIndex(frame.id, version);
            if (index < 0) return;
            std::optional<std::string> value = FrameContent(body, frame, version, flags, kMaxValue);
            if (!value) return;
            value->resize(kMaxValue, '\0');
            if (static_cast<unsigned char>((*value)[0]) > 3) return;
            if (index == fComment && scan.from[fComment] >= 0 && !DescribedComment(scan.values[fComment]) &&
                DescribedComment(*value))
                return;
            scan.values[index] = std::move(*value);
            scan.from[index] = here;
        });
    } catch (const EFileError&) {
        // A read failure ends the scan with the frames found so far.
    }
    return scan;
}

void Derive(TID3v2& tag, const FrameScan& scan) {
    const auto& frame = scan.values;
    auto decode = [&](int first, int second) {
        std::string text = Decode(frame[first]);
        return text.empty() ? Decode(frame[second]) : text;
    };
    tag.Title = decode(fTitle, fContentGroup);
    tag.Artist = decode(fArtist, fOriginalArtist);
    tag.Album = decode(fAlbum, fOriginalAlbum);
    tag.TrackString = Decode(frame[fTrack]);
    const std::string number = tag.TrackString.substr(0, tag.TrackString.find('/'));
    tag.Track = static_cast<uint16_t>(tagtext::ParseDecimal(number).value_or(0));
    tag.Year = Decode(frame[fYear]);
    if (tag.Year.empty()) tag.Year = tagtext::FirstChars(Decode(frame[fRecordingTime]), 4);
    tag.Genre = Decode(frame[fGenre]);
    if (size_t close = tag.Genre.rfind(')'); close != std::string::npos)
        tag.Genre = tagtext::Trim(tag.Genre.substr(close + 1));
    tag.Comment = DecodeComment(frame[fComment]);
    tag.Composer = Decode(frame[fComposer]);
    tag.Encoder = Decode(frame[fEncoder]);
    tag.Copyright = Decode(frame[fCopyright]);
    tag.Language = Decode(frame[fLanguage]);
    tag.Link = DecodeLink(frame[fLink]);
    tag.AudioSizeText = Decode(frame[fSize]);
}

} // namespace id3v2
