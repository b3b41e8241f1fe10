#pragma once

#include <cstdint>
#include <string>

#include "engine/io/file_error.h"
#include "engine/notice.h"
#include "engine/notice_text.h"

namespace kavendrum {

// The long parts of a run, each with its own progress from empty to full, so that a host can
// say what the bar stands for. Repairing is for rebuilding pieces from recovery files.
enum class RunPhase { Splitting, Verifying, Hashing, Merging, Repairing };

struct ContentVerification;

// Everything an operation says to the user goes through its host: the form that started it, the
// command line, or a test.
class OperationHost {
  public:
    virtual ~OperationHost() = default;

    // A box with one OK button and no icon.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    // A box with OK and Cancel and no icon; true for OK.
    virtual bool AskOkCancel(const std::string& text, const std::string& caption) = 0;
    // A read or write failure that the operation does not handle itself: the stop icon, the
    // caption "Kavendrum" and FileErrorText(error).
    virtual void ReportFileError(const FileError& error) = 0;

    // What happened, as data. A host that tells the cases apart (the command line: its stream,
    // its second line, its exit status) overrides these; the default shows the table's text in a
    // box, as a form does.
    virtual void Notify(const Notice& notice) {
        ShowMessageAbout(TextOf(notice), CaptionOf(notice.id), notice.path, notice.failure);
    }
    virtual bool Ask(const Question& question) {
        return AskOkCancelAbout(TextOf(question), CaptionOf(question.id), question.path);
    }

    // As ShowMessage and AskOkCancel, for a text about one file, with the failure that led to it
    // if there was one. A box shows the text alone, as always; a host that can say more (the
    // command line) names the file and the system's reason too.
    virtual void ShowMessageAbout(const std::string& text, const std::string& caption,
                                  const std::string& /*path*/, const FileStatus& /*failure*/) {
        ShowMessage(text, caption);
    }
    virtual bool AskOkCancelAbout(const std::string& text, const std::string& caption,
                                  const std::string& /*path*/) {
        return AskOkCancel(text, caption);
    }

    // Progress of a run whose size is known only at its end (a split of a stream): the bytes
    // moved so far. The bar has no range to show it against, so a form ignores it.
    virtual void BytesDone(std::uint64_t /*bytes*/) {}

    // What the run does from now on, and the bytes that part moves (0 when not known); the next
    // step range is that part's. A form's bar has no label, so a form ignores it.
    virtual void EnterPhase(RunPhase /*phase*/, std::uint64_t /*bytes*/) {}

    // True once the user has asked the run to stop (Ctrl-C or a termination signal in a terminal).
    // A run polls it between blocks, removes what it created or keeps what its journal can
    // finish, and returns Outcome::Interrupted. A form never asks: its runs are not cancelled.
    virtual bool StopRequested() { return false; }

    // A merge that verifies its pieces first hands over the rows it found as soon as the
    // verification ends, before it goes on or stops: a form marks its list then, the command line
    // prints the rows that failed. The merge's result carries them too.
    virtual void PiecesChecked(const ContentVerification& /*checked*/) {}

    // The progress bar in the status bar pane.
    virtual bool ShowInPane(const std::string& label, int widthPercent, int upperBound,
                            int pane) = 0;
    virtual bool SetWidthPercent(int percent) = 0;
    virtual bool SetStepRange(int lower, int upper, int step) = 0;
    virtual int SetPosition(int position) = 0;
    virtual int Advance() = 0;

    // A form places its bar on its first run and keeps it for the later ones.
    void PlaceProgressOnce() {
        if (!m_bProgressCreated) {
            ShowInPane("Operation Processing", 100, 100, 0);
            m_bProgressCreated = true;
        }
    }

  private:
    bool m_bProgressCreated = false;
};

}  // namespace kavendrum
