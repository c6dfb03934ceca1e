// Helpers shared by the BMP tests: files from disk, decoded pixels as ARGB,
// and small BMP files built from readable recipes.
#pragma once

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/gdiplus/ImageBuffer.h"
#include "platform/gdiplus/PixelConversion.h"

inline std::filesystem::path BmpSuiteFile(const char* group, const char* name) {
    return std::filesystem::path(DORVALUNE_TESTDATA_DIR) / "bmpsuite" / group / name;
}

// The whole file in a buffer of exactly its size, so that AddressSanitizer
// sees any read past its end.
inline std::vector<BYTE> ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
}

inline bool HoldsNoPicture(const ImageBuffer& image) {
    return image.Width() == 0 && image.Height() == 0 && image.View().scan0 == nullptr &&
           image.Palette().empty();
}

// Pixels top-down, row after row.
inline std::vector<ARGB> ArgbPixels(const ImageView& view) {
    std::vector<ARGB> pixels(static_cast<size_t>(view.width) * view.height);
    for (UINT y = 0; y < view.height; ++y)
        ReadRowArgb(view, y, &pixels[size_t{y} * view.width]);
    return pixels;
}

// Offsets of the header fields in a file with a Windows info header.
namespace bmp_field {
constexpr size_t kFileSize = 2;
constexpr size_t kPixelOffset = 10;
constexpr size_t kHeaderSize = 14;
constexpr size_t kWidth = 18;
constexpr size_t kHeight = 22;
constexpr size_t kPlanes = 26;
constexpr size_t kBitCount = 28;
constexpr size_t kCompression = 30;
constexpr size_t kSizeImage = 34;
constexpr size_t kXPelsPerMeter = 38;
constexpr size_t kYPelsPerMeter = 42;
constexpr size_t kClrUsed = 46;
constexpr size_t kMasks = 54;
}  // namespace bmp_field

inline void PutDword(std::vector<BYTE>& bytes, size_t offset, DWORD value) {
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<BYTE>(value >> (8 * i));
}
inline DWORD GetDword(const std::vector<BYTE>& bytes, size_t offset) {
    return bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16) |
           (static_cast<DWORD>(bytes[offset + 3]) << 24);
}

// A BMP file described field by field. Masks go where V2 headers and later
// keep them (right after a 40-byte header), the colour table follows the
// header and masks, and the pixels follow the colour table.
struct BmpRecipe {
    DWORD headerSize = 40;
    LONG width = 2;
    LONG height = 2;
    WORD bitCount = 24;
    DWORD compression = 0;
    DWORD colorsUsed = 0;
    std::vector<DWORD> masks;
    std::vector<ARGB> palette;
    std::vector<BYTE> pixels;
};

inline std::vector<BYTE> BuildBmp(const BmpRecipe& r) {
    const bool core = r.headerSize == 12;
    const size_t entryBytes = core ? 3 : 4;
    const size_t headersEnd = 14 + r.headerSize;
    const size_t tableStart =
        r.masks.empty() ? headersEnd : std::max<size_t>(headersEnd, 54 + 4 * r.masks.size());
    const size_t pixelOffset = tableStart + entryBytes * r.palette.size();
    std::vector<BYTE> file(pixelOffset + r.pixels.size());
    file[0] = 'B';
    file[1] = 'M';
    PutDword(file, bmp_field::kFileSize, static_cast<DWORD>(file.size()));
    PutDword(file, bmp_field::kPixelOffset, static_cast<DWORD>(pixelOffset));
    PutDword(file, bmp_field::kHeaderSize, r.headerSize);
    if (core) {
        const WORD fields[] = {static_cast<WORD>(r.width), static_cast<WORD>(r.height), 1,
                               r.bitCount};
        std::memcpy(&file[18], fields, sizeof(fields));
    } else {
        // Short OS/2 2.x headers simply stop; a field they leave out stays zero.
        std::vector<BYTE> info(std::max<size_t>(r.headerSize, 40));
        const DWORD fields[] = {r.headerSize,
                                static_cast<DWORD>(r.width),
                                static_cast<DWORD>(r.height),
                                1u | (DWORD{r.bitCount} << 16),
                                r.compression,
                                0,
                                2835,
                                2835,
                                r.colorsUsed};
        std::memcpy(info.data(), fields, sizeof(fields));
        std::copy_n(info.begin(), r.headerSize, file.begin() + 14);
    }
    for (size_t i = 0; i < r.masks.size(); ++i)
        PutDword(file, bmp_field::kMasks + 4 * i, r.masks[i]);
    for (size_t i = 0; i < r.palette.size(); ++i) {
        const ARGB c = r.palette[i];
        const BYTE entry[] = {static_cast<BYTE>(c), static_cast<BYTE>(c >> 8),
                              static_cast<BYTE>(c >> 16), 0};
        std::memcpy(&file[tableStart + i * entryBytes], entry, entryBytes);
    }
    std::copy(r.pixels.begin(), r.pixels.end(), file.begin() + pixelOffset);
    return file;
}
