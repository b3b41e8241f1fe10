#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/content_verification.h"
#include "engine/io/file.h"
#include "engine/operation_host.h"
#include "engine/option_set.h"
#include "engine/outcome.h"

namespace kavendrum {

struct MergeRequest {
    std::string headPath;
    std::string destinationFolder;  // checked and created if need be; the output names its file
    std::string outputPath;
    // When set, the rebuilt file goes here (a pipe, say) instead of to outputPath: no folder check,
    // no overwrite question, and the pieces are kept whatever the options say, since nothing
    // tells that the bytes were stored at the other end.
    File* stream = nullptr;
    // Pieces a check before the merge found damaged (the recovery files', a repair the user
    // declined): its verification marks them Bad, as it would a piece that differs from its line.
    std::vector<std::uint32_t> knownDamaged = {};
};

// What a merge did, so that its host can show it without working anything out again.
struct MergeResult {
    Outcome outcome = Outcome::Failed;
    std::uint32_t pieceCount = 0;  // as the head file names them, once it was read
    // The rebuilt file, once it stands whole under its name; empty for a stream or a failure.
    std::string outputWritten;
    // The verification run before the copy when the options ask for one: its rows and marks.
    std::optional<ContentVerification> checked;
};

// The merge's input check: the first failure is told and false returned.
bool ValidateMergeInputs(const MergeRequest& request, OperationHost& host);

// Joins the pieces a head file names into the output file. `options` is the option set in force;
// without one the merge stops with "Get MainFrame Error!". The head file is read once, and the
// folder listed once, for the whole run, its verification included. Every outcome is told to the
// host; a verification run first is also handed to the host's PiecesChecked as soon as it ends.
MergeResult RunMerge(const MergeRequest& request, const OptionSet* options, OperationHost& host);

}  // namespace kavendrum
