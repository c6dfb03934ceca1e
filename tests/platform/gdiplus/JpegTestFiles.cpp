#include "tests/platform/gdiplus/JpegTestFiles.h"

#include <algorithm>
#include <cstdlib>

#include "platform/gdiplus/JpegErrorManager.h"

namespace jpegtiff_test {
namespace {

// The DC scan, then the 63 AC coefficients in bands while there are fewer
// scans than coefficients, else one coefficient a scan with successive
// approximation (up to 10 refinements each) taking up the rest.
std::vector<jpeg_scan_info> ScanScript(int scans) {
    std::vector<jpeg_scan_info> script = {{1, {0}, 0, 0, 0, 0}};
    const int bands = scans - 1;
    for (int b = 0; b < bands && bands < 63; ++b) {
        script.push_back({1, {0}, 1 + 63 * b / bands, 63 * (b + 1) / bands, 0, 0});
    }
    for (int k = 1, extra = bands - 63; k <= 63 && bands >= 63; ++k) {
        const int levels = std::min(10, extra);
        extra -= levels;
        script.push_back({1, {0}, k, k, 0, levels});
        for (int a = levels; a >= 1; --a)
            script.push_back({1, {0}, k, k, a, a - 1});
    }
    return script;
}

struct Writer {
    jpeg_compress_struct info;
    JpegErrorManager errors;
    unsigned char* output;
    unsigned long size;
};

// As in the codec: nothing with a destructor between setjmp and libjpeg.
bool Compress(Writer* w, const JpegRecipe* recipe, BYTE* samples,
              const std::vector<jpeg_scan_info>* script) {
    if (setjmp(w->errors.jump))
        return false;
    jpeg_create_compress(&w->info);
    jpeg_mem_dest(&w->info, &w->output, &w->size);
    w->info.image_width = recipe->width;
    w->info.image_height = recipe->height;
    w->info.input_components = recipe->components;
    w->info.in_color_space = recipe->input;
    jpeg_set_defaults(&w->info);
    jpeg_set_colorspace(&w->info, recipe->stored);
    w->info.write_Adobe_marker = recipe->adobeMarker && w->info.write_Adobe_marker;
    jpeg_set_quality(&w->info, 90, TRUE);
    if (recipe->progressive)
        jpeg_simple_progression(&w->info);
    if (!script->empty()) {
        w->info.scan_info = script->data();
        w->info.num_scans = static_cast<int>(script->size());
    }
    jpeg_start_compress(&w->info, TRUE);
    while (w->info.next_scanline < w->info.image_height) {
        JSAMPROW row = samples + size_t{w->info.next_scanline} * recipe->width * recipe->components;
        jpeg_write_scanlines(&w->info, &row, 1);
    }
    jpeg_finish_compress(&w->info);
    return true;
}

}  // namespace

Bytes WriteJpeg(const JpegRecipe& recipe) {
    Bytes samples;
    for (UINT y = 0; y < recipe.height; ++y) {
        for (UINT x = 0; x < recipe.width; ++x) {
            for (int s = 0; s < recipe.components; ++s)
                samples.push_back(recipe.sample(x, y, s));
        }
    }
    const auto script = recipe.scans > 0 ? ScanScript(recipe.scans) : std::vector<jpeg_scan_info>{};
    Writer writer{};
    InstallJpegErrorManager(reinterpret_cast<j_common_ptr>(&writer.info), &writer.errors);
    const bool ok = Compress(&writer, &recipe, samples.data(), &script);
    jpeg_destroy_compress(&writer.info);
    if (!ok)
        return {};  // jpeg_mem_dest may have moved its buffer; leave it be
    Bytes file(writer.output, writer.output + writer.size);
    std::free(writer.output);
    return file;
}

}  // namespace jpegtiff_test
