#include "CodePage.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <iconv.h>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace platform {

static bool IsCyrillicLanguage(const char* locale) {
    if (!locale) return false;
    std::string lang(locale);
    lang = lang.substr(0, lang.find_first_of("_.@"));
    for (const char* l : {"ru", "uk", "be", "bg", "sr", "mk"})
        if (lang == l) return true;
    return false;
}

std::string LegacyCodePage() {
    if (const char* cp = std::getenv("NILO_CODEPAGE"); cp && *cp) return cp;
    const char* locale = nullptr;
    for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) {
            locale = v;
            break;
        }
    }
    return IsCyrillicLanguage(locale) ? "windows-1251" : "windows-1252";
}

namespace {

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

// Setting up a descriptor costs more than a short conversion, and tag reading
// converts every field: each thread keeps the ones it has used.
struct DescriptorCache {
    std::unordered_map<std::string, iconv_t> free;
    ~DescriptorCache() {
        for (auto& [key, cd] : free) iconv_close(cd);
    }
};

// A descriptor taken out of the cache while it converts, so that a nested
// conversion between the same code pages gets one of its own.
class Descriptor {
  public:
    Descriptor(const char* from, const char* to) : key_(std::string(from) + '\0' + to) {
        auto& free = Cache().free;
        if (auto it = free.find(key_); it != free.end()) {
            cd_ = it->second;
            free.erase(it);
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        } else {
            cd_ = iconv_open(to, from);
        }
    }
    ~Descriptor() {
        if (cd_ != kNoDescriptor && !Cache().free.emplace(key_, cd_).second) iconv_close(cd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    iconv_t get() const { return cd_; }

  private:
    static DescriptorCache& Cache() {
        thread_local DescriptorCache cache;
        return cache;
    }

    std::string key_;
    iconv_t cd_;
};

} // namespace

std::string ConvertText(std::string_view text, const char* from, const char* to, bool* ok) {
    if (ok) *ok = true;
    Descriptor descriptor(from, to);
    iconv_t cd = descriptor.get();
    if (cd == kNoDescriptor) {
        if (ok) *ok = false;
        return std::string(text);
    }
    std::string out;
    std::vector<char> buf(4 * text.size() + 16);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    while (true) {
        char* outPtr = buf.data();
        size_t outLeft = buf.size();
        size_t r = iconv(cd, inLeft ? &in : nullptr, &inLeft, &outPtr, &outLeft);
        out.append(buf.data(), buf.size() - outLeft);
        if (r != static_cast<size_t>(-1)) {
            if (inLeft == 0) break;
            continue;
        }
        if (errno == E2BIG) continue;
        // Unrepresentable or malformed input: mark it and step over one byte
        // (or one UTF-16 unit) so the rest of the text survives.
        if (ok) *ok = false;
        std::string q = ConvertText("?", "ASCII", to);
        out += q;
        size_t step = (std::string_view(from).starts_with("UTF-16")) ? 2 : 1;
        if (std::string_view(from) == "UTF-8") {
            step = 1;
            while (step < inLeft && (static_cast<unsigned char>(in[step]) & 0xC0) == 0x80) ++step;
        }
        step = std::min(step, inLeft);
        in += step;
        inLeft -= step;
        if (inLeft == 0) break;
    }
    return out;
}

std::string LegacyToUtf8(std::string_view text) {
    return ConvertText(text, LegacyCodePage().c_str(), "UTF-8");
}

std::string Utf8ToLegacy(std::string_view text, bool* lossless) {
    return ConvertText(text, "UTF-8", LegacyCodePage().c_str(), lossless);
}

namespace {

// One step of UTF-8 decoding: a well-formed sequence and its code point, or
// the length of an ill-formed one (Unicode's "maximal subpart", at least 1).
struct Utf8Step {
    char32_t code;
    size_t length;
    bool valid;
};

Utf8Step DecodeUtf8At(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return {lead, 1, true};
    size_t length;
    char32_t code;
    // The second byte's range excludes overlong forms, surrogates and code
    // points above U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return {0, 1, false};
    }
    for (size_t i = 1; i < length; ++i) {
        if (at + i >= text.size() || byte(i) < low || byte(i) > high) return {0, i, false};
        code = code << 6 | (byte(i) & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return {code, length, true};
}

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

char32_t Combined(char32_t high, char32_t low) { return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00); }

// A surrogate written in three bytes, as 16-bit text turned into UTF-8 one
// unit at a time has it; 0 if there is none at `at`.
char32_t EncodedSurrogateAt(std::string_view text, size_t at) {
    if (at + 3 > text.size() || static_cast<unsigned char>(text[at]) != 0xED) return 0;
    const auto second = static_cast<unsigned char>(text[at + 1]);
    const auto third = static_cast<unsigned char>(text[at + 2]);
    if (second < 0xA0 || second > 0xBF || third < 0x80 || third > 0xBF) return 0;
    return 0xD000 | char32_t(second & 0x3F) << 6 | (third & 0x3F);
}

// A character of UTF-8 text as every conversion reads it: a well-formed
// sequence; a surrogate pair in two three-byte forms, decoded; a lone
// surrogate, read as '?'; or an ill-formed sequence.
struct Utf8Char {
    enum Kind { WellFormed, Surrogate, IllFormed };
    char32_t code;
    size_t length;
    Kind kind;
};

Utf8Char Utf8CharAt(std::string_view text, size_t at) {
    if (const char32_t unit = EncodedSurrogateAt(text, at)) {
        const char32_t next = IsHighSurrogate(unit) ? EncodedSurrogateAt(text, at + 3) : 0;
        if (IsLowSurrogate(next)) return {Combined(unit, next), 6, Utf8Char::Surrogate};
        return {U'?', 3, Utf8Char::Surrogate};
    }
    const Utf8Step step = DecodeUtf8At(text, at);
    return {step.code, step.length, step.valid ? Utf8Char::WellFormed : Utf8Char::IllFormed};
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// UTF-8 text rewritten character by character; stops at the first ill-formed
// sequence when asked to, else puts '?' in its place.
std::string RewriteUtf8(std::string_view text, bool stopAtIllFormed) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const Utf8Char c = Utf8CharAt(text, at);
        if (c.kind == Utf8Char::IllFormed && stopAtIllFormed) break;
        if (c.kind == Utf8Char::WellFormed)
            out.append(text.substr(at, c.length));
        else
            AppendUtf8(out, c.kind == Utf8Char::Surrogate ? c.code : U'?');
        at += c.length;
    }
    return out;
}

template <typename UnitAt> std::string DecodeUtf16(size_t units, UnitAt unitAt) {
    std::string out;
    out.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        const char32_t unit = unitAt(i);
        if (IsHighSurrogate(unit) && i + 1 < units && IsLowSurrogate(unitAt(i + 1))) {
            AppendUtf8(out, Combined(unit, unitAt(i + 1)));
            ++i;
        } else {
            AppendUtf8(out, IsHighSurrogate(unit) || IsLowSurrogate(unit) ? U'?' : unit);
        }
    }
    return out;
}

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Byte offset of character Index, or the text's size past the end.
size_t ByteOffset(std::string_view text, size_t Index) {
    size_t chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsContinuation(text[i])) continue;
        if (chars == Index) return i;
        ++chars;
    }
    return text.size();
}

template <typename Text> Text UpperAscii(Text text) {
    for (auto& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<typename Text::value_type>(c - 'a' + 'A');
    return text;
}

} // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
    return DecodeUtf16(text.size(), [&](size_t i) { return char32_t(text[i]); });
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    return DecodeUtf16(bytes.size() / 2, [&](size_t i) {
        const char32_t first = static_cast<unsigned char>(bytes[2 * i]);
        const char32_t second = static_cast<unsigned char>(bytes[2 * i + 1]);
        return bigEndian ? first << 8 | second : second << 8 | first;
    });
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const Utf8Char c = Utf8CharAt(text, at);
        at += c.length;
        if (c.kind == Utf8Char::IllFormed) {
            out += u'?';
        } else if (c.code < 0x10000) {
            out += static_cast<char16_t>(c.code);
        } else {
            out += static_cast<char16_t>(0xD800 + ((c.code - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c.code - 0x10000) & 0x3FF));
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        const Utf8Step step = DecodeUtf8At(text, at);
        if (!step.valid) return false;
        at += step.length;
    }
    return true;
}

std::string ValidUtf8(std::string_view text) { return RewriteUtf8(text, false); }

std::string Utf8BeforeBreak(std::string_view text) { return RewriteUtf8(text, true); }

size_t Utf8Length(std::string_view text) {
    size_t n = 0;
    for (char c : text)
        if (!IsContinuation(c)) ++n;
    return n;
}

std::string Utf8Mid(std::string_view text, size_t Start, size_t Count) {
    const std::string_view rest = text.substr(ByteOffset(text, Start));
    return std::string(rest.substr(0, ByteOffset(rest, Count)));
}

std::string AsciiUpper(std::string text) { return UpperAscii(std::move(text)); }

std::u16string AsciiUpper(std::u16string text) { return UpperAscii(std::move(text)); }

} // namespace platform
