// The framework's window classes on the system's USER32, under Wine: the
// program's dialog template, held as data, becomes the dialog and controls it
// describes, its list box sorts, and the open-file dialog's answer is walked
// with the system's separator.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/mfc/gui/Afxwin.h"
#include "res/MainDialog.h"
#include "res/Resource.h"

namespace {

// The program's template with a title outside ASCII, which the in-memory
// form holds as UTF-16.
constexpr WORD kTestDialog = 200;
const DLGTEMPLATEEX kTemplate = [] {
    DLGTEMPLATEEX copy = kMainDialogTemplate;
    copy.title = "Gr\xC3\xB6\xC3\x9F\x65";
    return copy;
}();
const bool kRegistered = (AfxRegisterDialogTemplate(kTestDialog, &kTemplate), true);

// Runs script from inside WM_INITDIALOG, then ends the dialog with "OK".
class ScriptedDialog : public CDialog {
public:
    explicit ScriptedDialog(std::function<void(HWND)> script)
        : CDialog(kTestDialog), m_script(std::move(script)) {}

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_script(m_hWnd);
        PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return TRUE;
    }

private:
    std::function<void(HWND)> m_script;
};

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)), L'\0');
    GetWindowTextW(window, text.data(), static_cast<int>(text.size()) + 1);
    return text;
}

// Place and size in pixels, as the dialog manager maps dialog units.
std::vector<LONG> Mapped(HWND dialog, short x, short y, short cx, short cy) {
    RECT place = {x, y, cx, cy};
    MapDialogRect(dialog, &place);
    return {place.left, place.top, place.right, place.bottom};
}

}  // namespace

TEST(WindowsDialogTest, TheTemplateBecomesItsControlsInPlaceAndTheListSortsIgnoringCase) {
    std::vector<std::string> listed;
    ScriptedDialog dialog([&](HWND hWnd) {
        EXPECT_EQ(TextOf(hWnd), L"Gr\u00F6\u00DFe");
        const struct {
            int id;
            const char* windowClass;
            std::wstring text;
        } controls[] = {{IDOK, "Button", L"OK"},
                        {IDC_FILE_LIST, "ListBox", L""},
                        {IDC_ADD_BITMAPS, "Button", L"^ .bmp"}};
        for (size_t i = 0; i < 3; ++i) {
            const DLGITEMTEMPLATEEX& item = kTemplate.items[i];
            SCOPED_TRACE(controls[i].id);
            const HWND control = GetDlgItem(hWnd, controls[i].id);
            ASSERT_NE(control, nullptr);
            char name[64] = {};
            GetClassNameA(control, name, sizeof(name));
            EXPECT_STREQ(name, controls[i].windowClass);
            EXPECT_EQ(TextOf(control), controls[i].text);
            RECT place;
            GetWindowRect(control, &place);
            MapWindowPoints(nullptr, hWnd, reinterpret_cast<POINT*>(&place), 2);
            EXPECT_EQ(Mapped(hWnd, item.x, item.y, item.cx, item.cy),
                      (std::vector<LONG>{place.left, place.top, place.right - place.left,
                                         place.bottom - place.top}));
        }
        const HWND list = GetDlgItem(hWnd, IDC_FILE_LIST);
        for (const char* path : {"C:\\p\\b.bmp", "C:\\P\\a.bmp", "C:\\p\\Z.bmp", "C:\\p\\c.bmp"})
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path));
        for (int i = 0; i < SendMessageA(list, LB_GETCOUNT, 0, 0); ++i) {
            char text[MAX_PATH] = {};
            SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            listed.emplace_back(text);
        }
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(listed, (std::vector<std::string>{"C:\\P\\a.bmp", "C:\\p\\b.bmp", "C:\\p\\c.bmp",
                                                "C:\\p\\Z.bmp"}));
}

TEST(WindowsDialogTest, TheOpenDialogsAnswerIsWalkedAsFullPathsWithBackslashes) {
    // buffer: as GetOpenFileName leaves it, up to and with the closing zeros
    // clang-format off
    const struct { std::string buffer; std::vector<std::string> walked; } cases[] = {
        {std::string("C:\\pics\\a.bmp\0\0", 16), {"C:\\pics\\a.bmp"}},
        {std::string("C:\\pics\0a.bmp\0B.bmp\0\0", 21), {"C:\\pics\\a.bmp", "C:\\pics\\B.bmp"}},
        {std::string("C:\\\0a.bmp\0b.bmp\0\0", 17), {"C:\\a.bmp", "C:\\b.bmp"}},
    };
    // clang-format on
    for (const auto& c : cases) {
        CFileDialog dialog(TRUE, "bmp", nullptr, OFN_ALLOWMULTISELECT, "Bitmaps *.bmp|*.bmp||");
        std::string buffer = c.buffer;
        dialog.GetOFN().lpstrFile = buffer.data();
        std::vector<std::string> walked;
        for (POSITION pos = dialog.GetStartPosition(); pos != nullptr;)
            walked.emplace_back(dialog.GetNextPathName(pos).GetString());
        EXPECT_EQ(walked, c.walked) << c.walked[0];
    }
}
