#include "win32/drag_window.h"

#include <shellapi.h>
#include <windowsx.h>

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "win32/resource.h"

namespace kavendrum::win32 {

namespace {

// The move command with the caption's hit-test code: the platform moves the window with the
// pointer until the button is released.
constexpr WPARAM kMoveByCaption = 0xF012;

}  // namespace

CDragWindow::~CDragWindow() {
    Destroy();
    if (m_hIcon != nullptr) {
        DestroyIcon(m_hIcon);
    }
}

bool CDragWindow::Create() {
    if (!CreateFromTemplate(IDD_DRAG, nullptr)) {
        return false;
    }
    DragAcceptFiles(Handle(), TRUE);
    ShowProgramIcon();
    return true;
}

// The template's picture is given the program's icon at the size of the window's inside, as
// the icon file holds it, instead of leaving the system to find one of its own size.
void CDragWindow::ShowProgramIcon() {
    HWND picture = GetWindow(Handle(), GW_CHILD);
    RECT inside{};
    GetClientRect(Handle(), &inside);
    const int side = std::min(inside.right, inside.bottom);
    if (picture == nullptr || side <= 0) {
        return;
    }
    m_hIcon = static_cast<HICON>(
        LoadImageA(ProgramInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, side, side, 0));
    if (m_hIcon == nullptr) {
        return;
    }
    SetWindowPos(picture, nullptr, (inside.right - side) / 2, (inside.bottom - side) / 2, side,
                 side, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(picture, STM_SETICON, reinterpret_cast<WPARAM>(m_hIcon), 0);
}

void PlaceDragWindowBeside(const CDragWindow& dragWindow, HWND frame) {
    if (dragWindow.Handle() == nullptr || frame == nullptr) {
        return;
    }
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT framed{};
    GetWindowRect(frame, &framed);
    RECT drop{};
    GetWindowRect(dragWindow.Handle(), &drop);
    RECT statusBar{};
    GetWindowRect(FindWindowExA(frame, nullptr, STATUSCLASSNAMEA, nullptr), &statusBar);
    const ui::ProfilePoint at = ui::FirstDropWindowPlace(
        {work.left, work.top, work.right - work.left, work.bottom - work.top},
        {framed.left, framed.top, framed.right - framed.left, framed.bottom - framed.top},
        {drop.right - drop.left, drop.bottom - drop.top}, statusBar.bottom - statusBar.top);
    SetWindowPos(dragWindow.Handle(), HWND_TOPMOST, at.left, at.top, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE);
}

void CDragWindow::Link(HWND frame, DropHandler onDrop) {
    m_hMainFrame = frame;
    m_onDrop = std::move(onDrop);
}

std::optional<ui::DropWindowPlace> CDragWindow::Place() const {
    if (Handle() == nullptr) {
        return std::nullopt;
    }
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(Handle(), &placement);
    return ui::DropWindowPlace{IsWindowVisible(Handle()) != FALSE,
                               static_cast<int>(placement.rcNormalPosition.top),
                               static_cast<int>(placement.rcNormalPosition.left)};
}

void CDragWindow::RaiseFrame() {
    if (m_hMainFrame != nullptr && IsWindowVisible(m_hMainFrame)) {
        SetForegroundWindow(m_hMainFrame);
        SetFocus(Handle());
    }
}

void CDragWindow::ShowMenu(LPARAM where) {
    POINT at{GET_X_LPARAM(where), GET_Y_LPARAM(where)};
    if (at.x == -1 && at.y == -1) {
        at = POINT{5, 5};
        ClientToScreen(Handle(), &at);
    }
    HMENU menu = LoadMenuA(ProgramInstance(), MAKEINTRESOURCEA(IDR_DRAG_MENU));
    if (menu == nullptr) {
        return;
    }
    // Owned by the frame: the chosen command and the menu's check mark are the frame's.
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0,
                   m_hMainFrame != nullptr ? m_hMainFrame : Handle(), nullptr);
    DestroyMenu(menu);
}

void CDragWindow::OnDropFiles(HDROP drop) {
    std::string path;
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count && path.empty(); ++i) {
        const UINT length = DragQueryFileA(drop, i, nullptr, 0);
        std::vector<char> buffer(length + 1, '\0');
        DragQueryFileA(drop, i, buffer.data(), length + 1);
        path = buffer.data();
    }
    DragFinish(drop);
    if (!path.empty() && m_onDrop) {
        m_onDrop(path);
    }
}

std::optional<LRESULT> CDragWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return FALSE;
        case WM_COMMAND:
            // Enter, Esc and the dialog's own close never close or hide it.
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                return 0;
            }
            return std::nullopt;
        case WM_NCHITTEST:
            return HTCLIENT;
        case WM_LBUTTONDOWN:
            RaiseFrame();
            SendMessageA(Handle(), WM_LBUTTONUP, wParam, lParam);
            SendMessageA(Handle(), WM_SYSCOMMAND, kMoveByCaption, 0);
            return 0;
        case WM_RBUTTONDOWN:
            RaiseFrame();
            return std::nullopt;
        case WM_LBUTTONDBLCLK:
            if (m_hMainFrame != nullptr) {
                SendMessageA(m_hMainFrame, WM_COMMAND, ID_SHOW_OR_HIDE, 0);
            }
            return std::nullopt;
        case WM_CONTEXTMENU:
            ShowMenu(lParam);
            return 0;
        case WM_CLOSE:
            if (m_hMainFrame != nullptr) {
                PostMessageA(m_hMainFrame, WM_CLOSE, 0, 0);
            }
            return 0;
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
        default:
            return std::nullopt;
    }
}

}  // namespace kavendrum::win32
