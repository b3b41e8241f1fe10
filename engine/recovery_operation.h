#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/content_verification.h"
#include "engine/operation_host.h"
#include "engine/par2/recovery_files.h"
#include "engine/par2/recovery_repair.h"
#include "engine/piece_set.h"

namespace kavendrum {

// The recovery data held in memory at once unless the user gives another bound.
inline constexpr std::uint64_t kDefaultRecoveryMemory = 256ull << 20;

// How many pieces a split's recovery files are to rebuild: a count ("3") or a share of the
// pieces ("10%", rounded up).
struct RecoveryAmount {
    std::uint32_t value = 0;
    bool percent = false;

    bool None() const { return value == 0; }
};
// "N" or "P%" with P from 1 to 100; nothing for any other text.
std::optional<RecoveryAmount> ReadRecoveryAmount(const std::string& text);
// The pieces to protect out of `pieceCount`; never more than there are.
std::uint32_t PiecesToProtect(const RecoveryAmount& amount, std::uint32_t pieceCount);

// What a split is asked to add besides its pieces.
struct RecoveryChoice {
    RecoveryAmount amount;
    std::uint64_t memoryLimit = kDefaultRecoveryMemory;
};

// A split's recovery files: it takes the bytes as the split copies them, and writes base.par2
// and base.volNN+MM.par2 beside the pieces once they are in place.
class SplitRecovery {
  public:
    SplitRecovery(const std::string& folder, const std::string& base, std::uint64_t fileSize,
                  std::uint32_t pieceCount, std::uint32_t pieceSize, const RecoveryChoice& choice);

    void Add(const void* data, std::size_t size) { m_encoder.Add(data, size); }
    // Bytes the recovery files take, for the room check before the split.
    std::uint64_t BytesNeeded() const;
    // Writes the files and says how many pieces can be lost, or why none can; false when the
    // request was not met.
    bool Finish(OperationHost& host);

  private:
    std::uint32_t m_wanted;
    bool m_empty;
    par2::RecoveryEncoder m_encoder;
};

// Writes the recovery files of pieces already on disk (a split of a stream, whose piece sizes
// are known only at its end), reading them back; reported as SplitRecovery::Finish does.
bool WriteRecoveryForPieces(const PieceSet& set, std::uint64_t fileSize, std::uint32_t pieceCount,
                            std::uint32_t pieceSize, const RecoveryChoice& choice,
                            OperationHost& host);

// The recovery files of a set found beside its head file: base.par2 first when it is there,
// then every base.vol*.par2.
std::vector<std::string> RecoveryFilesOf(const PieceSet& set);

// A check or repair of the pieces a head file names against the recovery files beside it.
struct SetRepair {
    bool headRead = false;  // false: the head file could not be read; nothing was done
    bool hasRecoveryFiles = false;
    std::vector<std::string> piecePaths;
    par2::RepairResult result;
    // After a repair that rebuilt all it had to: the pieces, by number from 1, that it kept and
    // that still differ from the head file's size or their line in base.sha256.
    std::vector<std::uint32_t> stillBad;

    // Pieces the recovery files find missing or damaged.
    std::uint32_t BadPieces() const;
    // The pieces they find damaged (there, but not what they protect), by number from 1.
    std::vector<std::uint32_t> DamagedPieces() const;
    // How many pieces the recovery slices at hand could rebuild, however many are bad.
    std::uint32_t RebuildablePieces() const;
    bool CanRebuildAll() const;
};

struct RepairOptions {
    bool checkOnly = false;
    std::uint64_t memoryLimit = kDefaultRecoveryMemory;
};

// Reads the head file and the recovery files beside it and checks, or rebuilds, its pieces. A
// rebuilt piece is also checked against its line in base.sha256, when it has one, before it
// takes the piece's place; after a repair every piece it kept is checked against its size and
// its line (see stillBad), so that a repair never ends in success over a piece verify rejects.
SetRepair RepairSet(const std::string& headPath, const RepairOptions& options);

// Tells the host how a repair ended; false unless every piece is good now.
bool ReportRepair(const SetRepair& repair, const std::string& headPath, OperationHost& host);

// Before a merge: when pieces are missing or damaged and the recovery files beside the head file
// can rebuild every one, asks "Some pieces are damaged or missing, do you want to repair them
// first?" and, on yes, calls `repairing` and repairs, through `run` when one is given (a form
// runs the repair beside a moving bar, since the repair cannot say how far it is). The offer
// tells whether a repair ran and failed, and otherwise what the recovery files found: the
// merge's own verification is then told of the pieces they found damaged.
using RepairRunner = std::function<SetRepair(const std::function<SetRepair()>& repair)>;
struct RepairOffer {
    bool repairFailed = false;        // a repair ran and failed
    bool repaired = false;            // a repair ran and every piece it rebuilt checked
    std::optional<SetRepair> before;  // their check of the pieces; none without recovery files
};
RepairOffer OfferRepairFirst(const std::string& headPath, OperationHost& host,
                             std::uint64_t memoryLimit = kDefaultRecoveryMemory,
                             const std::function<void()>& repairing = {},
                             const RepairRunner& run = {});

// Verification as VerifyWithChecksums does it, with a further check of every piece against the
// recovery files when there are any: a piece they find missing or damaged is Bad too.
struct RecoveryVerification {
    ContentVerification checked;
    std::optional<SetRepair> recovery;  // none without recovery files
};
RecoveryVerification VerifyWithRecovery(const std::string& headPath, OperationHost& host,
                                        const std::string& outputPath = {});

}  // namespace kavendrum
