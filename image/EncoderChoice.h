// Choosing an encoder from the codec library's list, by a file extension or
// by an image format id. GUID_NULL means that none matched.
#pragma once

#include "GdiplusApi.h"

// The first encoder, in the list's order, with a ";"-separated pattern whose
// extension equals `extension` ignoring case. The empty extension matches a
// pattern without a dot.
CLSID FindEncoderByExtension(LPCSTR extension, const ImageCodecInfo* encoders, UINT count);

// The first encoder whose format id equals `formatId` in all 16 bytes.
CLSID FindEncoderByFormat(const GUID& formatId, const ImageCodecInfo* encoders, UINT count);

// True when some encoder writes the extension of `path`, as Save would choose it.
bool HasEncoderForPath(LPCSTR path);
