#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kavendrum::par2 {

// The coding loop works on slices in a split layout: each block of 64 bytes holds 32 words of a
// slice, their 32 low bytes first and then their 32 high bytes. Vector units then find the bytes
// that table lookups and bit-matrix products need side by side, without shuffling every word
// apart on every multiplication; a slice is brought into the layout once and out of it once.
inline constexpr std::size_t kGfBlockBytes = 64;

// The bytes a slice of `bytes` takes in the split layout: whole blocks, padded with zeros.
inline std::size_t SplitLayoutBytes(std::size_t bytes) {
    return (bytes + kGfBlockBytes - 1) / kGfBlockBytes * kGfBlockBytes;
}
// Little-endian words into the split layout; `bytes` is even and the tail of the last block
// becomes zeros.
void ToSplitLayout(const std::uint8_t* words, std::size_t bytes, std::uint8_t* split);
// The first `bytes` (even) of a slice in the split layout, back as little-endian words.
void FromSplitLayout(const std::uint8_t* split, std::size_t bytes, std::uint8_t* words);

// The ways this program can multiply-accumulate, from the plainest to the fastest.
enum class GfKernel {
    Portable,  // two 256-entry tables per factor; any processor
    Ssse3,     // nibble tables with 16-byte byte shuffles
    Avx2,      // the same with 32-byte shuffles
    Avx512,    // 64-byte shuffles (AVX-512BW), both halves of a block at once
    Gfni,      // bit-matrix products on 64-byte vectors (GFNI with AVX-512)
};
std::string KernelName(GfKernel kernel);
// The kernels this processor and this build can run, plainest first.
std::vector<GfKernel> AvailableKernels();
GfKernel FastestKernel();

// One factor, prepared for one kernel: multiplies whole blocks in the split layout and adds the
// products into a destination (dst ^= factor * src). Source and destination may have any
// alignment; they must not overlap unless they are the same.
class GfMultiplier {
  public:
    GfMultiplier(GfKernel kernel, std::uint16_t factor);
    void MulAdd(std::uint8_t* dst, const std::uint8_t* src, std::size_t blocks) const;
    std::uint16_t Factor() const { return m_factor; }
    GfKernel Kernel() const { return m_kernel; }
    // The bit-matrix kernel's operands (16 words); zeros for other kernels.
    const std::uint64_t* Lanes() const { return m_lanes; }

    // The low and high byte of factor * (n << 4 * position) for each nibble n and nibble position.
    struct NibbleTables {
        alignas(16) std::uint8_t low[4][16];
        alignas(16) std::uint8_t high[4][16];
    };

  private:
    GfKernel m_kernel;
    std::uint16_t m_factor;
    NibbleTables m_nibbles{};
    // For the bit-matrix kernel: low from low, low from high, high from low, high from high.
    std::uint64_t m_matrices[4] = {};
    // The same, as the kernel's two 64-byte operands: the matrices for a block as it is
    // (low from low, high from high), then for the block with its halves swapped. Not
    // over-aligned: the Windows build cannot align its stack beyond 16 bytes.
    std::uint64_t m_lanes[16] = {};

    // For the portable kernel: the products of every low byte and of every high byte.
    std::vector<std::uint16_t> m_bytes;
};

// A grid codes in its kernel's layout: the split layout, but for the bit-matrix kernel the lane
// layout, in which each 16 bytes hold 8 words, their 8 low bytes and then their 8 high bytes.
// Both take the same whole blocks, SplitLayoutBytes(bytes). Unsupported kernels stand for the
// portable one here as they do in the grid.
void ToGridLayout(GfKernel kernel, const std::uint8_t* words, std::size_t bytes,
                  std::uint8_t* grid);
void FromGridLayout(GfKernel kernel, const std::uint8_t* grid, std::size_t bytes,
                    std::uint8_t* words);

// dst ^= the sum of multipliers[i] * sources[i] for i < count, over `blocks` blocks: the
// destination is loaded and stored once for all the sources, and the kernels that can keep a few
// blocks of it in registers do. Every multiplier has the same kernel.
void MulAddMany(std::uint8_t* dst, const std::uint8_t* const* sources,
                const GfMultiplier* multipliers, std::size_t count, std::size_t blocks);

// The factors of a product of many sources into many outputs, prepared once for one kernel and
// laid out in the order its loop reads them. For the bit-matrix kernel that is just the two
// 16-byte matrix pairs of each factor, by group of four outputs, then source, then output: a
// group's operands are read front to back and stay in the first-level cache while the group goes
// over the blocks, where a GfMultiplier per factor (tables for every kernel, far apart) would bring
// many times the bytes through the caches.
class GfFactorGrid {
  public:
    using Factor = std::function<std::uint16_t(std::size_t output, std::size_t source)>;
    GfFactorGrid(GfKernel kernel, std::size_t outputs, std::size_t sources, const Factor& factor);
    GfKernel Kernel() const { return m_kernel; }
    std::size_t Outputs() const { return m_outputs; }
    std::size_t Sources() const { return m_sources; }
    // dsts[o] ^= the sum of factor(o, i) * sources[i] for every output o and source i, over
    // `blocks` blocks, all in the grid layout of the kernel.
    void MulAdd(std::uint8_t* const* dsts, const std::uint8_t* const* sources,
                std::size_t blocks) const;

  private:
    GfKernel m_kernel;
    std::size_t m_outputs;
    std::size_t m_sources;
    std::vector<std::uint64_t> m_lanes;       // the bit-matrix kernel's operands
    std::vector<GfMultiplier> m_multipliers;  // the other kernels': output by output
};

}  // namespace kavendrum::par2
