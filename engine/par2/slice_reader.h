#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/io/file_error.h"

namespace kavendrum::par2 {

// Memory for many slices at once, straight from the system: zeros until written, with no pass
// of ours to clear it, and on Linux in large pages where the system gives them, so that the first
// touch of a hundred megabytes of coding outputs costs a few hundred faults instead of tens of
// thousands. Throws std::bad_alloc when the system refuses,
// as `new` does.
class SlicePages {
  public:
    SlicePages() = default;
    explicit SlicePages(std::size_t bytes);
    ~SlicePages();
    SlicePages(SlicePages&& other) noexcept;
    SlicePages& operator=(SlicePages&& other) noexcept;
    SlicePages(const SlicePages&) = delete;
    SlicePages& operator=(const SlicePages&) = delete;
    std::uint8_t* data() const { return m_data; }
    std::size_t size() const { return m_size; }

  private:
    void Release();
    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};

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

// Runs `work` on up to `threads` threads (0: one per core) but no more than `items`, the calling
// thread among them, and returns when every one has returned; `work` takes its items itself.
void RunOnThreads(unsigned threads, std::size_t items, const std::function<void()>& work);

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
// slice, or one for slices that follow each other in one file and in memory; a failure is noted
// in `failure` with its path.
std::vector<std::function<void()>> ReadTasks(const std::vector<SliceRead>& reads,
                                             ReadFailure& failure);

}  // namespace kavendrum::par2
