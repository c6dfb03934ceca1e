#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>

#include "platform/gdiplus/ColorReduction.h"
#include "platform/gdiplus/GifCodec.h"
#include "platform/gdiplus/PixelConversion.h"
#include "tests/platform/gdiplus/PngGifTestSupport.h"

namespace {

constexpr UINT kWidth = 47;
constexpr UINT kHeight = 33;

// Encodes, decodes with our decoder and checks the frame came back whole.
ImageBuffer RoundTrip(const ImageView& source) {
    Bytes file;
    ImageBuffer decoded;
    EXPECT_EQ(EncodeGif(source, file), Ok);
    EXPECT_EQ(DecodeGif(file.data(), file.size(), decoded), Ok);
    EXPECT_EQ(decoded.Format(), PixelFormat8bppIndexed);
    EXPECT_EQ(decoded.Width(), source.width);
    EXPECT_EQ(decoded.Height(), source.height);
    return decoded;
}

UINT IndexAt(const ImageView& image, UINT x, UINT y) {
    const BYTE* row = image.Row(y);
    switch (image.format) {
        case PixelFormat1bppIndexed:
            return (row[x >> 3] >> (7 - (x & 7))) & 1;
        case PixelFormat4bppIndexed:
            return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF;
        default:
            return row[x];
    }
}

// Keeps the indices below `limit` by folding them, so that small tables are
// exercised with every index they hold.
void LimitIndices(ImageBuffer& image, UINT limit) {
    const UINT bits = GetPixelFormatSize(image.Format());
    for (UINT y = 0; y < image.Height(); ++y) {
        BYTE* row = image.Row(y);
        for (UINT x = 0; x < image.Width(); ++x) {
            const UINT index = IndexAt(image.View(), x, y) % limit;
            const UINT shift = 8 - bits - (x * bits) % 8;
            BYTE& byte = row[x * bits / 8];
            byte = static_cast<BYTE>((byte & ~(((1u << bits) - 1) << shift)) | (index << shift));
        }
    }
}

TEST(GifEncoder, IndexedPicturesKeepTheirIndicesAndTable) {
    const struct {
        const char* what;
        PixelFormat format;
        UINT entries;
        UINT indexLimit;  // indices used: 0 to limit - 1
        int clearEntry;   // -1: none
        UINT tableSize;   // in the file
    } cases[] = {
        {"1 bpp, 2 entries", PixelFormat1bppIndexed, 2, 2, -1, 2},
        {"1 bpp, 1 entry", PixelFormat1bppIndexed, 1, 1, -1, 2},
        {"4 bpp, 16 entries", PixelFormat4bppIndexed, 16, 16, -1, 16},
        {"4 bpp, 3 entries", PixelFormat4bppIndexed, 3, 3, -1, 4},
        {"4 bpp, 5 entries, entry 4 clear", PixelFormat4bppIndexed, 5, 5, 4, 8},
        {"8 bpp, 256 entries", PixelFormat8bppIndexed, 256, 256, -1, 256},
        {"8 bpp, 200 entries, entry 0 clear", PixelFormat8bppIndexed, 200, 200, 0, 256},
        {"8 bpp, 17 entries", PixelFormat8bppIndexed, 17, 17, -1, 32},
        {"8 bpp, 2 entries, indices to 99", PixelFormat8bppIndexed, 2, 100, -1, 128},
    };
    uint32_t seed = 40;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ImageBuffer source = NoisePicture(c.format, kWidth, kHeight, seed++, c.entries);
        LimitIndices(source, c.indexLimit);
        if (c.clearEntry >= 0)
            source.Palette()[c.clearEntry] &= 0x00FFFFFF;
        const ImageBuffer decoded = RoundTrip(source.View());

        std::vector<ARGB> table = source.Palette();
        table.resize(c.tableSize, 0xFF000000u);
        EXPECT_EQ(decoded.Palette(), table);
        EXPECT_EQ(ArgbPixels(decoded.View()), ArgbPixels(source.View()));
        for (UINT y = 0; y < kHeight; ++y) {
            for (UINT x = 0; x < kWidth; ++x) {
                ASSERT_EQ(IndexAt(decoded.View(), x, y), IndexAt(source.View(), x, y))
                    << x << "," << y;
            }
        }
    }
}

// A picture in `format` whose pixels read back (through ReadRowArgb) as the
// given ARGB values. 48/64 bpp channels are the 8-bit value repeated.
ImageBuffer PictureOf(PixelFormat format, const std::vector<ARGB>& pixels, UINT width,
                      UINT height) {
    ImageBuffer image;
    EXPECT_EQ(image.Allocate(format, width, height), Ok);
    for (UINT y = 0; y < height; ++y) {
        const ARGB* in = &pixels[static_cast<size_t>(y) * width];
        BYTE* row = image.Row(y);
        if (format == PixelFormat48bppRGB || format == PixelFormat64bppARGB) {
            const UINT channels = format == PixelFormat48bppRGB ? 3 : 4;
            for (UINT x = 0; x < width; ++x) {
                for (UINT c = 0; c < channels; ++c) {
                    const BYTE value = static_cast<BYTE>(in[x] >> (8 * c));
                    row[2 * (channels * x + c)] = value;
                    row[2 * (channels * x + c) + 1] = value;
                }
            }
        } else {
            EXPECT_TRUE(WriteRowArgb(in, width, format, row));
        }
    }
    return image;
}

// `count` different colours, the key colour among them, scattered at random;
// with `clear`, some pixels have alpha 0 (with varying RGB, which no 8-bit
// table can keep).
std::vector<ARGB> Scattered(UINT count, bool clear, uint32_t seed) {
    std::vector<ARGB> colors = {kKeyColor};
    for (UINT i = 1; colors.size() < count; ++i)
        colors.push_back(0xFF000000u | (i * 0x9E3779B1u >> 8));
    std::vector<ARGB> pixels(static_cast<size_t>(kWidth) * kHeight);
    uint32_t state = seed;
    for (size_t i = 0; i < pixels.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        pixels[i] = colors[(state >> 8) % colors.size()];
        if (clear && (state >> 28) == 0)
            pixels[i] = (state << 8) >> 8;
    }
    for (size_t i = 0; i < colors.size(); ++i)
        pixels[i] = colors[i];  // every colour present
    return pixels;
}

// What an 8-bit table can hold of a pixel: alpha 0 as one transparent
// colour, any other alpha as opaque.
ARGB AsTableHoldsIt(ARGB pixel) {
    return (pixel >> 24) == 0 ? 0 : (pixel | 0xFF000000u);
}

TEST(GifEncoder, PicturesOfAtMost256ColoursRoundTripExactly) {
    const struct {
        const char* what;
        PixelFormat format;
        UINT colors;
        bool clear;
    } cases[] = {
        {"24 bpp, 2 colours", PixelFormat24bppRGB, 2, false},
        {"24 bpp, 256 colours", PixelFormat24bppRGB, 256, false},
        {"32 bpp RGB, 100 colours", PixelFormat32bppRGB, 100, false},
        {"32 bpp ARGB, 255 colours and transparent pixels", PixelFormat32bppARGB, 255, true},
        {"48 bpp, 256 colours", PixelFormat48bppRGB, 256, false},
        {"64 bpp, 30 colours and transparent pixels", PixelFormat64bppARGB, 30, true},
    };
    uint32_t seed = 7;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<ARGB> pixels = Scattered(c.colors, c.clear, seed++);
        const ImageBuffer source = PictureOf(c.format, pixels, kWidth, kHeight);
        const ImageBuffer decoded = RoundTrip(source.View());
        std::vector<ARGB> expected = ArgbPixels(source.View());
        std::transform(expected.begin(), expected.end(), expected.begin(), AsTableHoldsIt);
        EXPECT_EQ(ArgbPixels(decoded.View()), expected);
    }
}

// A smooth picture of thousands of colours with noise, marked with the key
// colour in places, and with transparent pixels when asked.
std::vector<ARGB> Photo(UINT width, UINT height, bool clear) {
    std::vector<ARGB> pixels(static_cast<size_t>(width) * height);
    uint32_t state = 99;
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const UINT noise = (state >> 24) & 7;
            const UINT red = std::min(255u, x * 255 / (width - 1) + noise);
            const UINT green = std::min(255u, y * 255 / (height - 1) + noise);
            const UINT blue = ((x + y) * 127 / (width + height) + 64) & 0xFF;
            ARGB pixel = 0xFF000000u | (red << 16) | (green << 8) | blue;
            if ((x / 7 + y / 5) % 9 == 0)
                pixel = kKeyColor;
            if (clear && (x / 11 + y / 3) % 13 == 0)
                pixel = 0x00123456;
            pixels[static_cast<size_t>(y) * width + x] = pixel;
        }
    }
    return pixels;
}

TEST(GifEncoder, ManyColoursAreReducedKeepingTheKeyColourAndTransparencyExact) {
    const struct {
        const char* what;
        PixelFormat format;
        bool clear;
    } cases[] = {
        {"24 bpp", PixelFormat24bppRGB, false},
        {"32 bpp ARGB with transparent pixels", PixelFormat32bppARGB, true},
        {"48 bpp", PixelFormat48bppRGB, false},
    };
    constexpr UINT kPhotoWidth = 160, kPhotoHeight = 120;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<ARGB> pixels = Photo(kPhotoWidth, kPhotoHeight, c.clear);
        ASSERT_GT(std::set<ARGB>(pixels.begin(), pixels.end()).size(), 1000u);
        const ImageBuffer source = PictureOf(c.format, pixels, kPhotoWidth, kPhotoHeight);
        const ImageBuffer decoded = RoundTrip(source.View());
        EXPECT_LE(decoded.Palette().size(), 256u);
        const std::vector<ARGB> actual = ArgbPixels(decoded.View());
        double totalError = 0;
        int largestError = 0;
        for (size_t i = 0; i < pixels.size(); ++i) {
            const ARGB expected = AsTableHoldsIt(pixels[i]);
            if (expected == kKeyColor || (expected >> 24) == 0) {
                ASSERT_EQ(actual[i], expected) << "pixel " << i;
                continue;
            }
            ASSERT_NE(actual[i], kKeyColor) << "pixel " << i << " became the key colour";
            ASSERT_EQ(actual[i] >> 24, 0xFFu) << "pixel " << i << " became transparent";
            for (int shift = 0; shift < 24; shift += 8) {
                const int error = std::abs(static_cast<int>((actual[i] >> shift) & 0xFF) -
                                           static_cast<int>((expected >> shift) & 0xFF));
                totalError += error;
                largestError = std::max(largestError, error);
            }
        }
        // A median cut of this picture lands within a few steps on average;
        // a broken reduction (or mapping) lands tens of steps away.
        EXPECT_LT(totalError / (3.0 * pixels.size()), 4.0);
        EXPECT_LT(largestError, 24);
    }
}

TEST(GifEncoder, AnIndependentReaderSeesTheSamePixels) {
    ImageBuffer indexed = NoisePicture(PixelFormat4bppIndexed, kWidth, kHeight, 5, 16);
    indexed.Palette()[3] &= 0x00FFFFFF;
    const ImageBuffer few =
        PictureOf(PixelFormat32bppARGB, Scattered(200, true, 3), kWidth, kHeight);
    const std::vector<ARGB> photoPixels = Photo(160, 120, true);
    const ImageBuffer many = PictureOf(PixelFormat32bppARGB, photoPixels, 160, 120);
    const struct {
        const char* what;
        ImageView view;
    } cases[] = {
        {"4 bpp indexed with a transparent entry", indexed.View()},
        {"200 colours with transparent pixels", few.View()},
        {"thousands of colours, reduced", many.View()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file;
        ASSERT_EQ(EncodeGif(c.view, file), Ok);
        ImageBuffer decoded;
        ASSERT_EQ(DecodeGif(file.data(), file.size(), decoded), Ok);
        const std::string path = ScratchPath("encoded.gif");
        ASSERT_TRUE(WriteFileBytes(path, file));
        UINT width = 0, height = 0;
        std::vector<ARGB> pixels;
        std::string error;
        ASSERT_TRUE(ReadWithPil(path, width, height, pixels, error)) << error;
        EXPECT_EQ(width, c.view.width);
        EXPECT_EQ(height, c.view.height);
        EXPECT_EQ(pixels, ArgbPixels(decoded.View()));
    }
}

TEST(GifEncoder, PicturesItCannotWriteAreRefusedAndLeaveTheOutputAlone) {
    const ImageBuffer picture = NoisePicture(PixelFormat24bppRGB, 4, 4, 3);
    ImageBuffer tooWide;
    ASSERT_EQ(tooWide.Allocate(PixelFormat8bppIndexed, 65536, 1), Ok);
    ImageBuffer tooTall;
    ASSERT_EQ(tooTall.Allocate(PixelFormat1bppIndexed, 1, 65536), Ok);
    ImageView noWidth = picture.View();
    noWidth.width = 0;
    ImageView noPixels = picture.View();
    noPixels.scan0 = nullptr;
    ImageView unknownFormat = picture.View();
    unknownFormat.format = 0x00021899;
    const struct {
        const char* what;
        ImageView view;
        Status status;
    } cases[] = {
        {"65536 wide", tooWide.View(), ValueOverflow},
        {"65536 tall", tooTall.View(), ValueOverflow},
        {"no width", noWidth, InvalidParameter},
        {"no pixels", noPixels, InvalidParameter},
        {"unknown format", unknownFormat, InvalidParameter},
    };
    for (const auto& c : cases) {
        Bytes out = {1, 2, 3};
        EXPECT_EQ(EncodeGif(c.view, out), c.status) << c.what;
        EXPECT_EQ(out, (Bytes{1, 2, 3})) << c.what;
    }
}

TEST(GifEncoder, TransparencyMakesA89aFileAndItsAbsenceA87aOne) {
    ImageBuffer opaque = NoisePicture(PixelFormat8bppIndexed, kWidth, kHeight, 1, 256);
    ImageBuffer clear = NoisePicture(PixelFormat8bppIndexed, kWidth, kHeight, 1, 256);
    clear.Palette()[9] = 0;
    const struct {
        const ImageBuffer& image;
        const char* signature;
    } cases[] = {{opaque, "GIF87a"}, {clear, "GIF89a"}};
    for (const auto& c : cases) {
        Bytes file;
        ASSERT_EQ(EncodeGif(c.image.View(), file), Ok);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 6), c.signature);
    }
}

}  // namespace
