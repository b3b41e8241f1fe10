#include "cli/repair_command.h"

#include <cstdio>
#include <functional>

#include "cli/piece_rows.h"

namespace kavendrum {

namespace {

std::string PiecesText(std::uint64_t count) {
    return std::to_string(count) + (count == 1 ? " piece" : " pieces");
}

bool IsBad(par2::PieceCondition condition) {
    return condition == par2::PieceCondition::Missing || condition == par2::PieceCondition::Damaged;
}

// The pieces a repair left bad, one line each on standard error, before the notice that says how
// many, as verify names its bad pieces before its summary.
void PrintStillBad(const SetRepair& repair) {
    for (const std::uint32_t number : repair.stillBad) {
        std::fprintf(stderr, "%s: still bad\n", repair.piecePaths[number - 1].c_str());
    }
}

}  // namespace

bool RecoveryRebuildsEveryBadPiece(const Verification& verification,
                                   const std::optional<SetRepair>& recovery) {
    if (!recovery || !verification.pieces ||
        recovery->result.status != par2::RepairStatus::Repairable) {
        return false;
    }
    const auto& checked = recovery->result.pieces;
    std::uint64_t number = 1;  // of the row's first piece; a row may stand for a run
    for (const auto& entry : *verification.pieces) {
        for (std::uint64_t n = number; entry.mark == PieceMark::Bad && n < number + entry.count;
             ++n) {
            if (n > checked.size() || !IsBad(checked[n - 1].condition)) {
                return false;
            }
        }
        number += entry.count;
    }
    return true;
}

int RepairCommand(const Settings& settings, const std::string& headPath,
                  std::uint64_t memoryLimit) {
    ConsoleHost host(settings.answering(), settings.voice());
    if (!LoadOptionSet(settings.optionFilePath(), host)) {
        return kFailed;
    }
    host.EnterPhase(RunPhase::Repairing, 0);
    RepairOptions options;
    options.memoryLimit = memoryLimit;
    const SetRepair repair = RepairSet(headPath, options);
    PrintStillBad(repair);
    return ReportRepair(repair, headPath, host) ? kSucceeded : kFailed;
}

void PrintRecoverySummary(const Verification& verification, const std::optional<SetRepair>& checked,
                          const std::string& headPath) {
    if (!checked || !verification.pieces) {
        return;
    }
    const BadCounts counts = CountBad(verification);
    if (counts.None()) {
        return;
    }
    const std::uint64_t bad = counts.missing + counts.bad;
    const SetRepair& recovery = *checked;
    std::fflush(stdout);
    if (recovery.result.status == par2::RepairStatus::NoRecoverySet) {
        std::fprintf(stderr,
                     "kavendrum-cli: the recovery files beside %s do not describe its pieces\n",
                     headPath.c_str());
        return;
    }
    const std::string rebuildable =
        std::to_string(recovery.RebuildablePieces()) + " can be rebuilt";
    const std::string text = PiecesText(bad) + (bad == 1 ? " is" : " are") + " bad; " + rebuildable;
    const auto status = recovery.result.status;
    if (RecoveryRebuildsEveryBadPiece(verification, checked)) {
        // The one thing to do: the counts that the advice to copy them again would have given.
        std::fprintf(stderr, "kavendrum-cli: %s; %s: run kavendrum-cli repair %s\n",
                     counts.Text().c_str(), rebuildable.c_str(), headPath.c_str());
    } else if (status == par2::RepairStatus::Repairable) {
        // Some of the bad pieces, but not all: the others are to be copied again.
        std::fprintf(stderr, "kavendrum-cli: %s: run kavendrum-cli repair %s\n", text.c_str(),
                     headPath.c_str());
    } else if (status == par2::RepairStatus::NotEnough) {
        std::fprintf(stderr, "kavendrum-cli: %s: %s more recovery %s needed\n", text.c_str(),
                     std::to_string(recovery.result.morePiecesNeeded).c_str(),
                     recovery.result.morePiecesNeeded == 1 ? "piece is" : "pieces are");
    } else if (status == par2::RepairStatus::AllGood) {
        // Bad by the checksum file alone: no repair rebuilds what the recovery files call good.
        const char* them = bad == 1 ? "it" : "them";
        std::fprintf(stderr,
                     "kavendrum-cli: %s%s bad, yet the recovery files take %s for good: repair "
                     "cannot rebuild %s\n",
                     PiecesText(bad).c_str(), bad == 1 ? " is" : " are", them, them);
    } else {
        std::fprintf(stderr,
                     "kavendrum-cli: %s, yet the recovery files at hand cannot rebuild these\n",
                     text.c_str());
    }
}

RepairOffer OfferRepairBeforeMerge(ConsoleHost& host, const std::string& headPath,
                                   std::uint64_t memoryLimit) {
    host.EnterPhase(RunPhase::Verifying, 0);
    return OfferRepairFirst(
        headPath, host, memoryLimit, [&host] { host.EnterPhase(RunPhase::Repairing, 0); },
        [](const std::function<SetRepair()>& repair) {
            SetRepair repaired = repair();
            PrintStillBad(repaired);
            return repaired;
        });
}

}  // namespace kavendrum
