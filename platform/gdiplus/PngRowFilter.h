// PNG's row filters for the encoder, chosen for each row as libpng chooses
// them: the filter whose bytes, read as signed, sum to the least in
// magnitude, ties going to the earlier of None, Sub, Up, Average and Paeth.
#pragma once

#include <cstddef>

#include "platform/gdiplus/GdiplusTypes.h"

// Writes the chosen filter type and the filtered bytes of `row` to out
// (size + 1 bytes). `previous` is the row above (zeros above the first row),
// `bpp` the bytes a pixel takes (at least 1), `tries` room for 4 * size bytes.
void FilterRow(const BYTE* row, const BYTE* previous, size_t size, size_t bpp, BYTE* tries,
               BYTE* out);
