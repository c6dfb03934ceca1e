// Paths on their way to the codec library: the code page they are converted
// in, and the conversion's failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "image/CWideText.h"
#include "image/ConversionCodePage.h"
#include "platform/mfc/AfxExceptions.h"
#include "platform/win32/CodePage.h"
#include "platform/win32/LastError.h"
#include "platform/win32/Version.h"
#include "tests/fakes/Win32Fakes.h"

namespace {

// What a call raises: "memory", the OLE exception's status, or "nothing".
template <typename Call>
std::string Raised(Call call) {
    try {
        call();
    } catch (CMemoryException* e) {
        e->Delete();
        return "memory";
    } catch (COleException* e) {
        char status[16];
        std::snprintf(status, sizeof(status), "0x%08X", static_cast<unsigned>(e->m_sc));
        e->Delete();
        return status;
    }
    return "nothing";
}

std::string Repeat(const std::string& text, int times) {
    std::string repeated;
    while (times-- > 0)
        repeated += text;
    return repeated;
}

TEST(PathTextTest, TextsUpTo127BytesConvertInlineAndLongerOnesOnTheHeap) {
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {Repeat("a", 127), true},
        {Repeat("a", 128), false},
        {Repeat("\xC3\xB6", 63) + "x", true},  // 127 bytes in 64 characters
        {Repeat("\xC3\xB6", 64), false},       // 128 bytes, though 64 characters would fit
    };
    for (const auto& [text, inlineBuffer] : cases) {
        const CWideText wide(text.c_str(), CP_THREAD_ACP);
        EXPECT_EQ(wide.UsesInlineBuffer(), inlineBuffer) << text.size();
        char back[300];
        ASSERT_GT(WideCharToMultiByte(CP_UTF8, 0, wide, -1, back, sizeof(back), nullptr, nullptr),
                  0);
        EXPECT_EQ(back, text);
    }
    EXPECT_EQ(CWideText(nullptr, CP_THREAD_ACP).Get(), nullptr);
}

TEST(PathTextTest, AFailedConversionRaisesTheFrameworksExceptionForTheLastError) {
    // Windows-1252 is not installed: ERROR_INVALID_PARAMETER.
    for (const std::string& text : {Repeat("a", 5), Repeat("a", 300)})
        EXPECT_EQ(Raised([&] { CWideText wide(text.c_str(), 1252); }), "0x80070057");
    const std::pair<DWORD, std::string> cases[] = {
        {ERROR_NO_UNICODE_TRANSLATION, "0x80070459"},
        {0x0012ABCDu, "0x8007ABCD"},  // only the low word of an error is kept
        {static_cast<DWORD>(E_FAIL), "0x80004005"},
        {ERROR_SUCCESS, "0x00000000"},
        {ERROR_OUTOFMEMORY, "memory"},
        {static_cast<DWORD>(E_OUTOFMEMORY), "memory"},
    };
    for (const auto& [error, raised] : cases)
        EXPECT_EQ(Raised([&] { ThrowConversionFailure(error); }), raised) << error;
}

TEST(PathTextTest, OldSystemsConvertInTheLocalesCodePageNewOnesInTheThreads) {
    const struct {
        DWORD platformId, major;
        CodePageRule rule;
    } systems[] = {{VER_PLATFORM_WIN32_NT, 5, &ConstantCodePageRule},
                   {VER_PLATFORM_WIN32_NT, 10, &ConstantCodePageRule},
                   {VER_PLATFORM_WIN32_NT, 4, &LocaleCodePageRule},
                   {VER_PLATFORM_WIN32_WINDOWS, 5, &LocaleCodePageRule},
                   {VER_PLATFORM_WIN32s, 5, &LocaleCodePageRule}};
    for (const auto& c : systems)
        EXPECT_EQ(CodePageRuleFor(c.platformId, c.major), c.rule) << c.platformId << " " << c.major;
    EXPECT_EQ(ConstantCodePageRule(), CP_THREAD_ACP);
    // The locale's answer, read afresh at every call; 0: the system's code page.
    const std::pair<const char*, UINT> locales[] = {
        {"1252", 1252}, {"0437", 437}, {"437x", 437},
        {"0", 0},       {"", 0},       {"1234567", 0}};  // too long for the buffer: the call fails
    for (const auto& [text, codePage] : locales) {
        win32_testing::SetAnsiCodePageText(text);
        EXPECT_EQ(LocaleCodePageRule(), codePage != 0 ? codePage : GetACP()) << text;
    }
    // This system is NT 6.1; the choice is made once and kept.
    EXPECT_EQ(GetConversionCodePage(), CP_THREAD_ACP);
    win32_testing::SetReportedVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    EXPECT_EQ(GetConversionCodePage(), CP_THREAD_ACP);
    win32_testing::ResetReportedVersion();
    win32_testing::ResetLocaleAnswers();
}

}  // namespace
