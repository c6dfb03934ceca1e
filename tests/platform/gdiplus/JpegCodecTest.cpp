// JPEG decoding and encoding of good files: formats, colours, round trips,
// and agreement with PIL.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdiplus/JpegCodec.h"
#include "platform/gdiplus/PixelConversion.h"
#include "tests/platform/gdiplus/JpegTestFiles.h"
#include "tests/platform/gdiplus/JpegTiffTestSupport.h"

namespace jpegtiff_test {
namespace {

constexpr double kMinimumPsnr = 35.0;

Bytes Encode(const ImageBuffer& picture) {
    Bytes file;
    EXPECT_EQ(EncodeJpeg(picture.View(), file), Ok);
    return file;
}

std::string FormatName(PixelFormat format) {
    switch (format) {
        case PixelFormat1bppIndexed:
            return "1bppIndexed";
        case PixelFormat4bppIndexed:
            return "4bppIndexed";
        case PixelFormat8bppIndexed:
            return "8bppIndexed";
        case PixelFormat16bppGrayScale:
            return "16bppGrayScale";
        case PixelFormat16bppRGB555:
            return "16bppRGB555";
        case PixelFormat16bppRGB565:
            return "16bppRGB565";
        case PixelFormat24bppRGB:
            return "24bppRGB";
        case PixelFormat32bppRGB:
            return "32bppRGB";
        case PixelFormat32bppARGB:
            return "32bppARGB";
        case PixelFormat32bppPARGB:
            return "32bppPARGB";
        case PixelFormat48bppRGB:
            return "48bppRGB";
        case PixelFormat64bppARGB:
            return "64bppARGB";
        default:
            return std::to_string(format);
    }
}

bool IsGreyRampOf256(const ImageBuffer& picture) {
    if (picture.Palette().size() != 256)
        return false;
    for (UINT v = 0; v < 256; ++v) {
        if (picture.Palette()[v] != (0xFF000000u | (v << 16) | (v << 8) | v))
            return false;
    }
    return true;
}

TEST(JpegRoundTrip, SmoothPicturesComeBackAboveThirtyFiveDecibels) {
    struct Case {
        PixelFormat format;
        UINT width;
        UINT height;
        PixelFormat decoded;
    } cases[] = {
        {PixelFormat24bppRGB, 47, 33, PixelFormat24bppRGB},
        {PixelFormat24bppRGB, 160, 120, PixelFormat24bppRGB},
        {PixelFormat24bppRGB, 1, 1, PixelFormat24bppRGB},
        {PixelFormat32bppRGB, 61, 17, PixelFormat24bppRGB},
        {PixelFormat32bppARGB, 47, 33, PixelFormat24bppRGB},
        {PixelFormat48bppRGB, 33, 47, PixelFormat24bppRGB},
        {PixelFormat16bppRGB565, 40, 40, PixelFormat24bppRGB},
        {PixelFormat16bppGrayScale, 47, 33, PixelFormat8bppIndexed},
        {PixelFormat8bppIndexed, 47, 33, PixelFormat8bppIndexed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FormatName(c.format) + " " + std::to_string(c.width) + "x" +
                     std::to_string(c.height));
        const ImageBuffer source = SmoothPicture(c.format, c.width, c.height);
        const Bytes file = Encode(source);
        KeepAsFuzzSeed(
            "jpeg", "ours-" + FormatName(c.format) + "-" + std::to_string(c.width) + ".jpg", file);
        ImageBuffer decoded;
        ASSERT_EQ(DecodeJpeg(file.data(), file.size(), decoded), Ok);
        EXPECT_EQ(decoded.Format(), c.decoded);
        ASSERT_EQ(decoded.Width(), c.width);
        ASSERT_EQ(decoded.Height(), c.height);
        EXPECT_GE(Psnr(ArgbPixels(source.View()), ArgbPixels(decoded.View())), kMinimumPsnr);
    }
}

TEST(JpegEncoder, WritesGreyscaleExactlyWhenEveryColourIsGrey) {
    ImageBuffer colourPalette = SmoothPicture(PixelFormat8bppIndexed, 24, 24);
    colourPalette.Palette()[3] = 0xFF102030;
    ImageBuffer greyPixelsInRgb = SmoothPicture(PixelFormat8bppIndexed, 24, 24);
    {
        ImageBuffer rgb;
        ASSERT_EQ(rgb.Allocate(PixelFormat24bppRGB, 24, 24), Ok);
        ASSERT_EQ(
            ConvertImage(greyPixelsInRgb.View(), PixelFormat24bppRGB, rgb.Pixels(), rgb.Stride()),
            Ok);
        greyPixelsInRgb = std::move(rgb);
    }
    struct Case {
        const char* name;
        ImageBuffer picture;
        PixelFormat decoded;
    } cases[] = {
        {"grey ramp, 8 bpp", SmoothPicture(PixelFormat8bppIndexed, 24, 24), PixelFormat8bppIndexed},
        {"grey ramp, 4 bpp", SmoothPicture(PixelFormat4bppIndexed, 24, 24), PixelFormat8bppIndexed},
        {"black and white, 1 bpp", SmoothPicture(PixelFormat1bppIndexed, 24, 24),
         PixelFormat8bppIndexed},
        {"16-bit grey", SmoothPicture(PixelFormat16bppGrayScale, 24, 24), PixelFormat8bppIndexed},
        {"one colour in the palette", std::move(colourPalette), PixelFormat24bppRGB},
        {"grey pixels in an RGB picture", std::move(greyPixelsInRgb), PixelFormat24bppRGB},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = Encode(c.picture);
        ImageBuffer decoded;
        ASSERT_EQ(DecodeJpeg(file.data(), file.size(), decoded), Ok);
        EXPECT_EQ(decoded.Format(), c.decoded);
        if (c.decoded == PixelFormat8bppIndexed) {
            EXPECT_TRUE(IsGreyRampOf256(decoded));
            EXPECT_EQ(decoded.PaletteFlags(), PaletteFlagsGrayScale);
        }
        EXPECT_GE(Psnr(ArgbPixels(c.picture.View()), ArgbPixels(decoded.View())), kMinimumPsnr);
    }
}

TEST(JpegEncoder, DropsAlphaAndKeepsTheColourUnderIt) {
    ImageBuffer picture = SmoothPicture(PixelFormat32bppARGB, 40, 30);
    for (UINT y = 0; y < picture.Height(); ++y) {
        for (UINT x = 0; x < picture.Width(); ++x)
            picture.Row(y)[4 * x + 3] = (x + y) % 3 ? 0 : 255;
    }
    const Bytes file = Encode(picture);
    ImageBuffer decoded;
    ASSERT_EQ(DecodeJpeg(file.data(), file.size(), decoded), Ok);
    ASSERT_EQ(decoded.Format(), PixelFormat24bppRGB);
    std::vector<ARGB> expected = ArgbPixels(picture.View());
    for (ARGB& c : expected)
        c |= 0xFF000000u;
    EXPECT_GE(Psnr(expected, ArgbPixels(decoded.View())), kMinimumPsnr);
}

TEST(JpegEncoder, RefusesPicturesItCannotWrite) {
    const ImageBuffer good = SmoothPicture(PixelFormat24bppRGB, 8, 8);
    ImageView noPixels = good.View();
    noPixels.scan0 = nullptr;
    ImageView noWidth = good.View();
    noWidth.width = 0;
    ImageView unknownFormat = good.View();
    unknownFormat.format = PixelFormat32bppARGB | 0x00F00000;
    // JPEG's 16-bit sizes stop libjpeg at 65500; the view's rows are never read.
    ImageView tooWide = good.View();
    tooWide.width = 65501;
    struct Case {
        const char* name;
        ImageView view;
        Status status;
    } cases[] = {
        {"no pixels", noPixels, InvalidParameter},
        {"zero width", noWidth, InvalidParameter},
        {"unknown format", unknownFormat, InvalidParameter},
        {"wider than JPEG allows", tooWide, ValueOverflow},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = {1, 2, 3};
        EXPECT_EQ(EncodeJpeg(c.view, file), c.status);
        EXPECT_EQ(file, (Bytes{1, 2, 3}));
    }
}

BYTE Inverted(BYTE ink) {
    return static_cast<BYTE>(255 - ink);
}

TEST(JpegDecoder, ReportsTheFormatAndColourOfEveryColourSpace) {
    // One flat colour per file, so chroma subsampling and the DCT leave it
    // alone and only colour conversion decides the result. The ink amounts
    // C 20%, M 60%, Y 0%, K 10% give R 183, G 92, B 229.
    const BYTE ink[] = {51, 153, 0, 26};
    const ARGB inkColour = 0xFFB75CE5;
    auto rgb = [](UINT, UINT, int s) {
        static constexpr BYTE kRgb[] = {200, 60, 30};
        return kRgb[s];
    };
    auto plainInk = [ink](UINT, UINT, int s) { return ink[s]; };
    auto adobeInk = [ink](UINT, UINT, int s) { return Inverted(ink[s]); };
    auto grey = [](UINT, UINT, int) { return BYTE{100}; };
    struct Case {
        const char* name;
        JpegRecipe recipe;
        PixelFormat format;
        ARGB colour;
    } cases[] = {
        {"greyscale",
         {.input = JCS_GRAYSCALE, .components = 1, .stored = JCS_GRAYSCALE, .sample = grey},
         PixelFormat8bppIndexed,
         0xFF646464},
        {"YCbCr", {.sample = rgb}, PixelFormat24bppRGB, 0xFFC83C1E},
        {"YCbCr, progressive",
         {.progressive = true, .sample = rgb},
         PixelFormat24bppRGB,
         0xFFC83C1E},
        {"RGB without transform",
         {.stored = JCS_RGB, .sample = rgb},
         PixelFormat24bppRGB,
         0xFFC83C1E},
        {"Adobe CMYK (inverted)",
         {.input = JCS_CMYK, .components = 4, .stored = JCS_CMYK, .sample = adobeInk},
         PixelFormat24bppRGB,
         inkColour},
        {"Adobe YCCK (inverted)",
         {.input = JCS_CMYK, .components = 4, .stored = JCS_YCCK, .sample = adobeInk},
         PixelFormat24bppRGB,
         inkColour},
        {"Adobe CMYK, progressive",
         {.input = JCS_CMYK,
          .components = 4,
          .stored = JCS_CMYK,
          .progressive = true,
          .sample = adobeInk},
         PixelFormat24bppRGB,
         inkColour},
        {"plain CMYK without Adobe's segment",
         {.input = JCS_CMYK,
          .components = 4,
          .stored = JCS_CMYK,
          .adobeMarker = false,
          .sample = plainInk},
         PixelFormat24bppRGB,
         inkColour},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = WriteJpeg(c.recipe);
        ASSERT_FALSE(file.empty());
        KeepAsFuzzSeed("jpeg", std::string("libjpeg-") + c.name + ".jpg", file);
        ImageBuffer decoded;
        ASSERT_EQ(DecodeJpeg(file.data(), file.size(), decoded), Ok);
        EXPECT_EQ(decoded.Format(), c.format);
        EXPECT_EQ(decoded.Width(), c.recipe.width);
        EXPECT_EQ(decoded.Height(), c.recipe.height);
        const std::vector<ARGB> expected(size_t{c.recipe.width} * c.recipe.height, c.colour);
        EXPECT_LE(MaxChannelDifference(ArgbPixels(decoded.View()), expected), 3);
    }
}

TEST(JpegDecoder, ReadsAProgressiveFileAsTheBaselineFileOfTheSameCoefficients) {
    // Progressive scans only reorder the quantised coefficients, so both
    // files must decode to the very same pixels.
    JpegRecipe recipe{.width = 67, .height = 45, .sample = [](UINT x, UINT y, int s) {
                          return static_cast<BYTE>(x * 3 + y * 2 * (s + 1) + s * 60);
                      }};
    const Bytes baseline = WriteJpeg(recipe);
    recipe.progressive = true;
    const Bytes progressive = WriteJpeg(recipe);
    ASSERT_FALSE(baseline.empty());
    ASSERT_NE(baseline, progressive);
    ImageBuffer fromBaseline, fromProgressive;
    ASSERT_EQ(DecodeJpeg(baseline.data(), baseline.size(), fromBaseline), Ok);
    ASSERT_EQ(DecodeJpeg(progressive.data(), progressive.size(), fromProgressive), Ok);
    EXPECT_EQ(ArgbPixels(fromBaseline.View()), ArgbPixels(fromProgressive.View()));
}

TEST(JpegPillow, ReadsOurFilesAsWeDo) {
    if (!PillowAvailable())
        GTEST_SKIP() << "/usr/bin/python3 cannot import PIL";
    struct Case {
        PixelFormat format;
        const char* mode;
    } cases[] = {
        {PixelFormat24bppRGB, "RGB"},
        {PixelFormat32bppARGB, "RGB"},
        {PixelFormat8bppIndexed, "L"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FormatName(c.format));
        const ImageBuffer source = SmoothPicture(c.format, 53, 37);
        const Bytes file = Encode(source);
        ImageBuffer ours;
        ASSERT_EQ(DecodeJpeg(file.data(), file.size(), ours), Ok);
        PillowPicture theirs;
        std::string error;
        ASSERT_TRUE(DecodeWithPillow(file, theirs, error)) << error;
        EXPECT_EQ(theirs.mode, c.mode);
        EXPECT_LE(MaxChannelDifference(ArgbPixels(ours.View()), theirs.pixels), 1);
    }
}

TEST(JpegPillow, WeReadPillowsFilesAsPillowDoes) {
    if (!PillowAvailable())
        GTEST_SKIP() << "/usr/bin/python3 cannot import PIL";
    const std::string picture =
        "import math\n"
        "image = Image.new('RGB', (75, 51))\n"
        "image.putdata([(int(128 + 100 * math.sin(i / 7)), (i * 5) % 256, (i // 75) * 5)"
        " for i in range(75 * 51)])\n";
    struct Case {
        const char* name;
        std::string save;
        PixelFormat format;
    } cases[] = {
        {"4:2:0", "image.save(sys.argv[1], 'JPEG', quality=90)", PixelFormat24bppRGB},
        {"4:2:2", "image.save(sys.argv[1], 'JPEG', quality=90, subsampling=1)",
         PixelFormat24bppRGB},
        {"4:4:4", "image.save(sys.argv[1], 'JPEG', quality=90, subsampling=0)",
         PixelFormat24bppRGB},
        {"progressive", "image.save(sys.argv[1], 'JPEG', quality=80, progressive=True)",
         PixelFormat24bppRGB},
        {"optimised Huffman tables", "image.save(sys.argv[1], 'JPEG', optimize=True)",
         PixelFormat24bppRGB},
        {"greyscale", "image.convert('L').save(sys.argv[1], 'JPEG')", PixelFormat8bppIndexed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = EncodeWithPillow(picture + c.save);
        ASSERT_FALSE(file.empty());
        KeepAsFuzzSeed("jpeg", std::string("pil-") + c.name + ".jpg", file);
        ImageBuffer ours;
        ASSERT_EQ(DecodeJpeg(file.data(), file.size(), ours), Ok);
        EXPECT_EQ(ours.Format(), c.format);
        PillowPicture theirs;
        std::string error;
        ASSERT_TRUE(DecodeWithPillow(file, theirs, error)) << error;
        ASSERT_EQ(ours.Width(), theirs.width);
        ASSERT_EQ(ours.Height(), theirs.height);
        EXPECT_LE(MaxChannelDifference(ArgbPixels(ours.View()), theirs.pixels), 1);
    }
}

}  // namespace
}  // namespace jpegtiff_test
