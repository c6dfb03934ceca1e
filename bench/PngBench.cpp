// PNG encoding and decoding of a picture like the halved benchmark photo:
// 4000 x 3000, 24 bits, smooth colours with a little noise and key-coloured
// blocks over about a fifth of it. Reports source megapixels per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "platform/gdiplus/PngCodec.h"

namespace {

constexpr UINT kWidth = 4000;
constexpr UINT kHeight = 3000;

const ImageBuffer& Picture() {
    static const ImageBuffer picture = [] {
        ImageBuffer image;
        image.Allocate(PixelFormat24bppRGB, kWidth, kHeight);
        std::mt19937 random(1);
        std::vector<bool> keyCells((kWidth / 16 + 1) * (kHeight / 16 + 1));
        for (size_t i = 0; i < keyCells.size(); ++i)
            keyCells[i] = random() % 5 == 0;
        for (UINT y = 0; y < kHeight; ++y) {
            BYTE* p = image.Row(y);
            for (UINT x = 0; x < kWidth; ++x, p += 3) {
                if (keyCells[y / 16 * (kWidth / 16 + 1) + x / 16]) {
                    p[0] = 128, p[1] = 0, p[2] = 255;  // blue, green, red
                    continue;
                }
                p[2] = static_cast<BYTE>(127 + 120 * std::sin(x / 97.0 + y / 151.0) + random() % 6);
                p[1] = static_cast<BYTE>(127 + 120 * std::cos(y / 83.0) + random() % 6);
                p[0] = static_cast<BYTE>((x + y) * 255 / (kWidth + kHeight) + random() % 6);
            }
        }
        return image;
    }();
    return picture;
}

void Report(benchmark::State& state) {
    state.counters["source_MP/s"] =
        benchmark::Counter(double{kWidth} * kHeight / 1e6 * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}

void EncodeLargePng(benchmark::State& state) {
    const ImageBuffer& picture = Picture();
    std::vector<BYTE> file;
    for (auto _ : state) {
        if (EncodePng(picture.View(), file) != Ok)
            state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(file.data());
    }
    state.counters["file_MB"] = static_cast<double>(file.size()) / 1e6;
    Report(state);
}

void DecodeLargePng(benchmark::State& state) {
    std::vector<BYTE> file;
    if (EncodePng(Picture().View(), file) != Ok)
        state.SkipWithError("encode failed");
    for (auto _ : state) {
        ImageBuffer image;
        if (DecodePng(file.data(), file.size(), image) != Ok)
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(image.Pixels());
    }
    Report(state);
}

}  // namespace

// Wall time: the encoder works on several threads.
BENCHMARK(EncodeLargePng)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(DecodeLargePng)->Unit(benchmark::kMillisecond)->MinTime(2.0);
