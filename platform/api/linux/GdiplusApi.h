// The flat GDI+ API and its types: on Linux the codec library under
// platform/gdiplus, which also tells why it refused a picture for its size.
#pragma once

#include "platform/gdiplus/GdiplusFlat.h"
#include "platform/gdiplus/ImageBuffer.h"
