// Moving decoded TIFF samples into the library's pixel layouts. The decoder
// hands over runs of pixels as libtiff delivers them (a scanline, a strip or
// tile row, one plane of a planar picture), and the store puts each sample
// into its lane of the target pixel.
#pragma once

#include <cstdint>

#include "platform/gdiplus/ImageBuffer.h"

// Target lanes in pixel order: the library's B, G, R, A.
enum TiffLane : int { kLaneBlue = 0, kLaneGreen = 1, kLaneRed = 2, kLaneAlpha = 3 };

struct TiffPixelStore {
    PixelFormat format = PixelFormatUndefined;
    // Indices of at most 8 bits with one sample per pixel are copied as they
    // are packed; 2-bit indices are widened to 4 bits.
    bool packed = false;
    UINT bitsPerSample = 0;
    // Otherwise: which sample feeds each lane (-1: none), and the lanes' width.
    int sampleForLane[4] = {-1, -1, -1, -1};
    UINT lanes = 0;
    UINT bytesPerLane = 1;
    // Fix-ups once every plane is in: opaque alpha for a lane no sample
    // feeds, associated alpha divided out, MinIsWhite grey turned round.
    bool fillAlpha = false;
    bool unpremultiply = false;
    bool invertGrey = false;

    // True when some lane takes a sample in [firstSample, firstSample + count).
    bool NeedsSamples(UINT firstSample, UINT count) const;

    // Stores `count` pixels of the run `source` at column x0 of `row`. The run
    // holds `samplesInRun` samples per pixel, the first being `firstSample`;
    // 16-bit samples are in host order, as libtiff delivers them.
    void StoreRun(BYTE* row, UINT x0, UINT count, const BYTE* source, UINT firstSample,
                  UINT samplesInRun) const;

    // Applies the fix-ups to the whole picture.
    void Finish(ImageBuffer& picture) const;
};

// Bytes of a row of `width` pixels of `samples` samples of `bits` bits.
constexpr uint64_t TiffRowBytes(uint64_t width, uint64_t samples, uint64_t bits) {
    return (width * samples * bits + 7) / 8;
}
