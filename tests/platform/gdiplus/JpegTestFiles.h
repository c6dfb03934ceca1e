// JPEG test inputs written with libjpeg directly, for colour spaces and scan
// structures that our own encoder never writes.
#pragma once

#include <cstdio>  // jpeglib.h uses FILE without including it
#include <functional>

#include <jpeglib.h>

#include "tests/platform/gdiplus/JpegTiffTestSupport.h"

namespace jpegtiff_test {

struct JpegRecipe {
    UINT width = 16;
    UINT height = 16;
    // The samples handed to libjpeg: JCS_GRAYSCALE, JCS_RGB, JCS_CMYK, or
    // JCS_UNKNOWN with `components` components.
    J_COLOR_SPACE input = JCS_RGB;
    int components = 3;
    // How the file stores them: JCS_YCbCr, JCS_RGB, JCS_YCCK, ...
    J_COLOR_SPACE stored = JCS_YCbCr;
    // libjpeg marks CMYK and YCCK files with Adobe's APP14 segment; false
    // leaves it out.
    bool adobeMarker = true;
    bool progressive = false;
    // A one-component progression of exactly this many scans (2 to 704).
    int scans = 0;
    int quality = 90;
    // Sample `s` of the pixel at x, y.
    std::function<BYTE(UINT x, UINT y, int s)> sample = [](UINT, UINT, int) { return BYTE{128}; };
};

// The file, or nothing when libjpeg refuses the recipe.
Bytes WriteJpeg(const JpegRecipe& recipe);

}  // namespace jpegtiff_test
