// JPEG decoding and encoding of good files: formats, colours, round trips,
// and agreement with PIL.
#include <gtest/gtest.h>

#include "platform/gdiplus/JpegCodec.h"
#include "tests/platform/gdiplus/JpegTestFiles.h"

namespace jpegtiff_test {
namespace {

Bytes Encode(const ImageBuffer& picture) {
    Bytes file;
    EXPECT_EQ(EncodeJpeg(picture.View(), file), Ok);
    return file;
}

TEST(JpegRoundTrip, SmoothPicturesComeBackAboveThirtyFiveDecibels) {
    struct Case {
        PixelFormat format;
        UINT width, height;
        PixelFormat decoded;
    } cases[] = {
        {PixelFormat24bppRGB, 47, 33, PixelFormat24bppRGB},
        {PixelFormat24bppRGB, 1, 1, PixelFormat24bppRGB},
        {PixelFormat24bppRGB, 160, 9, PixelFormat24bppRGB},
        {PixelFormat32bppRGB, 61, 17, PixelFormat24bppRGB},
        {PixelFormat32bppARGB, 33, 47, PixelFormat24bppRGB},
        {PixelFormat8bppIndexed, 47, 33, PixelFormat8bppIndexed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << std::hex << c.format << std::dec << " " << c.width << "x" << c.height);
        const ImageBuffer source = SmoothPicture(c.format, c.width, c.height);
        const Bytes file = Encode(source);
        KeepAsFuzzSeed("jpeg", "ours-" + std::to_string(c.format) + "-" + std::to_string(c.width),
                       file);
        ImageBuffer decoded;
        ASSERT_EQ(DecodeJpeg(file.data(), file.size(), decoded), Ok);
        EXPECT_EQ(decoded.Format(), c.decoded);
        EXPECT_GE(Psnr(ArgbPixels(source.View()), ArgbPixels(decoded.View())), 35.0);
    }
}

TEST(JpegEncoder, WritesGreyscaleExactlyWhenEveryPaletteColourIsGrey) {
    auto greyPalette = [](ImageBuffer picture) {
        for (ARGB& c : picture.Palette())
            c = 0xFF000000u | (c & 0xFF) * 0x010101u;
        return picture;
    };
    ImageBuffer oneColour = greyPalette(NoisePicture(PixelFormat8bppIndexed, 9, 9, 1));
    oneColour.Palette()[200] = 0xFF808081;  // off grey in blue alone
    struct Case {
        const char* name;
        ImageBuffer picture;
        bool grey;
    } cases[] = {
        {"1 bpp", greyPalette(NoisePicture(PixelFormat1bppIndexed, 9, 9, 1)), true},
        {"4 bpp", greyPalette(NoisePicture(PixelFormat4bppIndexed, 9, 9, 1)), true},
        {"8 bpp, 20 colours", greyPalette(NoisePicture(PixelFormat8bppIndexed, 9, 9, 1, 20)), true},
        {"16-bit grey", NoisePicture(PixelFormat16bppGrayScale, 9, 9, 1), true},
        {"one entry just off grey", std::move(oneColour), false},
        {"colour palette", NoisePicture(PixelFormat8bppIndexed, 9, 9, 1), false},
        {"RGB", NoisePicture(PixelFormat24bppRGB, 9, 9, 1), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = Encode(c.picture);
        ImageBuffer decoded;
        ASSERT_EQ(DecodeJpeg(file.data(), file.size(), decoded), Ok);
        EXPECT_EQ(decoded.Format(), c.grey ? PixelFormat8bppIndexed : PixelFormat24bppRGB);
    }
}

TEST(JpegDecoder, ReportsTheFormatAndColourOfEveryColourSpace) {
    // One flat colour per file, so only colour conversion decides the result.
    // Ink C 20%, M 60%, Y 0%, K 10% is R 183, G 92, B 229.
    static constexpr BYTE kInk[] = {51, 153, 0, 26}, kRgb[] = {200, 60, 30};
    auto rgb = [](UINT, UINT, int s) { return kRgb[s]; };
    auto ink = [](UINT, UINT, int s) { return kInk[s]; };
    auto adobeInk = [](UINT, UINT, int s) { return static_cast<BYTE>(255 - kInk[s]); };
    struct Case {
        const char* name;
        JpegRecipe recipe;
        PixelFormat format;
        ARGB colour;
    } cases[] = {
        {"grey",
         {.input = JCS_GRAYSCALE, .components = 1, .stored = JCS_GRAYSCALE},
         PixelFormat8bppIndexed,
         0xFF808080},
        {"YCbCr", {.sample = rgb}, PixelFormat24bppRGB, 0xFFC83C1E},
        {"YCbCr, progressive",
         {.progressive = true, .sample = rgb},
         PixelFormat24bppRGB,
         0xFFC83C1E},
        {"RGB", {.stored = JCS_RGB, .sample = rgb}, PixelFormat24bppRGB, 0xFFC83C1E},
        {"Adobe CMYK",
         {.input = JCS_CMYK, .components = 4, .stored = JCS_CMYK, .sample = adobeInk},
         PixelFormat24bppRGB,
         0xFFB75CE5},
        {"Adobe YCCK, progressive",
         {.input = JCS_CMYK,
          .components = 4,
          .stored = JCS_YCCK,
          .progressive = true,
          .sample = adobeInk},
         PixelFormat24bppRGB,
         0xFFB75CE5},
        {"plain CMYK",
         {.input = JCS_CMYK,
          .components = 4,
          .stored = JCS_CMYK,
          .adobeMarker = false,
          .sample = ink},
         PixelFormat24bppRGB,
         0xFFB75CE5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = WriteJpeg(c.recipe);
        KeepAsFuzzSeed("jpeg", std::string("libjpeg-") + c.name, file);
        ImageBuffer decoded;
        ASSERT_EQ(DecodeJpeg(file.data(), file.size(), decoded), Ok);
        EXPECT_EQ(decoded.Format(), c.format);
        if (c.format == PixelFormat8bppIndexed) {
            EXPECT_EQ(decoded.PaletteFlags(), PaletteFlagsGrayScale);
        }
        EXPECT_LE(
            MaxChannelDifference(ArgbPixels(decoded.View()), std::vector<ARGB>(256, c.colour)), 3);
    }
}

TEST(JpegPillow, ReadsOurFilesAsWeDo) {
    if (!PillowAvailable())
        GTEST_SKIP() << "/usr/bin/python3 cannot import PIL";
    for (const PixelFormat format : {PixelFormat24bppRGB, PixelFormat8bppIndexed}) {
        const Bytes file = Encode(SmoothPicture(format, 53, 37));
        ImageBuffer ours;
        ASSERT_EQ(DecodeJpeg(file.data(), file.size(), ours), Ok);
        std::string mode;
        std::vector<ARGB> theirs;
        ASSERT_TRUE(DecodeWithPillow(file, mode, theirs));
        EXPECT_EQ(mode, format == PixelFormat8bppIndexed ? "L" : "RGB");
        EXPECT_LE(MaxChannelDifference(ArgbPixels(ours.View()), theirs), 1);
    }
}

}  // namespace
}  // namespace jpegtiff_test
