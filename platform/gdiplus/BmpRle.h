// BI_RLE8 and BI_RLE4 streams: runs, literal runs, end of line, delta moves
// and end of bitmap, drawn from the bottom row up.
#pragma once

#include "platform/gdiplus/BmpHeader.h"
#include "platform/gdiplus/ImageBuffer.h"

// Draws the stream into `image`, allocated zeroed as 8 or 4bppIndexed, so that
// pixels the stream skips keep index 0. Returns GenericError for a run or move
// outside the picture, an index past the colour table, or a stream that ends
// before the picture is complete without an end-of-bitmap code.
Status ReadBmpRle(const BYTE* data, const BmpHeader& header, ImageBuffer& image);
