#include "ui/DorvaluneDlg.h"

#include <cstring>
#include <memory>
#include <new>

#include "shrink/BatchRun.h"
#include "ui/ListBoxFileList.h"

namespace {

// Room for the folder and names of a large selection: 1,024 paths of
// 260 characters.
constexpr DWORD kFileNameBufferSize = 1024 * 260;

}  // namespace

BEGIN_MESSAGE_MAP(CDorvaluneDlg, CDialog)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_ADD_BITMAPS, &CDorvaluneDlg::OnAddBitmaps)
END_MESSAGE_MAP()

CDorvaluneDlg::CDorvaluneDlg(CWnd* pParent) : CDialog(CDorvaluneDlg::IDD, pParent) {
    m_hDialogIcon = LoadIconA(AfxFindResourceHandle(MAKEINTRESOURCEA(IDI_APP_ICON), RT_GROUP_ICON),
                              MAKEINTRESOURCEA(IDI_APP_ICON));
}

void CDorvaluneDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_FILE_LIST, m_fileList);
}

BOOL CDorvaluneDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // One icon for both slots; the small one is scaled from it.
    SetIcon(m_hDialogIcon, TRUE);
    SetIcon(m_hDialogIcon, FALSE);
    return TRUE;  // the focus goes to the first control, "OK"
}

// Minimised, the dialog draws its icon in the middle of the client area.
void CDorvaluneDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int cxIcon = GetSystemMetrics(SM_CXICON);
    const int cyIcon = GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    // Signed division: a client area smaller than the icon gives a negative
    // place, rounded toward zero.
    const int x = (rect.right - rect.left - cxIcon + 1) / 2;
    const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hDialogIcon);
}

HCURSOR CDorvaluneDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hDialogIcon);
}

void CDorvaluneDlg::OnAddBitmaps() {
    CFileDialog dialog(TRUE, "bmp", "*.bmp",
                       OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST,
                       "Bitmaps *.bmp|*.bmp||", nullptr, 0);
    // Freed on every way out, an exception's included.
    std::unique_ptr<char[]> fileNames;
    try {
        fileNames.reset(new char[kFileNameBufferSize]);
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
    std::memset(fileNames.get(), 0, kFileNameBufferSize);
    dialog.GetOFN().nMaxFile = kFileNameBufferSize;
    dialog.GetOFN().lpstrFile = fileNames.get();
    if (dialog.DoModal() == IDOK) {
        POSITION pos = dialog.GetStartPosition();
        while (pos != nullptr) {
            const CString path = dialog.GetNextPathName(pos);
            ::SendMessageA(m_fileList.m_hWnd, LB_ADDSTRING, 0,
                           reinterpret_cast<LPARAM>(path.GetString()));
        }
        m_fileList.UpdateWindow();
    }
}

void CDorvaluneDlg::OnOK() {
    RunBatch(CListBoxFileList(m_fileList));
    CDialog::OnOK();
}
