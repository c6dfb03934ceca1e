#include "image/ConversionCodePage.h"

#include <gtest/gtest.h>

#include "platform/win32/CodePage.h"
#include "platform/win32/Locale.h"
#include "platform/win32/Version.h"

namespace {

class ConversionCodePageTest : public ::testing::Test {
protected:
    void SetUp() override { conversion_testing::ResetConversionCodePage(); }
    void TearDown() override {
        conversion_testing::ResetConversionCodePage();
        win32_testing::ResetReportedVersion();
        win32_testing::ResetLocaleAnswers();
    }
};

TEST_F(ConversionCodePageTest, TheConstantRuleIsTheThreadAnsiCodePageAtEveryCall) {
    win32_testing::SetAnsiCodePageText("1252");
    EXPECT_EQ(ConstantCodePageRule(), CP_THREAD_ACP);
    win32_testing::SetAnsiCodePageText("932");
    EXPECT_EQ(ConstantCodePageRule(), CP_THREAD_ACP);
}

TEST_F(ConversionCodePageTest, TheLocaleRuleReadsTheLocaleAndFallsBackToTheSystemCodePage) {
    struct Case {
        const char* text;  // what the locale answers; null: the call fails
        UINT codePage;     // 0: the system's ANSI code page
    };
    const Case cases[] = {
        {"1252", 1252},
        {"932", 932},
        {"65001", 65001},
        {"0437", 437},
        {"0", 0},
        {"000", 0},
        {"", 0},
        {nullptr, 0},
        {"1234567", 0},  // does not fit 7
                         // characters: the call
                         // fails
        {"437x", 437},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text != nullptr ? c.text : "(fails)");
        win32_testing::SetAnsiCodePageText(c.text);
        EXPECT_EQ(LocaleCodePageRule(), c.codePage != 0 ? c.codePage : GetACP());
    }
}

TEST_F(ConversionCodePageTest, TheChooserPicksTheRuleByTheSystemVersion) {
    struct Case {
        const char* what;
        DWORD platformId;
        DWORD major;
        CodePageRule rule;
    };
    const Case cases[] = {
        {"NT 6.1", VER_PLATFORM_WIN32_NT, 6, &ConstantCodePageRule},
        {"NT 5.0", VER_PLATFORM_WIN32_NT, 5, &ConstantCodePageRule},
        {"NT 10.0", VER_PLATFORM_WIN32_NT, 10, &ConstantCodePageRule},
        {"NT 4.0", VER_PLATFORM_WIN32_NT, 4, &LocaleCodePageRule},
        {"Windows 98", VER_PLATFORM_WIN32_WINDOWS, 4, &LocaleCodePageRule},
        {"Win32s with a major of 5", VER_PLATFORM_WIN32s, 5, &LocaleCodePageRule},
    };
    win32_testing::SetAnsiCodePageText("1252");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        conversion_testing::ResetConversionCodePage();
        win32_testing::SetReportedVersion(c.platformId, c.major, 0);
        EXPECT_EQ(GetConversionCodePage(), c.rule());
        EXPECT_EQ(conversion_testing::CurrentRule(), c.rule);
    }
}

TEST_F(ConversionCodePageTest, OnThisSystemTheCodePageIsTheThreadAnsiCodePage) {
    EXPECT_EQ(GetConversionCodePage(), CP_THREAD_ACP);
    EXPECT_EQ(GetConversionCodePage(), CP_THREAD_ACP);
}

TEST_F(ConversionCodePageTest, TheChoiceIsMadeOnceAndKept) {
    const CodePageRule chooser = conversion_testing::CurrentRule();
    EXPECT_NE(chooser, &ConstantCodePageRule);
    EXPECT_NE(chooser, &LocaleCodePageRule);

    win32_testing::SetReportedVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    win32_testing::SetAnsiCodePageText("1252");
    EXPECT_EQ(GetConversionCodePage(), 1252u);

    // A system that would now pick the constant rule is not asked again, and
    // the kept locale rule still reads the locale at every call.
    win32_testing::SetReportedVersion(VER_PLATFORM_WIN32_NT, 6, 1);
    win32_testing::SetAnsiCodePageText("1250");
    EXPECT_EQ(GetConversionCodePage(), 1250u);
    EXPECT_EQ(conversion_testing::CurrentRule(), &LocaleCodePageRule);
}

}  // namespace
