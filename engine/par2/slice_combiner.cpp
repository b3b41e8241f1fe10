#include "engine/par2/slice_combiner.h"

#include <algorithm>
#include <thread>

namespace kavendrum::par2 {

namespace {

// Blocks per step: the step's part of a batch of 64 inputs (32 KiB) stays in the first-level
// cache while every output adds it in; an output's part is loaded and stored once a step.
constexpr std::size_t kStepBlocks = 8;
// Staged inputs lie this far apart beyond their size, so that they do not all fall in the same
// cache sets.
constexpr std::size_t kStagePadding = kGfBlockBytes;

}  // namespace

SliceCombiner::SliceCombiner(std::size_t outputs, std::size_t sliceBytes, unsigned threads,
                             GfKernel kernel)
    : m_sliceBytes(sliceBytes),
      m_blocks(SplitLayoutBytes(sliceBytes) / kGfBlockBytes),
      m_threads(threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency())),
      m_kernel(kernel),
      m_outputs(outputs, std::vector<std::uint8_t>(SplitLayoutBytes(sliceBytes), 0)) {}

std::size_t SliceCombiner::BatchFor(std::size_t bytes) const {
    const std::size_t slice = std::max<std::size_t>(SplitLayoutBytes(m_sliceBytes), 1);
    return std::clamp<std::size_t>(bytes / slice, 1, 64);
}

void SliceCombiner::Add(const std::vector<const std::uint8_t*>& inputs, const Factor& factor) {
    if (inputs.empty() || m_outputs.empty() || m_blocks == 0) {
        return;
    }
    std::vector<GfMultiplier> multipliers;
    multipliers.reserve(m_outputs.size() * inputs.size());
    for (std::size_t out = 0; out < m_outputs.size(); ++out) {
        for (std::size_t in = 0; in < inputs.size(); ++in) {
            multipliers.emplace_back(m_kernel, factor(out, in));
        }
    }
    // Whole steps per thread, so that no two threads touch one cache line.
    const std::size_t steps = (m_blocks + kStepBlocks - 1) / kStepBlocks;
    const std::size_t threads = std::min<std::size_t>(m_threads, steps);
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < threads; ++t) {
        const std::size_t first = std::min(m_blocks, steps * t / threads * kStepBlocks);
        const std::size_t end = std::min(m_blocks, steps * (t + 1) / threads * kStepBlocks);
        try {
            helpers.emplace_back([this, first, end, &inputs, &multipliers] {
                Work(first, end, inputs, multipliers);
            });
        } catch (const std::system_error&) {
            Work(first, end, inputs, multipliers);  // no thread to be had: do it here
        }
    }
    Work(0, std::min(m_blocks, steps / threads * kStepBlocks), inputs, multipliers);
    for (auto& helper : helpers) {
        helper.join();
    }
}

void SliceCombiner::Work(std::size_t firstBlock, std::size_t endBlock,
                         const std::vector<const std::uint8_t*>& inputs,
                         const std::vector<GfMultiplier>& multipliers) {
    // Each step's part of every input is brought into the split layout just before it is used,
    // into a stage small enough for the first-level cache, where every output then finds it.
    const std::size_t stride = kStepBlocks * kGfBlockBytes + kStagePadding;
    std::vector<std::uint8_t> stage(inputs.size() * stride);
    std::vector<const std::uint8_t*> staged(inputs.size());
    for (std::size_t in = 0; in < inputs.size(); ++in) {
        staged[in] = stage.data() + in * stride;
    }
    for (std::size_t block = firstBlock; block < endBlock; block += kStepBlocks) {
        const std::size_t count = std::min(kStepBlocks, endBlock - block);
        const std::size_t offset = block * kGfBlockBytes;
        const std::size_t bytes = std::min(count * kGfBlockBytes, m_sliceBytes - offset);
        for (std::size_t in = 0; in < inputs.size(); ++in) {
            ToSplitLayout(inputs[in] + offset, bytes, stage.data() + in * stride);
        }
        for (std::size_t out = 0; out < m_outputs.size(); ++out) {
            MulAddMany(m_outputs[out].data() + offset, staged.data(),
                       multipliers.data() + out * inputs.size(), inputs.size(), count);
        }
    }
}

void SliceCombiner::CopyOutput(std::size_t output, std::uint8_t* words) const {
    FromSplitLayout(m_outputs[output].data(), m_sliceBytes, words);
}

}  // namespace kavendrum::par2
