#pragma once

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>

#include "ui/presenters/frame_presenter.h"
#include "win32/drag_window.h"
#include "win32/explore_view.h"
#include "win32/form_window.h"
#include "win32/registry_profile.h"
#include "win32/window.h"

namespace kavendrum::win32 {

// The program's main window: menu, tool bar, status bar, and a splitter with the navigation
// tree on the left and one of the three forms on the right, over the frame presenter.
class CMainFrame : public Window, public ui::FrameView {
  public:
    static constexpr const char* kClassName = "KavendrumFrame";

    CMainFrame(std::string optionFile, std::string startArgument, std::string dumpPath);
    ~CMainFrame() override;

    // Creates and fills the window; false when the program is to end.
    bool Create();
    void LinkDragWindow(CDragWindow* dragWindow);
    // For the message loop: the accelerators and the dialog keys of the shown form.
    bool TranslateForLoop(MSG& message);
    ui::Profile& Profile() { return m_profile; }

  protected:
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    bool CreateBars();
    bool CreatePanes();
    void SetInitialSize();
    void Layout();
    void OnCommand(int id);
    void OnInitMenuPopup(HMENU menu);
    void OnMenuSelect(int id, UINT flags);
    void OnToolTip(NMTTDISPINFOA& info);
    void OnClose();
    void ShowOrHide();
    void OpenHelp();
    void OnDroppedFile(const std::string& path);
    void NextPane();
    bool OnSplitterMouse(UINT message, LPARAM lParam);
    std::string Prompt(int id) const;

    // FrameView
    bool ShowBox(const std::string& text, const std::string& caption, ui::BoxStyle style) override;
    bool HasExploreView() const override;
    bool CreateForm(int formId) override;
    void MarkTree(int view) override;
    void MarkViewMenu(int commandId) override;
    void EnableCommand(int commandId, bool enabled) override;
    void CheckCommand(int commandId, bool checked) override;
    bool IsShown() const override;
    void PutStartArgument(const std::string& argument) override;

    ui::FramePresenter m_presenter;
    RegistryProfile m_profile;
    std::string m_strDumpPath;
    UINT m_nDumpMessage = 0;
    HACCEL m_hAccel = nullptr;
    HWND m_hToolBar = nullptr;
    HWND m_hStatusBar = nullptr;
    HIMAGELIST m_hToolImages = nullptr;
    HIMAGELIST m_hPieceImages = nullptr;
    CExploreView m_explore;
    std::unique_ptr<FormWindow> m_pForm;
    CDragWindow* m_pDragWindow = nullptr;
    int m_nTreeWidth = 0;
    bool m_bDraggingSplitter = false;
    bool m_bShownOnce = false;
};

}  // namespace kavendrum::win32
