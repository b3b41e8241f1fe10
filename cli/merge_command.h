#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/run_settings.h"
#include "engine/recovery_operation.h"

namespace kavendrum {

// What the merge command was given.
struct MergeArguments {
    std::string head;
    std::optional<std::string> destination;
    std::optional<std::string> prefix;
    std::optional<std::string> memory;
    bool toStandardOutput = false;
};

// kavendrum-cli merge HEAD: offers to repair what the recovery files can rebuild, then joins the
// pieces into the file the head file names, or onto standard output.
int MergeCommand(const Settings& settings, const MergeArguments& arguments,
                 std::uint64_t memoryLimit);

}  // namespace kavendrum
