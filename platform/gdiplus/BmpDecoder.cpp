#include "platform/gdiplus/BmpDecoder.h"

#include <new>

#include "platform/gdiplus/BmpBitfieldRows.h"
#include "platform/gdiplus/BmpHeader.h"
#include "platform/gdiplus/BmpRle.h"
#include "platform/gdiplus/BmpStoredRows.h"

bool SniffBmp(const BYTE* data, size_t size) {
    return data != nullptr && size >= sizeof(WORD) && (data[0] | data[1] << 8) == kBmpSignature;
}

namespace {

Status DecodeBmpInto(const BYTE* data, size_t size, ImageBuffer::Rows rows, ImageBuffer& out) {
    out = ImageBuffer();
    BmpHeader header;
    if (const Status status = ReadBmpHeader(data, size, header); status != Ok)
        return status;

    ImageBuffer image;
    if (const Status status = image.Allocate(header.format, header.width, header.height,
                                             ImageBuffer::Pages::Present, rows);
        status != Ok) {
        return status;
    }
    Status status = Ok;
    try {
        if (IsIndexedPixelFormat(header.format))
            ReadBmpPalette(data, header, image.Palette());
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    switch (header.encoding) {
        case BmpEncoding::kStoredRows:
            status = ReadBmpStoredRows(data, header, image);
            break;
        case BmpEncoding::kBitfields:
            ReadBmpBitfieldRows(data, header, image);
            break;
        case BmpEncoding::kRle8:
        case BmpEncoding::kRle4:
            status = ReadBmpRle(data, header, image);
            break;
    }
    if (status == Ok)
        out = std::move(image);
    return status;
}

}  // namespace

Status DecodeBmp(const BYTE* data, size_t size, ImageBuffer& out) {
    return DecodeBmpInto(data, size, ImageBuffer::Rows::TopDown, out);
}

Status DecodeBmpFile(FileBytes& file, ImageBuffer& out) {
    BmpHeader header;
    const bool inPlace =
        ReadBmpHeader(file.Start(), file.size, header) == Ok &&
        header.encoding == BmpEncoding::kStoredRows &&
        (header.format == PixelFormat24bppRGB || header.format == PixelFormat32bppRGB);
    if (!inPlace)
        return DecodeBmpInto(file.Start(), file.size, ImageBuffer::Rows::BottomUp, out);
    const INT stride = static_cast<INT>(header.fileStride);
    out = ImageBuffer();
    const size_t blockSize = file.blockSize;
    return out.AdoptRows(std::move(file.data), blockSize, header.format, header.width,
                         header.height, file.offset + BmpStoredRowOffset(header, 0),
                         header.topDown ? stride : -stride);
}

FilePlacement PlaceBmpFile(const BYTE* head, size_t headBytes, size_t fileBytes) {
    FilePlacement placement;
    // File header, then the info header's size, width, height and bit count:
    // at 18, 20 and 24 in a 12-byte core header, at 18, 22 and 28 otherwise.
    if (!SniffBmp(head, headBytes) || headBytes < 30)
        return placement;
    const auto load = [head](size_t at, size_t bytes) {
        unsigned long long value = 0;
        for (size_t i = bytes; i-- > 0;)
            value = value << 8 | head[at + i];
        return value;
    };
    placement.alignedOffset = load(10, 4);
    const bool core = load(14, 4) == kBmpCoreHeaderBytes;
    const unsigned long long width = load(18, core ? 2 : 4);
    const long long height = core ? static_cast<long long>(load(20, 2))
                                  : static_cast<INT>(static_cast<DWORD>(load(22, 4)));
    const unsigned long long bits = load(core ? 24 : 28, 2);
    const unsigned long long rowBytes = (width * bits + 31) / 32 * 4;
    if ((bits == 24 || bits == 32) && height > 0 && width <= 0x7FFFFFFF &&
        2 * rowBytes <= fileBytes) {
        placement.roomAfter = static_cast<size_t>(2 * rowBytes);
    }
    return placement;
}
