#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "engine/io/file.h"
#include "engine/io/sha256.h"
#include "engine/transfer.h"

namespace kavendrum {

// Hashes the bytes a copy moves, piece by piece and, when asked, as one whole file, on helper
// threads while the copy goes on with its next read and write: the copy never waits for the
// hashing unless the hashing falls a few blocks behind. The data passes through a small ring of
// blocks, so the source is read once. Where no thread can be started it hashes in line.
class DigestPipe {
  public:
    static constexpr std::size_t kBlockSize = 256 * 1024;
    static constexpr std::size_t kSlots = 4;

    // Which digests to make: each piece's, the whole's, or both; at least one.
    DigestPipe(bool pieces, bool wholeFile);
    ~DigestPipe();
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
    struct Slot {
        std::vector<char> data;
        std::size_t size = 0;
        bool endsPiece = false;
    };
    enum Hasher { kPieces = 0, kWhole = 1 };

    Slot& Acquire();
    void Publish();
    void Consume(int hasher, const Slot& slot);
    void Work(int hasher);
    void WaitForHashers(std::unique_lock<std::mutex>& lock);

    int m_hashers = 0;
    std::array<Hasher, 2> m_kinds{};  // what each hasher makes, by its index
    std::array<Slot, kSlots> m_slots;
    std::uint64_t m_published = 0;
    std::array<std::uint64_t, 2> m_consumed{};
    Sha256 m_piece;
    Sha256 m_whole;
    std::vector<std::optional<Sha256Digest>> m_pieceDigests;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;  // started last, once everything above is in place
};

}  // namespace kavendrum
