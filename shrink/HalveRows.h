// The row-oriented form of the half-size filter for images whose pixels are
// plain blue, green, red bytes. Gives exactly the per-pixel path's result.
#pragma once

class CDibImage;

// True when both images hold 24 or 32 bpp sections with the 8-8-8 byte layout.
bool CanHalveRows(const CDibImage& source, const CDibImage& destination);

void HalveRows(const CDibImage& source, CDibImage& destination);
