#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "engine/io/file.h"
#include "engine/io/file_error.h"

namespace kavendrum {

struct Moved {
    std::size_t bytes = 0;  // fewer than asked when the source ended early
    FileStatus error;       // the file and cause, as the read or write that failed gives them
};

// Sees each block of bytes a copy moves, in order, before it is written.
using ByteTap = std::function<void(const void* data, std::size_t size)>;
// Gives the buffer, of at least `size` bytes, that a copy reads its next block into.
using BlockBuffer = std::function<char*(std::size_t size)>;

// The one read/write loop: reads up to `size` bytes from `from` in blocks of at most `blockSize`,
// each into the buffer `buffer` gives, shows each block to `seen` (when given) and then writes it
// to `to` (when there is one). It stops at the end of the source or at the first failure.
Moved MoveBlocks(File& from, File* to, std::size_t size, std::size_t blockSize,
                 const BlockBuffer& buffer, const ByteTap& seen);

// Moves bytes between files in the very sizes the operations read and write: inside the kernel
// where it can (on file systems that share blocks, without copying them), else through one
// buffer of at most `bufferSize` bytes, made only when first needed.
class Transfer {
  public:
    explicit Transfer(std::size_t bufferSize) : m_bufferSize(bufferSize) {}

    Moved Move(File& from, File& to, std::size_t size);
    // As Move, always through the buffer, so that `tap` sees every byte.
    Moved MoveSeen(File& from, File& to, std::size_t size, const ByteTap& tap) {
        return MoveThroughBuffer(from, to, size, tap);
    }

  private:
    Moved MoveThroughBuffer(File& from, File& to, std::size_t size, const ByteTap& tap = {});

    std::size_t m_bufferSize;
    bool m_kernelCopies = true;
    std::vector<char> m_buffer;
};

}  // namespace kavendrum
