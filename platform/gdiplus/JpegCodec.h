// JPEG files through libjpeg-turbo: sniffing, decoding, encoding.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/gdiplus/ImageBuffer.h"

// True when the data starts with an SOI marker followed by another marker.
bool SniffJpeg(const BYTE* data, size_t size);

// Decodes a baseline or progressive JPEG. Colour pictures (YCbCr, RGB, CMYK,
// YCCK) become 24bppRGB; greyscale becomes 8bppIndexed with a 256-entry grey
// table. Every libjpeg error and warning fails the decode: InvalidParameter
// for damaged data, NotImplemented for processes libjpeg does not decode,
// ValueOverflow for pictures or progressions beyond our bounds.
Status DecodeJpeg(const BYTE* data, size_t size, ImageBuffer& out);

// Writes a JFIF at quality 75 with 4:2:0 chroma; greyscale when the picture
// is indexed over a grey colour table or 16-bit grey. Alpha is dropped.
Status EncodeJpeg(const ImageView& image, std::vector<BYTE>& out);
