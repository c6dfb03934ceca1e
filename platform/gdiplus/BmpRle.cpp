#include "platform/gdiplus/BmpRle.h"

#include "platform/gdiplus/PackedIndex.h"

namespace {

// Second byte of an escape (a first byte of 0).
constexpr BYTE kEndOfLine = 0;
constexpr BYTE kEndOfBitmap = 1;
constexpr BYTE kDelta = 2;
// Records are byte pairs: a count and an index, an escape and its code, a
// delta's right and up moves. Literal runs are padded to whole pairs.
constexpr size_t kPairBytes = 2;

class RleCanvas {
public:
    RleCanvas(const BmpHeader& header, ImageBuffer& image)
        : image_(image),
          width_(header.width),
          height_(header.height),
          paletteCount_(header.paletteCount),
          fourBit_(header.encoding == BmpEncoding::kRle4) {}

    UINT x = 0;
    UINT y = 0;  // counted from the bottom row, as the stream runs

    bool InPicture() const { return y < height_; }
    // How many of `count` more pixels fit on the current row. Runs that cross
    // the right edge are clipped: ImageMagick and GraphicsMagick pad every
    // row of their streams to a multiple of four pixels.
    UINT Inside(UINT count) const { return count < width_ - x ? count : width_ - x; }
    bool Complete() const { return y >= height_ || (y == height_ - 1 && x == width_); }
    bool MoveBy(UINT dx, UINT dy) {
        if (dx > width_ - x || dy > height_ - y)
            return false;
        x += dx;
        y += dy;
        return true;
    }
    bool NextLine() {
        if (y >= height_)
            return false;
        x = 0;
        ++y;
        return true;
    }
    // Draws the next pixel; false when the index is past the colour table.
    bool Put(UINT index) {
        if (index >= paletteCount_)
            return false;
        SetPackedIndex(image_.Row(height_ - 1 - y), x, fourBit_ ? 4 : 8, index);
        ++x;
        return true;
    }
    bool FourBit() const { return fourBit_; }

private:
    ImageBuffer& image_;
    UINT width_;
    UINT height_;
    UINT paletteCount_;
    bool fourBit_;
};

// In RLE4 a byte holds two indices, high nibble first, used alternately.
UINT IndexAt(BYTE value, UINT i, bool fourBit) {
    return fourBit ? PackedIndex(&value, i % 2, 4) : value;
}

}  // namespace

Status ReadBmpRle(const BYTE* data, const BmpHeader& header, ImageBuffer& image) {
    RleCanvas canvas(header, image);
    const bool fourBit = canvas.FourBit();
    size_t pos = header.pixelOffset;
    const size_t end = header.pixelEnd;

    while (true) {
        // Some writers stop once the last row is full; anything shorter was cut.
        if (end - pos < kPairBytes)
            return canvas.Complete() ? Ok : GenericError;
        const BYTE count = data[pos];
        const BYTE value = data[pos + 1];
        pos += kPairBytes;

        if (count > 0) {
            if (!canvas.InPicture())
                return GenericError;
            const UINT inside = canvas.Inside(count);
            for (UINT i = 0; i < inside; ++i) {
                if (!canvas.Put(IndexAt(value, i, fourBit)))
                    return GenericError;
            }
        } else if (value == kEndOfLine) {
            if (!canvas.NextLine())
                return GenericError;
        } else if (value == kEndOfBitmap) {
            return Ok;
        } else if (value == kDelta) {
            if (end - pos < kPairBytes)
                return GenericError;
            if (!canvas.MoveBy(data[pos], data[pos + 1]))
                return GenericError;
            pos += kPairBytes;
        } else {
            // A literal run of `value` indices, padded to a 16-bit boundary;
            // its bytes past the right edge are read over, not drawn.
            const size_t bytes = fourBit ? (value + 1u) / 2 : value;
            if (end - pos < bytes || !canvas.InPicture())
                return GenericError;
            const UINT inside = canvas.Inside(value);
            for (UINT i = 0; i < inside; ++i) {
                const BYTE packed = data[pos + (fourBit ? i / 2 : i)];
                if (!canvas.Put(IndexAt(packed, i, fourBit)))
                    return GenericError;
            }
            pos += bytes + (bytes % kPairBytes);
            if (pos > end)
                pos = end;  // the final pad byte may be missing
        }
    }
}
