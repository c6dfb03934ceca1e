// The PNG decoder against PngSuite, read by libpng's own reader for
// reference. Damaged files built chunk by chunk are in DamagedFilesTest.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "platform/gdiplus/PngCodec.h"
#include "tests/support/Pictures.h"
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

}  // namespace

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
