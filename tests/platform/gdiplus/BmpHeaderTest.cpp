// Header checks of the BMP decoder: each defect, made by patching a sound
// file, gives its own status and leaves no picture behind.
#include <gtest/gtest.h>

#include "platform/gdiplus/BmpDecoder.h"
#include "tests/platform/gdiplus/BmpTestSupport.h"

namespace {

using namespace bmp_field;

constexpr size_t kCut = SIZE_MAX;  // a patch at kCut keeps only `value` bytes

struct Patch {
    size_t offset;
    DWORD value;
    int width = 4;
};

struct HeaderCase {
    const char* defect;
    const char* base;  // a g/ file
    std::vector<Patch> patches;
    Status expected;
};

// Defects that a file of the suite's b/ folder shows are tested there.
// pal8.bmp: 127 x 64, 252 colours, pixels at 1062, rows of 128 bytes, 9254 bytes.
const HeaderCase kHeaderCases[] = {
    {"no BM signature", "pal8.bmp", {{0, 'X', 1}}, GenericError},
    {"shorter than the file header", "pal8.bmp", {{kCut, 13}}, GenericError},
    {"header size 41", "pal8.bmp", {{kHeaderSize, 41}}, GenericError},
    {"header past the end of the file", "pal8.bmp", {{kCut, 40}}, GenericError},
    {"zero width", "pal8.bmp", {{kWidth, 0}}, GenericError},
    {"zero height", "pal8.bmp", {{kHeight, 0}}, GenericError},
    {"height INT32_MIN", "pal8.bmp", {{kHeight, 0x80000000}}, GenericError},
    {"2 bpp", "pal8.bmp", {{kBitCount, 2, 2}}, NotImplemented},
    {"64 bpp", "pal8.bmp", {{kBitCount, 64, 2}}, NotImplemented},
    {"embedded JPEG", "pal8.bmp", {{kCompression, BI_JPEG}}, NotImplemented},
    {"embedded PNG", "pal8.bmp", {{kCompression, BI_PNG}}, NotImplemented},
    {"compression 7", "pal8.bmp", {{kCompression, 7}}, GenericError},
    {"OS/2 Huffman 1D", "pal8.bmp", {{kHeaderSize, 64}, {kCompression, 3}}, NotImplemented},
    {"OS/2 RLE24", "pal8.bmp", {{kHeaderSize, 64}, {kCompression, 4}}, NotImplemented},
    {"RLE8 at 24 bpp", "pal8rle.bmp", {{kBitCount, 24, 2}}, GenericError},
    {"bit fields at 8 bpp", "pal8.bmp", {{kCompression, BI_BITFIELDS}}, GenericError},
    {"no room for a colour table", "pal8.bmp", {{kClrUsed, 0}, {kPixelOffset, 54}}, GenericError},
    {"pixel offset inside the header", "pal8.bmp", {{kPixelOffset, 20}}, GenericError},
    {"pixel offset past the file", "pal8.bmp", {{kPixelOffset, 9255}}, GenericError},
    {"last row's padding missing", "pal8.bmp", {{kFileSize, 0}, {kSizeImage, 0}, {kCut, 9253}}, Ok},
    {"last row cut short",
     "pal8.bmp",
     {{kFileSize, 0}, {kSizeImage, 0}, {kCut, 9252}},
     GenericError},
    {"red and green masks overlap", "rgb16-565.bmp", {{kMasks, 0xFC00}}, GenericError},
    {"red mask not contiguous", "rgb16-565.bmp", {{kMasks, 0xF400}}, GenericError},
    {"blue mask beyond 16 bits", "rgb16-565.bmp", {{kMasks + 8, 0x1F0000}}, GenericError},
    {"masks past the end of the file", "rgb16-565.bmp", {{kCut, 60}}, GenericError},
};

}  // namespace

TEST(BmpHeader, EachHeaderDefectGivesItsStatusAndNoPicture) {
    for (const HeaderCase& c : kHeaderCases) {
        SCOPED_TRACE(c.defect);
        std::vector<BYTE> file = ReadWholeFile(BmpSuiteFile("g", c.base));
        for (const Patch& p : c.patches) {
            if (p.offset == kCut) {
                file.resize(p.value);
            } else {
                PutDword(file, p.offset, p.value, p.width);
            }
        }
        // The buffer already holds a picture, which a failure must take away.
        ImageBuffer out;
        ASSERT_EQ(out.Allocate(PixelFormat24bppRGB, 1, 1), Ok);
        EXPECT_EQ(DecodeBmp(file.data(), file.size(), out), c.expected);
        EXPECT_EQ(HoldsNoPicture(out), c.expected != Ok);
    }
}

TEST(BmpHeader, SniffLooksOnlyAtTheSignature) {
    const BYTE bmp[] = {'B', 'M'};
    const BYTE png[] = {0x89, 'P', 'N', 'G'};
    EXPECT_TRUE(SniffBmp(bmp, sizeof(bmp)));
    EXPECT_FALSE(SniffBmp(bmp, 1));
    EXPECT_FALSE(SniffBmp(png, sizeof(png)));
}
