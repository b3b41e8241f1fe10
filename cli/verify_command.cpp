#include "cli/verify_command.h"

#include <algorithm>
#include <cstdio>

#include "cli/namesake_hint.h"
#include "cli/piece_rows.h"
#include "cli/repair_command.h"
#include "engine/io/file_system.h"
#include "engine/object_file_name.h"
#include "engine/paths.h"
#include "engine/piece_set.h"
#include "engine/recovery_operation.h"
#include "engine/verification.h"

namespace kavendrum {

namespace {

// The file a merge would write by default, which the journal of an interrupted merge names;
// empty when the head file cannot say. Sets the bar's total on the way.
std::string DefaultOutput(const std::string& headPath, ConsoleHost& host) {
    const auto info = PeekNamedHeadFile(headPath);
    if (!info) {
        return {};
    }
    host.SetTotalBytes(WholeFileSize(*info));
    std::string folder = GetFolderPart(headPath);
    if (folder.empty()) {
        folder = std::string(".") + kPathSeparator;
    }
    return FormObjectFileName(folder, headPath, false, "", info->extension).value_or(std::string());
}

}  // namespace

std::optional<HeadFileInfo> PeekNamedHeadFile(const std::string& headPath) {
    return IsHeadFileName(headPath) ? PeekHeadFile(headPath) : std::nullopt;
}

bool RecoveryCheckedEveryPiece(const std::optional<SetRepair>& recovery) {
    if (!recovery || !recovery->hasRecoveryFiles) {
        return false;
    }
    const par2::RepairResult& result = recovery->result;
    if (result.status == par2::RepairStatus::NoRecoverySet ||
        result.status == par2::RepairStatus::Failed || result.pieces.empty()) {
        return false;
    }
    return std::none_of(result.pieces.begin(), result.pieces.end(), [](const auto& piece) {
        return piece.condition == par2::PieceCondition::NotInSet;
    });
}

void NoteSizesOnly(const Settings& settings, ConsoleHost& host, const std::string& headPath,
                   bool contentChecked) {
    const auto set = PieceSet::OfHeadFile(headPath);
    if (!settings.Speaks() || !set || contentChecked) {
        return;
    }
    const std::string checksums = set->ChecksumPath();
    if (!FileExists(checksums)) {
        host.Complain("no checksum file " + checksums +
                      ": only the pieces' sizes were checked, not their content");
    }
}

int VerifyCommand(const Settings& settings, const std::string& headPath) {
    ConsoleHost host(settings.answering(), settings.voice());
    if (!LoadOptionSet(settings.optionFilePath(), host)) {
        return kFailed;
    }
    // Pieces an interrupted merge has removed count only when that merge, into the file a merge
    // would write by default, can be taken up.
    const std::string output = DefaultOutput(headPath, host);
    const RecoveryVerification verified = VerifyWithRecovery(headPath, host, output);
    const ContentVerification& checked = verified.checked;
    const Verification& verification = checked.verification;
    if (!verification.pieces) {
        return kFailed;
    }
    PrintRows(stdout, *verification.pieces, false);
    PrintReasons(checked);
    // When the recovery files can rebuild every bad piece, their line is the advice.
    if (!RecoveryRebuildsEveryBadPiece(verification, verified.recovery)) {
        PrintBadSummary(verification, headPath);
    }
    if (verification.outcome == VerifyOutcome::Failed) {
        PrintNamesakeHints(headPath, host);
    }
    PrintRecoverySummary(verification, verified.recovery, headPath);
    NoteSizesOnly(settings, host, headPath, RecoveryCheckedEveryPiece(verified.recovery));
    const bool passed = verification.outcome == VerifyOutcome::Passed;
    std::puts(passed ? "Passed" : "Failed");
    return passed ? kSucceeded : kFailed;
}

}  // namespace kavendrum
