// What every codec must do: write each pixel format so that our decoder and an
// independent one (Pillow) read back the picture, refuse what it cannot write,
// recognise its signature, refuse truncated files, and read other writers'
// layouts as Pillow does; and the GIF encoder's reduction of many colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "platform/gdiplus/BmpDecoder.h"
#include "platform/gdiplus/BmpEncoder.h"
#include "platform/gdiplus/ColorReduction.h"
#include "platform/gdiplus/GifCodec.h"
#include "platform/gdiplus/JpegCodec.h"
#include "platform/gdiplus/PixelConversion.h"
#include "platform/gdiplus/PngCodec.h"
#include "platform/gdiplus/TiffCodec.h"
#include "tests/support/Pictures.h"
#include "tests/support/Pillow.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

namespace {

// A codec: its file extension, its folder under tests/data, its calls, and
// the statuses it gives data without its signature and damaged or truncated files.
// clang-format off
struct Codec {
    const char* name; const char* folder; Status (*encode)(const ImageView&, std::vector<BYTE>&);
    Status (*decode)(const BYTE*, size_t, ImageBuffer&); bool (*sniff)(const BYTE*, size_t);
    size_t signatureLength; Status unknown; Status malformed;
};
const Codec kBmp{"bmp", "bmp", EncodeBmp, DecodeBmp, SniffBmp, 2, UnknownImageFormat, GenericError};
const Codec kPng{"png", "png", EncodePng, DecodePng, SniffPng, 8, UnknownImageFormat, GenericError};
const Codec kGif{"gif", "gif", EncodeGif, DecodeGif, SniffGif, 6, UnknownImageFormat, GenericError};
const Codec kJpeg{"jpg", "jpeg", EncodeJpeg, DecodeJpeg, SniffJpeg, 3, UnknownImageFormat, InvalidParameter};
const Codec kTiff{"tif", "tiff", EncodeTiff, DecodeTiff, SniffTiff, 4, UnknownImageFormat, InvalidParameter};
const Codec* const kCodecs[] = {&kBmp, &kPng, &kGif, &kJpeg, &kTiff};

constexpr PixelFormat k1 = PixelFormat1bppIndexed, k4 = PixelFormat4bppIndexed, k8 = PixelFormat8bppIndexed, k555 = PixelFormat16bppRGB555,
    k565 = PixelFormat16bppRGB565, kGrey16 = PixelFormat16bppGrayScale, k1555 = PixelFormat16bppARGB1555, k24 = PixelFormat24bppRGB,
    k32 = PixelFormat32bppRGB, kA32 = PixelFormat32bppARGB, kP32 = PixelFormat32bppPARGB, k48 = PixelFormat48bppRGB,
    kA64 = PixelFormat64bppARGB, kP64 = PixelFormat64bppPARGB;
// clang-format on

enum Table { kRandom, kClear, kGrey, kGreyClear, kGreyHalf };

struct RoundTrip {
    const Codec* codec;
    PixelFormat format;
    UINT colours;           // see NoisePicture; 0: all the depth holds
    PixelFormat decoded;    // when it is the format itself, the bytes must match too
    Table table = kRandom;  // kClear: entry 0 clear, entry 1 half clear; kGrey...: the grey ramp
    UINT width = 47;        // odd, so that rows end in part of a byte or in padding
    UINT height = 33;
};

// clang-format off
const RoundTrip kRoundTrips[] = {
    {&kBmp, k1, 0, k1}, {&kBmp, k4, 0, k4}, {&kBmp, k4, 5, k4}, {&kBmp, k8, 0, k8}, {&kBmp, k8, 20, k8}, {&kBmp, k555, 0, k555},
    {&kBmp, k565, 0, k565}, {&kBmp, k24, 0, k24}, {&kBmp, k32, 0, k32}, {&kBmp, kA32, 0, k32},  // 32-bit BI_RGB holds no alpha
    {&kPng, k1, 0, k1}, {&kPng, k1, 0, k1, kGrey}, {&kPng, k1, 256, k1}, {&kPng, k4, 0, k4}, {&kPng, k4, 0, k4, kClear},
    {&kPng, k4, 0, k4, kGrey}, {&kPng, k8, 0, k8}, {&kPng, k8, 0, k8, kClear}, {&kPng, k8, 0, k8, kGrey},
    {&kPng, k8, 0, k8, kGreyClear}, {&kPng, k8, 0, k8, kGreyHalf}, {&kPng, k4, 4, k4, kGrey},  // no grey file: partial alpha, 4 levels
    {&kPng, k8, 2, k8}, {&kPng, k555, 0, k24}, {&kPng, kGrey16, 0, kA32}, {&kPng, k1555, 0, kA32}, {&kPng, k24, 0, k24},
    {&kPng, k32, 0, k24}, {&kPng, kA32, 0, kA32}, {&kPng, kP32, 0, kA32}, {&kPng, k48, 0, k48}, {&kPng, kA64, 0, kA64},
    {&kPng, kP64, 0, kA32},
    {&kGif, k1, 2, k8}, {&kGif, k1, 1, k8}, {&kGif, k4, 16, k8}, {&kGif, k4, 3, k8}, {&kGif, k4, 5, k8, kClear}, {&kGif, k8, 0, k8},
    {&kGif, k8, 200, k8, kClear}, {&kGif, k8, 17, k8}, {&kGif, k8, 2, k8}, {&kGif, k24, 2, k8}, {&kGif, k24, 256, k8},
    {&kGif, k32, 100, k8}, {&kGif, kA32, 255, k8},
    {&kJpeg, k24, 0, k24}, {&kJpeg, k24, 0, k24, kRandom, 1, 1}, {&kJpeg, k24, 0, k24, kRandom, 160, 9}, {&kJpeg, k32, 0, k24},
    {&kJpeg, kA32, 0, k24}, {&kJpeg, k8, 0, k8}, {&kJpeg, k8, 0, k24},
    {&kJpeg, k24, 0, k24, kRandom, 2400, 2400},  // large enough for the pages to be made present ahead
    {&kTiff, k1, 0, k1}, {&kTiff, k1, 0, k1, kRandom, 3}, {&kTiff, k4, 5, k4}, {&kTiff, k4, 5, k4, kRandom, 130},
    {&kTiff, k8, 0, k8}, {&kTiff, k8, 40, k8}, {&kTiff, kGrey16, 0, kA32}, {&kTiff, k555, 0, k24}, {&kTiff, k1555, 0, kA32},
    {&kTiff, k24, 0, k24}, {&kTiff, k24, 0, k24, kRandom, 1}, {&kTiff, k32, 0, k24}, {&kTiff, kA32, 0, kA32},
    {&kTiff, kP32, 0, kA32}, {&kTiff, k48, 0, k48}, {&kTiff, kA64, 0, kA64}, {&kTiff, kP64, 0, kA64},
};
// clang-format on

ImageBuffer Source(const RoundTrip& c, uint32_t seed) {
    ImageBuffer picture = c.codec == &kJpeg
                              ? SmoothPicture(c.format, c.width, c.height)
                              : NoisePicture(c.format, c.width, c.height, seed, c.colours);
    std::vector<ARGB>& palette = picture.Palette();
    // A JPEG's table that is grey but for its last entry still makes a colour file.
    if (c.codec == &kJpeg && c.decoded == k24 && !palette.empty())
        palette.back() = 0xFFFFFFFEu;
    for (size_t i = 0; c.table >= kGrey && i < palette.size(); ++i)
        palette[i] = 0xFF000000u | (i * 255 / (palette.size() - 1)) * 0x010101u;
    if (c.table == kClear || c.table == kGreyClear)
        palette[0] &= 0x00FFFFFF;
    if (c.table == kClear || c.table == kGreyHalf)
        palette[1] = (palette[1] & 0x00FFFFFF) | 0x80000000u;
    return picture;
}

// What the decoded file can hold of a source pixel: GIF keeps one fully
// transparent colour and no partial alpha; formats without alpha are opaque.
ARGB AsStored(const RoundTrip& c, ARGB pixel) {
    if (c.codec == &kGif && (pixel >> 24) == 0)
        return IsIndexedPixelFormat(c.format) ? pixel : 0;
    if (c.codec == &kGif)
        return pixel | 0xFF000000u;
    const bool alpha = (c.decoded & PixelFormatAlpha) != 0 || IsIndexedPixelFormat(c.decoded);
    return alpha ? pixel : pixel | 0xFF000000u;
}

// The same rows stored last row first, seen through a negative stride.
ImageView BottomUp(const ImageBuffer& picture, std::vector<BYTE>& storage) {
    const UINT height = picture.Height();
    const size_t stride = static_cast<size_t>(picture.Stride());
    storage.resize(stride * height);
    for (UINT y = 0; y < height; ++y)
        std::memcpy(&storage[(height - 1 - y) * stride], picture.Row(y), stride);
    ImageView view = picture.View();
    view.scan0 = &storage[(height - 1) * stride];
    view.stride = -picture.Stride();
    return view;
}

}  // namespace

TEST(Codecs, EveryEncoderWritesEveryFormatSoThatBothDecodersReadItBack) {
    const TempFolder folder;
    std::vector<std::string> paths;
    std::vector<std::vector<ARGB>> ours;
    for (size_t i = 0; i < std::size(kRoundTrips); ++i) {
        const RoundTrip& c = kRoundTrips[i];
        SCOPED_TRACE(testing::Message()
                     << "case " << i << ": " << c.codec->name << " from " << c.format);
        const ImageBuffer source = Source(c, static_cast<uint32_t>(i));
        Bytes file;
        ASSERT_EQ(c.codec->encode(source.View(), file), Ok);
        ImageBuffer decoded;
        ASSERT_EQ(c.codec->decode(file.data(), file.size(), decoded), Ok);
        ASSERT_EQ(decoded.Format(), c.decoded);
        ASSERT_EQ(decoded.Width(), c.width);
        ASSERT_EQ(decoded.Height(), c.height);
        std::vector<ARGB> expected = ArgbPixels(source.View());
        std::transform(expected.begin(), expected.end(), expected.begin(),
                       [&c](ARGB p) { return AsStored(c, p); });
        ours.push_back(ArgbPixels(decoded.View()));
        if (c.codec == &kJpeg) {
            EXPECT_GE(Psnr(ours.back(), expected), 35.0);
        } else {
            EXPECT_EQ(ours.back(), expected);
        }
        const size_t rowBytes = (size_t{c.width} * GetPixelFormatSize(c.format) + 7) / 8;
        for (UINT y = 0; c.decoded == c.format && c.codec != &kJpeg && y < c.height; ++y)
            ASSERT_EQ(std::memcmp(decoded.Row(y), source.Row(y), rowBytes), 0) << "row " << y;
        // Tables are padded with opaque black up to the size the file holds.
        for (size_t e = 0;
             c.colours <= 256 && IsIndexedPixelFormat(c.format) && e < decoded.Palette().size();
             ++e) {
            const std::vector<ARGB>& table = source.Palette();
            EXPECT_EQ(decoded.Palette()[e], AsStored(c, e < table.size() ? table[e] : 0xFF000000u))
                << "entry " << e;
        }
        std::vector<BYTE> storage;
        Bytes bottomUpFile;
        ASSERT_EQ(c.codec->encode(BottomUp(source, storage), bottomUpFile), Ok);
        EXPECT_EQ(bottomUpFile, file) << "written from bottom-up rows";
        paths.push_back(folder.File(std::to_string(i) + "." + c.codec->name));
        WriteFileBytes(paths.back(), file);
    }

    const std::vector<PillowPicture> theirs = ReadWithPillow(paths);
    for (size_t i = 0; i < theirs.size(); ++i) {
        const RoundTrip& c = kRoundTrips[i];
        SCOPED_TRACE(testing::Message()
                     << "case " << i << ": " << c.codec->name << " from " << c.format);
        // Pillow cuts 16-bit grey to 8 bits by clipping, and cannot read
        // premultiplied 16-bit TIFF; our own decoder has read them back exactly.
        // It widens 5 and 6-bit channels by scaling where we repeat bits, and
        // divides out alpha rounding down where we round to the nearest.
        const bool unread = c.codec == &kTiff && (c.format == kGrey16 || c.format == kP64);
        EXPECT_LE(unread ? 0 : MaxChannelDifference(theirs[i].pixels, ours[i]), 1);
    }
}

// The status reaches the program as the save's failure, and no file is written.
TEST(Codecs, EncodersRefusePicturesTheyCannotHoldAndLeaveTheOutputAlone) {
    std::vector<BYTE> pixels(StrideFor(k8, 65536) * 4);
    // clang-format off
    const struct { const Codec* codec; PixelFormat format; UINT width, height; Status status; } cases[] = {
        {&kBmp, kGrey16, 4, 4, InvalidParameter}, {&kBmp, k1555, 4, 4, InvalidParameter}, {&kBmp, kP32, 4, 4, InvalidParameter},
        {&kBmp, k48, 4, 4, InvalidParameter}, {&kBmp, kA64, 4, 4, InvalidParameter}, {&kGif, k8, 65536, 1, ValueOverflow},
        {&kGif, k1, 1, 65536, ValueOverflow},
    };
    // clang-format on
    for (const auto& c : cases) {
        Bytes out = {1, 2, 3};
        const ImageView view{c.format, c.width, c.height, INT(StrideFor(c.format, c.width)),
                             pixels.data()};
        EXPECT_EQ(c.codec->encode(view, out), c.status)
            << std::hex << c.format << std::dec << " " << c.width;
        EXPECT_EQ(out, (Bytes{1, 2, 3}));
    }
}

TEST(Codecs, EachDecoderTakesItsOwnSignatureOnly) {
    // Signatures cut short are in the test of truncated files below.
    const std::tuple<const Codec*, std::string, bool> cases[] = {
        // clang-format off
        {&kBmp, "BM", true}, {&kBmp, "\x89PNG", false}, {&kPng, "\x89PNG\r\n\x1A\n", true}, {&kPng, "\x89PNG\r\n\x1A\r", false},
        {&kGif, "GIF87a", true}, {&kGif, "GIF89a", true}, {&kGif, "GIF88a", false}, {&kGif, "gif89a", false},
        {&kJpeg, "\xFF\xD8\xFF", true}, {&kJpeg, std::string("\xFF\xD8\0\xFF", 4), false}, {&kTiff, std::string("II*\0", 4), true},
        {&kTiff, std::string("MM\0*", 4), true}, {&kTiff, std::string("II+\0", 4), true},  // BigTIFF
        {&kTiff, std::string("IM*\0", 4), false}, {&kTiff, std::string("II)\0", 4), false},
        // clang-format on
    };
    for (const auto& [codec, text, sniffed] : cases) {
        SCOPED_TRACE(testing::PrintToString(text));
        const Bytes data(text.begin(), text.end());
        for (const Codec* other : kCodecs)
            EXPECT_EQ(other->sniff(data.data(), data.size()), other == codec && sniffed)
                << other->name;
        ImageBuffer out;
        EXPECT_EQ(codec->decode(data.data(), data.size(), out),
                  sniffed ? codec->malformed : codec->unknown);
    }
}

TEST(Codecs, DecodersRefuseEveryTruncatedCopyOfTheirOwnFiles) {
    // 8 pixels of 24 bits fill BMP rows without padding; the GIF trailer
    // carries nothing the first frame needs.
    const ImageBuffer picture = NoisePicture(k24, 8, 7, 5);
    for (const Codec* codec : kCodecs) {
        Bytes file;
        ASSERT_EQ(codec->encode(picture.View(), file), Ok);
        const size_t optionalTail = codec == &kGif ? 1 : 0;
        for (size_t cut = 0; cut + optionalTail < file.size(); ++cut) {
            ImageBuffer out;
            ASSERT_EQ(codec->decode(file.data(), cut, out),
                      cut < codec->signatureLength ? codec->unknown : codec->malformed)
                << codec->name << " cut at " << cut << " of " << file.size();
            ASSERT_EQ(out.Pixels(), nullptr);
        }
    }
}

// Files from other writers in layouts our encoders never write, kept under
// tests/data/<format>/layouts: libtiff's planes, tiles, compressions, bit
// depths and photometrics; libjpeg's colour spaces and progressions; GIF
// screens, local tables, interlacing and extensions. We read them as Pillow
// does, within a step where it divides out alpha or converts CMYK its way.
TEST(Codecs, DecodersReadOtherWritersLayoutsAsPillowDoes) {
    std::vector<std::string> paths;
    std::vector<const Codec*> codecs;
    for (const Codec* codec : {&kGif, &kJpeg, &kTiff}) {
        for (const auto& entry : std::filesystem::directory_iterator(
                 TestDataPath(codec->folder + std::string("/layouts")))) {
            if (entry.path().extension() != std::string(".") + codec->name)
                continue;  // the folder's README
            paths.push_back(entry.path().string());
            codecs.push_back(codec);
        }
    }
    ASSERT_GE(paths.size(), 40u);
    const std::vector<PillowPicture> theirs = ReadWithPillow(paths);
    for (size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i]);
        const Bytes file = ReadFileBytes(paths[i]);
        ImageBuffer ours;
        ASSERT_EQ(codecs[i]->decode(file.data(), file.size(), ours), Ok);
        EXPECT_LE(MaxChannelDifference(ArgbPixels(ours.View()), theirs[i].pixels), 1);
    }
}

TEST(GifEncoder, ManyColoursAreReducedKeepingTheKeyColourAndTransparencyExact) {
    // A smooth picture of thousands of colours with noise, marked with the key
    // colour in places; with alpha, some pixels transparent in varying colours.
    constexpr UINT kWidth = 160, kHeight = 120;
    for (const PixelFormat format : {PixelFormat24bppRGB, PixelFormat32bppARGB}) {
        SCOPED_TRACE(testing::PrintToString(format));
        ImageBuffer source;
        ASSERT_EQ(source.Allocate(format, kWidth, kHeight), Ok);
        std::vector<ARGB> row(kWidth);
        for (UINT y = 0, state = 99; y < kHeight; ++y) {
            for (UINT x = 0; x < kWidth; ++x) {
                state = state * 1664525u + 1013904223u;
                const UINT noise = (state >> 24) & 7;
                row[x] = 0xFF000000u | std::min(255u, x * 255 / (kWidth - 1) + noise) << 16 |
                         std::min(255u, y * 255 / (kHeight - 1) + noise) << 8 |
                         ((x + y) * 127 / 280 + 64);
                row[x] = (x / 7 + y / 5) % 9 == 0 ? kKeyColor : row[x];
                row[x] = (x / 11 + y / 3) % 13 == 0 && format == PixelFormat32bppARGB ? state >> 8
                                                                                      : row[x];
            }
            WriteRowArgb(row.data(), kWidth, format, source.Row(y));
        }
        const std::vector<ARGB> expected = ArgbPixels(source.View());
        ASSERT_GT(std::set<ARGB>(expected.begin(), expected.end()).size(), 1000u);
        Bytes file;
        ImageBuffer decoded;
        ASSERT_EQ(EncodeGif(source.View(), file), Ok);
        ASSERT_EQ(DecodeGif(file.data(), file.size(), decoded), Ok);
        const std::vector<ARGB> actual = ArgbPixels(decoded.View());
        double totalError = 0;
        for (size_t i = 0; i < expected.size(); ++i) {
            const bool exact = expected[i] == kKeyColor || (expected[i] >> 24) == 0;
            // Only the key colour becomes the key colour; only clear pixels clear.
            ASSERT_EQ(actual[i] == kKeyColor, expected[i] == kKeyColor) << "pixel " << i;
            ASSERT_EQ(actual[i] >> 24, expected[i] >> 24 ? 0xFFu : 0) << "pixel " << i;
            const int error = exact ? 0 : MaxChannelDifference({actual[i]}, {expected[i]});
            ASSERT_LT(error, 24) << "pixel " << i;
            totalError += error;
        }
        // A median cut of this picture lands within a few steps on average; a
        // broken reduction (or mapping) lands tens of steps away.
        EXPECT_LT(totalError / expected.size(), 6.0);
    }
}
