#include "cli/repair_command.h"

#include <cstdio>

namespace kavendrum {

namespace {

std::uint64_t BadRows(const Verification& verification) {
    std::uint64_t bad = 0;
    for (const auto& entry : *verification.pieces) {
        if (entry.mark == PieceMark::Bad) {
            bad += entry.count;
        }
    }
    return bad;
}

std::string PiecesText(std::uint64_t count) {
    return std::to_string(count) + (count == 1 ? " piece" : " pieces");
}

}  // namespace

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
    // The pieces still bad come first, as verify names its bad pieces before its summary.
    for (const std::uint32_t number : repair.stillBad) {
        std::fprintf(stderr, "%s: still bad\n", repair.piecePaths[number - 1].c_str());
    }
    return ReportRepair(repair, headPath, host) ? kSucceeded : kFailed;
}

void PrintRecoverySummary(const Verification& verification, const std::optional<SetRepair>& checked,
                          const std::string& headPath) {
    if (!checked || !verification.pieces) {
        return;
    }
    const std::uint64_t bad = BadRows(verification);
    if (bad == 0) {
        return;
    }
    const SetRepair& recovery = *checked;
    std::fflush(stdout);
    if (recovery.result.status == par2::RepairStatus::NoRecoverySet) {
        std::fprintf(stderr,
                     "kavendrum-cli: the recovery files beside %s do not describe its pieces\n",
                     headPath.c_str());
        return;
    }
    const std::string counts = PiecesText(bad) + (bad == 1 ? " is" : " are") + " bad; " +
                               std::to_string(recovery.RebuildablePieces()) + " can be rebuilt";
    if (recovery.CanRebuildAll()) {
        std::fprintf(stderr, "kavendrum-cli: %s: run kavendrum-cli repair %s\n", counts.c_str(),
                     headPath.c_str());
    } else if (recovery.result.status == par2::RepairStatus::NotEnough) {
        std::fprintf(stderr, "kavendrum-cli: %s: %s more recovery %s needed\n", counts.c_str(),
                     std::to_string(recovery.result.morePiecesNeeded).c_str(),
                     recovery.result.morePiecesNeeded == 1 ? "piece is" : "pieces are");
    } else {
        std::fprintf(stderr,
                     "kavendrum-cli: %s, yet the recovery files at hand cannot rebuild these\n",
                     counts.c_str());
    }
}

RepairOffer OfferRepairBeforeMerge(ConsoleHost& host, const std::string& headPath,
                                   std::uint64_t memoryLimit) {
    host.EnterPhase(RunPhase::Verifying, 0);
    return OfferRepairFirst(headPath, host, memoryLimit,
                            [&host] { host.EnterPhase(RunPhase::Repairing, 0); });
}

}  // namespace kavendrum
