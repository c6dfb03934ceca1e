// The flat GDI+ API and its types: on Windows the system's GDI+.
#pragma once

#include "Win32Api.h"

#include <gdiplus.h>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

// A GpBitmap is a GpImage, as in the platform's class hierarchy.
inline GpImage* AsImage(GpBitmap* bitmap) {
    return bitmap;
}

// The system's GDI+ gives no reason beyond its status when it refuses a
// picture for its size: the limit and the declared sides stay unknown.
struct SizeRefusal {
    const char* limit = nullptr;
    unsigned long long width = 0;
    unsigned long long height = 0;
};
inline SizeRefusal LastSizeRefusal() {
    return {};
}
inline void ClearSizeRefusal() {}
