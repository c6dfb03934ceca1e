// Reading files with an independent decoder, Pillow under Debian's
// /usr/bin/python3, to check that other programs see what our encoders wrote.
#pragma once

#include <string>
#include <vector>

#include "platform/gdiplus/GdiplusTypes.h"

struct PillowPicture {
    bool read = false;  // false when Pillow refused the file
    UINT width = 0;
    UINT height = 0;
    std::vector<ARGB> pixels;  // the first frame, row after row
};

// Reads all the files in one run of Python. Throws std::runtime_error when
// Python or Pillow cannot be run at all.
std::vector<PillowPicture> ReadWithPillow(const std::vector<std::string>& paths);
