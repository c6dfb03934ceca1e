// Decoding an image file into the image's own section: at the file's depth
// where a section holds its pixels as they are, else at 32 bits per pixel.
#include <cstring>
#include <optional>

#include "image/CDibImage.h"
#include "image/CGdipBitmap.h"
#include "image/CScratchBuffers.h"
#include "image/CWideText.h"
#include "image/ConversionCodePage.h"
#include "image/ProcessObjects.h"

namespace {
// 5-6-5 pixels keep their masks in the section so they read back as decoded.
constexpr DWORD kRgb565Masks[3] = {0xF800, 0x07E0, 0x001F};
}  // namespace

HRESULT CDibImage::Load(LPCSTR path) {
    if (!theGdiplusGuard.Start())
        return E_FAIL;
    std::optional<CGdipBitmap> decoded;
    {
        CWideText widePath(path, GetConversionCodePage());
        decoded.emplace(CGdipBitmap::FromFile{widePath});
    }
    if (decoded->GetStatus() != Ok)
        return E_FAIL;
    const HRESULT result = CopyFromDecoded(*decoded);
    // Disposing of the bitmap closes the file before the caller moves it.
    decoded.reset();
    return result;
}

HRESULT CDibImage::CopyFromDecoded(CGdipBitmap& decoded) {
    PixelFormat sourceFormat = PixelFormatUndefined;
    decoded.Check(GdipGetImagePixelFormat(decoded.Image(), &sourceFormat));

    WORD depth = 32;
    PixelFormat targetFormat = PixelFormat32bppRGB;
    bool alpha = false;
    if (sourceFormat & PixelFormatGDI) {
        depth = static_cast<WORD>(GetPixelFormatSize(sourceFormat));
        targetFormat = sourceFormat;
    }
    if (sourceFormat & PixelFormatAlpha) {
        depth = 32;
        targetFormat = PixelFormat32bppARGB;
        alpha = true;
    }

    UINT height = 0, width = 0;
    decoded.Check(GdipGetImageHeight(decoded.Image(), &height));
    decoded.Check(GdipGetImageWidth(decoded.Image(), &width));
    const bool rgb565 = targetFormat == PixelFormat16bppRGB565;
    if (!Create(static_cast<LONG>(width), static_cast<LONG>(height), depth,
                rgb565 ? BI_BITFIELDS : BI_RGB, rgb565 ? kRgb565Masks : nullptr,
                alpha ? kCreateAlpha : 0)) {
        return E_FAIL;
    }

    CScratchBuffers scratch;
    if (sourceFormat & PixelFormatIndexed) {
        INT paletteBytes = 0;
        decoded.Check(GdipGetImagePaletteSize(decoded.Image(), &paletteBytes));
        auto* palette = static_cast<ColorPalette*>(
            scratch.Allocate(static_cast<size_t>(paletteBytes > 0 ? paletteBytes : 0)));
        if (palette == nullptr)
            return E_OUTOFMEMORY;
        palette->Count = 0;
        decoded.Check(GdipGetImagePalette(decoded.Image(), palette, paletteBytes));
        // The section's table holds at most 256 entries; the palette's alpha is dropped.
        RGBQUAD table[256];
        const UINT count = palette->Count < 256 ? palette->Count : 256;
        for (UINT i = 0; i < count; ++i) {
            const ARGB entry = palette->Entries[i];
            table[i] = {static_cast<BYTE>(entry), static_cast<BYTE>(entry >> 8),
                        static_cast<BYTE>(entry >> 16), 0};
        }
        SetColorTable(0, count, table);
    }

    if (targetFormat == sourceFormat) {
        GpRect whole{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
        BitmapData locked{};
        if (decoded.Check(GdipBitmapLockBits(decoded.Handle(), &whole, ImageLockModeRead,
                                             sourceFormat, &locked)) == Ok) {
            // Only the pixels' bytes; the section's row padding is not written.
            const size_t rowBytes = (static_cast<size_t>(width) * depth + 7) / 8;
            for (UINT r = 0; r < height; ++r) {
                std::memcpy(m_firstRow + static_cast<ptrdiff_t>(r) * m_pitch,
                            static_cast<const BYTE*>(locked.Scan0) +
                                static_cast<ptrdiff_t>(r) * locked.Stride,
                            rowBytes);
            }
            decoded.Check(GdipBitmapUnlockBits(decoded.Handle(), &locked));
        }
    } else {
        // The section's negative pitch with its top row lets the library
        // address the bottom-up rows top row first.
        CGdipBitmap target(CGdipBitmap::OverMemory{
            static_cast<INT>(width), static_cast<INT>(height), m_pitch, targetFormat, m_firstRow});
        GpGraphics* graphics = nullptr;
        if (target.Check(GdipGetImageGraphicsContext(target.Image(), &graphics)) == Ok) {
            target.Check(GdipDrawImageI(graphics, decoded.Image(), 0, 0));
            GdipDeleteGraphics(graphics);
        }
    }
    return S_OK;
}
