#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/head_file.h"
#include "engine/operation_host.h"
#include "engine/outcome.h"
#include "options/option_set.h"

namespace kavendrum {

inline constexpr std::uint32_t kDefaultPieceSize = 1457664;
inline constexpr std::uint32_t kLargestCustomPieceSize = 629145600;

struct SplitRequest {
    std::string sourcePath;
    std::string destinationFolder;  // may end with a separator
    std::uint32_t pieceSize = kDefaultPieceSize;
    // Also write base.sha256, the digests of the pieces and of the whole file, as sha256sum does.
    bool writeChecksums = false;
};

// The split's input check: the first failure is shown and false returned.
bool ValidateInputs(const SplitRequest& request, OperationHost& host);

// Where a split of `base` writes: the destination folder without its trailing separator, and the
// head file in it, created (never over `keepOut`, the data being split) once the folder is ready
// and, when the options ask, the user has agreed to replace a head file of that name. Otherwise
// the outcome that ends the split, after its message.
struct SplitPlace {
    std::string folder;
    std::string headPath;
    std::optional<File> head;
    std::optional<Outcome> stop;
};
SplitPlace PrepareSplitPlace(const std::string& destinationFolder, const std::string& base,
                             const FileIdentity* keepOut, const OptionSet& options,
                             OperationHost& host);

// Cuts the source into base_1.skf … in the destination, with base.kdh and base.bat beside them.
// `options` is the option set in force, read at the moment each value is needed; without one the
// split stops with "Get MainFrame error!". Every outcome is reported through the host.
Outcome RunSplit(const SplitRequest& request, const OptionSet* options, OperationHost& host);

}  // namespace kavendrum
