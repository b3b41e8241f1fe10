#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/earlier_set.h"
#include "engine/folders.h"
#include "engine/head_file.h"
#include "engine/io/staged_file.h"
#include "engine/operation_host.h"
#include "engine/option_set.h"
#include "engine/outcome.h"
#include "engine/paths.h"
#include "engine/piece_set.h"
#include "engine/recovery_operation.h"

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
    // Once the new set is in place over an earlier one of the same name, remove the earlier
    // pieces beyond the new count, as far as the earlier head file named them.
    bool removeEarlierPieces = false;
    // Also write base.par2 and base.volNN+MM.par2, which can rebuild this many lost pieces.
    RecoveryChoice recovery{};
};

// How a file of `fileSize` bytes is cut into pieces of `pieceSize`: one piece more than the whole
// pieces, the last holding the rest (empty when the size divides the file). Nothing when the size
// is 0 or the count would not fit the head file's 32 bits.
struct SplitPlan {
    std::uint32_t pieceCount = 0;
    std::uint32_t lastPieceSize = 0;
};
std::optional<SplitPlan> PlanSplit(std::uint64_t fileSize, std::uint32_t pieceSize);

// What a split did, for its host: the set it wrote and, once the set is whole (its head file in
// place), how many pieces it has; every path it put in place, in order.
struct SplitResult {
    Outcome outcome = Outcome::Failed;
    std::optional<PieceSet> set;
    std::uint32_t pieceCount = 0;  // 0 until the head file is in place
    std::vector<std::string> written;
    // With removeEarlierPieces: what became of the earlier set's pieces beyond the new count.
    EarlierPiecesRemoval earlier;
};

// The fields every split needs, whether it reads a file or a stream: what to split (its path or
// its name) and where to. The first that is empty is shown and false returned.
bool HasSplitFields(const std::string& source, const std::string& destinationFolder,
                    OperationHost& host);

// The split's input check: its fields, then that the source opens. The first failure is shown
// and false returned.
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
    std::optional<PieceSet> set;
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
SplitResult SplitFile(const SplitRequest& request, const OptionSet* options, OperationHost& host);
// As SplitFile, for a host that needs only the outcome.
Outcome RunSplit(const SplitRequest& request, const OptionSet* options, OperationHost& host);

}  // namespace kavendrum
