// The window procedure of the list box class: adding, counting and reading
// entries. With LBS_SORT a new entry goes to its place in the user's locale's
// order, ignoring case; equal entries are all kept, the newest after the
// others.
#pragma once

#include "platform/win32/WinUser.h"

LRESULT ListBoxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
