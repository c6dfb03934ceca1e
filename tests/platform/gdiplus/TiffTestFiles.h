// TIFF test inputs written with libtiff directly, for layouts that our own
// encoder never writes: other depths, planes, tiles, compressions and
// colour spaces.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <tiffio.h>

#include "tests/platform/gdiplus/JpegTiffTestSupport.h"

namespace jpegtiff_test {

struct TiffRecipe {
    UINT width = 47;
    UINT height = 33;
    uint16_t photometric = PHOTOMETRIC_RGB;
    uint16_t bits = 8;
    uint16_t samples = 3;
    // The ExtraSamples tag; left out when empty.
    std::vector<uint16_t> extraSamples = {};
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t predictor = PREDICTOR_NONE;
    // Tiled when both are set; otherwise strips of `rowsPerStrip` rows
    // (libtiff's choice when 0).
    UINT tileWidth = 0;
    UINT tileHeight = 0;
    UINT rowsPerStrip = 0;
    uint16_t fillOrder = FILLORDER_MSB2LSB;
    // Written when not 0.
    uint16_t orientation = 0;
    uint16_t inkSet = 0;
    // Red, green and blue runs of 2^bits entries each, for palette pictures.
    std::vector<uint16_t> colormap = {};
    // An 8 x 8 RGB page after the first, when true.
    bool secondPage = false;
    // Sample `s` of the pixel at x, y, `bits` wide. YCbCr pictures without
    // JPEG compression are stored subsampled 2 x 2: samples 1 and 2 (Cb, Cr)
    // are taken at each block's top-left pixel.
    std::function<UINT(UINT x, UINT y, UINT s)> sample = [](UINT, UINT, UINT) { return 0u; };
};

// The file, or nothing when libtiff refuses the recipe.
Bytes WriteTiff(const TiffRecipe& recipe);

// The first directory's layout fields as libtiff reads them.
struct TiffFields {
    bool read = false;
    uint16_t compression = 0;
    uint16_t photometric = 0;
    uint16_t bits = 0;
    uint16_t samples = 0;
    uint16_t predictor = 0;
    std::vector<uint16_t> extraSamples = {};
    std::vector<uint16_t> colormap = {};
};
TiffFields ReadTiffFields(const Bytes& file);

}  // namespace jpegtiff_test
