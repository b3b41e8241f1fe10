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

// Moves bytes between files in the very sizes the operations read and write: inside the kernel
// where it can (on file systems that share blocks, without copying them), else through one
// buffer of at most `bufferSize` bytes, made only when first needed.
class Transfer {
  public:
    explicit Transfer(std::size_t bufferSize) : m_bufferSize(bufferSize) {}

    Moved Move(File& from, File& to, std::size_t size);
    // As Move, always through the buffer, so that `tap` sees every byte.
    Moved MoveSeen(File& from, File& to, std::size_t size, const ByteTap& tap) {
        return MoveThroughBuffer(from, to, size, &tap);
    }

  private:
    Moved MoveThroughBuffer(File& from, File& to, std::size_t size, const ByteTap* tap = nullptr);

    std::size_t m_bufferSize;
    bool m_kernelCopies = true;
    std::vector<char> m_buffer;
};

}  // namespace kavendrum
