// The BMP encoder: every depth it writes reads back through our decoder and
// through an independent one (Pillow) as the picture it was given.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/gdiplus/BmpDecoder.h"
#include "platform/gdiplus/BmpEncoder.h"
#include "tests/platform/gdiplus/BmpTestSupport.h"

namespace {

constexpr UINT kWidth = 47;  // odd sizes leave padding in every row
constexpr UINT kHeight = 33;

struct Depth {
    PixelFormat format;
    UINT paletteEntries;  // 0 for direct colour
    WORD bitCount;
    DWORD compression;
    DWORD colorsUsed;
    PixelFormat readBack;
};

const Depth kDepths[] = {
    {PixelFormat1bppIndexed, 2, 1, BI_RGB, 0, PixelFormat1bppIndexed},
    {PixelFormat4bppIndexed, 16, 4, BI_RGB, 0, PixelFormat4bppIndexed},
    {PixelFormat4bppIndexed, 5, 4, BI_RGB, 5, PixelFormat4bppIndexed},
    {PixelFormat8bppIndexed, 256, 8, BI_RGB, 0, PixelFormat8bppIndexed},
    {PixelFormat8bppIndexed, 20, 8, BI_RGB, 20, PixelFormat8bppIndexed},
    {PixelFormat16bppRGB555, 0, 16, BI_RGB, 0, PixelFormat16bppRGB555},
    {PixelFormat16bppRGB565, 0, 16, BI_BITFIELDS, 0, PixelFormat16bppRGB565},
    {PixelFormat24bppRGB, 0, 24, BI_RGB, 0, PixelFormat24bppRGB},
    {PixelFormat32bppRGB, 0, 32, BI_RGB, 0,
     PixelFormat32bppRGB},  // A 32-bit BI_RGB file has no alpha for readers: the alpha bytes come
                            // back
    // as the unused fourth bytes of 32bppRGB.
    {PixelFormat32bppARGB, 0, 32, BI_RGB, 0, PixelFormat32bppRGB},
};

// A gradient with a different value in every byte; indices cycle through the
// whole colour table and 5-5-5 words keep their unused top bit clear.
ImageBuffer Gradient(const Depth& d) {
    ImageBuffer image;
    EXPECT_EQ(image.Allocate(d.format, kWidth, kHeight), Ok);
    const UINT bits = GetPixelFormatSize(d.format);
    for (UINT y = 0; y < kHeight; ++y) {
        BYTE* row = image.Row(y);
        if (d.paletteEntries != 0) {
            for (UINT x = 0; x < kWidth; ++x) {
                const UINT index = (x + 3 * y) % d.paletteEntries;
                row[x * bits / 8] |= static_cast<BYTE>(index << (8 - bits - x * bits % 8));
            }
            continue;
        }
        for (UINT i = 0; i < kWidth * bits / 8; ++i)
            row[i] = static_cast<BYTE>(7 * i + 13 * y);
        if (d.format == PixelFormat16bppRGB555) {
            for (UINT x = 0; x < kWidth; ++x)
                row[2 * x + 1] &= 0x7F;
        }
    }
    for (UINT i = 0; i < d.paletteEntries; ++i) {
        image.Palette().push_back(0xFF000000u | (i * 0x00010203u * 37 & 0xFFFFFF));
    }
    return image;
}

std::vector<BYTE> Encode(const ImageView& view) {
    std::vector<BYTE> file;
    EXPECT_EQ(EncodeBmp(view, file), Ok);
    return file;
}

}  // namespace

TEST(BmpEncoder, EveryDepthReadsBackWithItsPixelsAndColourTable) {
    for (const Depth& d : kDepths) {
        SCOPED_TRACE(testing::Message() << std::hex << d.format << " with " << std::dec
                                        << d.paletteEntries << " colours");
        const ImageBuffer image = Gradient(d);
        const std::vector<BYTE> file = Encode(image.View());
        ASSERT_GE(file.size(), 54u);
        EXPECT_EQ(GetDword(file, bmp_field::kFileSize), file.size());
        EXPECT_EQ(GetDword(file, bmp_field::kHeaderSize), 40u);
        EXPECT_EQ(GetDword(file, bmp_field::kHeight), kHeight);  // positive: bottom-up
        EXPECT_EQ(file[bmp_field::kBitCount], d.bitCount);
        EXPECT_EQ(GetDword(file, bmp_field::kCompression), d.compression);
        EXPECT_EQ(GetDword(file, bmp_field::kClrUsed), d.colorsUsed);

        ImageBuffer decoded;
        ASSERT_EQ(DecodeBmp(file.data(), file.size(), decoded), Ok);
        EXPECT_EQ(decoded.Format(), d.readBack);
        EXPECT_EQ(decoded.Palette(), image.Palette());
        const size_t rowBytes = (kWidth * GetPixelFormatSize(d.format) + 7) / 8;
        for (UINT y = 0; y < kHeight; ++y) {
            ASSERT_EQ(0, std::memcmp(decoded.Row(y), image.Row(y), rowBytes)) << "row " << y;
        }
    }
}

TEST(BmpEncoder, BottomUpViewWritesTheSameFile) {
    for (const Depth& d : kDepths) {
        SCOPED_TRACE(testing::Message() << std::hex << d.format);
        const ImageBuffer image = Gradient(d);
        // The same rows, stored last row first and addressed with a negative stride.
        std::vector<BYTE> flipped(image.SizeInBytes());
        for (UINT y = 0; y < kHeight; ++y) {
            std::memcpy(&flipped[(kHeight - 1 - y) * size_t(image.Stride())], image.Row(y),
                        image.Stride());
        }
        ImageView view = image.View();
        view.scan0 = &flipped[(kHeight - 1) * size_t(image.Stride())];
        view.stride = -image.Stride();
        EXPECT_EQ(Encode(view), Encode(image.View()));
    }
}

TEST(BmpEncoder, IndicesPastTheColourTableGetBlackEntries) {
    // Index 4 with a two-entry table reads as black; the file's table says so.
    ImageBuffer image;
    ASSERT_EQ(image.Allocate(PixelFormat8bppIndexed, 3, 1), Ok);
    image.Row(0)[2] = 4;
    image.Palette() = {0xFF102030, 0xFF405060};
    const std::vector<BYTE> file = Encode(image.View());
    EXPECT_EQ(GetDword(file, bmp_field::kClrUsed), 5u);
    ImageBuffer decoded;
    ASSERT_EQ(DecodeBmp(file.data(), file.size(), decoded), Ok);
    EXPECT_EQ(decoded.Palette(),
              (std::vector<ARGB>{0xFF102030, 0xFF405060, 0xFF000000, 0xFF000000, 0xFF000000}));
    EXPECT_EQ(ArgbPixels(decoded.View()), ArgbPixels(image.View()));
}

TEST(BmpEncoder, PicturesWithoutABmpLayoutAreRefusedAndNothingWritten) {
    const PixelFormat formats[] = {PixelFormatUndefined,     PixelFormat16bppGrayScale,
                                   PixelFormat16bppARGB1555, PixelFormat32bppPARGB,
                                   PixelFormat48bppRGB,      PixelFormat64bppARGB};
    const BYTE pixels[8] = {};
    for (PixelFormat format : formats) {
        SCOPED_TRACE(testing::Message() << std::hex << format);
        const ImageView view{format, 1, 1, 8, pixels};
        std::vector<BYTE> out = {1, 2, 3};
        EXPECT_EQ(EncodeBmp(view, out), InvalidParameter);
        EXPECT_EQ(out, (std::vector<BYTE>{1, 2, 3}));
    }
    std::vector<BYTE> out;
    EXPECT_EQ(EncodeBmp(ImageView{PixelFormat24bppRGB, 0, 1, 4, pixels}, out), InvalidParameter);
    EXPECT_EQ(EncodeBmp(ImageView{PixelFormat24bppRGB, 1, 1, 4, nullptr}, out), InvalidParameter);
    EXPECT_TRUE(out.empty());
}

TEST(BmpEncoder, PillowReadsOurFilesAsThePicturesWeWrote) {
    if (std::system("/usr/bin/python3 -c 'import PIL' 2>/dev/null") != 0) {
        GTEST_SKIP() << "/usr/bin/python3 lacks PIL (python3-pil): no independent check";
    }
    char folder[] = "/tmp/dorvalune-bmp-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::string command =
        "/usr/bin/python3 -c 'import sys\nfrom PIL import Image\nfor p in sys.argv[1:]:\n"
        "    open(p + \".rgba\", \"wb\").write(Image.open(p).convert(\"RGBA\").tobytes())'";
    std::vector<std::string> paths;
    for (size_t i = 0; i < std::size(kDepths); ++i) {
        paths.push_back(std::string(folder) + "/depth" + std::to_string(i) + ".bmp");
        const std::vector<BYTE> file = Encode(Gradient(kDepths[i]).View());
        std::ofstream(paths.back(), std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), file.size());
        command += " " + paths.back();
    }
    ASSERT_EQ(std::system(command.c_str()), 0);

    for (size_t i = 0; i < std::size(kDepths); ++i) {
        SCOPED_TRACE(paths[i]);
        const std::vector<BYTE> rgba = ReadWholeFile(paths[i] + ".rgba");
        std::vector<ARGB> expected = ArgbPixels(Gradient(kDepths[i]).View());
        ASSERT_EQ(rgba.size(), expected.size() * 4);
        for (size_t p = 0; p < expected.size(); ++p) {
            // 32-bit BI_RGB has no alpha for other readers: Pillow shows it opaque.
            const ARGB want = expected[p] | 0xFF000000u;
            const ARGB got = (ARGB{rgba[4 * p + 3]} << 24) | (rgba[4 * p] << 16) |
                             (rgba[4 * p + 1] << 8) | rgba[4 * p + 2];
            // Pillow widens 5 and 6-bit channels by scaling, we by repeating bits.
            const int slack = GetPixelFormatSize(kDepths[i].format) == 16 ? 1 : 0;
            for (int shift = 0; shift < 32; shift += 8) {
                ASSERT_LE(std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)), slack)
                    << "pixel " << p;
            }
        }
    }
    std::filesystem::remove_all(folder);
}
