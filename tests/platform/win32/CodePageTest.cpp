#include "platform/win32/CodePage.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/win32/LastError.h"

namespace {

constexpr UINT kUtf8CodePages[] = {CP_ACP, CP_THREAD_ACP, CP_UTF8};
constexpr WCHAR kSentinel = 0x2A2A;

// The UTF-16 form of bytes, through the whole calling convention: the size
// query, then the conversion into a buffer of exactly that size.
std::u16string Widen(UINT codePage, const std::string& bytes) {
    const int size = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    EXPECT_GT(needed, 0) << "last error " << GetLastError();
    if (needed <= 0)
        return u"<failed>";
    std::u16string wide(static_cast<size_t>(needed) + 1, kSentinel);
    EXPECT_EQ(MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), needed), needed);
    EXPECT_EQ(wide.back(), kSentinel) << "wrote beyond the size it asked for";
    wide.pop_back();
    return wide;
}

std::string Narrow(UINT codePage, const std::u16string& wide) {
    const int count = static_cast<int>(wide.size());
    const int needed =
        WideCharToMultiByte(codePage, 0, wide.data(), count, nullptr, 0, nullptr, nullptr);
    EXPECT_GT(needed, 0) << "last error " << GetLastError();
    if (needed <= 0)
        return "<failed>";
    std::string bytes(static_cast<size_t>(needed) + 1, '#');
    EXPECT_EQ(WideCharToMultiByte(codePage, 0, wide.data(), count, bytes.data(), needed, nullptr,
                                  nullptr),
              needed);
    EXPECT_EQ(bytes.back(), '#') << "wrote beyond the size it asked for";
    bytes.pop_back();
    return bytes;
}

struct Conversion {
    const char* what;
    std::string bytes;
    std::u16string wide;
};

const std::vector<Conversion>& WellFormedTexts() {
    static const std::vector<Conversion> texts = {
        {"ASCII with a backslash", "/pics/a\\b.bmp", u"/pics/a\\b.bmp"},
        {"last 1-byte character", "\x7F", u"\u007F"},
        {"first 2-byte character", "\xC2\x80", u"\u0080"},
        {"two-byte letters", "größe", u"gr\u00F6\u00DFe"},
        {"last 2-byte character", "\xDF\xBF", u"\u07FF"},
        {"first 3-byte character", "\xE0\xA0\x80", u"\u0800"},
        {"euro sign", "\xE2\x82\xAC", u"\u20AC"},
        {"last before the surrogates", "\xED\x9F\xBF", u"\uD7FF"},
        {"first after the surrogates", "\xEE\x80\x80", u"\uE000"},
        {"last 3-byte character", "\xEF\xBF\xBF", u"\uFFFF"},
        {"first 4-byte character", "\xF0\x90\x80\x80", u"\U00010000"},
        {"emoji", "\xF0\x9F\x98\x80", u"\U0001F600"},
        {"last code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
    };
    return texts;
}

// Every byte outside well-formed UTF-8 becomes U+DC80..U+DCFF on its own.
const std::vector<Conversion>& IllFormedTexts() {
    static const std::vector<Conversion> texts = {
        {"a lone FF", "\xFF", u"\xDCFF"},
        {"a lone continuation byte", "a\x80z", u"a\xDC80z"},
        {"FE FF, never UTF-8", "\xFE\xFF", u"\xDCFE\xDCFF"},
        {"Latin-1 letters", "\xE9t\xE9", u"\xDCE9t\xDCE9"},
        {"overlong NUL", "\xC0\x80", u"\xDCC0\xDC80"},
        {"overlong slash, 2 bytes", "\xC1\xAF", u"\xDCC1\xDCAF"},
        {"overlong slash, 3 bytes", "\xE0\x80\xAF", u"\xDCE0\xDC80\xDCAF"},
        {"overlong euro, 4 bytes", "\xF0\x82\x82\xAC", u"\xDCF0\xDC82\xDC82\xDCAC"},
        {"encoded high surrogate", "\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},
        {"encoded low surrogate", "\xED\xBF\xBF", u"\xDCED\xDCBF\xDCBF"},
        {"encoded surrogate pair", "\xED\xA0\xBD\xED\xB8\x80",
         u"\xDCED\xDCA0\xDCBD\xDCED\xDCB8\xDC80"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
        {"five-byte lead", "\xF8\x88\x80\x80\x80", u"\xDCF8\xDC88\xDC80\xDC80\xDC80"},
        {"truncated before ASCII", "\xE2\x82Z", u"\xDCE2\xDC82Z"},
        {"truncated at the end", "x\xF0\x9F\x98", u"x\xDCF0\xDC9F\xDC98"},
        {"truncated before a good sequence", "\xC3\xE2\x82\xAC", u"\xDCC3\u20AC"},
        {"lead before a lead", "\xC2\xC3\xA9", u"\xDCC2\u00E9"},
    };
    return texts;
}

TEST(CodePageTest, TheAnsiCodePageIsUtf8) {
    EXPECT_EQ(GetACP(), CP_UTF8);
}

TEST(CodePageTest, WellFormedUtf8DecodesAndEncodesAsUtf8InEveryUtf8CodePage) {
    for (UINT codePage : kUtf8CodePages) {
        for (const Conversion& text : WellFormedTexts()) {
            SCOPED_TRACE(testing::Message() << "code page " << codePage << ": " << text.what);
            EXPECT_EQ(Widen(codePage, text.bytes), text.wide);
            EXPECT_EQ(Narrow(codePage, text.wide), text.bytes);
        }
    }
}

TEST(CodePageTest, EveryByteOutsideWellFormedUtf8BecomesItsEscapeAndComesBack) {
    for (UINT codePage : kUtf8CodePages) {
        for (const Conversion& text : IllFormedTexts()) {
            SCOPED_TRACE(testing::Message() << "code page " << codePage << ": " << text.what);
            EXPECT_EQ(Widen(codePage, text.bytes), text.wide);
            EXPECT_EQ(Narrow(codePage, text.wide), text.bytes);
        }
    }
}

TEST(CodePageTest, EveryByteStringSurvivesTheRoundTrip) {
    // Bytes drawn mostly from lead and boundary values, so that random strings
    // hit truncated, overlong and surrogate sequences often.
    const BYTE interesting[] = {0x00, 0x2F, 0x41, 0x5C, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
    std::mt19937 random(20240601);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(1 + random() % 12, '\0');
        for (char& b : bytes) {
            b = static_cast<char>(random() % 3 == 0 ? random() % 256
                                                    : interesting[random() % sizeof(interesting)]);
        }
        const std::u16string wide = Widen(CP_THREAD_ACP, bytes);
        ASSERT_EQ(Narrow(CP_THREAD_ACP, wide), bytes) << "round " << round;
    }
}

TEST(CodePageTest, AllOfATextAndItsTerminatorConvertWithSizeMinusOne) {
    const char* text = "a\xC3\xA9\xFF";
    WCHAR wide[8];
    std::fill(std::begin(wide), std::end(wide), kSentinel);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0), 4);
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 8), 4);
    EXPECT_EQ(std::u16string(wide, 4), std::u16string(u"a\u00E9\xDCFF\0", 4));
    EXPECT_EQ(wide[4], kSentinel);

    char back[8];
    std::fill(std::begin(back), std::end(back), '#');
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr), 5);
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, back, 8, nullptr, nullptr), 5);
    EXPECT_STREQ(back, text);
    EXPECT_EQ(back[5], '#');
}

TEST(CodePageTest, AnExplicitSizeConvertsNoTerminator) {
    WCHAR wide[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 2, wide, 4), 2);
    EXPECT_EQ(wide[1], u'b');
    EXPECT_EQ(wide[2], kSentinel);

    char text[4] = {'#', '#', '#', '#'};
    ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"xyz", 2, text, 4, nullptr, nullptr), 2);
    EXPECT_EQ(text[1], 'y');
    EXPECT_EQ(text[2], '#');
}

TEST(CodePageTest, ABufferTooSmallByOneFailsAndOneThatFitsExactlySucceeds) {
    // é and 😀: the counts are in UTF-16 units one way and bytes the other.
    const char* text = "\xC3\xA9\xF0\x9F\x98\x80";
    const std::u16string wide = u"\u00E9\U0001F600";
    WCHAR units[3];
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 6, units, 2), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 6, units, 3), 3);

    char bytes[6];
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide.data(), 3, bytes, 5, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide.data(), 3, bytes, 6, nullptr, nullptr), 6);
}

// Each case runs in both directions with the same arguments.
TEST(CodePageTest, BadArgumentsFailWithTheirOwnErrorsBothWays) {
    char narrow[8] = "abc";
    WCHAR wide[8] = u"abc";
    struct Case {
        const char* what;
        UINT codePage;
        DWORD flags;
        bool input;  // false: a null input
        int size;
        bool output;  // false: no output buffer
        int capacity;
        DWORD error;
    };
    const Case cases[] = {
        {"null input", CP_UTF8, 0, false, 3, true, 8, ERROR_INVALID_PARAMETER},
        {"empty size", CP_UTF8, 0, true, 0, true, 8, ERROR_INVALID_PARAMETER},
        {"size below -1", CP_UTF8, 0, true, -2, true, 8, ERROR_INVALID_PARAMETER},
        {"negative capacity", CP_UTF8, 0, true, 3, true, -1, ERROR_INVALID_PARAMETER},
        {"capacity without a buffer", CP_UTF8, 0, true, 3, false, 8, ERROR_INVALID_PARAMETER},
        {"Windows-1252", 1252, 0, true, 3, true, 8, ERROR_INVALID_PARAMETER},
        {"OEM code page", 1, 0, true, 3, true, 8, ERROR_INVALID_PARAMETER},
        {"Shift JIS", 932, 0, true, 3, true, 8, ERROR_INVALID_PARAMETER},
        {"UTF-7", 65000, 0, true, 3, true, 8, ERROR_INVALID_PARAMETER},
        {"MB_PRECOMPOSED", CP_ACP, 0x01, true, 3, true, 8, ERROR_INVALID_FLAGS},
        {"MB_ERR_INVALID_CHARS", CP_UTF8, 0x08, true, 3, true, 8, ERROR_INVALID_FLAGS},
        {"WC_ERR_INVALID_CHARS", CP_UTF8, 0x80, true, 3, true, 8, ERROR_INVALID_FLAGS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(MultiByteToWideChar(c.codePage, c.flags, c.input ? narrow : nullptr, c.size,
                                      c.output ? wide : nullptr, c.capacity),
                  0);
        EXPECT_EQ(GetLastError(), c.error);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(WideCharToMultiByte(c.codePage, c.flags, c.input ? wide : nullptr, c.size,
                                      c.output ? narrow : nullptr, c.capacity, nullptr, nullptr),
                  0);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST(CodePageTest, OneBufferForBothSidesIsRefused) {
    char buffer[16] = "abc";
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, buffer, 3, reinterpret_cast<LPWSTR>(buffer), 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(CodePageTest, UnlikeOtherCodePagesUtf8TakesNoDefaultCharacter) {
    const char defaultChar[] = "?";
    BOOL usedDefault = FALSE;
    char text[8];
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", 3, text, 8, defaultChar, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", 3, text, 8, nullptr, &usedDefault), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(CodePageTest, LoneSurrogatesThatAreNoEscapeBecomeTheReplacementCharacter) {
    const std::string replacement = "\xEF\xBF\xBD";
    const Conversion cases[] = {
        {"lone high surrogate", "a" + replacement + "z", u"a\xD800z"},
        {"high surrogate at the end", "a" + replacement, u"a\xDBFF"},
        {"low surrogate below the escapes", replacement, u"\xDC7F"},
        {"low surrogate above the escapes", replacement, u"\xDD00"},
        {"two high surrogates", replacement + replacement, u"\xD800\xD800"},
        // A high surrogate before U+DC80 makes a pair, not an escape.
        {"pair ending in U+DC80", "\xF0\x90\x82\x80", u"\xD800\xDC80"},
    };
    for (const Conversion& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Narrow(CP_UTF8, c.wide), c.bytes);
    }
}

TEST(CodePageTest, AnInjectedFailureHitsOnlyTheNextDecoding) {
    WCHAR wide[4];
    win32_testing::FailNextMultiByteToWideChar(ERROR_OUTOFMEMORY);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 4), 0);
    EXPECT_EQ(GetLastError(), ERROR_OUTOFMEMORY);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 4), 4);
}

}  // namespace
