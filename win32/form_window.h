#pragma once

#include <windows.h>

#include "win32/data_exchange.h"
#include "win32/etched.h"
#include "win32/form_host.h"
#include "win32/window.h"

namespace kavendrum::win32 {

// What the three forms share as windows: a child dialog from its template in the frame's form
// pane, the face colour behind it, the etched controls, and change notifications kept from the
// handlers while the form writes its own fields.
class FormWindow : public Window {
  public:
    bool Create(int templateId, HWND parent);
    // Runs the command of the frame's menu or tool bar that this form serves.
    virtual void OnFrameCommand(int commandId) = 0;
    virtual void OnInitialUpdate() = 0;
    // Where the template's font cannot hold a text, its control takes the free room beside it
    // on its row, then what the edit box after it can spare; the template's geometry stays
    // wherever the texts fit. Run once the form is prepared.
    void FitTexts();

  protected:
    // A control's notification; true when a handler ran.
    virtual bool OnControl(int id, int code) = 0;

    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Opens a row `height` dialog units high at `top`: what lies below moves down, what spans
    // the line (a group box) grows, and so does the form. For the template's children only;
    // controls made later are placed where they belong after the row.
    void InsertRow(int top, int height);
    // A control made at run time in dialog units, after the template's controls.
    HWND CreateControl(const char* className, const char* text, DWORD style, int id,
                       RECT dialogUnits);

    DataExchange m_exchange;
    EtchedControls m_etched;
};

}  // namespace kavendrum::win32
