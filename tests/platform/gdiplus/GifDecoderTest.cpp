#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "platform/gdiplus/GifCodec.h"
#include "tests/platform/gdiplus/PngGifTestSupport.h"

namespace {

const std::string kFindings = std::string(DORVALUNE_SOURCE_DIR) + "/tests/data/gif/findings";

struct Rgb {
    BYTE red, green, blue;
};

// A readable recipe for a one-frame GIF; GifFile() writes it byte by byte.
struct GifRecipe {
    std::string signature = "GIF89a";
    UINT screenWidth = 4;
    UINT screenHeight = 3;
    std::vector<Rgb> globalTable = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    BYTE background = 0;
    bool extrasBeforeFrame = false;  // a comment and an application extension
    int transparentIndex = -1;       // >= 0: a graphic control extension names it
    UINT left = 0, top = 0, width = 4, height = 3;
    std::vector<Rgb> localTable;
    bool interlaced = false;
    std::vector<BYTE> pixels;  // the frame's indices, top row first; 0, 1, 2... when empty
    int minimumCodeSize = 0;   // 0: the smallest that holds the table
    bool secondFrame = false;  // another frame of index 1 everywhere after the first
};

int Log2TableSize(size_t entries) {
    int bits = 1;
    while ((1u << bits) < entries)
        ++bits;
    return bits;
}

std::vector<BYTE> FramePixels(const GifRecipe& recipe) {
    if (!recipe.pixels.empty())
        return recipe.pixels;
    const size_t colors =
        recipe.localTable.empty() ? recipe.globalTable.size() : recipe.localTable.size();
    std::vector<BYTE> pixels(static_cast<size_t>(recipe.width) * recipe.height);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<BYTE>(i % std::max<size_t>(colors, 1));
    return pixels;
}

// LZW data that never grows its codes: a clear code before every few
// pixels keeps the code width at minimum + 1. Large, but any decoder must
// take it.
Bytes LzwWithoutCompression(const std::vector<BYTE>& pixels, int minimumCodeSize) {
    const UINT clear = 1u << minimumCodeSize;
    const UINT width = minimumCodeSize + 1;
    const size_t run = std::max<UINT>(1, clear / 2 - 1);
    Bytes packed;
    uint32_t bits = 0;
    int filled = 0;
    auto put = [&](UINT code) {
        bits |= code << filled;
        filled += width;
        while (filled >= 8) {
            packed.push_back(static_cast<BYTE>(bits));
            bits >>= 8;
            filled -= 8;
        }
    };
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (i % run == 0)
            put(clear);
        put(pixels[i] & (clear - 1));
    }
    put(clear + 1);  // end of information
    if (filled > 0)
        packed.push_back(static_cast<BYTE>(bits));
    Bytes data = {static_cast<BYTE>(minimumCodeSize)};
    for (size_t at = 0; at < packed.size(); at += 255) {
        const size_t length = std::min<size_t>(255, packed.size() - at);
        data.push_back(static_cast<BYTE>(length));
        data.insert(data.end(), packed.begin() + at, packed.begin() + at + length);
    }
    data.push_back(0);  // block terminator
    return data;
}

void Append16(Bytes& out, UINT value) {
    out.push_back(static_cast<BYTE>(value));
    out.push_back(static_cast<BYTE>(value >> 8));
}

void AppendTable(Bytes& out, const std::vector<Rgb>& table) {
    for (const Rgb& c : table)
        out.insert(out.end(), {c.red, c.green, c.blue});
}

// The frame's rows in file order: interlaced frames store rows 0, 8, 16...,
// then 4, 12..., then 2, 6..., then 1, 3...
std::vector<BYTE> InFileOrder(const std::vector<BYTE>& pixels, UINT width, UINT height,
                              bool interlaced) {
    if (!interlaced)
        return pixels;
    std::vector<BYTE> ordered;
    const UINT first[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (UINT y = first[pass]; y < height; y += step[pass]) {
            ordered.insert(ordered.end(), pixels.begin() + y * width,
                           pixels.begin() + (y + 1) * width);
        }
    }
    return ordered;
}

Bytes GifFile(const GifRecipe& recipe) {
    Bytes file(recipe.signature.begin(), recipe.signature.end());
    // Logical screen descriptor: size, flags (global table, 8-bit colour
    // resolution, table size), background index, aspect ratio.
    Append16(file, recipe.screenWidth);
    Append16(file, recipe.screenHeight);
    const bool global = !recipe.globalTable.empty();
    file.push_back(static_cast<BYTE>((global ? 0x80 : 0) | 0x70 |
                                     (global ? Log2TableSize(recipe.globalTable.size()) - 1 : 0)));
    file.push_back(recipe.background);
    file.push_back(0);
    AppendTable(file, recipe.globalTable);
    if (recipe.extrasBeforeFrame) {
        const Bytes comment = {'!', 0xFE, 5, 'h', 'e', 'l', 'l', 'o', 0};
        const Bytes loop = {'!', 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P',
                            'E', '2',  '.', '0', 3,   1,   0,   0,   0};
        file.insert(file.end(), comment.begin(), comment.end());
        file.insert(file.end(), loop.begin(), loop.end());
    }
    if (recipe.transparentIndex >= 0) {
        // Graphic control extension: 4 bytes, flags (transparency), delay,
        // transparent index, terminator.
        file.insert(file.end(),
                    {'!', 0xF9, 4, 0x01, 0, 0, static_cast<BYTE>(recipe.transparentIndex), 0});
    }
    // Image descriptor: position, size, flags (local table, interlace, size).
    file.push_back(',');
    Append16(file, recipe.left);
    Append16(file, recipe.top);
    Append16(file, recipe.width);
    Append16(file, recipe.height);
    const bool local = !recipe.localTable.empty();
    file.push_back(static_cast<BYTE>((local ? 0x80 : 0) | (recipe.interlaced ? 0x40 : 0) |
                                     (local ? Log2TableSize(recipe.localTable.size()) - 1 : 0)));
    AppendTable(file, recipe.localTable);
    const size_t colors = local ? recipe.localTable.size() : recipe.globalTable.size();
    const int codeSize = recipe.minimumCodeSize > 0
                             ? recipe.minimumCodeSize
                             : std::max(2, Log2TableSize(std::max<size_t>(colors, 2)));
    const Bytes data = LzwWithoutCompression(
        InFileOrder(FramePixels(recipe), recipe.width, recipe.height, recipe.interlaced), codeSize);
    file.insert(file.end(), data.begin(), data.end());
    if (recipe.secondFrame) {
        file.push_back(',');
        Append16(file, 0);
        Append16(file, 0);
        Append16(file, recipe.width);
        Append16(file, recipe.height);
        file.push_back(0);
        const Bytes second =
            LzwWithoutCompression(std::vector<BYTE>(recipe.width * recipe.height, 1), codeSize);
        file.insert(file.end(), second.begin(), second.end());
    }
    file.push_back(';');
    return file;
}

// Decodes the file; when DORVALUNE_GIF_SEEDS names a folder, the file is also
// kept there, as a seed for the GIF fuzzer.
Status Decode(const Bytes& file, ImageBuffer& image) {
    if (const char* seeds = std::getenv("DORVALUNE_GIF_SEEDS")) {
        static int kept = 0;
        WriteFileBytes(std::string(seeds) + "/recipe" + std::to_string(++kept) + ".gif", file);
    }
    return DecodeGif(file.data(), file.size(), image);
}

GifRecipe Recipe(void (*change)(GifRecipe&)) {
    GifRecipe recipe;
    change(recipe);
    return recipe;
}

TEST(GifDecoder, TheFirstFrameIsComposedOntoItsScreen) {
    const struct {
        const char* what;
        GifRecipe recipe;
    } cases[] = {
        {"a frame filling the screen", GifRecipe{}},
        {"GIF87a", Recipe([](GifRecipe& r) { r.signature = "GIF87a"; })},
        {"a frame inside a larger screen, background 2", Recipe([](GifRecipe& r) {
             r.screenWidth = 9, r.screenHeight = 7, r.left = 3, r.top = 2, r.background = 2;
         })},
        {"a frame inside a larger screen, transparent 3", Recipe([](GifRecipe& r) {
             r.screenWidth = 9, r.screenHeight = 7, r.left = 5, r.top = 4, r.background = 2;
             r.transparentIndex = 3;
         })},
        {"a transparent index beyond the table",
         Recipe([](GifRecipe& r) { r.screenWidth = 6, r.transparentIndex = 9; })},
        {"a local table of 8 over a global one of 4", Recipe([](GifRecipe& r) {
             r.localTable = {{1, 2, 3},    {4, 5, 6},    {7, 8, 9},    {10, 11, 12},
                             {13, 14, 15}, {16, 17, 18}, {19, 20, 21}, {22, 23, 24}};
         })},
        {"a local table and no global one", Recipe([](GifRecipe& r) {
             r.globalTable.clear();
             r.localTable = {{9, 9, 9}, {200, 100, 50}};
         })},
        {"a table of 256", Recipe([](GifRecipe& r) {
             r.globalTable.resize(256);
             for (int i = 0; i < 256; ++i)
                 r.globalTable[i] = {BYTE(i), BYTE(255 - i), BYTE(i / 2)};
             r.width = r.screenWidth = 37, r.height = r.screenHeight = 11;
         })},
        {"an interlaced frame of 11 rows", Recipe([](GifRecipe& r) {
             r.interlaced = true, r.width = r.screenWidth = 5, r.height = r.screenHeight = 11;
         })},
        {"an interlaced frame of 2 rows",
         Recipe([](GifRecipe& r) { r.interlaced = true, r.height = r.screenHeight = 2; })},
        {"a frame reaching beyond the screen",
         Recipe([](GifRecipe& r) { r.left = 2, r.top = 1, r.background = 1; })},
        {"a 0 x 0 screen", Recipe([](GifRecipe& r) { r.screenWidth = r.screenHeight = 0; })},
        {"an empty frame on a screen",
         Recipe([](GifRecipe& r) { r.width = r.height = 0, r.background = 3; })},
        {"an empty frame placed beyond the screen", Recipe([](GifRecipe& r) {
             r.left = 60000, r.top = 200, r.width = 60000, r.height = 0, r.background = 2;
         })},
        {"extensions before the frame", Recipe([](GifRecipe& r) { r.extrasBeforeFrame = true; })},
        {"a second frame, not read", Recipe([](GifRecipe& r) { r.secondFrame = true; })},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const GifRecipe& r = c.recipe;
        ImageBuffer image;
        ASSERT_EQ(Decode(GifFile(r), image), Ok);
        const bool empty = r.width == 0 || r.height == 0;
        const UINT width = empty ? r.screenWidth : std::max(r.screenWidth, r.left + r.width);
        const UINT height = empty ? r.screenHeight : std::max(r.screenHeight, r.top + r.height);
        ASSERT_EQ(image.Format(), PixelFormat8bppIndexed);
        ASSERT_EQ(image.Width(), width);
        ASSERT_EQ(image.Height(), height);

        const std::vector<Rgb>& table = r.localTable.empty() ? r.globalTable : r.localTable;
        std::vector<ARGB> palette;
        for (const Rgb& rgb : table)
            palette.push_back(0xFF000000u | (rgb.red << 16) | (rgb.green << 8) | rgb.blue);
        const bool clear =
            r.transparentIndex >= 0 && r.transparentIndex < static_cast<int>(table.size());
        if (clear)
            palette[r.transparentIndex] &= 0x00FFFFFF;
        EXPECT_EQ(image.Palette(), palette);
        EXPECT_EQ(image.PaletteFlags(), clear ? UINT(PaletteFlagsHasAlpha) : 0u);

        const std::vector<BYTE> pixels = FramePixels(r);
        const BYTE fill =
            static_cast<BYTE>(r.transparentIndex >= 0 ? r.transparentIndex : r.background);
        for (UINT y = 0; y < height; ++y) {
            for (UINT x = 0; x < width; ++x) {
                const bool inFrame =
                    x >= r.left && x < r.left + r.width && y >= r.top && y < r.top + r.height;
                const BYTE expected = inFrame ? pixels[(y - r.top) * r.width + (x - r.left)] : fill;
                ASSERT_EQ(image.Row(y)[x], expected) << "pixel " << x << "," << y;
            }
        }
    }
}

TEST(GifDecoder, DamagedFilesGiveTheirExactStatus) {
    const Bytes valid = GifFile(GifRecipe{});
    const size_t screenEnd = 6 + 7 + 12;  // signature, screen descriptor, 4-entry table
    Bytes badRecord(valid.begin(), valid.begin() + screenEnd);
    badRecord.insert(badRecord.end(), {'x', ';'});
    Bytes noFrame(valid.begin(), valid.begin() + screenEnd);
    noFrame.push_back(';');
    Bytes brokenLzw = valid;
    brokenLzw[screenEnd + 10] = 5;  // minimum code size byte: 5 is fine, the data then is not
    brokenLzw[screenEnd + 12] = 0xFF;
    brokenLzw[screenEnd + 13] = 0xFF;
    const struct {
        const char* defect;
        Bytes file;
        Status status;
    } cases[] = {
        {"signature GIF88a", GifFile(Recipe([](GifRecipe& r) { r.signature = "GIF88a"; })),
         UnknownImageFormat},
        {"no colour table at all", GifFile(Recipe([](GifRecipe& r) { r.globalTable.clear(); })),
         GenericError},
        {"screen descriptor cut short", Bytes(valid.begin(), valid.begin() + 9), GenericError},
        {"global table cut short", Bytes(valid.begin(), valid.begin() + 20), GenericError},
        {"the trailer before any frame", noFrame, GenericError},
        {"an unknown record", badRecord, GenericError},
        {"LZW minimum code size 12", GifFile(Recipe([](GifRecipe& r) { r.minimumCodeSize = 12; })),
         GenericError},
        {"LZW codes that refer to nothing", brokenLzw, GenericError},
        {"an empty frame on a 0 x 0 screen", GifFile(Recipe([](GifRecipe& r) {
             r.screenWidth = r.screenHeight = r.width = r.height = 0;
         })),
         GenericError},
        {"a 65535 x 65535 screen, beyond the pixel bound",
         GifFile(Recipe([](GifRecipe& r) { r.screenWidth = r.screenHeight = 65535; })),
         ValueOverflow},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.defect);
        const auto start = std::chrono::steady_clock::now();
        ImageBuffer image;
        EXPECT_EQ(Decode(c.file, image), c.status);
        EXPECT_EQ(image.Pixels(), nullptr);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    }
}

TEST(GifDecoder, HugePicturesFromFewBytesFailQuickly) {
    const struct {
        const char* what;
        GifRecipe recipe;
        Status status;
    } cases[] = {
        {"a 30000 x 30000 screen round one pixel", Recipe([](GifRecipe& r) {
             r.screenWidth = r.screenHeight = 30000, r.width = r.height = 1, r.background = 1;
         }),
         GenericError},
        {"a 65535 x 16000 frame with three pixels of data", Recipe([](GifRecipe& r) {
             r.screenWidth = r.screenHeight = 1, r.width = 65535, r.height = 16000;
             r.pixels = {1, 2, 3};
         }),
         GenericError},
        {"a 4096 x 4096 screen round one pixel, small enough to take", Recipe([](GifRecipe& r) {
             r.screenWidth = r.screenHeight = 4096, r.width = r.height = 1, r.background = 1;
         }),
         Ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes file = GifFile(c.recipe);
        ASSERT_LT(file.size(), 100u);
        const auto start = std::chrono::steady_clock::now();
        ImageBuffer image;
        EXPECT_EQ(Decode(file, image), c.status);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
        if (c.status == Ok) {
            EXPECT_EQ(image.Row(0)[0], 0);
            EXPECT_EQ(image.Row(4095)[4095], 1);
        }
    }
}

TEST(GifDecoder, TruncatedCopiesFailUpToTheTrailer) {
    const GifRecipe recipes[] = {
        Recipe([](GifRecipe& r) { r.extrasBeforeFrame = true, r.transparentIndex = 1; }),
        Recipe([](GifRecipe& r) {
            r.interlaced = true, r.width = r.screenWidth = 30, r.height = r.screenHeight = 20;
        }),
    };
    for (const GifRecipe& recipe : recipes) {
        const Bytes file = GifFile(recipe);
        for (size_t cut = 0; cut + 1 < file.size(); ++cut) {
            ImageBuffer image;
            ASSERT_EQ(DecodeGif(file.data(), cut, image),
                      cut < 6 ? UnknownImageFormat : GenericError)
                << "cut at " << cut << " of " << file.size();
        }
        // The trailer itself carries nothing the first frame needs.
        ImageBuffer image;
        EXPECT_EQ(DecodeGif(file.data(), file.size() - 1, image), Ok);
    }
}

TEST(GifDecoder, SniffRecognisesBothVersionsOnly) {
    const struct {
        Bytes data;
        bool gif;
    } cases[] = {
        {{'G', 'I', 'F', '8', '7', 'a'}, true},  {{'G', 'I', 'F', '8', '9', 'a'}, true},
        {{'G', 'I', 'F', '8', '9'}, false},      {{'G', 'I', 'F', '8', '8', 'a'}, false},
        {{'g', 'i', 'f', '8', '9', 'a'}, false}, {{}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SniffGif(c.data.data(), c.data.size()), c.gif)
            << std::string(c.data.begin(), c.data.end());
    }
}

// Every fuzzer finding kept under tests/data/gif/findings is named after its
// defect and listed here with the status it must give.
TEST(GifDecoder, KeptFuzzerFindingsGiveTheirExactStatus) {
    const std::map<std::string, Status> expected = {
        // Found by the fuzzer: an empty frame placed far outside a 4 x 3
        // screen once stretched the picture to 800 million pixels. An
        // empty frame no longer moves the edges; the screen alone remains.
        {"empty-frame-800-megapixels-away.gif", Ok},
    };
    std::vector<std::string> kept;
    if (std::filesystem::exists(kFindings)) {
        for (const auto& entry : std::filesystem::directory_iterator(kFindings)) {
            kept.push_back(entry.path().filename().string());
        }
    }
    EXPECT_EQ(kept.size(), expected.size()) << "a kept file without a case";
    for (const auto& [name, status] : expected) {
        ImageBuffer image;
        EXPECT_EQ(Decode(ReadFileBytes(kFindings + "/" + name), image), status) << name;
    }
}

}  // namespace
