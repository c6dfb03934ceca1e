// Reading any of the library's pixel formats as non-premultiplied 32-bit ARGB,
// and converting whole pictures between formats.
#pragma once

#include "platform/gdiplus/ImageBuffer.h"

// True for the formats that ReadRowArgb understands.
bool IsReadableFormat(PixelFormat format);

// Row y of the image as ARGB values (0xAARRGGBB), one per pixel. Indexed
// pixels take their palette entry (opaque black when the palette lacks it);
// premultiplied pixels are un-premultiplied; 16-bit channels keep their high
// byte; narrower channels are widened by repeating their bits; formats
// without alpha read as opaque.
void ReadRowArgb(const ImageView& image, UINT y, ARGB* out);

// True for the formats that WriteRowArgb writes.
bool IsWritableFormat(PixelFormat format);

// Writes count ARGB values as pixels of 24bppRGB, 32bppRGB (fourth byte 255)
// or 32bppARGB. Returns false for any other target format.
bool WriteRowArgb(const ARGB* in, UINT count, PixelFormat format, BYTE* out);

// Converts the whole source into a target of the same size in one of the
// formats WriteRowArgb writes. Returns InvalidParameter for a format it
// cannot read or write, OutOfMemory when no row buffer can be had.
Status ConvertImage(const ImageView& source, PixelFormat targetFormat, BYTE* targetScan0,
                    INT targetStride);
