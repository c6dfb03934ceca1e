#include "platform/win32/CodePage.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// Through the whole calling convention: the size query, then a buffer of
// exactly that size, checked for writes beyond it.
std::u16string Widen(UINT codePage, const std::string& bytes) {
    const int size = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    std::u16string wide(static_cast<size_t>(std::max(needed, 0)) + 1, u'#');
    EXPECT_EQ(MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), needed), needed);
    EXPECT_EQ(wide.back(), u'#') << "wrote beyond the size it asked for";
    return wide.substr(0, wide.size() - 1);
}

std::string Narrow(UINT codePage, const std::u16string& wide) {
    const int count = static_cast<int>(wide.size());
    const int needed = WideCharToMultiByte(codePage, 0, wide.data(), count, nullptr, 0, 0, 0);
    std::string bytes(static_cast<size_t>(std::max(needed, 0)) + 1, '#');
    EXPECT_EQ(WideCharToMultiByte(codePage, 0, wide.data(), count, bytes.data(), needed, 0, 0),
              needed);
    EXPECT_EQ(bytes.back(), '#') << "wrote beyond the size it asked for";
    return bytes.substr(0, bytes.size() - 1);
}

TEST(CodePageTest, Utf8ConvertsBothWaysAndEveryOtherByteBecomesItsEscape) {
    // clang-format off
    const std::pair<std::string, std::u16string> cases[] = {
        {"/pics/a\\b.bmp", u"/pics/a\\b.bmp"},
        {"\xC2\x80\xDF\xBF", u"\u0080\u07FF"},                   // 2-byte bounds
        {"\xE0\xA0\x80\xEF\xBF\xBF", u"\u0800\uFFFF"},           // 3-byte bounds
        {"\xED\x9F\xBF\xEE\x80\x80", u"\uD7FF\uE000"},           // around the surrogates
        {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", u"\U00010000\U0010FFFF"},
        {"\xE9t\x80\xFF", u"\xDCE9t\xDC80\xDCFF"},               // Latin-1, continuation, FF
        {"\xC0\x80", u"\xDCC0\xDC80"},                           // overlong NUL
        {"\xE0\x80\xAF", u"\xDCE0\xDC80\xDCAF"},                 // overlong, 3 bytes
        {"\xF0\x82\x82\xAC", u"\xDCF0\xDC82\xDC82\xDCAC"},       // overlong, 4 bytes
        {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},                 // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},       // beyond U+10FFFF
        {"x\xF0\x9F\x98", u"x\xDCF0\xDC9F\xDC98"},               // truncated at the end
        {"\xC3\xE2\x82\xAC", u"\xDCC3\u20AC"},                   // truncated before a sequence
    };
    // clang-format on
    for (UINT codePage : {CP_ACP, CP_THREAD_ACP, CP_UTF8}) {
        for (const auto& [bytes, wide] : cases) {
            EXPECT_EQ(Widen(codePage, bytes), wide) << codePage << ": " << bytes;
            EXPECT_EQ(Narrow(codePage, wide), bytes) << codePage << ": " << bytes;
        }
    }
}

TEST(CodePageTest, EveryByteStringSurvivesTheRoundTrip) {
    // Mostly lead and boundary bytes, so that random strings often hold
    // truncated, overlong and surrogate sequences.
    const BYTE interesting[] = {0x00, 0x2F, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0,
                                0xC1, 0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
    std::mt19937 random(20240601);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(1 + random() % 12, '\0');
        for (char& b : bytes)
            b = static_cast<char>(random() % 3 ? interesting[random() % 20] : random() % 256);
        ASSERT_EQ(Narrow(CP_THREAD_ACP, Widen(CP_THREAD_ACP, bytes)), bytes) << "round " << round;
    }
}

TEST(CodePageTest, SizeMinusOneTakesTheTerminator) {
    WCHAR wide[4];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xC3\xA9\xFF", -1, wide, 4), 4);
    EXPECT_EQ(std::u16string(wide, 4), std::u16string(u"a\u00E9\xDCFF\0", 4));
    char bytes[5];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, bytes, 5, nullptr, nullptr), 5);
    EXPECT_STREQ(bytes, "a\xC3\xA9\xFF");
}

}  // namespace
