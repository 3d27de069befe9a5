#include "audio/network/IcyMetadata.h"

#include <algorithm>

#include "platform/CodePage.h"

namespace audio {
namespace {

bool IsKeyCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

size_t SkipSpaces(std::string_view text, size_t at)
{
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n'))
        ++at;
    return at;
}

// The length of the key of a "Key='" at `at`, 0 when none starts there.
size_t KeyLengthAt(std::string_view text, size_t at)
{
    size_t n = 0;
    while (at + n < text.size() && IsKeyCharacter(text[at + n]))
        ++n;
    return n > 0 && text.substr(at + n, 2) == "='" ? n : 0;
}

// Where the value that starts at `from` ends (its closing quote): at the
// first "';" that the text's end or the next key follows, else at a last
// quote of the text.
std::optional<size_t> ValueEnd(std::string_view text, size_t from)
{
    for (size_t p = text.find("';", from); p != std::string_view::npos; p = text.find("';", p + 1)) {
        const size_t next = SkipSpaces(text, p + 2);
        if (next == text.size() || KeyLengthAt(text, next) > 0)
            return p;
    }
    if (text.size() > from && text.back() == '\'')
        return text.size() - 1;
    return std::nullopt;
}

bool IsC1(std::string_view text, size_t at)
{
    return static_cast<uint8_t>(text[at]) == 0xC2 && at + 1 < text.size()
        && static_cast<uint8_t>(text[at + 1]) >= 0x80 && static_cast<uint8_t>(text[at + 1]) <= 0x9F;
}

} // namespace

void IcyDemuxer::feed(const uint8_t* bytes, size_t size, const AudioSink& onAudio, const MetadataSink& onMetadata)
{
    if (interval_ == 0) {
        if (size > 0)
            onAudio(bytes, size);
        return;
    }
    while (size > 0) {
        switch (part_) {
        case Part::Audio: {
            const size_t n = std::min(size, audioLeft_);
            onAudio(bytes, n);
            bytes += n;
            size -= n;
            audioLeft_ -= n;
            if (audioLeft_ == 0)
                part_ = Part::Length;
            break;
        }
        case Part::Length:
            blockLeft_ = size_t(*bytes) * 16;
            ++bytes;
            --size;
            block_.clear();
            part_ = blockLeft_ > 0 ? Part::Block : Part::Audio;
            audioLeft_ = interval_;
            break;
        case Part::Block: {
            const size_t n = std::min(size, blockLeft_);
            block_.append(reinterpret_cast<const char*>(bytes), n);
            bytes += n;
            size -= n;
            blockLeft_ -= n;
            if (blockLeft_ == 0) {
                part_ = Part::Audio;
                onMetadata(block_);
            }
            break;
        }
        }
    }
}

std::optional<std::string> StreamTitleOf(std::string_view block)
{
    block = block.substr(0, block.find('\0'));
    block = block.substr(0, block.find_last_not_of(" \t\r\n") + 1);
    for (size_t at = SkipSpaces(block, 0); at < block.size(); at = SkipSpaces(block, at)) {
        const size_t keyLength = KeyLengthAt(block, at);
        if (keyLength == 0)
            return std::nullopt;
        const size_t valueStart = at + keyLength + 2;
        const auto valueEnd = ValueEnd(block, valueStart);
        if (!valueEnd)
            return std::nullopt;
        if (block.substr(at, keyLength) == "StreamTitle")
            return std::string(block.substr(valueStart, *valueEnd - valueStart));
        at = std::min(block.size(), *valueEnd + 2);
    }
    return std::nullopt;
}

std::optional<std::string> CleanStreamText(std::string_view raw)
{
    const std::string text = platform::IsValidUtf8(raw) ? std::string(raw) : platform::LegacyToUtf8(raw);
    std::string shown;
    bool spaceOwed = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const uint8_t c = static_cast<uint8_t>(text[i]);
        if (c <= 0x20 || c == 0x7F || IsC1(text, i)) {
            spaceOwed = !shown.empty();
            i += c == 0xC2 ? 1 : 0;
            continue;
        }
        if (spaceOwed)
            shown += ' ';
        spaceOwed = false;
        shown += text[i];
    }
    if (platform::Utf8Length(shown) > kMostStreamTextCharacters) {
        shown = platform::Utf8Mid(shown, 0, kMostStreamTextCharacters);
        if (!shown.empty() && shown.back() == ' ')
            shown.pop_back();
    }
    if (shown.empty())
        return std::nullopt;
    return shown;
}

} // namespace audio
