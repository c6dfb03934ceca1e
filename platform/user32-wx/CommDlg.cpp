#include "platform/user32-wx/CommDlg.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/user32-wx/OpenFileChooser.h"

namespace {

DWORD g_lastError = 0;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// The selection as the dialog hands it over, both final zeros included. A
// file outside the first file's folder keeps its full path, which readers of
// the form take as it stands.
std::string SelectionText(const std::vector<std::string>& paths) {
    std::string text;
    if (paths.size() == 1) {
        text = paths.front();
        text.push_back('\0');
    } else {
        const std::string folder = FolderOf(paths.front());
        text = folder;
        text.push_back('\0');
        for (const std::string& path : paths) {
            text += FolderOf(path) == folder ? path.substr(path.rfind('/') + 1) : path;
            text.push_back('\0');
        }
    }
    text.push_back('\0');
    return text;
}

}  // namespace

BOOL GetOpenFileNameA(OPENFILENAMEA* ofn) {
    g_lastError = 0;
    std::vector<std::string> paths;
    if (!AfxGetOpenFileChooser().Choose(*ofn, paths) || paths.empty())
        return FALSE;
    const std::string text = SelectionText(paths);
    if (text.size() > ofn->nMaxFile) {
        g_lastError = FNERR_BUFFERTOOSMALL;
        if (ofn->nMaxFile >= 2) {
            const WORD needed = text.size() > 0xFFFF ? 0xFFFF : static_cast<WORD>(text.size());
            std::memcpy(ofn->lpstrFile, &needed, sizeof(needed));
        }
        return FALSE;
    }
    std::memcpy(ofn->lpstrFile, text.data(), text.size());
    return TRUE;
}

DWORD CommDlgExtendedError() {
    return g_lastError;
}
