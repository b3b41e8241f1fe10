#pragma once

#include <cstdint>

namespace kavendrum {

// The six options, in the order of the option file. The folder modes and the switches count as
// on when nonzero; overwriteMode asks only when it is exactly 1.
struct OptionSet {
    std::int32_t splitFolderMode = 0;
    std::int32_t deleteAfterSplit = 0;
    std::int32_t mergeFolderMode = 0;
    std::int32_t deleteAfterMerge = 0;
    std::int32_t verifyBeforeMerge = 1;
    std::int32_t overwriteMode = 1;

    bool operator==(const OptionSet&) const = default;
};

}  // namespace kavendrum
