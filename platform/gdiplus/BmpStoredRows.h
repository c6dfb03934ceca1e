// Uncompressed BMP rows whose bytes already are the reported format's pixels:
// palette indices, 5-5-5 and 5-6-5 words, 24 and 32-bit BI_RGB.
#pragma once

#include "platform/gdiplus/BmpHeader.h"
#include "platform/gdiplus/ImageBuffer.h"

// Copies every row into `image`, allocated in header.format at the picture's
// size. Returns GenericError when a pixel indexes past the colour table.
Status ReadBmpStoredRows(const BYTE* data, const BmpHeader& header, ImageBuffer& image);
