// The BMP decoder against the BMP Suite (good files against g/rgb24.bmp,
// questionable files with their decided outcome, bad files refused), header
// defects made by patching sound files, RLE streams drawn by hand, and the
// widening of narrow channels.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/gdiplus/BmpDecoder.h"
#include "tests/support/Pictures.h"
#include "tests/support/TestFiles.h"

namespace {

// Offsets of header fields in a file with a Windows info header.
// clang-format off
constexpr size_t kFileSize = 2, kPixelOffset = 10, kHeaderSize = 14, kWidth = 18, kHeight = 22, kPlanes = 26, kBitCount = 28,
                 kCompression = 30, kSizeImage = 34, kClrUsed = 46, kMasks = 54;
constexpr size_t kCut = SIZE_MAX;  // a patch at kCut keeps only `value` bytes

// `width` bytes of `value` at `offset`, least significant first.
struct Patch { size_t offset; DWORD value; int width = 4; };
// clang-format on

Bytes Patched(Bytes file, const std::vector<Patch>& patches) {
    for (const Patch& p : patches) {
        if (p.offset == kCut)
            file.resize(p.value);
        for (int i = 0; p.offset != kCut && i < p.width; ++i)
            file[p.offset + i] = static_cast<BYTE>(p.value >> (8 * i));
    }
    return file;
}

bool HoldsNoPicture(const ImageBuffer& image) {
    return image.Width() == 0 && image.Height() == 0 && image.View().scan0 == nullptr &&
           image.Palette().empty();
}

int Channel(ARGB c, int i) {  // 0 blue, 1 green, 2 red, 3 alpha
    return (c >> (8 * i)) & 0xFF;
}

// clang-format off
struct Decoded { Status status; ImageBuffer image; std::vector<ARGB> pixels; };
// clang-format on

Decoded Decode(const std::string& file) {  // "g/name.bmp"
    const Bytes bytes = ReadFileBytes(TestDataPath("bmpsuite/" + file));
    Decoded d;
    d.status = DecodeBmp(bytes.data(), bytes.size(), d.image);
    d.pixels = ArgbPixels(d.image.View());
    return d;
}

size_t FilesIn(const char* group) {
    return std::distance(std::filesystem::directory_iterator(TestDataPath("bmpsuite/") + group),
                         {});
}

// What each file of the suite's g/ and q/ folders must give. Decoded pictures
// are compared with a reference, channel by channel (B, G, R, A) within a
// tolerance: one step of the channel's width in the file, or a step of the
// colour table's levels for files dithered to a few colours.
using Tolerance = std::array<int, 4>;
struct SuiteFile {
    const char* name;
    Status status;
    PixelFormat format = PixelFormatUndefined;
    size_t paletteCount = 0;
    const char* reference = nullptr;  // none for files refused or of one colour
    Tolerance tolerance = {};
    const char* sameAs = nullptr;  // the same colours, or the same indices, as this file
    UINT width = 127, height = 64,
         rowStep = 1;    // the reference's top-left corner, every rowStep-th row
    bool skips = false;  // RLE pixels left out keep index 0
};

// One step of a channel of `bits` bits scaled to 8, or 1 for wider channels
// whose writer rounded differently.
constexpr int Step(int bits) {
    return bits >= 8 ? (bits == 8 ? 0 : 1) : (255 + (1 << bits) - 2) / ((1 << bits) - 1);
}

constexpr const char* kRgb24 = "g/rgb24.bmp";      // the suite's picture at full depth
constexpr const char* kRgba32 = "q/rgba32-1.bmp";  // the same with alpha
constexpr Tolerance kDithered = {255, 255, 255, 255}, kPal8 = {51, 51, 51, 51},  // 6 or 7 levels
    k5Bits = {Step(5), Step(5), Step(5), 0};
// clang-format off
constexpr PixelFormat k1 = PixelFormat1bppIndexed, k4 = PixelFormat4bppIndexed, k8 = PixelFormat8bppIndexed, kRgb = PixelFormat32bppRGB,
                      kArgb = PixelFormat32bppARGB, k24 = PixelFormat24bppRGB, k555 = PixelFormat16bppRGB555, k565 = PixelFormat16bppRGB565;
const SuiteFile kSuite[] = {
    {"g/pal1.bmp", Ok, k1, 2, kRgb24, kDithered}, {"g/pal4.bmp", Ok, k4, 12, kRgb24, kDithered},
    {"g/pal4gs.bmp", Ok, k4, 12, kRgb24, kDithered}, {"g/pal8gs.bmp", Ok, k8, 252, kRgb24, kDithered},
    {"g/pal1bg.bmp", Ok, k1, 2, kRgb24, kDithered, "g/pal1.bmp"},  // blue and green for black and white
    {"g/pal1wb.bmp", Ok, k1, 2, kRgb24, kDithered, "g/pal1.bmp"},  // table in the other order
    {"g/pal4rle.bmp", Ok, k4, 12, kRgb24, kDithered, "g/pal4.bmp"}, {"g/pal8.bmp", Ok, k8, 252, kRgb24, kPal8},
    {"g/pal8-0.bmp", Ok, k8, 256, kRgb24, kPal8, "g/pal8.bmp"}, {"g/pal8os2.bmp", Ok, k8, 256, kRgb24, kPal8, "g/pal8.bmp"},
    {"g/pal8rle.bmp", Ok, k8, 252, kRgb24, kPal8, "g/pal8.bmp"}, {"g/pal8v4.bmp", Ok, k8, 252, kRgb24, kPal8, "g/pal8.bmp"},
    {"g/pal8topdown.bmp", Ok, k8, 252, kRgb24, kPal8, "g/pal8.bmp"}, {"g/pal8v5.bmp", Ok, k8, 252, kRgb24, kPal8, "g/pal8.bmp"},
    {"g/pal8nonsquare.bmp", Ok, k8, 252, kRgb24, kPal8, nullptr, 127, 32, 2},
    {"g/pal8w124.bmp", Ok, k8, 252, kRgb24, kPal8, "g/pal8.bmp", 124, 61},  // top-left corners
    {"g/pal8w125.bmp", Ok, k8, 252, kRgb24, kPal8, "g/pal8.bmp", 125, 62},
    {"g/pal8w126.bmp", Ok, k8, 252, kRgb24, kPal8, "g/pal8.bmp", 126, 63}, {"g/rgb16-565.bmp", Ok, k565, 0, kRgb24, k5Bits},
    {"g/rgb16-565pal.bmp", Ok, k565, 0, kRgb24, k5Bits, "g/rgb16-565.bmp"}, {"g/rgb16.bmp", Ok, k555, 0, kRgb24, k5Bits},
    {"g/rgb16bfdef.bmp", Ok, k555, 0, kRgb24, k5Bits, "g/rgb16.bmp"}, {"g/rgb24.bmp", Ok, k24, 0, kRgb24},
    {"g/rgb24pal.bmp", Ok, k24, 0, kRgb24}, {"g/rgb32.bmp", Ok, kRgb, 0, kRgb24}, {"g/rgb32bf.bmp", Ok, kRgb, 0, kRgb24},
    {"g/rgb32bfdef.bmp", Ok, kRgb, 0, kRgb24},
    // OS/2 Huffman 1D; 2 bpp (Windows CE only); embedded JPEG and PNG; OS/2 RLE24; 64 bpp
    {"q/pal1huffmsb.bmp", NotImplemented}, {"q/pal2.bmp", NotImplemented}, {"q/pal2color.bmp", NotImplemented},
    {"q/rgb24jpeg.bmp", NotImplemented}, {"q/rgb24png.bmp", NotImplemented}, {"q/rgb24rle24.bmp", NotImplemented},
    {"q/rgba64.bmp", NotImplemented},
    {"q/pal1p1.bmp", Ok, k1, 1},  // every pixel index 0 of a one-colour table
    // Pixels the RLE stream skips show colour-table entry 0, purple.
    {"q/pal4rlecut.bmp", Ok, k4, 13, "g/pal4.bmp", {}, nullptr, 127, 64, 1, true},
    {"q/pal4rletrns.bmp", Ok, k4, 13, "g/pal4.bmp", {}, nullptr, 127, 64, 1, true},
    {"q/pal8rlecut.bmp", Ok, k8, 253, "g/pal8.bmp", {}, nullptr, 127, 64, 1, true},
    {"q/pal8rletrns.bmp", Ok, k8, 253, "g/pal8.bmp", {}, nullptr, 127, 64, 1, true}, {"q/pal8offs.bmp", Ok, k8, 252, "g/pal8.bmp"},
    {"q/pal8os2-hs.bmp", Ok, k8, 256, "g/pal8.bmp"}, {"q/pal8os2-sz.bmp", Ok, k8, 256, "g/pal8.bmp"},
    {"q/pal8os2v2.bmp", Ok, k8, 252, "g/pal8.bmp"}, {"q/pal8os2sp.bmp", Ok, k8, 252, "g/pal8.bmp"},  // table size from the pixel offset
    {"q/pal8os2v2-16.bmp", Ok, k8, 256, "g/pal8.bmp"}, {"q/pal8os2v2-sz.bmp", Ok, k8, 252, "g/pal8.bmp"},
    {"q/pal8os2v2-40sz.bmp", Ok, k8, 252, "g/pal8.bmp"}, {"q/pal8oversizepal.bmp", Ok, k8, 256, "g/pal8.bmp"},  // 300 entries, 256 usable
    {"q/rgb16-231.bmp", Ok, kRgb, 0, kRgb24, {Step(1), Step(3), Step(2), 0}},
    {"q/rgb16-3103.bmp", Ok, kRgb, 0, kRgb24, {Step(3), Step(10), Step(3), 0}}, {"q/rgb16faketrns.bmp", Ok, k555, 0, kRgb24, k5Bits},
    {"q/rgb24largepal.bmp", Ok, k24, 0, kRgb24}, {"q/rgb24prof.bmp", Ok, k24, 0, kRgb24}, {"q/rgb24lprof.bmp", Ok, k24, 0, kRgb24},  // profiles are not applied
    {"q/rgb24prof2.bmp", Ok, k24, 0},  // red and green stay as stored, swapped
    {"q/rgb32-111110.bmp", Ok, kRgb, 0, kRgb24, {1, 1, 1, 0}}, {"q/rgb32-7187.bmp", Ok, kRgb, 0, kRgb24, {Step(7), 1, Step(7), 0}},
    {"q/rgb32-xbgr.bmp", Ok, kRgb, 0, kRgb24}, {"q/rgb32h52.bmp", Ok, kRgb, 0, kRgb24}, {"q/rgb32fakealpha.bmp", Ok, kRgb, 0, kRgb24},  // BI_RGB has no alpha
    {"q/rgba16-1924.bmp", Ok, kArgb, 0, kRgba32, {Step(2), Step(9), Step(1), Step(4)}},
    {"q/rgba16-4444.bmp", Ok, kArgb, 0, kRgba32, {Step(4), Step(4), Step(4), Step(4)}},
    {"q/rgba16-5551.bmp", Ok, kArgb, 0, kRgba32, {Step(5), Step(5), Step(5), Step(1)}},
    {"q/rgba32-1010102.bmp", Ok, kArgb, 0, kRgba32, {1, 1, 1, Step(2)}},
    {"q/rgba32-61754.bmp", Ok, kArgb, 0, kRgba32, {Step(5), 1, Step(6), Step(4)}},
    {"q/rgba32-81284.bmp", Ok, kArgb, 0, kRgba32, {0, 1, 0, Step(4)}}, {"q/rgba32-1.bmp", Ok, kArgb, 0, kRgb24},
    {"q/rgba32-2.bmp", Ok, kArgb, 0, kRgba32}, {"q/rgba32abf.bmp", Ok, kArgb, 0, kRgba32}, {"q/rgba32h56.bmp", Ok, kArgb, 0, kRgba32},
};
// clang-format on

}  // namespace

TEST(BmpSuite, EveryFileGivesItsDecidedPictureOrIsRefused) {
    // 3000000 x 2000000 pixels is beyond the caps; every other bad file is malformed.
    EXPECT_EQ(FilesIn("b"), 20u);
    for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("bmpsuite/b"))) {
        const std::string name = entry.path().filename().string();
        const Decoded d = Decode("b/" + name);
        EXPECT_EQ(d.status, name == "reallybig.bmp" ? ValueOverflow : GenericError) << name;
        EXPECT_TRUE(HoldsNoPicture(d.image)) << name;
    }
    EXPECT_EQ(FilesIn("g") + FilesIn("q"), std::size(kSuite));
    for (const SuiteFile& f : kSuite) {
        SCOPED_TRACE(f.name);
        const Decoded d = Decode(f.name);
        ASSERT_EQ(d.status, f.status);
        EXPECT_EQ(d.image.Format(), f.format);
        EXPECT_EQ(d.image.Palette().size(), f.paletteCount);
        EXPECT_EQ(HoldsNoPicture(d.image), f.status != Ok);
        if (f.reference == nullptr)
            continue;
        ASSERT_EQ(d.image.Width(), f.width);
        ASSERT_EQ(d.image.Height(), f.height);
        const Decoded r = Decode(f.reference);
        const std::vector<ARGB>& palette = d.image.Palette();
        const bool grey =
            palette.size() > 2 && std::all_of(palette.begin(), palette.end(), [](ARGB c) {
                return Channel(c, 0) == Channel(c, 1) && Channel(c, 1) == Channel(c, 2);
            });
        double luminanceError = 0;
        for (UINT y = 0; y < f.height; ++y) {
            for (UINT x = 0; x < f.width; ++x) {
                const ARGB want = r.pixels[size_t{y} * f.rowStep * 127 + x];
                const ARGB got = d.pixels[size_t{y} * f.width + x];
                // Skipped RLE pixels; colours under full transparency; partial
                // transparency, of which an opaque reference says nothing.
                const int alpha = Channel(got, 3);
                if ((f.skips && got == palette[0]) || alpha == 0 ||
                    (f.reference == kRgb24 && alpha != 255))
                    continue;
                for (int i = 0; i < 4; ++i) {
                    ASSERT_LE(std::abs(Channel(got, i) - Channel(want, i)), f.tolerance[i])
                        << "channel " << i << " at " << x << ", " << y;
                }
                // Dithering to colours keeps a colour the table holds as it is.
                if (!grey && std::find(palette.begin(), palette.end(), want) != palette.end()) {
                    ASSERT_EQ(got, want) << "at " << x << ", " << y;
                }
                luminanceError += std::abs(Channel(got, 0) -
                                           (0.2126 * Channel(want, 2) + 0.7152 * Channel(want, 1) +
                                            0.0722 * Channel(want, 0)));
            }
        }
        // Grey tables hold the picture's luminance (Rec. 709), dithered.
        EXPECT_LT(grey ? luminanceError / (f.width * f.height) : 0.0, 12.0);
        if (f.sameAs != nullptr) {
            const Decoded same = Decode(f.sameAs);
            bool sameIndices = !palette.empty();
            for (UINT y = 0; y < f.height; ++y) {
                sameIndices = sameIndices &&
                              std::memcmp(d.image.Row(y), same.image.Row(y),
                                          (f.width * GetPixelFormatSize(f.format) + 7) / 8) == 0;
            }
            EXPECT_TRUE(sameIndices ||
                        std::equal(d.pixels.begin(), d.pixels.end(), same.pixels.begin()))
                << "differs from " << f.sameAs;
        }
    }
}

TEST(BmpDecoder, EachHeaderDefectGivesItsStatusAndNoPicture) {
    // pal8.bmp: 127 x 64, 252 colours, pixels at 1062, rows of 128 bytes, 9254 bytes.
    // base: a g/ file
    // clang-format off
    const struct { const char* defect; const char* base; std::vector<Patch> patches; Status expected; } cases[] = {
        {"no BM signature", "pal8.bmp", {{0, 'X', 1}}, UnknownImageFormat},
        {"shorter than the file header", "pal8.bmp", {{kCut, 13}}, GenericError},
        {"header size 41", "pal8.bmp", {{kHeaderSize, 41}}, GenericError},
        // An info header cut short is a kept file of DamagedFilesTest.
        {"zero width", "pal8.bmp", {{kWidth, 0}}, GenericError},
        {"zero height", "pal8.bmp", {{kHeight, 0}}, GenericError},
        {"height INT32_MIN", "pal8.bmp", {{kHeight, 0x80000000}}, GenericError},
        {"compression 7", "pal8.bmp", {{kCompression, 7}}, GenericError},
        {"RLE8 at 24 bpp", "pal8rle.bmp", {{kBitCount, 24, 2}}, GenericError},
        {"bit fields at 8 bpp", "pal8.bmp", {{kCompression, BI_BITFIELDS}}, GenericError},
        {"no room for a colour table", "pal8.bmp", {{kClrUsed, 0}, {kPixelOffset, 54}}, GenericError},
        {"pixel offset inside the header", "pal8.bmp", {{kPixelOffset, 20}}, GenericError},
        {"pixel offset past the file", "pal8.bmp", {{kPixelOffset, 9255}}, GenericError},
        {"last row's padding missing", "pal8.bmp", {{kFileSize, 0}, {kSizeImage, 0}, {kCut, 9253}}, Ok},
        {"last row cut short", "pal8.bmp", {{kFileSize, 0}, {kSizeImage, 0}, {kCut, 9252}}, GenericError},
        {"red and green masks overlap", "rgb16-565.bmp", {{kMasks, 0xFC00}}, GenericError},
        {"red mask not contiguous", "rgb16-565.bmp", {{kMasks, 0xF400}}, GenericError},
        {"blue mask beyond 16 bits", "rgb16-565.bmp", {{kMasks + 8, 0x1F0000}}, GenericError},
        {"masks past the end of the file", "rgb16-565.bmp", {{kCut, 60}}, GenericError},
        {"30000 x 30000 declared in a small file", "rgb32.bmp", {{kWidth, 30000}, {kHeight, 30000}}, GenericError},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.defect);
        const Bytes file = Patched(ReadFileBytes(TestDataPath("bmpsuite/g/") + c.base), c.patches);
        // The buffer already holds a picture, which a failure must take away.
        ImageBuffer out;
        ASSERT_EQ(out.Allocate(PixelFormat24bppRGB, 1, 1), Ok);
        EXPECT_EQ(DecodeBmp(file.data(), file.size(), out), c.expected);
        EXPECT_EQ(HoldsNoPicture(out), c.expected != Ok);
    }
}

TEST(BmpDecoder, RleStreamsDrawInsideThePictureOrAreRefused) {
    // Pairs: a run (count, index), or 0 then 0 end of line, 1 end of picture,
    // 2 delta (right, up), 3+ a literal of that many indices, padded to 16 bits.
    // indices: top-down, skipped pixels 0; empty when refused
    // clang-format off
    const struct { const char* name; bool fourBit; LONG width, height; Bytes stream; std::vector<BYTE> indices; } cases[] = {
        {"RLE8 run, end of line, literal, delta and early end", false, 5, 3, {3, 1, 0, 0, 0, 3, 2, 1, 2, 0, 0, 2, 1, 1, 1, 3, 0, 1}, {0, 0, 0, 0, 3, 2, 1, 2, 0, 0, 1, 1, 1, 0, 0}},
        {"RLE4 run alternates its two indices", true, 5, 2, {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1}, {3, 4, 5, 0, 0, 1, 2, 1, 2, 1}},
        {"stream may stop once the last row is full", false, 2, 1, {2, 1}, {1, 1}},
        // Runs crossing the right edge are clipped; the row goes on to its end of line.
        {"run past the row end", false, 2, 2, {3, 1, 2, 2, 0, 0, 2, 3, 0, 1}, {3, 3, 1, 1}},
        {"literal past the row end", false, 2, 1, {0, 3, 1, 2, 3, 0, 0, 1}, {1, 2}},
        {"RLE4 literal past the row end", true, 3, 2, {0, 5, 0x12, 0x34, 0x50, 0, 0, 0, 3, 0x55, 0, 1}, {5, 5, 5, 1, 2, 3}},
        {"run above the top row", false, 2, 1, {2, 1, 0, 0, 2, 1, 0, 1}, {}},
        {"literal above the top row", false, 2, 1, {2, 1, 0, 0, 0, 3, 1, 1, 1, 0}, {}},
        {"delta past the right edge", false, 2, 2, {0, 2, 3, 0, 0, 1}, {}},
        {"delta past the top row", false, 2, 2, {0, 2, 0, 3, 0, 1}, {}},
        {"end of line past the top row", false, 2, 1, {0, 0, 0, 0, 0, 1}, {}},
        {"stream ends before the picture", false, 2, 2, {2, 1}, {}},
        {"delta cut short", false, 2, 2, {0, 2, 1}, {}},
        {"literal cut short", false, 4, 1, {0, 4, 1, 1}, {}},
        {"RLE8 index past the colour table", false, 2, 1, {2, 6, 0, 1}, {}},
        {"RLE4 second index past the colour table", true, 2, 1, {2, 0x16, 0, 1}, {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The suite's RLE file with its stream replaced and six colours declared.
        Bytes file = ReadFileBytes(
            TestDataPath(c.fourBit ? "bmpsuite/g/pal4rle.bmp" : "bmpsuite/g/pal8rle.bmp"));
        file.resize(file[kPixelOffset] | file[kPixelOffset + 1] << 8);
        file.insert(file.end(), c.stream.begin(), c.stream.end());
        // clang-format off
        file = Patched(file, {{kFileSize, DWORD(file.size())}, {kWidth, DWORD(c.width)}, {kHeight, DWORD(c.height)}, {kSizeImage, 0}, {kClrUsed, 6}});
        // clang-format on
        ImageBuffer image;
        EXPECT_EQ(DecodeBmp(file.data(), file.size(), image),
                  c.indices.empty() ? GenericError : Ok);
        EXPECT_EQ(HoldsNoPicture(image), c.indices.empty());
        // The row's padding stays zero: nothing is drawn past the right edge.
        std::vector<BYTE> indices;
        int padding = 0;
        for (UINT y = 0; y < image.Height(); ++y) {
            for (UINT x = 0; x < image.Stride() * 8u / (c.fourBit ? 4 : 8); ++x) {
                const BYTE b = image.Row(y)[c.fourBit ? x / 2 : x];
                const BYTE index = !c.fourBit ? b : (x % 2 == 0 ? b >> 4 : b & 0x0F);
                if (x < image.Width())
                    indices.push_back(index);
                else
                    padding |= index;
            }
        }
        EXPECT_EQ(indices, c.indices);
        EXPECT_EQ(padding, 0);
    }
}

TEST(BmpDecoder, NarrowChannelsWidenToTheNearest8BitValue) {
    // red, green, blue: the masks
    // clang-format off
    const struct { const char* what; WORD bitCount; DWORD compression, red, green, blue; DWORD pixel; ARGB expected; } cases[] = {
        // Repeating the bits: 31 -> 255, 16 -> 132, 1 -> 8; 6 bits: 32 -> 130.
        {"5-5-5", 16, BI_RGB, 0, 0, 0, 0x7E01, 0xFFFF8408},
        {"5-6-5", 16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F, 0x841F, 0xFF8482FF},
        // 1023 -> 255, 512 -> 127.6 -> 128, 3 -> 0.75 -> 1.
        {"10-bit fields", 32, BI_BITFIELDS, 0x3FF00000, 0xFFC00, 0x3FF, 0x3FF80003, 0xFFFF8001},
    };
    // clang-format on
    for (const auto& c : cases) {
        // 14-byte file header, 40-byte info header, three masks, one pixel.
        // clang-format off
        const Bytes file = Patched(Bytes(70, 0), {{0, 'B', 1}, {1, 'M', 1}, {kFileSize, 70}, {kPixelOffset, 66}, {kHeaderSize, 40},
            {kWidth, 1}, {kHeight, 1}, {kPlanes, 1, 2}, {kBitCount, c.bitCount, 2}, {kCompression, c.compression},
            {kMasks, c.red}, {kMasks + 4, c.green}, {kMasks + 8, c.blue}, {66, c.pixel}});
        // clang-format on
        ImageBuffer image;
        ASSERT_EQ(DecodeBmp(file.data(), file.size(), image), Ok) << c.what;
        EXPECT_EQ(ArgbPixels(image.View()), std::vector<ARGB>{c.expected}) << c.what;
    }
}
