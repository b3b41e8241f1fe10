#include "support/recording_host.h"

#include <algorithm>

namespace kavendrum::testing {

void RecordingHost::ShowMessage(const std::string& text, const std::string& caption) {
    messages.push_back({text, caption});
}

bool RecordingHost::AskOkCancel(const std::string& text, const std::string& caption) {
    questions.push_back({text, caption});
    if (answers.empty()) {
        return true;
    }
    const bool ok = answers.front();
    answers.pop_front();
    return ok;
}

void RecordingHost::ReportFileError(const FileError& error) {
    fileErrors.push_back(error);
}

bool RecordingHost::ShowInPane(const std::string& label, int widthPercent, int upperBound,
                               int pane) {
    progress.push_back("ShowInPane(" + label + "," + std::to_string(widthPercent) + "," +
                       std::to_string(upperBound) + "," + std::to_string(pane) + ")");
    return true;
}

bool RecordingHost::SetWidthPercent(int percent) {
    progress.push_back("SetWidthPercent(" + std::to_string(percent) + ")");
    return true;
}

bool RecordingHost::SetStepRange(int lower, int upper, int step) {
    progress.push_back("SetStepRange(" + std::to_string(lower) + "," + std::to_string(upper) + "," +
                       std::to_string(step) + ")");
    return true;
}

int RecordingHost::SetPosition(int newPosition) {
    progress.push_back("SetPosition(" + std::to_string(newPosition) + ")");
    const int previous = position;
    position = newPosition;
    return previous;
}

int RecordingHost::Advance() {
    progress.push_back("Advance");
    return position++;
}

std::vector<std::string> RecordingHost::Errors() const {
    std::vector<std::string> texts;
    for (const auto& shown : messages) {
        if (shown.caption == "Error") {
            texts.push_back(shown.text);
        }
    }
    return texts;
}

int RecordingHost::AdvanceCount() const {
    return static_cast<int>(std::count(progress.begin(), progress.end(), "Advance"));
}

}  // namespace kavendrum::testing
