#include "shrink/HalveRows.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "image/CDibImage.h"
#include "platform/win32/Gdi.h"

namespace {

// The key colour as the three bytes blue, green, red of a pixel, read little-endian.
constexpr std::uint32_t kKeyPixelBytes = 0x00FF0080;

// Division of a channel sum (at most 9 x 255) by a count of 1 to 9 as a
// multiplication: ceil(2^16 / n) gives the exact quotient in that range.
constexpr std::uint32_t kReciprocal[10] = {0,         65536,     32768,     21846, 16384,
                                           13108,     10923,     9363,      8192,  7282};

constexpr bool ReciprocalsAreExact() {
    for (std::uint32_t n = 1; n <= 9; ++n) {
        for (std::uint32_t sum = 0; sum <= 9 * 255; ++sum) {
            if ((sum * kReciprocal[n]) >> 16 != sum / n) return false;
        }
    }
    return true;
}
static_assert(ReciprocalsAreExact());

// Per source column, the sums over one or more source rows: the channel sums
// of the non-key pixels, and in `counts` the number of non-key pixels (low
// byte) and of key pixels (high byte). Entry i stands for column i - 1, so
// the window of destination column x covers entries 2x, 2x + 1 and 2x + 2.
struct ColumnSums {
    std::vector<std::uint16_t> red, green, blue, counts;

    void Resize(size_t entries) {
        red.assign(entries, 0);
        green.assign(entries, 0);
        blue.assign(entries, 0);
        counts.assign(entries, 0);
    }
    void Clear() {
        std::memset(red.data(), 0, red.size() * 2);
        std::memset(green.data(), 0, green.size() * 2);
        std::memset(blue.data(), 0, blue.size() * 2);
        std::memset(counts.data(), 0, counts.size() * 2);
    }
};

// Summarises the in-bounds columns of one source row; entries outside the
// source stay zero.
template <int BytesPerPixel>
void SummariseRow(const BYTE* row, int columns, ColumnSums& out) {
    std::uint16_t* red = out.red.data() + 1;
    std::uint16_t* green = out.green.data() + 1;
    std::uint16_t* blue = out.blue.data() + 1;
    std::uint16_t* counts = out.counts.data() + 1;
    for (int c = 0; c < columns; ++c) {
        const BYTE* p = row + c * BytesPerPixel;
        const std::uint32_t bytes = p[0] | (p[1] << 8) | (p[2] << 16);
        const bool key = bytes == kKeyPixelBytes;
        const std::uint16_t keep = key ? 0 : 0xFFFF;
        blue[c] = p[0] & keep;
        green[c] = p[1] & keep;
        red[c] = p[2] & keep;
        counts[c] = key ? 0x100 : 1;
    }
}

void AddRows(const ColumnSums& a, const ColumnSums& b, const ColumnSums& c, ColumnSums& out) {
    const size_t n = out.red.size();
    for (size_t i = 0; i < n; ++i) {
        out.red[i] = static_cast<std::uint16_t>(a.red[i] + b.red[i] + c.red[i]);
        out.green[i] = static_cast<std::uint16_t>(a.green[i] + b.green[i] + c.green[i]);
        out.blue[i] = static_cast<std::uint16_t>(a.blue[i] + b.blue[i] + c.blue[i]);
        out.counts[i] = static_cast<std::uint16_t>(a.counts[i] + b.counts[i] + c.counts[i]);
    }
}

template <int BytesPerPixel>
void WriteRow(const ColumnSums& window, int width, BYTE* row) {
    for (int x = 0; x < width; ++x) {
        const size_t i = 2 * static_cast<size_t>(x);
        const std::uint32_t counts = window.counts[i] + window.counts[i + 1] + window.counts[i + 2];
        const std::uint32_t colourCount = counts & 0xFF;
        const std::uint32_t keyCount = counts >> 8;
        BYTE* p = row + x * BytesPerPixel;
        if (colourCount > keyCount) {
            const std::uint32_t reciprocal = kReciprocal[colourCount];
            const std::uint32_t red = window.red[i] + window.red[i + 1] + window.red[i + 2];
            const std::uint32_t green = window.green[i] + window.green[i + 1] + window.green[i + 2];
            const std::uint32_t blue = window.blue[i] + window.blue[i + 1] + window.blue[i + 2];
            p[0] = static_cast<BYTE>((blue * reciprocal) >> 16);
            p[1] = static_cast<BYTE>((green * reciprocal) >> 16);
            p[2] = static_cast<BYTE>((red * reciprocal) >> 16);
        } else {
            p[0] = 0x80;
            p[1] = 0x00;
            p[2] = 0xFF;
        }
        // A 32-bit pixel write leaves 0 in the fourth byte.
        if constexpr (BytesPerPixel == 4) p[3] = 0;
    }
}

bool HasPlainBytes(const CDibImage& image) {
    if (image.section() == nullptr || (image.bitsPerPixel() != 24 && image.bitsPerPixel() != 32)) {
        return false;
    }
    DIBSECTION ds;
    if (GetObjectA(image.section(), sizeof(ds), &ds) != sizeof(ds)) return false;
    if (ds.dsBmih.biCompression == BI_RGB) return true;
    return ds.dsBmih.biCompression == BI_BITFIELDS && ds.dsBitfields[0] == 0x00FF0000 &&
           ds.dsBitfields[1] == 0x0000FF00 && ds.dsBitfields[2] == 0x000000FF;
}

void Summarise(const CDibImage& source, int row, int columns, ColumnSums& out) {
    out.Clear();
    if (row < 0 || row >= source.height()) return;
    const BYTE* pixels = source.firstRow() + static_cast<ptrdiff_t>(row) * source.pitch();
    if (source.bitsPerPixel() == 24) {
        SummariseRow<3>(pixels, columns, out);
    } else {
        SummariseRow<4>(pixels, columns, out);
    }
}

}  // namespace

bool CanHalveRows(const CDibImage& source, const CDibImage& destination) {
    return HasPlainBytes(source) && HasPlainBytes(destination);
}

void HalveRows(const CDibImage& source, CDibImage& destination) {
    const int width = destination.width();
    const int height = destination.height();
    if (width <= 0 || height <= 0) return;
    // Columns -1 .. 2 * width - 1; those the source lacks stay empty.
    const size_t entries = 2 * static_cast<size_t>(width) + 1;
    const int columns = std::min(source.width(), 2 * width);

    ColumnSums above, centre, below, window;
    above.Resize(entries);
    centre.Resize(entries);
    below.Resize(entries);
    window.Resize(entries);

    Summarise(source, -1, columns, above);
    for (int y = 0; y < height; ++y) {
        Summarise(source, 2 * y, columns, centre);
        Summarise(source, 2 * y + 1, columns, below);
        AddRows(above, centre, below, window);
        BYTE* row = destination.firstRow() + static_cast<ptrdiff_t>(y) * destination.pitch();
        if (destination.bitsPerPixel() == 24) {
            WriteRow<3>(window, width, row);
        } else {
            WriteRow<4>(window, width, row);
        }
        // The bottom row of this window is the top row of the next one.
        std::swap(above, below);
    }
}
