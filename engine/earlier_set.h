#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/io/file_system.h"
#include "engine/piece_set.h"

namespace kavendrum {

// What became of the pieces of an earlier set beyond the count of the set that replaced it.
struct EarlierPiecesRemoval {
    std::uint32_t removed = 0;
    // Paths of the earlier pieces that stay: links and folders, which are not ours to remove,
    // and files that changed after the split looked at them.
    std::vector<std::string> leftAlone;
    // Paths of the earlier pieces that could not be removed, with the reason.
    std::vector<FileError> failed;
    // The earlier set's checksum file, removed because the new set wrote none: its lines would
    // call the new pieces bad. Empty when none was removed.
    std::string checksumFileRemoved;
};

// The pieces of the set a split is about to replace, as the earlier head file named them: a new
// set with fewer pieces would otherwise leave the old ones beyond its count beside it, where
// they pass for part of it. Only names made by the piece-name rule are looked at, never a name
// from the head file, whose record is untrusted: its count only bounds which numbers count. The
// folder is listed once, so a count of billions costs what the pieces really there cost.
class EarlierSet {
  public:
    // Looks at the set `base` in `folder` (no trailing separator) before anything of the new
    // set is in place, taking the identity of each piece numbered above `keptUpTo` that stands
    // there as a plain file, and of the checksum file. Empty when there is no sound earlier head
    // file, or it is a link.
    static EarlierSet Look(const std::string& folder, const std::string& base,
                           std::uint32_t keptUpTo);

    // Once the new set of `pieceCount` pieces is wholly in place: removes each earlier piece
    // beyond that count that is still the very file looked at.
    EarlierPiecesRemoval RemoveBeyond(std::uint32_t pieceCount) const;
    // For a new set written without a checksum file: removes the earlier set's, when it is still
    // the very file looked at, into `removal`.
    void RemoveChecksumFile(EarlierPiecesRemoval& removal) const;

  private:
    // Pieces that were plain files, by number, ascending.
    std::vector<std::pair<std::uint32_t, FileStamp>> m_files;
    // Paths of pieces that were links or folders, with their numbers.
    std::vector<std::pair<std::uint32_t, std::string>> m_others;
    std::optional<FileStamp> m_checksumFile;  // a plain file
    PieceSet m_set = PieceSet::InFolder("", "");
};

}  // namespace kavendrum
