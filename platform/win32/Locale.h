// The thread's locale and the one locale field the program reads from it.
#pragma once

#include "platform/win32/WinTypes.h"

using LCTYPE = DWORD;

constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;

// The locale's ANSI code page as decimal text, at most six characters with
// the terminating zero.
constexpr LCTYPE LOCALE_IDEFAULTANSICODEPAGE = 0x1004;

// A Linux process has one locale, the user's; every thread reports it.
LCID GetThreadLocale();

// Writes the field as zero-terminated text and returns its length with the
// terminator. A size of 0 only asks for that length. Fails with 0 and
// ERROR_INSUFFICIENT_BUFFER when the text does not fit, ERROR_INVALID_FLAGS
// for a field other than LOCALE_IDEFAULTANSICODEPAGE, ERROR_INVALID_PARAMETER
// for an unknown locale or a bad buffer.
int GetLocaleInfoA(LCID locale, LCTYPE type, LPSTR data, int size);

// Seam for tests: what GetLocaleInfoA answers for LOCALE_IDEFAULTANSICODEPAGE.
// The text is copied (up to 31 characters); null makes the call fail with
// ERROR_INVALID_PARAMETER. The code page of GetACP and of the conversions
// does not change with it.
namespace win32_testing {
void SetAnsiCodePageText(const char* text);
void ResetLocaleAnswers();
}  // namespace win32_testing
