// Icons from the executable's resources, and drawing them.
#pragma once

#include "platform/win32/WinTypes.h"

class wxIcon;

// The icon group's image that best fits the system's icon size, scaled to it
// where none fits exactly. The icon is shared: loading the same id again gives
// the same handle, and it is never released. Null, with the last error set,
// when the group or its image is missing.
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
BOOL DrawIcon(HDC hdc, int x, int y, HICON icon);

// The icon's image at size x size pixels, for a window's icon slots.
wxIcon IconImageAt(HICON icon, int size);
