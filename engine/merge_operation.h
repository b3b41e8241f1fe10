#pragma once

#include <functional>
#include <string>

#include "engine/io/file.h"
#include "engine/operation_host.h"
#include "engine/option_set.h"
#include "engine/outcome.h"
#include "engine/verification.h"

namespace kavendrum {

struct MergeRequest {
    std::string headPath;
    std::string destinationFolder;  // checked and created if need be; the output names its file
    std::string outputPath;
    // When set, the rebuilt file goes here (a pipe, say) instead of to outputPath: no folder check,
    // no overwrite question, and the pieces are kept whatever the options say, since nothing
    // tells that the bytes were stored at the other end.
    File* stream = nullptr;
};

// The verification a merge runs first when the options ask for it. A form shows its marks in its
// piece list; without one, VerifyPieces on the head file is run and its list dropped.
using MergeVerifier = std::function<VerifyOutcome()>;

// The merge's input check: the first failure is shown and false returned.
bool ValidateMergeInputs(const MergeRequest& request, OperationHost& host);

// Joins the pieces a head file names into the output file. `options` is the option set in force;
// without one the merge stops with "Get MainFrame Error!". Every outcome is reported through the
// host.
Outcome RunMerge(const MergeRequest& request, const OptionSet* options, OperationHost& host,
                 const MergeVerifier& verify = {});

}  // namespace kavendrum
