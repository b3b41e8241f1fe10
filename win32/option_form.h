#pragma once

#include "ui/presenters/option_presenter.h"
#include "win32/form_window.h"

namespace kavendrum::win32 {

// The option form: template 133 over the option presenter.
class COptionView : public FormWindow, public ui::OptionView {
  public:
    explicit COptionView(ui::OptionSource* options);

    void OnInitialUpdate() override;
    void OnFrameCommand(int commandId) override;
    void SetLoad() { m_presenter.m_bLoad = true; }

  protected:
    bool OnControl(int id, int code) override;

  private:
    void OnSave() { m_presenter.OnSave(); }
    void OnReset() { m_presenter.OnReset(); }
    HWND Box(ui::OptionBox box) const;

    // OptionView
    ui::OptionChoices ReadChoices() const override;
    void WriteChoices(const ui::OptionChoices& choices) override;
    int Check(ui::OptionBox box) const override;
    void SetCheck(ui::OptionBox box, int state) override;
    void RedrawChecks() override;

    FormDialogs m_dialogs;
    ui::OptionPresenter m_presenter;
};

}  // namespace kavendrum::win32
