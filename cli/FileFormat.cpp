#include "cli/FileFormat.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Signature {
    const char* name;
    size_t offset;
    const char* bytes;
    size_t length;
    bool ours;
};

// clang-format off
const Signature kSignatures[] = {
    {"BMP", 0, "BM", 2, true},
    {"PNG", 0, "\x89PNG\r\n\x1A\n", 8, true},
    {"JPEG", 0, "\xFF\xD8\xFF", 3, true},
    {"GIF", 0, "GIF87a", 6, true},
    {"GIF", 0, "GIF89a", 6, true},
    {"TIFF", 0, "II*\0", 4, true},
    {"TIFF", 0, "MM\0*", 4, true},
    {"TIFF", 0, "II+\0", 4, true},
    {"TIFF", 0, "MM\0+", 4, true},
    {"WebP", 8, "WEBP", 4, false},
    {"AVIF", 4, "ftypavif", 8, false},
    {"HEIF", 4, "ftypheic", 8, false},
    {"HEIF", 4, "ftypheix", 8, false},
    {"HEIF", 4, "ftypmif1", 8, false},
    {"JPEG XL", 0, "\xFF\x0A", 2, false},
    {"JPEG XL", 0, "\0\0\0\x0CJXL \r\n\x87\n", 12, false},
    {"JPEG 2000", 0, "\0\0\0\x0CjP  \r\n\x87\n", 12, false},
    {"Photoshop", 0, "8BPS", 4, false},
    {"GIMP", 0, "gimp xcf", 8, false},
    {"OpenEXR", 0, "\x76\x2F\x31\x01", 4, false},
    {"QOI", 0, "qoif", 4, false},
    {"ICO", 0, "\0\0\1\0", 4, false},
    {"PDF", 0, "%PDF", 4, false},
};
// clang-format on

}  // namespace

const char* RecogniseFormat(const char* path, bool& ours) {
    unsigned char head[16] = {};
    size_t size = 0;
    if (FILE* file = std::fopen(path, "rb")) {
        size = std::fread(head, 1, sizeof(head), file);
        std::fclose(file);
    }
    for (const Signature& s : kSignatures) {
        // WebP sits in a RIFF container.
        if (std::strcmp(s.name, "WebP") == 0 && (size < 4 || std::memcmp(head, "RIFF", 4) != 0))
            continue;
        if (s.offset + s.length <= size && std::memcmp(head + s.offset, s.bytes, s.length) == 0) {
            ours = s.ours;
            return s.name;
        }
    }
    return nullptr;
}
