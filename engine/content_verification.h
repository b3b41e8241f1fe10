#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/operation_host.h"
#include "engine/verification.h"

namespace kavendrum {

struct ContentVerification {
    Verification verification;
    // Pieces of the right size whose content differs from their line, by number.
    std::vector<std::uint32_t> contentBad;
};

// Verification as the merge form and the merge run it. When stem.sha256 lies beside the head file
// every piece of the right size that has a line there is also read and its digest compared, with
// the progress on the host's bar; without it, only sizes are checked and no piece is read. Pieces
// that the journal of an interrupted merge into `outputPath` counts as merged are good when they
// are gone, but only when that merge can be taken up: its file is there and holds their bytes.
// A host that asks to stop ends the reading; the pieces not read are then Bad.
ContentVerification VerifyWithChecksums(const std::string& headPath, OperationHost& host,
                                        const std::string& outputPath = {});

}  // namespace kavendrum
