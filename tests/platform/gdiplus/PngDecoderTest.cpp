// The PNG decoder against PngSuite, read by libpng's own reader for
// reference. Damaged files built chunk by chunk are in DamagedFilesTest.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "platform/gdiplus/PngCodec.h"
#include "tests/support/Pictures.h"
#include "tests/support/PngChunks.h"
#include "tests/support/TestFiles.h"

namespace {

// libpng's high-level reader, asked to expand everything to 8-bit RGB(A):
// palettes and low-depth grey expanded, tRNS made alpha, 16 bits cut to their
// high byte. (libpng 1.6.39's simplified reader scrambles interlaced 16-bit
// files when it reduces them to 8 bits.) Holds the setjmp and only plain data.
bool ReadExpanded(png_structp png, png_infop info, FILE* source) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, source);
    png_read_png(png, info,
                 PNG_TRANSFORM_EXPAND | PNG_TRANSFORM_STRIP_16 | PNG_TRANSFORM_GRAY_TO_RGB,
                 nullptr);
    return true;
}

// clang-format off
struct Reference { UINT width = 0, height = 0; std::vector<ARGB> pixels; };
// clang-format on

// libpng's reading of the file; no pixels when libpng refuses it.
Reference ReferenceDecode(const Bytes& file) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    FILE* source = fmemopen(const_cast<BYTE*>(file.data()), file.size(), "rb");
    Reference r;
    if (ReadExpanded(png, info, source)) {
        r.width = png_get_image_width(png, info);
        r.height = png_get_image_height(png, info);
        const int channels = png_get_channels(png, info);
        png_bytepp rows = png_get_rows(png, info);
        for (UINT y = 0; y < r.height; ++y) {
            for (const BYTE* p = rows[y]; p < rows[y] + r.width * channels; p += channels)
                r.pixels.push_back(ARGB(channels == 4 ? p[3] : 255) << 24 | p[0] << 16 | p[1] << 8 |
                                   p[2]);
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(source);
    return r;
}

// clang-format off
enum Defect { kSound, kBadIdatCrc, kCutShort, kRowTooMany, kRowTooFew, kBadFilter, kBadAdler, kBytesAfterStream, kIdatAfterStream };
// clang-format on

// An 8-bit RGB(A) PNG whose rows use the five filters in turn, its data in
// eight IDAT chunks, with one defect.
Bytes FilteredPng(UINT width, UINT height, BYTE channels, Defect defect) {
    const size_t rowBytes = width * channels + 1;
    Bytes raw(rowBytes * (height + (defect == kRowTooMany ? 1 : 0) - (defect == kRowTooFew)));
    for (size_t i = 0; i < raw.size(); ++i) {
        const size_t x = i % rowBytes, y = i / rowBytes;
        raw[i] = x == 0 ? y % 5 : static_cast<BYTE>((x * 7 + y * 3) ^ (x * y >> 6));
    }
    if (defect == kBadFilter)
        raw[height / 2 * rowBytes] = 5;
    Bytes stream = Zlib(raw, 1);
    if (defect == kBytesAfterStream)
        stream.push_back(0);
    if (defect == kBadAdler)
        stream.back() ^= 1;
    Bytes file = PngSignature();
    PutChunk(file, "IHDR", Ihdr(width, height, 8, channels == 4 ? 6 : 2));
    for (size_t part = 0, step = stream.size() / 8 + 1; part * step < stream.size(); ++part) {
        const auto at = stream.begin() + long(part * step);
        PutChunk(file, "IDAT", Bytes(at, at + long(std::min(step, stream.size() - part * step))));
        if (defect == kBadIdatCrc && part == 4)
            file.back() ^= 1;
    }
    if (defect == kIdatAfterStream)
        PutChunk(file, "IDAT", Bytes(stream.begin(), stream.begin() + 3));
    PutChunk(file, "IEND", {});
    if (defect == kCutShort)
        file.resize(file.size() / 2);
    return file;
}

}  // namespace

// The decoder reads the image data of 8-bit RGB(A) files itself, on two
// threads from 4 MiB of rows on; libpng's row reader is its reference.
TEST(PngDecoder, OwnRowReaderGivesLibpngsPixelsAndRefusals) {
    // clang-format off
    struct Case { const char* name; UINT width, height; BYTE channels; Defect defect; Status status; };
    // clang-format on
    const Case cases[] = {
        {"large RGB", 1200, 1200, 3, kSound, Ok},
        {"large RGBA", 1000, 1100, 4, kSound, Ok},
        {"small RGBA", 61, 37, 4, kSound, Ok},
        {"IDAT after the stream's end, skipped", 1200, 1200, 3, kIdatAfterStream, Ok},
        {"CRC error in a middle IDAT", 1200, 1200, 3, kBadIdatCrc, GenericError},
        {"cut short", 1200, 1200, 3, kCutShort, GenericError},
        {"a row too many", 1200, 1200, 3, kRowTooMany, GenericError},
        {"a row too few", 1200, 1200, 3, kRowTooFew, GenericError},
        {"filter type 5", 1200, 1200, 3, kBadFilter, GenericError},
        {"bad Adler-32", 1200, 1200, 3, kBadAdler, GenericError},
        {"a byte after the stream", 1200, 1200, 3, kBytesAfterStream, GenericError},
        {"small, a row too many", 61, 37, 4, kRowTooMany, GenericError},
        {"small, filter type 5", 61, 37, 4, kBadFilter, GenericError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = FilteredPng(c.width, c.height, c.channels, c.defect);
        ImageBuffer own, reference;
        ASSERT_EQ(DecodePngByLibpng(file.data(), file.size(), reference), c.status);
        ASSERT_EQ(DecodePng(file.data(), file.size(), own), c.status);
        if (c.status != Ok)
            continue;
        ASSERT_EQ(own.Format(), reference.Format());
        for (UINT y = 0; y < c.height; ++y)
            ASSERT_EQ(0, std::memcmp(own.Row(y), reference.Row(y), c.width * c.channels))
                << "row " << y;
    }
}

TEST(PngDecoder, EverySuiteFileGivesLibpngsPixelsOrItsDecidedStatus) {
    // Corrupt files: colour types 1 and 9, bit depths 0, 3 and 99, no IDAT,
    // wrong CRCs of IDAT and IHDR; the other six have a damaged signature.
    // clang-format off
    const std::map<std::string, Status> corrupt = {
        {"xc1n0g08.png", GenericError}, {"xc9n2c08.png", GenericError}, {"xd0n2c08.png", GenericError}, {"xd3n2c08.png", GenericError},
        {"xd9n2c08.png", GenericError}, {"xdtn0g01.png", GenericError}, {"xcsn0g01.png", GenericError}, {"xhdn0g08.png", GenericError},
        {"xcrn0g04.png", UnknownImageFormat}, {"xlfn0g04.png", UnknownImageFormat}, {"xs1n0g01.png", UnknownImageFormat},
        {"xs2n0g01.png", UnknownImageFormat}, {"xs4n0g01.png", UnknownImageFormat}, {"xs7n0g01.png", UnknownImageFormat},
    };
    // clang-format on
    // The pixel format that holds each colour type and depth, where our own
    // files do not show it: 2-bit indices in 4 bits, 16-bit grey, tRNS and
    // grey with alpha as alpha.
    // clang-format off
    constexpr PixelFormat k4 = PixelFormat4bppIndexed, kA32 = PixelFormat32bppARGB;
    const std::map<std::string, PixelFormat> formats = {
        {"basn0g02.png", k4}, {"basn3p02.png", k4}, {"basi3p02.png", k4}, {"tbbn0g04.png", k4}, {"basn0g16.png", kA32},
        {"tbrn2c08.png", kA32}, {"basn4a08.png", kA32}, {"basn4a16.png", kA32}, {"tbbn2c16.png", PixelFormat64bppARGB},
    };
    // clang-format on
    size_t corruptFiles = 0, indexedFiles = 0, checkedFormats = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("pngsuite"))) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".png")
            continue;
        SCOPED_TRACE(name);
        const Bytes file = ReadFileBytes(entry.path().string());
        ImageBuffer image;
        const Status status = DecodePng(file.data(), file.size(), image);
        if (name[0] == 'x') {
            ++corruptFiles;
            EXPECT_EQ(status, corrupt.count(name) ? corrupt.at(name) : Ok)
                << "a corrupt file without a case";
            EXPECT_EQ(image.Pixels(), nullptr);
            continue;
        }
        ASSERT_EQ(status, Ok);
        const Reference expected = ReferenceDecode(file);
        ASSERT_EQ(image.Width(), expected.width);
        ASSERT_EQ(image.Height(), expected.height);
        const std::vector<ARGB> actual = ArgbPixels(image.View());
        for (size_t i = 0; i < actual.size(); ++i)
            ASSERT_EQ(actual[i], expected.pixels[i])
                << "pixel " << i % expected.width << "," << i / expected.width;
        if (formats.count(name) != 0) {
            ++checkedFormats;
            EXPECT_EQ(image.Format(), formats.at(name));
        }
        indexedFiles += IsIndexedPixelFormat(image.Format()) ? 1 : 0;
        // Cut inside IHDR, just after it, half-way, without IEND, one byte short.
        for (size_t cut :
             {size_t{20}, size_t{33}, file.size() / 2, file.size() - 12, file.size() - 1})
            EXPECT_EQ(DecodePng(file.data(), cut, image), GenericError) << "cut at " << cut;
    }
    EXPECT_EQ(corruptFiles, corrupt.size());
    EXPECT_EQ(checkedFormats, formats.size());
    EXPECT_GT(indexedFiles, 80u);
}
