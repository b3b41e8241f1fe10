#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "engine/worker_ring.h"

namespace kavendrum {
namespace {

// Every consumer sees every block, in order and unchanged, however far apart their speeds are,
// though the ring holds only two blocks; a drain makes what they kept the caller's to read.
TEST(WorkerRingTest, EveryConsumerSeesEveryBlockInOrderThroughASmallRing) {
    constexpr int kBlocks = 200;
    std::vector<std::uint32_t> fast;
    std::vector<std::uint32_t> slow;
    std::vector<bool> marks;
    const auto take = [](std::vector<std::uint32_t>& into, const RingBlock& block) {
        for (std::size_t at = 0; at + 4 <= block.size; at += 4) {
            std::uint32_t value = 0;
            std::memcpy(&value, block.bytes.data() + at, 4);
            into.push_back(value);
        }
    };
    std::vector<WorkerRing::Consumer> consumers;
    consumers.emplace_back([&](const RingBlock& block) { take(fast, block); });
    consumers.emplace_back([&](const RingBlock& block) {
        if (block.bytes[0] % 16 == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        take(slow, block);
        marks.push_back(block.endsPart);
    });
    WorkerRing ring(2, 64, std::move(consumers));
    std::uint32_t next = 0;
    for (int n = 0; n < kBlocks; ++n) {
        RingBlock& block = ring.Acquire();
        ASSERT_GE(block.bytes.size(), 64u);
        block.size = 4 * static_cast<std::size_t>(1 + n % 16);
        for (std::size_t at = 0; at < block.size; at += 4) {
            std::memcpy(block.bytes.data() + at, &next, 4);
            ++next;
        }
        block.endsPart = n % 7 == 0;
        ring.Publish();
    }
    ring.Drain();
    ASSERT_EQ(fast.size(), next);
    ASSERT_EQ(slow.size(), next);
    for (std::uint32_t value = 0; value < next; ++value) {
        ASSERT_EQ(fast[value], value);
        ASSERT_EQ(slow[value], value);
    }
    ASSERT_EQ(marks.size(), static_cast<std::size_t>(kBlocks));
    for (int n = 0; n < kBlocks; ++n) {
        EXPECT_EQ(marks[n], n % 7 == 0) << n;
    }
}

// Blocks published but not yet taken when the ring goes are still consumed before its threads
// are joined: nothing the producer handed over is dropped.
TEST(WorkerRingTest, WhatWasPublishedIsConsumedBeforeTheRingGoes) {
    int seen = 0;
    {
        std::vector<WorkerRing::Consumer> consumers;
        consumers.emplace_back([&](const RingBlock&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            ++seen;
        });
        WorkerRing ring(4, 1, std::move(consumers));
        for (int n = 0; n < 4; ++n) {
            ring.Acquire().size = 1;
            ring.Publish();
        }
    }
    EXPECT_EQ(seen, 4);
}

}  // namespace
}  // namespace kavendrum
