// Dialogs built from templates of the tests' own: message maps, command
// routing, the keyboard interface and the sorted list box.
#include <gtest/gtest.h>
#include <wx/window.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/mfc/gui/DialogTemplate.h"
#include "platform/user32-wx/DialogManager.h"
#include "platform/win32/WinUser.h"
#include "tests/guitesting/GuiTesting.h"

namespace {

constexpr int kButtonsDialog = 200;       // "OK", "Go" and a sorted list box
constexpr int kUnknownClassDialog = 201;  // a control of a class the manager lacks
constexpr int kMissingDialog = 299;       // no such template
constexpr int kGoButton = 10, kSortedList = 20;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

const DLGITEMTEMPLATEEX kButtons[] = {
    {0, 0, kChild | BS_DEFPUSHBUTTON, 110, 70, 50, 14, IDOK, kButtonClassAtom, "OK", 0},
    {0, 0, kChild, 55, 70, 50, 14, kGoButton, kButtonClassAtom, "Go", 0},
    {0, 0, kChild | WS_BORDER | WS_VSCROLL | LBS_SORT, 7, 7, 153, 58, kSortedList,
     kListBoxClassAtom, nullptr, 0}};
const DLGITEMTEMPLATEEX kUnknownClass[] = {
    {0, 0, kChild, 7, 7, 50, 14, 30, 0x0085 /* combo box */, nullptr, 0}};

constexpr DWORD kStyle =
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT;

constexpr DLGTEMPLATEEX Template(const char* title, WORD count, const DLGITEMTEMPLATEEX* items) {
    // clang-format off
    return {1, 0xFFFF, 0, 0, kStyle, count, 0, 0, 167, 91, 0, 0, title, 8, 0, 0, 1, "MS Shell Dlg", items};
    // clang-format on
}
const DLGTEMPLATEEX kTemplates[] = {Template("Buttons", 3, kButtons),
                                    Template("Unknown", 1, kUnknownClass)};
const bool kRegistered = (AfxRegisterDialogTemplate(kButtonsDialog, &kTemplates[0]),
                          AfxRegisterDialogTemplate(kUnknownClassDialog, &kTemplates[1]), true);

class ButtonsDialog : public CDialog {
public:
    ButtonsDialog() : CDialog(kButtonsDialog) {}
    int goClicks = 0;
    int paints = 0;

protected:
    afx_msg void OnGo() { ++goClicks; }
    afx_msg void OnPaint() {
        ++paints;
        CDialog::OnPaint();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ButtonsDialog, CDialog)
ON_WM_PAINT()
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

TEST(DialogTest, MessagesAndCommandsReachTheHandlersTheMessageMapsName) {
    StartToolkit();
    HelpfulApp app;
    ButtonsDialog dialog;
    const auto script = [&] {
        const HWND hWnd = dialog.GetSafeHwnd();
        const unsigned long xWindow = XWindowOf(WindowFromHwnd(hWnd));
        EXPECT_TRUE(PumpUntil([&] { return dialog.paints > 0; }));
        ClickWithMouse(GetDlgItem(hWnd, kGoButton));
        EXPECT_EQ(dialog.goClicks, 1);
        SendKeys(xWindow, "F1");  // not the dialog's command: on to the application
        EXPECT_EQ(app.helpRequests, 1);
        // Enter presses the push button that has the focus, and the default
        // button from anywhere else.
        WindowFromHwnd(GetDlgItem(hWnd, kGoButton))->SetFocus();
        SendKeys(xWindow, "Return");
        EXPECT_EQ(dialog.goClicks, 2);
        WindowFromHwnd(GetDlgItem(hWnd, kSortedList))->SetFocus();
        SendKeys(xWindow, "Return");
    };
    EXPECT_EQ(RunWithScript([&] { return dialog.DoModal(); }, script), IDOK);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);  // detached when its window went
    for (const int id : {kUnknownClassDialog, kMissingDialog})
        EXPECT_EQ(CDialog(static_cast<UINT>(id)).DoModal(), -1) << "cannot be built: " << id;
}

TEST(DialogTest, ASortedListBoxOrdersByTheUserLocaleIgnoringCaseAndKeepsEveryByte) {
    // A German collation puts umlauts with their base letters; plain code
    // order would put them after "z".
    setenv("LOCPATH", DORVALUNE_BUILD_DIR "/locale", 1);
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    locale_t german = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
    if (german == static_cast<locale_t>(nullptr))
        GTEST_SKIP() << "no de_DE.UTF-8 locale was built";
    freelocale(german);
    StartToolkit();
    CDialog dialog(kButtonsDialog);
    std::vector<std::string> listed;
    RunWithScript(
        [&] { return dialog.DoModal(); },
        [&] {
            const HWND list = GetDlgItem(dialog.GetSafeHwnd(), kSortedList);
            for (const char* path : {"/p/b.bmp", "/P/a.bmp", "/p/Z.bmp", "/p/\xC3\xA4pfel.bmp",
                                     "/p/c.bmp", "/p/b.bmp", "/p/\xFF.bmp"}) {
                SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path));
            }
            const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
            for (LRESULT i = 0; i < count; ++i) {
                std::string text(SendMessageA(list, LB_GETTEXTLEN, i, 0), '\0');
                SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
                listed.push_back(text);
            }
            EXPECT_EQ(SendMessageA(list, LB_GETTEXTLEN, count, 0), LB_ERR);
            EndDialog(dialog.GetSafeHwnd(), IDCANCEL);
        });
    // A name that is not UTF-8 keeps its bytes; where it sorts is the collation's affair.
    const auto notUtf8 = std::find(listed.begin(), listed.end(), "/p/\xFF.bmp");
    ASSERT_NE(notUtf8, listed.end());
    listed.erase(notUtf8);
    EXPECT_EQ(listed, (std::vector<std::string>{"/P/a.bmp", "/p/\xC3\xA4pfel.bmp", "/p/b.bmp",
                                                "/p/b.bmp", "/p/c.bmp", "/p/Z.bmp"}));
}

}  // namespace
