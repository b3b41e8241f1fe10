#pragma once

#include <cstdint>
#include <string>

#include "engine/folders.h"
#include "engine/io/file.h"
#include "engine/operation_host.h"
#include "engine/option_set.h"
#include "engine/outcome.h"
#include "engine/recovery_operation.h"
#include "engine/split_operation.h"

namespace kavendrum {

// A split of data whose size is known only at its end, such as a pipe.
struct StreamSplitRequest {
    std::string name;  // the file name the data stands for: base name and extension
    std::string destinationFolder;
    std::uint32_t pieceSize = 0;
    // Also write base.sha256 after the batch file, hashed as the data comes, as a file's split
    // does.
    bool writeChecksums = false;
    FolderCreation creation = FolderCreation::OneLevel;
    // As a file's split: the earlier set's pieces beyond the new count go once the set is in place.
    bool removeEarlierPieces = false;
    // Also write recovery files, last: the pieces' sizes are known only once the stream ends, so
    // they are read back for it.
    RecoveryChoice recovery{};
};

// Cuts the stream into base_1.skf … as the data comes, with base.kdh and base.bat beside them, as
// RunSplit does for a file: the same checks, questions, messages and files, and the same piece
// count (size / pieceSize + 1, so a size that divides evenly ends with an empty piece). The head
// file is made first and its record written at the end; all of them under temporary names, put in
// place once the stream has ended, and removed again when the run fails or is stopped before its
// head file is in place. Progress goes to the host's BytesDone.
// `deleteAfterSplit` does not apply: there is no source file to delete.
SplitResult SplitStream(const StreamSplitRequest& request, File& stream, const OptionSet* options,
                        OperationHost& host);
// As SplitStream, for a host that needs only the outcome.
Outcome RunStreamSplit(const StreamSplitRequest& request, File& stream, const OptionSet* options,
                       OperationHost& host);

}  // namespace kavendrum
