#include "platform/mfc/gui/OpenFileChooser.h"

#include <wx/arrstr.h>
#include <wx/filedlg.h>

#include <cstring>

#include "platform/mfc/gui/User32.h"

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

}  // namespace

bool CNativeOpenFileChooser::Choose(const OPENFILENAMEA& ofn, std::vector<std::string>& paths) {
    long style = wxFD_OPEN;
    if (ofn.Flags & OFN_ALLOWMULTISELECT)
        style |= wxFD_MULTIPLE;
    if (ofn.Flags & (OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST))
        style |= wxFD_FILE_MUST_EXIST;
    const wxString title = ofn.lpstrTitle != nullptr ? wxString::FromUTF8(ofn.lpstrTitle)
                                                     : wxString(wxFileSelectorPromptStr);
    const wxString folder =
        ofn.lpstrInitialDir != nullptr ? wxString::FromUTF8(ofn.lpstrInitialDir) : wxString();
    const wxString name = ofn.lpstrFile != nullptr ? wxString::FromUTF8(ofn.lpstrFile) : wxString();
    wxFileDialog dialog(WindowFromHwnd(ofn.hwndOwner), title, folder, name,
                        Wildcard(ofn.lpstrFilter), style);
    if (ofn.nFilterIndex > 0)
        dialog.SetFilterIndex(static_cast<int>(ofn.nFilterIndex) - 1);
    if (dialog.ShowModal() != wxID_OK)
        return false;
    wxArrayString chosen;
    dialog.GetPaths(chosen);
    paths.clear();
    for (const wxString& path : chosen)
        paths.emplace_back(path.fn_str());
    return true;
}

COpenFileChooser& AfxGetOpenFileChooser() {
    static CNativeOpenFileChooser native;
    return g_chooser != nullptr ? *g_chooser : native;
}

void AfxSetOpenFileChooserForTesting(COpenFileChooser* chooser) {
    g_chooser = chooser;
}
