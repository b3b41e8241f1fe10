#include "ui/presenters/form_view.h"

#include "engine/folders.h"
#include "engine/io/file_error.h"
#include "engine/paths.h"

namespace kavendrum::ui {

std::string StartFolderFor(const std::string& path) {
    const std::string folder = GetFolderPart(path);
    return !folder.empty() && FolderExists(folder) ? folder : std::string();
}

void FormHost::ShowMessage(const std::string& text, const std::string& caption) {
    m_dialogs.ShowBox(text, caption, BoxStyle::Ok);
}

bool FormHost::AskOkCancel(const std::string& text, const std::string& caption) {
    return m_dialogs.ShowBox(text, caption, BoxStyle::OkCancel);
}

void FormHost::ReportFileError(const FileError& error) {
    m_dialogs.ShowBox(FileErrorText(error), "Kavendrum", BoxStyle::Stop);
}

bool FormHost::ShowInPane(const std::string& label, int widthPercent, int upperBound, int pane) {
    return m_progress.ShowInPane(label, widthPercent, upperBound, pane);
}

bool FormHost::SetWidthPercent(int percent) {
    return m_progress.SetWidthPercent(percent);
}

bool FormHost::SetStepRange(int lower, int upper, int step) {
    return m_progress.SetStepRange(lower, upper, step);
}

int FormHost::SetPosition(int position) {
    return m_progress.SetPosition(position);
}

int FormHost::Advance() {
    return m_progress.Advance();
}

}  // namespace kavendrum::ui
