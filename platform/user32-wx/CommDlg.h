// The common open-file dialog: GetOpenFileNameA over the desktop's native
// file chooser.
#pragma once

#include "platform/win32/WinTypes.h"

struct OPENFILENAMEA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter;  // pairs of description and pattern, each ended by a zero, then a zero
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;  // 1-based; 0 picks the first
    LPSTR lpstrFile;     // in: initial name; out: the selection
    DWORD nMaxFile;      // size of lpstrFile in characters
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;
    LPARAM lCustData;
    void* lpfnHook;
    LPCSTR lpTemplateName;
};

constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_EXPLORER = 0x00080000;

constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;

// Shows the open-file dialog that the record describes. When the user
// confirms, writes the selection into lpstrFile -- one file as its full path,
// several as their folder followed by their names, each ended by a zero and
// the whole by a second zero -- and returns TRUE. Returns FALSE when the user
// cancels, or when the selection does not fit nMaxFile characters; then
// CommDlgExtendedError gives FNERR_BUFFERTOOSMALL and the first two bytes of
// lpstrFile hold the size it needs.
BOOL GetOpenFileNameA(OPENFILENAMEA* ofn);
DWORD CommDlgExtendedError();
