#pragma once

#include "win32/window.h"

namespace kavendrum::win32 {

// The modal About box, template 100, with the home page and mail links of the build.
class CAboutDlg : public Window {
  public:
    void DoModal(HWND owner);

  protected:
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void OnInitDialog();
    void OpenLink(int id);

    HFONT m_linkFont = nullptr;
    bool m_bVisited[2] = {};
};

}  // namespace kavendrum::win32
