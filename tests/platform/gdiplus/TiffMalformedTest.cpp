// TIFF decoding of damaged, hostile and unsupported files: each fails with
// its own status, in bounded time and memory, and leaves the output alone.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/gdiplus/TiffCodec.h"
#include "tests/platform/gdiplus/JpegTiffTestSupport.h"

namespace jpegtiff_test {
namespace {

// Tag numbers and field types of TIFF 6.0.
enum Tag : uint16_t {
    kWidth = 256,
    kLength = 257,
    kBitsPerSample = 258,
    kCompression = 259,
    kPhotometric = 262,
    kStripOffsets = 273,
    kSamplesPerPixel = 277,
    kRowsPerStrip = 278,
    kStripByteCounts = 279,
    kColorMap = 320,
    kTileWidth = 322,
    kTileLength = 323,
    kTileOffsets = 324,
    kTileByteCounts = 325,
    kSampleFormat = 339,
    kPrivate = 65000,
};
constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;

// Stands for the offset of the pixel data, which Build() works out.
constexpr uint32_t kAtData = 0xFFFFFFFF;

// A little-endian classic TIFF put together entry by entry: header, then the
// one directory, then values too long for their entry, then pixel data.
class TiffBuilder {
public:
    TiffBuilder& Set(uint16_t tag, uint16_t type, std::vector<uint32_t> values) {
        entries_[tag] = {type, std::move(values)};
        return *this;
    }
    TiffBuilder& Short(uint16_t tag, uint32_t value) { return Set(tag, kShort, {value}); }
    TiffBuilder& Long(uint16_t tag, uint32_t value) { return Set(tag, kLong, {value}); }
    TiffBuilder& Remove(uint16_t tag) {
        entries_.erase(tag);
        return *this;
    }
    TiffBuilder& Data(Bytes data) {
        data_ = std::move(data);
        return *this;
    }
    TiffBuilder& DirectoryAt(uint32_t offset) {
        directoryAt_ = offset;
        return *this;
    }

    Bytes Build() const {
        const uint32_t directoryBytes = 2 + 12 * static_cast<uint32_t>(entries_.size()) + 4;
        uint32_t valueBytes = 0;
        for (const auto& [tag, entry] : entries_)
            valueBytes += OutOfLine(entry);
        const uint32_t dataAt = 8 + directoryBytes + valueBytes;
        Bytes file = {'I', 'I', 42, 0};
        Put32(file, directoryAt_ != 0 ? directoryAt_ : 8);
        Put16(file, static_cast<uint32_t>(entries_.size()));
        Bytes values;
        uint32_t valuesAt = 8 + directoryBytes;
        for (const auto& [tag, entry] : entries_) {
            Put16(file, tag);
            Put16(file, entry.type);
            Put32(file, static_cast<uint32_t>(entry.values.size()));
            Bytes packed;
            for (uint32_t v : entry.values) {
                if (v == kAtData)
                    v = dataAt;
                entry.type == kShort ? Put16(packed, v) : Put32(packed, v);
            }
            if (packed.size() <= 4) {
                packed.resize(4, 0);
                file.insert(file.end(), packed.begin(), packed.end());
            } else {
                Put32(file, valuesAt + static_cast<uint32_t>(values.size()));
                values.insert(values.end(), packed.begin(), packed.end());
            }
        }
        Put32(file, 0);  // no next directory
        file.insert(file.end(), values.begin(), values.end());
        file.insert(file.end(), data_.begin(), data_.end());
        return file;
    }

private:
    struct Entry {
        uint16_t type;
        std::vector<uint32_t> values;
    };
    static uint32_t OutOfLine(const Entry& entry) {
        const uint32_t bytes =
            static_cast<uint32_t>(entry.values.size()) * (entry.type == kShort ? 2 : 4);
        return bytes > 4 ? bytes : 0;
    }
    static void Put16(Bytes& out, uint32_t v) {
        out.push_back(static_cast<BYTE>(v));
        out.push_back(static_cast<BYTE>(v >> 8));
    }
    static void Put32(Bytes& out, uint32_t v) {
        Put16(out, v & 0xFFFF);
        Put16(out, v >> 16);
    }

    std::map<uint16_t, Entry> entries_;
    Bytes data_;
    uint32_t directoryAt_ = 0;
};

// An 8 x 4 picture of 8-bit grey in one uncompressed strip.
TiffBuilder GreyPicture() {
    Bytes pixels(32);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<BYTE>(i * 8);
    TiffBuilder builder;
    builder.Short(kWidth, 8)
        .Short(kLength, 4)
        .Short(kBitsPerSample, 8)
        .Short(kCompression, 1)
        .Short(kPhotometric, 1)
        .Long(kStripOffsets, kAtData)
        .Short(kSamplesPerPixel, 1)
        .Short(kRowsPerStrip, 4)
        .Long(kStripByteCounts, 32)
        .Data(pixels);
    return builder;
}

Status Decode(const Bytes& file, ImageBuffer& out) {
    return DecodeTiff(file.data(), file.size(), out);
}

long PeakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(TiffDecoder, RefusesDataWithoutATiffSignature) {
    struct Case {
        const char* name;
        Bytes data;
    } cases[] = {
        {"nothing", {}},
        {"three bytes of a header", {'I', 'I', 42}},
        {"mixed byte-order marks", {'I', 'M', 42, 0, 8, 0, 0, 0}},
        {"the wrong version", {'I', 'I', 41, 0, 8, 0, 0, 0}},
        {"a JPEG", {0xFF, 0xD8, 0xFF, 0xE0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(SniffTiff(c.data.data(), c.data.size()));
        ImageBuffer out;
        EXPECT_EQ(Decode(c.data, out), UnknownImageFormat);
    }
    for (const Bytes& header : {Bytes{'I', 'I', 42, 0}, Bytes{'M', 'M', 0, 42},
                                Bytes{'I', 'I', 43, 0}, Bytes{'M', 'M', 0, 43}}) {
        EXPECT_TRUE(SniffTiff(header.data(), header.size()));
    }
}

TEST(TiffDecoder, GivesEachDamagedOrUnsupportedDirectoryItsStatus) {
    Bytes palettePixels(32, 1);
    struct Case {
        const char* name;
        Bytes file;
        Status status;
    } cases[] = {
        {"the good picture the others damage", GreyPicture().Build(), Ok},
        // libtiff warns about tags it does not know; private tags are common
        // in good files and must not fail them.
        {"a private tag", GreyPicture().Short(kPrivate, 7).Build(), Ok},
        {"directory beyond the end of the file", GreyPicture().DirectoryAt(4000).Build(),
         InvalidParameter},
        {"directory at offset zero",
         [] {
             Bytes file = GreyPicture().Build();
             std::fill(file.begin() + 4, file.begin() + 8, 0);
             return file;
         }(),
         InvalidParameter},
        {"no image length", GreyPicture().Remove(kLength).Build(), InvalidParameter},
        {"zero width", GreyPicture().Short(kWidth, 0).Build(), InvalidParameter},
        {"zero samples per pixel", GreyPicture().Short(kSamplesPerPixel, 0).Build(),
         InvalidParameter},
        {"strip beyond the end of the file", GreyPicture().Long(kStripOffsets, 5000).Build(),
         InvalidParameter},
        {"file ending inside the strip",
         [] {
             Bytes file = GreyPicture().Build();
             file.resize(file.size() - 10);
             return file;
         }(),
         InvalidParameter},
        {"fewer strips than the rows need", GreyPicture().Short(kRowsPerStrip, 1).Build(),
         InvalidParameter},
        {"garbage LZW data", GreyPicture().Short(kCompression, 5).Build(), InvalidParameter},
        {"an unknown compression", GreyPicture().Short(kCompression, 12345).Build(),
         NotImplemented},
        {"3 bits per sample", GreyPicture().Short(kBitsPerSample, 3).Build(), NotImplemented},
        {"floating-point samples",
         GreyPicture()
             .Short(kBitsPerSample, 32)
             .Short(kSampleFormat, 3)
             .Long(kStripByteCounts, 128)
             .Data(Bytes(128, 0))
             .Build(),
         NotImplemented},
        // libtiff reads an 8-bit palette picture without a map as grey, and
        // says nothing; below 8 bits it gives up.
        {"8-bit palette without a colour map", GreyPicture().Short(kPhotometric, 3).Build(), Ok},
        {"4-bit palette without a colour map",
         GreyPicture().Short(kPhotometric, 3).Short(kBitsPerSample, 4).Build(), InvalidParameter},
        {"RGB with four samples and no ExtraSamples",
         GreyPicture()
             .Short(kWidth, 2)
             .Short(kPhotometric, 2)
             .Short(kSamplesPerPixel, 4)
             .Set(kBitsPerSample, kShort, {8, 8, 8, 8})
             .Build(),
         InvalidParameter},
        {"colour map too short for the depth",
         GreyPicture()
             .Short(kPhotometric, 3)
             .Set(kColorMap, kShort, std::vector<uint32_t>(6, 0))
             .Data(palettePixels)
             .Build(),
         InvalidParameter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeepAsFuzzSeed("tiff", std::string("built-") + c.name + ".tif", c.file);
        ImageBuffer out;
        EXPECT_EQ(Decode(c.file, out), c.status);
        EXPECT_EQ(out.Pixels() == nullptr, c.status != Ok);
    }
}

TEST(TiffDecoder, FailsCleanlyOnTruncatedFiles) {
    Bytes good;
    ASSERT_EQ(EncodeTiff(NoisePicture(PixelFormat24bppRGB, 47, 33, 2).View(), good), Ok);
    for (const size_t length :
         {size_t{4}, size_t{8}, size_t{100}, good.size() / 2, good.size() - 1}) {
        SCOPED_TRACE(length);
        const Bytes cut(good.begin(), good.begin() + static_cast<long>(length));
        ImageBuffer out;
        EXPECT_EQ(Decode(cut, out), InvalidParameter);
        EXPECT_EQ(out.Pixels(), nullptr);
    }
}

TEST(TiffDecoder, RefusesHugePicturesWithoutAllocatingThem) {
    // A few bytes that claim ten billion pixels, in strips and in tiles.
    const Bytes lzwEnd = {0x80, 0x40, 0x40};  // Clear code, then end of information
    struct Case {
        const char* name;
        Bytes file;
    } cases[] = {
        {"100000 x 100000 in one LZW strip", GreyPicture()
                                                 .Long(kWidth, 100000)
                                                 .Long(kLength, 100000)
                                                 .Short(kCompression, 5)
                                                 .Long(kRowsPerStrip, 100000)
                                                 .Long(kStripByteCounts, 3)
                                                 .Data(lzwEnd)
                                                 .Build()},
        {"100000 x 100000 in one 2^20-pixel-wide tile row", GreyPicture()
                                                                .Long(kWidth, 100000)
                                                                .Long(kLength, 100000)
                                                                .Short(kCompression, 5)
                                                                .Remove(kStripOffsets)
                                                                .Remove(kStripByteCounts)
                                                                .Remove(kRowsPerStrip)
                                                                .Long(kTileWidth, 1u << 17)
                                                                .Long(kTileLength, 100000)
                                                                .Long(kTileOffsets, kAtData)
                                                                .Long(kTileByteCounts, 3)
                                                                .Data(lzwEnd)
                                                                .Build()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const long before = PeakResidentKilobytes();
        const auto start = std::chrono::steady_clock::now();
        ImageBuffer out;
        EXPECT_EQ(Decode(c.file, out), ValueOverflow);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_LT(PeakResidentKilobytes() - before, 64 * 1024);
        EXPECT_EQ(out.Pixels(), nullptr);
    }
}

TEST(TiffDecoder, RefusesTilesBeyondTheWorkingBound) {
    // A 16 x 16 picture whose one tile would take 4 GiB.
    const Bytes file = GreyPicture()
                           .Short(kWidth, 16)
                           .Short(kLength, 16)
                           .Short(kCompression, 5)
                           .Remove(kStripOffsets)
                           .Remove(kStripByteCounts)
                           .Remove(kRowsPerStrip)
                           .Long(kTileWidth, 1u << 16)
                           .Long(kTileLength, 1u << 16)
                           .Long(kTileOffsets, kAtData)
                           .Long(kTileByteCounts, 3)
                           .Data({0x80, 0x40, 0x40})
                           .Build();
    ImageBuffer out;
    EXPECT_EQ(Decode(file, out), ValueOverflow);
}

// Files kept from fuzzing, each with the status it must give.
TEST(TiffDecoder, GivesEachMalformedFixtureItsStatus) {
    const std::filesystem::path folder =
        std::filesystem::path(DORVALUNE_SOURCE_DIR) / "tests/data/tiff/malformed";
    struct Case {
        const char* file;
        Status status;
    } cases[] = {
        {"strip_offsets_missing.tif", InvalidParameter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Bytes file = ReadFileBytes((folder / c.file).string());
        ASSERT_FALSE(file.empty());
        ImageBuffer out;
        EXPECT_EQ(Decode(file, out), c.status);
    }
    size_t present = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        present += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(present, std::size(cases)) << "every fixture needs a row above";
}

}  // namespace
}  // namespace jpegtiff_test
