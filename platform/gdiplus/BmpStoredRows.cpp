#include "platform/gdiplus/BmpStoredRows.h"

#include <cstring>

#include "platform/gdiplus/PackedIndex.h"

Status ReadBmpStoredRows(const BYTE* data, const BmpHeader& header, ImageBuffer& image) {
    const size_t rowBits = static_cast<size_t>(header.width) * header.bitCount;
    const size_t rowBytes = (rowBits + 7) / 8;
    const bool indexed = IsIndexedPixelFormat(header.format);
    // Padding bits after the last index are whatever the writer left there.
    const BYTE tailMask = static_cast<BYTE>(0xFF00 >> (rowBits % 8 == 0 ? 8 : rowBits % 8));
    const bool checkIndices = indexed && header.paletteCount < (1u << header.bitCount);

    for (UINT y = 0; y < header.height; ++y) {
        BYTE* row = image.Row(y);
        std::memcpy(row, data + BmpStoredRowOffset(header, y), rowBytes);
        if (indexed) {
            row[rowBytes - 1] &= tailMask;
            if (checkIndices &&
                LargestPackedIndex(row, header.width, header.bitCount) >= header.paletteCount) {
                return GenericError;
            }
        } else if (header.format == PixelFormat16bppRGB555) {
            // The top bit of a 5-5-5 word is unused; some writers leave junk there.
            for (UINT x = 0; x < header.width; ++x)
                row[2 * x + 1] &= 0x7F;
        }
    }
    return Ok;
}
