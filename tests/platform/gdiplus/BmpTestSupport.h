// Helpers shared by the BMP tests: files from disk, header fields, decoded
// pixels as ARGB.
#pragma once

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

// Offsets of header fields in a file with a Windows info header.
namespace bmp_field {
constexpr size_t kFileSize = 2;
constexpr size_t kPixelOffset = 10;
constexpr size_t kHeaderSize = 14;
constexpr size_t kWidth = 18;
constexpr size_t kHeight = 22;
constexpr size_t kBitCount = 28;
constexpr size_t kCompression = 30;
constexpr size_t kSizeImage = 34;
constexpr size_t kClrUsed = 46;
constexpr size_t kMasks = 54;
}  // namespace bmp_field

inline void PutDword(std::vector<BYTE>& bytes, size_t offset, DWORD value, int width = 4) {
    for (int i = 0; i < width; ++i)
        bytes[offset + i] = static_cast<BYTE>(value >> (8 * i));
}
inline DWORD GetDword(const std::vector<BYTE>& bytes, size_t offset) {
    return bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16) |
           (static_cast<DWORD>(bytes[offset + 3]) << 24);
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
