// The shell's path helpers: the extension, for the encoder choice, and the
// last component, for the backup name.
#pragma once

#include "platform/win32/WinTypes.h"

// The extension of the path's last component: a pointer to the last "." up
// to the end, provided that no "/" and no space follows that dot; otherwise a
// pointer to the terminating zero. The separator is "/": a backslash is an
// ordinary file-name character on Linux. Null for a null path.
LPSTR PathFindExtensionA(LPCSTR path);
LPWSTR PathFindExtensionW(LPCWSTR path);

// The last component of the path: a pointer just after its last "/", or the
// path itself when it has none. As above, "/" is the only separator. Null
// for a null path.
LPSTR PathFindFileNameA(LPCSTR path);
