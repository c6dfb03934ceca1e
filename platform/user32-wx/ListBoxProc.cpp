#include "platform/user32-wx/ListBoxProc.h"

#include <wx/clntdata.h>
#include <wx/listbox.h>

#include <clocale>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>

#include "platform/user32-wx/User32.h"

namespace {

// The user's locale as the environment names it (LC_ALL, LC_COLLATE, LANG),
// whatever the process's C locale is; C.UTF-8 when it names none we have.
locale_t UserLocale() {
    static const locale_t locale = [] {
        locale_t user = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
        if (user == static_cast<locale_t>(nullptr)) {
            user = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        }
        return user;
    }();
    return locale;
}

// Length of the UTF-8 sequence that a lead byte starts; 0 for a byte that
// starts none.
int SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 0;
}

// Decodes UTF-8; a byte that starts no valid sequence becomes U+DC80 + byte,
// so every file name has a text to show and to compare.
std::wstring Decode(const char* text) {
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};  // no overlong forms
    std::wstring wide;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != 0) {
        int length = SequenceLength(*p);
        char32_t code = length == 1 ? *p : *p & (0x7F >> length);
        for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                length = 0;
                break;
            }
            code = (code << 6) | (p[i] & 0x3F);
        }
        if (length == 0 || code < kSmallest[length] || code > 0x10FFFF ||
            (code >= 0xD800 && code <= 0xDFFF)) {
            wide.push_back(static_cast<wchar_t>(0xDC00 + *p));
            p += 1;
        } else {
            wide.push_back(static_cast<wchar_t>(code));
            p += length;
        }
    }
    return wide;
}

std::wstring Folded(const char* text) {
    std::wstring wide = Decode(text);
    for (wchar_t& ch : wide)
        ch = static_cast<wchar_t>(towlower_l(static_cast<wint_t>(ch), UserLocale()));
    return wide;
}

// One entry: the text exactly as added, and its case-folded form for sorting.
class Entry : public wxClientData {
public:
    explicit Entry(const char* text) : m_text(text), m_folded(Folded(text)) {}
    const std::string& Text() const { return m_text; }
    const std::wstring& FoldedText() const { return m_folded; }

private:
    std::string m_text;
    std::wstring m_folded;
};

const Entry* EntryAt(wxListBox& list, WPARAM index) {
    if (index >= list.GetCount())
        return nullptr;
    return static_cast<const Entry*>(list.GetClientObject(static_cast<unsigned>(index)));
}

// Where a new entry goes: after every entry that does not sort after it.
unsigned SortedPlace(wxListBox& list, const Entry& entry) {
    unsigned low = 0;
    unsigned high = list.GetCount();
    while (low < high) {
        const unsigned middle = low + (high - low) / 2;
        const Entry* other = EntryAt(list, middle);
        if (wcscoll_l(entry.FoldedText().c_str(), other->FoldedText().c_str(), UserLocale()) < 0) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return low;
}

wxString Shown(const std::wstring& wide) {
    std::wstring shown = wide;
    for (wchar_t& ch : shown) {
        if (ch >= 0xDC80 && ch <= 0xDCFF)
            ch = 0xFFFD;  // a byte that is not UTF-8
    }
    return wxString(shown);
}

LRESULT AddString(HWND hWnd, wxListBox& list, const char* text) {
    if (text == nullptr)
        return LB_ERR;
    auto* entry = new Entry(text);
    const bool sorted = GetWindowLongPtrA(hWnd, GWL_STYLE) & LBS_SORT;
    const unsigned place = sorted ? SortedPlace(list, *entry) : list.GetCount();
    return list.Insert(Shown(Decode(text)), place, entry);
}

}  // namespace

LRESULT ListBoxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* list = dynamic_cast<wxListBox*>(WindowFromHwnd(hWnd));
    if (list == nullptr)
        return DefWindowProcA(hWnd, message, wParam, lParam);
    switch (message) {
        case LB_ADDSTRING:
            return AddString(hWnd, *list, reinterpret_cast<const char*>(lParam));
        case LB_GETCOUNT:
            return static_cast<LRESULT>(list->GetCount());
        case LB_GETTEXTLEN: {
            const Entry* entry = EntryAt(*list, wParam);
            return entry == nullptr ? LB_ERR : static_cast<LRESULT>(entry->Text().size());
        }
        case LB_GETTEXT: {
            const Entry* entry = EntryAt(*list, wParam);
            if (entry == nullptr || lParam == 0)
                return LB_ERR;
            std::memcpy(reinterpret_cast<char*>(lParam), entry->Text().c_str(),
                        entry->Text().size() + 1);
            return static_cast<LRESULT>(entry->Text().size());
        }
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}
