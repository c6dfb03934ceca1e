// Drawing one bitmap into another: the source's pixels converted into the
// target's format, one for one (our bitmaps carry no resolution that would
// scale a draw). Pixels are copied, not blended: every target in this
// program is a fresh surface, and copying keeps the colour of transparent
// pixels that blending would lose.
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

}  // namespace

Status GdipGetImageGraphicsContext(GpImage* image, GpGraphics** graphics) {
    if (graphics == nullptr)
        return InvalidParameter;
    *graphics = nullptr;
    GpBitmap* bitmap = BitmapFromHandle(image);
    if (bitmap == nullptr)
        return InvalidParameter;
    // As on the platform, indexed and other packed bitmaps cannot be drawn into.
    if (!IsWritableFormat(bitmap->format))
        return OutOfMemory;
    if (const Status status = bitmap->OwnRows(); status != Ok)
        return status;
    auto* made = new (std::nothrow) GpGraphics;
    if (made == nullptr)
        return OutOfMemory;
    made->target = bitmap;
    *graphics = made;
    return Ok;
}

Status GdipDrawImageI(GpGraphics* graphics, GpImage* image, INT x, INT y) {
    GpGraphics* g = GraphicsFromHandle(graphics);
    GpBitmap* source = BitmapFromHandle(image);
    if (g == nullptr || source == nullptr)
        return InvalidParameter;
    GpBitmap& target = *g->target;
    if (!IsReadableFormat(source->format))
        return NotImplemented;

    // The part of the source that lands inside the target.
    const long long left = x < 0 ? -static_cast<long long>(x) : 0;
    const long long top = y < 0 ? -static_cast<long long>(y) : 0;
    const long long right =
        std::min<long long>(source->width, static_cast<long long>(target.width) - x);
    const long long bottom =
        std::min<long long>(source->height, static_cast<long long>(target.height) - y);
    if (left >= right || top >= bottom)
        return Ok;
    const UINT count = static_cast<UINT>(right - left);

    std::vector<ARGB> row;
    try {
        row.resize(source->width);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    const ImageView sourceView = source->View();
    const size_t targetOffset =
        static_cast<size_t>(left + x) * GetPixelFormatSize(target.format) / 8;
    for (long long sy = top; sy < bottom; ++sy) {
        ReadRowArgb(sourceView, static_cast<UINT>(sy), row.data());
        WriteRowArgb(row.data() + left, count, target.format,
                     target.Row(static_cast<UINT>(sy + y)) + targetOffset);
    }
    return Ok;
}

Status GdipDeleteGraphics(GpGraphics* graphics) {
    GpGraphics* g = GraphicsFromHandle(graphics);
    if (g == nullptr)
        return InvalidParameter;
    g->magic = 0;
    delete g;
    return Ok;
}
