// The application icon: a picture halving into a smaller copy of itself, at
// 48, 32 and 16 pixels (res/icons/draw-icon.py draws the XPM files).
#include "res/ResourceData.h"

#include "res/icons/dorvalune-16.xpm"
#include "res/icons/dorvalune-32.xpm"
#include "res/icons/dorvalune-48.xpm"

namespace {

// Six colours each, so every image fits the 16-colour form.
const GRPICONDIRENTRY kAppIconImages[] = {
    // width, height, colours, reserved, planes, bits, bytes, image id
    {48, 48, 16, 0, 1, 4, sizeof(dorvalune_48_xpm), 1},
    {32, 32, 16, 0, 1, 4, sizeof(dorvalune_32_xpm), 2},
    {16, 16, 16, 0, 1, 4, sizeof(dorvalune_16_xpm), 3},
};

}  // namespace

const char* const* const kAppIconImageData[3] = {dorvalune_48_xpm, dorvalune_32_xpm,
                                                 dorvalune_16_xpm};

const GRPICONDIR kAppIconGroup = {
    0,
    1,
    static_cast<WORD>(sizeof(kAppIconImages) / sizeof(kAppIconImages[0])),
    kAppIconImages,
};
