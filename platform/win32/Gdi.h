// The GDI subset that holds pixels: DIB sections, memory device contexts and
// single-pixel access through them.
#pragma once

#include "platform/win32/WinTypes.h"

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
int GetObjectA(HGDIOBJ object, int size, LPVOID buffer);
UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors);
UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors);
HDC CreateCompatibleDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteDC(HDC dc);
BOOL DeleteObject(HGDIOBJ object);
COLORREF GetPixel(HDC dc, int x, int y);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);

// Largest pixel memory a section may have. Sections beyond it are refused as
// the platform refuses sections it cannot map.
constexpr unsigned long long kMaxSectionBytes = 16ull << 30;
