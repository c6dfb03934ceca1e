#include <gtest/gtest.h>

#include <string>

#include "platform/gdiplus/PngCodec.h"
#include "tests/platform/gdiplus/PngGifTestSupport.h"

namespace {

// An odd size, so that packed rows end in part of a byte.
constexpr UINT kWidth = 47;
constexpr UINT kHeight = 33;

enum class Table {
    kNone,
    kRandom,             // random opaque colours filling the depth
    kRandomWithAlpha,    // the same, some entries clear, one half clear
    kGreyRamp,           // the grey ramp of the depth
    kGreyRampOneClear,   // the ramp with one entry of alpha 0
    kGreyRampHalfClear,  // the ramp with one entry of alpha 128
    kTwoBitRampIn4Bpp,   // a 4-level ramp in a 4-bit picture
    kTwoEntries,         // fewer entries than the indices used
    kMoreThanTheDepthHolds,
};

std::vector<ARGB> GreyRamp(UINT levels) {
    std::vector<ARGB> ramp;
    for (UINT i = 0; i < levels; ++i)
        ramp.push_back(0xFF000000u | (i * 255 / (levels - 1)) * 0x010101u);
    return ramp;
}

ImageBuffer Picture(PixelFormat format, Table table, uint32_t seed) {
    const UINT depthLevels = 1u << GetPixelFormatSize(format);
    UINT randomEntries = 0;
    if (table == Table::kRandom || table == Table::kRandomWithAlpha)
        randomEntries = depthLevels;
    if (table == Table::kTwoEntries)
        randomEntries = 2;
    if (table == Table::kMoreThanTheDepthHolds)
        randomEntries = 256;
    ImageBuffer image = NoisePicture(format, kWidth, kHeight, seed, randomEntries);
    std::vector<ARGB>& palette = image.Palette();
    switch (table) {
        case Table::kRandomWithAlpha:
            palette[0] &= 0x00FFFFFF;
            palette[depthLevels - 1] &= 0x00FFFFFF;
            palette[1] = (palette[1] & 0x00FFFFFF) | 0x80000000u;
            break;
        case Table::kGreyRamp:
        case Table::kGreyRampOneClear:
        case Table::kGreyRampHalfClear:
            palette = GreyRamp(depthLevels);
            if (table == Table::kGreyRampOneClear)
                palette[1] &= 0x00FFFFFF;
            if (table == Table::kGreyRampHalfClear)
                palette[1] = (palette[1] & 0x00FFFFFF) | 0x80000000u;
            break;
        case Table::kTwoBitRampIn4Bpp:
            // As a decoded 2-bit file holds it: indices 0 to 3 only.
            palette = GreyRamp(4);
            for (UINT y = 0; y < kHeight; ++y) {
                for (UINT i = 0; i < (kWidth + 1) / 2; ++i)
                    image.Row(y)[i] &= 0x33;
            }
            break;
        default:
            break;
    }
    return image;
}

bool HasChunk(const Bytes& file, const char* wanted) {
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t length =
            (file[at] << 24) | (file[at + 1] << 16) | (file[at + 2] << 8) | file[at + 3];
        if (std::string(file.begin() + at + 4, file.begin() + at + 8) == wanted)
            return true;
        at += 12 + length;
    }
    return false;
}

const struct EncodeCase {
    const char* what;
    PixelFormat format;
    Table table;
    PixelFormat decodedFormat;
    int colorType;  // as IHDR says
    int bitDepth;
    bool trns;
    bool sameBytes;  // the decoded rows equal the source's byte for byte
} kCases[] = {
    {"1 bpp, random table", PixelFormat1bppIndexed, Table::kRandom, PixelFormat1bppIndexed, 3, 1,
     false, true},
    {"1 bpp, grey ramp", PixelFormat1bppIndexed, Table::kGreyRamp, PixelFormat1bppIndexed, 0, 1,
     false, true},
    {"1 bpp, 256 entries", PixelFormat1bppIndexed, Table::kMoreThanTheDepthHolds,
     PixelFormat1bppIndexed, 3, 1, false, true},
    {"4 bpp, random table", PixelFormat4bppIndexed, Table::kRandom, PixelFormat4bppIndexed, 3, 4,
     false, true},
    {"4 bpp, table with alpha", PixelFormat4bppIndexed, Table::kRandomWithAlpha,
     PixelFormat4bppIndexed, 3, 4, true, true},
    {"4 bpp, grey ramp", PixelFormat4bppIndexed, Table::kGreyRamp, PixelFormat4bppIndexed, 0, 4,
     false, true},
    {"4 bpp, 2-bit grey ramp", PixelFormat4bppIndexed, Table::kTwoBitRampIn4Bpp,
     PixelFormat4bppIndexed, 3, 4, false, true},
    {"8 bpp, random table", PixelFormat8bppIndexed, Table::kRandom, PixelFormat8bppIndexed, 3, 8,
     false, true},
    {"8 bpp, table with alpha", PixelFormat8bppIndexed, Table::kRandomWithAlpha,
     PixelFormat8bppIndexed, 3, 8, true, true},
    {"8 bpp, grey ramp", PixelFormat8bppIndexed, Table::kGreyRamp, PixelFormat8bppIndexed, 0, 8,
     false, true},
    {"8 bpp, grey ramp, one clear", PixelFormat8bppIndexed, Table::kGreyRampOneClear,
     PixelFormat8bppIndexed, 0, 8, true, true},
    {"8 bpp, grey ramp, one half clear", PixelFormat8bppIndexed, Table::kGreyRampHalfClear,
     PixelFormat8bppIndexed, 3, 8, true, true},
    {"8 bpp, two entries", PixelFormat8bppIndexed, Table::kTwoEntries, PixelFormat8bppIndexed, 3, 8,
     false, true},
    {"16 bpp 5-5-5", PixelFormat16bppRGB555, Table::kNone, PixelFormat24bppRGB, 2, 8, false, false},
    {"16 bpp 5-6-5", PixelFormat16bppRGB565, Table::kNone, PixelFormat24bppRGB, 2, 8, false, false},
    {"16 bpp grey", PixelFormat16bppGrayScale, Table::kNone, PixelFormat32bppARGB, 6, 8, false,
     false},
    {"16 bpp 1-5-5-5", PixelFormat16bppARGB1555, Table::kNone, PixelFormat32bppARGB, 6, 8, false,
     false},
    {"24 bpp", PixelFormat24bppRGB, Table::kNone, PixelFormat24bppRGB, 2, 8, false, true},
    {"32 bpp RGB", PixelFormat32bppRGB, Table::kNone, PixelFormat24bppRGB, 2, 8, false, false},
    {"32 bpp ARGB", PixelFormat32bppARGB, Table::kNone, PixelFormat32bppARGB, 6, 8, false, true},
    {"32 bpp PARGB", PixelFormat32bppPARGB, Table::kNone, PixelFormat32bppARGB, 6, 8, false, false},
    {"48 bpp", PixelFormat48bppRGB, Table::kNone, PixelFormat48bppRGB, 2, 16, false, true},
    {"64 bpp ARGB", PixelFormat64bppARGB, Table::kNone, PixelFormat64bppARGB, 6, 16, false, true},
    {"64 bpp PARGB", PixelFormat64bppPARGB, Table::kNone, PixelFormat32bppARGB, 6, 8, false, false},
};

TEST(PngEncoder, EachFormatIsWrittenAtItsOwnDepthAndReadsBackTheSame) {
    uint32_t seed = 1;
    for (const EncodeCase& c : kCases) {
        SCOPED_TRACE(c.what);
        const ImageBuffer source = Picture(c.format, c.table, seed++);
        Bytes file;
        ASSERT_EQ(EncodePng(source.View(), file), Ok);
        ASSERT_GT(file.size(), 33u);
        EXPECT_EQ(file[24], c.bitDepth);
        EXPECT_EQ(file[25], c.colorType);
        EXPECT_EQ(HasChunk(file, "tRNS"), c.trns);

        ImageBuffer decoded;
        ASSERT_EQ(DecodePng(file.data(), file.size(), decoded), Ok);
        EXPECT_EQ(decoded.Format(), c.decodedFormat);
        EXPECT_EQ(ArgbPixels(decoded.View()), ArgbPixels(source.View()));
        if (c.sameBytes) {
            const size_t rowBytes = (GetPixelFormatSize(c.format) * kWidth + 7) / 8;
            for (UINT y = 0; y < kHeight; ++y) {
                ASSERT_EQ(Bytes(decoded.Row(y), decoded.Row(y) + rowBytes),
                          Bytes(source.Row(y), source.Row(y) + rowBytes))
                    << "row " << y;
            }
        }
        if (c.table != Table::kNone && c.table != Table::kTwoEntries &&
            c.table != Table::kMoreThanTheDepthHolds) {
            EXPECT_EQ(decoded.Palette(), source.Palette());
        }
    }
}

TEST(PngEncoder, AnIndependentReaderSeesTheSamePixels) {
    uint32_t seed = 100;
    for (const EncodeCase& c : kCases) {
        SCOPED_TRACE(c.what);
        const ImageBuffer source = Picture(c.format, c.table, seed++);
        Bytes file;
        ASSERT_EQ(EncodePng(source.View(), file), Ok);
        const std::string path = ScratchPath("encoded.png");
        ASSERT_TRUE(WriteFileBytes(path, file));
        UINT width = 0, height = 0;
        std::vector<ARGB> pixels;
        std::string error;
        ASSERT_TRUE(ReadWithPil(path, width, height, pixels, error)) << error;
        EXPECT_EQ(width, kWidth);
        EXPECT_EQ(height, kHeight);
        EXPECT_EQ(pixels, ArgbPixels(source.View()));
    }
}

TEST(PngEncoder, ABottomUpViewWritesTheSameFileAsATopDownOne) {
    const ImageBuffer source = NoisePicture(PixelFormat24bppRGB, kWidth, kHeight, 7);
    // The same rows stored last to first, seen through a negative stride.
    ImageBuffer flipped;
    ASSERT_EQ(flipped.Allocate(PixelFormat24bppRGB, kWidth, kHeight), Ok);
    for (UINT y = 0; y < kHeight; ++y) {
        std::copy(source.Row(y), source.Row(y) + source.Stride(), flipped.Row(kHeight - 1 - y));
    }
    ImageView flippedBottomUp = flipped.View();
    flippedBottomUp.scan0 = flipped.Row(kHeight - 1);
    flippedBottomUp.stride = -flippedBottomUp.stride;

    Bytes topDownFile, bottomUpFile;
    ASSERT_EQ(EncodePng(source.View(), topDownFile), Ok);
    ASSERT_EQ(EncodePng(flippedBottomUp, bottomUpFile), Ok);
    EXPECT_EQ(bottomUpFile, topDownFile);
}

TEST(PngEncoder, PicturesItCannotWriteAreRefusedAndLeaveTheOutputAlone) {
    const ImageBuffer picture = NoisePicture(PixelFormat24bppRGB, 4, 4, 3);
    ImageView noWidth = picture.View();
    noWidth.width = 0;
    ImageView noHeight = picture.View();
    noHeight.height = 0;
    ImageView noPixels = picture.View();
    noPixels.scan0 = nullptr;
    ImageView undefinedFormat = picture.View();
    undefinedFormat.format = PixelFormatUndefined;
    ImageView unknownFormat = picture.View();
    unknownFormat.format = 0x00021899;
    const struct {
        const char* what;
        ImageView view;
    } cases[] = {
        {"no width", noWidth},
        {"no height", noHeight},
        {"no pixels", noPixels},
        {"undefined format", undefinedFormat},
        {"unknown format", unknownFormat},
    };
    for (const auto& c : cases) {
        Bytes out = {1, 2, 3};
        EXPECT_EQ(EncodePng(c.view, out), InvalidParameter) << c.what;
        EXPECT_EQ(out, (Bytes{1, 2, 3})) << c.what;
    }
}

}  // namespace
