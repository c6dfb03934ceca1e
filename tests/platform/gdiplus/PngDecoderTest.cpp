// The PNG decoder against PngSuite, read by libpng's own reader for
// reference, and against damaged files built chunk by chunk.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "platform/gdiplus/PngCodec.h"
#include "tests/support/Pictures.h"
#include "tests/support/TestFiles.h"

namespace {

// The suite's file names: x* files are corrupt, all others valid.
std::vector<std::string> SuiteFiles(bool corrupt) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("pngsuite"))) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".png" && (name[0] == 'x') == corrupt)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

Bytes SuiteFile(const std::string& name) {
    return ReadFileBytes(TestDataPath("pngsuite/" + name));
}

void Append32(Bytes& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<BYTE>(value >> shift));
}

// A PNG file made of the given chunks, each with its length and CRC.
Bytes PngFile(const std::vector<std::pair<std::string, Bytes>>& chunks) {
    Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const auto& [type, data] : chunks) {
        Append32(file, static_cast<uint32_t>(data.size()));
        const size_t typeAt = file.size();
        file.insert(file.end(), type.begin(), type.end());
        file.insert(file.end(), data.begin(), data.end());
        Append32(file, static_cast<uint32_t>(crc32(0, &file[typeAt], 4 + data.size())));
    }
    return file;
}

Bytes Ihdr(uint32_t width, uint32_t height, BYTE depth, BYTE colorType, BYTE interlace = 0) {
    Bytes data;
    Append32(data, width);
    Append32(data, height);
    data.insert(data.end(), {depth, colorType, 0 /*deflate*/, 0 /*filter*/, interlace});
    return data;
}

Bytes Zlib(const Bytes& raw) {
    uLongf size = compressBound(raw.size());
    Bytes out(size);
    compress2(out.data(), &size, raw.data(), raw.size(), 9);
    out.resize(size);
    return out;
}

struct ReferenceSource {
    const Bytes* file;
    size_t offset;
};

void ReadReference(png_structp png, png_bytep out, size_t count) {
    auto* source = static_cast<ReferenceSource*>(png_get_io_ptr(png));
    if (count > source->file->size() - source->offset)
        png_error(png, "truncated");
    std::memcpy(out, source->file->data() + source->offset, count);
    source->offset += count;
}

// libpng's high-level reader, asked to expand everything to 8-bit RGB(A):
// palettes and low-depth grey expanded, tRNS made alpha, 16 bits cut to their
// high byte. (libpng 1.6.39's simplified reader scrambles interlaced 16-bit
// files when it reduces them to 8 bits.) Holds the setjmp and only plain data.
bool ReadExpanded(png_structp png, png_infop info, ReferenceSource* source) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, source, ReadReference);
    png_read_png(png, info,
                 PNG_TRANSFORM_EXPAND | PNG_TRANSFORM_STRIP_16 | PNG_TRANSFORM_GRAY_TO_RGB,
                 nullptr);
    return true;
}

// The reference decode as ARGB pixels, with its size; empty when libpng refuses the file.
std::vector<ARGB> ReferenceDecode(const Bytes& file, UINT& width, UINT& height) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    ReferenceSource source{&file, 0};
    std::vector<ARGB> pixels;
    if (ReadExpanded(png, info, &source)) {
        width = png_get_image_width(png, info);
        height = png_get_image_height(png, info);
        const int channels = png_get_channels(png, info);
        png_bytepp rows = png_get_rows(png, info);
        for (UINT y = 0; y < height; ++y) {
            for (UINT x = 0; x < width; ++x) {
                const BYTE* p = rows[y] + x * channels;
                const ARGB alpha = channels == 4 ? p[3] : 255;
                pixels.push_back((alpha << 24) | (p[0] << 16) | (p[1] << 8) | p[2]);
            }
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return pixels;
}

// The colour table a file's chunks call for: PLTE with tRNS as alpha, or the
// grey ramp of the depth with tRNS's level clear.
std::vector<ARGB> ExpectedTable(const Bytes& file) {
    const BYTE depth = file[24], colorType = file[25];
    Bytes plte, trns;
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t length =
            file[at] << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
        const std::string type(file.begin() + at + 4, file.begin() + at + 8);
        const Bytes data(file.begin() + at + 8, file.begin() + at + 8 + length);
        if (type == "PLTE")
            plte = data;
        if (type == "tRNS")
            trns = data;
        at += 12 + length;
    }
    std::vector<ARGB> table;
    const int transparent = trns.size() == 2 ? (trns[0] << 8 | trns[1]) : -1;
    for (UINT i = 0; i < (1u << depth); ++i) {
        if (colorType == 3 && 3 * i + 2 < plte.size()) {
            const ARGB alpha = i < trns.size() ? trns[i] : 255;
            table.push_back(alpha << 24 | plte[3 * i] << 16 | plte[3 * i + 1] << 8 |
                            plte[3 * i + 2]);
        } else if (colorType == 0) {
            table.push_back((int(i) == transparent ? 0 : 0xFF000000u) |
                            (i * 255 / ((1u << depth) - 1)) * 0x010101u);
        }
    }
    return table;
}

}  // namespace

TEST(PngDecoder, EveryValidSuiteFileGivesTheReferencePixelsAndTable) {
    const std::vector<std::string> names = SuiteFiles(false);
    ASSERT_GT(names.size(), 150u);
    int indexedFiles = 0;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const Bytes file = SuiteFile(name);
        ImageBuffer image;
        ASSERT_EQ(DecodePng(file.data(), file.size(), image), Ok);
        UINT width = 0, height = 0;
        const std::vector<ARGB> expected = ReferenceDecode(file, width, height);
        ASSERT_EQ(image.Width(), width);
        ASSERT_EQ(image.Height(), height);
        const std::vector<ARGB> actual = ArgbPixels(image.View());
        for (size_t i = 0; i < actual.size(); ++i)
            ASSERT_EQ(actual[i], expected[i]) << "pixel " << i % width << "," << i / width;
        if (IsIndexedPixelFormat(image.Format())) {
            ++indexedFiles;
            const std::vector<ARGB> table = ExpectedTable(file);
            EXPECT_EQ(image.Palette(), table);
            const bool alpha =
                std::any_of(table.begin(), table.end(), [](ARGB e) { return (e >> 24) != 255; });
            EXPECT_EQ(image.PaletteFlags(), (file[25] == 0 ? PaletteFlagsGrayScale : 0u) |
                                                (alpha ? PaletteFlagsHasAlpha : 0u));
        }
        // Cut inside IHDR, just after it, half-way, without IEND, one byte short.
        for (size_t cut :
             {size_t{20}, size_t{33}, file.size() / 2, file.size() - 12, file.size() - 1}) {
            EXPECT_EQ(DecodePng(file.data(), cut, image), GenericError) << "cut at " << cut;
        }
    }
    EXPECT_GT(indexedFiles, 80);
}

TEST(PngDecoder, EachColourTypeAndDepthGetsThePixelFormatThatHoldsIt) {
    const std::pair<const char*, PixelFormat> cases[] = {
        {"basn0g01.png", PixelFormat1bppIndexed}, {"basn0g02.png", PixelFormat4bppIndexed},
        {"basn0g04.png", PixelFormat4bppIndexed}, {"basn0g08.png", PixelFormat8bppIndexed},
        {"tbbn0g04.png", PixelFormat4bppIndexed}, {"basn0g16.png", PixelFormat32bppARGB},
        {"tbwn0g16.png", PixelFormat32bppARGB},   {"basn2c08.png", PixelFormat24bppRGB},
        {"tbrn2c08.png", PixelFormat32bppARGB},   {"basn2c16.png", PixelFormat48bppRGB},
        {"tbbn2c16.png", PixelFormat64bppARGB},   {"basn3p01.png", PixelFormat1bppIndexed},
        {"basn3p02.png", PixelFormat4bppIndexed}, {"basn3p04.png", PixelFormat4bppIndexed},
        {"basn3p08.png", PixelFormat8bppIndexed}, {"tbbn3p08.png", PixelFormat8bppIndexed},
        {"basn4a08.png", PixelFormat32bppARGB},   {"basn4a16.png", PixelFormat32bppARGB},
        {"basn6a08.png", PixelFormat32bppARGB},   {"basn6a16.png", PixelFormat64bppARGB},
        {"basi3p02.png", PixelFormat4bppIndexed}, {"basi2c16.png", PixelFormat48bppRGB},
    };
    for (const auto& [name, format] : cases) {
        const Bytes file = SuiteFile(name);
        ImageBuffer image;
        ASSERT_EQ(DecodePng(file.data(), file.size(), image), Ok) << name;
        EXPECT_EQ(image.Format(), format) << name;
    }
}

TEST(PngDecoder, EveryCorruptSuiteFileGivesItsExactStatus) {
    const std::map<std::string, Status> expected = {
        {"xc1n0g08.png", GenericError},        // colour type 1
        {"xc9n2c08.png", GenericError},        // colour type 9
        {"xcrn0g04.png", UnknownImageFormat},  // signature mangled by CR-LF conversion
        {"xcsn0g01.png", GenericError},        // IDAT CRC wrong
        {"xd0n2c08.png", GenericError},        // bit depth 0
        {"xd3n2c08.png", GenericError},        // bit depth 3
        {"xd9n2c08.png", GenericError},        // bit depth 99
        {"xdtn0g01.png", GenericError},        // no IDAT
        {"xhdn0g08.png", GenericError},        // IHDR CRC wrong
        {"xlfn0g04.png", UnknownImageFormat},  // signature mangled by LF conversion
        {"xs1n0g01.png", UnknownImageFormat},  // signature byte 1 wrong
        {"xs2n0g01.png", UnknownImageFormat},  // signature byte 2 wrong
        {"xs4n0g01.png", UnknownImageFormat},  // signature byte 4 wrong
        {"xs7n0g01.png", UnknownImageFormat},  // signature byte 7 wrong
    };
    EXPECT_EQ(SuiteFiles(true).size(), expected.size()) << "a corrupt file without a case";
    for (const auto& [name, status] : expected) {
        const Bytes file = SuiteFile(name);
        ImageBuffer image;
        EXPECT_EQ(DecodePng(file.data(), file.size(), image), status) << name;
        EXPECT_EQ(image.Pixels(), nullptr) << name;
    }
}

TEST(PngDecoder, EachHandMadeDefectAndHugeDeclaredSizeGivesItsStatusQuickly) {
    const Bytes grey = Zlib({0 /*filter*/, 0x80}), index0 = Zlib({0, 0}), end = {};
    const Bytes sixtyFourMegabytesOfZeros = Zlib(Bytes(64u << 20, 0));
    Bytes text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0};
    text.insert(text.end(), sixtyFourMegabytesOfZeros.begin(), sixtyFourMegabytesOfZeros.end());
    const struct {
        const char* defect;
        Bytes file;
        Status status;
    } cases[] = {
        {"nothing wrong: one grey pixel",
         PngFile({{"IHDR", Ihdr(1, 1, 8, 0)}, {"IDAT", grey}, {"IEND", end}}), Ok},
        {"zero width", PngFile({{"IHDR", Ihdr(0, 1, 8, 0)}, {"IDAT", grey}, {"IEND", end}}),
         GenericError},
        {"width beyond 2^31 - 1",
         PngFile({{"IHDR", Ihdr(0x80000000u, 1, 8, 0)}, {"IDAT", grey}, {"IEND", end}}),
         GenericError},
        {"interlace method 2",
         PngFile({{"IHDR", Ihdr(1, 1, 8, 0, 2)}, {"IDAT", grey}, {"IEND", end}}), GenericError},
        {"IHDR not first",
         PngFile({{"gAMA", {0, 0, 0xB1, 0x8F}},
                  {"IHDR", Ihdr(1, 1, 8, 0)},
                  {"IDAT", grey},
                  {"IEND", end}}),
         GenericError},
        {"IHDR one byte long", PngFile({{"IHDR", Bytes(14, 1)}, {"IDAT", grey}, {"IEND", end}}),
         GenericError},
        {"palette file without PLTE",
         PngFile({{"IHDR", Ihdr(1, 1, 8, 3)}, {"IDAT", index0}, {"IEND", end}}), GenericError},
        {"tRNS longer than PLTE",
         PngFile({{"IHDR", Ihdr(1, 1, 8, 3)},
                  {"PLTE", {1, 2, 3}},
                  {"tRNS", {0, 0}},
                  {"IDAT", index0},
                  {"IEND", end}}),
         GenericError},
        {"a pixel index beyond PLTE, which reads as opaque black",
         PngFile({{"IHDR", Ihdr(1, 1, 8, 3)},
                  {"PLTE", {1, 2, 3}},
                  {"IDAT", Zlib({0, 5})},
                  {"IEND", end}}),
         Ok},
        {"image data two rows short",
         PngFile({{"IHDR", Ihdr(1, 3, 8, 0)}, {"IDAT", grey}, {"IEND", end}}), GenericError},
        {"unknown critical chunk",
         PngFile({{"IHDR", Ihdr(1, 1, 8, 0)}, {"CRIT", {1}}, {"IDAT", grey}, {"IEND", end}}),
         GenericError},
        {"IDAT that is not zlib",
         PngFile({{"IHDR", Ihdr(1, 1, 8, 0)}, {"IDAT", {1, 2, 3, 4}}, {"IEND", end}}),
         GenericError},
        {"30000 x 30000 RGBA 16 declared in a few bytes",
         PngFile({{"IHDR", Ihdr(30000, 30000, 16, 6)}, {"IDAT", index0}, {"IEND", end}}),
         GenericError},
        {"30000 x 30000 grey 1 from 64 kB of data, more than deflate can hold",
         PngFile({{"IHDR", Ihdr(30000, 30000, 1, 0)}, {"IDAT", Bytes(65536, 0)}, {"IEND", end}}),
         GenericError},
        {"2^31 - 1 square, beyond the pixel bound",
         PngFile({{"IHDR", Ihdr(0x7FFFFFFF, 0x7FFFFFFF, 8, 0)}, {"IEND", end}}), ValueOverflow},
        {"one pixel whose IDAT inflates to 64 MB",
         PngFile({{"IHDR", Ihdr(1, 1, 8, 0)}, {"IDAT", sixtyFourMegabytesOfZeros}, {"IEND", end}}),
         GenericError},
        {"one pixel with a 64 MB compressed text, skipped unread",
         PngFile({{"IHDR", Ihdr(1, 1, 8, 0)}, {"zTXt", text}, {"IDAT", index0}, {"IEND", end}}),
         Ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.defect);
        const auto start = std::chrono::steady_clock::now();
        ImageBuffer image;
        EXPECT_EQ(DecodePng(c.file.data(), c.file.size(), image), c.status);
        EXPECT_EQ(image.Pixels() == nullptr, c.status != Ok);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    }
}
