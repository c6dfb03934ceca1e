// TIFF test inputs written with libtiff directly, for layouts our own
// encoder never writes: other depths, planes, tiles, compressions and
// colour spaces.
#pragma once

#include <cstdint>
#include <functional>

#include <tiffio.h>

#include "tests/platform/gdiplus/JpegTiffTestSupport.h"

namespace jpegtiff_test {

struct TiffRecipe {
    UINT width = 47;
    UINT height = 33;
    uint16_t photometric = PHOTOMETRIC_RGB;
    uint16_t bits = 8;
    uint16_t samples = 3;
    std::vector<uint16_t> extraSamples = {};  // the tag is left out when empty
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t predictor = PREDICTOR_NONE;
    UINT tileSize = 0;      // square tiles when set, else strips
    UINT rowsPerStrip = 0;  // libtiff's choice when 0
    uint16_t fillOrder = FILLORDER_MSB2LSB;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    std::vector<uint16_t> colormap = {};  // red, green, blue runs of 2^bits entries
    bool secondPage = false;              // an 8 x 8 RGB page after the first
    // Sample `s` of the pixel at x, y, `bits` wide.
    std::function<UINT(UINT x, UINT y, UINT s)> sample = [](UINT, UINT, UINT) { return 0u; };
};

// The file, or nothing when libtiff refuses the recipe.
Bytes WriteTiff(const TiffRecipe& recipe);

// The first directory's layout fields, as libtiff reads them.
struct TiffFields {
    uint16_t compression = 0, photometric = 0, bits = 0, samples = 0, predictor = 0;
    std::vector<uint16_t> extraSamples = {};
};
TiffFields ReadTiffFields(const Bytes& file);

}  // namespace jpegtiff_test
