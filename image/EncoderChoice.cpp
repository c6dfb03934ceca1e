#include "image/EncoderChoice.h"

#include "GdiplusApi.h"
#include "Win32Api.h"
#include "image/CScratchBuffers.h"
#include "image/CWideText.h"
#include "image/ConversionCodePage.h"
#include "image/ProcessObjects.h"
#include "platform/mfc/AfxString.h"

CLSID FindEncoderByExtension(LPCSTR extension, const ImageCodecInfo* encoders, UINT count) {
    static constexpr WCHAR kSeparator[] = {';', 0};
    CWideText wideExtension(extension, GetConversionCodePage());
    for (UINT i = 0; i < count; ++i) {
        const CStringW patterns(encoders[i].FilenameExtension);
        int position = 0;
        for (;;) {
            // Empty pieces between separators are skipped; the last piece counts.
            const CStringW piece = patterns.Tokenize(kSeparator, position);
            if (position < 0)
                break;
            const CStringW pieceExtension(PathFindExtensionW(piece));
            if (pieceExtension.CompareNoCase(wideExtension) == 0)
                return encoders[i].Clsid;
        }
    }
    return GUID_NULL;
}

CLSID FindEncoderByFormat(const GUID& formatId, const ImageCodecInfo* encoders, UINT count) {
    for (UINT i = 0; i < count; ++i) {
        if (encoders[i].FormatID == formatId)
            return encoders[i].Clsid;
    }
    return GUID_NULL;
}

bool HasEncoderForPath(LPCSTR path) {
    if (!theGdiplusGuard.Start())
        return false;
    UINT count = 0, listBytes = 0;
    if (GdipGetImageEncodersSize(&count, &listBytes) != Ok)
        return false;
    CScratchBuffers scratch;
    auto* encoders = static_cast<ImageCodecInfo*>(scratch.Allocate(listBytes));
    if (encoders == nullptr || GdipGetImageEncoders(count, listBytes, encoders) != Ok)
        return false;
    return !(FindEncoderByExtension(PathFindExtensionA(path), encoders, count) == GUID_NULL);
}
