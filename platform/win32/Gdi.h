// The GDI subset that holds pixels: DIB sections, memory device contexts and
// single-pixel access through them.
#pragma once

#include <cstddef>
#include <memory>

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

// Rows of a decoded picture that the next DIB section of exactly their layout
// may take over instead of new memory: they lie bottom-up, `rowBytes` apart as
// a section's rows do, and the block that holds them has room for one more
// row above the top one. Not a Win32 call: where the platform would be handed
// a file mapping in CreateDIBSection's hSection, the stand-in's codec library
// offers its memory this way.
struct SectionRows {
    std::shared_ptr<BYTE> memory;  // the block, kept alive by every holder
    BYTE* lowestRow = nullptr;     // the bottom row of the picture
    LONG width = 0;
    LONG height = 0;
    WORD bitCount = 0;
    size_t rowBytes = 0;
    // The section's bits once a section took the rows: lowestRow + rowBytes.
    BYTE* takenAt = nullptr;
};

// Offers the rows to the next CreateDIBSection call on this thread, which
// withdraws the offer whether it takes the rows or not. The offer lapses when
// every other holder of `rows` has let go of them.
//
// A section that takes them has its rows one row above the decoded ones, in
// the same pages, so that copying the picture's rows into the section top row
// first (as a copy from a bottom-up bitmap into a bottom-up section runs)
// moves each row up by one before anything writes over it: every row is read
// before the copy of the row above it lands there, and source and
// destination of each row never overlap. Nothing is allocated or faulted in
// for the section, and the rows exist once in memory. Until that copy the
// section shows the decoded picture one row down (with its padding and top
// row cleared) rather than black; after it, the decoded rows no longer show
// their picture, the section's do, and the section keeps the block alive as
// long as it lives.
void OfferRowsToNextSection(const std::shared_ptr<SectionRows>& rows);

// A DIB section's bits, kept alive by every holder of the pointer however
// long the section lives; null for anything that is not a DIB section. Not a
// Win32 call: it lets the codec library read a section's rows where they lie
// where the platform would copy them.
std::shared_ptr<BYTE> SectionBits(HBITMAP bitmap);
