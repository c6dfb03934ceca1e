// The USER32 calls that the framework and the dialog make, over the toolkit's
// windows. A window handle is the address of the toolkit window it names.
#pragma once

#include "platform/win32/WinUser.h"

class wxWindow;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

constexpr int GWLP_WNDPROC = -4;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWLP_ID = -12;
constexpr UINT WM_NCDESTROY = 0x0082;

HWND HwndFromWindow(wxWindow* window);
wxWindow* WindowFromHwnd(HWND hWnd);

// Makes a toolkit window a window of this layer: it gets its styles, its
// control id and the window procedure of its class, and every message sent to
// it goes through that procedure until the window is destroyed.
void RegisterWindow(wxWindow* window, DWORD style, DWORD exStyle, WNDPROC classProc);

LONG_PTR GetWindowLongPtrA(HWND hWnd, int index);
// Only GWLP_WNDPROC can be changed; returns the previous value.
LONG_PTR SetWindowLongPtrA(HWND hWnd, int index, LONG_PTR value);
LRESULT CallWindowProcA(WNDPROC proc, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND hWnd);
BOOL IsIconic(HWND hWnd);
BOOL GetClientRect(HWND hWnd, RECT* rect);
BOOL UpdateWindow(HWND hWnd);
int GetSystemMetrics(int index);
