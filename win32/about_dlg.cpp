#include "win32/about_dlg.h"

#include <shellapi.h>

#include <string>

#include "win32/resource.h"

namespace kavendrum::win32 {

namespace {

#ifdef KAVENDRUM_HOMEPAGE
constexpr const char* kHomePage = KAVENDRUM_HOMEPAGE;
#else
constexpr const char* kHomePage = "";
#endif
#ifdef KAVENDRUM_MAIL
constexpr const char* kMail = KAVENDRUM_MAIL;
#else
constexpr const char* kMail = "";
#endif

constexpr COLORREF kLinkColour = RGB(0, 0, 238);
constexpr COLORREF kVisitedColour = RGB(85, 26, 139);

// The row of a link: its label and the link itself, hidden when the build names no target.
void ShowRow(HWND dialog, int labelIndex, int id, const char* target) {
    if (*target != '\0') {
        SetDlgItemTextA(dialog, id, target);
        return;
    }
    ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
    // The row's label is the control just before the link in the template.
    HWND label = GetWindow(GetDlgItem(dialog, id), GW_HWNDPREV);
    if (label != nullptr && labelIndex >= 0) {
        ShowWindow(label, SW_HIDE);
    }
}

}  // namespace

void CAboutDlg::DoModal(HWND owner) {
    RunModal(IDD_ABOUTBOX, owner);
    if (m_linkFont != nullptr) {
        DeleteObject(m_linkFont);
        m_linkFont = nullptr;
    }
}

void CAboutDlg::OnInitDialog() {
    ShowRow(Handle(), 0, IDC_LINK_HOME, kHomePage);
    ShowRow(Handle(), 1, IDC_LINK_MAIL, kMail);
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Handle(), WM_GETFONT, 0, 0)), sizeof font,
               &font);
    font.lfUnderline = TRUE;
    m_linkFont = CreateFontIndirectA(&font);
    for (const int id : {IDC_LINK_HOME, IDC_LINK_MAIL}) {
        SendMessageA(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(m_linkFont), FALSE);
    }
}

void CAboutDlg::OpenLink(int id) {
    std::string target = WindowText(Item(id));
    if (id == IDC_LINK_MAIL && target.rfind("mailto:", 0) != 0) {
        target = "mailto:" + target;
    }
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(Handle(), "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    m_bVisited[id == IDC_LINK_MAIL ? 1 : 0] = result > 32;
    InvalidateRect(Item(id), nullptr, TRUE);
}

std::optional<LRESULT> CAboutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(Handle(), LOWORD(wParam));
                return 0;
            }
            if ((LOWORD(wParam) == IDC_LINK_HOME || LOWORD(wParam) == IDC_LINK_MAIL) &&
                HIWORD(wParam) == STN_CLICKED) {
                OpenLink(LOWORD(wParam));
                return 0;
            }
            return std::nullopt;
        case WM_CTLCOLORSTATIC: {
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            if (id != IDC_LINK_HOME && id != IDC_LINK_MAIL) {
                return std::nullopt;
            }
            auto dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc,
                         m_bVisited[id == IDC_LINK_MAIL ? 1 : 0] ? kVisitedColour : kLinkColour);
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        default:
            return std::nullopt;
    }
}

}  // namespace kavendrum::win32
