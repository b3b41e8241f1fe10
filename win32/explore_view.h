#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>

#include "win32/window.h"

namespace kavendrum::win32 {

// The navigation tree in the frame's left pane, template 130: "Split File", "Merge File" and
// "Option", the item of the form shown marked with a red arrow, and the logo below.
class CExploreView : public Window {
  public:
    // Called with the form id of an item the user chose.
    using SwitchRequest = std::function<void(int formId)>;

    explicit CExploreView(SwitchRequest onSwitch) : m_onSwitch(std::move(onSwitch)) {}
    ~CExploreView() override;

    bool Create(HWND parent);
    // Fills the tree the first time, marking the item of the form `view` (1 to 3).
    void OnInitialUpdate(int view);
    // The arrow on the item of `view` and the selection on it; nothing before the tree is filled.
    void Mark(int view);
    void Layout(int width, int height);
    HWND Tree() const { return Item(1043); }

  protected:
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void OnSelectionChanged(const NMTREEVIEWA& change);

    SwitchRequest m_onSwitch;
    HIMAGELIST m_imageList = nullptr;
    HIMAGELIST m_stateImageList = nullptr;
    HTREEITEM m_hItems[3] = {};
    bool m_bFirstInit = true;
    bool m_bMarking = false;
};

}  // namespace kavendrum::win32
