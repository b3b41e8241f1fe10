#include "win32/form_window.h"

namespace kavendrum::win32 {

namespace {

bool IsChangeNotification(int code) {
    return code == EN_CHANGE || code == CBN_SELCHANGE;
}

}  // namespace

bool FormWindow::Create(int templateId, HWND parent) {
    if (!CreateFromTemplate(templateId, parent)) {
        return false;
    }
    m_exchange.SetDialog(Handle());
    return true;
}

HWND FormWindow::CreateControl(const char* className, const char* text, DWORD style, int id,
                               RECT dialogUnits) {
    MapDialogRect(Handle(), &dialogUnits);
    HWND control = CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style,
                                   dialogUnits.left, dialogUnits.top,
                                   dialogUnits.right - dialogUnits.left,
                                   dialogUnits.bottom - dialogUnits.top, Handle(),
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   ProgramInstance(), nullptr);
    SendMessageA(control, WM_SETFONT, SendMessageA(Handle(), WM_GETFONT, 0, 0), FALSE);
    return control;
}

std::optional<LRESULT> FormWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return FALSE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            const auto control = reinterpret_cast<HWND>(lParam);
            if (IsChangeNotification(code) && m_exchange.Writing()) {
                return 0;
            }
            // A check box of ours takes its own clicks; the form does not hear of them.
            if (code == BN_CLICKED && control != nullptr && m_etched.Toggle(control)) {
                OnControl(id, code);
                return 0;
            }
            return OnControl(id, code) ? std::optional<LRESULT>(0) : std::nullopt;
        }
        case WM_DRAWITEM:
            return m_etched.Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))
                       ? std::optional<LRESULT>(TRUE)
                       : std::nullopt;
        case WM_CTLCOLORDLG:
            return reinterpret_cast<LRESULT>(EtchedPalette::Shared().Face());
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            // Read-only edits draw as statics; they keep the window colour of an edit.
            if ((GetWindowLongA(reinterpret_cast<HWND>(lParam), GWL_STYLE) & ES_READONLY) != 0 &&
                GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != 0 &&
                [&] {
                    char name[16] = {};
                    GetClassNameA(reinterpret_cast<HWND>(lParam), name, sizeof name);
                    return lstrcmpiA(name, "Edit") == 0;
                }()) {
                return std::nullopt;
            }
            SetBkColor(reinterpret_cast<HDC>(wParam), RGB(204, 204, 204));
            return reinterpret_cast<LRESULT>(EtchedPalette::Shared().Face());
        default:
            return std::nullopt;
    }
}

}  // namespace kavendrum::win32
