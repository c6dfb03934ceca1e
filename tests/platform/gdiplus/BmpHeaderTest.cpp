// Header checks of the BMP decoder: each hand-made defect gives its own status
// and leaves no picture behind.
#include <gtest/gtest.h>

#include <functional>

#include "platform/gdiplus/BmpDecoder.h"
#include "tests/platform/gdiplus/BmpTestSupport.h"

namespace {

using namespace bmp_field;

// A sound 2 x 2 picture at 8 bpp with a two-entry colour table.
BmpRecipe SoundRecipe() {
    BmpRecipe r;
    r.bitCount = 8;
    r.colorsUsed = 2;
    r.palette = {0xFF000000, 0xFFFFFFFF};
    r.pixels = {0, 1, 0, 0, 1, 0, 0, 0};
    return r;
}

using Recipe = std::function<void(BmpRecipe&)>;
using Patch = std::function<void(std::vector<BYTE>&)>;

struct MalformedHeader {
    const char* defect;
    Recipe recipe;
    Patch patch;
    Status expected;
};

const MalformedHeader kMalformedHeaders[] = {
    {"no BM signature", nullptr, [](auto& f) { f[1] = 'A'; }, GenericError},
    {"shorter than the file header", nullptr, [](auto& f) { f.resize(13); }, GenericError},
    {"header size 41", nullptr, [](auto& f) { PutDword(f, kHeaderSize, 41); }, GenericError},
    {"header size 66", nullptr, [](auto& f) { PutDword(f, kHeaderSize, 66); }, GenericError},
    {"header past the end of the file", nullptr, [](auto& f) { f.resize(40); }, GenericError},
    {"two planes", nullptr, [](auto& f) { f[kPlanes] = 2; }, GenericError},
    {"zero width", [](auto& r) { r.width = 0; }, nullptr, GenericError},
    {"negative width", [](auto& r) { r.width = -2; }, nullptr, GenericError},
    {"zero height", [](auto& r) { r.height = 0; }, nullptr, GenericError},
    {"height INT32_MIN", [](auto& r) { r.height = INT32_MIN; }, nullptr, GenericError},
    {"3 bpp", [](auto& r) { r.bitCount = 3; }, nullptr, GenericError},
    {"30000 bpp", [](auto& r) { r.bitCount = 30000; }, nullptr, GenericError},
    {"2 bpp", [](auto& r) { r.bitCount = 2; }, nullptr, NotImplemented},
    {"64 bpp", [](auto& r) { r.bitCount = 64; }, nullptr, NotImplemented},
    {"embedded JPEG", [](auto& r) { r.compression = BI_JPEG; }, nullptr, NotImplemented},
    {"embedded PNG", [](auto& r) { r.compression = BI_PNG; }, nullptr, NotImplemented},
    {"compression 7", [](auto& r) { r.compression = 7; }, nullptr, GenericError},
    {"OS/2 Huffman 1D",
     [](auto& r) {
         r.headerSize = 64;
         r.bitCount = 1;
         r.compression = 3;
     },
     nullptr, NotImplemented},
    {"OS/2 RLE24",
     [](auto& r) {
         r.headerSize = 64;
         r.bitCount = 24;
         r.compression = 4;
     },
     nullptr, NotImplemented},
    {"RLE8 at 24 bpp",
     [](auto& r) {
         r.bitCount = 24;
         r.compression = BI_RLE8;
     },
     nullptr, GenericError},
    {"bit fields at 8 bpp",
     [](auto& r) {
         r.compression = BI_BITFIELDS;
         r.masks = {0xE0, 0x1C, 0x03};
     },
     nullptr, GenericError},
    {"top-down RLE",
     [](auto& r) {
         r.compression = BI_RLE8;
         r.height = -2;
     },
     nullptr, GenericError},
    {"pixel density 10000 : 1", nullptr,
     [](auto& f) {
         PutDword(f, kXPelsPerMeter, 30000000);
         PutDword(f, kYPelsPerMeter, 3000);
     },
     GenericError},
    {"colour table count past the file", [](auto& r) { r.colorsUsed = 0x12345678; }, nullptr,
     GenericError},
    {"no colour table for an indexed picture",
     [](auto& r) {
         r.colorsUsed = 0;
         r.palette.clear();
     },
     nullptr, GenericError},
    {"pixel offset inside the header", nullptr, [](auto& f) { PutDword(f, kPixelOffset, 20); },
     GenericError},
    {"pixel offset past the file", nullptr, [](auto& f) { PutDword(f, kPixelOffset, 1000); },
     GenericError},
    {"file size field past the data", nullptr, [](auto& f) { PutDword(f, kFileSize, 1000); },
     GenericError},
    {"image size field past the data", nullptr, [](auto& f) { PutDword(f, kSizeImage, 1000); },
     GenericError},
    {"last row cut short", nullptr,
     [](auto& f) {
         f.resize(f.size() - 3);
         PutDword(f, kFileSize, static_cast<DWORD>(f.size()));
     },
     GenericError},
    {"masks past the end of the file",
     [](auto& r) {
         r.bitCount = 16;
         r.compression = BI_BITFIELDS;
         r.palette.clear();
         r.colorsUsed = 0;
     },
     [](auto& f) { f.resize(60); }, GenericError},
    {"picture beyond the pixel cap",
     [](auto& r) {
         r.width = 40000;
         r.height = 40000;
         r.compression = BI_RLE8;
     },
     nullptr, ValueOverflow},
};

// 16 bpp bit-field masks that no writer can have meant.
struct BadMasks {
    const char* defect;
    std::vector<DWORD> masks;
};
const BadMasks kBadMasks[] = {
    {"no blue mask", {0xFF00, 0x00FF, 0}},
    {"red and green overlap", {0xF800, 0x0FE0, 0x001F}},
    {"red not contiguous", {0xF400, 0x03E0, 0x001F}},
    {"blue beyond 16 bits", {0xF800, 0x07E0, 0x1F0000}},
    {"alpha overlaps blue", {0x0F00, 0x00F0, 0x000F, 0x001F}},
};

std::vector<BYTE> BuildMalformed(const MalformedHeader& c) {
    BmpRecipe recipe = SoundRecipe();
    if (c.recipe)
        c.recipe(recipe);
    std::vector<BYTE> file = BuildBmp(recipe);
    if (c.patch)
        c.patch(file);
    return file;
}

// Decodes into a buffer that already holds a picture, which must be gone.
void ExpectRefused(const std::vector<BYTE>& file, Status expected) {
    ImageBuffer out;
    ASSERT_EQ(out.Allocate(PixelFormat24bppRGB, 1, 1), Ok);
    EXPECT_EQ(DecodeBmp(file.data(), file.size(), out), expected);
    EXPECT_TRUE(HoldsNoPicture(out));
}

}  // namespace

TEST(BmpHeader, SoundRecipeDecodes) {
    const std::vector<BYTE> file = BuildBmp(SoundRecipe());
    ImageBuffer out;
    ASSERT_EQ(DecodeBmp(file.data(), file.size(), out), Ok);
    EXPECT_EQ(ArgbPixels(out.View()),
              (std::vector<ARGB>{0xFFFFFFFF, 0xFF000000, 0xFF000000, 0xFFFFFFFF}));
}

TEST(BmpHeader, EachMalformedHeaderGivesItsStatusAndNoPicture) {
    for (const MalformedHeader& c : kMalformedHeaders) {
        SCOPED_TRACE(c.defect);
        ExpectRefused(BuildMalformed(c), c.expected);
    }
}

TEST(BmpHeader, MasksThatOverlapOrLeaveAChannelOutAreRefused) {
    for (const BadMasks& c : kBadMasks) {
        SCOPED_TRACE(c.defect);
        BmpRecipe r;
        r.headerSize = c.masks.size() == 4 ? 56 : 40;
        r.bitCount = 16;
        r.compression = BI_BITFIELDS;
        r.masks = c.masks;
        r.pixels.assign(8, 0);
        ExpectRefused(BuildBmp(r), GenericError);
    }
}

TEST(BmpHeader, SniffLooksOnlyAtTheSignature) {
    const BYTE bmp[] = {'B', 'M'};
    const BYTE png[] = {0x89, 'P', 'N', 'G'};
    EXPECT_TRUE(SniffBmp(bmp, sizeof(bmp)));
    EXPECT_FALSE(SniffBmp(bmp, 1));
    EXPECT_FALSE(SniffBmp(png, sizeof(png)));
}
