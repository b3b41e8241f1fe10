#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/split_command.h"

namespace kavendrum {

// What the parser cannot check. Each throws CLI::ValidationError, naming the option, for a value
// that is a usage error.

// The recovery data held at once that --memory asks for; the default without it.
std::uint64_t MemoryLimitFromText(const std::optional<std::string>& text);

// The piece size and recovery files a split is asked for: its arguments checked together, and
// --pieces turned into a piece size for the source as it is now.
SplitChoice PlanSplit(const SplitArguments& arguments);

}  // namespace kavendrum
