#include "engine/digest_pipe.h"

#include <algorithm>
#include <system_error>

namespace kavendrum {

DigestPipe::DigestPipe(bool pieces, bool wholeFile) {
    if (pieces || !wholeFile) {
        m_kinds[m_hashers++] = kPieces;
    }
    if (wholeFile) {
        m_kinds[m_hashers++] = kWhole;
    }
    for (auto& slot : m_slots) {
        slot.data.resize(kBlockSize);
    }
    try {
        for (int hasher = 0; hasher < m_hashers; ++hasher) {
            m_workers.emplace_back([this, hasher] { Work(hasher); });
        }
    } catch (const std::system_error&) {
        // Hashing in line is slower but just as right; a thread that did start is stopped.
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        for (auto& worker : m_workers) {
            worker.join();
        }
        m_workers.clear();
        m_stopping = false;
    }
}

DigestPipe::~DigestPipe() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (auto& worker : m_workers) {
        worker.join();
    }
}

Moved DigestPipe::Move(File& from, File* to, std::size_t size, const ByteTap& tap) {
    Moved moved;
    while (moved.bytes < size) {
        const std::size_t chunk = std::min(size - moved.bytes, kBlockSize);
        Slot& slot = Acquire();
        const auto got = from.Read(slot.data.data(), chunk);
        if (!got.ok()) {
            moved.error = got.error();
            return moved;
        }
        if (got.value() == 0) {
            return moved;
        }
        slot.size = got.value();
        slot.endsPiece = false;
        // The hashers only read the block, so it is written out while they work on it.
        Publish();
        if (tap) {
            tap(slot.data.data(), slot.size);
        }
        if (to != nullptr) {
            if (auto failure = to->Write(slot.data.data(), slot.size)) {
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

void DigestPipe::EndPiece() {
    Slot& slot = Acquire();
    slot.size = 0;
    slot.endsPiece = true;
    Publish();
}

std::vector<std::optional<Sha256Digest>> DigestPipe::TakePieceDigests() {
    std::unique_lock lock(m_mutex);
    WaitForHashers(lock);
    return std::exchange(m_pieceDigests, {});
}

std::optional<Sha256Digest> DigestPipe::WholeDigest() {
    std::unique_lock lock(m_mutex);
    WaitForHashers(lock);
    return m_whole.Finish();
}

DigestPipe::Slot& DigestPipe::Acquire() {
    std::unique_lock lock(m_mutex);
    // The slot comes free once every hasher is past the block it held last.
    m_changed.wait(lock, [this] {
        for (int hasher = 0; hasher < m_hashers; ++hasher) {
            if (m_published - m_consumed[hasher] >= kSlots) {
                return false;
            }
        }
        return true;
    });
    return m_slots[m_published % kSlots];
}

void DigestPipe::Publish() {
    if (m_workers.empty()) {
        const Slot& slot = m_slots[m_published % kSlots];
        for (int hasher = 0; hasher < m_hashers; ++hasher) {
            Consume(hasher, slot);
            ++m_consumed[hasher];
        }
        ++m_published;
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        ++m_published;
    }
    m_changed.notify_all();
}

void DigestPipe::Consume(int hasher, const Slot& slot) {
    const Hasher kind = m_kinds[hasher];
    Sha256& digest = kind == kPieces ? m_piece : m_whole;
    digest.Update(slot.data.data(), slot.size);
    if (kind == kPieces && slot.endsPiece) {
        auto finished = m_piece.Finish();
        std::lock_guard lock(m_mutex);
        m_pieceDigests.push_back(finished);
    }
}

void DigestPipe::Work(int hasher) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_stopping || m_consumed[hasher] < m_published; });
        if (m_consumed[hasher] == m_published) {
            return;  // stopping, with nothing left to hash
        }
        const Slot& slot = m_slots[m_consumed[hasher] % kSlots];
        lock.unlock();
        Consume(hasher, slot);
        lock.lock();
        ++m_consumed[hasher];
        m_changed.notify_all();
    }
}

void DigestPipe::WaitForHashers(std::unique_lock<std::mutex>& lock) {
    m_changed.wait(lock, [this] {
        for (int hasher = 0; hasher < m_hashers; ++hasher) {
            if (m_consumed[hasher] != m_published) {
                return false;
            }
        }
        return true;
    });
}

}  // namespace kavendrum
