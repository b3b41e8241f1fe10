#include "engine/par2/slice_reader.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "engine/io/file.h"

namespace kavendrum::par2 {

namespace {

FileStatus ReadOne(const SliceRead& read) {
    auto file = File::OpenSharedForReading(*read.path);
    if (!file.ok()) {
        return file.error();
    }
    if (auto failure = file.value().SeekTo(read.offset)) {
        return failure;
    }
    auto got = file.value().Read(read.target, read.size);
    if (!got.ok()) {
        return got.error();
    }
    if (got.value() != read.size) {
        return FileError{FileErrorCause::Generic, *read.path, 0};
    }
    std::memset(read.target + read.size, 0, read.capacity - read.size);
    return {};
}

}  // namespace

FileStatus ReadSlices(const std::vector<SliceRead>& reads, unsigned threads) {
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    FileStatus first;
    const auto work = [&] {
        for (std::size_t i = next++; i < reads.size(); i = next++) {
            if (auto failure = ReadOne(reads[i])) {
                std::lock_guard lock(mutex);
                if (!first) {
                    first = failure;
                    first->path = *reads[i].path;
                }
                next = reads.size();
            }
        }
    };
    const std::size_t wanted = std::min<std::size_t>(
        threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency()), reads.size());
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < wanted; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer threads read the same slices
        }
    }
    work();
    for (auto& helper : helpers) {
        helper.join();
    }
    return first;
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
    for (const SliceRead& read : reads) {
        tasks.emplace_back([&read, &failure] { failure.Note(ReadOne(read), *read.path); });
    }
    return tasks;
}

}  // namespace kavendrum::par2
