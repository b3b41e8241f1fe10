#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/checksum_file.h"
#include "engine/head_file.h"
#include "engine/merge_journal.h"
#include "engine/operation_host.h"
#include "engine/piece_set.h"
#include "engine/pieces_on_disk.h"
#include "engine/verification.h"

namespace kavendrum {

struct ContentVerification {
    Verification verification;
    // Pieces of the right size whose content differs from their line, by number.
    std::vector<std::uint32_t> contentBad;
};

// Marks the pieces `numbers` (from 1) Bad for their content, as a check beyond the checksum file
// found them, unless their row is Bad already or stands for a run; the verification then fails.
void MarkContentBad(ContentVerification& checked, const std::vector<std::uint32_t>& numbers);

// The set's checksum file, read once for a run.
struct SetChecksums {
    std::optional<PieceChecksums> checksums;  // none when there is no checksum file
    // Which file it was, when its name held the same file before and after the read; only then
    // may a merge remove it.
    std::optional<FileStamp> file;
};
// Reads stem.sha256 for this head file's record; nothing, after telling the host, when one is
// there but cannot be read, since its lines were the check the user asked for.
std::optional<SetChecksums> ReadSetChecksums(const PieceSet& set, const HeadFileInfo& info,
                                             OperationHost& host);

// What a verification knows of a set besides its pieces, each read once by whoever runs it.
struct KnownSet {
    const PieceSet& set;
    const HeadFileInfo& info;
    const PiecesOnDisk& onDisk;                 // the folder, listed once
    const PieceChecksums* checksums = nullptr;  // the checksum file's lines, if there is one
    const MergeJournal* interrupted = nullptr;  // a merge into the output that can be taken up
};

// Verification as the merge form and the merge run it. With a checksum file every piece of the
// right size that has a line there is also read and its digest compared, with the progress on
// the host's bar; without it, only sizes are checked and no piece is read. Pieces that the
// journal of an interrupted merge counts as merged are good when they are gone. A host that asks
// to stop ends the reading; the pieces not read are then Bad.
ContentVerification VerifyWithChecksums(const KnownSet& known, OperationHost& host);

// The Verify button's: reads the head file, the checksum file and, when `outputPath` is given,
// the journal of an interrupted merge into it, then verifies as above.
ContentVerification VerifyWithChecksums(const std::string& headPath, OperationHost& host,
                                        const std::string& outputPath = {});

}  // namespace kavendrum
