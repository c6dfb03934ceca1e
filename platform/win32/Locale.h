// The thread's locale and the one locale field the program reads from it.
#pragma once

#include "platform/win32/WinTypes.h"

using LCTYPE = DWORD;

constexpr LCID LOCALE_USER_DEFAULT = 0x0400;

// The locale's ANSI code page as decimal text, at most six characters with
// the terminating zero.
constexpr LCTYPE LOCALE_IDEFAULTANSICODEPAGE = 0x1004;

// A Linux process has one locale, the user's; every thread reports it.
LCID GetThreadLocale();

// Writes the field, the host's answer (platform/win32/Host.h), as
// zero-terminated text and returns its length with the terminator. Fails with
// 0 and ERROR_INSUFFICIENT_BUFFER when the text does not fit (or no buffer is
// given), ERROR_INVALID_FLAGS for a field other than
// LOCALE_IDEFAULTANSICODEPAGE, ERROR_INVALID_PARAMETER for another locale.
int GetLocaleInfoA(LCID locale, LCTYPE type, LPSTR data, int size);
