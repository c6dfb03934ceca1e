#include "platform/mfc/gui/windows/InMemoryTemplate.h"

#include <cstring>

namespace {

void PutDword(std::vector<WORD>& out, DWORD value) {
    out.push_back(LOWORD(value));
    out.push_back(HIWORD(value));
}

void PutShort(std::vector<WORD>& out, short value) {
    out.push_back(static_cast<WORD>(value));
}

// A text, UTF-8 in the data, as UTF-16 ended by a zero.
void PutText(std::vector<WORD>& out, LPCSTR text) {
    if (text != nullptr && *text != '\0') {
        const int length = static_cast<int>(std::strlen(text));
        const int wide = MultiByteToWideChar(CP_UTF8, 0, text, length, nullptr, 0);
        std::vector<WCHAR> units(static_cast<size_t>(wide));
        MultiByteToWideChar(CP_UTF8, 0, text, length, units.data(), wide);
        out.insert(out.end(), units.begin(), units.end());
    }
    out.push_back(0);
}

// An ordinal (0xFFFF, then the number), or 0 for none.
void PutOrdinal(std::vector<WORD>& out, WORD ordinal) {
    if (ordinal != 0)
        out.push_back(0xFFFF);
    out.push_back(ordinal);
}

}  // namespace

std::vector<WORD> InMemoryTemplate(const DLGTEMPLATEEX& dialogTemplate) {
    std::vector<WORD> out;
    out.push_back(dialogTemplate.dlgVer);
    out.push_back(dialogTemplate.signature);
    PutDword(out, dialogTemplate.helpID);
    PutDword(out, dialogTemplate.exStyle);
    PutDword(out, dialogTemplate.style);
    out.push_back(dialogTemplate.cDlgItems);
    PutShort(out, dialogTemplate.x);
    PutShort(out, dialogTemplate.y);
    PutShort(out, dialogTemplate.cx);
    PutShort(out, dialogTemplate.cy);
    PutOrdinal(out, dialogTemplate.menu);
    PutOrdinal(out, dialogTemplate.windowClass);
    PutText(out, dialogTemplate.title);
    if (dialogTemplate.style & DS_SETFONT) {
        out.push_back(dialogTemplate.pointsize);
        out.push_back(dialogTemplate.weight);
        out.push_back(static_cast<WORD>(dialogTemplate.italic | dialogTemplate.charset << 8));
        PutText(out, dialogTemplate.typeface);
    }
    for (WORD i = 0; i < dialogTemplate.cDlgItems; ++i) {
        const DLGITEMTEMPLATEEX& item = dialogTemplate.items[i];
        if (out.size() % 2 != 0)
            out.push_back(0);  // each item starts on a four-byte boundary
        PutDword(out, item.helpID);
        PutDword(out, item.exStyle);
        PutDword(out, item.style);
        PutShort(out, item.x);
        PutShort(out, item.y);
        PutShort(out, item.cx);
        PutShort(out, item.cy);
        PutDword(out, item.id);
        PutOrdinal(out, item.windowClass);
        PutText(out, item.title);
        out.push_back(0);  // no creation data
    }
    return out;
}
