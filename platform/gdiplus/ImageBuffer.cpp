#include "platform/gdiplus/ImageBuffer.h"

#include <sys/mman.h>

#include <algorithm>

namespace {

// Large pictures are mapped with their pages present: one call instead of a
// fault at every page while the decoder writes them. Small ones come from
// the heap.
constexpr size_t kMappedFrom = 1 << 20;

BYTE* AllocateZeroed(size_t bytes) {
    if (bytes < kMappedFrom) return static_cast<BYTE*>(std::calloc(bytes, 1));
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return p == MAP_FAILED ? nullptr : static_cast<BYTE*>(p);
}

}  // namespace

void PixelMemoryDeleter::operator()(BYTE* p) const {
    if (bytes < kMappedFrom) {
        std::free(p);
    } else {
        ::munmap(p, bytes);
    }
}

Status ImageBuffer::Allocate(PixelFormat format, UINT width, UINT height) {
    const UINT bits = GetPixelFormatSize(format);
    if (width == 0 || height == 0 || bits == 0) return InvalidParameter;
    const unsigned long long pixels = static_cast<unsigned long long>(width) * height;
    const unsigned long long stride = StrideFor(format, width);
    if (pixels > kMaxImagePixels || stride > 0x7FFFFFFFull || stride * height > kMaxImageBytes) {
        return ValueOverflow;
    }
    BYTE* memory = AllocateZeroed(stride * height);
    if (memory == nullptr) return OutOfMemory;
    pixels_ = std::unique_ptr<BYTE, PixelMemoryDeleter>(memory, PixelMemoryDeleter{stride * height});
    adopted_.reset();
    first_ = memory;
    format_ = format;
    width_ = width;
    height_ = height;
    stride_ = static_cast<INT>(stride);
    return Ok;
}

Status ImageBuffer::AdoptRows(std::unique_ptr<BYTE[]> block, size_t blockSize,
                              PixelFormat format, UINT width, UINT height, size_t firstRowOffset,
                              INT stride) {
    const UINT bits = GetPixelFormatSize(format);
    if (block == nullptr || width == 0 || height == 0 || bits == 0) return InvalidParameter;
    const unsigned long long rowBytes = (static_cast<unsigned long long>(width) * bits + 7) / 8;
    const long long lastRowOffset =
        static_cast<long long>(firstRowOffset) + static_cast<long long>(height - 1) * stride;
    const long long lowest = std::min<long long>(static_cast<long long>(firstRowOffset), lastRowOffset);
    const long long highest = std::max<long long>(static_cast<long long>(firstRowOffset), lastRowOffset);
    if (lowest < 0 || static_cast<unsigned long long>(highest) + rowBytes > blockSize ||
        static_cast<unsigned long long>(stride < 0 ? -static_cast<long long>(stride) : stride) <
            rowBytes) {
        return InvalidParameter;
    }
    if (static_cast<unsigned long long>(width) * height > kMaxImagePixels) return ValueOverflow;
    pixels_.reset();
    adopted_ = std::move(block);
    first_ = adopted_.get() + firstRowOffset;
    format_ = format;
    width_ = width;
    height_ = height;
    stride_ = stride;
    return Ok;
}

ImageView ImageBuffer::View() const {
    ImageView view;
    view.format = format_;
    view.width = width_;
    view.height = height_;
    view.stride = stride_;
    view.scan0 = first_;
    view.palette = palette_.data();
    view.paletteCount = static_cast<UINT>(palette_.size());
    view.paletteFlags = paletteFlags_;
    return view;
}
