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
#include "tests/platform/gdiplus/PngGifTestSupport.h"

namespace {

const std::string kSuite = std::string(DORVALUNE_TESTDATA_DIR) + "/pngsuite";
const std::string kMalformed = std::string(DORVALUNE_SOURCE_DIR) + "/tests/data/png/malformed";

// The suite's file names: x* files are corrupt, all others valid.
std::vector<std::string> SuiteFiles(bool corrupt) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(kSuite)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".png" && (name[0] == 'x') == corrupt) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

uint32_t BigEndian32(const BYTE* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

void AppendBigEndian32(Bytes& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<BYTE>(value >> shift));
}

// The chunks of a PNG file as (type, data) pairs, read without libpng.
std::vector<std::pair<std::string, Bytes>> Chunks(const Bytes& file) {
    std::vector<std::pair<std::string, Bytes>> chunks;
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t length = BigEndian32(&file[at]);
        if (length > file.size() - at - 12)
            break;
        chunks.emplace_back(std::string(file.begin() + at + 4, file.begin() + at + 8),
                            Bytes(file.begin() + at + 8, file.begin() + at + 8 + length));
        at += 12 + length;
    }
    return chunks;
}

const BYTE kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// A PNG file made of the given chunks, each with its length and CRC.
Bytes PngFile(const std::vector<std::pair<std::string, Bytes>>& chunks) {
    Bytes file(std::begin(kPngSignature), std::end(kPngSignature));
    for (const auto& [type, data] : chunks) {
        AppendBigEndian32(file, static_cast<uint32_t>(data.size()));
        const size_t typeAt = file.size();
        file.insert(file.end(), type.begin(), type.end());
        file.insert(file.end(), data.begin(), data.end());
        AppendBigEndian32(file, static_cast<uint32_t>(crc32(0, &file[typeAt], 4 + data.size())));
    }
    return file;
}

Bytes Ihdr(uint32_t width, uint32_t height, BYTE depth, BYTE colorType, BYTE interlace = 0) {
    Bytes data;
    AppendBigEndian32(data, width);
    AppendBigEndian32(data, height);
    data.insert(data.end(), {depth, colorType, 0 /*deflate*/, 0 /*filter*/, interlace});
    return data;
}

// A zlib stream of `count` zero bytes, made a megabyte at a time.
Bytes ZlibZeros(size_t count) {
    z_stream stream{};
    deflateInit(&stream, 9);
    const Bytes zeros(1 << 20, 0);
    Bytes out;
    BYTE buffer[1 << 16];
    while (true) {
        const size_t chunk = std::min(count, zeros.size());
        count -= chunk;
        stream.next_in = const_cast<BYTE*>(zeros.data());
        stream.avail_in = static_cast<uInt>(chunk);
        const int flush = count == 0 ? Z_FINISH : Z_NO_FLUSH;
        int result;
        do {
            stream.next_out = buffer;
            stream.avail_out = sizeof buffer;
            result = deflate(&stream, flush);
            out.insert(out.end(), buffer, buffer + sizeof buffer - stream.avail_out);
        } while (stream.avail_out == 0);
        if (flush == Z_FINISH && result == Z_STREAM_END)
            break;
    }
    deflateEnd(&stream);
    return out;
}

Bytes Zlib(const Bytes& raw) {
    uLongf size = compressBound(raw.size());
    Bytes out(size);
    compress2(out.data(), &size, raw.data(), raw.size(), 9);
    out.resize(size);
    return out;
}

struct ReferenceSource {
    const BYTE* data;
    size_t size;
    size_t offset;
};

void ReadReference(png_structp png, png_bytep out, size_t count) {
    auto* source = static_cast<ReferenceSource*>(png_get_io_ptr(png));
    if (count > source->size - source->offset)
        png_error(png, "truncated");
    std::memcpy(out, source->data + source->offset, count);
    source->offset += count;
}

// libpng's high-level reader, asked to expand everything to 8-bit RGB(A):
// palettes and low-depth grey expanded, tRNS made alpha, 16 bits cut to their
// high byte. (The simplified png_image reader would be the obvious reference,
// but libpng 1.6.39's scrambles interlaced 16-bit files when it reduces them
// to 8 bits.) Holds the setjmp and only plain data.
bool ReadExpanded(png_structp png, png_infop info, ReferenceSource* source) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, source, ReadReference);
    png_read_png(png, info,
                 PNG_TRANSFORM_EXPAND | PNG_TRANSFORM_STRIP_16 | PNG_TRANSFORM_GRAY_TO_RGB,
                 nullptr);
    return true;
}

// The reference decode as ARGB pixels; false when libpng refuses the file.
bool ReferenceDecode(const Bytes& file, UINT& width, UINT& height, std::vector<ARGB>& pixels) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    ReferenceSource source{file.data(), file.size(), 0};
    bool read = ReadExpanded(png, info, &source);
    if (read) {
        width = png_get_image_width(png, info);
        height = png_get_image_height(png, info);
        const int channels = png_get_channels(png, info);
        png_bytepp rows = png_get_rows(png, info);
        pixels.resize(static_cast<size_t>(width) * height);
        for (UINT y = 0; y < height; ++y) {
            for (UINT x = 0; x < width; ++x) {
                const BYTE* p = rows[y] + x * channels;
                const ARGB alpha = channels == 4 ? p[3] : 255;
                pixels[static_cast<size_t>(y) * width + x] =
                    (alpha << 24) | (p[0] << 16) | (p[1] << 8) | p[2];
            }
        }
        read = channels == 3 || channels == 4;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return read;
}

Status Decode(const Bytes& file, ImageBuffer& image) {
    return DecodePng(file.data(), file.size(), image);
}

TEST(PngDecoder, EveryValidSuiteFileDecodesToTheReferencePixels) {
    const std::vector<std::string> names = SuiteFiles(false);
    ASSERT_GT(names.size(), 150u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const Bytes file = ReadFileBytes(kSuite + "/" + name);
        ImageBuffer image;
        ASSERT_EQ(Decode(file, image), Ok);
        UINT width = 0, height = 0;
        std::vector<ARGB> expected;
        ASSERT_TRUE(ReferenceDecode(file, width, height, expected));
        ASSERT_EQ(image.Width(), width);
        ASSERT_EQ(image.Height(), height);
        const std::vector<ARGB> actual = ArgbPixels(image.View());
        for (size_t i = 0; i < actual.size(); ++i) {
            ASSERT_EQ(actual[i], expected[i]) << "pixel " << i % width << "," << i / width;
        }
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
        SCOPED_TRACE(name);
        const Bytes file = ReadFileBytes(kSuite + "/" + name);
        ASSERT_FALSE(file.empty());
        ImageBuffer image;
        EXPECT_EQ(Decode(file, image), status);
        EXPECT_EQ(image.Pixels(), nullptr);
    }
}

TEST(PngDecoder, TruncatedCopiesOfValidFilesFail) {
    for (const std::string& name : SuiteFiles(false)) {
        SCOPED_TRACE(name);
        const Bytes file = ReadFileBytes(kSuite + "/" + name);
        // Inside the signature, inside IHDR, just after it, half-way, without
        // IEND, and one byte short.
        const size_t cuts[] = {0, 7, 20, 33, file.size() / 2, file.size() - 12, file.size() - 1};
        for (size_t cut : cuts) {
            SCOPED_TRACE(cut);
            ImageBuffer image;
            EXPECT_EQ(DecodePng(file.data(), cut, image),
                      cut < 8 ? UnknownImageFormat : GenericError);
        }
    }
}

TEST(PngDecoder, EachColourTypeAndDepthGetsItsOwnPixelFormat) {
    const struct {
        const char* file;
        PixelFormat format;
    } cases[] = {
        {"basn0g01.png", PixelFormat1bppIndexed},  // grey 1
        {"basn0g02.png", PixelFormat4bppIndexed},  // grey 2, held in 4 bits
        {"basn0g04.png", PixelFormat4bppIndexed},  // grey 4
        {"basn0g08.png", PixelFormat8bppIndexed},  // grey 8
        {"tbbn0g04.png", PixelFormat4bppIndexed},  // grey 4 with a transparent level
        {"basn0g16.png", PixelFormat32bppARGB},    // grey 16
        {"tbwn0g16.png", PixelFormat32bppARGB},    // grey 16 with a transparent level
        {"basn2c08.png", PixelFormat24bppRGB},     // RGB 8
        {"tbrn2c08.png", PixelFormat32bppARGB},    // RGB 8 with a transparent colour
        {"basn2c16.png", PixelFormat48bppRGB},     // RGB 16
        {"tbbn2c16.png", PixelFormat64bppARGB},    // RGB 16 with a transparent colour
        {"basn3p01.png", PixelFormat1bppIndexed},  // palette 1
        {"basn3p02.png", PixelFormat4bppIndexed},  // palette 2, held in 4 bits
        {"basn3p04.png", PixelFormat4bppIndexed},  // palette 4
        {"basn3p08.png", PixelFormat8bppIndexed},  // palette 8
        {"tbbn3p08.png", PixelFormat8bppIndexed},  // palette 8 with tRNS
        {"basn4a08.png", PixelFormat32bppARGB},    // grey+alpha 8
        {"basn4a16.png", PixelFormat32bppARGB},    // grey+alpha 16
        {"basn6a08.png", PixelFormat32bppARGB},    // RGBA 8
        {"basn6a16.png", PixelFormat64bppARGB},    // RGBA 16
        {"basi3p02.png", PixelFormat4bppIndexed},  // interlaced palette 2
        {"basi2c16.png", PixelFormat48bppRGB},     // interlaced RGB 16
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ImageBuffer image;
        ASSERT_EQ(Decode(ReadFileBytes(kSuite + "/" + c.file), image), Ok);
        EXPECT_EQ(image.Format(), c.format);
    }
}

// The colour table a file's chunks call for, worked out from the bytes.
std::vector<ARGB> ExpectedTable(const Bytes& file) {
    const BYTE depth = file[24];
    const BYTE colorType = file[25];
    std::vector<ARGB> table;
    Bytes plte, trns;
    for (const auto& [type, data] : Chunks(file)) {
        if (type == "PLTE")
            plte = data;
        if (type == "tRNS")
            trns = data;
    }
    if (colorType == 3) {
        for (size_t i = 0; i + 2 < plte.size() && i / 3 < (1u << depth); i += 3) {
            const ARGB alpha = i / 3 < trns.size() ? trns[i / 3] : 255;
            table.push_back((alpha << 24) | (plte[i] << 16) | (plte[i + 1] << 8) | plte[i + 2]);
        }
    } else {
        const int transparent = trns.size() == 2 ? (trns[0] << 8 | trns[1]) : -1;
        const UINT levels = 1u << depth;
        for (UINT i = 0; i < levels; ++i) {
            const ARGB grey = i * 255 / (levels - 1);
            const ARGB alpha = static_cast<int>(i) == transparent ? 0 : 255;
            table.push_back((alpha << 24) | (grey * 0x010101));
        }
    }
    return table;
}

TEST(PngDecoder, IndexedResultsCarryThePaletteOrTheGreyRampWithTrnsAsAlpha) {
    int indexedFiles = 0;
    for (const std::string& name : SuiteFiles(false)) {
        const Bytes file = ReadFileBytes(kSuite + "/" + name);
        ImageBuffer image;
        ASSERT_EQ(Decode(file, image), Ok) << name;
        if (!IsIndexedPixelFormat(image.Format()))
            continue;
        SCOPED_TRACE(name);
        ++indexedFiles;
        const std::vector<ARGB> expected = ExpectedTable(file);
        EXPECT_EQ(image.Palette(), expected);
        const bool grey = file[25] == 0;
        const bool alpha = std::any_of(expected.begin(), expected.end(),
                                       [](ARGB entry) { return (entry >> 24) != 255; });
        EXPECT_EQ(image.PaletteFlags(),
                  (grey ? PaletteFlagsGrayScale : 0u) | (alpha ? PaletteFlagsHasAlpha : 0u));
    }
    EXPECT_GT(indexedFiles, 80);
}

TEST(PngDecoder, SniffRecognisesOnlyTheSignature) {
    const Bytes signature(std::begin(kPngSignature), std::end(kPngSignature));
    Bytes wrongLast = signature;
    wrongLast[7] = '\r';
    const struct {
        const char* what;
        Bytes data;
        bool png;
    } cases[] = {
        {"the signature alone", signature, true},
        {"one byte short", Bytes(signature.begin(), signature.end() - 1), false},
        {"last byte wrong", wrongLast, false},
        {"a GIF", Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0}, false},
        {"nothing", Bytes{}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SniffPng(c.data.data(), c.data.size()), c.png) << c.what;
    }
}

// Hand-made damage, each recipe a minimal file with one defect.
TEST(PngDecoder, HandMadeDamageGivesItsExactStatus) {
    const Bytes oneGreyPixel = Zlib({0 /*filter*/, 0x80});
    const Bytes onePalettePixel = Zlib({0 /*filter*/, 0});
    const struct {
        const char* defect;
        Bytes file;
        Status status;
    } cases[] = {
        {"nothing wrong: one grey pixel",
         PngFile({{"IHDR", Ihdr(1, 1, 8, 0)}, {"IDAT", oneGreyPixel}, {"IEND", {}}}), Ok},
        {"zero width", PngFile({{"IHDR", Ihdr(0, 1, 8, 0)}, {"IDAT", oneGreyPixel}, {"IEND", {}}}),
         GenericError},
        {"width beyond 2^31 - 1",
         PngFile({{"IHDR", Ihdr(0x80000000u, 1, 8, 0)}, {"IDAT", oneGreyPixel}, {"IEND", {}}}),
         GenericError},
        {"interlace method 2",
         PngFile({{"IHDR", Ihdr(1, 1, 8, 0, 2)}, {"IDAT", oneGreyPixel}, {"IEND", {}}}),
         GenericError},
        {"IHDR not first",
         PngFile({{"gAMA", {0, 0, 0xB1, 0x8F}},
                  {"IHDR", Ihdr(1, 1, 8, 0)},
                  {"IDAT", oneGreyPixel},
                  {"IEND", {}}}),
         GenericError},
        {"IHDR one byte long",
         PngFile({{"IHDR", Bytes(14, 1)}, {"IDAT", oneGreyPixel}, {"IEND", {}}}), GenericError},
        {"palette file without PLTE",
         PngFile({{"IHDR", Ihdr(1, 1, 8, 3)}, {"IDAT", onePalettePixel}, {"IEND", {}}}),
         GenericError},
        {"tRNS longer than PLTE",
         PngFile({{"IHDR", Ihdr(1, 1, 8, 3)},
                  {"PLTE", {1, 2, 3}},
                  {"tRNS", {0, 0}},
                  {"IDAT", onePalettePixel},
                  {"IEND", {}}}),
         GenericError},
        {"image data two rows short",
         PngFile({{"IHDR", Ihdr(1, 3, 8, 0)}, {"IDAT", oneGreyPixel}, {"IEND", {}}}), GenericError},
        {"unknown critical chunk",
         PngFile({{"IHDR", Ihdr(1, 1, 8, 0)}, {"CRIT", {1}}, {"IDAT", oneGreyPixel}, {"IEND", {}}}),
         GenericError},
        {"IDAT that is not zlib",
         PngFile({{"IHDR", Ihdr(1, 1, 8, 0)}, {"IDAT", {1, 2, 3, 4}}, {"IEND", {}}}), GenericError},
    };
    for (const auto& c : cases) {
        ImageBuffer image;
        EXPECT_EQ(Decode(c.file, image), c.status) << c.defect;
    }
}

// Every file kept under tests/data/png/malformed is named after its defect
// and listed here with the status it must give.
TEST(PngDecoder, KeptMalformedFilesGiveTheirExactStatus) {
    const std::map<std::string, Status> expected = {};
    std::vector<std::string> kept;
    if (std::filesystem::exists(kMalformed)) {
        for (const auto& entry : std::filesystem::directory_iterator(kMalformed)) {
            kept.push_back(entry.path().filename().string());
        }
    }
    EXPECT_EQ(kept.size(), expected.size()) << "a kept file without a case";
    for (const auto& [name, status] : expected) {
        ImageBuffer image;
        EXPECT_EQ(Decode(ReadFileBytes(kMalformed + "/" + name), image), status) << name;
    }
}

TEST(PngDecoder, DecompressionBombsFailQuickly) {
    const Bytes sixtyFourMegabytesOfZeros = ZlibZeros(64u << 20);
    const struct {
        const char* what;
        Bytes file;
        Status status;
    } cases[] = {
        {"30000 x 30000 RGBA 16 declared in a few bytes",
         PngFile({{"IHDR", Ihdr(30000, 30000, 16, 6)}, {"IDAT", Zlib({0, 0})}, {"IEND", {}}}),
         GenericError},
        {"30000 x 30000 grey 1 from 64 kB of data, more than deflate can hold",
         PngFile({{"IHDR", Ihdr(30000, 30000, 1, 0)}, {"IDAT", Bytes(65536, 0)}, {"IEND", {}}}),
         GenericError},
        {"2^31 - 1 square, beyond the pixel bound",
         PngFile({{"IHDR", Ihdr(0x7FFFFFFF, 0x7FFFFFFF, 8, 0)}, {"IEND", {}}}), ValueOverflow},
        {"one pixel whose IDAT inflates to 64 MB",
         PngFile({{"IHDR", Ihdr(1, 1, 8, 0)}, {"IDAT", sixtyFourMegabytesOfZeros}, {"IEND", {}}}),
         GenericError},
        {"one pixel with a 64 MB compressed text, skipped unread",
         PngFile({{"IHDR", Ihdr(1, 1, 8, 0)},
                  {"zTXt",
                   [&] {
                       Bytes text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0};
                       text.insert(text.end(), sixtyFourMegabytesOfZeros.begin(),
                                   sixtyFourMegabytesOfZeros.end());
                       return text;
                   }()},
                  {"IDAT", Zlib({0, 0})},
                  {"IEND", {}}}),
         Ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto start = std::chrono::steady_clock::now();
        ImageBuffer image;
        EXPECT_EQ(Decode(c.file, image), c.status);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    }
}

}  // namespace
