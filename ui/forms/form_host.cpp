#include "ui/forms/form_host.h"

#include "ui/forms/modal_dialogs.h"

namespace kavendrum::ui {

bool CFormHost::ShowBox(const std::string& text, const std::string& caption, BoxStyle style) {
    return ui::ShowBox(m_pOwner, QString::fromStdString(text), QString::fromStdString(caption),
                       style);
}

std::string CFormHost::ChooseFileToOpen(const std::string& filter) {
    return ui::ChooseFileToOpen(m_pOwner, QString::fromStdString(filter)).toStdString();
}

std::optional<std::string> CFormHost::ChooseFolder(const std::string& initial) {
    const auto chosen = ui::ChooseFolder(m_pOwner, QString::fromStdString(initial));
    return chosen ? std::optional<std::string>(chosen->toStdString()) : std::nullopt;
}

bool CFormHost::ShowInPane(const std::string& label, int widthPercent, int upperBound, int pane) {
    return m_pProgress != nullptr &&
           m_pProgress->ShowInPane(QString::fromStdString(label), widthPercent, upperBound, pane);
}

bool CFormHost::SetWidthPercent(int percent) {
    return m_pProgress != nullptr && m_pProgress->SetWidthPercent(percent);
}

bool CFormHost::SetStepRange(int lower, int upper, int step) {
    return m_pProgress != nullptr && m_pProgress->SetStepRange(lower, upper, step);
}

int CFormHost::SetPosition(int position) {
    return m_pProgress != nullptr ? m_pProgress->SetPosition(position) : 0;
}

int CFormHost::Advance() {
    return m_pProgress != nullptr ? m_pProgress->Advance() : 0;
}

}  // namespace kavendrum::ui
