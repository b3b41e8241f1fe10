#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/io/file_error.h"
#include "engine/par2/gf16_kernels.h"

namespace kavendrum::par2 {

enum class PieceCondition {
    Good,      // its size and MD5 are the ones the set records
    Missing,   // it cannot be opened
    Damaged,   // wrong size or wrong contents
    NotInSet,  // the recovery set does not describe a file of this name
};

struct PieceRepair {
    PieceCondition condition = PieceCondition::NotInSet;
    std::uint32_t badSlices = 0;
    bool rebuilt =
        false;  // a rebuilt piece, checked against the set's MD5, now stands in its place
};

enum class RepairStatus {
    AllGood,        // nothing to rebuild; nothing written
    Repairable,     // a check only: every bad piece could be rebuilt
    Repaired,       // every bad piece was rebuilt
    NotEnough,      // too few recovery slices: nothing written; see moreSlicesNeeded
    NoRecoverySet,  // no recovery set among the files describes these pieces
    Unsolvable,     // the slices at hand do not determine the missing ones (or too many to solve)
    Failed,         // a file could not be read or written, or a rebuilt piece did not check
};

struct RepairRequest {
    std::vector<std::string> piecePaths;     // the set's pieces, in order
    std::vector<std::string> recoveryPaths;  // base.par2, base.vol..., as found beside them
    std::uint64_t memoryLimit = 256ull << 20;
    unsigned threads = 0;  // 0: one per core
    GfKernel kernel = FastestKernel();
    bool checkOnly = false;  // only say what is bad and whether it can be rebuilt
    // A further check of a rebuilt piece, given its index and the new file beside it, before
    // that file takes the piece's place; false keeps the old piece and fails the repair.
    using AcceptRebuilt = std::function<bool(std::size_t piece, const std::string& rebuiltPath)>;
    AcceptRebuilt acceptRebuilt;
};

struct RepairResult {
    RepairStatus status = RepairStatus::Failed;
    std::vector<PieceRepair> pieces;  // in the order of the request's paths
    std::uint32_t missingSlices = 0;
    // Usable recovery slices found: every one checked in a check only or when there are too
    // few; otherwise those of distinct exponents, of which only the ones used were checked.
    std::uint32_t recoverySlices = 0;
    std::uint32_t moreSlicesNeeded = 0;  // when NotEnough
    std::uint32_t morePiecesNeeded = 0;  // the same in recovery files of one slice each
    std::uint32_t slicesPerPiece = 0;    // the slices of the set's largest file
    std::string creator;                 // the creator packet's text, for a set that fails
    FileError error;
    // Failed because the piece at error.path, rebuilt, did not check (no fault of the system's);
    // it was left as it was.
    bool rebuiltMismatch = false;
};

// The most missing slices one repair solves for: the solve takes time in the cube of their
// number (its matrix takes 4 bytes times the square: 64 MiB at this bound), and a hostile set
// must not make it run for long.
inline constexpr std::uint32_t kMaxSolvedSlices = 4096;

// Checks the pieces against the recovery set that describes them and rebuilds those that are
// missing or damaged. Only the missing slices are solved for, from as many recovery slices; the
// rest of the work is one pass over the good slices. A rebuilt piece is written new beside the
// old one, checked against the set's MD5 and only then renamed into its place; a good piece is
// never written, and when the recovery slices do not suffice nothing is written at all. Names in
// the set are only compared with the pieces' own names. A check only (checkOnly) hashes every
// piece and every recovery slice; a repair checks the pieces it keeps by their MD5 as the coding
// reads them, and the recovery slices it uses by their MD5: it ends in Repaired or AllGood only
// when every piece the set describes has the set's size and MD5. Memory: the rebuilt slices in
// rounds of at most memoryLimit, plus two batches of input slices of about 8 MiB each (one coded
// while the next is read), plus the solve's matrix, plus what the reader holds (at most 64 MiB, see
// ReadLimits).
RepairResult RepairPieces(const RepairRequest& request);

}  // namespace kavendrum::par2
