#include "platform/gdiplus/ImageBuffer.h"

#include <algorithm>
#include <cstdint>
#include <new>

namespace {
thread_local SizeRefusal t_refusal;
}  // namespace

Status RefuseSize(const char* limit, unsigned long long width, unsigned long long height) {
    t_refusal = {limit, width, height};
    return ValueOverflow;
}

SizeRefusal LastSizeRefusal() {
    return t_refusal;
}

void ClearSizeRefusal() {
    t_refusal = {};
}

Status RefusePictureSize(unsigned long long width, unsigned long long height) {
    return RefuseSize(width * height > kMaxImagePixels ? "2^30 pixels" : "8 GiB of pixels", width,
                      height);
}

Status ImageBuffer::Allocate(PixelFormat format, UINT width, UINT height, Pages pages, Rows rows) {
    const UINT bits = GetPixelFormatSize(format);
    if (width == 0 || height == 0 || bits == 0)
        return InvalidParameter;
    const unsigned long long pixels = static_cast<unsigned long long>(width) * height;
    const unsigned long long stride = StrideFor(format, width);
    if (pixels > kMaxImagePixels || stride > 0x7FFFFFFFull || stride * height > kMaxImageBytes) {
        return RefusePictureSize(width, height);
    }
    const bool bottomUp = rows == Rows::BottomUp;
    const size_t bytes = stride * (bottomUp ? height + 1ull : height);
    BYTE* memory =
        pages == Pages::Present ? AllocateZeroedPixels(bytes) : AllocateZeroedPixelsOnDemand(bytes);
    if (memory == nullptr)
        return OutOfMemory;
    try {
        pixels_ = std::shared_ptr<BYTE>(memory, PixelMemoryDeleter{bytes});
    } catch (const std::bad_alloc&) {
        return OutOfMemory;  // the memory went back with the exception
    }
    blockSize_ = bytes;
    first_ = bottomUp ? memory + stride * (height - 1) : memory;
    format_ = format;
    width_ = width;
    height_ = height;
    stride_ = bottomUp ? -static_cast<INT>(stride) : static_cast<INT>(stride);
    return Ok;
}

Status ImageBuffer::AdoptRows(PixelBlock block, size_t blockSize, PixelFormat format, UINT width,
                              UINT height, size_t firstRowOffset, INT stride) {
    if (block == nullptr)
        return InvalidParameter;
    std::shared_ptr<BYTE> shared;
    try {
        shared = std::shared_ptr<BYTE>(std::move(block));
    } catch (const std::bad_alloc&) {
        return OutOfMemory;  // the block goes with the argument
    }
    return AdoptRows(std::move(shared), blockSize, format, width, height, firstRowOffset, stride);
}

Status ImageBuffer::AdoptRows(std::shared_ptr<BYTE> block, size_t blockSize, PixelFormat format,
                              UINT width, UINT height, size_t firstRowOffset, INT stride) {
    const UINT bits = GetPixelFormatSize(format);
    if (block == nullptr || width == 0 || height == 0 || bits == 0)
        return InvalidParameter;
    const unsigned long long rowBytes = (static_cast<unsigned long long>(width) * bits + 7) / 8;
    const long long lastRowOffset =
        static_cast<long long>(firstRowOffset) + static_cast<long long>(height - 1) * stride;
    const long long lowest =
        std::min<long long>(static_cast<long long>(firstRowOffset), lastRowOffset);
    const long long highest =
        std::max<long long>(static_cast<long long>(firstRowOffset), lastRowOffset);
    if (lowest < 0 || static_cast<unsigned long long>(highest) + rowBytes > blockSize ||
        static_cast<unsigned long long>(stride < 0 ? -static_cast<long long>(stride) : stride) <
            rowBytes) {
        return InvalidParameter;
    }
    if (static_cast<unsigned long long>(width) * height > kMaxImagePixels)
        return RefusePictureSize(width, height);
    pixels_ = std::move(block);
    blockSize_ = blockSize;
    first_ = pixels_.get() + firstRowOffset;
    format_ = format;
    width_ = width;
    height_ = height;
    stride_ = stride;
    return Ok;
}

bool ImageBuffer::HasRoomAboveTopRow() const {
    if (stride_ >= 0 || first_ == nullptr)
        return false;
    const size_t rowBytes = static_cast<size_t>(-static_cast<ptrdiff_t>(stride_));
    const size_t topRowOffset = static_cast<size_t>(first_ - pixels_.get());
    const BYTE* lowest = Row(height_ - 1);
    return topRowOffset + 2 * rowBytes <= blockSize_ &&
           reinterpret_cast<std::uintptr_t>(lowest) % 4 == 0;
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
