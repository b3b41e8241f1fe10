#include "win32/form_window.h"

#include <algorithm>
#include <string>

namespace kavendrum::win32 {

namespace {

bool IsChangeNotification(int code) {
    return code == EN_CHANGE || code == CBN_SELCHANGE;
}

std::string ClassOf(HWND hwnd) {
    char name[32] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

bool IsLabel(HWND hwnd) {
    return ClassOf(hwnd) == "Static" && (GetWindowLongA(hwnd, GWL_STYLE) & SS_TYPEMASK) == SS_LEFT;
}

bool IsGroupBox(HWND hwnd) {
    return ClassOf(hwnd) == "Button" &&
           (GetWindowLongA(hwnd, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

int TextExtent(HWND hwnd, HFONT font) {
    std::string text;
    for (const char c : WindowText(hwnd)) {
        if (c != '&') {
            text += c;
        }
    }
    HDC dc = GetDC(hwnd);
    const HGDIOBJ old = SelectObject(dc, font);
    SIZE extent{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return extent.cx;
}

// The pixels a control needs to show its text whole; 0 for a control that shows none itself.
int NeededWidth(HWND hwnd) {
    const auto font = reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
    if (IsLabel(hwnd)) {
        return TextExtent(hwnd, font);
    }
    if (ClassOf(hwnd) != "Button") {
        return 0;
    }
    // Beside its box; ours draw their caption in the default GUI font.
    constexpr int kBoxWidth = 16;
    if (GetPropA(hwnd, EtchedControls::kCheckedProperty) != nullptr) {
        return TextExtent(hwnd, static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))) + kBoxWidth;
    }
    switch (GetWindowLongA(hwnd, GWL_STYLE) & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return TextExtent(hwnd, font) + kBoxWidth;
        default:
            return 0;
    }
}

RECT RectInParent(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The controls beside `label` on its row, nearest on each side.
struct RowNeighbours {
    int leftLimit = 0;
    int rightLimit = 0;
    HWND right = nullptr;
};

RowNeighbours NeighboursOf(HWND form, HWND label, const RECT& r) {
    RECT client{};
    GetClientRect(form, &client);
    RowNeighbours row{0, client.right, nullptr};
    for (HWND other = GetWindow(form, GW_CHILD); other != nullptr;
         other = GetWindow(other, GW_HWNDNEXT)) {
        const RECT o = RectInParent(other);
        if (other == label || IsGroupBox(other) || o.bottom <= r.top || o.top >= r.bottom) {
            continue;
        }
        if (o.left >= r.right - 1 && o.left < row.rightLimit) {
            row.rightLimit = o.left;
            row.right = other;
        } else if (o.right <= r.left + 1 && o.right > row.leftLimit) {
            row.leftLimit = o.right;
        }
    }
    return row;
}

}  // namespace

bool FormWindow::Create(int templateId, HWND parent) {
    if (!CreateFromTemplate(templateId, parent)) {
        return false;
    }
    m_exchange.SetDialog(Handle());
    return true;
}

void FormWindow::FitTexts() {
    constexpr int kGap = 2;
    for (HWND label = GetWindow(Handle(), GW_CHILD); label != nullptr;
         label = GetWindow(label, GW_HWNDNEXT)) {
        RECT r = RectInParent(label);
        const int need = NeededWidth(label);
        if (need <= r.right - r.left) {
            continue;
        }
        const RowNeighbours row = NeighboursOf(Handle(), label, r);
        r.right = std::max<LONG>(r.right, std::min<LONG>(row.rightLimit - kGap, r.left + need));
        r.left = std::min<LONG>(r.left, std::max<LONG>(row.leftLimit + kGap, r.right - need));
        const int shortfall = need - (r.right - r.left);
        if (shortfall > 0 && row.right != nullptr && ClassOf(row.right) == "Edit") {
            RECT edit = RectInParent(row.right);
            edit.left += shortfall;
            MoveWindow(row.right, edit.left, edit.top, edit.right - edit.left,
                       edit.bottom - edit.top, FALSE);
            r.right += shortfall;
        }
        MoveWindow(label, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
    }
}

void FormWindow::InsertRow(int top, int height) {
    RECT row{0, top, 0, top + height};
    MapDialogRect(Handle(), &row);
    const int shift = row.bottom - row.top;
    for (HWND child = GetWindow(Handle(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r = RectInParent(child);
        if (r.top >= row.top) {
            OffsetRect(&r, 0, shift);
        } else if (r.bottom >= row.top) {
            r.bottom += shift;
        } else {
            continue;
        }
        MoveWindow(child, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
    }
    RECT form{};
    GetWindowRect(Handle(), &form);
    SetWindowPos(Handle(), nullptr, 0, 0, form.right - form.left, form.bottom - form.top + shift,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND FormWindow::CreateControl(const char* className, const char* text, DWORD style, int id,
                               RECT dialogUnits) {
    MapDialogRect(Handle(), &dialogUnits);
    HWND control = CreateWindowExA(
        0, className, text, WS_CHILD | WS_VISIBLE | style, dialogUnits.left, dialogUnits.top,
        dialogUnits.right - dialogUnits.left, dialogUnits.bottom - dialogUnits.top, Handle(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ProgramInstance(), nullptr);
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
                GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != 0 && [&] {
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
