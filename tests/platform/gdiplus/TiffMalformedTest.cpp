// TIFF decoding of damaged, hostile and unsupported files: each fails with
// its own status, in bounded time and memory, and leaves the output alone.
#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "platform/gdiplus/TiffCodec.h"
#include "tests/platform/gdiplus/JpegTiffTestSupport.h"

namespace jpegtiff_test {
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

Bytes Cut(Bytes file, size_t length) {
    file.resize(length);
    return file;
}

Bytes WithDirectoryAt(Bytes file, BYTE offset) {
    file[4] = offset;
    file[5] = file[6] = file[7] = 0;
    return file;
}

Status Decode(const Bytes& file) {
    ImageBuffer out;
    const Status status = DecodeTiff(file.data(), file.size(), out);
    EXPECT_EQ(out.Pixels() == nullptr, status != Ok);
    return status;
}

TEST(TiffDecoder, RefusesDataWithoutATiffSignature) {
    const Bytes refused[] = {
        {}, {'I', 'I', 42}, {'I', 'M', 42, 0}, {'I', 'I', 41, 0}, {0xFF, 0xD8, 0xFF, 0xE0}};
    for (const Bytes& data : refused) {
        EXPECT_FALSE(SniffTiff(data.data(), data.size()));
        EXPECT_EQ(Decode(data), UnknownImageFormat);
    }
    for (const Bytes& data :
         {Bytes{'I', 'I', 42, 0}, Bytes{'M', 'M', 0, 42}, Bytes{'I', 'I', 43, 0}}) {
        EXPECT_TRUE(SniffTiff(data.data(), data.size()));
    }
}

TEST(TiffDecoder, GivesEachDamagedOrUnsupportedFileItsStatus) {
    Bytes encoded;
    ASSERT_EQ(EncodeTiff(NoisePicture(PixelFormat24bppRGB, 47, 33, 2).View(), encoded), Ok);
    const Bytes good = Recipe().Build();
    struct Case {
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
        {"directory beyond the end", WithDirectoryAt(good, 200), InvalidParameter},
        {"no image length", Recipe().Remove(kLength).Build(), InvalidParameter},
        {"zero width", Recipe().Set(kWidth, 0).Build(), InvalidParameter},
        {"strip beyond the end", Recipe().Set(kStripOffsets, 5000).Build(), InvalidParameter},
        {"file ending inside the strip", Cut(good, good.size() - 10), InvalidParameter},
        {"fewer strips than rows need", Recipe().Set(kRowsPerStrip, 1).Build(), InvalidParameter},
        {"garbage LZW data", Recipe().Set(kCompression, 5).Build(), InvalidParameter},
        {"RGB of four samples without ExtraSamples", Recipe().Set(kWidth, 2).Set(kPhotometric, 2)
            .Set(kSamplesPerPixel, 4).Values(kBitsPerSample, kShort, {8, 8, 8, 8}).Build(), InvalidParameter},
        {"our file cut after its header", Cut(encoded, 8), InvalidParameter},
        {"our file cut in half", Cut(encoded, encoded.size() / 2), InvalidParameter},
        {"an unknown compression", Recipe().Set(kCompression, 12345).Build(), NotImplemented},
        {"3 bits per sample", Recipe().Set(kBitsPerSample, 3).Build(), NotImplemented},
        {"floating-point samples", Recipe().Set(kBitsPerSample, 32).Set(kSampleFormat, 3)
            .Set(kStripByteCounts, 128).Data(Bytes(128)).Build(), NotImplemented},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeepAsFuzzSeed("tiff", std::string("built-") + c.name, c.file);
        EXPECT_EQ(Decode(c.file), c.status);
    }
}

TEST(TiffDecoder, RefusesHugePicturesAndTilesWithoutAllocatingThem) {
    // A few bytes claiming ten billion pixels, or a tile of four billion.
    // clang-format off
    const Recipe lzw = Recipe().Set(kCompression, 5).Set(kStripByteCounts, 3).Data({0x80, 0x40, 0x40});
    const Recipe tiled = Recipe(lzw).Remove(kStripOffsets).Remove(kStripByteCounts).Remove(kRowsPerStrip)
        .Set(kTileOffsets, kAtData).Set(kTileByteCounts, 3);
    const Bytes cases[] = {
        Recipe(lzw).Set(kWidth, 100000).Set(kLength, 100000).Set(kRowsPerStrip, 100000).Build(),
        Recipe(tiled).Set(kWidth, 100000).Set(kLength, 100000).Set(kTileWidth, 1 << 17)
            .Set(kTileLength, 100000).Build(),
        Recipe(tiled).Set(kWidth, 16).Set(kLength, 16).Set(kTileWidth, 1 << 16).Set(kTileLength, 1 << 16).Build(),
    };
    // clang-format on
    for (const Bytes& file : cases) {
        const long before = PeakResidentKilobytes();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Decode(file), ValueOverflow);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_LT(PeakResidentKilobytes() - before, 64 * 1024);
    }
}

// Files kept from fuzzing and hand-made damage, each with its status.
TEST(TiffDecoder, GivesEachMalformedFixtureItsStatus) {
    ExpectMalformedFixtures("tiff", Decode, {{"strip_offsets_missing.tif", InvalidParameter}});
}

}  // namespace
}  // namespace jpegtiff_test
