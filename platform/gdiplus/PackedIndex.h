// Palette indices packed into a row, most significant bits first, 1, 2, 4 or
// 8 bits each: the one place where they are read and written.
#pragma once

#include <cstddef>

#include "platform/gdiplus/GdiplusTypes.h"

// The index of pixel x in a row of `bits`-bit indices.
inline UINT PackedIndex(const BYTE* row, UINT x, UINT bits) {
    const size_t bit = size_t{x} * bits;
    return (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
}

// Sets the index of pixel x, leaving the other indices of its byte alone.
inline void SetPackedIndex(BYTE* row, UINT x, UINT bits, UINT index) {
    const size_t bit = size_t{x} * bits;
    const UINT shift = 8 - bits - bit % 8;
    const UINT mask = ((1u << bits) - 1) << shift;
    row[bit / 8] = static_cast<BYTE>((row[bit / 8] & ~mask) | ((index << shift) & mask));
}

// The largest index among the first `width` pixels of a row; padding bits
// after them do not count.
inline UINT LargestPackedIndex(const BYTE* row, UINT width, UINT bits) {
    UINT largest = 0;
    for (UINT x = 0; x < width; ++x) {
        const UINT index = PackedIndex(row, x, bits);
        largest = index > largest ? index : largest;
    }
    return largest;
}
