#include "engine/par2/slice_reader.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "engine/io/file.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max below, not the macros
#endif
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace kavendrum::par2 {

namespace {

// Reads [first, end) of `reads`, a run in one file and in memory (see RunEnd), with one open and
// one read.
FileStatus ReadRun(const std::vector<SliceRead>& reads, std::size_t first, std::size_t end) {
    const SliceRead& start = reads[first];
    const SliceRead& last = reads[end - 1];
    auto file = File::OpenSharedForReading(*start.path);
    if (!file.ok()) {
        return file.error();
    }
    if (auto failure = file.value().SeekTo(start.offset)) {
        return failure;
    }
    const auto size = static_cast<std::size_t>(last.target + last.size - start.target);
    auto got = file.value().Read(start.target, size);
    if (!got.ok()) {
        return got.error();
    }
    if (got.value() != size) {
        return FileError{FileErrorCause::Generic, *start.path, 0};
    }
    std::memset(last.target + last.size, 0, last.capacity - last.size);
    return {};
}

// Where the run of reads that starts at `first` ends: slices that follow each other in one file
// and in memory, every one but the last whole, as a piece's slices lie in a batch.
std::size_t RunEnd(const std::vector<SliceRead>& reads, std::size_t first) {
    std::size_t end = first + 1;
    for (; end < reads.size(); ++end) {
        const SliceRead& before = reads[end - 1];
        const SliceRead& next = reads[end];
        const bool follows = before.size == before.capacity &&
                             next.offset == before.offset + before.size &&
                             next.target == before.target + before.capacity;
        if (!follows || *next.path != *before.path) {
            break;
        }
    }
    return end;
}

}  // namespace

SlicePages::SlicePages(std::size_t bytes) {
    if (bytes == 0) {
        return;
    }
#ifdef _WIN32
    void* memory = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
#else
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        throw std::bad_alloc();
    }
#ifdef MADV_HUGEPAGE
    (void)madvise(memory, bytes, MADV_HUGEPAGE);  // a hint: small pages work as well
#endif
#endif
    m_data = static_cast<std::uint8_t*>(memory);
    m_size = bytes;
}

SlicePages::~SlicePages() {
    Release();
}

SlicePages::SlicePages(SlicePages&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)) {}

SlicePages& SlicePages::operator=(SlicePages&& other) noexcept {
    if (this != &other) {
        Release();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

void SlicePages::Release() {
    if (m_data == nullptr) {
        return;
    }
#ifdef _WIN32
    VirtualFree(m_data, 0, MEM_RELEASE);
#else
    munmap(m_data, m_size);
#endif
    m_data = nullptr;
    m_size = 0;
}

FileStatus ReadSlices(const std::vector<SliceRead>& reads, unsigned threads) {
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    FileStatus first;
    const auto work = [&] {
        for (std::size_t i = next++; i < reads.size(); i = next++) {
            if (auto failure = ReadRun(reads, i, i + 1)) {
                std::lock_guard lock(mutex);
                if (!first) {
                    first = failure;
                    first->path = *reads[i].path;
                }
                next = reads.size();
            }
        }
    };
    RunOnThreads(threads, reads.size(), work);
    return first;
}

void RunOnThreads(unsigned threads, std::size_t items, const std::function<void()>& work) {
    const std::size_t wanted = std::min<std::size_t>(
        threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency()), items);
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < wanted; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer threads do the same items
        }
    }
    work();
    for (auto& helper : helpers) {
        helper.join();
    }
}

void ReadFailure::Note(const FileStatus& failure, const std::string& path) {
    std::lock_guard lock(m_mutex);
    if (failure && !m_first) {
        m_first = failure;
        m_first->path = path;
    }
}

FileStatus ReadFailure::First() {
    std::lock_guard lock(m_mutex);
    return m_first;
}

std::vector<std::function<void()>> ReadTasks(const std::vector<SliceRead>& reads,
                                             ReadFailure& failure) {
    std::vector<std::function<void()>> tasks;
    for (std::size_t first = 0; first < reads.size();) {
        const std::size_t end = RunEnd(reads, first);
        tasks.emplace_back([&reads, &failure, first, end] {
            failure.Note(ReadRun(reads, first, end), *reads[first].path);
        });
        first = end;
    }
    return tasks;
}

}  // namespace kavendrum::par2
