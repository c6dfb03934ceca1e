#include "platform/gdiplus/ImageBuffer.h"

Status ImageBuffer::Allocate(PixelFormat format, UINT width, UINT height) {
    const UINT bits = GetPixelFormatSize(format);
    if (width == 0 || height == 0 || bits == 0) return InvalidParameter;
    const unsigned long long pixels = static_cast<unsigned long long>(width) * height;
    const unsigned long long stride = StrideFor(format, width);
    if (pixels > kMaxImagePixels || stride > 0x7FFFFFFFull || stride * height > kMaxImageBytes) {
        return ValueOverflow;
    }
    // calloc hands out fresh zero pages for large blocks without touching them.
    BYTE* memory = static_cast<BYTE*>(std::calloc(stride * height, 1));
    if (memory == nullptr) return OutOfMemory;
    pixels_.reset(memory);
    format_ = format;
    width_ = width;
    height_ = height;
    stride_ = static_cast<INT>(stride);
    return Ok;
}

ImageView ImageBuffer::View() const {
    ImageView view;
    view.format = format_;
    view.width = width_;
    view.height = height_;
    view.stride = stride_;
    view.scan0 = pixels_.get();
    view.palette = palette_.data();
    view.paletteCount = static_cast<UINT>(palette_.size());
    view.paletteFlags = paletteFlags_;
    return view;
}
