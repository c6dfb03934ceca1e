// The image data of the common PNG files read without libpng's row reader:
// one thread inflates the IDAT stream into a small ring of filtered rows
// while another unfilters them into the picture, so that the two halves of
// the work run at once. libpng still reads everything up to the first IDAT;
// from there on this code judges the file as libpng's sequential reader
// does with the decoder's settings, so that every file gives the same pixels
// or the same refusal either way.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/gdiplus/GdiplusTypes.h"

struct PngIdatLayout {
    uint32_t width;
    uint32_t height;
    int channels;          // 3 (RGB) or 4 (RGBA), 8 bits each, not interlaced
    uint32_t chunkMax;     // the largest non-IDAT chunk libpng was told to accept
    size_t firstIdatData;  // offset of the first IDAT's data: libpng read its header
};

// Below this many bytes of rows both stages run on the calling thread in
// turn; from it on the inflating runs on a thread of its own.
constexpr size_t kPipelineMinRowBytes = size_t{4} << 20;

// Writes the picture's rows, byte order BGR(A), to firstRow + y * stride.
// Returns Ok, GenericError for any damage libpng would have refused (bad
// CRC, too little or too much image data, a broken stream, a bad filter,
// truncation or bad chunks up to IEND), OutOfMemory when memory runs out.
Status DecodePngIdat(const BYTE* data, size_t size, const PngIdatLayout& layout, BYTE* firstRow,
                     ptrdiff_t stride);
