#include "shrink/HalveKernels.h"

#include <array>
#include <cstring>

#include <immintrin.h>

namespace {

// The key colour as the three bytes blue, green, red of a pixel, read little-endian.
constexpr std::uint32_t kKeyPixelBytes = 0x00FF0080;

// Division of a channel sum (at most 9 x 255) by a count of 1 to 9 as a
// multiplication: ceil(2^15 / n) gives the exact quotient in that range, and
// fits the 16-bit lanes that the vector kernels multiply in.
constexpr std::uint32_t kReciprocalShift = 15;
constexpr std::uint32_t kReciprocal[10] = {0,    32768, 16384, 10923, 8192,
                                           6554, 5462,  4682,  4096,  3641};

constexpr bool ReciprocalsAreExact() {
    for (std::uint32_t n = 1; n <= 9; ++n) {
        if (kReciprocal[n] > 0xFFFF)
            return false;
        for (std::uint32_t sum = 0; sum <= 9 * 255; ++sum) {
            if ((sum * kReciprocal[n]) >> kReciprocalShift != sum / n)
                return false;
        }
    }
    return true;
}
static_assert(ReciprocalsAreExact());

constexpr PackedSums kOneColourPixel = PackedSums{1} << 48;
constexpr PackedSums kOneKeyPixel = PackedSums{0x100} << 48;

// ---- SSE2, for every x86-64 processor ----

// How far ahead in a source row its bytes are asked into the cache: the
// processor's own prefetching starts anew at each 4 KiB page, and a summary
// takes little enough time that it would wait for memory otherwise.
constexpr int kPrefetchDistance = 2048;

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

// Summarises columns first to columns - 1 of a row into entries first + 1
// to columns.
template <int BytesPerPixel>
void SummariseRowFrom(const BYTE* row, int first, int columns, PackedSums* out) {
    PackedSums* column = out + 1;
    int c = first;
    if constexpr (BytesPerPixel == 4) {
        for (; c + 4 <= columns; c += 4) {
            _mm_prefetch(reinterpret_cast<const char*>(row + 4 * c + kPrefetchDistance),
                         _MM_HINT_T0);
            SummariseFour(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * c)),
                          column + c);
        }
    } else {
        // Four-byte loads of three-byte pixels read one byte of the next
        // pixel, so they stop while a next pixel exists.
        for (; c + 5 <= columns; c += 4) {
            _mm_prefetch(reinterpret_cast<const char*>(row + 3 * c + kPrefetchDistance),
                         _MM_HINT_T0);
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
void SummariseRow(const BYTE* row, int columns, PackedSums* out) {
    SummariseRowFrom<BytesPerPixel>(row, 0, columns, out);
}

// Destination pixels first to width - 1.
template <int BytesPerPixel>
void WriteRowFrom(const PackedSums* above, const PackedSums* centre, const PackedSums* below,
                  int first, int width, BYTE* row) {
    const size_t start = 2 * static_cast<size_t>(first);
    PackedSums left = above[start] + centre[start] + below[start];
    for (int x = first; x < width; ++x) {
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
            p[0] = static_cast<BYTE>((blue * reciprocal) >> kReciprocalShift);
            p[1] = static_cast<BYTE>((green * reciprocal) >> kReciprocalShift);
            p[2] = static_cast<BYTE>((red * reciprocal) >> kReciprocalShift);
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

template <int BytesPerPixel>
void WriteRow(const PackedSums* above, const PackedSums* centre, const PackedSums* below, int width,
              BYTE* row) {
    WriteRowFrom<BytesPerPixel>(above, centre, below, 0, width, row);
}

const HalveKernels kSse2Kernels = {
    "SSE2", {SummariseRow<3>, SummariseRow<4>}, {WriteRow<3>, WriteRow<4>}};

// ---- AVX2 ----

#define AVX2 __attribute__((target("avx2")))

// Sixteen bytes repeated in both 128-bit halves, for the byte shuffles,
// which work within each half.
struct BytePattern {
    std::array<BYTE, 32> bytes{};
    constexpr explicit BytePattern(const std::array<BYTE, 16>& half) {
        for (int i = 0; i < 16; ++i)
            bytes[i] = bytes[i + 16] = half[i];
    }
};

AVX2 inline __m256i Load(const BytePattern& pattern) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pattern.bytes.data()));
}

// Byte n of each table is the low or high byte of the reciprocal of n; both
// give 0 for n = 0, where the key colour wins anyway.
constexpr BytePattern ReciprocalBytes(int shift) {
    std::array<BYTE, 16> table{};
    for (int n = 0; n < 10; ++n)
        table[n] = static_cast<BYTE>(kReciprocal[n] >> shift);
    return BytePattern(table);
}
constexpr BytePattern kReciprocalLow = ReciprocalBytes(0);
constexpr BytePattern kReciprocalHigh = ReciprocalBytes(8);

// Within each 8-byte window: byte 6 (the non-key count) or byte 7 (the key
// count) in all eight bytes.
constexpr BytePattern kColourCountEverywhere({6, 6, 6, 6, 6, 6, 6, 6, 14, 14, 14, 14, 14, 14, 14,
                                              14});
constexpr BytePattern kKeyCountEverywhere({7, 7, 7, 7, 7, 7, 7, 7, 15, 15, 15, 15, 15, 15, 15, 15});
// The low and the high bytes of the three colour lanes of each window.
constexpr BytePattern kColourLowBytes({0xFF, 0, 0xFF, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0,
                                       0, 0});
constexpr BytePattern kColourHighBytes({0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0xFF, 0, 0xFF,
                                        0, 0});
// Four pixels of three bytes at the start of 16 to one in each 32-bit lane,
// the spare byte zero (0x80 picks zero), and back.
constexpr BytePattern kSpreadPixels({0, 1, 2, 0x80, 3, 4, 5, 0x80, 6, 7, 8, 0x80, 9, 10, 11, 0x80});
constexpr BytePattern kPackPixels({0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 0x80, 0x80, 0x80, 0x80});

// Eight pixels, blue, green, red and a zero byte each, to their summaries.
// They come in the order 0, 1, 4, 5 | 2, 3, 6, 7 of 32-bit lanes, because
// widening the bytes works within each 128-bit half: the low bytes of the
// halves give entries 0 to 3, the high bytes entries 4 to 7.
AVX2 inline void SummariseEight(__m256i colours, PackedSums* out) {
    const __m256i isKey = _mm256_cmpeq_epi32(colours, _mm256_set1_epi32(kKeyPixelBytes));
    const __m256i countOne = _mm256_set1_epi32(0x01000000);
    // The widened lanes: low bytes the colour and a non-key count of 1, or
    // zeros for a key pixel; high bytes zeros, or a key count of 1 in the top
    // lane for a key pixel.
    const __m256i low = _mm256_andnot_si256(isKey, _mm256_or_si256(colours, countOne));
    const __m256i high = _mm256_and_si256(isKey, countOne);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_unpacklo_epi8(low, high));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4), _mm256_unpackhi_epi8(low, high));
}

template <int BytesPerPixel>
AVX2 void SummariseRowAvx2(const BYTE* row, int columns, PackedSums* out) {
    PackedSums* column = out + 1;
    int c = 0;
    if constexpr (BytesPerPixel == 4) {
        for (; c + 8 <= columns; c += 8) {
            _mm_prefetch(reinterpret_cast<const char*>(row + 4 * c + kPrefetchDistance),
                         _MM_HINT_T0);
            const __m256i pixels =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 4 * c));
            // 64-bit quarters 0, 2, 1, 3 give the pixel order 0, 1, 4, 5 | 2, 3, 6, 7.
            SummariseEight(_mm256_and_si256(_mm256_permute4x64_epi64(pixels, 0xD8),
                                            _mm256_set1_epi32(0x00FFFFFF)),
                           column + c);
        }
    } else {
        // Pixels 0 to 3 from sixteen bytes at the first, 4 to 7 from sixteen
        // at the thirteenth: the second load reaches 28 bytes, 4 past the
        // eighth pixel, so the loop stops while those bytes lie in the row.
        for (; 3 * c + 28 <= 3 * columns; c += 8) {
            const BYTE* p = row + 3 * c;
            _mm_prefetch(reinterpret_cast<const char*>(p + kPrefetchDistance), _MM_HINT_T0);
            const __m256i bytes = _mm256_inserti128_si256(
                _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12)), 1);
            const __m256i pixels = _mm256_shuffle_epi8(bytes, Load(kSpreadPixels));
            SummariseEight(_mm256_permute4x64_epi64(pixels, 0xD8), column + c);
        }
    }
    // The SSE2 code finishes the row; mixing it, or the caller's, with
    // 256-bit values still in the registers is slow on many processors.
    _mm256_zeroupper();
    SummariseRowFrom<BytesPerPixel>(row, c, columns, out);
}

AVX2 inline __m256i LoadFour(const PackedSums* sums) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums));
}

// Sums of four entries from i on over the three rows.
AVX2 inline __m256i ColumnSums(const PackedSums* above, const PackedSums* centre,
                               const PackedSums* below, size_t i) {
    return _mm256_add_epi16(_mm256_add_epi16(LoadFour(above + i), LoadFour(centre + i)),
                            LoadFour(below + i));
}

// The windows of destination columns x to x + 3 from the column sums of
// entries 2x to 2x + 3 (a), 2x + 4 to 2x + 7 (b) and 2x + 8 to 2x + 11
// (next), in the order x, x + 2 | x + 1, x + 3.
AVX2 inline __m256i FourWindows(__m256i a, __m256i b, __m256i next) {
    const __m256i c = _mm256_permute2x128_si256(a, b, 0x21);     // 2x + 2 .. 2x + 5
    const __m256i d = _mm256_permute2x128_si256(b, next, 0x21);  // 2x + 6 .. 2x + 9
    const __m256i left = _mm256_unpacklo_epi64(a, b);            // 2x, 2x + 4 | 2x + 2, 2x + 6
    const __m256i middle = _mm256_unpackhi_epi64(a, b);          // 2x + 1, 2x + 5 | 2x + 3, 2x + 7
    const __m256i right = _mm256_unpacklo_epi64(c, d);           // 2x + 2, 2x + 6 | 2x + 4, 2x + 8
    return _mm256_add_epi16(_mm256_add_epi16(left, middle), right);
}

// Four windows to their pixels' lanes: blue, green, red and 0, each the
// average of the non-key pixels or the key colour's byte.
AVX2 inline __m256i Averages(__m256i windows) {
    const __m256i colourCounts = _mm256_shuffle_epi8(windows, Load(kColourCountEverywhere));
    const __m256i keyCounts = _mm256_shuffle_epi8(windows, Load(kKeyCountEverywhere));
    // Key pixels at least as many as the others, a tie included, give the key.
    const __m256i colourWins = _mm256_cmpgt_epi8(colourCounts, keyCounts);
    // The reciprocal of the count in the colour lanes, 0 in the count lane.
    const __m256i reciprocal = _mm256_or_si256(
        _mm256_shuffle_epi8(Load(kReciprocalLow),
                            _mm256_and_si256(colourCounts, Load(kColourLowBytes))),
        _mm256_shuffle_epi8(Load(kReciprocalHigh),
                            _mm256_and_si256(colourCounts, Load(kColourHighBytes))));
    // The high half of (2 x sum) x reciprocal is (sum x reciprocal) >> 15.
    const __m256i quotients = _mm256_mulhi_epu16(_mm256_slli_epi16(windows, 1), reciprocal);
    const __m256i keyPixel = _mm256_set1_epi64x(0x0000'00FF'0000'0080);
    return _mm256_blendv_epi8(keyPixel, quotients, colourWins);
}

template <int BytesPerPixel>
AVX2 void WriteRowAvx2(const PackedSums* above, const PackedSums* centre, const PackedSums* below,
                       int width, BYTE* row) {
    int x = 0;
    // Eight pixels a step from entries 2x to 2x + 19; the last three may be
    // the zero slack past the windows.
    __m256i a = ColumnSums(above, centre, below, 0);
    for (; x + 8 <= width; x += 8) {
        const size_t i = 2 * static_cast<size_t>(x);
        const __m256i b = ColumnSums(above, centre, below, i + 4);
        const __m256i c = ColumnSums(above, centre, below, i + 8);
        const __m256i d = ColumnSums(above, centre, below, i + 12);
        const __m256i next = ColumnSums(above, centre, below, i + 16);
        // Pixels x, x + 2, x + 4, x + 6 | x + 1, x + 3, x + 5, x + 7.
        const __m256i pixels =
            _mm256_packus_epi16(Averages(FourWindows(a, b, c)), Averages(FourWindows(c, d, next)));
        a = next;
        const __m256i ordered =
            _mm256_permutevar8x32_epi32(pixels, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
        if constexpr (BytesPerPixel == 4) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + 4 * x), ordered);
        } else {
            // Twelve bytes from each half's four pixels, then the halves joined.
            const __m256i packed =
                _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(ordered, Load(kPackPixels)),
                                            _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
            BYTE* p = row + 3 * x;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16),
                             _mm256_extracti128_si256(packed, 1));
        }
    }
    _mm256_zeroupper();  // as after the summaries
    WriteRowFrom<BytesPerPixel>(above, centre, below, x, width, row);
}

const HalveKernels kAvx2Kernels = {
    "AVX2", {SummariseRowAvx2<3>, SummariseRowAvx2<4>}, {WriteRowAvx2<3>, WriteRowAvx2<4>}};

bool RunsAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

}  // namespace

const HalveKernels& FastestHalveKernels() {
    static const HalveKernels& chosen = RunsAvx2() ? kAvx2Kernels : kSse2Kernels;
    return chosen;
}

std::vector<const HalveKernels*> RunnableHalveKernels() {
    std::vector<const HalveKernels*> sets = {&kSse2Kernels};
    if (RunsAvx2())
        sets.push_back(&kAvx2Kernels);
    return sets;
}
