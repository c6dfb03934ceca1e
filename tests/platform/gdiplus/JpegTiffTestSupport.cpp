#include "tests/platform/gdiplus/JpegTiffTestSupport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>

#include "platform/gdiplus/PixelConversion.h"

namespace jpegtiff_test {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

ARGB Pack(UINT a, UINT r, UINT g, UINT b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

void Put16(BYTE* p, UINT v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

void SetIndex(BYTE* row, UINT bits, UINT x, UINT index) {
    const UINT perByte = 8 / bits;
    const UINT shift = 8 - bits * (x % perByte + 1);
    row[x / perByte] |= static_cast<BYTE>(index << shift);
}

UINT Level(double v) {
    return static_cast<UINT>(std::lround(std::fmin(255.0, std::fmax(0.0, v))));
}

ARGB SmoothColour(UINT x, UINT y) {
    const double r = 128 + 90 * std::sin(x / 9.0 + y / 23.0);
    const double g = 128 + 90 * std::sin(y / 11.0 - x / 31.0);
    const double b = 128 + 90 * std::cos((x + y) / 17.0);
    return Pack(255, Level(r), Level(g), Level(b));
}

bool RunPython(const std::string& script, const std::vector<std::string>& arguments) {
    std::string command = std::string(kPython) + " '" + script + "'";
    for (const std::string& argument : arguments)
        command += " '" + argument + "'";
    command += " 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

}  // namespace

ImageBuffer SmoothPicture(PixelFormat format, UINT width, UINT height) {
    ImageBuffer picture;
    if (picture.Allocate(format, width, height) != Ok)
        return picture;
    const UINT bits = GetPixelFormatSize(format);
    if (IsIndexedPixelFormat(format)) {
        const UINT count = 1u << bits;
        for (UINT i = 0; i < count; ++i) {
            const UINT v = i * 255 / (count - 1);
            picture.Palette().push_back(Pack(255, v, v, v));
        }
    }
    std::vector<ARGB> row(width);
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x)
            row[x] = SmoothColour(x, y);
        BYTE* out = picture.Row(y);
        if (WriteRowArgb(row.data(), width, format, out))
            continue;
        for (UINT x = 0; x < width; ++x) {
            const UINT r = (row[x] >> 16) & 0xFF, g = (row[x] >> 8) & 0xFF, b = row[x] & 0xFF;
            switch (format) {
                case PixelFormat48bppRGB:
                    Put16(out + 6 * x, b * 257);
                    Put16(out + 6 * x + 2, g * 257);
                    Put16(out + 6 * x + 4, r * 257);
                    break;
                case PixelFormat64bppARGB:
                    Put16(out + 8 * x, b * 257);
                    Put16(out + 8 * x + 2, g * 257);
                    Put16(out + 8 * x + 4, r * 257);
                    Put16(out + 8 * x + 6, 65535);
                    break;
                case PixelFormat16bppRGB565:
                    Put16(out + 2 * x, ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
                    break;
                case PixelFormat16bppRGB555:
                    Put16(out + 2 * x, ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
                    break;
                case PixelFormat16bppGrayScale:
                    Put16(out + 2 * x, g * 257);
                    break;
                default:
                    if (IsIndexedPixelFormat(format)) {
                        const UINT count = 1u << bits;
                        SetIndex(out, bits, x, (g * (count - 1) + 127) / 255);
                    }
                    break;
            }
        }
    }
    return picture;
}

ImageBuffer NoisePicture(PixelFormat format, UINT width, UINT height, uint32_t seed,
                         UINT paletteCount) {
    ImageBuffer picture;
    if (picture.Allocate(format, width, height) != Ok)
        return picture;
    std::mt19937 random(seed);
    auto next = [&random](UINT limit) { return static_cast<UINT>(random() % limit); };
    const UINT bits = GetPixelFormatSize(format);
    if (IsIndexedPixelFormat(format)) {
        const UINT count = paletteCount != 0 ? paletteCount : 1u << bits;
        for (UINT i = 0; i < count; ++i) {
            picture.Palette().push_back(Pack(255, next(256), next(256), next(256)));
        }
        for (UINT y = 0; y < height; ++y) {
            for (UINT x = 0; x < width; ++x)
                SetIndex(picture.Row(y), bits, x, next(count));
        }
        return picture;
    }
    for (UINT y = 0; y < height; ++y) {
        BYTE* out = picture.Row(y);
        for (UINT x = 0; x < width; ++x) {
            switch (format) {
                case PixelFormat32bppPARGB: {
                    BYTE* p = out + 4 * x;
                    p[3] = static_cast<BYTE>(next(256));
                    for (int c = 0; c < 3; ++c)
                        p[c] = static_cast<BYTE>(next(p[3] + 1u));
                    break;
                }
                case PixelFormat64bppPARGB: {
                    BYTE* p = out + 8 * x;
                    const UINT a = next(65536);
                    Put16(p + 6, a);
                    for (int c = 0; c < 3; ++c)
                        Put16(p + 2 * c, next(a + 1));
                    break;
                }
                default:
                    for (UINT i = 0; i < bits / 8; ++i)
                        out[x * bits / 8 + i] = static_cast<BYTE>(next(256));
                    break;
            }
        }
    }
    return picture;
}

std::vector<ARGB> ArgbPixels(const ImageView& image) {
    std::vector<ARGB> pixels(static_cast<size_t>(image.width) * image.height);
    for (UINT y = 0; y < image.height; ++y) {
        ReadRowArgb(image, y, pixels.data() + static_cast<size_t>(y) * image.width);
    }
    return pixels;
}

double Psnr(const std::vector<ARGB>& a, const std::vector<ARGB>& b) {
    if (a.size() != b.size() || a.empty())
        return 0;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        for (int shift = 0; shift <= 16; shift += 8) {
            const double d = static_cast<double>((a[i] >> shift) & 0xFF) - ((b[i] >> shift) & 0xFF);
            sum += d * d;
        }
    }
    if (sum == 0)
        return std::numeric_limits<double>::infinity();
    const double mse = sum / (3.0 * a.size());
    return 10 * std::log10(255.0 * 255.0 / mse);
}

int MaxChannelDifference(const std::vector<ARGB>& a, const std::vector<ARGB>& b) {
    if (a.size() != b.size())
        return 256;
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        for (int shift = 0; shift <= 24; shift += 8) {
            const int d = std::abs(static_cast<int>((a[i] >> shift) & 0xFF) -
                                   static_cast<int>((b[i] >> shift) & 0xFF));
            if (d > worst)
                worst = d;
        }
    }
    return worst;
}

Bytes PixelBytesOfRow(const ImageView& image, UINT y) {
    const size_t bytes =
        (static_cast<size_t>(image.width) * GetPixelFormatSize(image.format) + 7) / 8;
    return Bytes(image.Row(y), image.Row(y) + bytes);
}

ScratchFolder::ScratchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "dorvalune-jpegtiff-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr)
        path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty())
        std::filesystem::remove_all(path_, ignored);
}

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool PillowAvailable() {
    static const bool available =
        std::system((std::string(kPython) + " -c 'import PIL' 2>/dev/null").c_str()) == 0;
    return available;
}

bool DecodeWithPillow(const Bytes& file, PillowPicture& picture, std::string& error) {
    static constexpr char kScript[] = R"(import sys
from PIL import Image
image = Image.open(sys.argv[1])
image.load()
if image.mode.startswith('I;16'):
    data = image.tobytes('raw', 'I;16')
else:
    data = image.convert('RGBA').tobytes()
open(sys.argv[2], 'wb').write(data)
open(sys.argv[3], 'w').write('%s %d %d' % (image.mode, image.size[0], image.size[1]))
)";
    ScratchFolder folder;
    const std::string script = folder.Path("decode.py");
    const std::string input = folder.Path("input");
    const std::string pixels = folder.Path("pixels");
    const std::string shape = folder.Path("shape");
    WriteFileBytes(script, Bytes(kScript, kScript + sizeof kScript - 1));
    WriteFileBytes(input, file);
    if (!RunPython(script, {input, pixels, shape})) {
        error = "PIL could not decode the file";
        return false;
    }
    std::ifstream header(shape);
    header >> picture.mode >> picture.width >> picture.height;
    const Bytes data = ReadFileBytes(pixels);
    const size_t count = static_cast<size_t>(picture.width) * picture.height;
    if (picture.mode.rfind("I;16", 0) == 0) {
        if (data.size() != 2 * count) {
            error = "PIL gave " + std::to_string(data.size()) + " bytes of 16-bit grey";
            return false;
        }
        picture.grey16.resize(count);
        for (size_t i = 0; i < count; ++i)
            picture.grey16[i] = static_cast<uint16_t>(data[2 * i] | (data[2 * i + 1] << 8));
        return true;
    }
    if (data.size() != 4 * count) {
        error = "PIL gave " + std::to_string(data.size()) + " bytes of RGBA";
        return false;
    }
    picture.pixels.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const BYTE* p = data.data() + 4 * i;
        picture.pixels[i] = Pack(p[3], p[0], p[1], p[2]);
    }
    return true;
}

Bytes EncodeWithPillow(const std::string& body) {
    ScratchFolder folder;
    const std::string script = folder.Path("encode.py");
    const std::string output = folder.Path("output");
    const std::string text = "import sys\nfrom PIL import Image\n" + body + "\n";
    WriteFileBytes(script, Bytes(text.begin(), text.end()));
    if (!RunPython(script, {output}))
        return {};
    return ReadFileBytes(output);
}

void KeepAsFuzzSeed(const std::string& format, const std::string& name, const Bytes& bytes) {
    const char* folder = std::getenv("DORVALUNE_FUZZ_SEEDS");
    if (folder == nullptr || *folder == '\0')
        return;
    const std::filesystem::path path = std::filesystem::path(folder) / format;
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
    WriteFileBytes((path / name).string(), bytes);
}

}  // namespace jpegtiff_test
