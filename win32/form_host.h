#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "ui/presenters/form_view.h"
#include "win32/window.h"

namespace kavendrum::win32 {

// A form's boxes and dialogs, owned by the form's window.
class FormDialogs : public ui::DialogView {
  public:
    void SetOwner(HWND owner) { m_owner = owner; }

    bool ShowBox(const std::string& text, const std::string& caption, ui::BoxStyle style) override;
    std::string ChooseFileToOpen(const std::string& filter) override;
    std::optional<std::string> ChooseFolder(const std::string& initial) override;

  private:
    HWND m_owner = nullptr;
};

// "Kavendrum Head File(*.kdh)" as the open-file dialog takes a filter: the description, then
// the pattern in its parentheses, each ended by a zero, and a last zero.
std::string OpenFileFilter(const std::string& description);

// The progress bar in the status bar's message pane, right of its label; painted by itself in
// the etched style. Its range, step and position behave as the platform's progress control's.
class CProgressBar : public ui::ProgressView, public Window {
  public:
    static constexpr const char* kClassName = "KavendrumProgress";

    explicit CProgressBar(HWND statusBar = nullptr) : m_statusBar(statusBar) {}
    ~CProgressBar() override;

    void SetStatusBar(HWND statusBar) { m_statusBar = statusBar; }

    bool ShowInPane(const std::string& label, int widthPercent, int upperBound, int pane) override;
    bool SetWidthPercent(int percent) override;
    bool SetStepRange(int lower, int upper, int step) override;
    int SetPosition(int position) override;
    int Advance() override;
    // At a run's end the bar goes until the next run needs it; a text the run left in the pane,
    // such as its result, stays, and only the bar's own label gives way to the idle text.
    void SetBusy(bool busy) override;
    // Follows the pane after the status bar changed its size.
    bool FitToPane();

  protected:
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void Paint();
    void ShowNow();
    void MakeVisible();

    HWND m_statusBar;
    int m_nWidthPercent = 100;
    int m_nPane = 0;
    std::string m_strLabel;
    std::string m_strSavedPaneText;
    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nStep = 1;
    int m_nPosition = 0;
    DWORD m_dwLastPaint = 0;
};

}  // namespace kavendrum::win32
