// The code page in which narrow Paths are converted to UTF-16 for the codec
// library.
#pragma once

#include "Win32Api.h"

using CodePageRule = UINT (*)();

// The first call picks the rule for the system it runs on and keeps it; every
// call returns the code page of the kept rule.
UINT GetConversionCodePage();

// Systems that convert by the calling thread's ANSI code page: CP_THREAD_ACP.
UINT ConstantCodePageRule();
// Older systems: the default ANSI code page of the thread's locale, else the
// system's. Asked afresh at every call.
UINT LocaleCodePageRule();

// The rule for a system of this version: NT 5 and later convert in the
// thread's ANSI code page; earlier systems have none of their own, so the
// locale's default stands in for it.
CodePageRule CodePageRuleFor(DWORD platformId, DWORD majorVersion);
