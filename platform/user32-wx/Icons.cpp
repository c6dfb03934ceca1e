#include "platform/user32-wx/Icons.h"

#include <wx/dc.h>
#include <wx/icon.h>
#include <wx/image.h>

#include <map>

#include "platform/user32-wx/DeviceContext.h"
#include "platform/user32-wx/User32.h"
#include "platform/win32/LastError.h"
#include "platform/win32/ResourceFormats.h"
#include "platform/win32/Resources.h"

namespace {

struct IconObject {
    wxImage image;
};

// The group entry the system would pick for size: the exact size, else the
// nearest larger image, else the nearest smaller one; the deepest on a tie.
const GRPICONDIRENTRY* BestEntry(const GRPICONDIR& group, int size) {
    auto distance = [size](const GRPICONDIRENTRY& entry) {
        const int width = entry.bWidth == 0 ? 256 : entry.bWidth;
        return width >= size ? width - size : 1000 + size - width;
    };
    const GRPICONDIRENTRY* best = nullptr;
    for (WORD i = 0; i < group.idCount; ++i) {
        const GRPICONDIRENTRY& entry = group.idEntries[i];
        if (best == nullptr || distance(entry) < distance(*best) ||
            (distance(entry) == distance(*best) && entry.wBitCount > best->wBitCount)) {
            best = &entry;
        }
    }
    return best;
}

std::map<std::pair<HINSTANCE, ULONG_PTR>, IconObject*>& SharedIcons() {
    static auto* icons = new std::map<std::pair<HINSTANCE, ULONG_PTR>, IconObject*>;
    return *icons;
}

const IconObject* AsIcon(HICON icon) {
    return reinterpret_cast<const IconObject*>(icon);
}

}  // namespace

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    const auto key = std::make_pair(instance, reinterpret_cast<ULONG_PTR>(name));
    auto found = SharedIcons().find(key);
    if (found != SharedIcons().end())
        return reinterpret_cast<HICON>(found->second);

    HRSRC groupResource = FindResourceA(instance, name, RT_GROUP_ICON);
    if (groupResource == nullptr)
        return nullptr;
    const auto* group =
        static_cast<const GRPICONDIR*>(LockResource(LoadResource(instance, groupResource)));
    const int size = GetSystemMetrics(SM_CXICON);
    const GRPICONDIRENTRY* entry = BestEntry(*group, size);
    if (entry == nullptr) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    HRSRC imageResource = FindResourceA(instance, MAKEINTRESOURCEA(entry->nId), RT_ICON);
    if (imageResource == nullptr)
        return nullptr;
    const auto* xpm =
        static_cast<const char* const*>(LockResource(LoadResource(instance, imageResource)));
    wxImage image(xpm);
    if (!image.IsOk()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    if (image.GetWidth() != size)
        image.Rescale(size, size, wxIMAGE_QUALITY_HIGH);
    auto* icon = new IconObject{image};
    SharedIcons()[key] = icon;
    return reinterpret_cast<HICON>(icon);
}

BOOL DrawIcon(HDC hdc, int x, int y, HICON icon) {
    wxDC* dc = DcFromHdc(hdc);
    if (dc == nullptr || icon == nullptr)
        return FALSE;
    dc->DrawBitmap(wxBitmap(AsIcon(icon)->image), x, y, true);
    return TRUE;
}

wxIcon IconImageAt(HICON icon, int size) {
    wxImage image = AsIcon(icon)->image;
    if (image.GetWidth() != size)
        image.Rescale(size, size, wxIMAGE_QUALITY_HIGH);
    wxIcon result;
    result.CopyFromBitmap(wxBitmap(image));
    return result;
}
