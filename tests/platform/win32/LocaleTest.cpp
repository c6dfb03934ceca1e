#include "platform/win32/Locale.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32/LastError.h"

namespace {

class LocaleTest : public ::testing::Test {
protected:
    void TearDown() override { win32_testing::ResetLocaleAnswers(); }
};

constexpr char kUntouched = '#';

TEST_F(LocaleTest, TheThreadAndSystemLocalesAnswerWithUtf8AsTheirAnsiCodePage) {
    for (LCID locale : {GetThreadLocale(), LOCALE_SYSTEM_DEFAULT}) {
        char text[7];
        EXPECT_EQ(GetLocaleInfoA(locale, LOCALE_IDEFAULTANSICODEPAGE, text, 7), 6);
        EXPECT_STREQ(text, "65001");
        // Asking for the size needs no buffer.
        EXPECT_EQ(GetLocaleInfoA(locale, LOCALE_IDEFAULTANSICODEPAGE, nullptr, 0), 6);
    }
}

TEST_F(LocaleTest, ASizeOfZeroAsksForTheLengthAndATooSmallBufferFails) {
    struct Case {
        int size;
        int result;
        DWORD error;  // the last error after a failure
        bool written;
    };
    const Case cases[] = {
        {0, 6, ERROR_SUCCESS, false},
        {1, 0, ERROR_INSUFFICIENT_BUFFER, false},
        {5, 0, ERROR_INSUFFICIENT_BUFFER, false},
        {6, 6, ERROR_SUCCESS, true},
        {7, 6, ERROR_SUCCESS, true},
        {32, 6, ERROR_SUCCESS, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        char text[32];
        std::memset(text, kUntouched, sizeof(text));
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(GetLocaleInfoA(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, text, c.size),
                  c.result);
        EXPECT_EQ(GetLastError(), c.error);
        if (c.written) {
            EXPECT_STREQ(text, "65001");
        } else {
            EXPECT_EQ(text[0], kUntouched);
        }
    }
}

TEST_F(LocaleTest, RefusesBadArgumentsWithTheirOwnErrors) {
    char text[8];
    struct Case {
        const char* what;
        LCID locale;
        LCTYPE type;
        LPSTR data;
        int size;
        DWORD error;
    };
    const Case cases[] = {
        {"negative size", GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, text, -1,
         ERROR_INVALID_PARAMETER},
        {"no buffer for a size", GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, nullptr, 8,
         ERROR_INVALID_PARAMETER},
        {"unknown locale", 0x0409, LOCALE_IDEFAULTANSICODEPAGE, text, 8, ERROR_INVALID_PARAMETER},
        {"OEM code page field", GetThreadLocale(), 0x000B, text, 8, ERROR_INVALID_FLAGS},
        {"field with a flag", GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE | 0x80000000u, text, 8,
         ERROR_INVALID_FLAGS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(GetLocaleInfoA(c.locale, c.type, c.data, c.size), 0);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST_F(LocaleTest, ATestCanSetTheAnsiCodePageTextOrMakeTheCallFail) {
    struct Case {
        const char* text;  // null: the call fails
        int result;
    };
    const Case cases[] = {{"1252", 5}, {"0", 2}, {"", 1}, {"1234567", 8}, {nullptr, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text != nullptr ? c.text : "(fails)");
        win32_testing::SetAnsiCodePageText(c.text);
        char text[16];
        std::memset(text, kUntouched, sizeof(text));
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(GetLocaleInfoA(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, text, 16),
                  c.result);
        if (c.text != nullptr) {
            EXPECT_STREQ(text, c.text);
        } else {
            EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
            EXPECT_EQ(text[0], kUntouched);
        }
    }
    win32_testing::ResetLocaleAnswers();
    char text[7];
    EXPECT_EQ(GetLocaleInfoA(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, text, 7), 6);
    EXPECT_STREQ(text, "65001");
}

}  // namespace
