#pragma once

#include <QWidget>

#include "engine/operation_host.h"
#include "ui/controls/progress_bar.h"

namespace kavendrum::ui {

// A form as an operation's host: its message boxes are owned by the form and its progress goes
// to the form's own bar in the status bar.
class CFormHost : public OperationHost {
  public:
    CFormHost(QWidget* owner, CProgressBar& progress) : m_pOwner(owner), m_progress(progress) {}

    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool AskOkCancel(const std::string& text, const std::string& caption) override;
    void ReportFileError(const FileError& error) override;
    bool ShowInPane(const std::string& label, int widthPercent, int upperBound, int pane) override;
    bool SetWidthPercent(int percent) override;
    bool SetStepRange(int lower, int upper, int step) override;
    int SetPosition(int position) override;
    int Advance() override;

  private:
    QWidget* m_pOwner;
    CProgressBar& m_progress;
};

// Marks the time an operation runs, during which the main frame refuses to close.
class COperationScope {
  public:
    COperationScope() { ++s_nRunning; }
    ~COperationScope() { --s_nRunning; }
    COperationScope(const COperationScope&) = delete;
    COperationScope& operator=(const COperationScope&) = delete;

    static bool AnyRunning() { return s_nRunning > 0; }

  private:
    static inline int s_nRunning = 0;
};

}  // namespace kavendrum::ui
