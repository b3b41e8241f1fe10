#pragma once

#include <chrono>
#include <future>
#include <optional>
#include <string>

#include "engine/operation_host.h"

namespace kavendrum::ui {

// The three forms by their form ids (their templates); the frame's m_nCurView is the form id
// less 130.
inline constexpr int kSplitFormId = 131;
inline constexpr int kMergeFormId = 132;
inline constexpr int kOptionFormId = 133;

enum class BoxStyle {
    Ok,           // one OK button, no icon
    OkCancel,     // OK and Cancel, no icon
    Warning,      // the framework's own notices: OK and the exclamation icon
    Information,  // OK and the information icon
    Stop,         // the file-error report: OK and the stop icon
};

// The modal boxes and dialogs of a form, owned by the form. Whatever toolkit draws them, a test
// can answer them instead of a person.
class DialogView {
  public:
    virtual ~DialogView() = default;

    // True for OK.
    virtual bool ShowBox(const std::string& text, const std::string& caption, BoxStyle style) = 0;
    // A notice, or a question, in its box: the table's words and caption.
    void Show(const Notice& notice) { ShowBox(TextOf(notice), CaptionOf(notice.id), BoxStyle::Ok); }
    bool Ask(const Question& question) {
        return ShowBox(TextOf(question), CaptionOf(question.id), BoxStyle::OkCancel);
    }
    // The path chosen in an open-file dialog with the given filter; empty when cancelled.
    virtual std::string ChooseFileToOpen(const std::string& filter) = 0;
    // The same, opened in `folder`; in the user's home folder when it is empty.
    virtual std::string ChooseFileToOpenIn(const std::string& filter,
                                           const std::string& /*folder*/) {
        return ChooseFileToOpen(filter);
    }
    // The folder chosen in the folder picker, starting at `initial`; nothing when cancelled.
    virtual std::optional<std::string> ChooseFolder(const std::string& initial) = 0;
};

// The progress bar a form places in the status bar.
class ProgressView {
  public:
    virtual ~ProgressView() = default;

    virtual bool ShowInPane(const std::string& label, int widthPercent, int upperBound,
                            int pane) = 0;
    virtual bool SetWidthPercent(int percent) = 0;
    virtual bool SetStepRange(int lower, int upper, int step) = 0;
    virtual int SetPosition(int position) = 0;
    virtual int Advance() = 0;
    // While an operation runs: the busy cursor, and the controls that can do nothing meanwhile
    // disabled. Afterwards the bar's label leaves the status bar.
    virtual void SetBusy(bool /*busy*/) {}
};

// The time a form's operation runs, shown as busy.
class BusyScope {
  public:
    explicit BusyScope(ProgressView& progress) : m_progress(progress) { m_progress.SetBusy(true); }
    ~BusyScope() { m_progress.SetBusy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    ProgressView& m_progress;
};

// Runs `work` on a thread of its own while this thread steps the bar every `interval`, for a
// run that cannot say how far it is: the bar goes round as the platform's does past its end,
// and shows the program at work rather than hung. The bar steps once at once, however short the
// run.
template <class Work>
auto RunWithMovingBar(ProgressView& progress, Work work,
                      std::chrono::milliseconds interval = std::chrono::milliseconds(100)) {
    auto running = std::async(std::launch::async, std::move(work));
    progress.Advance();
    while (running.wait_for(interval) != std::future_status::ready) {
        progress.Advance();
    }
    return running.get();
}

// A form as an operation's host: its boxes go to the form's dialogs, its progress to the form's
// bar, and a file error is shown as the framework shows one.
// The folder a file dialog opens in for a field's path: the path's own folder while it is one,
// else empty, the user's home folder, never the program's working folder.
std::string StartFolderFor(const std::string& path);

class FormHost : public OperationHost {
  public:
    FormHost(DialogView& dialogs, ProgressView& progress)
        : m_dialogs(dialogs), m_progress(progress) {}

    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool AskOkCancel(const std::string& text, const std::string& caption) override;
    void ReportFileError(const FileError& error) override;
    bool ShowInPane(const std::string& label, int widthPercent, int upperBound, int pane) override;
    bool SetWidthPercent(int percent) override;
    bool SetStepRange(int lower, int upper, int step) override;
    int SetPosition(int position) override;
    int Advance() override;

  protected:
    DialogView& Dialogs() { return m_dialogs; }
    ProgressView& Progress() { return m_progress; }

  private:
    DialogView& m_dialogs;
    ProgressView& m_progress;
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
