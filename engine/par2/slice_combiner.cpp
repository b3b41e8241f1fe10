#include "engine/par2/slice_combiner.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

namespace kavendrum::par2 {

namespace {

// Blocks per step: the step's part of a batch of 64 inputs (128 KiB) stays in the second-level
// cache while every output adds it in, and each group of outputs goes over the whole step with
// its factors' operands in the first-level cache: the operands of all the outputs, too many for
// the second-level cache when there are hundreds of outputs, are then read once a step, and a
// longer step reads them less often.
constexpr std::size_t kStepBlocks = 32;
// Staged inputs lie this far apart beyond their size, so that they do not all fall in the same
// cache sets.
constexpr std::size_t kStagePadding = kGfBlockBytes;
constexpr std::size_t kStageStride = kStepBlocks * kGfBlockBytes + kStagePadding;
// Steps a thread takes at a time.
constexpr std::size_t kChunkSteps = 4;

}  // namespace

SliceCombiner::SliceCombiner(std::size_t outputs, std::size_t sliceBytes, unsigned threads,
                             GfKernel kernel)
    : m_sliceBytes(sliceBytes),
      m_blocks(SplitLayoutBytes(sliceBytes) / kGfBlockBytes),
      m_threads(threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency())),
      m_kernel(kernel),
      m_outputCount(outputs),
      m_outputBytes(SplitLayoutBytes(sliceBytes)),
      m_outputs(outputs * m_outputBytes) {}

std::size_t SliceCombiner::BatchFor(std::size_t bytes, std::size_t sliceBytes) {
    const std::size_t slice = std::max<std::size_t>(SplitLayoutBytes(sliceBytes), 1);
    return std::clamp<std::size_t>(bytes / slice, 1, 64);
}

void SliceCombiner::Add(const std::vector<const std::uint8_t*>& inputs, const Factor& factor,
                        const std::vector<std::function<void()>>& sideTasks) {
    const bool coding = !inputs.empty() && m_outputCount != 0 && m_blocks != 0;
    if (!coding && sideTasks.empty()) {
        return;
    }
    const GfFactorGrid grid(m_kernel, coding ? m_outputCount : 0, inputs.size(), factor);
    // The side tasks first, then the coding in chunks of whole steps (so that no two threads
    // touch one cache line), handed out as threads come free: on a machine shared with other
    // work a fixed share per thread would leave the fastest thread waiting for the slowest.
    const std::size_t steps = coding ? (m_blocks + kStepBlocks - 1) / kStepBlocks : 0;
    const std::size_t chunks = (steps + kChunkSteps - 1) / kChunkSteps;
    const std::size_t items = sideTasks.size() + chunks;
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        Stage stage(inputs.size());
        for (std::size_t item = next++; item < items; item = next++) {
            if (item < sideTasks.size()) {
                sideTasks[item]();
                continue;
            }
            const std::size_t chunk = item - sideTasks.size();
            const std::size_t first = chunk * kChunkSteps * kStepBlocks;
            Work(first, std::min(m_blocks, first + kChunkSteps * kStepBlocks), inputs, grid, stage);
        }
    };
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < std::min<std::size_t>(m_threads, items); ++t) {
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

SliceCombiner::Stage::Stage(std::size_t inputs)
    : bytes(inputs * kStageStride), staged(inputs), outputs() {
    for (std::size_t in = 0; in < inputs; ++in) {
        staged[in] = bytes.data() + in * kStageStride;
    }
}

void SliceCombiner::Work(std::size_t firstBlock, std::size_t endBlock,
                         const std::vector<const std::uint8_t*>& inputs, const GfFactorGrid& grid,
                         Stage& stage) {
    // Each step's part of every input is brought into the grid layout just before it is used,
    // into a stage small enough for the first-level cache, where every output then finds it.
    stage.outputs.resize(m_outputCount);
    for (std::size_t block = firstBlock; block < endBlock; block += kStepBlocks) {
        const std::size_t count = std::min(kStepBlocks, endBlock - block);
        const std::size_t offset = block * kGfBlockBytes;
        const std::size_t bytes = std::min(count * kGfBlockBytes, m_sliceBytes - offset);
        for (std::size_t in = 0; in < inputs.size(); ++in) {
            ToGridLayout(m_kernel, inputs[in] + offset, bytes,
                         stage.bytes.data() + in * kStageStride);
        }
        for (std::size_t out = 0; out < m_outputCount; ++out) {
            stage.outputs[out] = Output(out) + offset;
        }
        grid.MulAdd(stage.outputs.data(), stage.staged.data(), count);
    }
}

void SliceCombiner::CopyOutput(std::size_t output, std::uint8_t* words) const {
    FromGridLayout(m_kernel, Output(output), m_sliceBytes, words);
}

}  // namespace kavendrum::par2
