// The shell's path helpers that the encoder choice uses.
#pragma once

#include "platform/win32/WinTypes.h"

// The extension of the path's last component: a pointer to the last "." up
// to the end, provided that no "/" and no space follows that dot; otherwise a
// pointer to the terminating zero. The separator is "/": a backslash is an
// ordinary file-name character on Linux. Null for a null path.
LPSTR PathFindExtensionA(LPCSTR path);
LPWSTR PathFindExtensionW(LPCWSTR path);
