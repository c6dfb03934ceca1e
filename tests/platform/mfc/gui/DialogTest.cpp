// Dialogs built from templates: message maps, command routing, the keyboard
// interface and the sorted list box.
#include <gtest/gtest.h>
#include <wx/window.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/mfc/gui/DialogManager.h"
#include "tests/guitesting/GuiTesting.h"
#include "tests/platform/mfc/gui/TestTemplates.h"

namespace {

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

wxWindow* Window(HWND hWnd) {
    return WindowFromHwnd(hWnd);
}

TEST(DialogTest, MessagesAndCommandsReachTheHandlersTheMessageMapsName) {
    StartToolkit();
    HelpfulApp app;
    ButtonsDialog dialog;
    const INT_PTR result = RunWithScript([&] { return dialog.DoModal(); },
                                         [&] {
                                             const HWND hWnd = dialog.GetSafeHwnd();
                                             const unsigned long xWindow = XWindowOf(Window(hWnd));
                                             PumpUntil([&] { return dialog.paints > 0; });
                                             EXPECT_GT(dialog.paints, 0);

                                             ClickWithMouse(GetDlgItem(hWnd, kGoButton));
                                             EXPECT_EQ(dialog.goClicks, 1);

                                             // A command the dialog does not handle goes on to the
                                             // application.
                                             SendKeys(xWindow, "F1");
                                             EXPECT_EQ(app.helpRequests, 1);

                                             // Enter presses the push button that has the focus ...
                                             Window(GetDlgItem(hWnd, kGoButton))->SetFocus();
                                             SendKeys(xWindow, "Return");
                                             EXPECT_EQ(dialog.goClicks, 2);
                                             // ... and the default button from anywhere else.
                                             Window(GetDlgItem(hWnd, kSortedList))->SetFocus();
                                             SendKeys(xWindow, "Return");
                                         });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);  // detached when its window went
}

TEST(DialogTest, ADialogThatCannotBeBuiltEndsAtOnceWithMinusOne) {
    StartToolkit();
    for (const int id : {kUnknownClassDialog, kMissingDialog}) {
        SCOPED_TRACE(id);
        CDialog dialog(static_cast<UINT>(id));
        EXPECT_EQ(dialog.DoModal(), -1);
    }
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
                std::string text(static_cast<size_t>(SendMessageA(list, LB_GETTEXTLEN, i, 0)),
                                 '\0');
                SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
                listed.push_back(text);
            }
            EXPECT_EQ(SendMessageA(list, LB_GETTEXTLEN, count, 0), LB_ERR);
            EndDialog(dialog.GetSafeHwnd(), IDCANCEL);
        });
    // A name that is not UTF-8 keeps its bytes; where it sorts is the
    // collation's affair.
    const auto notUtf8 = std::find(listed.begin(), listed.end(), "/p/\xFF.bmp");
    ASSERT_NE(notUtf8, listed.end());
    listed.erase(notUtf8);
    EXPECT_EQ(listed, (std::vector<std::string>{"/P/a.bmp", "/p/\xC3\xA4pfel.bmp", "/p/b.bmp",
                                                "/p/b.bmp", "/p/c.bmp", "/p/Z.bmp"}));
}

}  // namespace
