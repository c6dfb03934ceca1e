// PNG files: recognising, decoding and encoding them, on libpng.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/gdiplus/ImageBuffer.h"

// True when the data starts with the 8-byte PNG signature.
bool SniffPng(const BYTE* data, size_t size);

// Decodes a PNG into the pixel format that holds it at its own depth:
// palette and grey files of up to 8 bits stay indexed (2-bit indices held in
// 4 bits), RGB 8 becomes 24bppRGB, RGB 16 48bppRGB, RGBA 16 and RGB 16 with a
// transparent colour 64bppARGB, everything else with alpha or 16-bit grey
// 32bppARGB. Gamma and colour chunks are not applied.
// Returns UnknownImageFormat without the signature, GenericError for a
// damaged or truncated file (or any libpng warning), ValueOverflow beyond
// the library's size bounds, OutOfMemory when memory runs out. `out` is
// changed only on success.
// 8-bit RGB(A) files are read on two threads at once when large.
Status DecodePng(const BYTE* data, size_t size, ImageBuffer& out);

// DecodePng with every file's rows read by libpng's row reader alone: the
// reference DecodePng's own reader is held to.
Status DecodePngByLibpng(const BYTE* data, size_t size, ImageBuffer& out);

// Writes the picture as a PNG at its own depth where PNG can hold it:
// indexed as a palette PNG (a grey PNG when the table is the grey ramp of
// its depth), 24/32bppRGB and 16bpp RGB as 8-bit RGB, 32bppARGB as RGBA,
// 48bppRGB and 64bppARGB as 16-bit RGB and RGBA, anything else as 8-bit
// RGBA. Returns InvalidParameter for an empty picture or a format it cannot
// read, OutOfMemory when memory runs out, GenericError if libpng fails. `out`
// is changed only on success.
Status EncodePng(const ImageView& image, std::vector<BYTE>& out);
