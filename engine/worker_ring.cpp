#include "engine/worker_ring.h"

#include <system_error>

namespace kavendrum {

WorkerRing::WorkerRing(std::size_t blocks, std::size_t blockBytes, std::vector<Consumer> consumers)
    : m_blockBytes(blockBytes),
      m_blocks(blocks),
      m_consumers(std::move(consumers)),
      m_consumed(m_consumers.size()) {
    for (RingBlock& block : m_blocks) {
        block.bytes.resize(blockBytes);
    }
    try {
        for (std::size_t consumer = 0; consumer < m_consumers.size(); ++consumer) {
            m_workers.emplace_back([this, consumer] { Work(consumer); });
        }
    } catch (const std::system_error&) {
        // The consumers run in line instead; a thread that did start is stopped.
        Stop();
        m_workers.clear();
        m_stopping = false;
    }
}

WorkerRing::~WorkerRing() {
    Stop();
}

RingBlock& WorkerRing::Acquire() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return Free(); });
    return m_blocks[m_published % m_blocks.size()];
}

void WorkerRing::Publish() {
    if (m_workers.empty()) {
        const RingBlock& block = m_blocks[m_published % m_blocks.size()];
        for (std::size_t consumer = 0; consumer < m_consumers.size(); ++consumer) {
            m_consumers[consumer](block);
            ++m_consumed[consumer];
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

void WorkerRing::Drain() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] {
        for (const std::uint64_t consumed : m_consumed) {
            if (consumed != m_published) {
                return false;
            }
        }
        return true;
    });
}

// The block after the last one published comes free once every consumer is past what it held.
bool WorkerRing::Free() const {
    for (const std::uint64_t consumed : m_consumed) {
        if (m_published - consumed >= m_blocks.size()) {
            return false;
        }
    }
    return true;
}

void WorkerRing::Work(std::size_t consumer) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_stopping || m_consumed[consumer] < m_published; });
        if (m_consumed[consumer] == m_published) {
            return;  // stopping, with nothing left to take
        }
        const RingBlock& block = m_blocks[m_consumed[consumer] % m_blocks.size()];
        lock.unlock();
        m_consumers[consumer](block);
        lock.lock();
        ++m_consumed[consumer];
        m_changed.notify_all();
    }
}

// Each worker finishes what was published before it returns.
void WorkerRing::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (auto& worker : m_workers) {
        worker.join();
    }
}

}  // namespace kavendrum
