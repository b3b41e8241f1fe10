#include "cli/piece_plan.h"

#include <limits>

#include "engine/split_operation.h"

namespace kavendrum {

std::optional<std::uint32_t> PieceSizeForCount(std::uint64_t fileSize, std::uint32_t count) {
    if (count == 0) {
        return std::nullopt;
    }
    const std::uint64_t size = fileSize / count + 1;
    if (size > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    const auto plan = PlanSplit(fileSize, static_cast<std::uint32_t>(size));
    if (!plan || plan->pieceCount != count) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(size);
}

}  // namespace kavendrum
