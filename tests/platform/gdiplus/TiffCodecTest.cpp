// TIFF encoding: the layout written for each format, exact round trips
// through our decoder, and agreement with PIL.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/gdiplus/TiffCodec.h"
#include "tests/platform/gdiplus/JpegTiffTestSupport.h"
#include "tests/platform/gdiplus/TiffTestFiles.h"

namespace jpegtiff_test {
namespace {

Bytes Encode(const ImageView& view) {
    Bytes file;
    EXPECT_EQ(EncodeTiff(view, file), Ok);
    return file;
}

struct FormatCase {
    PixelFormat format;
    UINT paletteCount;  // indexed formats only; 0 fills the depth
    PixelFormat decoded;
    // Same format back: the pixel bytes themselves must match. Otherwise the
    // colours, as ReadRowArgb sees them.
    bool sameBytes;
};

const FormatCase kFormats[] = {
    {PixelFormat1bppIndexed, 0, PixelFormat1bppIndexed, true},
    {PixelFormat4bppIndexed, 0, PixelFormat4bppIndexed, true},
    {PixelFormat4bppIndexed, 5, PixelFormat4bppIndexed, true},
    {PixelFormat8bppIndexed, 0, PixelFormat8bppIndexed, true},
    {PixelFormat8bppIndexed, 40, PixelFormat8bppIndexed, true},
    {PixelFormat16bppGrayScale, 0, PixelFormat32bppARGB, false},
    {PixelFormat16bppRGB555, 0, PixelFormat24bppRGB, false},
    {PixelFormat16bppRGB565, 0, PixelFormat24bppRGB, false},
    {PixelFormat16bppARGB1555, 0, PixelFormat32bppARGB, false},
    {PixelFormat24bppRGB, 0, PixelFormat24bppRGB, true},
    {PixelFormat32bppRGB, 0, PixelFormat24bppRGB, false},
    {PixelFormat32bppARGB, 0, PixelFormat32bppARGB, true},
    {PixelFormat32bppPARGB, 0, PixelFormat32bppARGB, false},
    {PixelFormat48bppRGB, 0, PixelFormat48bppRGB, true},
    {PixelFormat64bppARGB, 0, PixelFormat64bppARGB, true},
    {PixelFormat64bppPARGB, 0, PixelFormat64bppARGB, false},
};

std::string Label(PixelFormat format, UINT paletteCount = 0) {
    char text[48];
    std::snprintf(text, sizeof text, "format %08X", static_cast<unsigned>(format));
    return std::string(text) +
           (paletteCount != 0 ? " with " + std::to_string(paletteCount) + " colours" : "");
}

void ExpectSamePicture(const ImageBuffer& source, const ImageBuffer& decoded, bool sameBytes) {
    ASSERT_EQ(decoded.Width(), source.Width());
    ASSERT_EQ(decoded.Height(), source.Height());
    EXPECT_EQ(ArgbPixels(decoded.View()), ArgbPixels(source.View()));
    if (!sameBytes)
        return;
    for (UINT y = 0; y < source.Height(); ++y) {
        ASSERT_EQ(PixelBytesOfRow(decoded.View(), y), PixelBytesOfRow(source.View(), y))
            << "row " << y;
    }
    // The file's map has an entry for every index of the depth; those the
    // source's table lacks are black.
    const std::vector<ARGB>& palette = decoded.Palette();
    if (!IsIndexedPixelFormat(source.Format()))
        return;
    ASSERT_EQ(palette.size(), 1u << GetPixelFormatSize(source.Format()));
    for (size_t i = 0; i < palette.size(); ++i) {
        EXPECT_EQ(palette[i], i < source.Palette().size() ? source.Palette()[i] : 0xFF000000u);
    }
}

TEST(TiffRoundTrip, EveryFormatComesBackWithTheSamePixels) {
    struct Size {
        UINT width;
        UINT height;
    } sizes[] = {{47, 33}, {1, 1}, {3, 2}, {130, 7}};
    for (const FormatCase& c : kFormats) {
        for (const Size& size : sizes) {
            SCOPED_TRACE(Label(c.format, c.paletteCount) + ", " + std::to_string(size.width) + "x" +
                         std::to_string(size.height));
            const ImageBuffer source = NoisePicture(c.format, size.width, size.height,
                                                    size.width * 31 + c.format, c.paletteCount);
            const Bytes file = Encode(source.View());
            if (size.width == 47)
                KeepAsFuzzSeed("tiff", "ours-" + Label(c.format, c.paletteCount) + ".tif", file);
            ImageBuffer decoded;
            ASSERT_EQ(DecodeTiff(file.data(), file.size(), decoded), Ok);
            EXPECT_EQ(decoded.Format(), c.decoded);
            ExpectSamePicture(source, decoded, c.sameBytes);
        }
    }
}

TEST(TiffRoundTrip, BottomUpViewsAreWrittenTopRowFirst) {
    const ImageBuffer source = NoisePicture(PixelFormat24bppRGB, 21, 13, 5);
    ImageView bottomUp = source.View();
    // The same rows seen bottom-up: the view's first row is the buffer's last.
    bottomUp.scan0 = source.Row(source.Height() - 1);
    bottomUp.stride = -source.Stride();
    const Bytes file = Encode(bottomUp);
    ImageBuffer decoded;
    ASSERT_EQ(DecodeTiff(file.data(), file.size(), decoded), Ok);
    for (UINT y = 0; y < source.Height(); ++y) {
        EXPECT_EQ(PixelBytesOfRow(decoded.View(), y), PixelBytesOfRow(bottomUp, y)) << "row " << y;
    }
}

TEST(TiffEncoder, WritesLzwWithTheLayoutOfEachFormat) {
    const uint16_t none = 0, unassociated = EXTRASAMPLE_UNASSALPHA,
                   associated = EXTRASAMPLE_ASSOCALPHA;
    struct Case {
        PixelFormat format;
        uint16_t photometric;
        uint16_t bits;
        uint16_t samples;
        uint16_t alpha;  // the one extra sample's kind; 0 when there is none
    } cases[] = {
        {PixelFormat1bppIndexed, PHOTOMETRIC_PALETTE, 1, 1, none},
        {PixelFormat4bppIndexed, PHOTOMETRIC_PALETTE, 4, 1, none},
        {PixelFormat8bppIndexed, PHOTOMETRIC_PALETTE, 8, 1, none},
        {PixelFormat16bppGrayScale, PHOTOMETRIC_MINISBLACK, 16, 1, none},
        {PixelFormat16bppRGB565, PHOTOMETRIC_RGB, 8, 3, none},
        {PixelFormat16bppARGB1555, PHOTOMETRIC_RGB, 8, 4, unassociated},
        {PixelFormat24bppRGB, PHOTOMETRIC_RGB, 8, 3, none},
        {PixelFormat32bppRGB, PHOTOMETRIC_RGB, 8, 3, none},
        {PixelFormat32bppARGB, PHOTOMETRIC_RGB, 8, 4, unassociated},
        {PixelFormat32bppPARGB, PHOTOMETRIC_RGB, 8, 4, associated},
        {PixelFormat48bppRGB, PHOTOMETRIC_RGB, 16, 3, none},
        {PixelFormat64bppARGB, PHOTOMETRIC_RGB, 16, 4, unassociated},
        {PixelFormat64bppPARGB, PHOTOMETRIC_RGB, 16, 4, associated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Label(c.format));
        const ImageBuffer source = NoisePicture(c.format, 9, 4, 3);
        const TiffFields fields = ReadTiffFields(Encode(source.View()));
        ASSERT_TRUE(fields.read);
        EXPECT_EQ(fields.compression, COMPRESSION_LZW);
        EXPECT_EQ(fields.photometric, c.photometric);
        EXPECT_EQ(fields.bits, c.bits);
        EXPECT_EQ(fields.samples, c.samples);
        EXPECT_EQ(fields.extraSamples,
                  c.alpha == none ? std::vector<uint16_t>{} : std::vector<uint16_t>{c.alpha});
        // Palette indices gain nothing from differencing; levels do.
        EXPECT_EQ(fields.predictor,
                  c.photometric == PHOTOMETRIC_PALETTE ? PREDICTOR_NONE : PREDICTOR_HORIZONTAL);
        if (c.photometric == PHOTOMETRIC_PALETTE) {
            // 8-bit colours widen to 16 bits by repeating the byte.
            const size_t n = size_t{1} << c.bits;
            ASSERT_EQ(fields.colormap.size(), 3 * n);
            for (size_t i = 0; i < n; ++i) {
                const ARGB colour = source.Palette()[i];
                EXPECT_EQ(fields.colormap[i], ((colour >> 16) & 0xFF) * 257);
                EXPECT_EQ(fields.colormap[n + i], ((colour >> 8) & 0xFF) * 257);
                EXPECT_EQ(fields.colormap[2 * n + i], (colour & 0xFF) * 257);
            }
        }
    }
}

TEST(TiffEncoder, RefusesPicturesItCannotWrite) {
    const ImageBuffer good = NoisePicture(PixelFormat24bppRGB, 8, 8, 1);
    ImageView noPixels = good.View();
    noPixels.scan0 = nullptr;
    ImageView noHeight = good.View();
    noHeight.height = 0;
    ImageView unknownFormat = good.View();
    unknownFormat.format = PixelFormatUndefined;
    struct Case {
        const char* name;
        ImageView view;
    } cases[] = {
        {"no pixels", noPixels}, {"zero height", noHeight}, {"unknown format", unknownFormat}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = {7};
        EXPECT_EQ(EncodeTiff(c.view, file), InvalidParameter);
        EXPECT_EQ(file, Bytes{7});
    }
}

TEST(TiffPillow, ReadsOurFilesWithTheSamePixels) {
    if (!PillowAvailable())
        GTEST_SKIP() << "/usr/bin/python3 cannot import PIL";
    struct Case {
        PixelFormat format;
        const char* mode;
        // PIL truncates where ReadRowArgb rounds when it divides out alpha.
        int tolerance;
    } cases[] = {
        {PixelFormat1bppIndexed, "P", 0},   {PixelFormat4bppIndexed, "P", 0},
        {PixelFormat8bppIndexed, "P", 0},   {PixelFormat24bppRGB, "RGB", 0},
        {PixelFormat32bppRGB, "RGB", 0},    {PixelFormat32bppARGB, "RGBA", 0},
        {PixelFormat32bppPARGB, "RGBA", 1}, {PixelFormat48bppRGB, "RGB", 0},
        {PixelFormat64bppARGB, "RGBA", 0},  {PixelFormat16bppRGB565, "RGB", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Label(c.format));
        const ImageBuffer source = NoisePicture(c.format, 29, 19, 11);
        PillowPicture theirs;
        std::string error;
        ASSERT_TRUE(DecodeWithPillow(Encode(source.View()), theirs, error)) << error;
        EXPECT_EQ(theirs.mode, c.mode);
        EXPECT_LE(MaxChannelDifference(theirs.pixels, ArgbPixels(source.View())), c.tolerance);
    }
}

TEST(TiffPillow, ReadsOurSixteenBitGreyLevelForLevel) {
    if (!PillowAvailable())
        GTEST_SKIP() << "/usr/bin/python3 cannot import PIL";
    const ImageBuffer source = NoisePicture(PixelFormat16bppGrayScale, 23, 9, 4);
    PillowPicture theirs;
    std::string error;
    ASSERT_TRUE(DecodeWithPillow(Encode(source.View()), theirs, error)) << error;
    EXPECT_EQ(theirs.mode, "I;16");
    std::vector<uint16_t> levels;
    for (UINT y = 0; y < source.Height(); ++y) {
        for (UINT x = 0; x < source.Width(); ++x) {
            levels.push_back(
                static_cast<uint16_t>(source.Row(y)[2 * x] | source.Row(y)[2 * x + 1] << 8));
        }
    }
    EXPECT_EQ(theirs.grey16, levels);
}

}  // namespace
}  // namespace jpegtiff_test
