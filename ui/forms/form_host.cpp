#include "ui/forms/form_host.h"

#include "engine/io/file_error.h"
#include "ui/forms/modal_dialogs.h"

namespace kavendrum::ui {

void CFormHost::ShowMessage(const std::string& text, const std::string& caption) {
    ShowBox(m_pOwner, QString::fromStdString(text), QString::fromStdString(caption), BoxStyle::Ok);
}

bool CFormHost::AskOkCancel(const std::string& text, const std::string& caption) {
    return ShowBox(m_pOwner, QString::fromStdString(text), QString::fromStdString(caption),
                   BoxStyle::OkCancel);
}

void CFormHost::ReportFileError(const FileError& error) {
    ShowBox(m_pOwner, QString::fromStdString(FileErrorText(error)), "Kavendrum", BoxStyle::Stop);
}

bool CFormHost::ShowInPane(const std::string& label, int widthPercent, int upperBound, int pane) {
    return m_progress.ShowInPane(QString::fromStdString(label), widthPercent, upperBound, pane);
}

bool CFormHost::SetWidthPercent(int percent) {
    return m_progress.SetWidthPercent(percent);
}

bool CFormHost::SetStepRange(int lower, int upper, int step) {
    return m_progress.SetStepRange(lower, upper, step);
}

int CFormHost::SetPosition(int position) {
    return m_progress.SetPosition(position);
}

int CFormHost::Advance() {
    return m_progress.Advance();
}

}  // namespace kavendrum::ui
