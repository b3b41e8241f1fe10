#pragma once

#include <string>

#include "engine/operation_host.h"
#include "options/option_set.h"

namespace kavendrum {

enum class FolderSide { Split, Merge };

// The folder of the running program, ending with a separator; empty when it cannot be found.
std::string GetProgramFolder();
// The same answer with or without a trailing separator; false for a file or nothing.
bool FolderExists(const std::string& path);
enum class FolderCheck {
    Ready,     // the folder exists at return
    Declined,  // the user answered Cancel to the question
    Failed,    // "Can not create folder!" has been shown
};

// Makes sure the folder exists: found, or created (after a question when the side's folder
// option asks for one). Creates one level only.
FolderCheck EnsureFolder(const std::string& path, FolderSide side, const OptionSet& options,
                         OperationHost& host);

// The destination check of a split or a merge: EnsureFolder, except for a destination that is
// used as it is (IsUncheckedDestination).
FolderCheck CheckDestination(const std::string& folder, FolderSide side, const OptionSet& options,
                             OperationHost& host);

}  // namespace kavendrum
