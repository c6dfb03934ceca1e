// Writing the image with the encoder that a format id or the path's
// extension chooses.
#include <optional>

#include "Win32Api.h"
#include "image/CDibImage.h"
#include "image/CGdipBitmap.h"
#include "image/CScratchBuffers.h"
#include "image/ConversionCodePage.h"
#include "image/EncoderChoice.h"
#include "image/ProcessObjects.h"

HRESULT CDibImage::Save(LPCSTR path, const GUID& formatId) {
    if (!theGdiplusGuard.Start())
        return E_FAIL;
    UINT count = 0, listBytes = 0;
    if (GdipGetImageEncodersSize(&count, &listBytes) != Ok)
        return E_FAIL;
    const UINT codePage = GetConversionCodePage();

    CScratchBuffers scratch;
    auto* encoders = static_cast<ImageCodecInfo*>(scratch.Allocate(listBytes));
    if (encoders == nullptr)
        return E_OUTOFMEMORY;
    if (GdipGetImageEncoders(count, listBytes, encoders) != Ok)
        return E_FAIL;

    const CLSID encoder = formatId == GUID_NULL
                              ? FindEncoderByExtension(PathFindExtensionA(path), encoders, count)
                              : FindEncoderByFormat(formatId, encoders, count);
    // No file is created or touched without an encoder.
    if (encoder == GUID_NULL)
        return E_FAIL;

    const int n = lstrlenA(path) + 1;
    auto* widePath = static_cast<WCHAR*>(scratch.Allocate(2 * static_cast<size_t>(n)));
    if (widePath == nullptr)
        return E_OUTOFMEMORY;
    widePath[0] = 0;
    if (MultiByteToWideChar(codePage, 0, path, -1, widePath, n) == 0)
        return E_OUTOFMEMORY;

    // With alpha, the fourth byte of every pixel goes to the encoder as alpha;
    // without, the section goes at its own depth with its colour table.
    std::optional<CGdipBitmap> bitmap;
    if (m_hasAlpha) {
        bitmap.emplace(
            CGdipBitmap::OverMemory{m_width, m_height, m_pitch, PixelFormat32bppARGB, m_firstRow});
    } else {
        bitmap.emplace(CGdipBitmap::FromSection{m_section});
    }
    const Status saved = GdipSaveImageToFile(bitmap->Image(), widePath, &encoder, nullptr);
    if (saved == Ok)
        return S_OK;
    // The last error tells the cause only where a system call failed; any
    // other failure leaves no error of the system's, rather than a stale one.
    // Set once the bitmap is gone, as disposing of it may change it.
    const bool systemError = saved == Win32Error || saved == FileNotFound || saved == AccessDenied;
    const DWORD error = systemError ? GetLastError() : ERROR_SUCCESS;
    bitmap.reset();
    SetLastError(error);
    return E_FAIL;
}
