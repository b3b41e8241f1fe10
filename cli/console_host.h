#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "cli/progress_line.h"
#include "engine/operation_host.h"

namespace kavendrum {

// How questions are answered: on the terminal, or always OK, or always Cancel.
enum class Answering { Ask, AlwaysOk, AlwaysCancel };

// The command line as an operation's host: "Error" messages on standard error, others on
// standard output, questions on the terminal, progress as one line on standard error.
class ConsoleHost : public OperationHost {
  public:
    ConsoleHost(Answering answering, bool showProgress);

    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool AskOkCancel(const std::string& text, const std::string& caption) override;
    void ReportFileError(const FileError& error) override;

    bool ShowInPane(const std::string& label, int widthPercent, int upperBound, int pane) override;
    bool SetWidthPercent(int percent) override;
    bool SetStepRange(int lower, int upper, int step) override;
    int SetPosition(int position) override;
    int Advance() override;

    void SetTotalBytes(std::uint64_t bytes) { m_progress.SetTotalBytes(bytes); }
    // Says why, on a line of its own, after the error message `text` whenever that is shown.
    void ExplainError(std::string text, std::string reason) {
        m_explained = std::move(text);
        m_reason = std::move(reason);
    }

  private:
    Answering m_answering;
    std::string m_explained;
    std::string m_reason;
    ProgressLine m_progress;
};

// A message's text as lines for the terminal: CR LF becomes a plain line end.
std::string TerminalText(const std::string& text);

}  // namespace kavendrum
