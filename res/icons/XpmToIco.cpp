// Writes the icon's XPM images as one Windows icon file, for the resource
// compiler: a host tool of the Windows build, made with the build machine's
// own compiler.
//
//   xpm-to-ico OUTPUT.ico BITS:IMAGE.xpm...
//
// Each image is stored at the depth given (4, 8 or 24 bits per pixel): the
// indexed ones with the XPM's colours as their colour table, every one with
// the mask of its transparent ("None") pixels. The images keep their order.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Image {
    int size = 0;
    int bits = 0;
    std::vector<std::uint32_t> palette;  // 0x00RRGGBB, the transparent entry black
    std::vector<int> pixels;             // palette indices, top row first; -1 transparent
};

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "xpm-to-ico: %s\n", message.c_str());
    std::exit(1);
}

// The quoted strings of an XPM file, in order.
std::vector<std::string> QuotedStrings(const std::string& path) {
    std::ifstream file(path);
    if (!file)
        Fail("cannot read " + path);
    std::stringstream text;
    text << file.rdbuf();
    const std::string all = text.str();
    std::vector<std::string> strings;
    for (size_t at = all.find('"'); at != std::string::npos; at = all.find('"', at + 1)) {
        const size_t end = all.find('"', at + 1);
        if (end == std::string::npos)
            Fail("unterminated string in " + path);
        strings.push_back(all.substr(at + 1, end - at - 1));
        at = end;
    }
    return strings;
}

Image ReadXpm(const std::string& path, int bits) {
    const std::vector<std::string> strings = QuotedStrings(path);
    Image image;
    image.bits = bits;
    int height = 0, colours = 0, perPixel = 0;
    if (strings.empty() ||
        std::sscanf(strings[0].c_str(), "%d %d %d %d", &image.size, &height, &colours, &perPixel) !=
            4 ||
        image.size != height || image.size <= 0 || image.size > 256 || perPixel <= 0 ||
        strings.size() < static_cast<size_t>(1 + colours + height)) {
        Fail("not a square XPM image: " + path);
    }
    std::map<std::string, int> index;
    for (int i = 0; i < colours; ++i) {
        const std::string& line = strings[1 + i];
        const std::string key = line.substr(0, perPixel);
        const size_t value = line.find(" c ", perPixel);
        if (value == std::string::npos)
            Fail("colour line without a colour in " + path);
        const std::string colour = line.substr(value + 3);
        if (colour == "None") {
            index[key] = -1;
        } else if (colour.size() == 7 && colour[0] == '#') {
            index[key] = static_cast<int>(image.palette.size());
            image.palette.push_back(
                static_cast<std::uint32_t>(std::strtoul(colour.c_str() + 1, nullptr, 16)));
        } else {
            Fail("colour other than #RRGGBB or None in " + path);
        }
    }
    if (bits < 24 && image.palette.size() > (1u << bits))
        Fail(path + " has more colours than " + std::to_string(bits) + " bits hold");
    for (int row = 0; row < image.size; ++row) {
        const std::string& line = strings[1 + colours + row];
        for (int x = 0; x < image.size; ++x) {
            const auto found = index.find(line.substr(static_cast<size_t>(x * perPixel), perPixel));
            if (found == index.end())
                Fail("pixel of no colour in " + path);
            image.pixels.push_back(found->second);
        }
    }
    return image;
}

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The image in the icon form: the information header (twice the height, for
// the colour and the mask bitmap), the colour table, the colour bitmap and the
// mask, rows bottom up, each padded to four bytes.
std::vector<std::uint8_t> IconForm(const Image& image) {
    const int size = image.size;
    const int tableEntries = image.bits <= 8 ? 1 << image.bits : 0;
    const int colourRow = (size * image.bits + 31) / 32 * 4;
    const int maskRow = (size + 31) / 32 * 4;
    std::vector<std::uint8_t> out;
    PutLe(out, 40, 4);
    PutLe(out, static_cast<std::uint32_t>(size), 4);
    PutLe(out, static_cast<std::uint32_t>(size * 2), 4);
    PutLe(out, 1, 2);
    PutLe(out, static_cast<std::uint32_t>(image.bits), 2);
    PutLe(out, 0, 4);  // BI_RGB
    PutLe(out, static_cast<std::uint32_t>((colourRow + maskRow) * size), 4);
    PutLe(out, 0, 16);  // resolution, colours used, colours important
    for (int i = 0; i < tableEntries; ++i) {
        const std::uint32_t rgb =
            static_cast<size_t>(i) < image.palette.size() ? image.palette[i] : 0;
        PutLe(out, rgb & 0xFFFFFF, 4);  // blue, green, red, zero
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(static_cast<size_t>(colourRow), 0);
        for (int x = 0; x < size; ++x) {
            const int index = image.pixels[static_cast<size_t>(y * size + x)];
            const std::uint32_t rgb = index < 0 ? 0 : image.palette[static_cast<size_t>(index)];
            if (image.bits == 24) {
                row[static_cast<size_t>(x * 3)] = static_cast<std::uint8_t>(rgb);
                row[static_cast<size_t>(x * 3 + 1)] = static_cast<std::uint8_t>(rgb >> 8);
                row[static_cast<size_t>(x * 3 + 2)] = static_cast<std::uint8_t>(rgb >> 16);
            } else if (image.bits == 8) {
                row[static_cast<size_t>(x)] = static_cast<std::uint8_t>(index < 0 ? 0 : index);
            } else {
                const int shift = x % 2 == 0 ? 4 : 0;
                row[static_cast<size_t>(x / 2)] |=
                    static_cast<std::uint8_t>((index < 0 ? 0 : index) << shift);
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(static_cast<size_t>(maskRow), 0);
        for (int x = 0; x < size; ++x) {
            if (image.pixels[static_cast<size_t>(y * size + x)] < 0)
                row[static_cast<size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        Fail("usage: xpm-to-ico OUTPUT.ico BITS:IMAGE.xpm...");
    std::vector<Image> images;
    for (int i = 2; i < argc; ++i) {
        const std::string argument = argv[i];
        const size_t colon = argument.find(':');
        const int bits =
            colon == std::string::npos ? 0 : std::atoi(argument.substr(0, colon).c_str());
        if (bits != 4 && bits != 8 && bits != 24)
            Fail("not BITS:IMAGE with 4, 8 or 24 bits: " + argument);
        images.push_back(ReadXpm(argument.substr(colon + 1), bits));
    }
    // The file: its header, one directory entry per image, then the images.
    std::vector<std::uint8_t> header;
    std::vector<std::uint8_t> data;
    PutLe(header, 0, 2);
    PutLe(header, 1, 2);  // an icon
    PutLe(header, static_cast<std::uint32_t>(images.size()), 2);
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (const Image& image : images) {
        const std::vector<std::uint8_t> form = IconForm(image);
        header.push_back(static_cast<std::uint8_t>(image.size == 256 ? 0 : image.size));
        header.push_back(static_cast<std::uint8_t>(image.size == 256 ? 0 : image.size));
        header.push_back(static_cast<std::uint8_t>(image.bits == 4 ? 16 : 0));  // 0: 256 or more
        header.push_back(0);
        PutLe(header, 1, 2);  // planes
        PutLe(header, static_cast<std::uint32_t>(image.bits), 2);
        PutLe(header, static_cast<std::uint32_t>(form.size()), 4);
        PutLe(header, offset, 4);
        offset += static_cast<std::uint32_t>(form.size());
        data.insert(data.end(), form.begin(), form.end());
    }
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()),
              static_cast<std::streamsize>(header.size()));
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    if (!out)
        Fail(std::string("cannot write ") + argv[1]);
    return 0;
}
