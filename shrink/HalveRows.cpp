#include "shrink/HalveRows.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include <emmintrin.h>

#include "image/CDibImage.h"
#include "platform/common/ParallelParts.h"
#include "shrink/PixelRows.h"

namespace {

// The key colour as the three bytes blue, green, red of a pixel, read little-endian.
constexpr std::uint32_t kKeyPixelBytes = 0x00FF0080;

// Division of a channel sum (at most 9 x 255) by a count of 1 to 9 as a
// multiplication: ceil(2^16 / n) gives the exact quotient in that range.
constexpr std::uint32_t kReciprocal[10] = {0,     65536, 32768, 21846, 16384,
                                           13108, 10923, 9363,  8192,  7282};

constexpr bool ReciprocalsAreExact() {
    for (std::uint32_t n = 1; n <= 9; ++n) {
        for (std::uint32_t sum = 0; sum <= 9 * 255; ++sum) {
            if ((sum * kReciprocal[n]) >> 16 != sum / n)
                return false;
        }
    }
    return true;
}
static_assert(ReciprocalsAreExact());

// Per source column, the sums over one or more source rows packed into one
// 64-bit word of four 16-bit lanes: blue, green and red sums of the non-key
// pixels, and in the top lane the number of non-key pixels (low byte) and of
// key pixels (high byte). Nine pixels sum to at most 2295 per lane, so lanes
// never carry into each other and rows add with plain additions. The lanes
// follow the bytes of a pixel, so widening a pixel's bytes gives its word.
// Entry i stands for column i - 1, so the window of destination column x
// covers entries 2x, 2x + 1 and 2x + 2.
using PackedSums = std::uint64_t;
constexpr PackedSums kOneColourPixel = PackedSums{1} << 48;
constexpr PackedSums kOneKeyPixel = PackedSums{0x100} << 48;

std::uint32_t LoadPixel(const BYTE* p) {
    return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
}

PackedSums Summary(std::uint32_t bytes) {
    if (bytes == kKeyPixelBytes)
        return kOneKeyPixel;
    return PackedSums{bytes & 0xFF} | (PackedSums{(bytes >> 8) & 0xFF} << 16) |
           (PackedSums{bytes >> 16} << 32) | kOneColourPixel;
}

// Four pixels, each as blue, green, red and one spare byte, to their summaries.
inline void SummariseFour(__m128i pixels, PackedSums* out) {
    const __m128i colourBytes = _mm_and_si128(pixels, _mm_set1_epi32(0x00FFFFFF));
    const __m128i isKey = _mm_cmpeq_epi32(colourBytes, _mm_set1_epi32(kKeyPixelBytes));
    // The spare byte becomes the non-key count of 1 once widened.
    const __m128i counted = _mm_or_si128(colourBytes, _mm_set1_epi32(0x01000000));
    const __m128i zero = _mm_setzero_si128();
    const __m128i keyWord = _mm_set1_epi64x(static_cast<long long>(kOneKeyPixel));
    const __m128i low = _mm_unpacklo_epi8(counted, zero);
    const __m128i high = _mm_unpackhi_epi8(counted, zero);
    const __m128i keyLow = _mm_unpacklo_epi32(isKey, isKey);
    const __m128i keyHigh = _mm_unpackhi_epi32(isKey, isKey);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_or_si128(_mm_andnot_si128(keyLow, low), _mm_and_si128(keyLow, keyWord)));
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(out + 2),
        _mm_or_si128(_mm_andnot_si128(keyHigh, high), _mm_and_si128(keyHigh, keyWord)));
}

// Summarises the in-bounds columns of one source row into entries 1 to
// columns; the entries outside the source stay zero.
template <int BytesPerPixel>
void SummariseRow(const BYTE* row, int columns, PackedSums* out) {
    PackedSums* column = out + 1;
    int c = 0;
    if constexpr (BytesPerPixel == 4) {
        for (; c + 4 <= columns; c += 4) {
            SummariseFour(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * c)),
                          column + c);
        }
    } else {
        // Four-byte loads of three-byte pixels read one byte of the next
        // pixel, so they stop while a next pixel exists.
        for (; c + 5 <= columns; c += 4) {
            std::uint32_t words[4];
            std::memcpy(&words[0], row + 3 * c, 4);
            std::memcpy(&words[1], row + 3 * c + 3, 4);
            std::memcpy(&words[2], row + 3 * c + 6, 4);
            std::memcpy(&words[3], row + 3 * c + 9, 4);
            SummariseFour(_mm_loadu_si128(reinterpret_cast<const __m128i*>(words)), column + c);
        }
    }
    for (; c < columns; ++c)
        column[c] = Summary(LoadPixel(row + c * BytesPerPixel));
}

template <int BytesPerPixel>
void WriteRow(const PackedSums* above, const PackedSums* centre, const PackedSums* below, int width,
              BYTE* row) {
    PackedSums left = above[0] + centre[0] + below[0];
    for (int x = 0; x < width; ++x) {
        const size_t i = 2 * static_cast<size_t>(x);
        const PackedSums middle = above[i + 1] + centre[i + 1] + below[i + 1];
        const PackedSums right = above[i + 2] + centre[i + 2] + below[i + 2];
        const PackedSums window = left + middle + right;
        // The right column of this window is the left column of the next.
        left = right;
        const std::uint32_t counts = static_cast<std::uint32_t>(window >> 48);
        const std::uint32_t colourCount = counts & 0xFF;
        const std::uint32_t keyCount = counts >> 8;
        BYTE* p = row + x * BytesPerPixel;
        if (colourCount > keyCount) {
            const std::uint32_t reciprocal = kReciprocal[colourCount];
            const std::uint32_t blue = static_cast<std::uint32_t>(window & 0xFFFF);
            const std::uint32_t green = static_cast<std::uint32_t>((window >> 16) & 0xFFFF);
            const std::uint32_t red = static_cast<std::uint32_t>((window >> 32) & 0xFFFF);
            p[0] = static_cast<BYTE>((blue * reciprocal) >> 16);
            p[1] = static_cast<BYTE>((green * reciprocal) >> 16);
            p[2] = static_cast<BYTE>((red * reciprocal) >> 16);
        } else {
            // Key pixels at least as many as the others, a tie included.
            p[0] = 0x80;
            p[1] = 0x00;
            p[2] = 0xFF;
        }
        // A 32-bit pixel write leaves 0 in the fourth byte.
        if constexpr (BytesPerPixel == 4)
            p[3] = 0;
    }
}

// Summarises source row `row` into out, which holds zeros outside the
// source's columns; a row outside the source is all zeros.
void Summarise(SourceRows& source, int row, int sourceHeight, int columns,
               std::vector<PackedSums>& out) {
    if (row < 0 || row >= sourceHeight) {
        std::fill(out.begin(), out.end(), 0);
        return;
    }
    int bytesPerPixel = 0;
    const BYTE* pixels = source.Row(row, columns, bytesPerPixel);
    if (bytesPerPixel == 3) {
        SummariseRow<3>(pixels, columns, out.data());
    } else {
        SummariseRow<4>(pixels, columns, out.data());
    }
}

}  // namespace

bool CanHalveRows(const CDibImage& source, const CDibImage& destination) {
    return source.section() != nullptr && destination.section() != nullptr;
}

namespace {

// Destination rows first to last - 1 from their windows.
void HalveBand(const CDibImage& source, const CDibImage& destination, SourceRows& sourceRows,
               DestinationRows& destinationRows, int first, int last) {
    const int width = destination.width();
    // Columns -1 .. 2 * width - 1; those the source lacks stay zero.
    const size_t entries = 2 * static_cast<size_t>(width) + 1;
    const int columns = std::min(static_cast<int>(source.width()), 2 * width);

    std::vector<PackedSums> above(entries), centre(entries), below(entries);
    Summarise(sourceRows, 2 * first - 1, source.height(), columns, above);
    for (int y = first; y < last; ++y) {
        Summarise(sourceRows, 2 * y, source.height(), columns, centre);
        Summarise(sourceRows, 2 * y + 1, source.height(), columns, below);
        int bytesPerPixel = 0;
        BYTE* row = destinationRows.Begin(y, bytesPerPixel);
        if (bytesPerPixel == 3) {
            WriteRow<3>(above.data(), centre.data(), below.data(), width, row);
        } else {
            WriteRow<4>(above.data(), centre.data(), below.data(), width, row);
        }
        destinationRows.Commit(y);
        // The bottom row of this window is the top row of the next one.
        std::swap(above, below);
    }
}

}  // namespace

void HalveRows(CDibImage& source, CDibImage& destination, int bands) {
    const int height = destination.height();
    if (destination.width() <= 0 || height <= 0)
        return;
    // Bands run on threads of their own only where no pixel goes through a
    // borrowed device context, which belongs to one thread at a time.
    if (LayoutOf(source) == PixelLayout::Other || LayoutOf(destination) == PixelLayout::Other)
        bands = 1;
    bands = std::max(1, std::min(bands, height));
    // Every band's rows are made here, on this thread: making indexed rows
    // borrows the image's device context for a moment to read its colours.
    std::vector<std::unique_ptr<SourceRows>> sourceRows;
    std::vector<std::unique_ptr<DestinationRows>> destinationRows;
    for (int band = 0; band < bands; ++band) {
        sourceRows.push_back(std::make_unique<SourceRows>(source));
        destinationRows.push_back(std::make_unique<DestinationRows>(destination));
    }
    auto run = [&](int band) {
        HalveBand(source, destination, *sourceRows[band], *destinationRows[band],
                  static_cast<int>(static_cast<long long>(height) * band / bands),
                  static_cast<int>(static_cast<long long>(height) * (band + 1) / bands));
    };
    std::vector<std::thread> threads;
    for (int band = 1; band < bands; ++band)
        threads.emplace_back(run, band);
    run(0);
    for (std::thread& thread : threads)
        thread.join();
}

int DefaultBandCount(const CDibImage& destination) {
    // Small pictures are not worth a thread.
    constexpr long long kPixelsPerBand = 1 << 20;
    const long long pixels = static_cast<long long>(destination.width()) * destination.height();
    return static_cast<int>(std::max(
        1LL,
        std::min<long long>(static_cast<long long>(ProcessorCount()), pixels / kPixelsPerBand)));
}
