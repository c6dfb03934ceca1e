// The image code on the system's GDI+: the encoder that an extension
// chooses, decoding files that other programs wrote, and saving.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Win32Api.h"
#include "image/CDibImage.h"
#include "image/EncoderChoice.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

namespace {

// A picture as colours, row 0 at the top.
struct Picture {
    LONG width = 0;
    LONG height = 0;
    std::vector<COLORREF> pixels;
};

unsigned ReadLe(const Bytes& file, size_t at, int bytes) {
    unsigned value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | file.at(at + static_cast<size_t>(i));
    return value;
}

// A bottom-up 24-bit bitmap with a 40-byte header, read byte by byte
// without the platform: the reference the decoded files are held against.
Picture ReadPlainBitmap(const Bytes& file) {
    Picture picture;
    picture.width = static_cast<LONG>(ReadLe(file, 18, 4));
    picture.height = static_cast<LONG>(ReadLe(file, 22, 4));
    const size_t offset = ReadLe(file, 10, 4);
    const size_t stride = (3 * static_cast<size_t>(picture.width) + 3) / 4 * 4;
    for (LONG y = 0; y < picture.height; ++y) {
        const size_t row = offset + static_cast<size_t>(picture.height - 1 - y) * stride;
        for (LONG x = 0; x < picture.width; ++x) {
            const size_t at = row + 3 * static_cast<size_t>(x);
            picture.pixels.push_back(RGB(file.at(at + 2), file.at(at + 1), file.at(at)));
        }
    }
    return picture;
}

Picture PixelsOf(CDibImage& image) {
    Picture picture{image.width(), image.height(), {}};
    for (LONG y = 0; y < image.height(); ++y) {
        for (LONG x = 0; x < image.width(); ++x)
            picture.pixels.push_back(image.GetPixel(x, y));
    }
    return picture;
}

// How many pixels differ; the first difference is described.
int Differences(const Picture& expected, const Picture& actual, std::string& first) {
    if (expected.width != actual.width || expected.height != actual.height) {
        first = "size " + std::to_string(actual.width) + "x" + std::to_string(actual.height);
        return -1;
    }
    int count = 0;
    for (size_t i = 0; i < expected.pixels.size(); ++i) {
        if (expected.pixels[i] == actual.pixels[i])
            continue;
        if (count++ == 0) {
            char text[64];
            std::snprintf(text, sizeof(text), "at %zu: %06lX, not %06lX", i,
                          static_cast<unsigned long>(actual.pixels[i]),
                          static_cast<unsigned long>(expected.pixels[i]));
            first = text;
        }
    }
    return count;
}

}  // namespace

// The same 37 x 23 picture, written losslessly by several programs.
TEST(WindowsImageTest, LosslessFilesOfOtherProgramsDecodeToTheSamePixelsAtTheirDepth) {
    const Picture reference =
        ReadPlainBitmap(ReadFileBytes(TestDataPath("interop/bmp-pil-v3-24.bmp")));
    ASSERT_EQ(reference.pixels.size(), 37u * 23u);
    const char* const files[] = {
        "bmp-pil-v3-24.bmp",    "bmp-gm-v3-24.bmp",        "bmp-im-v3-24.bmp",
        "bmp-im-v5-24.bmp",     "bmp-pbm-v3-24.bmp",       "bmp-gm-core-24.bmp",
        "png-pil-rgb-8.png",    "png-gm-rgb-8-adam7.png",  "png-vips-rgb-8-adam7.png",
        "tiff-pil-rgb-lzw.tif", "tiff-tiffcp-rgb-lzw.tif", "tiff-gm-rgb-packbits.tif",
    };
    for (const char* file : files) {
        SCOPED_TRACE(file);
        CDibImage image;
        ASSERT_EQ(image.Load(TestDataPath(std::string("interop/") + file).c_str()), S_OK);
        EXPECT_EQ(image.bitsPerPixel(), 24);
        std::string first;
        EXPECT_EQ(Differences(reference, PixelsOf(image), first), 0) << first;
    }
}

// Each depth the job writes, in each format that holds it, read back.
TEST(WindowsImageTest, ASavedImageReadsBackWithTheSamePixelsAndTheFormatItsExtensionNames) {
    const struct {
        const char* name;
        WORD bitsPerPixel;
        const char* signature;  // the file's first bytes
        WORD readBack;          // the depth it decodes at
    } cases[] = {
        {"a.bmp", 24, "BM", 24},    {"a.BMP", 8, "BM", 8},    {"a.dib", 4, "BM", 4},
        {"a.bmp", 1, "BM", 1},      {"a.bmp", 32, "BM", 32},  {"a.png", 24, "\x89PNG", 24},
        {"a.png", 8, "\x89PNG", 8}, {"a.tif", 24, "II*", 24}, {"a.tiff", 8, "II*", 8},
        {"a.gif", 8, "GIF8", 8},
    };
    const COLORREF colours[] = {RGB(255, 0, 128), RGB(0, 0, 0), RGB(10, 200, 30),
                                RGB(255, 255, 255)};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " at " << c.bitsPerPixel << " bpp");
        TempFolder folder;
        CDibImage image;
        ASSERT_TRUE(image.Create(7, 5, c.bitsPerPixel, BI_RGB, nullptr, 0));
        const UINT entries = c.bitsPerPixel == 1 ? 2 : 4;
        if (c.bitsPerPixel <= 8) {
            std::vector<RGBQUAD> table;
            for (UINT i = 0; i < entries; ++i)
                table.push_back(
                    {GetBValue(colours[i]), GetGValue(colours[i]), GetRValue(colours[i]), 0});
            image.SetColorTable(0, entries, table.data());
        }
        Picture drawn{7, 5, {}};
        for (LONG y = 0; y < 5; ++y) {
            for (LONG x = 0; x < 7; ++x) {
                const COLORREF colour = colours[(x + 2 * y) % entries];
                image.SetPixel(x, y, colour);
                drawn.pixels.push_back(colour);
            }
        }
        const std::string path = folder.File(c.name);
        ASSERT_EQ(image.Save(path.c_str(), GUID_NULL), S_OK);
        const Bytes file = ReadFileBytes(path);
        EXPECT_EQ(std::string(file.begin(), file.begin() + std::strlen(c.signature)), c.signature);
        CDibImage readBack;
        ASSERT_EQ(readBack.Load(path.c_str()), S_OK);
        EXPECT_EQ(readBack.bitsPerPixel(), c.readBack);
        std::string first;
        EXPECT_EQ(Differences(drawn, PixelsOf(readBack), first), 0) << first;
    }
}

TEST(WindowsImageTest, OnlyAnExtensionThatTheSystemHasAnEncoderForIsWritable) {
    const struct {
        const char* path;
        bool writable;
    } cases[] = {
        {"a.bmp", true},       {"a.BMP", true},  {"a.dib", true},        {"a.rle", true},
        {"a.png", true},       {"a.jpg", true},  {"a.JPEG", true},       {"a.jpe", true},
        {"a.jfif", true},      {"a.gif", true},  {"a.tif", true},        {"a.tiff", true},
        {"a.webp", false},     {"a.txt", false}, {"noextension", false}, {"a.bmp.bak", false},
        {"dir.png\\a", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HasEncoderForPath(c.path), c.writable) << c.path;
}
