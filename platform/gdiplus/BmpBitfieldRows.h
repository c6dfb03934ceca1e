// 16 and 32-bit BMP pixels taken apart by channel masks into 32-bit pixels,
// for every mask layout other than plain 5-5-5 and 5-6-5.
#pragma once

#include "platform/gdiplus/BmpHeader.h"
#include "platform/gdiplus/ImageBuffer.h"

// Fills `image`, allocated as 32bppRGB or 32bppARGB, with every channel scaled
// to 8 bits.
void ReadBmpBitfieldRows(const BYTE* data, const BmpHeader& header, ImageBuffer& image);
