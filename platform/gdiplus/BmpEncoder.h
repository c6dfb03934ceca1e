// The BMP encoder: writes a picture at its own depth with a 40-byte
// BITMAPINFOHEADER, the colour table of indexed pictures and bottom-up rows.
#pragma once

#include <vector>

#include "platform/gdiplus/EncodedFile.h"
#include "platform/gdiplus/ImageBuffer.h"

// Writes 1/4/8bppIndexed with their colour table, 16bppRGB555 as 16-bit BI_RGB,
// 16bppRGB565 as 16-bit BI_BITFIELDS, 24bppRGB, and 32bppRGB and 32bppARGB as
// 32-bit BI_RGB with their fourth bytes. Returns InvalidParameter for any other
// format or an empty picture, ValueOverflow for a file beyond 4 GB, OutOfMemory
// when the heap refuses; `out` is only replaced on success.
Status EncodeBmp(const ImageView& image, std::vector<BYTE>& out);

// The same file with the rows left where they lie: `out` takes the headers
// and colour table and points at the picture's rows, which must stay in
// place until it is written.
Status EncodeBmpFile(const ImageView& image, EncodedFile& out);
