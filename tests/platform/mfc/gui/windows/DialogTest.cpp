// The framework's window classes on the system's USER32, under Wine: a
// template held as data becomes the dialog and controls it describes,
// commands reach the handlers the message maps name, the list box sorts, and
// the open-file dialog's answer is walked with the system's separator.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/mfc/gui/Afxwin.h"
#include "platform/mfc/gui/DialogTemplate.h"

namespace {

// The texts' lengths are odd and even, so that items start on four-byte
// boundaries only where the in-memory form pads them.
constexpr WORD kButtonsDialog = 200;
constexpr WORD kMissingDialog = 299;  // no such template
constexpr int kGoButton = 10, kSortedList = 20;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

const DLGITEMTEMPLATEEX kItems[] = {
    {0, 0, kChild | BS_DEFPUSHBUTTON, 110, 70, 50, 14, IDOK, kButtonClassAtom, "OK", 0},
    {0, 0, kChild, 55, 70, 50, 14, kGoButton, kButtonClassAtom,
     "Los \xE2\x80\x93 geht\xE2\x80\x99s!", 0},
    {0, 0, kChild | WS_BORDER | WS_VSCROLL | LBS_SORT | LBS_NOINTEGRALHEIGHT, 7, 7, 153, 58,
     kSortedList, kListBoxClassAtom, nullptr, 0}};
// clang-format off
const DLGTEMPLATEEX kTemplate = {1, 0xFFFF, 0, 0, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT,
                                 3, 0, 0, 167, 91, 0, 0, "Gr\xC3\xB6\xC3\x9F" "e", 8, 0, 0, 1,
                                 "MS Shell Dlg", kItems};
// clang-format on
const bool kRegistered = (AfxRegisterDialogTemplate(kButtonsDialog, &kTemplate), true);

// Runs script from inside WM_INITDIALOG, then ends the dialog with "OK".
class ButtonsDialog : public CDialog {
public:
    explicit ButtonsDialog(std::function<void(ButtonsDialog&)> script)
        : CDialog(kButtonsDialog), m_script(std::move(script)) {}
    int goClicks = 0;
    CListBox list;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, kSortedList, list);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_script(*this);
        PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return TRUE;
    }
    afx_msg void OnGo() { ++goClicks; }
    DECLARE_MESSAGE_MAP()

private:
    std::function<void(ButtonsDialog&)> m_script;
};

BEGIN_MESSAGE_MAP(ButtonsDialog, CDialog)
ON_BN_CLICKED(kGoButton, &ButtonsDialog::OnGo)
END_MESSAGE_MAP()

class HelpfulApp : public CWinApp {
public:
    HelpfulApp() : CWinApp("helpful") {}
    int helpRequests = 0;

protected:
    afx_msg void OnHelpRequest() { ++helpRequests; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(HelpfulApp, CWinApp)
ON_COMMAND(ID_HELP, &HelpfulApp::OnHelpRequest)
END_MESSAGE_MAP()

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)), L'\0');
    GetWindowTextW(window, text.data(), static_cast<int>(text.size()) + 1);
    return text;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

// Place and size in pixels: left, top, width, height.
using Box = std::vector<LONG>;

// A place and size in dialog units in pixels, each mapped on its own with the
// dialog's base units, as the dialog manager maps an item's.
Box Mapped(HWND dialog, short x, short y, short cx, short cy) {
    RECT place = {x, y, cx, cy};
    MapDialogRect(dialog, &place);
    return {place.left, place.top, place.right, place.bottom};
}

Box Placed(const RECT& rect) {
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace

TEST(WindowsDialogTest, ATemplateHeldAsDataBecomesTheDialogAndControlsItDescribes) {
    ButtonsDialog dialog([](ButtonsDialog& self) {
        const HWND hWnd = self.GetSafeHwnd();
        EXPECT_EQ(TextOf(hWnd), L"Gr\u00F6\u00DFe");
        RECT client;
        GetClientRect(hWnd, &client);
        EXPECT_EQ(Placed(client), Mapped(hWnd, 0, 0, 167, 91));
        // id, class, text: every item in template order, where the template puts it
        const struct {
            int id;
            const char* windowClass;
            std::wstring text;
        } controls[] = {
            {IDOK, "Button", L"OK"},
            {kGoButton, "Button", L"Los \u2013 geht\u2019s!"},
            {kSortedList, "ListBox", L""},
        };
        HWND previous = nullptr;
        for (size_t i = 0; i < 3; ++i) {
            const DLGITEMTEMPLATEEX& item = kItems[i];
            SCOPED_TRACE(controls[i].id);
            const HWND control = GetDlgItem(hWnd, controls[i].id);
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(ClassOf(control), controls[i].windowClass);
            EXPECT_EQ(TextOf(control), controls[i].text);
            // The dialog manager draws a bordered item with a sunken edge
            // instead, and an empty list hides its scroll bar.
            const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(control, GWL_STYLE));
            const DWORD asked = item.style & ~(WS_BORDER | WS_VSCROLL);
            EXPECT_EQ(style & asked, asked) << std::hex << style;
            EXPECT_EQ((GetWindowLongPtrA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0,
                      (item.style & WS_BORDER) != 0);
            RECT place;
            GetWindowRect(control, &place);
            MapWindowPoints(nullptr, hWnd, reinterpret_cast<POINT*>(&place), 2);
            EXPECT_EQ(Placed(place), Mapped(hWnd, item.x, item.y, item.cx, item.cy));
            // Tab order is template order.
            EXPECT_EQ(GetNextDlgTabItem(hWnd, previous, FALSE),
                      previous == nullptr ? GetDlgItem(hWnd, IDOK) : control);
            previous = control;
        }
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr) << "detached when its window went";
    EXPECT_EQ(CDialog(kMissingDialog).DoModal(), -1);
}

TEST(WindowsDialogTest, CommandsReachTheMessageMapsAndTheListSortsIgnoringCase) {
    HelpfulApp app;
    std::vector<std::string> listed;
    ButtonsDialog dialog([&](ButtonsDialog& self) {
        const HWND hWnd = self.GetSafeHwnd();
        SendMessageA(hWnd, WM_COMMAND, MAKEWPARAM(kGoButton, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(hWnd, kGoButton)));
        // F1 (WM_HELP from the dialog manager) is the help command, which is
        // not the dialog's: on to the application.
        HELPINFO help = {sizeof(help), HELPINFO_WINDOW, 0, GetDlgItem(hWnd, kGoButton), 0, {0, 0}};
        SendMessageA(hWnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
        for (const char* path :
             {"C:\\p\\b.bmp", "C:\\P\\a.bmp", "C:\\p\\Z.bmp", "C:\\p\\c.bmp", "C:\\p\\b.bmp"}) {
            SendMessageA(self.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path));
        }
        for (int i = 0; i < self.list.GetCount(); ++i) {
            CString text;
            self.list.GetText(i, text);
            listed.emplace_back(text.GetString());
        }
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.goClicks, 1);
    EXPECT_EQ(app.helpRequests, 1);
    EXPECT_EQ(listed, (std::vector<std::string>{"C:\\P\\a.bmp", "C:\\p\\b.bmp", "C:\\p\\b.bmp",
                                                "C:\\p\\c.bmp", "C:\\p\\Z.bmp"}));
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
