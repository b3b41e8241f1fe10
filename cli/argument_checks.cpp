#include "cli/argument_checks.h"

#include <CLI/CLI.hpp>

#include <limits>

#include "cli/piece_plan.h"
#include "cli/size_text.h"
#include "engine/io/file_system.h"
#include "engine/paths.h"
#include "engine/split_operation.h"

namespace kavendrum {

namespace {

// The largest piece a head file can state, and the largest file FAT32 holds.
constexpr std::uint32_t kLargestCliPieceSize = std::numeric_limits<std::uint32_t>::max();

// The piece size that --size asks for; a text that is no size, or one out of range, is a usage
// error.
std::uint32_t PieceSizeFromText(const std::string& text) {
    const auto size = ReadSize(text);
    if (!size) {
        throw CLI::ValidationError("--size", SizeRefusal(text));
    }
    if (*size < 1 || *size > kLargestCliPieceSize) {
        throw CLI::ValidationError("--size", "'" + text + "' is not a piece size from 1 to " +
                                                 std::to_string(kLargestCliPieceSize) +
                                                 " bytes (--size fat32)");
    }
    return static_cast<std::uint32_t>(*size);
}

// What --recovery and --memory ask a split for.
RecoveryChoice RecoveryFromArguments(const SplitArguments& arguments) {
    RecoveryChoice choice;
    choice.memoryLimit = MemoryLimitFromText(arguments.memory);
    if (arguments.recovery) {
        const auto amount = ReadRecoveryAmount(*arguments.recovery);
        if (!amount) {
            throw CLI::ValidationError("--recovery", "'" + *arguments.recovery +
                                                         "' is neither a count of pieces (3) "
                                                         "nor a percentage from 1% to 100%");
        }
        choice.amount = *amount;
    }
    return choice;
}

// Standard input takes a name and no count; a named file takes no name.
void CheckSource(const SplitArguments& arguments) {
    if (!arguments.FromStandardInput()) {
        if (arguments.name) {
            throw CLI::ValidationError("--name", "only standard input (SOURCE -) takes a name");
        }
        return;
    }
    if (!arguments.name) {
        throw CLI::ValidationError("--name", "splitting standard input needs --name NAME");
    }
    if (arguments.pieces) {
        throw CLI::ValidationError("--pieces",
                                   "standard input's size is not known until its end; "
                                   "use --size");
    }
    const std::string& name = *arguments.name;
    if (name.empty() || name == "." || name == ".." || LeafName(name) != name) {
        throw CLI::ValidationError("--name", "'" + name + "' is not a file name");
    }
}

// "split movie.avi 25M" means a size far more often than a new folder called 25M: without --size
// or --pieces, a destination that reads as a size and names nothing yet is refused, not made.
void CheckDestination(const SplitArguments& arguments) {
    const std::string& destination = arguments.destination;
    if (arguments.size || arguments.pieces || !ReadSize(destination) ||
        LeafName(destination) != destination || KindOf(destination) != FileKind::Missing) {
        return;
    }
    throw CLI::ValidationError("DESTINATION", "'" + destination +
                                                  "' reads as a piece size and names no folder: "
                                                  "use --size " +
                                                  destination + ", or ./" + destination +
                                                  " for a new folder of that name");
}

// The piece size --size or --pieces asks for, or the default.
std::uint32_t PieceSizeOf(const SplitArguments& arguments) {
    if (arguments.size) {
        return PieceSizeFromText(*arguments.size);
    }
    if (!arguments.pieces) {
        return kDefaultPieceSize;
    }
    const auto fileSize = SourceSize(arguments.source);
    if (!fileSize) {
        return kDefaultPieceSize;
    }
    const auto size = PieceSizeForCount(*fileSize, *arguments.pieces);
    if (!size) {
        throw CLI::ValidationError("--pieces", "a file of " + std::to_string(*fileSize) +
                                                   " bytes cannot be cut into " +
                                                   std::to_string(*arguments.pieces) + " pieces");
    }
    return *size;
}

}  // namespace

std::uint64_t MemoryLimitFromText(const std::optional<std::string>& text) {
    if (!text) {
        return kDefaultRecoveryMemory;
    }
    const auto size = ReadSize(*text);
    if (!size || *size < 1) {
        throw CLI::ValidationError(
            "--memory", size ? "'" + *text + "' is no amount of memory" : SizeRefusal(*text));
    }
    return *size;
}

SplitChoice PlanSplit(const SplitArguments& arguments) {
    CheckSource(arguments);
    CheckDestination(arguments);
    SplitChoice plan;
    plan.pieceSize = PieceSizeOf(arguments);
    plan.recovery = RecoveryFromArguments(arguments);
    return plan;
}

}  // namespace kavendrum
