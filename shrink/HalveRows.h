// The row-oriented form of the half-size filter. It reads and writes whole
// rows, with the colours that the platform's single-pixel calls would read
// and write, and gives exactly the per-pixel path's result at every depth.
#pragma once

class CDibImage;

// True when both images hold sections.
bool CanHalveRows(const CDibImage& source, const CDibImage& destination);

void HalveRows(CDibImage& source, CDibImage& destination);
