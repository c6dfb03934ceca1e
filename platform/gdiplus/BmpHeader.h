// The headers of a BMP file, read and checked as a whole before any pixel
// memory is taken: what the pixel readers need to know, already validated.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/gdiplus/GdiplusTypes.h"

// Header sizes in bytes. OS/2 2.x headers may stop after any field from the
// bit count on, so every size from 16 to 64 that ends on a field is one of
// theirs, except the three Windows sizes in that range.
constexpr size_t kBmpFileHeaderBytes = 14;
constexpr DWORD kBmpCoreHeaderBytes = 12;
constexpr DWORD kBmpOs2MinHeaderBytes = 16;
constexpr DWORD kBmpOs2MaxHeaderBytes = 64;
constexpr DWORD kBmpInfoV1Bytes = 40;
constexpr DWORD kBmpInfoV2Bytes = 52;
constexpr DWORD kBmpInfoV3Bytes = 56;
constexpr DWORD kBmpInfoV4Bytes = 108;
constexpr DWORD kBmpInfoV5Bytes = 124;

// "BM", the file header's first two bytes read as a little-endian WORD.
constexpr WORD kBmpSignature = 0x4D42;

// Which reader turns the stored pixels into the buffer's.
enum class BmpEncoding {
    kStoredRows,  // rows whose bytes already are the reported format's pixels
    kBitfields,   // 16 or 32-bit words taken apart by channel masks
    kRle8,
    kRle4,
};

struct BmpChannelMasks {
    DWORD red = 0;
    DWORD green = 0;
    DWORD blue = 0;
    DWORD alpha = 0;  // zero when the picture has no alpha
    bool operator==(const BmpChannelMasks&) const = default;
};

// The two 16-bit layouts that have pixel formats of their own.
constexpr BmpChannelMasks kBmp555Masks{0x7C00, 0x03E0, 0x001F};
constexpr BmpChannelMasks kBmp565Masks{0xF800, 0x07E0, 0x001F};

struct BmpHeader {
    UINT width = 0;
    UINT height = 0;
    bool topDown = false;
    UINT bitCount = 0;
    BmpEncoding encoding = BmpEncoding::kStoredRows;
    PixelFormat format = PixelFormatUndefined;  // the format the decoder reports
    BmpChannelMasks masks;

    size_t paletteOffset = 0;
    UINT paletteEntryBytes = 0;  // 3 after a 12-byte OS/2 header, 4 otherwise
    UINT paletteCount = 0;       // entries the picture may index, 1 to 2^bitCount

    size_t pixelOffset = 0;
    size_t pixelEnd = 0;    // compressed data ends here
    size_t fileStride = 0;  // bytes per stored row of uncompressed data
};

// Checks the file header, the info header in any of its sizes, the masks and
// the colour table against each other and against the data's size. Returns
// UnknownImageFormat without the "BM" signature, GenericError for malformed or truncated data,
// NotImplemented for a valid file that uses a feature we do not decode, ValueOverflow for a picture
// beyond the library's caps.
Status ReadBmpHeader(const BYTE* data, size_t size, BmpHeader& header);

// The colour table as opaque ARGB entries, paletteCount of them.
void ReadBmpPalette(const BYTE* data, const BmpHeader& header, std::vector<ARGB>& palette);

// Where the stored row that holds picture row y (0 = top) starts.
inline size_t BmpStoredRowOffset(const BmpHeader& header, UINT y) {
    const size_t storedRow = header.topDown ? y : header.height - 1 - y;
    return header.pixelOffset + storedRow * header.fileStride;
}
