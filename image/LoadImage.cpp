// Decoding an image file into the image's own section: at the file's depth
// where a section holds its pixels as they are, else at 32 bits per pixel.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>

#include "Win32Api.h"
#include "image/CDibImage.h"
#include "image/CGdipBitmap.h"
#include "image/CScratchBuffers.h"
#include "image/CWideText.h"
#include "image/ConversionCodePage.h"
#include "image/ProcessObjects.h"

namespace {
// 5-6-5 pixels keep their masks in the section so they read back as decoded.
constexpr DWORD kRgb565Masks[3] = {0xF800, 0x07E0, 0x001F};

// A failed load leaves its cause in the last error: the system's error where
// a file operation failed (the library set it), else the library's status
// as the nearest code, so that the caller can tell the user what happened.
void SetLastErrorForStatus(Status status) {
    switch (status) {
        case Win32Error:
        case FileNotFound:
        case AccessDenied:
            return;
        case OutOfMemory:
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return;
        case ValueOverflow:
            SetLastError(ERROR_ARITHMETIC_OVERFLOW);
            return;
        case UnknownImageFormat:
            SetLastError(ERROR_BAD_FORMAT);
            return;
        case NotImplemented:
            SetLastError(ERROR_NOT_SUPPORTED);
            return;
        default:
            SetLastError(ERROR_INVALID_DATA);
            return;
    }
}
}  // namespace

HRESULT CDibImage::Load(LPCSTR path) {
    if (!theGdiplusGuard.Start())
        return E_FAIL;
    std::optional<CGdipBitmap> decoded;
    {
        CWideText widePath(path, GetConversionCodePage());
        decoded.emplace(CGdipBitmap::FromFile{widePath});
    }
    if (decoded->GetStatus() != Ok) {
        SetLastErrorForStatus(decoded->GetStatus());
        return E_FAIL;
    }
    const HRESULT result = CopyFromDecoded(*decoded);
    // Disposing of the bitmap closes the file before the caller moves it; the
    // cause of a failed copy stays the last error.
    const DWORD error = GetLastError();
    decoded.reset();
    SetLastError(error);
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
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return E_FAIL;
    }

    CScratchBuffers scratch;
    if (sourceFormat & PixelFormatIndexed) {
        RGBQUAD table[256];
        INT paletteBytes = 0;
        decoded.Check(GdipGetImagePaletteSize(decoded.Image(), &paletteBytes));
        // A size below the record's header holds no palette: nothing is read
        // or written through a buffer that small.
        constexpr size_t kHeaderBytes = offsetof(ColorPalette, Entries);
        const size_t bufferBytes = paletteBytes > 0 ? static_cast<size_t>(paletteBytes) : 0;
        UINT count = 0;
        if (bufferBytes >= kHeaderBytes) {
            auto* palette = static_cast<ColorPalette*>(scratch.Allocate(bufferBytes));
            if (palette == nullptr) {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return E_OUTOFMEMORY;
            }
            palette->Count = 0;
            if (decoded.Check(GdipGetImagePalette(decoded.Image(), palette, paletteBytes)) == Ok) {
                // No more entries than the buffer holds, nor than the
                // section's table (256); the palette's alpha is dropped.
                count = std::min<size_t>(
                    {palette->Count, (bufferBytes - kHeaderBytes) / sizeof(ARGB), 256});
                for (UINT i = 0; i < count; ++i) {
                    const ARGB entry = palette->Entries[i];
                    table[i] = {static_cast<BYTE>(entry), static_cast<BYTE>(entry >> 8),
                                static_cast<BYTE>(entry >> 16), 0};
                }
            }
        }
        SetColorTable(0, count, table);
    }

    // A failed lock, copy or draw would leave the section black, and the
    // job would save that black picture under the user's file name.
    Status copied = GenericError;
    if (targetFormat == sourceFormat) {
        GpRect whole{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
        BitmapData locked{};
        copied = decoded.Check(
            GdipBitmapLockBits(decoded.Handle(), &whole, ImageLockModeRead, sourceFormat, &locked));
        if (copied == Ok) {
            // Only the pixels' bytes; the section's row padding is not written.
            const size_t rowBytes = (static_cast<size_t>(width) * depth + 7) / 8;
            for (UINT r = 0; r < height; ++r) {
                std::memcpy(m_firstRow + static_cast<ptrdiff_t>(r) * m_pitch,
                            static_cast<const BYTE*>(locked.Scan0) +
                                static_cast<ptrdiff_t>(r) * locked.Stride,
                            rowBytes);
            }
            copied = decoded.Check(GdipBitmapUnlockBits(decoded.Handle(), &locked));
        }
    } else {
        // The section's negative pitch with its top row lets the library
        // address the bottom-up rows top row first.
        CGdipBitmap target(CGdipBitmap::OverMemory{
            static_cast<INT>(width), static_cast<INT>(height), m_pitch, targetFormat, m_firstRow});
        GpGraphics* graphics = nullptr;
        copied = target.Check(GdipGetImageGraphicsContext(target.Image(), &graphics));
        if (copied == Ok) {
            copied = target.Check(GdipDrawImageI(graphics, decoded.Image(), 0, 0));
            GdipDeleteGraphics(graphics);
        }
    }
    if (copied != Ok) {
        Destroy();
        SetLastErrorForStatus(copied);
        return E_FAIL;
    }
    return S_OK;
}
