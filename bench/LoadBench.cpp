// Loading a large 24-bit picture from a warm page cache, as BMP, PNG and
// JPEG, next to a plain in-memory copy of the same number of bytes for scale.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "image/CDibImage.h"

namespace {

constexpr int kWidth = 8000;
constexpr int kHeight = 6000;
constexpr size_t kBytes = size_t{kWidth} * kHeight * 3;

// The picture, saved with the extension's encoder.
std::string LargePicture(const char* extension) {
    const std::string name = std::string("/tmp/dorvalune-bench-large") + extension;
    CDibImage image;
    image.Create(kWidth, kHeight, 24, BI_RGB, nullptr, 0);
    for (int y = 0; y < kHeight; ++y) {
        BYTE* row = image.firstRow() + static_cast<ptrdiff_t>(y) * image.pitch();
        for (int i = 0; i < kWidth * 3; ++i)
            row[i] = static_cast<BYTE>(i * 7 + y);
    }
    image.Save(name.c_str(), GUID_NULL);
    return name;
}

void LoadLarge(benchmark::State& state, const char* extension) {
    const std::string path = LargePicture(extension);
    for (auto _ : state) {
        CDibImage image;
        if (image.Load(path.c_str()) != S_OK)
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(image.firstRow());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBytes);
}

void CopySameBytes(benchmark::State& state) {
    // Fresh memory each time, like the image a load fills.
    char* source = static_cast<char*>(std::malloc(kBytes));
    std::memset(source, 1, kBytes);
    for (auto _ : state) {
        char* target = static_cast<char*>(std::malloc(kBytes));
        std::memcpy(target, source, kBytes);
        benchmark::DoNotOptimize(target);
        std::free(target);
    }
    std::free(source);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBytes);
}

}  // namespace

BENCHMARK_CAPTURE(LoadLarge, bmp24, ".bmp")->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK_CAPTURE(LoadLarge, png, ".png")->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK_CAPTURE(LoadLarge, jpeg, ".jpg")->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(CopySameBytes)->Unit(benchmark::kMillisecond)->MinTime(3.0);
