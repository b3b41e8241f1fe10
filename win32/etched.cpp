#include "win32/etched.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

namespace kavendrum::win32 {

namespace {

constexpr COLORREF kDark = RGB(128, 128, 128);
constexpr COLORREF kLight = RGB(255, 255, 255);
constexpr COLORREF kFace = RGB(204, 204, 204);
constexpr COLORREF kPressed = RGB(110, 110, 110);
constexpr COLORREF kAccent = RGB(153, 153, 204);

void Line(HDC dc, HPEN pen, int x0, int y0, int x1, int y1) {
    const HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
    SelectObject(dc, old);
}

void Ring(HDC dc, HPEN topLeft, HPEN bottomRight, const RECT& r) {
    Line(dc, topLeft, r.left, r.bottom - 1, r.left, r.top);
    Line(dc, topLeft, r.left, r.top, r.right - 1, r.top);
    Line(dc, bottomRight, r.right - 1, r.top, r.right - 1, r.bottom - 1);
    Line(dc, bottomRight, r.right - 1, r.bottom - 1, r.left - 1, r.bottom - 1);
}

void SetOwnerDraw(HWND control) {
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    SetWindowLongA(control, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_OWNERDRAW);
    InvalidateRect(control, nullptr, TRUE);
}

std::string FirstDroppedPath(HDROP drop) {
    std::string path;
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count && path.empty(); ++i) {
        const UINT length = DragQueryFileA(drop, i, nullptr, 0);
        std::vector<char> buffer(length + 1, '\0');
        DragQueryFileA(drop, i, buffer.data(), length + 1);
        path = buffer.data();
    }
    DragFinish(drop);
    return path;
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR) {
    if (message == WM_NCPAINT) {
        const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        RECT window{};
        GetWindowRect(hwnd, &window);
        const RECT whole{0, 0, window.right - window.left, window.bottom - window.top};
        HDC dc = GetWindowDC(hwnd);
        DrawEtchedFrame(dc, whole);
        ReleaseDC(hwnd, dc);
        return result;
    }
    if (message == WM_DROPFILES) {
        // The change notification follows, as for typing.
        SetWindowTextA(hwnd, FirstDroppedPath(reinterpret_cast<HDROP>(wParam)).c_str());
        return 0;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK ComboProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                           DWORD_PTR) {
    if (message == WM_NCPAINT) {
        return 0;
    }
    if (message == WM_PAINT) {
        const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        RECT client{};
        GetClientRect(hwnd, &client);
        HDC dc = GetWindowDC(hwnd);
        DrawEtchedFrame(dc, client);
        const RECT button{client.right - 18, 2, client.right - 2, client.bottom - 2};
        DrawEtchedFrame(dc, button);
        ReleaseDC(hwnd, dc);
        return result;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

const EtchedPalette& EtchedPalette::Shared() {
    static const EtchedPalette palette;
    return palette;
}

EtchedPalette::EtchedPalette()
    : m_dark(CreatePen(PS_SOLID, 1, kDark)),
      m_light(CreatePen(PS_SOLID, 1, kLight)),
      m_focus(CreatePen(PS_SOLID, 1, kAccent)),
      m_checkMark(CreatePen(PS_SOLID, 2, RGB(0, 0, 0))),
      m_face(CreateSolidBrush(kFace)),
      m_pressed(CreateSolidBrush(kPressed)),
      m_accent(CreateSolidBrush(kAccent)) {}

EtchedPalette::~EtchedPalette() {
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(m_dark), static_cast<HGDIOBJ>(m_light),
                           static_cast<HGDIOBJ>(m_focus), static_cast<HGDIOBJ>(m_checkMark),
                           static_cast<HGDIOBJ>(m_face), static_cast<HGDIOBJ>(m_pressed),
                           static_cast<HGDIOBJ>(m_accent)}) {
        DeleteObject(object);
    }
}

void DrawEtchedFrame(HDC dc, const RECT& rect) {
    const EtchedPalette& palette = EtchedPalette::Shared();
    Ring(dc, palette.Dark(), palette.Light(), rect);
    const RECT inner{rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1};
    Ring(dc, palette.Light(), palette.Dark(), inner);
}

void EtchedControls::AttachButton(HWND button, const std::string& caption) {
    m_buttons[button] = caption;
    SetOwnerDraw(button);
}

void EtchedControls::AttachCheckBox(HWND box, const std::string& caption) {
    m_checkBoxes[box] = caption;
    SetOwnerDraw(box);
    if (m_states.count(box) == 0) {
        SetState(box, 0);
    }
}

void EtchedControls::AttachEdit(HWND edit) {
    SetWindowSubclass(edit, EditProc, 1, 0);
    SetWindowPos(edit, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

void EtchedControls::AttachComboBox(HWND combo) {
    SetWindowSubclass(combo, ComboProc, 1, 0);
}

int EtchedControls::State(HWND box) const {
    const auto state = m_states.find(box);
    return state != m_states.end() ? state->second : 0;
}

// Shown also as a window property (1 clear, 2 checked), so that a window dump can read it.
void EtchedControls::SetState(HWND box, int state) {
    m_states[box] = state;
    SetPropA(box, kCheckedProperty,
             reinterpret_cast<HANDLE>(static_cast<INT_PTR>(state != 0 ? 2 : 1)));
    InvalidateRect(box, nullptr, TRUE);
}

bool EtchedControls::Toggle(HWND control) {
    if (m_checkBoxes.count(control) == 0) {
        return false;
    }
    SetState(control, State(control) == 0 ? 1 : 0);
    UpdateWindow(control);
    return true;
}

bool EtchedControls::Draw(const DRAWITEMSTRUCT& item) const {
    if (const auto button = m_buttons.find(item.hwndItem); button != m_buttons.end()) {
        DrawButton(item, button->second);
        return true;
    }
    if (const auto box = m_checkBoxes.find(item.hwndItem); box != m_checkBoxes.end()) {
        DrawCheckBox(item, box->second);
        return true;
    }
    return false;
}

void EtchedControls::DrawButton(const DRAWITEMSTRUCT& item, const std::string& caption) const {
    const EtchedPalette& palette = EtchedPalette::Shared();
    const RECT& r = item.rcItem;
    HDC dc = item.hDC;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &r, pressed ? palette.Pressed() : palette.Face());
    if (!pressed) {
        DrawEtchedFrame(dc, r);
    }
    SetBkMode(dc, TRANSPARENT);
    const HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    if ((item.itemState & ODS_DISABLED) != 0) {
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    }
    SIZE extent{};
    GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
    const int xc = (r.left + r.right) / 2;
    const int yc = (r.top + r.bottom) / 2;
    TextOutA(dc, xc - extent.cx / 2, yc - extent.cy / 2, caption.c_str(),
             static_cast<int>(caption.size()));
    if ((item.itemState & ODS_FOCUS) != 0) {
        const HGDIOBJ oldPen = SelectObject(dc, palette.Focus());
        const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
        Rectangle(dc, xc - extent.cx / 2 - 1, yc - extent.cy / 2 - 1, xc + extent.cx / 2 + 3,
                  yc + extent.cy / 2 + 3);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
    }
    SelectObject(dc, oldFont);
}

void EtchedControls::DrawCheckBox(const DRAWITEMSTRUCT& item, const std::string& caption) const {
    const EtchedPalette& palette = EtchedPalette::Shared();
    HDC dc = item.hDC;
    FillRect(dc, &item.rcItem, palette.Face());
    const RECT box{item.rcItem.left, item.rcItem.top, item.rcItem.left + 13, item.rcItem.top + 13};
    DrawEtchedFrame(dc, box);
    const HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkColor(dc, RGB(204, 204, 204));
    TextOutA(dc, 16, 0, caption.c_str(), static_cast<int>(caption.size()));
    if (Checked(item.hwndItem)) {
        const HGDIOBJ oldPen = SelectObject(dc, palette.CheckMark());
        MoveToEx(dc, 2, 3, nullptr);
        LineTo(dc, 3, 8);
        MoveToEx(dc, 3, 9, nullptr);
        LineTo(dc, 9, 3);
        SelectObject(dc, oldPen);
    }
    if ((item.itemState & ODS_FOCUS) != 0) {
        SIZE extent{};
        GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
        const HGDIOBJ oldPen = SelectObject(dc, palette.Focus());
        const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
        Rectangle(dc, 15, 0, 16 + extent.cx, 12);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
    }
    SelectObject(dc, oldFont);
}

}  // namespace kavendrum::win32
