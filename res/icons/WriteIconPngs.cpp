// Writes the application icon's images as PNG files for the desktop's icon
// theme: <folder>/<size>x<size>/apps/dorvalune.png for 16, 32 and 48 pixels,
// from the true-colour images.
// Runs at build time without a display: it only decodes XPM and encodes PNG.
#include <wx/filename.h>
#include <wx/image.h>

#include <cstdio>

#include "res/icons/dorvalune-16-24.xpm"
#include "res/icons/dorvalune-32-24.xpm"
#include "res/icons/dorvalune-48-24.xpm"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    wxImage::AddHandler(new wxPNGHandler);
    const struct {
        int size;
        const char* const* xpm;
    } images[] = {{16, dorvalune_16_24_xpm}, {32, dorvalune_32_24_xpm}, {48, dorvalune_48_24_xpm}};
    for (const auto& image : images) {
        wxImage picture(image.xpm);
        // Transparent pixels become an alpha channel, which icon themes expect.
        if (picture.HasMask())
            picture.InitAlpha();
        const wxString folder = wxString::Format("%s/%dx%d/apps", argv[1], image.size, image.size);
        if (!wxFileName::Mkdir(folder, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL) ||
            !picture.SaveFile(folder + "/dorvalune.png", wxBITMAP_TYPE_PNG)) {
            std::fprintf(stderr, "cannot write %s/dorvalune.png\n", folder.utf8_str().data());
            return 1;
        }
    }
    return 0;
}
