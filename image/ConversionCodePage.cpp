#include "image/ConversionCodePage.h"

#include "Win32Api.h"

namespace {

// Room for the longest code page number, five digits, with its terminator.
constexpr int kCodePageTextChars = 7;

UINT ChooseCodePageRule();

// The slot holds the address of one of these. A data address, unlike a
// function's, can be a PVOID in a constant initializer, so the slot points at
// the chooser before any code of the program runs.
struct RuleEntry {
    CodePageRule run;
};
constexpr RuleEntry kChooser = {&ChooseCodePageRule};
constexpr RuleEntry kConstantRule = {&ConstantCodePageRule};
constexpr RuleEntry kLocaleRule = {&LocaleCodePageRule};

// Nothing is ever written through the slot.
constexpr PVOID ToSlot(const RuleEntry& entry) {
    return const_cast<RuleEntry*>(&entry);
}

// Starting out at the chooser saves every later call a test of whether the
// choice was made.
constinit PVOID volatile g_rule = ToSlot(kChooser);

CodePageRule StoredRule() {
    return static_cast<const RuleEntry*>(g_rule)->run;
}

UINT ChooseCodePageRule() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    const RuleEntry& rule =
        CodePageRuleFor(version.dwPlatformId, version.dwMajorVersion) == &ConstantCodePageRule
            ? kConstantRule
            : kLocaleRule;
    InterlockedExchangePointer(&g_rule, ToSlot(rule));
    return rule.run();
}

}  // namespace

UINT GetConversionCodePage() {
    return StoredRule()();
}

CodePageRule CodePageRuleFor(DWORD platformId, DWORD majorVersion) {
    return platformId == VER_PLATFORM_WIN32_NT && majorVersion >= 5 ? &ConstantCodePageRule
                                                                    : &LocaleCodePageRule;
}

UINT ConstantCodePageRule() {
    return CP_THREAD_ACP;
}

UINT LocaleCodePageRule() {
    char text[kCodePageTextChars];
    const int written =
        GetLocaleInfoA(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, text, kCodePageTextChars);
    if (written == 0 || text[0] == '\0')
        return GetACP();
    UINT codePage = 0;
    // Six digits at most, so no overflow; a stray non-digit ends the number.
    for (const char* digit = text; *digit >= '0' && *digit <= '9'; ++digit) {
        codePage = codePage * 10 + static_cast<UINT>(*digit - '0');
    }
    // A locale without an ANSI code page of its own says 0.
    return codePage != 0 ? codePage : GetACP();
}
