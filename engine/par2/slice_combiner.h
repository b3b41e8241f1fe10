#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/par2/gf16_kernels.h"
#include "engine/par2/slice_reader.h"

namespace kavendrum::par2 {

// The coding loop that creation and repair share: a number of output slices, each a sum of
// input slices times factors. Inputs come in batches, so that each output's bytes stay in the
// processor's cache while a whole batch is added into them; the bytes of each batch are shared
// out among the threads by position, so every thread works on its own part of every slice.
class SliceCombiner {
  public:
    // `sliceBytes` is even; `threads` 0 means one per processor core.
    SliceCombiner(std::size_t outputs, std::size_t sliceBytes, unsigned threads = 0,
                  GfKernel kernel = FastestKernel());

    // How many input slices a batch should hold to keep the staging memory near `bytes`.
    std::size_t BatchFor(std::size_t bytes) const { return BatchFor(bytes, m_sliceBytes); }
    static std::size_t BatchFor(std::size_t bytes, std::size_t sliceBytes);
    // Adds factor(output, input) times each input to every output. Each input is `sliceBytes`
    // bytes of little-endian words. The side tasks (which must not touch the outputs) run on the
    // same threads while the coding goes on, so that work such as hashing the inputs keeps every
    // core busy instead of waiting for a pass of its own.
    using Factor = std::function<std::uint16_t(std::size_t output, std::size_t input)>;
    void Add(const std::vector<const std::uint8_t*>& inputs, const Factor& factor,
             const std::vector<std::function<void()>>& sideTasks = {});
    // The output as little-endian words.
    void CopyOutput(std::size_t output, std::uint8_t* words) const;
    std::size_t Outputs() const { return m_outputCount; }
    // Bytes the outputs take.
    static std::size_t OutputBytes(std::size_t sliceBytes) { return SplitLayoutBytes(sliceBytes); }

  private:
    // A thread's scratch: its inputs' current step in the grid layout, and where each output's
    // step lies.
    struct Stage {
        explicit Stage(std::size_t inputs);
        std::vector<std::uint8_t> bytes;
        std::vector<const std::uint8_t*> staged;
        std::vector<std::uint8_t*> outputs;
    };
    void Work(std::size_t firstBlock, std::size_t endBlock,
              const std::vector<const std::uint8_t*>& inputs, const GfFactorGrid& grid,
              Stage& stage);

    std::size_t m_sliceBytes;
    std::size_t m_blocks;
    unsigned m_threads;
    GfKernel m_kernel;
    std::uint8_t* Output(std::size_t output) const {
        return m_outputs.data() + output * m_outputBytes;
    }

    std::size_t m_outputCount;
    std::size_t m_outputBytes;  // each, in the grid layout
    SlicePages m_outputs;       // one after the other
};

}  // namespace kavendrum::par2
