// TIFF decoding of every layout the decoder maps: the format it reports and
// the pixels it gives, for files written with libtiff directly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/gdiplus/TiffCodec.h"
#include "tests/platform/gdiplus/JpegTiffTestSupport.h"
#include "tests/platform/gdiplus/TiffTestFiles.h"

namespace jpegtiff_test {
namespace {

UINT Noise(UINT x, UINT y, UINT s) {
    uint32_t h = x * 73856093u ^ y * 19349663u ^ (s + 1) * 83492791u;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    return h ^ (h >> 15);
}

std::function<UINT(UINT, UINT, UINT)> NoiseOf(UINT bits) {
    return [bits](UINT x, UINT y, UINT s) { return Noise(x, y, s) & ((1u << bits) - 1); };
}

// Samples 0 .. alpha - 1 premultiplied by sample `alpha`, so none exceeds it.
std::function<UINT(UINT, UINT, UINT)> PremultipliedNoise(UINT bits, UINT alpha) {
    return [bits, alpha](UINT x, UINT y, UINT s) {
        const UINT a = Noise(x, y, alpha) & ((1u << bits) - 1);
        return s == alpha ? a : Noise(x, y, s) % (a + 1);
    };
}

UINT Smooth(UINT x, UINT y, UINT s) {
    return static_cast<UINT>(std::lround(128 + 90 * std::sin(x / (8.0 + s) + y / (13.0 - s))));
}

ARGB Colour(UINT a, UINT r, UINT g, UINT b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}
ARGB Grey(UINT v) {
    return Colour(255, v, v, v);
}

UINT Straight(UINT c, UINT a, UINT full) {
    if (a == 0)
        return 0;
    const unsigned long long v = (static_cast<unsigned long long>(c) * full + a / 2) / a;
    return v > full ? full : static_cast<UINT>(v);
}

UINT Clamp(double v) {
    return static_cast<UINT>(std::lround(std::fmin(255.0, std::fmax(0.0, v))));
}

std::vector<uint16_t> RandomColormap(UINT bits, UINT limit) {
    std::vector<uint16_t> map(3u << bits);
    for (UINT i = 0; i < map.size(); ++i)
        map[i] = static_cast<uint16_t>(Noise(i, 7, 9) % limit);
    return map;
}

ARGB MapColour(const std::vector<uint16_t>& map, UINT index, UINT shift) {
    const size_t n = map.size() / 3;
    return Colour(255, map[index] >> shift, map[n + index] >> shift, map[2 * n + index] >> shift);
}

struct Case {
    const char* name;
    TiffRecipe recipe;
    PixelFormat format;
    std::function<ARGB(UINT x, UINT y)> expected;
    // Exact unless set: a channel tolerance for colour conversions, a PSNR
    // floor for JPEG compression.
    int tolerance = 0;
    double minimumPsnr = 0;
    UINT paletteEntries = 0;
};

std::vector<Case> Cases() {
    const auto n1 = NoiseOf(1), n2 = NoiseOf(2), n4 = NoiseOf(4), n8 = NoiseOf(8),
               n16 = NoiseOf(16);
    const auto map2 = RandomColormap(2, 65536), map8 = RandomColormap(8, 65536),
               map1 = RandomColormap(1, 65536), map4small = RandomColormap(4, 256);
    const auto rgb = [n8](UINT x, UINT y) {
        return Colour(255, n8(x, y, 0), n8(x, y, 1), n8(x, y, 2));
    };
    const auto smoothRgb = [](UINT x, UINT y) {
        return Colour(255, Smooth(x, y, 0), Smooth(x, y, 1), Smooth(x, y, 2));
    };
    const UINT k1 = EXTRASAMPLE_UNSPECIFIED, assoc = EXTRASAMPLE_ASSOCALPHA,
               unassoc = EXTRASAMPLE_UNASSALPHA;
    std::vector<Case> cases;
    // Bilevel and grey: indexed over a grey ramp of the file's depth.
    cases.push_back({"bilevel, MinIsWhite",
                     {.photometric = PHOTOMETRIC_MINISWHITE, .bits = 1, .samples = 1, .sample = n1},
                     PixelFormat1bppIndexed,
                     [n1](UINT x, UINT y) { return Grey(n1(x, y, 0) ? 0 : 255); },
                     0,
                     0,
                     2});
    cases.push_back({"bilevel, PackBits",
                     {.photometric = PHOTOMETRIC_MINISBLACK,
                      .bits = 1,
                      .samples = 1,
                      .compression = COMPRESSION_PACKBITS,
                      .sample = n1},
                     PixelFormat1bppIndexed,
                     [n1](UINT x, UINT y) { return Grey(n1(x, y, 0) ? 255 : 0); },
                     0,
                     0,
                     2});
    cases.push_back({"bilevel, least significant bit first",
                     {.photometric = PHOTOMETRIC_MINISBLACK,
                      .bits = 1,
                      .samples = 1,
                      .fillOrder = FILLORDER_LSB2MSB,
                      .sample = n1},
                     PixelFormat1bppIndexed,
                     [n1](UINT x, UINT y) { return Grey(n1(x, y, 0) ? 255 : 0); },
                     0,
                     0,
                     2});
    cases.push_back({"2-bit grey, LZW",
                     {.photometric = PHOTOMETRIC_MINISBLACK,
                      .bits = 2,
                      .samples = 1,
                      .compression = COMPRESSION_LZW,
                      .sample = n2},
                     PixelFormat4bppIndexed,
                     [n2](UINT x, UINT y) { return Grey(n2(x, y, 0) * 85); },
                     0,
                     0,
                     4});
    cases.push_back({"4-bit grey, Deflate, 16 x 16 tiles",
                     {.photometric = PHOTOMETRIC_MINISBLACK,
                      .bits = 4,
                      .samples = 1,
                      .compression = COMPRESSION_ADOBE_DEFLATE,
                      .tileWidth = 16,
                      .tileHeight = 16,
                      .sample = n4},
                     PixelFormat4bppIndexed,
                     [n4](UINT x, UINT y) { return Grey(n4(x, y, 0) * 17); },
                     0,
                     0,
                     16});
    cases.push_back({"8-bit grey, MinIsWhite",
                     {.photometric = PHOTOMETRIC_MINISWHITE, .bits = 8, .samples = 1, .sample = n8},
                     PixelFormat8bppIndexed,
                     [n8](UINT x, UINT y) { return Grey(255 - n8(x, y, 0)); },
                     0,
                     0,
                     256});
    cases.push_back({"8-bit grey with an unspecified extra sample",
                     {.photometric = PHOTOMETRIC_MINISBLACK,
                      .bits = 8,
                      .samples = 2,
                      .extraSamples = {k1},
                      .sample = n8},
                     PixelFormat8bppIndexed,
                     [n8](UINT x, UINT y) { return Grey(n8(x, y, 0)); },
                     0,
                     0,
                     256});
    // Grey at 16 bits and grey with alpha: 32bppARGB, as PNG's.
    cases.push_back(
        {"16-bit grey",
         {.photometric = PHOTOMETRIC_MINISBLACK, .bits = 16, .samples = 1, .sample = n16},
         PixelFormat32bppARGB,
         [n16](UINT x, UINT y) { return Grey(n16(x, y, 0) >> 8); }});
    cases.push_back(
        {"16-bit grey, MinIsWhite",
         {.photometric = PHOTOMETRIC_MINISWHITE, .bits = 16, .samples = 1, .sample = n16},
         PixelFormat32bppARGB,
         [n16](UINT x, UINT y) { return Grey(255 - (n16(x, y, 0) >> 8)); }});
    cases.push_back({"8-bit grey with unassociated alpha",
                     {.photometric = PHOTOMETRIC_MINISBLACK,
                      .bits = 8,
                      .samples = 2,
                      .extraSamples = {unassoc},
                      .sample = n8},
                     PixelFormat32bppARGB,
                     [n8](UINT x, UINT y) {
                         const UINT g = n8(x, y, 0);
                         return Colour(n8(x, y, 1), g, g, g);
                     }});
    const auto greyPremultiplied8 = PremultipliedNoise(8, 1);
    cases.push_back({"8-bit grey with associated alpha, separate planes",
                     {.photometric = PHOTOMETRIC_MINISBLACK,
                      .bits = 8,
                      .samples = 2,
                      .extraSamples = {assoc},
                      .planar = PLANARCONFIG_SEPARATE,
                      .sample = greyPremultiplied8},
                     PixelFormat32bppARGB,
                     [greyPremultiplied8](UINT x, UINT y) {
                         const UINT a = greyPremultiplied8(x, y, 1);
                         const UINT g = Straight(greyPremultiplied8(x, y, 0), a, 255);
                         return Colour(a, g, g, g);
                     }});
    const auto greyPremultiplied16 = PremultipliedNoise(16, 1);
    cases.push_back({"16-bit grey with associated alpha",
                     {.photometric = PHOTOMETRIC_MINISBLACK,
                      .bits = 16,
                      .samples = 2,
                      .extraSamples = {assoc},
                      .sample = greyPremultiplied16},
                     PixelFormat32bppARGB,
                     [greyPremultiplied16](UINT x, UINT y) {
                         const UINT a = greyPremultiplied16(x, y, 1);
                         const UINT g = Straight(greyPremultiplied16(x, y, 0), a, 65535) >> 8;
                         return Colour(a >> 8, g, g, g);
                     }});
    // Palette pictures keep their indices and the map's colours.
    cases.push_back({"1-bit palette, LZW",
                     {.photometric = PHOTOMETRIC_PALETTE,
                      .bits = 1,
                      .samples = 1,
                      .compression = COMPRESSION_LZW,
                      .colormap = map1,
                      .sample = n1},
                     PixelFormat1bppIndexed,
                     [n1, map1](UINT x, UINT y) { return MapColour(map1, n1(x, y, 0), 8); },
                     0,
                     0,
                     2});
    cases.push_back({"2-bit palette",
                     {.photometric = PHOTOMETRIC_PALETTE,
                      .bits = 2,
                      .samples = 1,
                      .colormap = map2,
                      .sample = n2},
                     PixelFormat4bppIndexed,
                     [n2, map2](UINT x, UINT y) { return MapColour(map2, n2(x, y, 0), 8); },
                     0,
                     0,
                     4});
    cases.push_back({"8-bit palette, Deflate, 32 x 32 tiles",
                     {.photometric = PHOTOMETRIC_PALETTE,
                      .bits = 8,
                      .samples = 1,
                      .compression = COMPRESSION_ADOBE_DEFLATE,
                      .tileWidth = 32,
                      .tileHeight = 32,
                      .colormap = map8,
                      .sample = n8},
                     PixelFormat8bppIndexed,
                     [n8, map8](UINT x, UINT y) { return MapColour(map8, n8(x, y, 0), 8); },
                     0,
                     0,
                     256});
    cases.push_back(
        {"4-bit palette whose map holds 8-bit values",
         {.photometric = PHOTOMETRIC_PALETTE,
          .bits = 4,
          .samples = 1,
          .colormap = map4small,
          .sample = n4},
         PixelFormat4bppIndexed,
         [n4, map4small](UINT x, UINT y) { return MapColour(map4small, n4(x, y, 0), 0); },
         0,
         0,
         16});
    // RGB and RGBA at 8 bits.
    cases.push_back(
        {"RGB, LZW with horizontal differencing",
         {.compression = COMPRESSION_LZW, .predictor = PREDICTOR_HORIZONTAL, .sample = n8},
         PixelFormat24bppRGB,
         rgb});
    cases.push_back(
        {"RGB, separate planes, Deflate",
         {.planar = PLANARCONFIG_SEPARATE, .compression = COMPRESSION_ADOBE_DEFLATE, .sample = n8},
         PixelFormat24bppRGB,
         rgb});
    cases.push_back({"RGB, 32 x 16 tiles reaching past the picture",
                     {.tileWidth = 32, .tileHeight = 16, .sample = n8},
                     PixelFormat24bppRGB,
                     rgb});
    cases.push_back({"RGB, separate planes in 16 x 16 tiles",
                     {.planar = PLANARCONFIG_SEPARATE,
                      .compression = COMPRESSION_LZW,
                      .tileWidth = 16,
                      .tileHeight = 16,
                      .sample = n8},
                     PixelFormat24bppRGB,
                     rgb});
    cases.push_back(
        {"RGB, one strip a row", {.rowsPerStrip = 1, .sample = n8}, PixelFormat24bppRGB, rgb});
    cases.push_back({"RGB with an unspecified extra sample",
                     {.samples = 4, .extraSamples = {k1}, .sample = n8},
                     PixelFormat24bppRGB,
                     rgb});
    cases.push_back({"RGBA, unassociated, PackBits",
                     {.samples = 4,
                      .extraSamples = {unassoc},
                      .compression = COMPRESSION_PACKBITS,
                      .sample = n8},
                     PixelFormat32bppARGB,
                     [n8](UINT x, UINT y) {
                         return Colour(n8(x, y, 3), n8(x, y, 0), n8(x, y, 1), n8(x, y, 2));
                     }});
    cases.push_back({"RGB, an unspecified extra, then unassociated alpha",
                     {.samples = 5, .extraSamples = {k1, unassoc}, .sample = n8},
                     PixelFormat32bppARGB,
                     [n8](UINT x, UINT y) {
                         return Colour(n8(x, y, 4), n8(x, y, 0), n8(x, y, 1), n8(x, y, 2));
                     }});
    const auto premultiplied8 = PremultipliedNoise(8, 3);
    cases.push_back({"RGBA, associated",
                     {.samples = 4, .extraSamples = {assoc}, .sample = premultiplied8},
                     PixelFormat32bppARGB,
                     [premultiplied8](UINT x, UINT y) {
                         const UINT a = premultiplied8(x, y, 3);
                         return Colour(a, Straight(premultiplied8(x, y, 0), a, 255),
                                       Straight(premultiplied8(x, y, 1), a, 255),
                                       Straight(premultiplied8(x, y, 2), a, 255));
                     }});
    cases.push_back({"RGB, bottom-up orientation, rows as stored",
                     {.orientation = ORIENTATION_BOTLEFT, .sample = n8},
                     PixelFormat24bppRGB,
                     rgb});
    cases.push_back({"RGB, two pages: the first",
                     {.secondPage = true, .sample = n8},
                     PixelFormat24bppRGB,
                     rgb});
    // 16-bit RGB and RGBA (their low bytes are checked by KeepsSixteenBitSamples).
    cases.push_back({"16-bit RGB",
                     {.bits = 16, .compression = COMPRESSION_LZW, .sample = n16},
                     PixelFormat48bppRGB,
                     [n16](UINT x, UINT y) {
                         return Colour(255, n16(x, y, 0) >> 8, n16(x, y, 1) >> 8,
                                       n16(x, y, 2) >> 8);
                     }});
    cases.push_back({"16-bit RGBA, unassociated",
                     {.bits = 16, .samples = 4, .extraSamples = {unassoc}, .sample = n16},
                     PixelFormat64bppARGB,
                     [n16](UINT x, UINT y) {
                         return Colour(n16(x, y, 3) >> 8, n16(x, y, 0) >> 8, n16(x, y, 1) >> 8,
                                       n16(x, y, 2) >> 8);
                     }});
    // JPEG compression: close, not exact.
    cases.push_back(
        {"JPEG, YCbCr",
         {.photometric = PHOTOMETRIC_YCBCR, .compression = COMPRESSION_JPEG, .sample = Smooth},
         PixelFormat24bppRGB,
         smoothRgb,
         0,
         35});
    cases.push_back({"JPEG, YCbCr in 16 x 16 tiles",
                     {.photometric = PHOTOMETRIC_YCBCR,
                      .compression = COMPRESSION_JPEG,
                      .tileWidth = 16,
                      .tileHeight = 16,
                      .sample = Smooth},
                     PixelFormat24bppRGB,
                     smoothRgb,
                     0,
                     35});
    cases.push_back({"JPEG, RGB",
                     {.compression = COMPRESSION_JPEG, .sample = Smooth},
                     PixelFormat24bppRGB,
                     smoothRgb,
                     0,
                     35});
    cases.push_back({"JPEG, grey",
                     {.photometric = PHOTOMETRIC_MINISBLACK,
                      .samples = 1,
                      .compression = COMPRESSION_JPEG,
                      .sample = Smooth},
                     PixelFormat8bppIndexed,
                     [](UINT x, UINT y) { return Grey(Smooth(x, y, 0)); },
                     0,
                     35,
                     256});
    // Other colour spaces, through libtiff's RGBA reader.
    cases.push_back(
        {"CMYK",
         {.photometric = PHOTOMETRIC_SEPARATED, .samples = 4, .inkSet = INKSET_CMYK, .sample = n8},
         PixelFormat32bppRGB,
         [n8](UINT x, UINT y) {
             const UINT light = 255 - n8(x, y, 3);
             return Colour(255, light * (255 - n8(x, y, 0)) / 255,
                           light * (255 - n8(x, y, 1)) / 255, light * (255 - n8(x, y, 2)) / 255);
         },
         1});
    const auto ycbcr = [n8](UINT x, UINT y, UINT s) {
        return s == 0 ? n8(x, y, 0) : 64 + n8(x, y, s) / 2;
    };
    cases.push_back({"YCbCr, 2 x 2 subsampled, uncompressed",
                     {.width = 32, .height = 20, .photometric = PHOTOMETRIC_YCBCR, .sample = ycbcr},
                     PixelFormat32bppRGB,
                     [ycbcr](UINT x, UINT y) {
                         const double luma = ycbcr(x, y, 0);
                         const double cb = ycbcr(x & ~1u, y & ~1u, 1) - 128.0;
                         const double cr = ycbcr(x & ~1u, y & ~1u, 2) - 128.0;
                         return Colour(255, Clamp(luma + 1.402 * cr),
                                       Clamp(luma - 0.34414 * cb - 0.71414 * cr),
                                       Clamp(luma + 1.772 * cb));
                     },
                     2});
    return cases;
}

TEST(TiffDecoder, ReportsTheFormatAndPixelsOfEveryLayout) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const Bytes file = WriteTiff(c.recipe);
        ASSERT_FALSE(file.empty());
        KeepAsFuzzSeed("tiff", std::string(c.name) + ".tif", file);
        ImageBuffer decoded;
        ASSERT_EQ(DecodeTiff(file.data(), file.size(), decoded), Ok);
        EXPECT_EQ(decoded.Format(), c.format);
        ASSERT_EQ(decoded.Width(), c.recipe.width);
        ASSERT_EQ(decoded.Height(), c.recipe.height);
        EXPECT_EQ(decoded.Palette().size(), c.paletteEntries);
        std::vector<ARGB> expected;
        for (UINT y = 0; y < c.recipe.height; ++y) {
            for (UINT x = 0; x < c.recipe.width; ++x)
                expected.push_back(c.expected(x, y));
        }
        const std::vector<ARGB> actual = ArgbPixels(decoded.View());
        if (c.minimumPsnr > 0) {
            EXPECT_GE(Psnr(actual, expected), c.minimumPsnr);
        } else {
            EXPECT_LE(MaxChannelDifference(actual, expected), c.tolerance);
        }
    }
}

// The 16-bit lanes of a decoded 48bppRGB or 64bppARGB pixel, B, G, R(, A).
std::vector<uint16_t> Lanes(const ImageBuffer& picture) {
    const UINT lanes = GetPixelFormatSize(picture.Format()) / 16;
    std::vector<uint16_t> out;
    for (UINT y = 0; y < picture.Height(); ++y) {
        for (UINT i = 0; i < picture.Width() * lanes; ++i) {
            uint16_t v;
            std::memcpy(&v, picture.Row(y) + 2 * i, 2);
            out.push_back(v);
        }
    }
    return out;
}

TEST(TiffDecoder, KeepsSixteenBitSamples) {
    const auto n16 = NoiseOf(16);
    const auto premultiplied = PremultipliedNoise(16, 3);
    struct SixteenBitCase {
        const char* name;
        TiffRecipe recipe;
        PixelFormat format;
        std::function<UINT(UINT x, UINT y, UINT lane)> expected;
    } cases[] = {
        {"RGB, LZW with differencing",
         {.bits = 16,
          .compression = COMPRESSION_LZW,
          .predictor = PREDICTOR_HORIZONTAL,
          .sample = n16},
         PixelFormat48bppRGB,
         [n16](UINT x, UINT y, UINT lane) { return n16(x, y, 2 - lane); }},
        {"RGBA, unassociated, separate planes",
         {.bits = 16,
          .samples = 4,
          .extraSamples = {EXTRASAMPLE_UNASSALPHA},
          .planar = PLANARCONFIG_SEPARATE,
          .sample = n16},
         PixelFormat64bppARGB,
         [n16](UINT x, UINT y, UINT lane) { return n16(x, y, lane == 3 ? 3 : 2 - lane); }},
        {"RGBA, associated",
         {.bits = 16,
          .samples = 4,
          .extraSamples = {EXTRASAMPLE_ASSOCALPHA},
          .sample = premultiplied},
         PixelFormat64bppARGB,
         [premultiplied](UINT x, UINT y, UINT lane) {
             const UINT a = premultiplied(x, y, 3);
             return lane == 3 ? a : Straight(premultiplied(x, y, 2 - lane), a, 65535);
         }},
    };
    for (const SixteenBitCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = WriteTiff(c.recipe);
        ASSERT_FALSE(file.empty());
        ImageBuffer decoded;
        ASSERT_EQ(DecodeTiff(file.data(), file.size(), decoded), Ok);
        ASSERT_EQ(decoded.Format(), c.format);
        const UINT lanes = GetPixelFormatSize(c.format) / 16;
        std::vector<uint16_t> expected;
        for (UINT y = 0; y < c.recipe.height; ++y) {
            for (UINT x = 0; x < c.recipe.width; ++x) {
                for (UINT lane = 0; lane < lanes; ++lane) {
                    expected.push_back(static_cast<uint16_t>(c.expected(x, y, lane)));
                }
            }
        }
        EXPECT_EQ(Lanes(decoded), expected);
    }
}

}  // namespace
}  // namespace jpegtiff_test
