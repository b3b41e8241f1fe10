#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "cli/progress_line.h"
#include "engine/operation_host.h"

namespace kavendrum {

// How questions are answered: on the terminal, or always OK, or always Cancel.
enum class Answering { Ask, AlwaysOk, AlwaysCancel };

// What the command line says besides errors, which are always shown.
struct Voice {
    bool progress = true;          // the progress line, on a terminal only
    bool progressAlways = false;   // also into a file or a pipe, a line a second
    bool successMessages = true;   // the "Message" texts such as "Split file successfully!"
    std::FILE* messages = stdout;  // where those go: standard error when stdout carries data
};

// The command line as an operation's host: "Error" messages on standard error, others on the
// voice's stream, questions on the terminal, progress as one line on standard error. A message
// about a file is followed, as in coreutils, by a line naming the file and the system's reason.
class ConsoleHost : public OperationHost {
  public:
    ConsoleHost(Answering answering, Voice voice);

    void Notify(const Notice& notice) override;
    bool Ask(const Question& question) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool AskOkCancel(const std::string& text, const std::string& caption) override;
    void ReportFileError(const FileError& error) override;
    void ShowMessageAbout(const std::string& text, const std::string& caption,
                          const std::string& path, const FileStatus& failure) override;
    bool AskOkCancelAbout(const std::string& text, const std::string& caption,
                          const std::string& path) override;
    void BytesDone(std::uint64_t bytes) override { m_progress.ShowBytes(bytes); }
    void EnterPhase(RunPhase phase, std::uint64_t bytes) override {
        m_progress.SetPhase(PhaseName(phase));
        if (bytes != 0) {
            m_progress.SetTotalBytes(bytes);
        }
    }
    // True once `stopSignal`, set by a signal handler, is nonzero.
    bool StopRequested() override { return m_stopSignal != nullptr && *m_stopSignal != 0; }
    void WatchStopSignal(const volatile std::sig_atomic_t* stopSignal) {
        m_stopSignal = stopSignal;
    }

    bool ShowInPane(const std::string& label, int widthPercent, int upperBound, int pane) override;
    bool SetWidthPercent(int percent) override;
    bool SetStepRange(int lower, int upper, int step) override;
    int SetPosition(int position) override;
    int Advance() override;

    void SetTotalBytes(std::uint64_t bytes) { m_progress.SetTotalBytes(bytes); }
    // What the run does from now on, for the progress line: "verifying", "merging".
    // Whether the run reported success, shown or not; it may still have failed afterwards.
    bool ReportedSuccess() const { return m_reportedSuccess; }
    // A line of the program's own, on standard error, in the form "kavendrum-cli: text".
    void Complain(const std::string& text);

  private:
    void ShowFailure(const std::string& text);
    void ShowSuccess(const std::string& text);

    Answering m_answering;
    Voice m_voice;
    ProgressLine m_progress;
    bool m_reportedSuccess = false;
    const volatile std::sig_atomic_t* m_stopSignal = nullptr;
};

bool IsTerminal(std::FILE* stream);

// A message's text as lines for the terminal: CR LF becomes a plain line end.
std::string TerminalText(const std::string& text);

// Why an operation on a file failed, in the system's words ("No such file or directory").
std::string SystemReason(const FileError& failure);

// The line the command line shows under a notice's text: the file it concerns and, when known,
// why; nothing when the text says it all.
std::optional<std::string> ReasonLine(const Notice& notice);

// The system's words for a failure, or nothing when there is none.
std::string ReasonText(const FileStatus& failure);

}  // namespace kavendrum
