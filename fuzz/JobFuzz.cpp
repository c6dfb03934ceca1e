// The whole job on any bytes: decode, halve, encode in the file's own
// format, and decode the result again, which must then succeed.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/CDibImage.h"
#include "shrink/HalveImage.h"

namespace {

// The extension that names the format the bytes start with.
const char* ExtensionFor(const uint8_t* data, size_t size) {
    if (size >= 2 && data[0] == 'B' && data[1] == 'M')
        return ".bmp";
    if (size >= 4 && data[0] == 0x89 && data[1] == 'P')
        return ".png";
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8)
        return ".jpg";
    if (size >= 3 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F')
        return ".gif";
    if (size >= 2 && (data[0] == 'I' || data[0] == 'M'))
        return ".tif";
    return ".bmp";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string base = "/dev/shm/dorvalune-job-fuzz-" + std::to_string(::getpid());
    const std::string input = base + ExtensionFor(data, size);
    FILE* file = std::fopen(input.c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    CDibImage source;
    if (source.Load(input.c_str()) != S_OK)
        return 0;
    // Keep each run quick: the filter's cost is not what is fuzzed here.
    if (static_cast<long long>(source.width()) * source.height() > 4'000'000)
        return 0;
    CDibImage destination;
    if (!destination.Create(source.width() / 2, source.height() / 2,
                            static_cast<WORD>(source.bitsPerPixel()), BI_RGB, nullptr, 0)) {
        return 0;
    }
    HalveImage(source, destination);
    const std::string output = base + ".out" + ExtensionFor(data, size);
    if (destination.Save(output.c_str(), GUID_NULL) != S_OK)
        std::abort();
    CDibImage again;
    if (again.Load(output.c_str()) != S_OK || again.width() != destination.width() ||
        again.height() != destination.height()) {
        std::abort();
    }
    std::remove(output.c_str());
    return 0;
}
