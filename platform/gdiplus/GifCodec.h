// GIF files: recognising, decoding and encoding them, on giflib.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/gdiplus/ImageBuffer.h"

// True when the data starts with "GIF87a" or "GIF89a".
bool SniffGif(const BYTE* data, size_t size);

// Decodes the first frame, composed onto the logical screen, as 8bppIndexed
// with a palette of the colour table's own size (the frame's local table,
// else the global one), the transparent index's entry with alpha 0. Pixels
// outside the frame take the transparent index, else the background index.
// Returns UnknownImageFormat without the signature, GenericError for a
// damaged or truncated file or one without a frame or a colour table,
// ValueOverflow beyond the library's size bounds, OutOfMemory when memory
// runs out. `out` is changed only on success.
Status DecodeGif(const BYTE* data, size_t size, ImageBuffer& out);

// Writes one 8-bit frame. Indexed pictures keep their indices and table (the
// smallest power-of-two table that holds it; the first entry with alpha 0
// becomes the transparent index); other formats are reduced to at most 256
// colours (see ColorReduction). Returns InvalidParameter for an empty picture
// or a format it cannot read, ValueOverflow beyond GIF's 65535 x 65535,
// OutOfMemory when memory runs out, GenericError if giflib fails. `out` is
// changed only on success.
Status EncodeGif(const ImageView& image, std::vector<BYTE>& out);
