#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/io/sha256.h"

namespace kavendrum {

// Two SHA-256 digests, over one stream of bytes or over two, each finished and started over on
// its own (a piece's digest and the whole file's, say, or two pieces'). Where the processor has the
// SHA instructions, the rounds of the two are interleaved: one chain alone is bound by the
// instructions' latency, so a second one on the same core costs little more. Elsewhere a portable
// routine does both in turn.
class Sha256Pair {
  public:
    enum Lane { kFirst = 0, kSecond = 1 };

    // `portable` keeps to the portable routine even where the SHA instructions are present.
    explicit Sha256Pair(bool portable = false);

    // Whether this processor has the SHA instructions that let the two share a core.
    static bool Interleaves();

    // The next bytes of both digests.
    void Update(const void* data, std::size_t size) { Update(data, size, data, size); }
    // The next bytes of each lane, its own and of any length: two files hashed side by side.
    void Update(const void* first, std::size_t firstSize, const void* second,
                std::size_t secondSize);
    // The digest of `lane` over everything given since its start or its last Finish; that lane
    // then starts over, the other goes on.
    Sha256Digest Finish(Lane lane);

    // The compression of `blocks` 64-byte blocks into `state`, and of as many blocks of two
    // separate inputs into two states.
    using CompressOne = void (*)(std::uint32_t* state, const std::uint8_t* data,
                                 std::size_t blocks);
    using CompressTwo = void (*)(std::uint32_t* first, const std::uint8_t* firstData,
                                 std::uint32_t* second, const std::uint8_t* secondData,
                                 std::size_t blocks);

  private:
    struct Chain {
        std::array<std::uint32_t, 8> state{};
        std::uint64_t length = 0;  // bytes given, for the padding
        std::array<std::uint8_t, 64> tail{};
        std::size_t tailSize = 0;
        void Start();
    };

    void FillTail(Chain& chain, const std::uint8_t*& data, std::size_t& size);

    CompressOne m_one;
    CompressTwo m_two;
    std::array<Chain, 2> m_chains;
};

}  // namespace kavendrum
