#include "engine/par2/slice_combiner.h"

#include <algorithm>
#include <thread>

namespace kavendrum::par2 {

namespace {

// Blocks per step: 4 KiB of each output stays in the first-level cache while a batch of inputs
// is added into it, and the batch's 4 KiB parts (256 KiB for 64 inputs) stay in the second.
constexpr std::size_t kStepBlocks = 64;
// Staged inputs lie this far apart beyond their size: slices whose size is a power of two would
// otherwise put every input's step in the same cache sets, and the caches would thrash.
constexpr std::size_t kStagePadding = 9 * kGfBlockBytes;

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
    m_staging.resize(inputs.size() * (m_blocks * kGfBlockBytes + kStagePadding));
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
    const std::size_t stride = m_blocks * kGfBlockBytes + kStagePadding;
    const std::size_t firstByte = firstBlock * kGfBlockBytes;
    const std::size_t endByte = std::min(endBlock * kGfBlockBytes, m_sliceBytes);
    if (firstByte >= endByte) {
        return;
    }
    for (std::size_t in = 0; in < inputs.size(); ++in) {
        ToSplitLayout(inputs[in] + firstByte, endByte - firstByte,
                      m_staging.data() + in * stride + firstByte);
    }
    for (std::size_t block = firstBlock; block < endBlock; block += kStepBlocks) {
        const std::size_t count = std::min(kStepBlocks, endBlock - block);
        const std::size_t offset = block * kGfBlockBytes;
        for (std::size_t out = 0; out < m_outputs.size(); ++out) {
            std::uint8_t* target = m_outputs[out].data() + offset;
            const GfMultiplier* row = multipliers.data() + out * inputs.size();
            for (std::size_t in = 0; in < inputs.size(); ++in) {
                row[in].MulAdd(target, m_staging.data() + in * stride + offset, count);
            }
        }
    }
}

void SliceCombiner::CopyOutput(std::size_t output, std::uint8_t* words) const {
    FromSplitLayout(m_outputs[output].data(), m_sliceBytes, words);
}

}  // namespace kavendrum::par2
