#include "CodePage.h"

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <iconv.h>
#include <string>
#include <unordered_map>
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

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string_view bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    return ConvertText(bytes, "UTF-16LE", "UTF-8");
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::string bytes = ConvertText(text, "UTF-8", "UTF-16LE");
    std::u16string out(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return out;
}

bool IsValidUtf8(std::string_view text) {
    bool ok = true;
    ConvertText(text, "UTF-8", "UTF-16LE", &ok);
    return ok;
}

} // namespace platform
