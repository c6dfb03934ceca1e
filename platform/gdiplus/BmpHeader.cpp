#include "platform/gdiplus/BmpHeader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "platform/gdiplus/ImageBuffer.h"

static_assert(std::endian::native == std::endian::little,
              "the Win32 header structures are read straight from little-endian bytes");

namespace {

constexpr size_t kMaskBytes = sizeof(DWORD);
constexpr UINT kCoreEntryBytes = 3;  // OS/2 1.x RGBTRIPLE
// Byte offsets of the 16-bit fields of the OS/2 1.x BITMAPCOREHEADER.
constexpr size_t kCoreWidthOffset = 4;
constexpr size_t kCoreHeightOffset = 6;
constexpr size_t kCorePlanesOffset = 8;
constexpr size_t kCoreBitCountOffset = 10;

// OS/2 2.x reuses two compression codes that Windows gives other meanings.
constexpr DWORD kOs2Huffman1D = 3;
constexpr DWORD kOs2Rle24 = 4;
// Windows' CMYK compressions, valid only in metafiles.
constexpr DWORD kBiCmyk = 11;
constexpr DWORD kBiCmykRle4 = 13;

// Our pictures carry no resolution, but a pixel claimed to be a thousand times
// wider than it is tall only comes from a damaged header.
constexpr long long kMaxPixelAspect = 1000;

enum class HeaderKind { kCore, kOs2, kWindows };

enum class Compression { kNone, kRle8, kRle4, kBitfields, kUnsupported, kUnknown };

WORD LoadWord(const BYTE* p) {
    return static_cast<WORD>(p[0] | (p[1] << 8));
}
DWORD LoadDword(const BYTE* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
}

// OS/2 2.x fields are 32 bits wide except four 16-bit ones after byte 40.
constexpr DWORD kOs2ShortFieldsEnd = 48;

bool EndsOnOs2Field(DWORD headerSize) {
    const bool inShortFields = headerSize > kBmpInfoV1Bytes && headerSize < kOs2ShortFieldsEnd;
    return headerSize % sizeof(DWORD) == 0 || (inShortFields && headerSize % sizeof(WORD) == 0);
}

bool FindHeaderKind(DWORD headerSize, HeaderKind& kind) {
    switch (headerSize) {
        case kBmpCoreHeaderBytes:
            kind = HeaderKind::kCore;
            return true;
        case kBmpInfoV1Bytes:
        case kBmpInfoV2Bytes:
        case kBmpInfoV3Bytes:
        case kBmpInfoV4Bytes:
        case kBmpInfoV5Bytes:
            kind = HeaderKind::kWindows;
            return true;
        default:
            kind = HeaderKind::kOs2;
            return headerSize >= kBmpOs2MinHeaderBytes && headerSize <= kBmpOs2MaxHeaderBytes &&
                   EndsOnOs2Field(headerSize);
    }
}

// The fields of every header size in BITMAPINFOHEADER form; fields that a
// short OS/2 2.x header leaves out read as zero, which is their default.
BITMAPINFOHEADER LoadInfoHeader(const BYTE* p, HeaderKind kind, DWORD headerSize) {
    BITMAPINFOHEADER info{};
    if (kind == HeaderKind::kCore) {
        info.biSize = headerSize;
        info.biWidth = LoadWord(p + kCoreWidthOffset);
        info.biHeight = LoadWord(p + kCoreHeightOffset);
        info.biPlanes = LoadWord(p + kCorePlanesOffset);
        info.biBitCount = LoadWord(p + kCoreBitCountOffset);
        info.biCompression = BI_RGB;
    } else {
        std::memcpy(&info, p, std::min<size_t>(headerSize, sizeof(info)));
    }
    return info;
}

Compression ClassifyCompression(HeaderKind kind, DWORD compression) {
    switch (compression) {
        case BI_RGB:
            return Compression::kNone;
        case BI_RLE8:
            return Compression::kRle8;
        case BI_RLE4:
            return Compression::kRle4;
        default:
            break;
    }
    if (kind == HeaderKind::kOs2) {
        return compression == kOs2Huffman1D || compression == kOs2Rle24 ? Compression::kUnsupported
                                                                        : Compression::kUnknown;
    }
    if (compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS) {
        return Compression::kBitfields;
    }
    if (compression == BI_JPEG || compression == BI_PNG ||
        (compression >= kBiCmyk && compression <= kBiCmykRle4)) {
        return Compression::kUnsupported;
    }
    return Compression::kUnknown;
}

Status CheckBitCount(Compression compression, UINT bits) {
    switch (compression) {
        case Compression::kNone:
            if (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32) {
                return Ok;
            }
            // Windows CE's 2 bpp and 64-bit linear-light files are valid, just not ours.
            return bits == 2 || bits == 64 ? NotImplemented : GenericError;
        case Compression::kRle8:
            return bits == 8 ? Ok : GenericError;
        case Compression::kRle4:
            return bits == 4 ? Ok : GenericError;
        case Compression::kBitfields:
            return bits == 16 || bits == 32 ? Ok : GenericError;
        default:
            return GenericError;
    }
}

bool CheckDensity(LONG xPelsPerMeter, LONG yPelsPerMeter) {
    if (xPelsPerMeter <= 0 || yPelsPerMeter <= 0)
        return true;  // unset
    const long long x = xPelsPerMeter;
    const long long y = yPelsPerMeter;
    return x <= y * kMaxPixelAspect && y <= x * kMaxPixelAspect;
}

bool IsContiguous(DWORD mask) {
    const DWORD shifted = mask >> std::countr_zero(mask);
    return (shifted & (shifted + 1)) == 0;
}

bool CheckMasks(const BmpChannelMasks& m, UINT bits) {
    const DWORD outside = bits == 32 ? 0 : ~((1u << bits) - 1);
    for (DWORD mask : {m.red, m.green, m.blue}) {
        if (mask == 0 || !IsContiguous(mask) || (mask & outside) != 0)
            return false;
    }
    if (m.alpha != 0 && (!IsContiguous(m.alpha) || (m.alpha & outside) != 0))
        return false;
    const DWORD overlap = (m.red & m.green) | (m.red & m.blue) | (m.green & m.blue) |
                          (m.alpha & (m.red | m.green | m.blue));
    return overlap == 0;
}

// The masks sit where a V2 header and later keep them, so after a 40-byte
// header they follow it; only BI_ALPHABITFIELDS and V3 headers and later have
// an alpha mask.
Status ReadMasks(const BYTE* data, size_t size, const BITMAPINFOHEADER& info,
                 BmpChannelMasks& masks, size_t& headersEnd) {
    const size_t maskCount =
        info.biCompression == BI_ALPHABITFIELDS || info.biSize >= kBmpInfoV3Bytes ? 4 : 3;
    const size_t masksStart = kBmpFileHeaderBytes + kBmpInfoV1Bytes;
    const size_t masksEnd = masksStart + maskCount * kMaskBytes;
    if (masksEnd > size)
        return GenericError;
    masks.red = LoadDword(data + masksStart);
    masks.green = LoadDword(data + masksStart + kMaskBytes);
    masks.blue = LoadDword(data + masksStart + 2 * kMaskBytes);
    masks.alpha = maskCount == 4 ? LoadDword(data + masksStart + 3 * kMaskBytes) : 0;
    if (!CheckMasks(masks, info.biBitCount))
        return GenericError;
    headersEnd = std::max(headersEnd, masksEnd);
    return Ok;
}

PixelFormat ChooseFormat(Compression compression, UINT bits, const BmpChannelMasks& m,
                         BmpEncoding& encoding) {
    encoding = BmpEncoding::kStoredRows;
    switch (compression) {
        case Compression::kRle8:
            encoding = BmpEncoding::kRle8;
            return PixelFormat8bppIndexed;
        case Compression::kRle4:
            encoding = BmpEncoding::kRle4;
            return PixelFormat4bppIndexed;
        case Compression::kBitfields:
            if (bits == 16 && m == kBmp555Masks)
                return PixelFormat16bppRGB555;
            if (bits == 16 && m == kBmp565Masks)
                return PixelFormat16bppRGB565;
            encoding = BmpEncoding::kBitfields;
            return m.alpha != 0 ? PixelFormat32bppARGB : PixelFormat32bppRGB;
        default:
            switch (bits) {
                case 1:
                    return PixelFormat1bppIndexed;
                case 4:
                    return PixelFormat4bppIndexed;
                case 8:
                    return PixelFormat8bppIndexed;
                case 16:
                    return PixelFormat16bppRGB555;
                case 24:
                    return PixelFormat24bppRGB;
                default:
                    return PixelFormat32bppRGB;
            }
    }
}

Status LocatePalette(HeaderKind kind, const BITMAPINFOHEADER& info, size_t tableStart, size_t size,
                     BmpHeader& header) {
    header.paletteOffset = tableStart;
    header.paletteEntryBytes = kind == HeaderKind::kCore ? kCoreEntryBytes : sizeof(RGBQUAD);
    const size_t depthEntries = size_t{1} << header.bitCount;
    if (info.biClrUsed != 0) {
        // A declared table must be in the file, but entries beyond what the
        // depth can index are never looked at.
        if (info.biClrUsed > (size - tableStart) / header.paletteEntryBytes)
            return GenericError;
        header.paletteCount = static_cast<UINT>(std::min<size_t>(info.biClrUsed, depthEntries));
    } else {
        // Without a count the table fills the space before the pixels, up to
        // 2^depth entries: OS/2 writers put shorter tables there.
        const size_t room = header.pixelOffset > tableStart ? header.pixelOffset - tableStart : 0;
        header.paletteCount =
            static_cast<UINT>(std::min(depthEntries, room / header.paletteEntryBytes));
    }
    // Even a picture whose every pixel an RLE stream skips shows index 0.
    return header.paletteCount == 0 ? GenericError : Ok;
}

// The same bounds as ImageBuffer::Allocate, checked before the data's length so
// that a huge picture is reported as too big even when its pixels are missing.
bool WithinImageCaps(PixelFormat format, UINT width, UINT height) {
    const unsigned long long stride = StrideFor(format, width);
    return static_cast<unsigned long long>(width) * height <= kMaxImagePixels &&
           stride <= static_cast<unsigned long long>(std::numeric_limits<INT>::max()) &&
           stride * height <= kMaxImageBytes;
}

Status CheckPixelData(const BITMAPINFOHEADER& info, DWORD fileSize, size_t size,
                      BmpHeader& header) {
    // OS/2 writers put the header's size in bfSize and others zero, so only a
    // claim beyond the data we hold means something: the file was cut.
    if (fileSize > size)
        return GenericError;
    const size_t available = size - header.pixelOffset;
    if (info.biSizeImage > available)
        return GenericError;
    header.pixelEnd = info.biSizeImage != 0 ? header.pixelOffset + info.biSizeImage : size;
    if (header.encoding == BmpEncoding::kRle8 || header.encoding == BmpEncoding::kRle4)
        return Ok;

    const unsigned long long rowBits =
        static_cast<unsigned long long>(header.width) * header.bitCount;
    header.fileStride = (rowBits + 31) / 32 * 4;
    // The last row's padding is not needed; some writers leave it out.
    const unsigned long long needed =
        (header.height - 1ull) * header.fileStride + (rowBits + 7) / 8;
    return needed <= available ? Ok : GenericError;
}

}  // namespace

Status ReadBmpHeader(const BYTE* data, size_t size, BmpHeader& header) {
    header = BmpHeader();
    // Without its signature the file is not a bitmap at all, as the other
    // decoders say of files without theirs.
    if (data == nullptr || size < sizeof(WORD) || LoadWord(data) != kBmpSignature)
        return UnknownImageFormat;
    if (size < kBmpFileHeaderBytes + sizeof(DWORD))
        return GenericError;
    BITMAPFILEHEADER file;
    std::memcpy(&file, data, sizeof(file));

    const DWORD headerSize = LoadDword(data + kBmpFileHeaderBytes);
    HeaderKind kind;
    if (!FindHeaderKind(headerSize, kind) || headerSize > size - kBmpFileHeaderBytes) {
        return GenericError;
    }
    const BITMAPINFOHEADER info = LoadInfoHeader(data + kBmpFileHeaderBytes, kind, headerSize);
    if (info.biPlanes != 1 || info.biWidth <= 0 || info.biHeight == 0)
        return GenericError;
    // A top-down height cannot be negated when it is INT32_MIN.
    if (info.biHeight == INT32_MIN)
        return GenericError;
    header.width = static_cast<UINT>(info.biWidth);
    header.topDown = info.biHeight < 0;
    header.height =
        header.topDown ? static_cast<UINT>(-info.biHeight) : static_cast<UINT>(info.biHeight);
    header.bitCount = info.biBitCount;

    const Compression compression = ClassifyCompression(kind, info.biCompression);
    if (compression == Compression::kUnknown)
        return GenericError;
    if (compression == Compression::kUnsupported)
        return NotImplemented;
    if (const Status status = CheckBitCount(compression, header.bitCount); status != Ok) {
        return status;
    }
    // RLE streams run from the bottom row up and have no top-down form.
    const bool rle = compression == Compression::kRle8 || compression == Compression::kRle4;
    if (rle && header.topDown)
        return GenericError;
    if (!CheckDensity(info.biXPelsPerMeter, info.biYPelsPerMeter))
        return GenericError;

    size_t headersEnd = kBmpFileHeaderBytes + headerSize;
    if (compression == Compression::kBitfields) {
        if (const Status status = ReadMasks(data, size, info, header.masks, headersEnd);
            status != Ok) {
            return status;
        }
    }
    if (file.bfOffBits < headersEnd || file.bfOffBits > size)
        return GenericError;
    header.pixelOffset = file.bfOffBits;

    header.format = ChooseFormat(compression, header.bitCount, header.masks, header.encoding);
    if (IsIndexedPixelFormat(header.format)) {
        if (const Status status = LocatePalette(kind, info, headersEnd, size, header);
            status != Ok) {
            return status;
        }
    }
    if (!WithinImageCaps(header.format, header.width, header.height))
        return RefusePictureSize(header.width, header.height);
    return CheckPixelData(info, file.bfSize, size, header);
}

void ReadBmpPalette(const BYTE* data, const BmpHeader& header, std::vector<ARGB>& palette) {
    palette.resize(header.paletteCount);
    const BYTE* entry = data + header.paletteOffset;
    for (ARGB& colour : palette) {
        // Both entry forms start blue, green, red; the fourth byte is reserved.
        colour = 0xFF000000u | (static_cast<ARGB>(entry[2]) << 16) | (entry[1] << 8) | entry[0];
        entry += header.paletteEntryBytes;
    }
}
