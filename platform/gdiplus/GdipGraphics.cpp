// Drawing one bitmap into another: the source's pixels converted into the
// target's format, one for one (our bitmaps carry no resolution that would
// scale a draw), composited over what the target holds.
#include <algorithm>
#include <new>
#include <vector>

#include "platform/gdiplus/GdiplusFlat.h"
#include "platform/gdiplus/GpBitmap.h"
#include "platform/gdiplus/PixelConversion.h"

struct GpGraphics {
    static constexpr unsigned kMagic = 0x47504752;  // "GPGR"
    unsigned magic = kMagic;
    GpBitmap* target = nullptr;
};

namespace {

GpGraphics* GraphicsFromHandle(GpGraphics* graphics) {
    return graphics != nullptr && graphics->magic == GpGraphics::kMagic ? graphics : nullptr;
}

UINT Channel(ARGB c, int shift) { return (c >> shift) & 0xFF; }

// Source over destination with straight (not premultiplied) alpha.
ARGB SourceOver(ARGB source, ARGB destination) {
    const UINT sa = source >> 24;
    if (sa == 255) return source;
    if (sa == 0) return destination;
    const UINT da = destination >> 24;
    // Result alpha and colour, scaled by 255 * 255 to stay in integers.
    const UINT outA255 = sa * 255 + da * (255 - sa);
    ARGB result = ((outA255 + 127) / 255) << 24;
    for (int shift : {16, 8, 0}) {
        const UINT value = (Channel(source, shift) * sa * 255 +
                            Channel(destination, shift) * da * (255 - sa) + outA255 / 2) /
                           outA255;
        result |= value << shift;
    }
    return result;
}

}  // namespace

Status GdipGetImageGraphicsContext(GpImage* image, GpGraphics** graphics) {
    if (graphics == nullptr) return InvalidParameter;
    *graphics = nullptr;
    GpBitmap* bitmap = BitmapFromHandle(image);
    if (bitmap == nullptr) return InvalidParameter;
    // As on the platform, indexed and other packed bitmaps cannot be drawn into.
    if (!IsWritableFormat(bitmap->format)) return OutOfMemory;
    auto* made = new (std::nothrow) GpGraphics;
    if (made == nullptr) return OutOfMemory;
    made->target = bitmap;
    *graphics = made;
    return Ok;
}

Status GdipDrawImageI(GpGraphics* graphics, GpImage* image, INT x, INT y) {
    GpGraphics* g = GraphicsFromHandle(graphics);
    GpBitmap* source = BitmapFromHandle(image);
    if (g == nullptr || source == nullptr) return InvalidParameter;
    GpBitmap& target = *g->target;
    if (!IsReadableFormat(source->format)) return NotImplemented;

    // The part of the source that lands inside the target.
    const long long left = x < 0 ? -static_cast<long long>(x) : 0;
    const long long top = y < 0 ? -static_cast<long long>(y) : 0;
    const long long right = std::min<long long>(source->width, static_cast<long long>(target.width) - x);
    const long long bottom =
        std::min<long long>(source->height, static_cast<long long>(target.height) - y);
    if (left >= right || top >= bottom) return Ok;
    const UINT count = static_cast<UINT>(right - left);

    std::vector<ARGB> sourceRow, targetRow;
    try {
        sourceRow.resize(source->width);
        targetRow.resize(count);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    const ImageView sourceView = source->View();
    ImageView targetView = target.View();
    targetView.width = target.width;
    for (long long sy = top; sy < bottom; ++sy) {
        const UINT ty = static_cast<UINT>(sy + y);
        ReadRowArgb(sourceView, static_cast<UINT>(sy), sourceRow.data());
        const UINT tx = static_cast<UINT>(left + x);
        BYTE* out = target.Row(ty) + static_cast<size_t>(tx) * GetPixelFormatSize(target.format) / 8;
        // Read what the target holds under the source, then composite.
        ImageView under = targetView;
        under.scan0 = out;
        under.width = count;
        under.height = 1;
        ReadRowArgb(under, 0, targetRow.data());
        for (UINT i = 0; i < count; ++i) {
            targetRow[i] = SourceOver(sourceRow[static_cast<size_t>(left) + i], targetRow[i]);
        }
        WriteRowArgb(targetRow.data(), count, target.format, out);
    }
    return Ok;
}

Status GdipDeleteGraphics(GpGraphics* graphics) {
    GpGraphics* g = GraphicsFromHandle(graphics);
    if (g == nullptr) return InvalidParameter;
    g->magic = 0;
    delete g;
    return Ok;
}
