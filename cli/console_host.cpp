#include "cli/console_host.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cctype>
#include <cstdio>
#include <iostream>
#include <system_error>

#include "engine/io/file_system.h"

namespace kavendrum {

namespace {

constexpr const char* kProgram = "kavendrum-cli";

bool IsOkAnswer(std::string line) {
    for (auto& c : line) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return line == "ok" || line == "o" || line == "y" || line == "yes";
}

// Causes that come without a system code, in words like the system's.
const char* CauseText(FileErrorCause cause) {
    switch (cause) {
        case FileErrorCause::FileNotFound:
            return "No such file or directory";
        case FileErrorCause::DiskFull:
            return "No space left on device";
        case FileErrorCause::EndOfFile:
            return "File ends too early";
        case FileErrorCause::SharingViolation:
            return "File is in use";
        case FileErrorCause::BadPath:
            return "Not a regular file";
        default:
            return "Input/output error";
    }
}

}  // namespace

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return ::isatty(fileno(stream)) != 0;
#endif
}

std::string TerminalText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    return out;
}

std::string SystemReason(const FileError& failure) {
    return failure.systemCode != 0 ? std::system_category().message(failure.systemCode)
                                   : CauseText(failure.cause);
}

namespace {

// How the command line words a notice under its text.
struct Reasoning {
    bool namesFile;   // a second line names the notice's file
    const char* why;  // said after the file when no failure of the system lies behind it
    bool whyFirst;    // said even in place of the system's words
};

constexpr Reasoning kNoLine{false, "", false};
// The file, and the system's words for the failure if there was one.
constexpr Reasoning kFile{true, "", false};
constexpr Reasoning Because(const char* why) {
    return {true, why, false};
}

// A source that is no file with a size (a pipe, a terminal, a character device): it fails to
// open with no code of the system's.
bool IsStreamFailure(const FileStatus& failure) {
    return failure && failure->cause == FileErrorCause::BadPath && failure->systemCode == 0;
}

Reasoning ReasoningFor(const Notice& notice) {
    using enum NoticeId;
    switch (notice.id) {
        case FileToSplitEmpty:
        case DestinationFolderEmpty:
        case HeadFileNameEmpty:
        case MainFrameMissingSplit:
        case MainFrameMissingMerge:
        case SourceShrank:
        case SplitSizeTooSmall:
        case ChecksumFileNotCreated:
        case MergedChecksumMismatch:
        case SystemError:
        case NotAPositiveInteger:
        case IntegerOutOfRange:
        case SplitSucceeded:
        case MergeSucceeded:
        case OptionsChanged:
        case RecoveryWritten:
        case RecoveryLimited:
        case RepairSucceeded:
        case RepairNothingToDo:
        case RepairNotEnough:
        case RepairUnsolvable:
        case PiecesRepairable:
        case RepairStillBad:
            return kNoLine;
        case InitFailed:
            return Because("the option file is shorter than 24 bytes, or cannot be created");
        case SourceNotOpened:
            if (IsStreamFailure(notice.failure)) {
                return {true, "not a regular file (split - reads standard input)", true};
            }
            return kFile;
        case SourceNamedLikeSetFile:
            return Because(
                "rebuilt beside its pieces, it would take the place of one of their own files; "
                "rename it first");
        case BatchFileNotCreated:
            return Because(
                "not written: a name holds a character that no batch file carries safely, or it "
                "is the file being split");
        case HeadFileNameInvalid:
            return Because("a head file's name ends in .kdh");
        case HeadFileUnreadable:
            return Because("not a head file that a split wrote, or cut short");
        case PieceMissing:
            return Because(CauseText(FileErrorCause::FileNotFound));
        case OutputNotCreated:
            return Because("it is one of the files being merged");
        case PieceNotRemoved:
        case RemoveFailed:
            return Because("it changed after it was read, so it was left as it is");
        case SourceUnreadable:
        case PieceNotCreated:
        case LastPieceNotCreated:
        case PieceNotCreatedLarge:
        case HeadFileNotCreated:
        case HeadFileNotWritten:
        case OriginalNotRemoved:
        case HeadFileMissing:
        case HeadFileNotOpenedMerge:
        case HeadFileNotOpenedVerify:
        case HeadFileUnreadableForm:
        case ChecksumFileUnreadable:
        case PieceNotOpened:
        case PieceShorterOnDisk:
        case PieceShrank:
        case PieceShrankHashing:
        case PartialFileShort:
        case FolderNotCreated:
        case NotEnoughSpace:
        case OptionFileNotSaved:
        case RecoveryNotCreated:
        case RepairNoRecoveryFiles:
            return kFile;
        case RepairFailed:
            // Without a failure of the system's, the rebuilt piece did not check.
            return Because(
                "rebuilt, it does not match its checksums; the piece was left as it was");
    }
    return kFile;
}

// Whether a notice says that what was asked is done, rather than that it failed.
bool IsSuccess(NoticeId id) {
    using enum NoticeId;
    switch (id) {
        case SplitSucceeded:
        case MergeSucceeded:
        case OptionsChanged:
        case RecoveryWritten:
        case RepairSucceeded:
        case RepairNothingToDo:
            return true;
        case FileToSplitEmpty:
        case DestinationFolderEmpty:
        case HeadFileNameEmpty:
        case MainFrameMissingSplit:
        case MainFrameMissingMerge:
        case InitFailed:
        case SourceNotOpened:
        case SourceUnreadable:
        case SourceShrank:
        case SourceNamedLikeSetFile:
        case SplitSizeTooSmall:
        case PieceNotCreated:
        case LastPieceNotCreated:
        case PieceNotCreatedLarge:
        case HeadFileNotCreated:
        case HeadFileNotWritten:
        case BatchFileNotCreated:
        case ChecksumFileNotCreated:
        case OriginalNotRemoved:
        case HeadFileNameInvalid:
        case HeadFileMissing:
        case HeadFileNotOpenedMerge:
        case HeadFileNotOpenedVerify:
        case HeadFileUnreadable:
        case HeadFileUnreadableForm:
        case ChecksumFileUnreadable:
        case PieceMissing:
        case PieceNotOpened:
        case PieceShorterOnDisk:
        case PieceShrank:
        case PieceShrankHashing:
        case PartialFileShort:
        case OutputNotCreated:
        case MergedChecksumMismatch:
        case PieceNotRemoved:
        case RemoveFailed:
        case FolderNotCreated:
        case NotEnoughSpace:
        case OptionFileNotSaved:
        case SystemError:
        case NotAPositiveInteger:
        case IntegerOutOfRange:
        case RecoveryLimited:
        case RecoveryNotCreated:
        case RepairNoRecoveryFiles:
        case RepairNotEnough:
        case RepairUnsolvable:
        case RepairFailed:
        case PiecesRepairable:
        case RepairStillBad:
            break;
    }
    return false;
}

}  // namespace

std::optional<std::string> ReasonLine(const Notice& notice) {
    const Reasoning reasoning = ReasoningFor(notice);
    if (!reasoning.namesFile || notice.path.empty()) {
        return std::nullopt;
    }
    const std::string why = notice.failure && !reasoning.whyFirst ? SystemReason(*notice.failure)
                                                                  : std::string(reasoning.why);
    return why.empty() ? notice.path : notice.path + ": " + why;
}

std::string ReasonText(const FileStatus& failure) {
    return failure ? SystemReason(*failure) : std::string();
}

ConsoleHost::ConsoleHost(Answering answering, Voice voice)
    : m_answering(answering),
      m_voice(voice),
      m_progress(stderr, !voice.progress        ? ProgressMode::Off
                         : IsTerminal(stderr)   ? ProgressMode::Terminal
                         : voice.progressAlways ? ProgressMode::Lines
                                                : ProgressMode::Off) {}

void ConsoleHost::Notify(const Notice& notice) {
    if (IsSuccess(notice.id)) {
        ShowSuccess(TextOf(notice));
        return;
    }
    ShowFailure(TextOf(notice));
    if (const auto line = ReasonLine(notice)) {
        Complain(*line);
    }
}

bool ConsoleHost::Ask(const Question& question) {
    return AskOkCancelAbout(TextOf(question), CaptionOf(question.id), question.path);
}

// Standard output is flushed before anything goes to standard error, so that with both on one
// file (2>&1) a reason never lands inside a row.
void ConsoleHost::ShowFailure(const std::string& text) {
    m_progress.Clear();
    std::fflush(stdout);
    std::fprintf(stderr, "kavendrum-cli: %s\n", TerminalText(text).c_str());
}

// Questions are asked elsewhere: the only message a run shows that is no error is its success.
void ConsoleHost::ShowSuccess(const std::string& text) {
    m_progress.Clear();
    m_reportedSuccess = true;
    if (m_voice.successMessages) {
        std::fprintf(m_voice.messages, "%s\n", TerminalText(text).c_str());
        std::fflush(m_voice.messages);
    }
}

// Every operation speaks in notices (Notify); a text that comes without one is only shown, with
// its caption, and never taken for a success.
void ConsoleHost::ShowMessage(const std::string& text, const std::string& caption) {
    m_progress.Clear();
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), TerminalText(text).c_str());
}

void ConsoleHost::ShowMessageAbout(const std::string& text, const std::string& caption,
                                   const std::string& path, const FileStatus& failure) {
    ShowMessage(text, caption);
    const std::string reason = ReasonText(failure);
    Complain(reason.empty() ? path : path + ": " + reason);
}

bool ConsoleHost::AskOkCancel(const std::string& text, const std::string& caption) {
    m_progress.Clear();
    switch (m_answering) {
        case Answering::AlwaysOk:
            return true;
        case Answering::AlwaysCancel:
            return false;
        case Answering::Ask:
            break;
    }
    std::fflush(stdout);
    const std::string question = caption + ": " + TerminalText(text);
    // Nobody at a terminal to answer: the safe answer is the one that writes nothing, and the
    // user is told what was asked and how to answer it next time.
    if (!IsTerminal(stdin)) {
        std::fprintf(stderr, "%s\n", question.c_str());
        Complain(
            "no terminal to answer on, so the answer is Cancel; "
            "run again with --yes to answer OK, or with --no to answer Cancel");
        return false;
    }
    std::fprintf(stderr, "%s [OK/Cancel] ", question.c_str());
    std::fflush(stderr);
    std::string line;
    return std::getline(std::cin, line) && IsOkAnswer(line);
}

// A link is named for what it is, since only the link is replaced, not what it leads to.
bool ConsoleHost::AskOkCancelAbout(const std::string& text, const std::string& caption,
                                   const std::string& path) {
    std::string about = path;
    if (const auto link = LinkStateOf(path)) {
        if (link->target) {
            about += link->target->empty() ? ", a symbolic link"
                                           : ", a symbolic link to " + *link->target;
            about += ": the link is replaced, what it leads to is left alone";
        } else if (link->names > 1) {
            about += ", one of " + std::to_string(link->names) +
                     " names of one file: this name is replaced, the others keep the file";
        }
    }
    return AskOkCancel(text + " (" + about + ")", caption);
}

void ConsoleHost::ReportFileError(const FileError& error) {
    m_progress.Clear();
    std::fflush(stdout);
    std::fprintf(stderr, "kavendrum-cli: %s\n", FileErrorText(error).c_str());
    // The report's text names the file; where its words fall short of the system's (a read-only
    // file system reported as access denied, a folder as an invalid path, a broken pipe), the
    // system's say what happened.
    if (error.systemCode != 0 && !ReportSaysItAll(error)) {
        Complain(error.path + ": " + SystemReason(error));
    }
}

void ConsoleHost::Complain(const std::string& text) {
    m_progress.Clear();
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
}

bool ConsoleHost::ShowInPane(const std::string&, int, int upperBound, int) {
    return SetStepRange(0, upperBound, 1);
}

bool ConsoleHost::SetWidthPercent(int) {
    return true;
}

bool ConsoleHost::SetStepRange(int, int upper, int) {
    m_progress.SetRange(upper);
    return true;
}

int ConsoleHost::SetPosition(int position) {
    return m_progress.SetPosition(position);
}

int ConsoleHost::Advance() {
    return m_progress.Advance();
}

}  // namespace kavendrum
