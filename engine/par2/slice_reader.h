#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/io/file_error.h"

namespace kavendrum::par2 {

// One slice to read: `size` bytes of `path` at `offset` into `target`, which holds `capacity`
// bytes; what lies beyond the slice in the target becomes zeros.
struct SliceRead {
    const std::string* path = nullptr;
    std::uint64_t offset = 0;
    std::size_t size = 0;
    std::uint8_t* target = nullptr;
    std::size_t capacity = 0;
};

// Reads a batch of slices, shared out among `threads` threads (0: one per core): copying from
// the system's cache costs about as much as the coding of a slice into a few outputs, so one
// thread alone would keep the other cores waiting. The first failure, if any, is returned with
// its path; a short read is a failure.
FileStatus ReadSlices(const std::vector<SliceRead>& reads, unsigned threads);

// The first failure among reads done as tasks on several threads.
class ReadFailure {
  public:
    void Note(const FileStatus& failure, const std::string& path);
    FileStatus First();

  private:
    std::mutex m_mutex;
    FileStatus m_first;
};

// The reads as tasks to run beside other work (the coding of the batch read before), one a
// slice; a failure is noted in `failure` with its path.
std::vector<std::function<void()>> ReadTasks(const std::vector<SliceRead>& reads,
                                             ReadFailure& failure);

}  // namespace kavendrum::par2
