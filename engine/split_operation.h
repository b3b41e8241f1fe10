#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/folders.h"
#include "engine/head_file.h"
#include "engine/io/staged_file.h"
#include "engine/operation_host.h"
#include "engine/outcome.h"
#include "engine/paths.h"
#include "engine/recovery_operation.h"
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
    // How a missing destination is made: one level, or with its missing parents too.
    FolderCreation creation = FolderCreation::OneLevel;
    // Also write base.par2 and base.volNN+MM.par2, which can rebuild this many lost pieces.
    RecoveryChoice recovery{};
};

// The split's input check: the first failure is shown and false returned.
bool ValidateInputs(const SplitRequest& request, OperationHost& host);

// A file whose name is that of one of its set's own files (base.kdh, base.bat, base.sha256,
// base.kdj) cannot be split: rebuilt beside its pieces it would take that file's place, and a
// merge that cleans up would remove it. The message is shown and true returned for such a name.
bool RefuseSetFileName(const BaseName& names, const std::string& sourcePath, OperationHost& host);

// Where a split of `base` writes: the destination folder without its trailing separator, and the
// head file in it, made under a temporary name once the folder is ready, there is room for
// `needed` bytes (when known) and, when the options ask, the user has agreed to replace a head
// file of that name. It is put in place only when the pieces are. Otherwise the outcome that ends
// the split, after its message.
struct SplitPlace {
    std::string folder;
    std::string headPath;
    std::optional<StagedFile> head;
    std::optional<Outcome> stop;
};
SplitPlace PrepareSplitPlace(const std::string& destinationFolder, const std::string& base,
                             std::optional<std::uint64_t> needed, const OptionSet& options,
                             OperationHost& host, FolderCreation creation);

// Cuts the source into base_1.skf … in the destination, with base.kdh and base.bat beside them.
// `options` is the option set in force, read at the moment each value is needed; without one the
// split stops with "Get MainFrame error!". Every outcome is reported through the host.
// Every file is written under a temporary name and put in place by a rename: the pieces once all
// are whole, the head file after them. A split that fails or is stopped before its head file is in
// place removes what it made and leaves every file that was there before as it was.
Outcome RunSplit(const SplitRequest& request, const OptionSet* options, OperationHost& host);

}  // namespace kavendrum
