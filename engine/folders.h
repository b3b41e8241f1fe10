#pragma once

#include <cstdint>
#include <string>

#include "engine/head_file.h"
#include "engine/operation_host.h"
#include "engine/option_set.h"

namespace kavendrum {

enum class FolderSide { Split, Merge };
// How much of a missing folder's path is made: its last level only (its parent must exist), or
// every level that is missing, as `mkdir -p` does.
enum class FolderCreation { OneLevel, WithParents };

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
// option asks for one).
FolderCheck EnsureFolder(const std::string& path, FolderSide side, const OptionSet& options,
                         OperationHost& host, FolderCreation creation = FolderCreation::OneLevel);

// The destination check of a split or a merge: EnsureFolder, except for a destination that is
// used as it is (IsUncheckedDestination).
FolderCheck CheckDestination(const std::string& folder, FolderSide side, const OptionSet& options,
                             OperationHost& host,
                             FolderCreation creation = FolderCreation::OneLevel);

// Before a run writes `needed` bytes into the folder: true when its file system has room for
// them, or when that cannot be told; otherwise the need, what is free and where are shown, and
// false, so that the run is refused before it starts instead of failing half-way.
bool HasRoomFor(const std::string& folder, std::uint64_t needed, OperationHost& host);

// HasRoomFor a merge: the output's folder must hold the bytes still to be written (all of them,
// or those after what a journal keeps); a merge that removes each piece once it is copied, from
// the same file system, needs the largest piece's worth only.
struct MergeRoom {
    std::string outputFolder;
    std::string pieceFolder;
    const HeadFileInfo& info;
    std::uint64_t kept = 0;
    bool removesPieces = false;
};
bool HasRoomForMerge(const MergeRoom& room, OperationHost& host);

}  // namespace kavendrum
