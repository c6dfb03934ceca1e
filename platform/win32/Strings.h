// kernel32's narrow string helpers.
#pragma once

#include "platform/win32/WinTypes.h"

// The length of a zero-terminated text in bytes, without the terminator; 0
// for null.
int lstrlenA(LPCSTR text);
