#include "engine/piece_creator.h"

#include <system_error>
#include <utility>

namespace kavendrum {

PieceCreator::PieceCreator(PathOf pathOf, std::uint32_t pieceCount)
    : m_pathOf(std::move(pathOf)), m_pieceCount(pieceCount) {
    try {
        m_worker = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
        // No thread to be had: every Take hands the piece back, and the split makes it itself.
    }
}

PieceCreator::~PieceCreator() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_worker.joinable()) {
        m_worker.join();
    }
    // Pieces never taken go with their StagedFile.
    m_ready.clear();
}

std::optional<StagedFile> PieceCreator::Take(std::uint32_t number) {
    std::unique_lock lock(m_mutex);
    if (m_claimed < number) {
        // Everything before `number` is taken, so nothing is waiting in m_ready.
        m_claimed = m_made = m_taken = number;
        return std::nullopt;
    }
    m_changed.wait(lock, [&] { return m_made >= number; });
    std::optional<StagedFile> piece = std::move(m_ready.front());
    m_ready.pop_front();
    m_taken = number;
    const bool refill = m_made - m_taken < kRefillBelow;
    lock.unlock();
    if (refill) {
        m_changed.notify_all();
    }
    return piece;
}

void PieceCreator::Work() {
    std::unique_lock lock(m_mutex);
    while (true) {
        m_changed.wait(lock, [&] {
            return m_stopping || (m_claimed < m_pieceCount && m_claimed - m_taken < kAhead);
        });
        if (m_stopping) {
            return;
        }
        const std::uint32_t number = ++m_claimed;
        lock.unlock();
        auto created = StagedFile::Create(m_pathOf(number));
        lock.lock();
        if (created.ok()) {
            m_ready.emplace_back(std::move(created.value()));
        } else {
            m_ready.emplace_back();
        }
        m_made = number;
        m_changed.notify_all();
    }
}

}  // namespace kavendrum
