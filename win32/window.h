#pragma once

#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace kavendrum::win32 {

// The module the program's resources come from.
HINSTANCE ProgramInstance();

// A window or dialog of ours: the system's messages reach OnMessage of the object that owns
// the handle. The object outlives its window; destroying the object destroys the window.
class Window {
  public:
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND Handle() const { return m_hwnd; }
    HWND Item(int id) const { return GetDlgItem(m_hwnd, id); }
    void Destroy();

    // The procedures that route the system's messages to the objects.
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  protected:
    Window() = default;

    // A value when the message was handled; nothing for the default processing.
    virtual std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // A window of a class registered with `WindowProc`.
    bool CreateWindowOfClass(const char* className, const char* text, DWORD style, DWORD exStyle,
                             const RECT& rect, HWND parent, int id);
    // A modeless dialog from a template.
    bool CreateFromTemplate(int templateId, HWND parent);
    // A modal dialog from a template; its end code.
    INT_PTR RunModal(int templateId, HWND owner);

  private:
    static Window* Attach(HWND hwnd, LPARAM createParam);
    void Detach();

    HWND m_hwnd = nullptr;
    bool m_bDialog = false;
};

// Registers a window class whose messages go to `Window::OnMessage`; true when it exists.
bool RegisterWindowClass(const char* className, HCURSOR cursor, HBRUSH background, UINT style = 0);

// Command routing: which handler of the owner serves a control's notification or a command.
template <class Owner>
class CommandMap {
  public:
    static constexpr int kAnyCode = -1;
    using Handler = void (Owner::*)();
    struct Entry {
        int id;
        int code;
        Handler handler;
    };

    CommandMap(std::initializer_list<Entry> entries) : m_entries(entries) {}

    // True when a handler ran.
    bool Dispatch(Owner& owner, int id, int code) const {
        for (const Entry& entry : m_entries) {
            if (entry.id == id && (entry.code == kAnyCode || entry.code == code)) {
                (owner.*entry.handler)();
                return true;
            }
        }
        return false;
    }

  private:
    std::vector<Entry> m_entries;
};

// Text of a window in the program's 8-bit code page.
std::string WindowText(HWND hwnd);

}  // namespace kavendrum::win32
