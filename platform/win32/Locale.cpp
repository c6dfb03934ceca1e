#include "platform/win32/Locale.h"

#include <cstring>

#include "platform/win32/LastError.h"

namespace {

// File names and text on a Linux desktop are UTF-8, so that is the locale's
// ANSI code page.
constexpr char kUtf8CodePageText[] = "65001";

struct AnsiCodePageAnswer {
    bool fails;
    char text[32];
};

// Keeps what fits of text, always zero-terminated.
constexpr AnsiCodePageAnswer Succeeding(const char* text) {
    AnsiCodePageAnswer answer{};
    for (size_t i = 0; i + 1 < sizeof(answer.text) && text[i] != '\0'; ++i) {
        answer.text[i] = text[i];
    }
    return answer;
}

constinit AnsiCodePageAnswer g_answer = Succeeding(kUtf8CodePageText);

}  // namespace

LCID GetThreadLocale() {
    return LOCALE_USER_DEFAULT;
}

int GetLocaleInfoA(LCID locale, LCTYPE type, LPSTR data, int size) {
    if (size < 0 || (size > 0 && data == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (locale != LOCALE_USER_DEFAULT && locale != LOCALE_SYSTEM_DEFAULT) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (type != LOCALE_IDEFAULTANSICODEPAGE) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    if (g_answer.fails) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const int needed = static_cast<int>(std::strlen(g_answer.text)) + 1;
    if (size == 0)
        return needed;
    if (size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(data, g_answer.text, needed);
    return needed;
}

namespace win32_testing {

void SetAnsiCodePageText(const char* text) {
    g_answer = text != nullptr ? Succeeding(text) : AnsiCodePageAnswer{true, {}};
}

void ResetLocaleAnswers() {
    SetAnsiCodePageText(kUtf8CodePageText);
}

}  // namespace win32_testing
