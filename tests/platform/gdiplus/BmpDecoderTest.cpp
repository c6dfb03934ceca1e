// Pixel decoding of the BMP decoder on tiny files: each pixel encoding, RLE
// streams, colour tables and the kept malformed files.
#include <gtest/gtest.h>

#include "platform/gdiplus/BmpDecoder.h"
#include "tests/platform/gdiplus/BmpTestSupport.h"

namespace {

constexpr ARGB kRed = 0xFFFF0000;
constexpr ARGB kGreen = 0xFF00FF00;
constexpr ARGB kBlue = 0xFF0000FF;
constexpr ARGB kWhite = 0xFFFFFFFF;
constexpr ARGB kBlack = 0xFF000000;

// 3 x 2 at 1 bpp, bottom-up, with junk in the padding bits.
const std::vector<BYTE> kOneBitFile = {
    'B',        'M', 70, 0, 0, 0,    0, 0, 0, 0, 62, 0, 0, 0,  // file header: size 70, pixels at 62
    40,         0,   0,  0, 3, 0,    0, 0, 2, 0, 0,  0,        // 40-byte header, 3 x 2
    1,          0,   1,  0, 0, 0,    0, 0, 8, 0, 0,  0,        // 1 plane, 1 bpp, BI_RGB, 8 bytes
    0,          0,   0,  0, 0, 0,    0, 0, 2, 0, 0,  0, 0, 0, 0, 0,  // no density, 2 colours
    0xFF,       0,   0,  0, 0, 0xFF, 0, 0,  // blue, green (B, G, R, reserved)
    0b10111111, 0,   0,  0,                 // bottom row: 1 0 1, padding set
    0b01000000, 0,   0,  0,                 // top row: 0 1 0
};

struct EncodingCase {
    const char* name;
    std::vector<BYTE> file;
    PixelFormat format;
    size_t paletteCount;
    std::vector<ARGB> pixels;  // top-down
};

std::vector<BYTE> Bits16(std::vector<DWORD> masks, DWORD headerSize, std::vector<BYTE> rows) {
    BmpRecipe r;
    r.headerSize = headerSize;
    r.bitCount = 16;
    r.compression = masks.empty() ? BI_RGB : BI_BITFIELDS;
    r.masks = std::move(masks);
    r.pixels = std::move(rows);
    return BuildBmp(r);
}

std::vector<EncodingCase> EncodingCases() {
    std::vector<EncodingCase> cases;
    cases.push_back({"1 bpp, bottom-up",
                     kOneBitFile,
                     PixelFormat1bppIndexed,
                     2,
                     {kBlue, kGreen, kBlue, kGreen, kBlue, kGreen}});

    BmpRecipe four;  // 3 x 2, three colours, indices 2 1 0 under 0 1 2
    four.width = 3;
    four.bitCount = 4;
    four.colorsUsed = 3;
    four.palette = {kRed, kGreen, kBlue};
    four.pixels = {0x21, 0x00, 0, 0, 0x01, 0x20, 0, 0};
    cases.push_back({"4 bpp, short colour table",
                     BuildBmp(four),
                     PixelFormat4bppIndexed,
                     3,
                     {kRed, kGreen, kBlue, kBlue, kGreen, kRed}});

    BmpRecipe eight;  // top-down: the first stored row is the top one
    eight.height = -2;
    eight.bitCount = 8;
    eight.palette = {kRed, kGreen, kBlue, kWhite};
    eight.colorsUsed = 4;
    eight.pixels = {0, 1, 0, 0, 2, 3, 0, 0};
    cases.push_back({"8 bpp, top-down",
                     BuildBmp(eight),
                     PixelFormat8bppIndexed,
                     4,
                     {kRed, kGreen, kBlue, kWhite}});

    cases.push_back({"16 bpp BI_RGB ignores the top bit",
                     Bits16({}, 40, {0x00, 0xFC, 0xE0, 0x03, 0x1F, 0x80, 0xFF, 0x7F}),
                     PixelFormat16bppRGB555,
                     0,
                     {kBlue, kWhite, kRed, kGreen}});
    cases.push_back({"16 bpp 5-6-5 masks",
                     Bits16({0xF800, 0x07E0, 0x001F}, 40, {0x1F, 0, 0xFF, 0xFF, 0, 0xF8, 0xE0, 7}),
                     PixelFormat16bppRGB565,
                     0,
                     {kRed, kGreen, kBlue, kWhite}});
    cases.push_back({"16 bpp 4-4-4-4 masks in a V3 header",
                     Bits16({0x0F00, 0x00F0, 0x000F, 0xF000}, 56,
                            {0x0F, 0xF0, 0xFF, 0x0F, 0x00, 0x8F, 0xF0, 0x00}),
                     PixelFormat32bppARGB,
                     0,
                     {0x88FF0000, 0x0000FF00, 0xFF0000FF, 0x00FFFFFF}});

    BmpRecipe rgb;  // 2 x 2 at 24 bpp: 6 bytes a row, padded to 8
    rgb.pixels = {0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0xFF, 0, 0, 0};
    cases.push_back({"24 bpp, padded rows",
                     BuildBmp(rgb),
                     PixelFormat24bppRGB,
                     0,
                     {kRed, kGreen, kBlue, kWhite}});

    BmpRecipe alpha;  // every channel in an unusual place: A, B, G, R from the low byte
    alpha.width = 1;
    alpha.height = 1;
    alpha.bitCount = 32;
    alpha.compression = BI_ALPHABITFIELDS;
    alpha.masks = {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF};
    alpha.pixels = {0x78, 0x56, 0x34, 0x12};
    cases.push_back({"32 bpp alpha bit fields after a 40-byte header",
                     BuildBmp(alpha),
                     PixelFormat32bppARGB,
                     0,
                     {0x78123456}});

    BmpRecipe wide = alpha;  // 10-bit channels: red full, green half, blue none
    wide.compression = BI_BITFIELDS;
    wide.masks = {0x3FF00000, 0x000FFC00, 0x000003FF};
    wide.pixels = {0x00, 0x00, 0xF8, 0x3F};
    cases.push_back({"32 bpp 10-10-10 masks round to 8 bits",
                     BuildBmp(wide),
                     PixelFormat32bppRGB,
                     0,
                     {0xFFFF8000}});

    BmpRecipe core;  // 12-byte header: three-byte entries, counted from the pixel offset
    core.headerSize = 12;
    core.height = 1;
    core.bitCount = 8;
    core.palette = {kRed, kBlue};
    core.pixels = {1, 0, 0, 0};
    cases.push_back({"OS/2 1.x header", BuildBmp(core), PixelFormat8bppIndexed, 2, {kBlue, kRed}});

    BmpRecipe os2 = core;  // 16-byte header: four-byte entries
    os2.headerSize = 16;
    cases.push_back(
        {"OS/2 2.x 16-byte header", BuildBmp(os2), PixelFormat8bppIndexed, 2, {kBlue, kRed}});
    return cases;
}

struct RleCase {
    const char* name;
    DWORD compression;
    LONG width;
    LONG height;
    std::vector<BYTE> stream;
    std::vector<BYTE> indices;  // top-down; skipped pixels are 0
};

const RleCase kRleCases[] = {
    {"RLE8 run, literal, delta and early end",
     BI_RLE8,
     4,
     3,
     {3, 1,              // three pixels of index 1
      0, 0,              // end of line
      0, 3, 2, 1, 2, 0,  // literal 2 1 2, padded to a word
      0, 2, 1, 1,        // move one right and one up
      0, 1},             // end of bitmap: the rest stays 0
     {0, 0, 0, 0, 2, 1, 2, 0, 1, 1, 1, 0}},
    {"RLE4 run alternates its two indices",
     BI_RLE4,
     5,
     2,
     {5, 0x12,           // 1 2 1 2 1
      0, 0,              // end of line
      0, 3, 0x34, 0x50,  // literal 3 4 5
      0, 1},
     {3, 4, 5, 0, 0, 1, 2, 1, 2, 1}},
    {"RLE8 stream may stop once the last row is full", BI_RLE8, 2, 1, {2, 1}, {1, 1}},
};

const RleCase kBadRleCases[] = {
    {"run past the row end", BI_RLE8, 2, 1, {3, 1, 0, 1}, {}},
    {"literal past the row end", BI_RLE8, 2, 1, {0, 3, 1, 1, 1, 0, 0, 1}, {}},
    {"delta past the right edge", BI_RLE8, 2, 2, {0, 2, 3, 0, 0, 1}, {}},
    {"delta past the top row", BI_RLE8, 2, 2, {0, 2, 0, 3, 0, 1}, {}},
    {"end of line past the top row", BI_RLE8, 2, 1, {0, 0, 0, 0, 0, 1}, {}},
    {"stream ends before the picture", BI_RLE8, 2, 2, {2, 1}, {}},
    {"delta cut short", BI_RLE8, 2, 2, {0, 2, 1}, {}},
    {"literal cut short", BI_RLE8, 4, 1, {0, 4, 1, 1}, {}},
    {"RLE8 index past the colour table", BI_RLE8, 2, 1, {2, 2, 0, 1}, {}},
    {"RLE4 second index past the colour table", BI_RLE4, 2, 1, {2, 0x12, 0, 1}, {}},
};

std::vector<BYTE> BuildRle(const RleCase& c) {
    BmpRecipe r;
    r.width = c.width;
    r.height = c.height;
    r.bitCount = c.compression == BI_RLE8 ? 8 : 4;
    r.compression = c.compression;
    r.colorsUsed = 6;
    r.palette.assign(6, kBlack);
    r.pixels = c.stream;
    return BuildBmp(r);
}

std::vector<BYTE> Indices(const ImageBuffer& image) {
    const UINT bits = GetPixelFormatSize(image.Format());
    std::vector<BYTE> indices;
    for (UINT y = 0; y < image.Height(); ++y) {
        for (UINT x = 0; x < image.Width(); ++x) {
            const BYTE b = image.Row(y)[x * bits / 8];
            indices.push_back(bits == 8 ? b : (x % 2 == 0 ? b >> 4 : b & 0x0F));
        }
    }
    return indices;
}

}  // namespace

TEST(BmpDecoder, EachPixelEncodingDecodesToTheStoredColours) {
    for (const EncodingCase& c : EncodingCases()) {
        SCOPED_TRACE(c.name);
        ImageBuffer image;
        ASSERT_EQ(DecodeBmp(c.file.data(), c.file.size(), image), Ok);
        EXPECT_EQ(image.Format(), c.format);
        EXPECT_EQ(image.Palette().size(), c.paletteCount);
        EXPECT_EQ(ArgbPixels(image.View()), c.pixels);
    }
}

TEST(BmpDecoder, StoredRowsKeepNoJunkInUnusedBits) {
    ImageBuffer image;
    ASSERT_EQ(DecodeBmp(kOneBitFile.data(), kOneBitFile.size(), image), Ok);
    EXPECT_EQ(image.Row(1)[0], 0b10100000);  // padding bits cleared
    const std::vector<BYTE> rgb555 = Bits16({}, 40, {0xFF, 0xFF, 0, 0, 0, 0, 0, 0});
    ASSERT_EQ(DecodeBmp(rgb555.data(), rgb555.size(), image), Ok);
    EXPECT_EQ(image.Row(1)[1], 0x7F);  // the unused top bit of a 5-5-5 word cleared
}

TEST(BmpDecoder, RleStreamsDrawRunsLiteralsAndSkips) {
    for (const RleCase& c : kRleCases) {
        SCOPED_TRACE(c.name);
        const std::vector<BYTE> file = BuildRle(c);
        ImageBuffer image;
        ASSERT_EQ(DecodeBmp(file.data(), file.size(), image), Ok);
        EXPECT_EQ(Indices(image), c.indices);
    }
}

TEST(BmpDecoder, RleStreamsReachingOutsideThePictureOrTableAreRefused) {
    for (const RleCase& c : kBadRleCases) {
        SCOPED_TRACE(c.name);
        std::vector<BYTE> file = BuildRle(c);
        // Two of the colour table's six entries count, so that index 2 is past it.
        PutDword(file, bmp_field::kClrUsed, 2);
        ImageBuffer image;
        EXPECT_EQ(DecodeBmp(file.data(), file.size(), image), GenericError);
        EXPECT_TRUE(HoldsNoPicture(image));
    }
}

TEST(BmpDecoder, UncompressedIndicesArePassedAgainstTheColourTable) {
    struct Case {
        const char* name;
        WORD bitCount;
        DWORD colorsUsed;
        std::vector<BYTE> pixels;  // one row, width 3
        Status expected;
        size_t paletteCount;
    };
    const Case cases[] = {
        {"8 bpp index 2 of two colours", 8, 2, {0, 1, 2, 0}, GenericError, 0},
        {"4 bpp padding nibble is no index", 4, 3, {0x12, 0x0F, 0, 0}, Ok, 3},
        {"1 bpp index 1 of one colour", 1, 1, {0b00100000, 0, 0, 0}, GenericError, 0},
        {"a table longer than the depth is cut to it", 1, 5, {0b01000000, 0, 0, 0}, Ok, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BmpRecipe r;
        r.width = 3;
        r.height = 1;
        r.bitCount = c.bitCount;
        r.colorsUsed = c.colorsUsed;
        r.palette.assign(c.colorsUsed, kWhite);
        r.pixels = c.pixels;
        const std::vector<BYTE> file = BuildBmp(r);
        ImageBuffer image;
        EXPECT_EQ(DecodeBmp(file.data(), file.size(), image), c.expected);
        EXPECT_EQ(image.Palette().size(), c.paletteCount);
    }
}
