#include "cli/merge_command.h"

#include <cstdio>
#include <utility>

#include "cli/console_host.h"
#include "cli/namesake_hint.h"
#include "cli/piece_rows.h"
#include "cli/repair_command.h"
#include "cli/verify_command.h"
#include "engine/io/file.h"
#include "engine/merge_operation.h"
#include "engine/object_file_name.h"
#include "engine/paths.h"
#include "engine/verification.h"

namespace kavendrum {

namespace {

// The command line as the host of a merge. It prints the rows of the verification run first as
// soon as it ends: only the rows that failed, on standard error, since standard output may carry
// the rebuilt file.
class MergeConsoleHost : public ConsoleHost {
  public:
    MergeConsoleHost(const Settings& settings, Voice voice, const std::string& headPath)
        : ConsoleHost(settings.answering(), voice), m_settings(settings), m_headPath(headPath) {}

    void PiecesChecked(const ContentVerification& checked) override {
        m_verified = true;
        const Verification& verification = checked.verification;
        if (verification.pieces && verification.outcome == VerifyOutcome::Failed) {
            PrintRows(stderr, *verification.pieces, true);
            PrintReasons(checked);
            if (!RecoveryRebuildsEveryBadPiece(verification, m_recovery)) {
                PrintBadSummary(verification, m_headPath);
            }
            PrintNamesakeHints(m_headPath, *this);
            PrintRecoverySummary(verification, m_recovery, m_headPath);
        }
        if (verification.pieces) {
            NoteSizesOnly(m_settings, *this, m_headPath,
                          m_repaired || RecoveryCheckedEveryPiece(m_recovery));
        }
    }

    // Whether the merge verified its pieces before it began.
    bool Verified() const { return m_verified; }

    // What the recovery files found before the merge, told after its verification if it fails.
    void KeepRecoveryCheck(std::optional<SetRepair> recovery) { m_recovery = std::move(recovery); }
    // Whether a repair ran first: it checked every piece, the rebuilt ones against their MD5.
    void KeepRepaired(bool repaired) { m_repaired = repaired; }

  private:
    const Settings& m_settings;
    std::string m_headPath;
    bool m_verified = false;
    std::optional<SetRepair> m_recovery;
    bool m_repaired = false;
};

// The request for the head file and the folder or name the user chose; false, after telling the
// host, when the head file's name is what is wrong.
bool FillRequest(const MergeArguments& arguments, MergeRequest& request, ConsoleHost& host) {
    const std::string& headPath = arguments.head;
    request.headPath = headPath;
    // A bare name is a file in the current folder, which is where the rebuilt file goes too.
    request.destinationFolder = arguments.destination.value_or(GetFolderPart(headPath));
    if (request.destinationFolder.empty()) {
        request.destinationFolder = std::string(".") + kPathSeparator;
    }
    // Without verification the engine would go on to an output without a name; the name is what
    // is wrong, so say that.
    if (!IsHeadFileName(headPath) && File::OpenForReading(headPath).ok()) {
        host.Notify(NoticeOf(NoticeId::HeadFileNameInvalid, headPath));
        return false;
    }
    if (const auto info = PeekNamedHeadFile(headPath)) {
        // A prefix that names no file of its own leaves the output empty: nothing is created.
        request.outputPath =
            FormObjectFileName(request.destinationFolder, headPath, arguments.prefix.has_value(),
                               arguments.prefix.value_or(""), info->extension)
                .value_or(std::string());
        host.SetTotalBytes(WholeFileSize(*info));
    }
    return true;
}

}  // namespace

int MergeCommand(const Settings& settings, const MergeArguments& arguments,
                 std::uint64_t memoryLimit) {
    // With the rebuilt file on standard output, everything else goes to standard error.
    Voice voice = settings.voice();
    if (arguments.toStandardOutput) {
        voice.messages = stderr;
    }
    MergeConsoleHost host(settings, voice, arguments.head);
    host.WatchStopSignal(settings.stopSignal);
    const auto options = LoadOptionSet(settings.optionFilePath(), host);
    if (!options) {
        return kFailed;
    }
    MergeRequest request;
    if (!FillRequest(arguments, request, host)) {
        return kFailed;
    }
    std::optional<File> output;
    if (arguments.toStandardOutput) {
        auto opened = File::OpenStandard(File::Standard::Output, "standard output");
        if (!opened.ok()) {
            host.ReportFileError(opened.error());
            return kFailed;
        }
        output.emplace(std::move(opened.value()));
        request.stream = &*output;
    }
    // Pieces that the recovery files can rebuild are rebuilt first, when the user agrees.
    RepairOffer offer = OfferRepairBeforeMerge(host, arguments.head, memoryLimit);
    if (offer.repairFailed) {
        return kFailed;
    }
    // A piece they found damaged and that was not rebuilt fails the verification, as a piece
    // that differs from its checksum line does.
    if (offer.before) {
        request.knownDamaged = offer.before->DamagedPieces();
    }
    host.KeepRecoveryCheck(std::move(offer.before));
    host.KeepRepaired(offer.repaired);
    // A failed verification shows no message of its own; the rows that failed tell why. The
    // engines name each phase of the run for the progress line.
    const Outcome outcome = RunMerge(request, &*options, host).outcome;
    // Without a verification first, a missing piece ends the merge half-way.
    if (outcome == Outcome::Failed && !host.Verified()) {
        PrintNamesakeHints(arguments.head, host);
    }
    return ExitFor(outcome);
}

}  // namespace kavendrum
