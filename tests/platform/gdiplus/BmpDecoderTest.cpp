// Pixel decoding of the BMP decoder beyond what the BMP Suite shows: RLE
// streams drawn by hand, unused bits, and the kept malformed files.
#include <gtest/gtest.h>

#include "platform/gdiplus/BmpDecoder.h"
#include "tests/platform/gdiplus/BmpTestSupport.h"

namespace {

using namespace bmp_field;

struct RleCase {
    const char* name;
    bool fourBit;
    LONG width;
    LONG height;
    std::vector<BYTE> stream;
    std::vector<BYTE> indices;  // top-down, skipped pixels 0; empty when refused
};

const RleCase kRleCases[] = {
    {"RLE8 run, literal, delta and early end",
     false,
     5,
     3,
     {3, 1,              // three pixels of index 1
      0, 0,              // end of line
      0, 3, 2, 1, 2, 0,  // literal 2 1 2, padded to a 16-bit boundary
      0, 2, 1, 1,        // move one right and one up
      1, 3,              // one pixel of index 3
      0, 1},             // end of bitmap: the rest stays 0
     {0, 0, 0, 0, 3, 2, 1, 2, 0, 0, 1, 1, 1, 0, 0}},
    {"RLE4 run alternates its two indices",
     true,
     5,
     2,
     {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1},  // 1 2 1 2 1, end of line, literal 3 4 5
     {3, 4, 5, 0, 0, 1, 2, 1, 2, 1}},
    {"stream may stop once the last row is full", false, 2, 1, {2, 1}, {1, 1}},
    {"run past the row end", false, 2, 1, {3, 1, 0, 1}, {}},
    {"literal past the row end", false, 2, 1, {0, 3, 1, 1, 1, 0, 0, 1}, {}},
    {"delta past the right edge", false, 2, 2, {0, 2, 3, 0, 0, 1}, {}},
    {"delta past the top row", false, 2, 2, {0, 2, 0, 3, 0, 1}, {}},
    {"end of line past the top row", false, 2, 1, {0, 0, 0, 0, 0, 1}, {}},
    {"stream ends before the picture", false, 2, 2, {2, 1}, {}},
    {"delta cut short", false, 2, 2, {0, 2, 1}, {}},
    {"literal cut short", false, 4, 1, {0, 4, 1, 1}, {}},
    {"RLE8 index past the colour table", false, 2, 1, {2, 6, 0, 1}, {}},
    {"RLE4 second index past the colour table", true, 2, 1, {2, 0x16, 0, 1}, {}},
};

// The suite's RLE file with its stream replaced and six colours declared.
std::vector<BYTE> RleFile(const RleCase& c) {
    std::vector<BYTE> file =
        ReadWholeFile(BmpSuiteFile("g", c.fourBit ? "pal4rle.bmp" : "pal8rle.bmp"));
    file.resize(GetDword(file, kPixelOffset));
    file.insert(file.end(), c.stream.begin(), c.stream.end());
    PutDword(file, kFileSize, static_cast<DWORD>(file.size()));
    PutDword(file, kWidth, c.width);
    PutDword(file, kHeight, c.height);
    PutDword(file, kSizeImage, 0);
    PutDword(file, kClrUsed, 6);
    return file;
}

BYTE IndexAt(const ImageBuffer& image, UINT x, UINT y) {
    const BYTE b = image.Row(y)[x * GetPixelFormatSize(image.Format()) / 8];
    return image.Format() == PixelFormat8bppIndexed ? b : (x % 2 == 0 ? b >> 4 : b & 0x0F);
}

}  // namespace

TEST(BmpDecoder, RleStreamsDrawInsideThePictureOrAreRefused) {
    for (const RleCase& c : kRleCases) {
        SCOPED_TRACE(c.name);
        const std::vector<BYTE> file = RleFile(c);
        ImageBuffer image;
        const Status status = DecodeBmp(file.data(), file.size(), image);
        if (c.indices.empty()) {
            EXPECT_EQ(status, GenericError);
            EXPECT_TRUE(HoldsNoPicture(image));
            continue;
        }
        ASSERT_EQ(status, Ok);
        std::vector<BYTE> indices;
        for (UINT y = 0; y < image.Height(); ++y) {
            for (UINT x = 0; x < image.Width(); ++x)
                indices.push_back(IndexAt(image, x, y));
        }
        EXPECT_EQ(indices, c.indices);
    }
}

TEST(BmpDecoder, UnusedBitsOfStoredRowsAreCleared) {
    // pal1.bmp rows hold 127 indices in 16 bytes: the last byte's low bit is padding.
    std::vector<BYTE> file = ReadWholeFile(BmpSuiteFile("g", "pal1.bmp"));
    for (UINT y = 0; y < 64; ++y)
        file[GetDword(file, kPixelOffset) + 16 * y + 15] |= 1;
    ImageBuffer image;
    ASSERT_EQ(DecodeBmp(file.data(), file.size(), image), Ok);
    for (UINT y = 0; y < 64; ++y)
        EXPECT_EQ(image.Row(y)[15] & 1, 0) << "row " << y;

    // Some of its 5-5-5 words have the unused top bit set.
    file = ReadWholeFile(BmpSuiteFile("q", "rgb16faketrns.bmp"));
    ASSERT_EQ(DecodeBmp(file.data(), file.size(), image), Ok);
    for (UINT y = 0; y < 64; ++y) {
        for (UINT x = 0; x < 127; ++x)
            ASSERT_LT(image.Row(y)[2 * x + 1], 0x80) << x << ", " << y;
    }
}

TEST(BmpDecoder, BitFieldChannelsRoundToTheNearest8BitValue) {
    // clang-format off
    const std::vector<BYTE> file = {
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 66, 0, 0, 0,   // 70 bytes, pixels at 66
        40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0,              // 40-byte header, 1 x 1
        1, 0, 32, 0, 3, 0, 0, 0, 0, 0, 0, 0,              // 1 plane, 32 bpp, BI_BITFIELDS
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   // no density, no colour table
        0, 0, 0xF0, 0x3F, 0, 0xFC, 0x0F, 0, 0xFF, 3, 0, 0,  // 10-bit red, green, blue masks
        0x03, 0x00, 0xF8, 0x3F,                           // red 1023, green 512, blue 3
    };
    // clang-format on
    ImageBuffer image;
    ASSERT_EQ(DecodeBmp(file.data(), file.size(), image), Ok);
    EXPECT_EQ(image.Format(), PixelFormat32bppRGB);
    // 1023 -> 255, 512 -> 127.6 -> 128, 3 -> 0.75 -> 1; the fourth byte is opaque.
    EXPECT_EQ(image.Row(0)[0], 1);
    EXPECT_EQ(image.Row(0)[1], 128);
    EXPECT_EQ(image.Row(0)[2], 255);
    EXPECT_EQ(image.Row(0)[3], 255);
}
