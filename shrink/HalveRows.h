// The row-oriented form of the half-size filter. It reads and writes whole
// rows, with the colours that the platform's single-pixel calls would read
// and write, and gives exactly the per-pixel path's result at every depth.
#pragma once

class CDibImage;
struct HalveKernels;

// True when both images hold sections.
bool CanHalveRows(const CDibImage& source, const CDibImage& destination);

// Splits the destination into bands of rows that are filled side by side on
// threads of their own, unless a pixel of either image has to go through the
// platform's single-pixel calls (16-bit and unusual masks), whose device
// context belongs to one thread at a time; then one band does it all. Each
// band gives exactly the rows that one pass would. The kernels are the
// fastest this processor runs unless given.
void HalveRows(CDibImage& source, CDibImage& destination, int bands = 1,
               const HalveKernels* kernels = nullptr);

// One band a processor for large pictures, else one.
int DefaultBandCount(const CDibImage& destination);
