// Load as a whole: any bytes as a file, through the format sniffing, the
// decoders and the copy into a section.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "image/CDibImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/dev/shm/dorvalune-load-fuzz-" + std::to_string(::getpid());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    CDibImage image;
    if (image.Load(path.c_str()) == S_OK) {
        // Touch every pixel the way the filter does.
        for (LONG y = 0; y < image.height() && y < 64; ++y) {
            for (LONG x = 0; x < image.width() && x < 64; ++x)
                image.GetPixel(x, y);
        }
    }
    return 0;
}
