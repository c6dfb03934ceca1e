// The application icon: a picture halving into a smaller copy of itself, at
// 48, 32 and 16 pixels, each in 16 colours, in 256 colours and in true colour
// (res/icons/draw-icon.py draws the XPM files).
#include "res/ResourceData.h"

#include "res/icons/dorvalune-16-24.xpm"
#include "res/icons/dorvalune-16-4.xpm"
#include "res/icons/dorvalune-16-8.xpm"
#include "res/icons/dorvalune-32-24.xpm"
#include "res/icons/dorvalune-32-4.xpm"
#include "res/icons/dorvalune-32-8.xpm"
#include "res/icons/dorvalune-48-24.xpm"
#include "res/icons/dorvalune-48-4.xpm"
#include "res/icons/dorvalune-48-8.xpm"

namespace {

// The bytes an image takes in the platform's icon form: the information
// header, the colour table, then the colour and mask bitmaps, each row padded
// to four bytes.
constexpr DWORD IconFormBytes(int size, int bits) {
    const int table = bits <= 8 ? 4 << bits : 0;
    return 40 + table + size * ((size * bits + 31) / 32 * 4) + size * ((size + 31) / 32 * 4);
}

const GRPICONDIRENTRY kAppIconImages[] = {
    // width, height, colours (0: 256 or more), reserved, planes, bits, bytes, image id
    {48, 48, 16, 0, 1, 4, IconFormBytes(48, 4), 1},
    {32, 32, 16, 0, 1, 4, IconFormBytes(32, 4), 2},
    {16, 16, 16, 0, 1, 4, IconFormBytes(16, 4), 3},
    {48, 48, 0, 0, 1, 8, IconFormBytes(48, 8), 4},
    {32, 32, 0, 0, 1, 8, IconFormBytes(32, 8), 5},
    {16, 16, 0, 0, 1, 8, IconFormBytes(16, 8), 6},
    {48, 48, 0, 0, 1, 24, IconFormBytes(48, 24), 7},
    {32, 32, 0, 0, 1, 24, IconFormBytes(32, 24), 8},
    {16, 16, 0, 0, 1, 24, IconFormBytes(16, 24), 9},
};

}  // namespace

const char* const* const kAppIconImageData[9] = {
    dorvalune_48_4_xpm,  dorvalune_32_4_xpm,  dorvalune_16_4_xpm,
    dorvalune_48_8_xpm,  dorvalune_32_8_xpm,  dorvalune_16_8_xpm,
    dorvalune_48_24_xpm, dorvalune_32_24_xpm, dorvalune_16_24_xpm,
};

const GRPICONDIR kAppIconGroup = {
    0,
    1,
    static_cast<WORD>(sizeof(kAppIconImages) / sizeof(kAppIconImages[0])),
    kAppIconImages,
};
