#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/io/file_error.h"
#include "engine/io/md5.h"
#include "engine/par2/gf16_kernels.h"
#include "engine/par2/par2_format.h"

namespace kavendrum::par2 {

// How a set of pieces is sliced for its recovery files. The rule:
// - A recovery file must not be larger than a piece, and it needs a header for each slice it
//   holds, so it can never hold a whole piece's worth: a piece is cut in two slices (the slice
//   size is half the piece size, rounded up to a multiple of 4), and each recovery file holds one
//   recovery slice, its packet header, the creator packet and, when they still fit, the packets
//   that describe the set (the index file base.par2 always has them).
// - Rebuilding N pieces then takes 2N recovery slices. Fewer, larger slices would not fit a
//   recovery file; more, smaller ones cost more: the coding work grows with the number of
//   recovery slices times the data, so two slices per piece is the cheapest slicing that obeys
//   the size limit.
// - The format allows 32768 input slices: a set of more than 16384 pieces (or pieces too small
//   to hold a slice and its headers) cannot be protected this way, and the plan says so with
//   mostRepairable 0.
struct RecoveryPlan {
    std::uint64_t sliceSize = 0;
    std::uint32_t inputSlices = 0;
    std::uint32_t slicesPerPiece = 0;    // of a full piece
    std::uint32_t mostRepairable = 0;    // the most pieces any request could make rebuildable
    std::uint32_t repairablePieces = 0;  // what this request gets: min(wanted, mostRepairable)
    std::uint32_t recoverySlices = 0;    // one per recovery file
    bool describedInEachFile = false;    // every recovery file also describes the set
    std::uint64_t recoveryFileBytes = 0;
};
RecoveryPlan PlanRecovery(const std::vector<std::string>& pieceNames,
                          const std::vector<std::uint64_t>& pieceSizes, std::uint64_t pieceSize,
                          std::uint32_t wantedPieces);

// The names a set's files get: base.par2, and base.volFIRST+COUNT.par2 with FIRST the first
// exponent in the file, both numbers padded so that the names of one set have one length.
std::string IndexFileName(const std::string& baseName);
std::string RecoveryFileName(const std::string& baseName, std::uint32_t first, std::uint32_t count,
                             std::uint32_t total);

struct RecoveryRequest {
    std::string folder;                   // where the pieces are and the recovery files go
    std::string baseName;                 // base.par2, base.vol...
    std::vector<std::string> pieceNames;  // leaf names, in order
    std::vector<std::uint64_t> pieceSizes;
    std::uint64_t pieceSize = 0;
    std::uint32_t wantedPieces = 0;
    std::uint64_t memoryLimit = 256ull << 20;  // recovery data held at once
    unsigned threads = 0;                      // 0: one per core
    GfKernel kernel = FastestKernel();
};

enum class RecoveryStatus {
    Written,
    NothingAsked,  // no piece to protect, or none wanted
    CannotMeet,    // the pieces are too small or too many: see plan.mostRepairable
    Failed,        // a file could not be read or written; see error
};

struct RecoveryResult {
    RecoveryStatus status = RecoveryStatus::Failed;
    RecoveryPlan plan;
    std::vector<std::string> written;  // paths, index first
    FileError error;
};

// Makes a set's recovery files. The pieces' bytes come through Add as the split writes them, in
// order, so that their checksums are made in the same pass; the coding itself has to wait for
// Finish, because the format orders the slices by ids that depend on every piece's contents, and
// reads the pieces back from the folder (from the cache, as a rule, right after a split), as many
// rounds as the memory limit calls for.
class StreamHashes;
class PieceHashing;
class SliceCombiner;
struct CodingBatch;
class RecoveryEncoder {
  public:
    // Where the pieces' checksums come from: the bytes given to Add as a split writes them, or
    // the pieces already on disk, hashed by the coding as it reads them (FinishFromPieces).
    enum class Source { Stream, Pieces };
    explicit RecoveryEncoder(RecoveryRequest request);
    RecoveryEncoder(RecoveryRequest request, Source source);
    ~RecoveryEncoder();
    RecoveryEncoder(RecoveryEncoder&&) noexcept;
    RecoveryEncoder& operator=(RecoveryEncoder&&) noexcept;
    const RecoveryPlan& Plan() const { return m_plan; }
    void Add(const void* data, std::size_t size);
    RecoveryResult Finish();
    // For Source::Pieces: reads the pieces from the folder once, hashing and coding the same
    // bytes on all cores; a piece whose size is not the one given fails the creation.
    RecoveryResult FinishFromPieces();

  private:
    std::optional<RecoveryResult> Refusal() const;
    bool HashFirstParts(RecoveryResult& result);
    FileStatus HashFirstPart(FileEntry& entry, std::vector<std::uint8_t>& buffer) const;
    SetDescription Describe() const;
    std::vector<std::uint32_t> FirstIndices() const;
    RecoveryResult Encode(bool hashWhileCoding);
    bool WriteIndex(const SetDescription& set, RecoveryResult& result);
    bool WriteRound(const SetDescription& set, const SliceCombiner& combiner, std::uint32_t first,
                    std::uint32_t count, RecoveryResult& result);
    bool Code(const std::vector<std::uint32_t>& firstIndex, std::uint32_t first,
              SliceCombiner& combiner, PieceHashing* hashing, CodingBatch* batches,
              RecoveryResult& result);

    RecoveryRequest m_request;
    RecoveryPlan m_plan;
    std::vector<FileEntry> m_files;  // in piece order
    std::uint64_t m_total = 0;       // the pieces' bytes
    std::uint64_t m_added = 0;
    std::unique_ptr<StreamHashes> m_hashes;  // while there is something to protect
    bool m_overrun = false;
};

// Creation from pieces already on disk: Add from the files, then Finish.
RecoveryResult CreateRecoveryFiles(const RecoveryRequest& request);

// Writes `parts` to a new file beside `path` and renames it into place; the temporary file is
// created new (no link followed) and flushed before the rename.
FileStatus WriteFileByRename(const std::string& path,
                             const std::vector<std::pair<const void*, std::size_t>>& parts);

}  // namespace kavendrum::par2
