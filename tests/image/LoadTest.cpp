#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/CDibImage.h"
#include "platform/gdiplus/GdiplusStartup.h"
#include "platform/win32/Gdi.h"
#include "tests/support/RawTestCodec.h"
#include "tests/support/TempFolder.h"

namespace {

using Bytes = std::vector<BYTE>;

struct MappingCase {
    const char* format_name;
    PixelFormat format;
    UINT width;
    std::vector<ARGB> palette;
    std::vector<Bytes> rows;  // two rows, as the decoder gives them
    int depth;                // of the section
    bool alpha;
    std::vector<Bytes> expected;  // the section's rows, pixel bytes only
};

// Two-row pictures in every format the decoders can report. Copied rows keep
// every byte (the spare byte of 32bppRGB included); drawn rows are converted
// to 32 bits, with 255 in the spare byte of 32bppRGB.
const MappingCase kMapping[] = {
    {"1bppIndexed",
     PixelFormat1bppIndexed,
     10,
     {0x80FF0000, 0xFF00FF00},
     {{0xB0, 0x40}, {0x01, 0x80}},
     1,
     false,
     {{0xB0, 0x40}, {0x01, 0x80}}},
    {"4bppIndexed",
     PixelFormat4bppIndexed,
     3,
     {0xFF000000, 0xFF111111, 0xFF222222, 0xFF333333, 0xFF444444, 0xFF555555, 0xFF666666,
      0xFF777777, 0xFF888888, 0xFF999999, 0xFFAAAAAA, 0xFFBBBBBB, 0xFFCCCCCC, 0xFFDDDDDD,
      0xFFEEEEEE, 0xFFFFFFFF},
     {{0x1F, 0x20}, {0xF1, 0x30}},
     4,
     false,
     {{0x1F, 0x20}, {0xF1, 0x30}}},
    {"8bppIndexed",
     PixelFormat8bppIndexed,
     2,
     {0xFF102030, 0x00405060, 0xFF708090},
     {{0, 2}, {1, 200}},
     8,
     false,
     {{0, 2}, {1, 200}}},
    {"16bppRGB555",
     PixelFormat16bppRGB555,
     2,
     {},
     {{0x00, 0x7C, 0x1F, 0x00}, {0xE0, 0x03, 0, 0}},
     16,
     false,
     {{0x00, 0x7C, 0x1F, 0x00}, {0xE0, 0x03, 0, 0}}},
    {"16bppRGB565",
     PixelFormat16bppRGB565,
     2,
     {},
     {{0x00, 0xF8, 0xE0, 0x07}, {0x1F, 0, 0, 0}},
     16,
     false,
     {{0x00, 0xF8, 0xE0, 0x07}, {0x1F, 0, 0, 0}}},
    {"24bppRGB",
     PixelFormat24bppRGB,
     3,
     {},
     {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {9, 8, 7, 6, 5, 4, 3, 2, 1}},
     24,
     false,
     {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {9, 8, 7, 6, 5, 4, 3, 2, 1}}},
    {"32bppRGB",
     PixelFormat32bppRGB,
     1,
     {},
     {{1, 2, 3, 0x5A}, {4, 5, 6, 0xA5}},
     32,
     false,
     {{1, 2, 3, 0x5A}, {4, 5, 6, 0xA5}}},
    {"32bppARGB",
     PixelFormat32bppARGB,
     1,
     {},
     {{1, 2, 3, 0x80}, {4, 5, 6, 0}},
     32,
     true,
     {{1, 2, 3, 0x80}, {4, 5, 6, 0}}},
    {"16bppGrayScale",
     PixelFormat16bppGrayScale,
     1,
     {},
     {{0x34, 0x12}, {0xFF, 0xFF}},
     32,
     false,
     {{0x12, 0x12, 0x12, 0xFF}, {0xFF, 0xFF, 0xFF, 0xFF}}},
    {"48bppRGB",
     PixelFormat48bppRGB,
     1,
     {},
     {{0, 0x10, 0, 0x20, 0, 0x30}, {0xFF, 0, 0, 0, 0, 0}},
     32,
     false,
     {{0x10, 0x20, 0x30, 0xFF}, {0, 0, 0, 0xFF}}},
    {"16bppARGB1555",
     PixelFormat16bppARGB1555,
     1,
     {},
     {{0x00, 0xFC}, {0x1F, 0x00}},
     32,
     true,
     {{0, 0, 0xFF, 0xFF}, {0xFF, 0, 0, 0}}},
    {"32bppPARGB",
     PixelFormat32bppPARGB,
     1,
     {},
     {{0x40, 0x20, 0x10, 0x80}, {9, 9, 9, 0}},
     32,
     true,
     {{0x80, 0x40, 0x20, 0x80}, {0, 0, 0, 0}}},
    {"64bppARGB",
     PixelFormat64bppARGB,
     1,
     {},
     {{0, 0x11, 0, 0x22, 0, 0x33, 0, 0x44}, {0, 0, 0, 0, 0, 0, 0, 0}},
     32,
     true,
     {{0x11, 0x22, 0x33, 0x44}, {0, 0, 0, 0}}},
    {"64bppPARGB",
     PixelFormat64bppPARGB,
     1,
     {},
     {{0, 0x20, 0, 0x20, 0, 0x20, 0, 0x80}, {0, 0, 0, 0, 0, 0, 0xFF, 0xFF}},
     32,
     true,
     {{0x40, 0x40, 0x40, 0x80}, {0, 0, 0, 0xFF}}},
};

RGBQUAD TableEntry(CDibImage& image, UINT index) {
    RGBQUAD entry{};
    GetDIBColorTable(image.BorrowDC(), index, 1, &entry);
    image.ReturnDC();
    return entry;
}

}  // namespace

TEST(LoadTest, EveryDecodedFormatMapsToItsSection) {
    RegisterRawTestCodec();
    TempFolder folder;
    for (const MappingCase& c : kMapping) {
        SCOPED_TRACE(c.format_name);
        const std::string path = folder.File(std::string(c.format_name) + ".rawtest");
        WriteFileBytes(path, MakeRawTestFile(c.format, c.width, 2, c.palette, c.rows));
        CDibImage image;
        ASSERT_EQ(image.Load(path.c_str()), S_OK);
        EXPECT_EQ(image.bitsPerPixel(), c.depth);
        EXPECT_EQ(image.hasAlpha(), c.alpha);
        EXPECT_EQ(image.width(), static_cast<LONG>(c.width));
        EXPECT_EQ(image.height(), 2);
        EXPECT_LT(image.pitch(), 0) << "sections are bottom-up";
        for (int r = 0; r < 2; ++r) {
            const BYTE* row = image.firstRow() + r * image.pitch();
            EXPECT_EQ(Bytes(row, row + c.expected[r].size()), c.expected[r]) << "row " << r;
        }
        if (c.depth <= 8) {
            // The palette without its alpha; entries beyond it stay black.
            for (UINT i = 0; i < (1u << c.depth); ++i) {
                const RGBQUAD e = TableEntry(image, i);
                const ARGB want = i < c.palette.size() ? (c.palette[i] & 0x00FFFFFF) : 0;
                EXPECT_EQ((DWORD(e.rgbRed) << 16) | (e.rgbGreen << 8) | e.rgbBlue, want) << i;
                EXPECT_EQ(e.rgbReserved, 0);
            }
        }
    }
}

TEST(LoadTest, FiveSixFiveSourcesReadBackAsTheirDecodedColours) {
    RegisterRawTestCodec();
    TempFolder folder;
    const std::string path = folder.File("565.rawtest");
    // Pure green and pure blue in 5-6-5.
    WriteFileBytes(path,
                   MakeRawTestFile(PixelFormat16bppRGB565, 2, 1, {}, {{0xE0, 0x07, 0x1F, 0x00}}));
    CDibImage image;
    ASSERT_EQ(image.Load(path.c_str()), S_OK);
    EXPECT_EQ(image.GetPixel(0, 0), RGB(0, 255, 0));
    EXPECT_EQ(image.GetPixel(1, 0), RGB(0, 0, 255));
}

TEST(LoadTest, RowPaddingOfTheSectionIsNotWritten) {
    RegisterRawTestCodec();
    TempFolder folder;
    const std::string path = folder.File("w3.rawtest");
    // Width 3 at 24 bits: 9 bytes a row, 3 bytes of padding.
    WriteFileBytes(path, MakeRawTestFile(PixelFormat24bppRGB, 3, 1, {},
                                         {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}));
    CDibImage image;
    ASSERT_EQ(image.Load(path.c_str()), S_OK);
    EXPECT_EQ(image.pitch(), -12);
    EXPECT_EQ(image.firstRow()[8], 0xFF);
    EXPECT_EQ(image.firstRow()[9], 0);
    EXPECT_EQ(image.firstRow()[11], 0);
}

TEST(LoadTest, FilesThatCannotBeDecodedLeaveTheImageEmpty) {
    RegisterRawTestCodec();
    TempFolder folder;
    WriteFileBytes(folder.File("text.bmp"), Bytes{'h', 'e', 'l', 'l', 'o'});
    WriteFileBytes(folder.File("empty.bmp"), Bytes{});
    WriteFileBytes(folder.File("short.rawtest"), Bytes{'R', 'A', 'W', 'T', 'E', 'S', 'T', '1', 1});
    const std::string paths[] = {folder.File("text.bmp"), folder.File("empty.bmp"),
                                 folder.File("short.rawtest"), folder.File("missing.bmp"),
                                 folder.Path()};
    for (const std::string& path : paths) {
        CDibImage image;
        EXPECT_EQ(image.Load(path.c_str()), E_FAIL) << path;
        EXPECT_EQ(image.section(), nullptr);
        EXPECT_EQ(image.width(), 0);
        EXPECT_EQ(image.bitsPerPixel(), 0);
    }
}

TEST(LoadTest, AFailedLibraryStartFailsTheLoad) {
    RegisterRawTestCodec();
    TempFolder folder;
    const std::string path = folder.File("a.rawtest");
    WriteFileBytes(path, MakeRawTestFile(PixelFormat24bppRGB, 1, 1, {}, {{1, 2, 3}}));
    ASSERT_FALSE(GdiplusIsRunning());
    gdiplus_testing::FailNextStartups(1);
    CDibImage image;
    EXPECT_EQ(image.Load(path.c_str()), E_FAIL);
    EXPECT_EQ(image.section(), nullptr);
    EXPECT_EQ(image.Load(path.c_str()), S_OK) << "the next load starts the library again";
}

TEST(LoadTest, PathsOfAnyLengthAndBytesLoadTheSameFile) {
    RegisterRawTestCodec();
    TempFolder folder;
    const Bytes file = MakeRawTestFile(PixelFormat24bppRGB, 1, 1, {}, {{7, 8, 9}});
    // 127 bytes convert in the inline buffer, 128 need the heap; names with
    // bytes that are not UTF-8 must reach the same file.
    const std::string base = folder.Path() + "/";
    std::vector<std::string> paths;
    for (size_t length : {127u, 128u}) {
        const size_t fill = length - base.size() - std::string(".rawtest").size();
        paths.push_back(base + std::string(fill, 'p') + ".rawtest");
    }
    paths.push_back(base + "caf\xC3\xA9 \xFF\xFE name.rawtest");
    paths.push_back(base + "back\\slash.rawtest");
    for (const std::string& path : paths) {
        WriteFileBytes(path, file);
        CDibImage image;
        EXPECT_EQ(image.Load(path.c_str()), S_OK) << path.size() << " bytes: " << path;
        EXPECT_EQ(image.GetPixel(0, 0), RGB(9, 8, 7));
    }
    EXPECT_EQ(paths[0].size(), 127u);
    EXPECT_EQ(paths[1].size(), 128u);
}

TEST(LoadTest, TheFileIsReleasedWhenLoadReturns) {
    RegisterRawTestCodec();
    TempFolder folder;
    const std::string path = folder.File("a.rawtest");
    WriteFileBytes(path, MakeRawTestFile(PixelFormat24bppRGB, 1, 1, {}, {{1, 2, 3}}));
    const int descriptorsBefore = ::dup(0);
    ::close(descriptorsBefore);
    CDibImage image;
    ASSERT_EQ(image.Load(path.c_str()), S_OK);
    // The lowest free descriptor is the same again: Load left none open.
    const int descriptorsAfter = ::dup(0);
    ::close(descriptorsAfter);
    EXPECT_EQ(descriptorsAfter, descriptorsBefore);
}
