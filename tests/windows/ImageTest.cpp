// The image code on the system's GDI+: decoding files that other programs
// wrote, saving at each depth, and the encoders that the extensions choose.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Win32Api.h"
#include "image/CDibImage.h"
#include "image/EncoderChoice.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

namespace {

unsigned ReadLe(const Bytes& file, size_t at) {
    return file.at(at) | file.at(at + 1) << 8 | file.at(at + 2) << 16 |
           unsigned(file.at(at + 3)) << 24;
}

// The colours of a bottom-up 24-bit bitmap with a 40-byte header, row 0 at
// the top, read byte by byte without the platform: the reference that the
// decoded files are held against.
std::vector<COLORREF> ReadPlainBitmap(const Bytes& file) {
    const size_t width = ReadLe(file, 18), height = ReadLe(file, 22), offset = ReadLe(file, 10);
    std::vector<COLORREF> pixels;
    for (size_t y = 0; y < height; ++y) {
        const size_t row = offset + (height - 1 - y) * ((3 * width + 3) / 4 * 4);
        for (size_t at = row; at < row + 3 * width; at += 3)
            pixels.push_back(RGB(file.at(at + 2), file.at(at + 1), file.at(at)));
    }
    return pixels;
}

std::vector<COLORREF> PixelsOf(CDibImage& image) {
    std::vector<COLORREF> pixels;
    for (LONG y = 0; y < image.height(); ++y) {
        for (LONG x = 0; x < image.width(); ++x)
            pixels.push_back(image.GetPixel(x, y));
    }
    return pixels;
}

}  // namespace

// The same 37 x 23 picture, written losslessly by several programs.
TEST(WindowsImageTest, LosslessFilesOfOtherProgramsDecodeToTheSamePixelsAtTheirDepth) {
    const std::vector<COLORREF> reference =
        ReadPlainBitmap(ReadFileBytes(TestDataPath("interop/bmp-pil-v3-24.bmp")));
    ASSERT_EQ(reference.size(), 37u * 23u);
    for (const char* file :
         {"bmp-pil-v3-24.bmp", "bmp-gm-v3-24.bmp", "bmp-im-v3-24.bmp", "bmp-im-v5-24.bmp",
          "bmp-pbm-v3-24.bmp", "bmp-gm-core-24.bmp", "png-pil-rgb-8.png", "png-gm-rgb-8-adam7.png",
          "png-vips-rgb-8-adam7.png", "tiff-pil-rgb-lzw.tif", "tiff-tiffcp-rgb-lzw.tif",
          "tiff-gm-rgb-packbits.tif"}) {
        CDibImage image;
        ASSERT_EQ(image.Load(TestDataPath(std::string("interop/") + file).c_str()), S_OK) << file;
        EXPECT_EQ(image.bitsPerPixel(), 24) << file;
        EXPECT_EQ(PixelsOf(image), reference) << file;
    }
}

// Each depth the job writes, in each format that holds it, read back.
TEST(WindowsImageTest, ASavedImageReadsBackWithTheSamePixelsAndTheFormatItsExtensionNames) {
    const struct {
        const char* name;
        WORD bitsPerPixel;
        const char* signature;  // the file's first bytes
    } cases[] = {
        {"a.bmp", 24, "BM"},     {"a.BMP", 8, "BM"},   {"a.dib", 4, "BM"},
        {"a.bmp", 1, "BM"},      {"a.bmp", 32, "BM"},  {"a.png", 24, "\x89PNG"},
        {"a.png", 8, "\x89PNG"}, {"a.tif", 24, "II*"}, {"a.tiff", 8, "II*"},
        {"a.gif", 8, "GIF8"},
    };
    const COLORREF colours[] = {RGB(255, 0, 128), RGB(0, 0, 0), RGB(10, 200, 30),
                                RGB(255, 255, 255)};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " at " << c.bitsPerPixel << " bpp");
        TempFolder folder;
        CDibImage image;
        ASSERT_TRUE(image.Create(7, 5, c.bitsPerPixel, BI_RGB, nullptr, 0));
        const UINT entries = c.bitsPerPixel == 1 ? 2 : 4;
        RGBQUAD table[4];
        for (UINT i = 0; i < entries; ++i)
            table[i] = {GetBValue(colours[i]), GetGValue(colours[i]), GetRValue(colours[i]), 0};
        if (c.bitsPerPixel <= 8)
            image.SetColorTable(0, entries, table);
        std::vector<COLORREF> drawn;
        for (LONG y = 0; y < 5; ++y) {
            for (LONG x = 0; x < 7; ++x) {
                drawn.push_back(colours[(x + 2 * y) % entries]);
                image.SetPixel(x, y, drawn.back());
            }
        }
        const std::string path = folder.File(c.name);
        ASSERT_EQ(image.Save(path.c_str(), GUID_NULL), S_OK);
        const Bytes file = ReadFileBytes(path);
        EXPECT_EQ(std::string(file.begin(), file.begin() + std::strlen(c.signature)), c.signature);
        CDibImage readBack;
        ASSERT_EQ(readBack.Load(path.c_str()), S_OK);
        EXPECT_EQ(readBack.bitsPerPixel(), c.bitsPerPixel);
        EXPECT_EQ(PixelsOf(readBack), drawn);
    }
}

TEST(WindowsImageTest, OnlyAnExtensionThatTheSystemHasAnEncoderForIsWritable) {
    for (const char* path : {"a.bmp", "a.BMP", "a.dib", "a.rle", "a.png", "a.jpg", "a.JPEG",
                             "a.jpe", "a.jfif", "a.gif", "a.tif", "a.tiff"})
        EXPECT_TRUE(HasEncoderForPath(path)) << path;
    for (const char* path : {"a.webp", "a.txt", "noextension", "a.bmp.bak", "dir.png\\a"})
        EXPECT_FALSE(HasEncoderForPath(path)) << path;
}
