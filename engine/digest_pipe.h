#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "engine/io/file.h"
#include "engine/io/sha256.h"
#include "engine/io/sha256_pair.h"
#include "engine/transfer.h"
#include "engine/worker_ring.h"

namespace kavendrum {

// Hashes the bytes a copy moves, piece by piece and, when asked, as one whole file, on helper
// threads while the copy goes on with its next read and write: the copy never waits for the
// hashing unless the hashing falls a few blocks behind. The data is read straight into a small
// ring of blocks and written from there, so the source is read once and never copied in memory.
// Where the processor has the SHA instructions, both digests share one thread with their rounds
// interleaved, which costs little more than one, and the copy has the other core to itself;
// elsewhere each digest has a thread of its own.
class DigestPipe {
  public:
    static constexpr std::size_t kBlockSize = 256 * 1024;
    static constexpr std::size_t kBlocks = 4;

    // Which digests to make: each piece's, the whole's, or both; at least one.
    DigestPipe(bool pieces, bool wholeFile);
    DigestPipe(const DigestPipe&) = delete;
    DigestPipe& operator=(const DigestPipe&) = delete;

    // Reads `size` bytes from `from`, writes them to `to` when there is one, and hashes them;
    // `tap`, when given, also sees each block, on the calling thread.
    Moved Move(File& from, File* to, std::size_t size, const ByteTap& tap = {});
    // The bytes moved since the last call make one piece.
    void EndPiece();
    // Waits for the hashing to catch up and hands over the digests of the pieces ended since the
    // last call, in order; a digest is missing where the library failed.
    std::vector<std::optional<Sha256Digest>> TakePieceDigests();
    // Waits for the hashing to catch up and gives the digest of everything moved.
    std::optional<Sha256Digest> WholeDigest();

  private:
    std::vector<WorkerRing::Consumer> Hashers(bool pieces, bool wholeFile);
    void HashPieces(const RingBlock& block);
    void HashBoth(const RingBlock& block);

    Sha256 m_piece;
    Sha256 m_whole;
    std::optional<Sha256Pair> m_pair;  // the piece's lane and the whole's, when they share a core
    std::vector<std::optional<Sha256Digest>> m_pieceDigests;  // the hashers' until drained
    WorkerRing m_ring;  // last: its threads stop before the digests above go
};

}  // namespace kavendrum
