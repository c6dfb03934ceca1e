// TIFF files through libtiff: sniffing, decoding the first page, encoding.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/gdiplus/ImageBuffer.h"

// True for the classic and BigTIFF signatures in either byte order.
bool SniffTiff(const BYTE* data, size_t size);

// Decodes the first page, keeping its depth the way PNG pictures keep
// theirs: palette pictures stay indexed (1/4/8bppIndexed, 2-bit held in 4
// bits) with the colour map; bilevel and 2/4/8-bit grey become indexed over a
// grey ramp (descending for MinIsWhite); 8-bit RGB becomes 24bppRGB, RGBA
// 32bppARGB (associated alpha un-premultiplied); 16-bit RGB 48bppRGB, 16-bit
// RGBA 64bppARGB; 16-bit grey and grey with alpha 32bppARGB. Other colour
// spaces (CMYK, YCbCr, CIELab) go through libtiff's RGBA reader into
// 32bppRGB, or 32bppARGB when they carry alpha. Pixels are in the order they
// are stored; the Orientation tag is not applied. Every libtiff error, and
// every warning except one about an unknown tag, fails the decode.
Status DecodeTiff(const BYTE* data, size_t size, ImageBuffer& out);

// Writes a single-page little-endian TIFF, LZW-compressed: indexed formats as
// palette pictures of their own depth, 16-bit grey as 16-bit grey, 24bpp and
// 32bppRGB as 8-bit RGB, ARGB as RGBA with unassociated alpha, PARGB as RGBA
// with associated alpha, 48/64bpp as 16-bit RGB(A); 16bpp RGB formats are
// widened to 8-bit RGB (RGBA for 1555).
Status EncodeTiff(const ImageView& image, std::vector<BYTE>& out);
