#pragma once

#include <deque>
#include <string>
#include <vector>

#include "engine/operation_host.h"

namespace kavendrum::testing {

struct Shown {
    std::string text;
    std::string caption;
    bool operator==(const Shown&) const = default;
};

// A host that keeps everything an operation says, answers its questions from a queue (OK when
// the queue is empty) and writes every progress call down as text, such as "SetStepRange(0,3,1)".
class RecordingHost : public OperationHost {
  public:
    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool AskOkCancel(const std::string& text, const std::string& caption) override;
    void ReportFileError(const FileError& error) override;
    bool ShowInPane(const std::string& label, int widthPercent, int upperBound, int pane) override;
    bool SetWidthPercent(int percent) override;
    bool SetStepRange(int lower, int upper, int step) override;
    int SetPosition(int position) override;
    int Advance() override;

    void AnswerNext(bool ok) { answers.push_back(ok); }
    // The texts of the messages with caption "Error", in order.
    std::vector<std::string> Errors() const;
    int AdvanceCount() const;

    std::vector<Shown> messages;
    std::vector<Shown> questions;
    std::vector<FileError> fileErrors;
    std::vector<std::string> progress;
    std::deque<bool> answers;
    int position = 0;
};

}  // namespace kavendrum::testing
