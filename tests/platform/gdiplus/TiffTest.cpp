// TIFF decoding of damaged, hostile and unsupported files put together entry
// by entry: each gives its own status quickly, without allocating what it
// declares.
#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "platform/gdiplus/TiffCodec.h"
#include "tests/support/PeakMemory.h"
#include "tests/support/TestFiles.h"

namespace {

// clang-format off
enum Tag : uint16_t {
    kWidth = 256, kLength = 257, kBitsPerSample = 258, kCompression = 259, kPhotometric = 262,
    kStripOffsets = 273, kSamplesPerPixel = 277, kRowsPerStrip = 278, kStripByteCounts = 279,
    kColorMap = 320, kTileWidth = 322, kTileLength = 323, kTileOffsets = 324, kTileByteCounts = 325,
    kSampleFormat = 339, kPrivate = 65000,
};
// clang-format on
constexpr uint16_t kShort = 3, kLong = 4;
constexpr uint32_t kAtData = 0xFFFFFFFF;  // stands for the pixel data's offset

// A little-endian TIFF put together entry by entry: header, the directory,
// values too long for their entry, then the pixel data. To start with, an
// 8 x 4 picture of 8-bit grey in one uncompressed strip.
struct Recipe {
    std::map<uint16_t, std::pair<uint16_t, std::vector<uint32_t>>> entries = {
        {kWidth, {kShort, {8}}},           {kLength, {kShort, {4}}},
        {kBitsPerSample, {kShort, {8}}},   {kCompression, {kShort, {1}}},
        {kPhotometric, {kShort, {1}}},     {kStripOffsets, {kLong, {kAtData}}},
        {kSamplesPerPixel, {kShort, {1}}}, {kRowsPerStrip, {kShort, {4}}},
        {kStripByteCounts, {kLong, {32}}},
    };
    Bytes data = Bytes(32, 0x5A);

    Recipe& Set(uint16_t tag, uint32_t value) { return Values(tag, kLong, {value}); }
    Recipe& Values(uint16_t tag, uint16_t type, std::vector<uint32_t> values) {
        entries[tag] = {type, std::move(values)};
        return *this;
    }
    Recipe& Remove(uint16_t tag) {
        entries.erase(tag);
        return *this;
    }
    Recipe& Data(Bytes bytes) {
        data = std::move(bytes);
        return *this;
    }
    Bytes Build() const {
        Bytes file = {'I', 'I', 42, 0}, values;
        auto put = [](Bytes& out, uint32_t v, int bytes) {
            for (int i = 0; i < bytes; ++i)
                out.push_back(BYTE(v >> 8 * i));
        };
        const uint32_t valuesAt = 8 + 2 + 12 * uint32_t(entries.size()) + 4;
        uint32_t dataAt = valuesAt;
        for (const auto& [tag, entry] : entries) {
            const uint32_t bytes = uint32_t(entry.second.size()) * (entry.first == kShort ? 2 : 4);
            dataAt += bytes > 4 ? bytes : 0;
        }
        put(file, 8, 4);
        put(file, uint32_t(entries.size()), 2);
        for (const auto& [tag, entry] : entries) {
            Bytes packed;
            for (uint32_t v : entry.second)
                put(packed, v == kAtData ? dataAt : v, entry.first == kShort ? 2 : 4);
            put(file, tag, 2);
            put(file, entry.first, 2);
            put(file, uint32_t(entry.second.size()), 4);
            if (packed.size() > 4) {
                put(file, valuesAt + uint32_t(values.size()), 4);
                values.insert(values.end(), packed.begin(), packed.end());
            } else {
                packed.resize(4);
                file.insert(file.end(), packed.begin(), packed.end());
            }
        }
        put(file, 0, 4);  // no next directory
        file.insert(file.end(), values.begin(), values.end());
        file.insert(file.end(), data.begin(), data.end());
        return file;
    }
};

}  // namespace

TEST(TiffDecoder, GivesEachDamagedHugeOrUnsupportedFileItsStatusQuickly) {
    const Bytes good = Recipe().Build();
    Bytes directoryBeyondTheEnd = good, cut = good;
    directoryBeyondTheEnd[4] = 200;
    cut.resize(good.size() - 10);
    // A few bytes claiming ten billion pixels, or a tile of four billion.
    const Recipe lzw =
        Recipe().Set(kCompression, 5).Set(kStripByteCounts, 3).Data({0x80, 0x40, 0x40});
    const Recipe tiled = Recipe(lzw)
                             .Remove(kStripOffsets)
                             .Remove(kStripByteCounts)
                             .Remove(kRowsPerStrip)
                             .Set(kTileOffsets, kAtData)
                             .Set(kTileByteCounts, 3);
    const struct {
        const char* name;
        Bytes file;
        Status status;
    } cases[] = {
        // clang-format off
        {"the good picture the others damage", good, Ok},
        // Private tags are common in good files; libtiff only warns of them.
        {"a private tag", Recipe().Set(kPrivate, 7).Build(), Ok},
        // libtiff reads an 8-bit palette picture without a map as grey, silently.
        {"8-bit palette without a colour map", Recipe().Set(kPhotometric, 3).Build(), Ok},
        {"4-bit palette without a colour map", Recipe().Set(kPhotometric, 3).Set(kBitsPerSample, 4).Build(),
            InvalidParameter},
        {"colour map too short", Recipe().Set(kPhotometric, 3).Values(kColorMap, kShort, {0, 0, 0}).Build(),
            InvalidParameter},
        {"directory beyond the end", directoryBeyondTheEnd, InvalidParameter},
        {"no image length", Recipe().Remove(kLength).Build(), InvalidParameter},
        {"zero width", Recipe().Set(kWidth, 0).Build(), InvalidParameter},
        {"strip beyond the end", Recipe().Set(kStripOffsets, 5000).Build(), InvalidParameter},
        {"file ending inside the strip", cut, InvalidParameter},
        {"fewer strips than rows need", Recipe().Set(kRowsPerStrip, 1).Build(), InvalidParameter},
        {"garbage LZW data", Recipe().Set(kCompression, 5).Build(), InvalidParameter},
        {"RGB of four samples without ExtraSamples", Recipe().Set(kWidth, 2).Set(kPhotometric, 2)
            .Set(kSamplesPerPixel, 4).Values(kBitsPerSample, kShort, {8, 8, 8, 8}).Build(), InvalidParameter},
        {"an unknown compression", Recipe().Set(kCompression, 12345).Build(), NotImplemented},
        {"3 bits per sample", Recipe().Set(kBitsPerSample, 3).Build(), NotImplemented},
        {"floating-point samples", Recipe().Set(kBitsPerSample, 32).Set(kSampleFormat, 3)
            .Set(kStripByteCounts, 128).Data(Bytes(128)).Build(), NotImplemented},
        {"100000 x 100000 in one LZW strip",
            Recipe(lzw).Set(kWidth, 100000).Set(kLength, 100000).Set(kRowsPerStrip, 100000).Build(), ValueOverflow},
        {"100000 x 100000 in huge tiles", Recipe(tiled).Set(kWidth, 100000).Set(kLength, 100000)
            .Set(kTileWidth, 1 << 17).Set(kTileLength, 100000).Build(), ValueOverflow},
        {"16 x 16 in a 65536 x 65536 tile", Recipe(tiled).Set(kWidth, 16).Set(kLength, 16)
            .Set(kTileWidth, 1 << 16).Set(kTileLength, 1 << 16).Build(), ValueOverflow},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const long before = PeakResidentKilobytes();
        const auto start = std::chrono::steady_clock::now();
        ImageBuffer out;
        EXPECT_EQ(DecodeTiff(c.file.data(), c.file.size(), out), c.status);
        EXPECT_EQ(out.Pixels() == nullptr, c.status != Ok);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_LT(PeakResidentKilobytes() - before, 64 * 1024);
    }
}
