#include "tests/platform/gdiplus/PngGifTestSupport.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/gdiplus/PixelConversion.h"

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

std::string ScratchPath(const std::string& name) {
    // One folder for the test program's run, removed when the program ends.
    struct ScratchFolder {
        std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("dorvalune-pnggif-" + std::to_string(getpid()));
        ~ScratchFolder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const ScratchFolder folder;
    std::filesystem::create_directories(folder.path);
    return (folder.path / name).string();
}

std::vector<ARGB> ArgbPixels(const ImageView& image) {
    std::vector<ARGB> pixels(static_cast<size_t>(image.width) * image.height);
    for (UINT y = 0; y < image.height; ++y) {
        ReadRowArgb(image, y, pixels.data() + static_cast<size_t>(y) * image.width);
    }
    return pixels;
}

ImageBuffer NoisePicture(PixelFormat format, UINT width, UINT height, uint32_t seed,
                         UINT paletteCount) {
    uint32_t state = seed * 2654435761u + 1;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<BYTE>(state >> 24);
    };
    ImageBuffer image;
    if (image.Allocate(format, width, height) != Ok)
        return image;
    const size_t rowBits = static_cast<size_t>(GetPixelFormatSize(format)) * width;
    for (UINT y = 0; y < height; ++y) {
        BYTE* row = image.Row(y);
        for (size_t i = 0; i < rowBits / 8; ++i)
            row[i] = next();
        if (rowBits % 8 != 0) {
            row[rowBits / 8] = static_cast<BYTE>(next() & (0xFF00 >> (rowBits % 8)));
        }
    }
    for (UINT i = 0; i < paletteCount; ++i) {
        image.Palette().push_back(0xFF000000u | (next() << 16) | (next() << 8) | next());
    }
    return image;
}

bool ReadWithPil(const std::string& path, UINT& width, UINT& height, std::vector<ARGB>& pixels,
                 std::string& error) {
    const std::string script =
        std::string(DORVALUNE_SOURCE_DIR) + "/tests/platform/gdiplus/read_rgba_with_pil.py";
    const std::string command = "/usr/bin/python3 '" + script + "' '" + path + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        error = "cannot start python";
        return false;
    }
    std::string output;
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    const int exitStatus = pclose(pipe);
    const size_t newline = output.find('\n');
    if (exitStatus != 0 || newline == std::string::npos ||
        std::sscanf(output.c_str(), "%u %u", &width, &height) != 2) {
        error = output.substr(0, 2000);
        return false;
    }
    const size_t count = static_cast<size_t>(width) * height;
    if (output.size() - newline - 1 != count * 4) {
        error = "PIL gave " + std::to_string(output.size() - newline - 1) + " bytes";
        return false;
    }
    const auto* rgba = reinterpret_cast<const BYTE*>(output.data() + newline + 1);
    pixels.resize(count);
    for (size_t i = 0; i < count; ++i, rgba += 4) {
        pixels[i] = (static_cast<ARGB>(rgba[3]) << 24) | (rgba[0] << 16) | (rgba[1] << 8) | rgba[2];
    }
    return true;
}
