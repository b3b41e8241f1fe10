#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/console_host.h"
#include "cli/run_settings.h"
#include "engine/recovery_operation.h"

namespace kavendrum {

// kavendrum-cli repair HEAD: rebuilds the missing and damaged pieces from the recovery files
// beside the head file. Succeeds when every piece is good afterwards.
int RepairCommand(const Settings& settings, const std::string& headPath, std::uint64_t memoryLimit);

// Whether the recovery files' check (`recovery`) found every piece of a Bad row missing or
// damaged and can rebuild them all: a repair is then what to do, rather than copying them again.
bool RecoveryRebuildsEveryBadPiece(const Verification& verification,
                                   const std::optional<SetRepair>& recovery);

// After the rows of a failed verification, when there are recovery files: how many pieces are
// bad and how many the recovery files could rebuild, with what to run, on standard error. When
// they can rebuild every bad piece, this line also gives the counts PrintBadSummary would have
// given, in its place. `recovery` is their check of the pieces; nothing is said without one.
void PrintRecoverySummary(const Verification& verification,
                          const std::optional<SetRepair>& recovery, const std::string& headPath);

// Before a merge: when pieces are bad and the recovery files can rebuild them all, asks whether
// to repair them first and does so on yes. Says whether a repair ran and failed, and what the
// recovery files found when none ran.
RepairOffer OfferRepairBeforeMerge(ConsoleHost& host, const std::string& headPath,
                                   std::uint64_t memoryLimit);

}  // namespace kavendrum
