#include "engine/transfer.h"

#include <algorithm>

namespace kavendrum {

Moved Transfer::Move(File& from, File& to, std::size_t size) {
    Moved moved;
    if (m_kernelCopies && size > 0) {
        const RangeCopy copy = from.CopyRangeTo(to, size);
        moved.bytes = copy.copied;
        if (!copy.stopped) {
            return moved;
        }
        // Files the kernel cannot copy between stay so for the whole run.
        if (copy.unsupported && copy.copied == 0) {
            m_kernelCopies = false;
        }
    }
    // The rest, or all of it: reading and writing also tells why a kernel copy stopped.
    const Moved rest = MoveThroughBuffer(from, to, size - moved.bytes);
    moved.bytes += rest.bytes;
    moved.error = rest.error;
    return moved;
}

Moved Transfer::MoveThroughBuffer(File& from, File& to, std::size_t size, const ByteTap& tap) {
    const auto buffer = [this](std::size_t chunk) {
        if (m_buffer.size() < chunk) {
            m_buffer.resize(chunk);
        }
        return m_buffer.data();
    };
    return MoveBlocks(from, &to, size, m_bufferSize, buffer, tap);
}

Moved MoveBlocks(File& from, File* to, std::size_t size, std::size_t blockSize,
                 const BlockBuffer& buffer, const ByteTap& seen) {
    Moved moved;
    while (moved.bytes < size) {
        const std::size_t chunk = std::min(size - moved.bytes, blockSize);
        char* const block = buffer(chunk);
        const auto got = from.Read(block, chunk);
        if (!got.ok()) {
            moved.error = got.error();
            return moved;
        }
        if (got.value() == 0) {
            return moved;
        }
        if (seen) {
            seen(block, got.value());
        }
        if (to != nullptr) {
            if (auto failure = to->Write(block, got.value())) {
                moved.error = failure;
                return moved;
            }
        }
        moved.bytes += got.value();
        if (got.value() < chunk) {
            return moved;
        }
    }
    return moved;
}

}  // namespace kavendrum
