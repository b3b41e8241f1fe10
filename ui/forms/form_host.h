#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

#include "ui/controls/progress_bar.h"
#include "ui/presenters/form_view.h"

namespace kavendrum::ui {

// A form's boxes and dialogs, owned by the form, and its own bar in the status bar, for the
// form's presenter. A form without a bar passes none.
class CFormHost : public DialogView, public ProgressView {
  public:
    CFormHost(QWidget* owner, CProgressBar* progress) : m_pOwner(owner), m_pProgress(progress) {}

    bool ShowBox(const std::string& text, const std::string& caption, BoxStyle style) override;
    std::string ChooseFileToOpen(const std::string& filter) override;
    std::string ChooseFileToOpenIn(const std::string& filter, const std::string& folder) override;
    std::optional<std::string> ChooseFolder(const std::string& initial) override;

    bool ShowInPane(const std::string& label, int widthPercent, int upperBound, int pane) override;
    bool SetWidthPercent(int percent) override;
    bool SetStepRange(int lower, int upper, int step) override;
    int SetPosition(int position) override;
    int Advance() override;
    void SetBusy(bool busy) override;

  private:
    QWidget* m_pOwner;
    CProgressBar* m_pProgress;
    // What SetBusy disabled, to be enabled again, and the focus to give back.
    QList<QPointer<QWidget>> m_disabled;
    QPointer<QWidget> m_pFocus;
};

}  // namespace kavendrum::ui
