#pragma once

#include <optional>
#include <string>

#include "cli/console_host.h"
#include "cli/run_settings.h"
#include "engine/head_file.h"
#include "engine/recovery_operation.h"

namespace kavendrum {

// kavendrum-cli verify HEAD: one row per piece on standard output, why each Bad one is bad and
// what to do about it on standard error, then "Passed" or "Failed".
int VerifyCommand(const Settings& settings, const std::string& headPath);

// What a command shows before it runs; the engines report whatever is wrong with the file.
std::optional<HeadFileInfo> PeekNamedHeadFile(const std::string& headPath);

// Verification without a checksum file compares sizes alone: a changed byte would pass, so the
// user is told, unless something else checked every piece's content.
void NoteSizesOnly(const Settings& settings, ConsoleHost& host, const std::string& headPath,
                   bool contentChecked);
// Whether the recovery files checked the content of every piece (their MD5 of each).
bool RecoveryCheckedEveryPiece(const std::optional<SetRepair>& recovery);

}  // namespace kavendrum
