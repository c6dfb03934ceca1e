// The inner loops of the row-oriented half-size filter: summarising a source
// row, and making a destination row from the summaries of three source rows.
// There is a set for every processor (SSE2) and a faster one for processors
// with AVX2; both give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Win32Api.h"

// Per source column, the sums over one or more source rows packed into one
// 64-bit word of four 16-bit lanes: blue, green and red sums of the non-key
// pixels, and in the top lane the number of non-key pixels (low byte) and of
// key pixels (high byte). Nine pixels sum to at most 2295 per lane, so lanes
// never carry into each other and rows add with plain additions. The lanes
// follow the bytes of a pixel, so widening a pixel's bytes gives its word.
// Entry i stands for column i - 1, so the window of destination column x
// covers entries 2x, 2x + 1 and 2x + 2.
using PackedSums = std::uint64_t;

// Entries that a row of summaries holds beyond the 2 x width + 1 that the
// windows cover: they stay zero, and let the kernels read whole vectors.
constexpr std::size_t kSummarySlack = 4;

struct HalveKernels {
    const char* name;
    // Summarises the first `columns` pixels of a source row, 3 or 4 bytes
    // each (index 0 and 1), into entries 1 to columns, leaving the others.
    void (*summarise[2])(const BYTE* row, int columns, PackedSums* out);
    // Fills `width` destination pixels, 3 or 4 bytes each (index 0 and 1),
    // from the summaries of the rows above, at and below its windows' centre.
    void (*write[2])(const PackedSums* above, const PackedSums* centre, const PackedSums* below,
                     int width, BYTE* row);
};

// The fastest set this processor runs, chosen on first use.
const HalveKernels& FastestHalveKernels();

// Every set this processor runs, the SSE2 one first.
std::vector<const HalveKernels*> RunnableHalveKernels();
