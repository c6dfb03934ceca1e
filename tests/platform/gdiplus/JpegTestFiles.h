// JPEG test inputs written with libjpeg directly, for colour spaces and scan
// structures our own encoder never writes.
#pragma once

#include <cstdio>  // jpeglib.h uses FILE without including it
#include <functional>

#include <jpeglib.h>

#include "tests/platform/gdiplus/JpegTiffTestSupport.h"

namespace jpegtiff_test {

struct JpegRecipe {
    UINT width = 16;
    UINT height = 16;
    J_COLOR_SPACE input = JCS_RGB;  // the samples handed to libjpeg
    int components = 3;
    J_COLOR_SPACE stored = JCS_YCbCr;  // how the file holds them
    bool adobeMarker = true;           // libjpeg's default for CMYK and YCCK
    bool progressive = false;
    int scans = 0;  // when set, a one-component progression of this many scans (2 to 704)
    std::function<BYTE(UINT x, UINT y, int s)> sample = [](UINT, UINT, int) { return BYTE{128}; };
};

// The file at quality 90, or nothing when libjpeg refuses the recipe.
Bytes WriteJpeg(const JpegRecipe& recipe);

}  // namespace jpegtiff_test
