#include "platform/user32-wx/OpenFileChooser.h"

#include <sys/stat.h>
#include <wx/arrstr.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/stockitem.h>

#include <cstring>

#include "platform/user32-wx/User32.h"
#include "platform/win32/Shlwapi.h"

namespace {

COpenFileChooser* g_chooser = nullptr;

// The record's filter pairs in the toolkit's form: "description|pattern|...".
wxString Wildcard(LPCSTR filter) {
    wxString wildcard;
    if (filter == nullptr)
        return wildcard;
    for (const char* part = filter; *part != 0; part += std::strlen(part) + 1) {
        if (!wildcard.empty())
            wildcard += '|';
        wildcard += wxString::FromUTF8(part);
    }
    return wildcard;
}

bool FileExists(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

// The name the dialog hands over for what the user chose or typed. A name
// without an extension means the one with the default extension (its first
// three characters) if that file exists, and otherwise the name as it was
// typed. A name with an extension of its own is taken as it is.
std::string WithDefaultExtension(const std::string& path, LPCSTR defaultExtension) {
    if (defaultExtension == nullptr || *defaultExtension == '\0' ||
        *PathFindExtensionA(path.c_str()) != '\0') {
        return path;
    }
    const std::string completed = path + '.' + std::string(defaultExtension).substr(0, 3);
    return FileExists(completed) ? completed : path;
}

}  // namespace

bool CNativeOpenFileChooser::Choose(const OPENFILENAMEA& ofn, std::vector<std::string>& paths) {
    long style = wxFD_OPEN;
    if (ofn.Flags & OFN_ALLOWMULTISELECT)
        style |= wxFD_MULTIPLE;
    // Without a title of its own, the dialog carries the desktop's word for
    // opening files.
    const wxString title = ofn.lpstrTitle != nullptr
                               ? wxString::FromUTF8(ofn.lpstrTitle)
                               : wxGetStockLabel(wxID_OPEN, wxSTOCK_WITHOUT_ELLIPSIS);
    const wxString folder =
        ofn.lpstrInitialDir != nullptr ? wxString::FromUTF8(ofn.lpstrInitialDir) : wxString();
    const wxString name = ofn.lpstrFile != nullptr ? wxString::FromUTF8(ofn.lpstrFile) : wxString();
    wxFileDialog dialog(WindowFromHwnd(ofn.hwndOwner), title, folder, name,
                        Wildcard(ofn.lpstrFilter), style);
    if (ofn.nFilterIndex > 0)
        dialog.SetFilterIndex(static_cast<int>(ofn.nFilterIndex) - 1);
    // The toolkit's own check would refuse "pic" before the default extension
    // makes it "pic.bmp"; the names are checked here instead, once completed,
    // before the dialog may close. A name that is missing keeps it open.
    std::vector<std::string> accepted;
    dialog.Bind(
        wxEVT_BUTTON,
        [&](wxCommandEvent& event) {
            wxArrayString chosen;
            dialog.GetPaths(chosen);
            accepted.clear();
            for (const wxString& path : chosen) {
                accepted.push_back(
                    WithDefaultExtension(std::string(path.fn_str()), ofn.lpstrDefExt));
                if ((ofn.Flags & OFN_FILEMUSTEXIST) && !FileExists(accepted.back())) {
                    const std::string name = accepted.back().substr(accepted.back().rfind('/') + 1);
                    wxMessageDialog(&dialog,
                                    wxString::FromUTF8(name) +
                                        "\nFile not found.\nCheck the file name and try again.",
                                    title, wxOK | wxICON_WARNING)
                        .ShowModal();
                    return;
                }
            }
            event.Skip();  // on to the dialog's own handler, which closes it
        },
        wxID_OK);
    if (dialog.ShowModal() != wxID_OK)
        return false;
    paths = accepted;
    return true;
}

COpenFileChooser& AfxGetOpenFileChooser() {
    static CNativeOpenFileChooser native;
    return g_chooser != nullptr ? *g_chooser : native;
}

void AfxSetOpenFileChooserForTesting(COpenFileChooser* chooser) {
    g_chooser = chooser;
}
