#include "platform/win32/Locale.h"

#include <cstring>

#include "platform/win32/Host.h"
#include "platform/win32/LastError.h"

LCID GetThreadLocale() {
    return LOCALE_USER_DEFAULT;
}

int GetLocaleInfoA(LCID locale, LCTYPE type, LPSTR data, int size) {
    if (locale != LOCALE_USER_DEFAULT) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (type != LOCALE_IDEFAULTANSICODEPAGE) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    const char* text = host::AnsiCodePageText();
    const int needed = static_cast<int>(std::strlen(text)) + 1;
    if (data == nullptr || size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(data, text, needed);
    return needed;
}
