#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/io/md5.h"
#include "engine/par2/par2_format.h"
#include "engine/worker_ring.h"

namespace kavendrum::par2 {

// The checksums a recovery set records of its pieces, made as the pieces' bytes stream past:
// each piece's MD5 and, forked from the same chain, that of its first 16 KiB and its first
// slice on one helper thread, each slice's CRC32 and the other slices' MD5 on another. MD5
// cannot be split, so chains over the same bytes are what two cores can share. The bytes are copied
// into a small ring, so the caller's buffer is free again on return and the caller goes on while
// the hashing catches up. Where no thread can be started, the hashing is done in line. Adds `count`
// zeros to the chain: a short slice is hashed as if padded to the slice size.
void UpdateWithZeros(Md5& md5, std::uint64_t count);

class StreamHashes {
  public:
    static constexpr std::size_t kSlotBytes = 1 << 20;
    static constexpr std::size_t kSlots = 8;

    // `lengths`: the pieces in stream order; empty pieces take no bytes.
    StreamHashes(std::vector<std::uint64_t> lengths, std::uint64_t sliceSize);
    ~StreamHashes();
    StreamHashes(const StreamHashes&) = delete;
    StreamHashes& operator=(const StreamHashes&) = delete;

    // The next bytes of the stream; bytes beyond the pieces' lengths are ignored.
    void Add(const void* data, std::size_t size);
    // Waits for the hashing and fills in md5, md5Of16k and slices of `files` (in the order of
    // the lengths given).
    void Finish(std::vector<FileEntry>& files);

  private:
    // One of the two hashing sides; each walks the pieces' boundaries on its own.
    class Side {
      public:
        virtual ~Side() = default;
        virtual void Consume(const std::uint8_t* data, std::size_t size) = 0;
    };
    class WholePieces;
    class Slices;

    std::vector<WorkerRing::Consumer> Consumers();

    std::unique_ptr<WholePieces> m_whole;
    std::unique_ptr<Slices> m_slices;
    WorkerRing m_ring;  // last: its threads stop before the sides go
};

}  // namespace kavendrum::par2
