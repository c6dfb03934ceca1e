#include "shrink/HalveRows.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "image/CDibImage.h"
#include "platform/common/ParallelParts.h"
#include "shrink/HalveKernels.h"
#include "shrink/PixelRows.h"

namespace {

// Summarises source row `row` into out, which holds zeros outside the
// source's columns; a row outside the source is all zeros.
void Summarise(const HalveKernels& kernels, SourceRows& source, int row, int sourceHeight,
               int columns, std::vector<PackedSums>& out) {
    if (row < 0 || row >= sourceHeight) {
        std::fill(out.begin(), out.end(), 0);
        return;
    }
    int bytesPerPixel = 0;
    const BYTE* pixels = source.Row(row, columns, bytesPerPixel);
    kernels.summarise[bytesPerPixel - 3](pixels, columns, out.data());
}

}  // namespace

bool CanHalveRows(const CDibImage& source, const CDibImage& destination) {
    return source.section() != nullptr && destination.section() != nullptr;
}

namespace {

// Destination rows first to last - 1 from their windows.
void HalveBand(const HalveKernels& kernels, const CDibImage& source, const CDibImage& destination,
               SourceRows& sourceRows, DestinationRows& destinationRows, int first, int last) {
    const int width = destination.width();
    // Columns -1 .. 2 * width - 1 and the slack; those the source lacks stay zero.
    const size_t entries = 2 * static_cast<size_t>(width) + 1 + kSummarySlack;
    const int columns = std::min(static_cast<int>(source.width()), 2 * width);

    std::vector<PackedSums> above(entries), centre(entries), below(entries);
    Summarise(kernels, sourceRows, 2 * first - 1, source.height(), columns, above);
    for (int y = first; y < last; ++y) {
        Summarise(kernels, sourceRows, 2 * y, source.height(), columns, centre);
        Summarise(kernels, sourceRows, 2 * y + 1, source.height(), columns, below);
        // The next destination row's source rows come from memory while
        // this one is made.
        if (y + 1 < last) {
            sourceRows.Prefetch(2 * y + 2, columns);
            sourceRows.Prefetch(2 * y + 3, columns);
        }
        int bytesPerPixel = 0;
        BYTE* row = destinationRows.Begin(y, bytesPerPixel);
        kernels.write[bytesPerPixel - 3](above.data(), centre.data(), below.data(), width, row);
        destinationRows.Commit(y);
        // The bottom row of this window is the top row of the next one.
        std::swap(above, below);
    }
}

}  // namespace

void HalveRows(CDibImage& source, CDibImage& destination, int bands, const HalveKernels* kernels) {
    if (kernels == nullptr)
        kernels = &FastestHalveKernels();
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
        HalveBand(*kernels, source, destination, *sourceRows[band], *destinationRows[band],
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
