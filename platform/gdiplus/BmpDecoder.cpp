#include "platform/gdiplus/BmpDecoder.h"

#include <new>

#include "platform/gdiplus/BmpBitfieldRows.h"
#include "platform/gdiplus/BmpHeader.h"
#include "platform/gdiplus/BmpRle.h"
#include "platform/gdiplus/BmpStoredRows.h"

bool SniffBmp(const BYTE* data, size_t size) {
    return data != nullptr && size >= sizeof(WORD) && (data[0] | data[1] << 8) == kBmpSignature;
}

Status DecodeBmp(const BYTE* data, size_t size, ImageBuffer& out) {
    out = ImageBuffer();
    BmpHeader header;
    if (const Status status = ReadBmpHeader(data, size, header); status != Ok)
        return status;

    ImageBuffer image;
    if (const Status status = image.Allocate(header.format, header.width, header.height);
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

Status DecodeBmpFile(FileBytes& file, ImageBuffer& out) {
    BmpHeader header;
    const bool inPlace =
        ReadBmpHeader(file.data.get(), file.size, header) == Ok &&
        header.encoding == BmpEncoding::kStoredRows &&
        (header.format == PixelFormat24bppRGB || header.format == PixelFormat32bppRGB);
    if (!inPlace)
        return DecodeBmp(file.data.get(), file.size, out);
    const INT stride = static_cast<INT>(header.fileStride);
    out = ImageBuffer();
    const size_t size = file.size;
    return out.AdoptRows(std::move(file.data), size, header.format, header.width, header.height,
                         BmpStoredRowOffset(header, 0), header.topDown ? stride : -stride);
}
