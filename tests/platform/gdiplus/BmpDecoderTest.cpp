// The BMP decoder against the BMP Suite (good files against g/rgb24.bmp,
// questionable files with their decided outcome, bad files refused), header
// defects made by patching sound files, RLE streams drawn by hand, and the
// widening of narrow channels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/gdiplus/BmpDecoder.h"
#include "tests/support/Pictures.h"
#include "tests/support/TestFiles.h"

namespace {

// Offsets of header fields in a file with a Windows info header.
constexpr size_t kFileSize = 2, kPixelOffset = 10, kHeaderSize = 14, kWidth = 18, kHeight = 22,
                 kPlanes = 26, kBitCount = 28, kCompression = 30, kSizeImage = 34, kClrUsed = 46,
                 kMasks = 54;
constexpr size_t kCut = SIZE_MAX;  // a patch at kCut keeps only `value` bytes

struct Patch {
    size_t offset;
    DWORD value;
    int width = 4;
};

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

struct Decoded {
    Status status;
    ImageBuffer image;
    std::vector<ARGB> pixels;
};

Decoded Decode(const std::string& file) {  // "g/name.bmp"
    const Bytes bytes = ReadFileBytes(TestDataPath("bmpsuite/" + file));
    Decoded d;
    d.status = DecodeBmp(bytes.data(), bytes.size(), d.image);
    d.pixels = ArgbPixels(d.image.View());
    return d;
}

size_t FilesIn(const char* group) {
    const std::filesystem::directory_iterator folder(
        TestDataPath(std::string("bmpsuite/") + group));
    return static_cast<size_t>(std::distance(begin(folder), end(folder)));
}

// How a good file relates to g/rgb24.bmp, the suite's picture at full depth.
struct GoodFile {
    const char* name;
    PixelFormat format;
    size_t paletteCount;
    int tolerance;                 // largest channel difference; -1: dithered to a few colours
    const char* sameAs = nullptr;  // the same colours, or the same indices, as this g/ file
    UINT width = 127, height = 64;
    UINT rowStep = 1;  // the squashed picture keeps every second row
};

constexpr int kPal8Step = 51;  // the 252-colour table has 6 or 7 levels a channel
constexpr int k5Bits = 9;      // one step of a 5-bit channel
constexpr PixelFormat k1 = PixelFormat1bppIndexed, k4 = PixelFormat4bppIndexed,
                      k8 = PixelFormat8bppIndexed, kRgb = PixelFormat32bppRGB,
                      kArgb = PixelFormat32bppARGB, k24 = PixelFormat24bppRGB,
                      k555 = PixelFormat16bppRGB555, k565 = PixelFormat16bppRGB565;

// clang-format off
const GoodFile kGoodFiles[] = {
    {"pal1.bmp", k1, 2, -1}, {"pal4.bmp", k4, 12, -1}, {"pal4gs.bmp", k4, 12, -1},
    {"pal1bg.bmp", k1, 2, -1, "pal1.bmp"},  // blue and green in place of black and white
    {"pal1wb.bmp", k1, 2, -1, "pal1.bmp"},  // table in the other order
    {"pal4rle.bmp", k4, 12, -1, "pal4.bmp"}, {"pal8-0.bmp", k8, 256, kPal8Step, "pal8.bmp"},
    {"pal8.bmp", k8, 252, kPal8Step}, {"pal8gs.bmp", k8, 252, -1},
    {"pal8nonsquare.bmp", k8, 252, kPal8Step, nullptr, 127, 32, 2},
    {"pal8os2.bmp", k8, 256, kPal8Step, "pal8.bmp"}, {"pal8rle.bmp", k8, 252, kPal8Step, "pal8.bmp"},
    {"pal8topdown.bmp", k8, 252, kPal8Step, "pal8.bmp"}, {"pal8v4.bmp", k8, 252, kPal8Step, "pal8.bmp"},
    {"pal8v5.bmp", k8, 252, kPal8Step, "pal8.bmp"},
    {"pal8w124.bmp", k8, 252, kPal8Step, "pal8.bmp", 124, 61},  // top-left corners
    {"pal8w125.bmp", k8, 252, kPal8Step, "pal8.bmp", 125, 62},
    {"pal8w126.bmp", k8, 252, kPal8Step, "pal8.bmp", 126, 63},
    {"rgb16-565.bmp", k565, 0, k5Bits}, {"rgb16-565pal.bmp", k565, 0, k5Bits, "rgb16-565.bmp"},
    {"rgb16.bmp", k555, 0, k5Bits}, {"rgb16bfdef.bmp", k555, 0, k5Bits, "rgb16.bmp"},
    {"rgb24.bmp", k24, 0, 0}, {"rgb24pal.bmp", k24, 0, 0}, {"rgb32.bmp", kRgb, 0, 0},
    {"rgb32bf.bmp", kRgb, 0, 0}, {"rgb32bfdef.bmp", kRgb, 0, 0},
};
// clang-format on

bool Grey(ARGB c) {
    return Channel(c, 0) == Channel(c, 1) && Channel(c, 1) == Channel(c, 2);
}

void CheckGoodFile(const GoodFile& g, const Decoded& d, const Decoded& reference) {
    ASSERT_EQ(d.status, Ok);
    EXPECT_EQ(d.image.Format(), g.format);
    EXPECT_EQ(d.image.Palette().size(), g.paletteCount);
    ASSERT_EQ(d.image.Width(), g.width);
    ASSERT_EQ(d.image.Height(), g.height);
    const std::vector<ARGB>& palette = d.image.Palette();
    const bool grey = std::all_of(palette.begin(), palette.end(), Grey) && palette.size() > 2;
    const Decoded same = Decode(std::string("g/") + (g.sameAs ? g.sameAs : g.name));
    const size_t rowBytes = (g.width * GetPixelFormatSize(g.format) + 7) / 8;
    bool sameColours = true, sameIndices = !palette.empty();
    int worst = 0;
    double luminanceError = 0;
    for (UINT y = 0; y < g.height; ++y) {
        sameIndices = sameIndices && std::memcmp(d.image.Row(y), same.image.Row(y), rowBytes) == 0;
        for (UINT x = 0; x < g.width; ++x) {
            const ARGB want = reference.pixels[size_t{y} * g.rowStep * 127 + x];
            const ARGB got = d.pixels[size_t{y} * g.width + x];
            for (int i = 0; i < 4; ++i)
                worst = std::max(worst, std::abs(Channel(got, i) - Channel(want, i)));
            // Dithering to colours keeps a colour the table holds as it is.
            if (!grey && std::find(palette.begin(), palette.end(), want) != palette.end()) {
                ASSERT_EQ(got, want) << "at " << x << ", " << y;
            }
            luminanceError +=
                std::abs(Channel(got, 0) - (0.2126 * Channel(want, 2) + 0.7152 * Channel(want, 1) +
                                            0.0722 * Channel(want, 0)));
            sameColours = sameColours && got == same.pixels[size_t{y} * g.width + x];
        }
    }
    EXPECT_LE(worst, g.tolerance < 0 ? 255 : g.tolerance);
    // Grey files hold the picture's luminance (Rec. 709), dithered.
    EXPECT_LT(grey ? luminanceError / (g.width * g.height) : 0.0, 12.0);
    EXPECT_TRUE(sameColours || sameIndices) << "differs from " << g.sameAs;
}

// The outcome decided for each questionable file. Decoded files are compared
// channel by channel with a reference picture, within a step of each channel.
struct QuestionableFile {
    const char* name;
    Status status;
    PixelFormat format = PixelFormatUndefined;
    size_t paletteCount = 0;
    const char* reference = nullptr;
    int bits[4] = {8, 8, 8, 8};  // B, G, R, A channel widths
    bool skips = false;          // RLE pixels left out keep index 0
};

constexpr const char* kRgb24 = "g/rgb24.bmp";
constexpr const char* kRgba32 = "q/rgba32-1.bmp";  // the suite's picture with alpha

// clang-format off
const QuestionableFile kQuestionableFiles[] = {
    {"pal1huffmsb.bmp", NotImplemented},  // OS/2 Huffman 1D
    {"pal2.bmp", NotImplemented}, {"pal2color.bmp", NotImplemented},  // 2 bpp: Windows CE only
    {"rgb24jpeg.bmp", NotImplemented}, {"rgb24png.bmp", NotImplemented},
    {"rgb24rle24.bmp", NotImplemented}, {"rgba64.bmp", NotImplemented},  // OS/2 RLE24; 64 bpp
    {"pal1p1.bmp", Ok, k1, 1},  // every pixel index 0 of a one-colour table
    // Pixels the RLE stream skips show colour-table entry 0, purple.
    {"pal4rlecut.bmp", Ok, k4, 13, "g/pal4.bmp", {8, 8, 8, 8}, true},
    {"pal4rletrns.bmp", Ok, k4, 13, "g/pal4.bmp", {8, 8, 8, 8}, true},
    {"pal8rlecut.bmp", Ok, k8, 253, "g/pal8.bmp", {8, 8, 8, 8}, true},
    {"pal8rletrns.bmp", Ok, k8, 253, "g/pal8.bmp", {8, 8, 8, 8}, true},
    {"pal8offs.bmp", Ok, k8, 252, "g/pal8.bmp"}, {"pal8os2-hs.bmp", Ok, k8, 256, "g/pal8.bmp"},
    {"pal8os2-sz.bmp", Ok, k8, 256, "g/pal8.bmp"}, {"pal8os2v2.bmp", Ok, k8, 252, "g/pal8.bmp"},
    {"pal8os2sp.bmp", Ok, k8, 252, "g/pal8.bmp"},  // table size from the pixel offset
    {"pal8os2v2-16.bmp", Ok, k8, 256, "g/pal8.bmp"}, {"pal8os2v2-sz.bmp", Ok, k8, 252, "g/pal8.bmp"},
    {"pal8os2v2-40sz.bmp", Ok, k8, 252, "g/pal8.bmp"},
    {"pal8oversizepal.bmp", Ok, k8, 256, "g/pal8.bmp"},  // 300 entries, 256 usable
    {"rgb16-231.bmp", Ok, kRgb, 0, kRgb24, {1, 3, 2, 8}},
    {"rgb16-3103.bmp", Ok, kRgb, 0, kRgb24, {3, 10, 3, 8}},
    {"rgb16faketrns.bmp", Ok, k555, 0, kRgb24, {5, 5, 5, 8}},
    {"rgb24largepal.bmp", Ok, k24, 0, kRgb24}, {"rgb24prof.bmp", Ok, k24, 0, kRgb24},
    {"rgb24lprof.bmp", Ok, k24, 0, kRgb24},  // profiles are not applied
    {"rgb24prof2.bmp", Ok, k24, 0},          // red and green stay as stored, swapped
    {"rgb32-111110.bmp", Ok, kRgb, 0, kRgb24, {10, 11, 11, 8}},
    {"rgb32-7187.bmp", Ok, kRgb, 0, kRgb24, {7, 18, 7, 8}},
    {"rgb32-xbgr.bmp", Ok, kRgb, 0, kRgb24}, {"rgb32h52.bmp", Ok, kRgb, 0, kRgb24},
    {"rgb32fakealpha.bmp", Ok, kRgb, 0, kRgb24},  // BI_RGB has no alpha
    {"rgba16-1924.bmp", Ok, kArgb, 0, kRgba32, {2, 9, 1, 4}},
    {"rgba16-4444.bmp", Ok, kArgb, 0, kRgba32, {4, 4, 4, 4}},
    {"rgba16-5551.bmp", Ok, kArgb, 0, kRgba32, {5, 5, 5, 1}},
    {"rgba32-1010102.bmp", Ok, kArgb, 0, kRgba32, {10, 10, 10, 2}},
    {"rgba32-61754.bmp", Ok, kArgb, 0, kRgba32, {5, 17, 6, 4}},
    {"rgba32-81284.bmp", Ok, kArgb, 0, kRgba32, {8, 12, 8, 4}},
    {"rgba32-1.bmp", Ok, kArgb, 0, kRgb24}, {"rgba32-2.bmp", Ok, kArgb, 0, kRgba32},
    {"rgba32abf.bmp", Ok, kArgb, 0, kRgba32}, {"rgba32h56.bmp", Ok, kArgb, 0, kRgba32},
};
// clang-format on

// One step of a channel of `bits` bits scaled to 8, or 1 for wider channels
// whose writer rounded differently.
int ChannelTolerance(int bits) {
    return bits >= 8 ? (bits == 8 ? 0 : 1) : (255 + (1 << bits) - 2) / ((1 << bits) - 1);
}

void CheckQuestionableFile(const QuestionableFile& q, const Decoded& d) {
    EXPECT_EQ(d.image.Format(), q.format);
    EXPECT_EQ(d.image.Palette().size(), q.paletteCount);
    EXPECT_EQ(HoldsNoPicture(d.image), q.status != Ok);
    if (q.reference == nullptr)
        return;
    const Decoded r = Decode(q.reference);
    ASSERT_EQ(d.pixels.size(), r.pixels.size());
    for (size_t p = 0; p < d.pixels.size(); ++p) {
        const ARGB got = d.pixels[p];
        const int alpha = Channel(got, 3);
        // Skipped RLE pixels; colours under full transparency; partial
        // transparency, of which an opaque reference says nothing.
        if ((q.skips && got == d.image.Palette()[0]) || alpha == 0 ||
            (q.reference == kRgb24 && alpha != 255))
            continue;
        for (int i = 0; i < 4; ++i) {
            ASSERT_LE(std::abs(Channel(got, i) - Channel(r.pixels[p], i)),
                      ChannelTolerance(q.bits[i]))
                << "channel " << i << " of pixel " << p;
        }
    }
}

}  // namespace

TEST(BmpSuite, EveryGoodFileShowsItsPicture) {
    EXPECT_EQ(FilesIn("g"), std::size(kGoodFiles));
    const Decoded reference = Decode(kRgb24);
    for (const GoodFile& g : kGoodFiles) {
        SCOPED_TRACE(g.name);
        CheckGoodFile(g, Decode(std::string("g/") + g.name), reference);
    }
}

TEST(BmpSuite, EveryQuestionableFileGivesItsDecidedOutcome) {
    EXPECT_EQ(FilesIn("q"), std::size(kQuestionableFiles));
    for (const QuestionableFile& q : kQuestionableFiles) {
        SCOPED_TRACE(q.name);
        const Decoded d = Decode(std::string("q/") + q.name);
        ASSERT_EQ(d.status, q.status);
        CheckQuestionableFile(q, d);
    }
}

TEST(BmpSuite, EveryBadFileIsRefusedWithoutAPicture) {
    EXPECT_EQ(FilesIn("b"), 20u);
    for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("bmpsuite/b"))) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        const Decoded d = Decode("b/" + name);
        // 3000000 x 2000000 pixels is beyond the caps; every other file is malformed.
        EXPECT_EQ(d.status, name == "reallybig.bmp" ? ValueOverflow : GenericError);
        EXPECT_TRUE(HoldsNoPicture(d.image));
    }
}

TEST(BmpDecoder, EachHeaderDefectGivesItsStatusAndNoPicture) {
    // pal8.bmp: 127 x 64, 252 colours, pixels at 1062, rows of 128 bytes, 9254 bytes.
    const struct {
        const char* defect;
        const char* base;  // a g/ file
        std::vector<Patch> patches;
        Status expected;
    } cases[] = {
        // clang-format off
        {"no BM signature", "pal8.bmp", {{0, 'X', 1}}, GenericError},
        {"shorter than the file header", "pal8.bmp", {{kCut, 13}}, GenericError},
        {"header size 41", "pal8.bmp", {{kHeaderSize, 41}}, GenericError},
        {"header past the end of the file", "pal8.bmp", {{kCut, 40}}, GenericError},
        {"zero width", "pal8.bmp", {{kWidth, 0}}, GenericError},
        {"zero height", "pal8.bmp", {{kHeight, 0}}, GenericError},
        {"height INT32_MIN", "pal8.bmp", {{kHeight, 0x80000000}}, GenericError},
        {"2 bpp", "pal8.bmp", {{kBitCount, 2, 2}}, NotImplemented},
        {"64 bpp", "pal8.bmp", {{kBitCount, 64, 2}}, NotImplemented},
        {"embedded JPEG", "pal8.bmp", {{kCompression, BI_JPEG}}, NotImplemented},
        {"embedded PNG", "pal8.bmp", {{kCompression, BI_PNG}}, NotImplemented},
        {"compression 7", "pal8.bmp", {{kCompression, 7}}, GenericError},
        {"OS/2 Huffman 1D", "pal8.bmp", {{kHeaderSize, 64}, {kCompression, 3}}, NotImplemented},
        {"OS/2 RLE24", "pal8.bmp", {{kHeaderSize, 64}, {kCompression, 4}}, NotImplemented},
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
        {"30000 x 30000 declared in a small file", "rgb32.bmp", {{kWidth, 30000}, {kHeight, 30000}},
            GenericError},
        // clang-format on
    };
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
    const struct {
        const char* name;
        bool fourBit;
        LONG width, height;
        Bytes stream;
        std::vector<BYTE> indices;  // top-down, skipped pixels 0; empty when refused
    } cases[] = {
        // clang-format off
        {"RLE8 run, end of line, literal, delta and early end", false, 5, 3,
         {3, 1, 0, 0, 0, 3, 2, 1, 2, 0, 0, 2, 1, 1, 1, 3, 0, 1}, {0, 0, 0, 0, 3, 2, 1, 2, 0, 0, 1, 1, 1, 0, 0}},
        {"RLE4 run alternates its two indices", true, 5, 2, {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1},
         {3, 4, 5, 0, 0, 1, 2, 1, 2, 1}},
        {"stream may stop once the last row is full", false, 2, 1, {2, 1}, {1, 1}},
        {"run past the row end", false, 2, 1, {3, 1, 0, 1}, {}},
        {"literal past the row end", false, 2, 1, {0, 3, 1, 1, 1, 0, 0, 1}, {}},
        {"delta past the right edge", false, 2, 2, {0, 2, 3, 0, 0, 1}, {}},
        {"delta past the top row", false, 2, 2, {0, 2, 0, 3, 0, 1}, {}},
        {"end of line past the top row", false, 2, 1, {0, 0, 0, 0, 0, 1}, {}},
        {"stream ends before the picture", false, 2, 2, {2, 1}, {}},
        {"delta cut short", false, 2, 2, {0, 2, 1}, {}},
        {"literal cut short", false, 4, 1, {0, 4, 1, 1}, {}},
        {"RLE8 index past the colour table", false, 2, 1, {2, 6, 0, 1}, {}},
        {"RLE4 second index past the colour table", true, 2, 1, {2, 0x16, 0, 1}, {}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The suite's RLE file with its stream replaced and six colours declared.
        Bytes file = ReadFileBytes(
            TestDataPath(c.fourBit ? "bmpsuite/g/pal4rle.bmp" : "bmpsuite/g/pal8rle.bmp"));
        file.resize(file[kPixelOffset] | file[kPixelOffset + 1] << 8);
        file.insert(file.end(), c.stream.begin(), c.stream.end());
        file = Patched(file, {{kFileSize, DWORD(file.size())},
                              {kWidth, DWORD(c.width)},
                              {kHeight, DWORD(c.height)},
                              {kSizeImage, 0},
                              {kClrUsed, 6}});
        ImageBuffer image;
        EXPECT_EQ(DecodeBmp(file.data(), file.size(), image),
                  c.indices.empty() ? GenericError : Ok);
        EXPECT_EQ(HoldsNoPicture(image), c.indices.empty());
        std::vector<BYTE> indices;
        for (UINT y = 0; y < image.Height(); ++y) {
            for (UINT x = 0; x < image.Width(); ++x) {
                const BYTE b = image.Row(y)[x * GetPixelFormatSize(image.Format()) / 8];
                indices.push_back(!c.fourBit ? b : (x % 2 == 0 ? b >> 4 : b & 0x0F));
            }
        }
        EXPECT_EQ(indices, c.indices);
    }
}

TEST(BmpDecoder, UnusedBitsOfStoredRowsAreCleared) {
    // pal1.bmp rows hold 127 indices in 16 bytes: the last byte's low bit is
    // padding. Some of rgb16faketrns.bmp's 5-5-5 words have their top bit set.
    Bytes file = ReadFileBytes(TestDataPath("bmpsuite/g/pal1.bmp"));
    for (UINT y = 0; y < 64; ++y)
        file[(file[kPixelOffset] | file[kPixelOffset + 1] << 8) + 16 * y + 15] |= 1;
    const Bytes words = ReadFileBytes(TestDataPath("bmpsuite/q/rgb16faketrns.bmp"));
    ImageBuffer indices, pixels;
    ASSERT_EQ(DecodeBmp(file.data(), file.size(), indices), Ok);
    ASSERT_EQ(DecodeBmp(words.data(), words.size(), pixels), Ok);
    for (UINT y = 0; y < 64; ++y) {
        EXPECT_EQ(indices.Row(y)[15] & 1, 0) << "row " << y;
        for (UINT x = 0; x < 127; ++x)
            ASSERT_LT(pixels.Row(y)[2 * x + 1], 0x80) << x << ", " << y;
    }
}

TEST(BmpDecoder, NarrowChannelsWidenToTheNearest8BitValue) {
    const struct {
        const char* what;
        WORD bitCount;
        DWORD compression, red, green, blue;  // masks
        DWORD pixel;
        ARGB expected;
    } cases[] = {
        // Repeating the bits: 31 -> 255, 16 -> 132, 1 -> 8; 6 bits: 32 -> 130.
        {"5-5-5", 16, BI_RGB, 0, 0, 0, 0x7E01, 0xFFFF8408},
        {"5-6-5", 16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F, 0x841F, 0xFF8482FF},
        // 1023 -> 255, 512 -> 127.6 -> 128, 3 -> 0.75 -> 1.
        {"10-bit fields", 32, BI_BITFIELDS, 0x3FF00000, 0xFFC00, 0x3FF, 0x3FF80003, 0xFFFF8001},
    };
    for (const auto& c : cases) {
        // 14-byte file header, 40-byte info header, three masks, one pixel.
        const Bytes file = Patched(Bytes(70, 0), {{0, 'B', 1},
                                                  {1, 'M', 1},
                                                  {kFileSize, 70},
                                                  {kPixelOffset, 66},
                                                  {kHeaderSize, 40},
                                                  {kWidth, 1},
                                                  {kHeight, 1},
                                                  {kPlanes, 1, 2},
                                                  {kBitCount, c.bitCount, 2},
                                                  {kCompression, c.compression},
                                                  {kMasks, c.red},
                                                  {kMasks + 4, c.green},
                                                  {kMasks + 8, c.blue},
                                                  {66, c.pixel}});
        ImageBuffer image;
        ASSERT_EQ(DecodeBmp(file.data(), file.size(), image), Ok) << c.what;
        EXPECT_EQ(ArgbPixels(image.View()), std::vector<ARGB>{c.expected}) << c.what;
    }
}
