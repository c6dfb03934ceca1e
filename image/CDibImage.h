// One raster image held in a device-independent bitmap section, addressed row
// by row through firstRow and pitch, and pixel by pixel through a borrowed
// memory device context.
#pragma once

#include "Win32Api.h"

class CGdipBitmap;

class CDibImage {
public:
    enum RowOrder { TopDown, BottomUp };
    // Create's flags: bit 0 asks for an alpha channel.
    static constexpr DWORD kCreateAlpha = 1;

    CDibImage();
    CDibImage(const CDibImage&) = delete;
    CDibImage& operator=(const CDibImage&) = delete;
    virtual ~CDibImage();

    // A blank section; a negative height gives a top-down image.
    bool Create(LONG width, LONG height, WORD bitsPerPixel, DWORD compression, const DWORD* masks,
                DWORD flags);
    void Destroy();
    void RefreshInfo(RowOrder rowOrder);
    void SetColorTable(UINT first, UINT count, const RGBQUAD* entries);

    HDC BorrowDC();
    void ReturnDC();
    COLORREF GetPixel(int x, int y);
    void SetPixel(int x, int y, COLORREF colour);

    // Decodes an image file into this empty image.
    HRESULT Load(LPCSTR path);
    // Writes the image; GUID_NULL chooses the encoder by the path's extension.
    HRESULT Save(LPCSTR path, const GUID& formatId);

    HBITMAP section() const { return m_section; }
    BYTE* firstRow() const { return m_firstRow; }
    LONG width() const { return m_width; }
    LONG height() const { return m_height; }
    LONG pitch() const { return m_pitch; }
    LONG bitsPerPixel() const { return m_bitsPerPixel; }
    bool isSection() const { return m_isSection; }
    bool hasAlpha() const { return m_hasAlpha; }
    LONG transparentIndex() const { return m_transparentIndex; }
    LONG borrowCount() const { return m_borrowCount; }
    HDC borrowedDC() const { return m_borrowedDC; }

private:
    HRESULT CopyFromDecoded(CGdipBitmap& decoded);

    HBITMAP m_section;
    BYTE* m_firstRow;
    LONG m_width;
    LONG m_height;
    LONG m_pitch;
    LONG m_bitsPerPixel;
    bool m_isSection;
    bool m_hasAlpha;
    LONG m_transparentIndex;
    HDC m_borrowedDC;
    LONG m_borrowCount;
    HBITMAP m_previousBitmap;
};
