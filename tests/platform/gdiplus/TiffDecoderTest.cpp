// TIFF decoding of every layout the decoder maps, from files written with
// libtiff directly: the format it reports and the pixels it gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdiplus/TiffCodec.h"
#include "tests/platform/gdiplus/TiffTestFiles.h"

namespace jpegtiff_test {
namespace {

UINT Noise(UINT x, UINT y, UINT s) {
    uint32_t h = x * 73856093u ^ y * 19349663u ^ (s + 1) * 83492791u;
    h = (h ^ (h >> 13)) * 0x5BD1E995u;
    return h ^ (h >> 15);
}

std::vector<uint16_t> RandomMap(UINT bits, UINT limit) {
    std::vector<uint16_t> map(3u << bits);
    for (UINT i = 0; i < map.size(); ++i)
        map[i] = static_cast<uint16_t>(Noise(i, 7, 9) % limit);
    return map;
}

// The first extra sample that is alpha: its index, or -1, and whether it is associated.
std::pair<int, bool> AlphaOf(const TiffRecipe& r) {
    const UINT colours =
        r.photometric == PHOTOMETRIC_MINISBLACK || r.photometric == PHOTOMETRIC_MINISWHITE ? 1 : 3;
    for (UINT i = 0; i < r.extraSamples.size(); ++i) {
        const uint16_t kind = r.extraSamples[i];
        if (kind == EXTRASAMPLE_ASSOCALPHA || kind == EXTRASAMPLE_UNASSALPHA) {
            return {int(colours + i), kind == EXTRASAMPLE_ASSOCALPHA};
        }
    }
    return {-1, false};
}

// Noise of the recipe's depth; colour no larger than alpha where alpha is
// associated; smooth waves for JPEG compression.
TiffRecipe WithSamples(TiffRecipe r) {
    const UINT full = (1u << r.bits) - 1;
    const int alpha = AlphaOf(r).first;
    const bool associated = AlphaOf(r).second;
    r.sample = [full, alpha, associated](UINT x, UINT y, UINT s) {
        if (associated && int(s) != alpha)
            return Noise(x, y, s) % ((Noise(x, y, alpha) & full) + 1);
        return Noise(x, y, s) & full;
    };
    if (r.compression == COMPRESSION_JPEG) {
        r.sample = [](UINT x, UINT y, UINT s) {
            return UINT(std::lround(128 + 90 * std::sin(x / (8.0 + s) + y / 13.0)));
        };
    }
    return r;
}

UINT Straight(UINT c, UINT a, UINT full) {
    return a == 0 ? 0 : std::min<UINT>(full, (uint64_t{c} * full + a / 2) / a);
}

// The recipe's pixel as TIFF 6.0 defines it: at 16 bits a lane for `lane`
// 0 to 3 (B, G, R, A), at 8 bits as ARGB for lane -1.
UINT Reference(const TiffRecipe& r, UINT x, UINT y, int lane = -1) {
    const UINT full = (1u << r.bits) - 1;
    const int alpha = AlphaOf(r).first;
    const bool associated = AlphaOf(r).second;
    const UINT a = alpha >= 0 ? r.sample(x, y, alpha) : full;
    auto level = [&](UINT s) {
        return associated ? Straight(r.sample(x, y, s), a, full) : r.sample(x, y, s);
    };
    if (lane >= 0)
        return lane == 3 ? a : level(2 - lane);
    auto to8 = [&](UINT v) { return r.bits >= 8 ? v >> (r.bits - 8) : v * 255 / full; };
    auto argb = [](UINT a, UINT r, UINT g, UINT b) { return a << 24 | r << 16 | g << 8 | b; };
    switch (r.photometric) {
        case PHOTOMETRIC_PALETTE: {
            const size_t n = size_t{1} << r.bits, i = r.sample(x, y, 0);
            const UINT shift =
                *std::max_element(r.colormap.begin(), r.colormap.end()) > 255 ? 8 : 0;
            return argb(255, r.colormap[i] >> shift, r.colormap[n + i] >> shift,
                        r.colormap[2 * n + i] >> shift);
        }
        case PHOTOMETRIC_MINISBLACK:
        case PHOTOMETRIC_MINISWHITE: {
            const UINT g =
                r.photometric == PHOTOMETRIC_MINISWHITE ? 255 - to8(level(0)) : to8(level(0));
            return argb(to8(a), g, g, g);
        }
        case PHOTOMETRIC_SEPARATED: {
            const UINT light = 255 - r.sample(x, y, 3);
            return argb(255, light * (255 - level(0)) / 255, light * (255 - level(1)) / 255,
                        light * (255 - level(2)) / 255);
        }
        default:
            return argb(to8(a), to8(level(0)), to8(level(1)), to8(level(2)));
    }
}

TEST(TiffDecoder, ReportsTheFormatAndPixelsOfEveryLayout) {
    constexpr uint16_t kGrey = PHOTOMETRIC_MINISBLACK, kWhite = PHOTOMETRIC_MINISWHITE,
                       kMap = PHOTOMETRIC_PALETTE, kYCbCr = PHOTOMETRIC_YCBCR,
                       kLzw = COMPRESSION_LZW, kZip = COMPRESSION_ADOBE_DEFLATE,
                       kJpeg = COMPRESSION_JPEG, kPlanes = PLANARCONFIG_SEPARATE,
                       kOther = EXTRASAMPLE_UNSPECIFIED, kAssoc = EXTRASAMPLE_ASSOCALPHA,
                       kAlpha = EXTRASAMPLE_UNASSALPHA;
    constexpr PixelFormat kI1 = PixelFormat1bppIndexed, kI4 = PixelFormat4bppIndexed,
                          kI8 = PixelFormat8bppIndexed, k24 = PixelFormat24bppRGB,
                          kA32 = PixelFormat32bppARGB, kA64 = PixelFormat64bppARGB;
    struct Case {
        const char* name;
        TiffRecipe recipe;
        PixelFormat format;
    } cases[] = {
        // clang-format off
        {"bilevel, MinIsWhite", {.photometric = kWhite, .bits = 1, .samples = 1}, kI1},
        {"bilevel, PackBits, LSB first", {.photometric = kGrey, .bits = 1, .samples = 1,
            .compression = COMPRESSION_PACKBITS, .fillOrder = FILLORDER_LSB2MSB}, kI1},
        {"2-bit grey, LZW", {.photometric = kGrey, .bits = 2, .samples = 1, .compression = kLzw}, kI4},
        {"4-bit grey, tiles", {.photometric = kGrey, .bits = 4, .samples = 1, .tileSize = 16}, kI4},
        {"8-bit grey, MinIsWhite", {.photometric = kWhite, .samples = 1}, kI8},
        {"8-bit grey, other extra", {.photometric = kGrey, .samples = 2, .extraSamples = {kOther}}, kI8},
        {"16-bit grey", {.photometric = kGrey, .bits = 16, .samples = 1}, kA32},
        {"16-bit grey, MinIsWhite", {.photometric = kWhite, .bits = 16, .samples = 1}, kA32},
        {"grey, alpha", {.photometric = kGrey, .samples = 2, .extraSamples = {kAlpha}}, kA32},
        {"grey, associated alpha, planes", {.photometric = kGrey, .samples = 2, .extraSamples = {kAssoc},
            .planar = kPlanes}, kA32},
        {"16-bit grey, associated alpha", {.photometric = kGrey, .bits = 16, .samples = 2,
            .extraSamples = {kAssoc}}, kA32},
        {"1-bit palette", {.photometric = kMap, .bits = 1, .samples = 1, .colormap = RandomMap(1, 65536)},
            kI1},
        {"2-bit palette, LZW", {.photometric = kMap, .bits = 2, .samples = 1, .compression = kLzw,
            .colormap = RandomMap(2, 65536)}, kI4},
        {"8-bit palette, Deflate, tiles", {.photometric = kMap, .samples = 1, .compression = kZip,
            .tileSize = 32, .colormap = RandomMap(8, 65536)}, kI8},
        {"map of 8-bit values", {.photometric = kMap, .bits = 4, .samples = 1, .colormap = RandomMap(4, 256)},
            kI4},
        {"RGB, LZW, differencing", {.compression = kLzw, .predictor = PREDICTOR_HORIZONTAL}, k24},
        {"RGB, planes, Deflate", {.planar = kPlanes, .compression = kZip}, k24},
        {"RGB, tiles past the edges", {.tileSize = 32}, k24},
        {"RGB, planes in tiles", {.planar = kPlanes, .compression = kLzw, .tileSize = 16}, k24},
        {"RGB, a strip a row", {.rowsPerStrip = 1}, k24},
        {"RGB, other extra", {.samples = 4, .extraSamples = {kOther}}, k24},
        {"RGBA", {.samples = 4, .extraSamples = {kAlpha}}, kA32},
        {"RGB, other extra, alpha", {.samples = 5, .extraSamples = {kOther, kAlpha}}, kA32},
        {"RGBA, associated", {.samples = 4, .extraSamples = {kAssoc}}, kA32},
        {"bottom-up: rows as stored", {.orientation = ORIENTATION_BOTLEFT}, k24},
        {"two pages: the first", {.secondPage = true}, k24},
        {"16-bit RGB, LZW", {.bits = 16, .compression = kLzw}, PixelFormat48bppRGB},
        {"16-bit RGBA, planes", {.bits = 16, .samples = 4, .extraSamples = {kAlpha}, .planar = kPlanes},
            kA64},
        {"16-bit RGBA, associated", {.bits = 16, .samples = 4, .extraSamples = {kAssoc}}, kA64},
        {"JPEG, YCbCr", {.photometric = kYCbCr, .compression = kJpeg}, k24},
        {"JPEG, YCbCr, tiles", {.photometric = kYCbCr, .compression = kJpeg, .tileSize = 16}, k24},
        {"JPEG, RGB", {.compression = kJpeg}, k24},
        {"JPEG, grey", {.photometric = kGrey, .samples = 1, .compression = kJpeg}, kI8},
        // Colour spaces we do not map go through libtiff's RGBA reader.
        {"CMYK", {.photometric = PHOTOMETRIC_SEPARATED, .samples = 4}, PixelFormat32bppRGB},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TiffRecipe r = WithSamples(c.recipe);
        const Bytes file = WriteTiff(r);
        KeepAsFuzzSeed("tiff", std::string("libtiff-") + c.name, file);
        ImageBuffer decoded;
        ASSERT_EQ(DecodeTiff(file.data(), file.size(), decoded), Ok);
        ASSERT_EQ(decoded.Format(), c.format);
        ASSERT_EQ(decoded.Width(), r.width);
        EXPECT_EQ(decoded.Palette().size(),
                  IsIndexedPixelFormat(c.format) ? size_t{1} << r.bits : 0);
        std::vector<ARGB> expected;
        std::vector<uint16_t> expectedLanes, lanes;
        const UINT laneCount = r.bits == 16 && c.format != PixelFormat32bppARGB
                                   ? GetPixelFormatSize(c.format) / 16
                                   : 0;
        for (UINT y = 0; y < r.height; ++y) {
            for (UINT x = 0; x < r.width; ++x) {
                expected.push_back(Reference(r, x, y));
                for (UINT lane = 0; lane < laneCount; ++lane) {
                    expectedLanes.push_back(uint16_t(Reference(r, x, y, int(lane))));
                    const BYTE* p = decoded.Row(y) + 2 * (size_t{x} * laneCount + lane);
                    lanes.push_back(uint16_t(p[0] | p[1] << 8));
                }
            }
        }
        if (r.compression == COMPRESSION_JPEG) {
            EXPECT_GE(Psnr(ArgbPixels(decoded.View()), expected), 35.0);
        } else {
            EXPECT_EQ(ArgbPixels(decoded.View()), expected);
        }
        EXPECT_EQ(lanes, expectedLanes);
    }
}

}  // namespace
}  // namespace jpegtiff_test
