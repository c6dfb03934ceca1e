// Memory for pixels: small blocks from the heap, large ones mapped.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/win32/WinTypes.h"

// Zeroed memory of the given size, its pages present; null when refused.
BYTE* AllocateZeroedPixels(size_t bytes);

// Zeroed memory of the given size whose pages appear only as they are first
// written, for a writer that may stop early; null when refused.
BYTE* AllocateZeroedPixelsOnDemand(size_t bytes);

// Memory of the given size whose contents are undefined until written; its
// pages appear as they are first written. Null when refused.
BYTE* AllocateUninitialisedPixels(size_t bytes);

// Releases memory from either call above, given the size it was asked for.
void FreePixels(BYTE* pixels, size_t bytes);

// Owns a block from either call above.
struct PixelMemoryDeleter {
    size_t bytes = 0;
    void operator()(BYTE* p) const { FreePixels(p, bytes); }
};
using PixelBlock = std::unique_ptr<BYTE, PixelMemoryDeleter>;
