// Halving speed on a large picture with about a fifth of its pixels in the
// key colour, on both paths, reported as source megapixels per second.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "image/CDibImage.h"
#include "shrink/HalveImage.h"
#include "shrink/HalveRows.h"

namespace {

constexpr int kWidth = 8000;
constexpr int kHeight = 6000;

// A smooth gradient with key-coloured blobs covering about 20 percent.
void FillSprites(CDibImage& image) {
    std::mt19937 random(7);
    const int bytes = image.bitsPerPixel() / 8;
    for (int y = 0; y < image.height(); ++y) {
        BYTE* row = image.firstRow() + static_cast<ptrdiff_t>(y) * image.pitch();
        for (int x = 0; x < image.width(); ++x) {
            BYTE* p = row + x * bytes;
            // Key runs of 8 to 24 pixels, started at random.
            p[0] = static_cast<BYTE>(x * 7 + y);
            p[1] = static_cast<BYTE>(y * 3);
            p[2] = static_cast<BYTE>(x + y * 5);
        }
        int x = 0;
        while (x < image.width()) {
            const int gap = 40 + static_cast<int>(random() % 48);
            const int run = 8 + static_cast<int>(random() % 17);
            x += gap;
            for (int i = x; i < x + run && i < image.width(); ++i) {
                BYTE* p = row + i * bytes;
                p[0] = 0x80;
                p[1] = 0x00;
                p[2] = 0xFF;
            }
            x += run;
        }
    }
}

void Halve(benchmark::State& state, int bitsPerPixel, bool fastPath) {
    CDibImage source;
    CDibImage destination;
    source.Create(kWidth, kHeight, static_cast<WORD>(bitsPerPixel), BI_RGB, nullptr, 0);
    destination.Create(kWidth / 2, kHeight / 2, static_cast<WORD>(bitsPerPixel), BI_RGB, nullptr,
                       0);
    FillSprites(source);
    for (auto _ : state) {
        if (fastPath) {
            HalveRows(source, destination);
        } else {
            HalveImagePerPixel(source, destination);
        }
        benchmark::DoNotOptimize(destination.firstRow());
    }
    state.counters["source_MP/s"] = benchmark::Counter(
        static_cast<double>(kWidth) * kHeight / 1e6 * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK_CAPTURE(Halve, fast_24bpp, 24, true)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(Halve, fast_32bpp, 32, true)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(Halve, per_pixel_24bpp, 24, false)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(Halve, per_pixel_32bpp, 32, false)->Unit(benchmark::kMillisecond)->Iterations(1);
