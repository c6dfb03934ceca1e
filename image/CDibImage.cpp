#include "image/CDibImage.h"

#include <cstring>

#include "Win32Api.h"
#include "image/CScratchBuffers.h"
#include "image/ProcessObjects.h"

namespace {
// A header followed by room for a full colour table.
constexpr size_t kInfoBlockBytes = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);
}  // namespace

CDibImage::CDibImage()
    : m_section(nullptr),
      m_firstRow(nullptr),
      m_width(0),
      m_height(0),
      m_pitch(0),
      m_bitsPerPixel(0),
      m_isSection(false),
      m_hasAlpha(false),
      m_transparentIndex(-1),
      m_borrowedDC(nullptr),
      m_borrowCount(0),
      m_previousBitmap(nullptr) {
    theGdiplusGuard.RegisterImage();
}

CDibImage::~CDibImage() {
    Destroy();
    theGdiplusGuard.UnregisterImage();
}

bool CDibImage::Create(LONG width, LONG height, WORD bitsPerPixel, DWORD compression,
                       const DWORD* masks, DWORD flags) {
    CScratchBuffers scratch;
    auto* info = static_cast<BITMAPINFO*>(scratch.Allocate(kInfoBlockBytes));
    if (info == nullptr)
        return false;

    BITMAPINFOHEADER& header = info->bmiHeader;
    std::memset(&header, 0, sizeof(header));
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = bitsPerPixel;
    header.biCompression = compression;
    // biClrUsed 0: a full colour table of 2^bitsPerPixel entries.

    BYTE* following = reinterpret_cast<BYTE*>(info) + sizeof(BITMAPINFOHEADER);
    if (bitsPerPixel <= 8) {
        std::memset(following, 0, 256 * sizeof(RGBQUAD));
    } else if (compression == BI_BITFIELDS) {
        std::memcpy(following, masks, 3 * sizeof(DWORD));
    }

    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section == nullptr)
        return false;
    m_section = section;
    m_firstRow = static_cast<BYTE*>(bits);
    RefreshInfo(height >= 0 ? BottomUp : TopDown);
    if (flags & kCreateAlpha)
        m_hasAlpha = true;
    return true;
}

void CDibImage::Destroy() {
    if (m_section == nullptr)
        return;
    HBITMAP old = m_section;
    m_section = nullptr;
    m_firstRow = nullptr;
    m_width = 0;
    m_height = 0;
    m_bitsPerPixel = 0;
    m_pitch = 0;
    m_transparentIndex = -1;
    m_isSection = false;
    m_hasAlpha = false;
    DeleteObject(old);
}

void CDibImage::RefreshInfo(RowOrder rowOrder) {
    DIBSECTION ds;
    std::memset(&ds, 0, sizeof(ds));
    GetObjectA(m_section, sizeof(DIBSECTION), &ds);
    m_bitsPerPixel = ds.dsBmih.biBitCount;
    m_width = ds.dsBmih.biWidth;
    m_height = ds.dsBmih.biHeight < 0 ? -ds.dsBmih.biHeight : ds.dsBmih.biHeight;
    m_pitch = (m_bitsPerPixel * m_width + 31) / 32 * 4;
    m_firstRow = static_cast<BYTE*>(ds.dsBm.bmBits);
    m_isSection = true;
    m_hasAlpha = false;
    m_transparentIndex = -1;
    if (rowOrder == BottomUp) {
        // Row 0 of the picture is the last row in memory.
        m_firstRow += static_cast<ptrdiff_t>(m_height - 1) * m_pitch;
        m_pitch = -m_pitch;
    }
}

void CDibImage::SetColorTable(UINT first, UINT count, const RGBQUAD* entries) {
    SetDIBColorTable(BorrowDC(), first, count, entries);
    ReturnDC();
}

HDC CDibImage::BorrowDC() {
    ++m_borrowCount;
    if (m_borrowedDC == nullptr) {
        m_borrowedDC = theMemoryDCPool.Take();
        m_previousBitmap = static_cast<HBITMAP>(SelectObject(m_borrowedDC, m_section));
    }
    return m_borrowedDC;
}

void CDibImage::ReturnDC() {
    if (--m_borrowCount == 0) {
        SelectObject(m_borrowedDC, m_previousBitmap);
        // Nothing to give back when no context could be made for the borrow.
        if (m_borrowedDC != nullptr)
            theMemoryDCPool.Give(m_borrowedDC);
        m_borrowedDC = nullptr;
    }
}

COLORREF CDibImage::GetPixel(int x, int y) {
    const COLORREF colour = ::GetPixel(BorrowDC(), x, y);
    ReturnDC();
    return colour;
}

void CDibImage::SetPixel(int x, int y, COLORREF colour) {
    ::SetPixel(BorrowDC(), x, y, colour);
    ReturnDC();
}
