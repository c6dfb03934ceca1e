#include "platform/gdiplus/BmpEncoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>

#include "platform/gdiplus/BmpHeader.h"
#include "platform/gdiplus/PackedIndex.h"

static_assert(std::endian::native == std::endian::little,
              "the Win32 header structures are written as little-endian bytes");

namespace {

constexpr LONG kPelsPerMeterAt96Dpi = 3780;
constexpr DWORD kRgb565Masks[] = {kBmp565Masks.red, kBmp565Masks.green, kBmp565Masks.blue};

struct Layout {
    WORD bitCount;
    DWORD compression;
};

bool ChooseLayout(PixelFormat format, Layout& layout) {
    switch (format) {
        case PixelFormat1bppIndexed:
        case PixelFormat4bppIndexed:
        case PixelFormat8bppIndexed:
        case PixelFormat16bppRGB555:
        case PixelFormat24bppRGB:
        case PixelFormat32bppRGB:
        case PixelFormat32bppARGB:
            layout = {static_cast<WORD>(GetPixelFormatSize(format)), BI_RGB};
            return true;
        case PixelFormat16bppRGB565:
            layout = {16, BI_BITFIELDS};
            return true;
        default:
            return false;
    }
}

UINT PaletteCount(const ImageView& image) {
    return image.palette != nullptr ? image.paletteCount : 0;
}

// Indices past the view's palette read as opaque black, so the table written
// reaches the largest index used, padded with black; a reader then finds a
// colour for every pixel.
UINT ColourTableEntries(const ImageView& image, UINT bits) {
    const UINT depthEntries = 1u << bits;
    UINT entries = std::min(PaletteCount(image), depthEntries);
    if (entries == depthEntries)
        return entries;
    for (UINT y = 0; y < image.height; ++y)
        entries = std::max(entries, LargestPackedIndex(image.Row(y), image.width, bits) + 1);
    return entries;
}

}  // namespace

Status EncodeBmpFile(const ImageView& image, EncodedFile& out) {
    Layout layout;
    if (!ChooseLayout(image.format, layout) || image.scan0 == nullptr || image.width == 0 ||
        image.height == 0 || image.width > INT32_MAX || image.height > INT32_MAX) {
        return InvalidParameter;
    }
    const bool indexed = IsIndexedPixelFormat(image.format);
    const UINT tableEntries = indexed ? ColourTableEntries(image, layout.bitCount) : 0;
    const size_t maskBytes = layout.compression == BI_BITFIELDS ? sizeof(kRgb565Masks) : 0;
    const size_t rowBits = static_cast<size_t>(image.width) * layout.bitCount;
    const size_t rowBytes = (rowBits + 7) / 8;
    const size_t stride = (rowBits + 31) / 32 * 4;
    const size_t pixelOffset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + maskBytes +
                               tableEntries * sizeof(RGBQUAD);
    const unsigned long long imageBytes = static_cast<unsigned long long>(stride) * image.height;
    if (imageBytes > std::numeric_limits<DWORD>::max() - pixelOffset)  // bfSize is a DWORD
        return ValueOverflow;
    // Rows whose last byte ends in padding bits are copied so that those bits
    // can be cleared; all others are written from the picture's own memory.
    const bool copyRows = rowBits % 8 != 0;

    EncodedFile file;
    std::vector<BYTE>& head = file.Head();
    try {
        head.resize(pixelOffset + (copyRows ? imageBytes : 0));
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }

    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = kBmpSignature;
    fileHeader.bfSize = static_cast<DWORD>(pixelOffset + imageBytes);
    fileHeader.bfOffBits = static_cast<DWORD>(pixelOffset);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(BITMAPINFOHEADER);
    info.biWidth = static_cast<LONG>(image.width);
    info.biHeight = static_cast<LONG>(image.height);  // positive: bottom-up rows
    info.biPlanes = 1;
    info.biBitCount = layout.bitCount;
    info.biCompression = layout.compression;
    info.biSizeImage = static_cast<DWORD>(imageBytes);
    info.biXPelsPerMeter = kPelsPerMeterAt96Dpi;
    info.biYPelsPerMeter = kPelsPerMeterAt96Dpi;
    // Zero says the table holds all 2^depth entries.
    if (indexed && tableEntries < (1u << layout.bitCount))
        info.biClrUsed = tableEntries;

    BYTE* p = head.data();
    std::memcpy(p, &fileHeader, sizeof(fileHeader));
    p += sizeof(fileHeader);
    std::memcpy(p, &info, sizeof(info));
    p += sizeof(info);
    std::memcpy(p, kRgb565Masks, maskBytes);
    p += maskBytes;
    for (UINT i = 0; i < tableEntries; ++i, p += sizeof(RGBQUAD)) {
        const ARGB colour = i < PaletteCount(image) ? image.palette[i] : 0;
        const RGBQUAD entry = {static_cast<BYTE>(colour), static_cast<BYTE>(colour >> 8),
                               static_cast<BYTE>(colour >> 16), 0};
        std::memcpy(p, &entry, sizeof(entry));
    }
    if (copyRows) {
        // Bits after the last index of a row are padding and written as zero.
        const BYTE tailMask = static_cast<BYTE>(0xFF00 >> (rowBits % 8));
        for (UINT y = 0; y < image.height; ++y) {
            BYTE* row = p + static_cast<size_t>(image.height - 1 - y) * stride;
            std::memcpy(row, image.Row(y), rowBytes);
            row[rowBytes - 1] &= tailMask;
        }
    } else {
        static constexpr BYTE kZeroPadding[3] = {};
        for (UINT y = image.height; y-- > 0;) {
            file.Append(image.Row(y), rowBytes);
            file.Append(kZeroPadding, stride - rowBytes);
        }
    }
    out = std::move(file);
    return Ok;
}

Status EncodeBmp(const ImageView& image, std::vector<BYTE>& out) {
    EncodedFile file;
    const Status status = EncodeBmpFile(image, file);
    if (status == Ok)
        out = file.Flatten();
    return status;
}
