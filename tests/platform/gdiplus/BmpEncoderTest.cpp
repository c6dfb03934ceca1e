// The BMP encoder: every depth it writes reads back through our decoder and
// through an independent one (Pillow) as the picture it was given.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/gdiplus/BmpDecoder.h"
#include "platform/gdiplus/BmpEncoder.h"
#include "tests/platform/gdiplus/BmpTestSupport.h"

namespace {

using namespace bmp_field;

constexpr UINT kPictureWidth = 47;  // odd sizes leave padding in every row
constexpr UINT kPictureHeight = 33;

struct Depth {
    PixelFormat format;
    UINT paletteEntries;  // 0 for direct colour
    WORD bitCount;
    DWORD compression;
    DWORD colorsUsed;
};

const Depth kDepths[] = {
    {PixelFormat1bppIndexed, 2, 1, BI_RGB, 0},        {PixelFormat4bppIndexed, 16, 4, BI_RGB, 0},
    {PixelFormat4bppIndexed, 5, 4, BI_RGB, 5},        {PixelFormat8bppIndexed, 256, 8, BI_RGB, 0},
    {PixelFormat8bppIndexed, 20, 8, BI_RGB, 20},      {PixelFormat16bppRGB555, 0, 16, BI_RGB, 0},
    {PixelFormat16bppRGB565, 0, 16, BI_BITFIELDS, 0}, {PixelFormat24bppRGB, 0, 24, BI_RGB, 0},
    {PixelFormat32bppRGB, 0, 32, BI_RGB, 0},          {PixelFormat32bppARGB, 0, 32, BI_RGB, 0},
};

// A different value in every byte; indices cycle through the whole colour
// table, and 5-5-5 words keep their unused top bit clear.
ImageBuffer Gradient(const Depth& d) {
    ImageBuffer image;
    EXPECT_EQ(image.Allocate(d.format, kPictureWidth, kPictureHeight), Ok);
    const UINT bits = GetPixelFormatSize(d.format);
    for (UINT y = 0; y < kPictureHeight; ++y) {
        BYTE* row = image.Row(y);
        for (UINT i = 0; d.paletteEntries == 0 && i < kPictureWidth * bits / 8; ++i) {
            row[i] = static_cast<BYTE>((7 * i + 13 * y) & (bits == 16 && i % 2 ? 0x7F : 0xFF));
        }
        for (UINT x = 0; d.paletteEntries != 0 && x < kPictureWidth; ++x) {
            const UINT index = (x + 3 * y) % d.paletteEntries;
            row[x * bits / 8] |= static_cast<BYTE>(index << (8 - bits - x * bits % 8));
        }
    }
    for (UINT i = 0; i < d.paletteEntries; ++i)
        image.Palette().push_back(0xFF000000u | i * 0x9C3A71);
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
        SCOPED_TRACE(testing::Message() << std::hex << d.format << " with " << d.paletteEntries);
        const ImageBuffer image = Gradient(d);
        const std::vector<BYTE> file = Encode(image.View());
        ASSERT_GE(file.size(), 54u);
        EXPECT_EQ(GetDword(file, kFileSize), file.size());
        EXPECT_EQ(GetDword(file, kHeaderSize), 40u);
        EXPECT_EQ(GetDword(file, kHeight), kPictureHeight);  // positive: bottom-up
        EXPECT_EQ(file[kBitCount], d.bitCount);
        EXPECT_EQ(GetDword(file, kCompression), d.compression);
        EXPECT_EQ(GetDword(file, kClrUsed), d.colorsUsed);

        ImageBuffer decoded;
        ASSERT_EQ(DecodeBmp(file.data(), file.size(), decoded), Ok);
        // 32-bit BI_RGB has no alpha for readers: ours keeps the alpha bytes as
        // the fourth bytes of 32bppRGB.
        EXPECT_EQ(decoded.Format(),
                  d.format == PixelFormat32bppARGB ? PixelFormat32bppRGB : d.format);
        EXPECT_EQ(decoded.Palette(), image.Palette());
        for (UINT y = 0; y < kPictureHeight; ++y) {
            ASSERT_EQ(
                0, std::memcmp(decoded.Row(y), image.Row(y), (kPictureWidth * d.bitCount + 7) / 8))
                << "row " << y;
        }

        // The same rows stored last row first, addressed with a negative stride.
        std::vector<BYTE> flipped(image.SizeInBytes());
        for (UINT y = 0; y < kPictureHeight; ++y) {
            std::memcpy(&flipped[(kPictureHeight - 1 - y) * size_t(image.Stride())], image.Row(y),
                        image.Stride());
        }
        ImageView bottomUp = image.View();
        bottomUp.scan0 = &flipped[(kPictureHeight - 1) * size_t(image.Stride())];
        bottomUp.stride = -image.Stride();
        EXPECT_EQ(Encode(bottomUp), file);
    }
}

TEST(BmpEncoder, IndicesPastTheColourTableGetBlackEntries) {
    ImageBuffer image;  // index 4 with a two-entry table reads as black
    ASSERT_EQ(image.Allocate(PixelFormat8bppIndexed, 3, 1), Ok);
    image.Row(0)[2] = 4;
    image.Palette() = {0xFF102030, 0xFF405060};
    const std::vector<BYTE> file = Encode(image.View());
    EXPECT_EQ(GetDword(file, kClrUsed), 5u);
    ImageBuffer decoded;
    ASSERT_EQ(DecodeBmp(file.data(), file.size(), decoded), Ok);
    EXPECT_EQ(decoded.Palette().size(), 5u);
    EXPECT_EQ(ArgbPixels(decoded.View()), ArgbPixels(image.View()));
}

TEST(BmpEncoder, PicturesWithoutABmpLayoutAreRefusedAndNothingWritten) {
    const BYTE pixels[8] = {};
    const ImageView views[] = {
        {PixelFormatUndefined, 1, 1, 8, pixels},     {PixelFormat16bppGrayScale, 1, 1, 8, pixels},
        {PixelFormat16bppARGB1555, 1, 1, 8, pixels}, {PixelFormat32bppPARGB, 1, 1, 8, pixels},
        {PixelFormat48bppRGB, 1, 1, 8, pixels},      {PixelFormat64bppARGB, 1, 1, 8, pixels},
        {PixelFormat24bppRGB, 0, 1, 4, pixels},      {PixelFormat24bppRGB, 1, 1, 4, nullptr},
    };
    for (const ImageView& view : views) {
        std::vector<BYTE> out = {1, 2, 3};
        EXPECT_EQ(EncodeBmp(view, out), InvalidParameter) << std::hex << view.format;
        EXPECT_EQ(out, (std::vector<BYTE>{1, 2, 3}));
    }
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
    for (size_t i = 0; i < std::size(kDepths); ++i) {
        const std::string path = std::string(folder) + "/" + std::to_string(i) + ".bmp";
        const std::vector<BYTE> file = Encode(Gradient(kDepths[i]).View());
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), file.size());
        command += " " + path;
    }
    ASSERT_EQ(std::system(command.c_str()), 0);

    for (size_t i = 0; i < std::size(kDepths); ++i) {
        SCOPED_TRACE(testing::Message() << std::hex << kDepths[i].format);
        const std::vector<BYTE> rgba =
            ReadWholeFile(std::string(folder) + "/" + std::to_string(i) + ".bmp.rgba");
        const std::vector<ARGB> expected = ArgbPixels(Gradient(kDepths[i]).View());
        ASSERT_EQ(rgba.size(), expected.size() * 4);
        // Pillow widens 5 and 6-bit channels by scaling, we by repeating bits.
        const int slack = kDepths[i].bitCount == 16 ? 1 : 0;
        for (size_t p = 0; p < rgba.size(); ++p) {
            // 32-bit BI_RGB has no alpha for other readers: Pillow shows it opaque.
            const int shift = (p % 4 == 3) ? 24 : 16 - 8 * (p % 4);
            const int want = p % 4 == 3 ? 255 : (expected[p / 4] >> shift) & 0xFF;
            ASSERT_LE(std::abs(rgba[p] - want), slack) << "byte " << p;
        }
    }
    std::filesystem::remove_all(folder);
}
