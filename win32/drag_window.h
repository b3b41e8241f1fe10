#pragma once

#include <functional>
#include <optional>
#include <string>

#include "ui/presenters/frame_presenter.h"
#include "win32/window.h"

namespace kavendrum::win32 {

// The small always-on-top drop window, template 161: files dropped on it go to the form shown;
// a click raises the frame, a drag moves it, a double click shows or hides the frame, and its
// menu reaches the frame's commands.
class CDragWindow : public Window {
  public:
    using DropHandler = std::function<void(const std::string& path)>;

    CDragWindow() = default;
    ~CDragWindow() override;

    bool Create();
    // The frame that receives its commands and its dropped files.
    void Link(HWND frame, DropHandler onDrop);
    // Where it is and whether it shows, as the profile keeps it; nothing without a window.
    std::optional<ui::DropWindowPlace> Place() const;

  protected:
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void RaiseFrame();
    void ShowMenu(LPARAM where);
    void OnDropFiles(HDROP drop);
    void ShowProgramIcon();

    HWND m_hMainFrame = nullptr;
    DropHandler m_onDrop;
    HICON m_hIcon = nullptr;
};

// On a first start, before any place was kept: the drop window moves beside the frame, where it
// covers none of its controls (the place the Linux program chooses).
void PlaceDragWindowBeside(const CDragWindow& dragWindow, HWND frame);

}  // namespace kavendrum::win32
