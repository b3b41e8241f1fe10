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

}  // namespace kavendrum::par2
