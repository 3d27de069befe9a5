#include "platform/CodePage.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace platform;

TEST(CodePage, ChosenByLocaleAndOverride) {
    ::setenv("NILO_CODEPAGE", "", 1);
    ::setenv("LC_ALL", "ru_RU.UTF-8", 1);
    EXPECT_EQ(LegacyCodePage(), "windows-1251");
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    EXPECT_EQ(LegacyCodePage(), "windows-1252");
    ::setenv("NILO_CODEPAGE", "koi8-r", 1);
    EXPECT_EQ(LegacyCodePage(), "koi8-r");
    ::unsetenv("NILO_CODEPAGE");
    ::unsetenv("LC_ALL");
}

TEST(CodePage, RoundTripsAndReportsLoss) {
    ::setenv("NILO_CODEPAGE", "windows-1251", 1);
    bool ok = false;
    std::string legacy = Utf8ToLegacy("Привет", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(legacy, "\xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_EQ(LegacyToUtf8(legacy), "Привет");
    Utf8ToLegacy("日本", &ok);
    EXPECT_FALSE(ok);
    ::unsetenv("NILO_CODEPAGE");

    std::string emoji = "a\xF0\x9F\x8E\xB5ÿ";
    std::u16string wide = Utf8ToUtf16(emoji);
    EXPECT_EQ(wide.size(), 4u); // a, surrogate pair, ÿ
    EXPECT_EQ(Utf16ToUtf8(wide), emoji);
    EXPECT_TRUE(IsValidUtf8(emoji));
    EXPECT_FALSE(IsValidUtf8("a\xC3"));
    EXPECT_FALSE(IsValidUtf8("\xFF\xFE"));
}

TEST(CodePage, SurrogatesAreReadOneWayEverywhere) {
    const std::string note = "\xF0\x9F\x8E\xB5"; // U+1F3B5, D83C DFB5 in UTF-16
    EXPECT_EQ(Utf16ToUtf8(u"a\xD83C\xDFB5" u"b"), "a" + note + "b");
    EXPECT_EQ(Utf16ToUtf8(u"a\xD83C" u"b\xDFB5"), "a?b?");
    EXPECT_EQ(Utf16ToUtf8(std::string("\xD8\x3C\xDF\xB5\xDC\x00", 6), true), note + "?");
    EXPECT_EQ(Utf16ToUtf8(std::string("\x3C\xD8\xB5\xDF\x00\xDC", 6), false), note + "?");

    // The same surrogates in three bytes each.
    const std::string pair = "\xED\xA0\xBC\xED\xBE\xB5";
    const std::string lone = "\xED\xBE\xB5";
    EXPECT_FALSE(IsValidUtf8(pair));
    EXPECT_EQ(ValidUtf8("a" + pair + lone + "b"), "a" + note + "?b");
    EXPECT_EQ(Utf8ToUtf16("a" + pair + lone), u"a\xD83C\xDFB5?");
    EXPECT_EQ(Utf8BeforeBreak("a" + lone + pair + "b\xC3(c"), "a?" + note + "b");
    EXPECT_EQ(ValidUtf8("\xED\xA0"), "??") << "cut off: ill-formed, not a surrogate";
}
