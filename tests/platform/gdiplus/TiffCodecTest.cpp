// TIFF encoding: the layout written for each format, exact round trips
// through our decoder, and agreement with PIL.
#include <gtest/gtest.h>

#include "platform/gdiplus/TiffCodec.h"
#include "tests/platform/gdiplus/TiffTestFiles.h"

namespace jpegtiff_test {
namespace {

Bytes Encode(const ImageView& view) {
    Bytes file;
    EXPECT_EQ(EncodeTiff(view, file), Ok);
    return file;
}

// The bytes of row y that hold pixels, padding left out.
Bytes PixelBytes(const ImageView& image, UINT y) {
    return Bytes(image.Row(y),
                 image.Row(y) + (size_t{image.width} * GetPixelFormatSize(image.format) + 7) / 8);
}

TEST(TiffRoundTrip, EveryFormatComesBackWithTheSamePixels) {
    struct Case {
        PixelFormat format;
        UINT paletteCount;    // 0: all the depth holds
        PixelFormat decoded;  // when it is the format itself, the bytes must match too
    } cases[] = {
        {PixelFormat1bppIndexed, 0, PixelFormat1bppIndexed},
        {PixelFormat4bppIndexed, 5, PixelFormat4bppIndexed},
        {PixelFormat8bppIndexed, 0, PixelFormat8bppIndexed},
        {PixelFormat8bppIndexed, 40, PixelFormat8bppIndexed},
        {PixelFormat16bppGrayScale, 0, PixelFormat32bppARGB},
        {PixelFormat16bppRGB555, 0, PixelFormat24bppRGB},
        {PixelFormat16bppRGB565, 0, PixelFormat24bppRGB},
        {PixelFormat16bppARGB1555, 0, PixelFormat32bppARGB},
        {PixelFormat24bppRGB, 0, PixelFormat24bppRGB},
        {PixelFormat32bppRGB, 0, PixelFormat24bppRGB},
        {PixelFormat32bppARGB, 0, PixelFormat32bppARGB},
        {PixelFormat32bppPARGB, 0, PixelFormat32bppARGB},
        {PixelFormat48bppRGB, 0, PixelFormat48bppRGB},
        {PixelFormat64bppARGB, 0, PixelFormat64bppARGB},
        {PixelFormat64bppPARGB, 0, PixelFormat64bppARGB},
    };
    for (const Case& c : cases) {
        for (const UINT width : {47u, 1u, 3u, 130u}) {
            SCOPED_TRACE(testing::Message() << std::hex << c.format << std::dec << ", "
                                            << c.paletteCount << " colours, " << width << " wide");
            const ImageBuffer source =
                NoisePicture(c.format, width, 33, width + c.format, c.paletteCount);
            const Bytes file = Encode(source.View());
            if (width == 47)
                KeepAsFuzzSeed("tiff", "ours-" + std::to_string(c.format), file);
            ImageBuffer decoded;
            ASSERT_EQ(DecodeTiff(file.data(), file.size(), decoded), Ok);
            ASSERT_EQ(decoded.Format(), c.decoded);
            EXPECT_EQ(ArgbPixels(decoded.View()), ArgbPixels(source.View()));
            for (UINT y = 0; c.decoded == c.format && y < source.Height(); ++y) {
                ASSERT_EQ(PixelBytes(decoded.View(), y), PixelBytes(source.View(), y))
                    << "row " << y;
            }
            // The file's map covers the depth; entries the table lacks are black.
            const std::vector<ARGB>& palette = decoded.Palette();
            for (size_t i = 0; i < palette.size(); ++i) {
                EXPECT_EQ(palette[i],
                          i < source.Palette().size() ? source.Palette()[i] : 0xFF000000u);
            }
        }
    }
}

TEST(TiffEncoder, WritesLzwWithTheLayoutOfEachFormat) {
    const uint16_t rgb = PHOTOMETRIC_RGB, none = 0, unassoc = EXTRASAMPLE_UNASSALPHA,
                   assoc = EXTRASAMPLE_ASSOCALPHA;
    struct Case {
        PixelFormat format;
        uint16_t photometric, bits, samples, alpha;
    } cases[] = {
        {PixelFormat1bppIndexed, PHOTOMETRIC_PALETTE, 1, 1, none},
        {PixelFormat8bppIndexed, PHOTOMETRIC_PALETTE, 8, 1, none},
        {PixelFormat16bppGrayScale, PHOTOMETRIC_MINISBLACK, 16, 1, none},
        {PixelFormat16bppARGB1555, rgb, 8, 4, unassoc},
        {PixelFormat32bppRGB, rgb, 8, 3, none},
        {PixelFormat32bppARGB, rgb, 8, 4, unassoc},
        {PixelFormat32bppPARGB, rgb, 8, 4, assoc},
        {PixelFormat48bppRGB, rgb, 16, 3, none},
        {PixelFormat64bppPARGB, rgb, 16, 4, assoc},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.format);
        const TiffFields f = ReadTiffFields(Encode(NoisePicture(c.format, 9, 4, 3).View()));
        EXPECT_EQ(f.compression, COMPRESSION_LZW);
        EXPECT_EQ(f.photometric, c.photometric);
        EXPECT_EQ(f.bits, c.bits);
        EXPECT_EQ(f.samples, c.samples);
        EXPECT_EQ(f.extraSamples,
                  c.alpha == none ? std::vector<uint16_t>{} : std::vector<uint16_t>{c.alpha});
        // Palette indices gain nothing from differencing; levels do.
        EXPECT_EQ(f.predictor,
                  c.photometric == PHOTOMETRIC_PALETTE ? PREDICTOR_NONE : PREDICTOR_HORIZONTAL);
    }
}

TEST(TiffEncoder, RefusesPicturesItCannotWrite) {
    const ImageBuffer good = NoisePicture(PixelFormat24bppRGB, 8, 8, 1);
    ImageView noPixels = good.View(), noHeight = good.View(), unknownFormat = good.View();
    noPixels.scan0 = nullptr;
    noHeight.height = 0;
    unknownFormat.format = PixelFormatUndefined;
    for (const ImageView& view : {noPixels, noHeight, unknownFormat}) {
        Bytes file = {7};
        EXPECT_EQ(EncodeTiff(view, file), InvalidParameter);
        EXPECT_EQ(file, Bytes{7});
    }
}

TEST(TiffPillow, ReadsOurFilesWithTheSamePixels) {
    if (!PillowAvailable())
        GTEST_SKIP() << "/usr/bin/python3 cannot import PIL";
    struct Case {
        PixelFormat format;
        const char* mode;
        int tolerance;  // PIL rounds down where ReadRowArgb rounds when it divides out alpha
    } cases[] = {
        {PixelFormat1bppIndexed, "P", 0},   {PixelFormat4bppIndexed, "P", 0},
        {PixelFormat8bppIndexed, "P", 0},   {PixelFormat24bppRGB, "RGB", 0},
        {PixelFormat32bppARGB, "RGBA", 0},  {PixelFormat32bppPARGB, "RGBA", 1},
        {PixelFormat48bppRGB, "RGB", 0},    {PixelFormat64bppARGB, "RGBA", 0},
        {PixelFormat16bppRGB565, "RGB", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.format);
        const ImageBuffer source = NoisePicture(c.format, 29, 19, 11);
        std::string mode;
        std::vector<ARGB> theirs;
        ASSERT_TRUE(DecodeWithPillow(Encode(source.View()), mode, theirs));
        EXPECT_EQ(mode, c.mode);
        EXPECT_LE(MaxChannelDifference(theirs, ArgbPixels(source.View())), c.tolerance);
    }
}

}  // namespace
}  // namespace jpegtiff_test
