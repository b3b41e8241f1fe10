#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kavendrum {

// One block of bytes on its way through a ring.
struct RingBlock {
    std::vector<char> bytes;
    std::size_t size = 0;   // how much of `bytes` holds data
    bool endsPart = false;  // the block closes one part of the stream (a piece, say)
};

// A fixed ring of blocks that one producer fills and hands, in order, to every consumer, each on
// a thread of its own; a block comes free once every consumer is past it, so the memory is the
// ring's and never grows. The producer only waits when a consumer falls a whole ring behind.
// Where no thread can be started, the consumers run in line on the producer's thread: slower,
// but just as right. The threads are joined, after the last block, when the ring goes.
class WorkerRing {
  public:
    using Consumer = std::function<void(const RingBlock&)>;

    WorkerRing(std::size_t blocks, std::size_t blockBytes, std::vector<Consumer> consumers);
    ~WorkerRing();
    WorkerRing(const WorkerRing&) = delete;
    WorkerRing& operator=(const WorkerRing&) = delete;

    std::size_t BlockBytes() const { return m_blockBytes; }
    // The next block to fill, once it is free; the same one until it is published.
    RingBlock& Acquire();
    // Hands the acquired block to every consumer.
    void Publish();
    // Waits until every consumer is past every block published; what the consumers wrote is
    // then the caller's to read.
    void Drain();

  private:
    bool Free() const;
    void Work(std::size_t consumer);
    void Stop();

    std::size_t m_blockBytes;
    std::vector<RingBlock> m_blocks;
    std::vector<Consumer> m_consumers;
    std::uint64_t m_published = 0;
    std::vector<std::uint64_t> m_consumed;  // by each consumer
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;  // started last, once everything above is in place
};

}  // namespace kavendrum
