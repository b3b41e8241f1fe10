#include "win32/window.h"

namespace kavendrum::win32 {

HINSTANCE ProgramInstance() {
    return GetModuleHandleA(nullptr);
}

Window::~Window() {
    Destroy();
}

// The window is let go before it is destroyed: its last messages may come while the object is
// being destroyed, when its handlers are no longer there to answer them.
void Window::Destroy() {
    HWND hwnd = m_hwnd;
    Detach();
    if (hwnd != nullptr) {
        DestroyWindow(hwnd);
    }
}

Window* Window::Attach(HWND hwnd, LPARAM createParam) {
    auto* window = reinterpret_cast<Window*>(createParam);
    if (window != nullptr) {
        window->m_hwnd = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    return window;
}

void Window::Detach() {
    if (m_hwnd != nullptr) {
        SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, 0);
        m_hwnd = nullptr;
    }
}

bool Window::CreateWindowOfClass(const char* className, const char* text, DWORD style,
                                 DWORD exStyle, const RECT& rect, HWND parent, int id) {
    const auto menu =
        (style & WS_CHILD) != 0 ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)) : nullptr;
    CreateWindowExA(exStyle, className, text, style, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, parent, menu, ProgramInstance(), this);
    return m_hwnd != nullptr;
}

bool Window::CreateFromTemplate(int templateId, HWND parent) {
    m_bDialog = true;
    CreateDialogParamA(ProgramInstance(), MAKEINTRESOURCEA(templateId), parent, DialogProc,
                       reinterpret_cast<LPARAM>(this));
    return m_hwnd != nullptr;
}

INT_PTR Window::RunModal(int templateId, HWND owner) {
    m_bDialog = true;
    const INT_PTR result = DialogBoxParamA(ProgramInstance(), MAKEINTRESOURCEA(templateId), owner,
                                           DialogProc, reinterpret_cast<LPARAM>(this));
    Detach();
    return result;
}

LRESULT CALLBACK Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* window = nullptr;
    if (message == WM_NCCREATE) {
        window = Attach(hwnd, reinterpret_cast<LPARAM>(
                                  reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    } else {
        window = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    std::optional<LRESULT> result;
    if (window != nullptr) {
        result = window->OnMessage(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            window->Detach();
        }
    }
    return result ? *result : DefWindowProcA(hwnd, message, wParam, lParam);
}

INT_PTR CALLBACK Window::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* window = nullptr;
    if (message == WM_INITDIALOG) {
        window = Attach(hwnd, lParam);
    } else {
        window = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (window == nullptr) {
        return FALSE;
    }
    const std::optional<LRESULT> result = window->OnMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        window->Detach();
    }
    if (!result) {
        return message == WM_INITDIALOG ? TRUE : FALSE;
    }
    // These return their answer directly; every other one through the message result.
    switch (message) {
        case WM_INITDIALOG:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_QUERYDRAGICON:
            return static_cast<INT_PTR>(*result);
        default:
            SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, *result);
            return TRUE;
    }
}

bool RegisterWindowClass(const char* className, HCURSOR cursor, HBRUSH background, UINT style) {
    WNDCLASSEXA windowClass{};
    if (GetClassInfoExA(ProgramInstance(), className, &windowClass)) {
        return true;
    }
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = style;
    windowClass.lpfnWndProc = Window::WindowProc;
    windowClass.hInstance = ProgramInstance();
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = className;
    windowClass.hIcon = LoadIconA(ProgramInstance(), MAKEINTRESOURCEA(128));
    return RegisterClassExA(&windowClass) != 0;
}

std::string WindowText(HWND hwnd) {
    const int length = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    const int copied = GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

}  // namespace kavendrum::win32
