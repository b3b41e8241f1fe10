#include "engine/par2/gf16_kernels.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "engine/par2/gf16.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KAVENDRUM_X86_KERNELS 1
// Windows keeps its stack 16-byte aligned only, and GCC does not realign it for 32- and 64-byte
// spills, so the wide kernels are built for the other platforms only.
#if !defined(_WIN32)
#define KAVENDRUM_WIDE_KERNELS 1
#endif
#endif

namespace kavendrum::par2 {

namespace {

constexpr std::size_t kHalf = kGfBlockBytes / 2;
// Outputs that the multi-output kernels share each source load among.
constexpr std::size_t kGroupOutputs = 4;
// The words of a factor's operands in a grid, which codes in the lane layout: two pairs of
// matrices, each pair repeated in every 16-byte lane by the kernel.
constexpr std::size_t kGfniPairWords = 4;
// The words of a factor's four 64-byte tables for the AVX-512 byte shuffles.
constexpr std::size_t kShuffleTableWords = 32;
// The words of a factor's eight 16-byte tables for the AVX2 byte shuffles.
constexpr std::size_t kAvx2TableWords = 16;

// A grid group's operands: source by source, the group's outputs side by side.
template <std::size_t Outputs, std::size_t Words>
struct GridOperands {
    static constexpr std::size_t kOutputs = Outputs;
    const std::uint64_t* base;
    const std::uint64_t* operator()(std::size_t i, std::size_t o) const {
        return base + (i * Outputs + o) * Words;
    }
};

// A grid's outputs in groups of four, the last group smaller; each group's operands lie
// together, source by source. `run(dsts, operands)` codes one group, its size in the operands'
// type, so that every kernel keeps its group's sums in registers.
template <std::size_t Words, typename RunGroup>
void ForEachOutputGroup(std::uint8_t* const* dsts, std::size_t outputs, std::size_t count,
                        const std::uint64_t* operands, const RunGroup& run) {
    for (std::size_t first = 0; first < outputs; first += kGroupOutputs) {
        const std::uint64_t* base = operands + first * count * Words;
        switch (std::min(kGroupOutputs, outputs - first)) {
            case 4:
                run(dsts + first, GridOperands<4, Words>{base});
                break;
            case 3:
                run(dsts + first, GridOperands<3, Words>{base});
                break;
            case 2:
                run(dsts + first, GridOperands<2, Words>{base});
                break;
            default:
                run(dsts + first, GridOperands<1, Words>{base});
                break;
        }
    }
}

void PortableMulAdd(std::uint8_t* dst, const std::uint8_t* src, std::size_t blocks,
                    const std::uint16_t* lowProducts, const std::uint16_t* highProducts) {
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::uint8_t* in = src + b * kGfBlockBytes;
        std::uint8_t* out = dst + b * kGfBlockBytes;
        for (std::size_t i = 0; i < kHalf; ++i) {
            const std::uint16_t product = lowProducts[in[i]] ^ highProducts[in[kHalf + i]];
            out[i] ^= static_cast<std::uint8_t>(product);
            out[kHalf + i] ^= static_cast<std::uint8_t>(product >> 8);
        }
    }
}

#if KAVENDRUM_X86_KERNELS

__attribute__((target("ssse3"))) void Ssse3MulAdd(std::uint8_t* dst, const std::uint8_t* src,
                                                  std::size_t blocks,
                                                  const GfMultiplier::NibbleTables& t) {
    __m128i lowTable[4];
    __m128i highTable[4];
    for (int i = 0; i < 4; ++i) {
        lowTable[i] = _mm_load_si128(reinterpret_cast<const __m128i*>(t.low[i]));
        highTable[i] = _mm_load_si128(reinterpret_cast<const __m128i*>(t.high[i]));
    }
    const __m128i mask = _mm_set1_epi8(0x0F);
    for (std::size_t b = 0; b < blocks; ++b) {
        for (std::size_t part = 0; part < kHalf; part += 16) {
            const std::uint8_t* in = src + b * kGfBlockBytes + part;
            std::uint8_t* out = dst + b * kGfBlockBytes + part;
            const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
            const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + kHalf));
            const __m128i n0 = _mm_and_si128(lo, mask);
            const __m128i n1 = _mm_and_si128(_mm_srli_epi16(lo, 4), mask);
            const __m128i n2 = _mm_and_si128(hi, mask);
            const __m128i n3 = _mm_and_si128(_mm_srli_epi16(hi, 4), mask);
            __m128i outLow = _mm_xor_si128(
                _mm_xor_si128(_mm_shuffle_epi8(lowTable[0], n0), _mm_shuffle_epi8(lowTable[1], n1)),
                _mm_xor_si128(_mm_shuffle_epi8(lowTable[2], n2),
                              _mm_shuffle_epi8(lowTable[3], n3)));
            __m128i outHigh = _mm_xor_si128(_mm_xor_si128(_mm_shuffle_epi8(highTable[0], n0),
                                                          _mm_shuffle_epi8(highTable[1], n1)),
                                            _mm_xor_si128(_mm_shuffle_epi8(highTable[2], n2),
                                                          _mm_shuffle_epi8(highTable[3], n3)));
            auto* outLo = reinterpret_cast<__m128i*>(out);
            auto* outHi = reinterpret_cast<__m128i*>(out + kHalf);
            _mm_storeu_si128(outLo, _mm_xor_si128(_mm_loadu_si128(outLo), outLow));
            _mm_storeu_si128(outHi, _mm_xor_si128(_mm_loadu_si128(outHi), outHigh));
        }
    }
}

#endif

#if KAVENDRUM_WIDE_KERNELS

__attribute__((target("avx2"))) void Avx2MulAdd(std::uint8_t* dst, const std::uint8_t* src,
                                                std::size_t blocks,
                                                const GfMultiplier::NibbleTables& t) {
    __m256i lowTable[4];
    __m256i highTable[4];
    for (int i = 0; i < 4; ++i) {
        lowTable[i] =
            _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(t.low[i])));
        highTable[i] = _mm256_broadcastsi128_si256(
            _mm_load_si128(reinterpret_cast<const __m128i*>(t.high[i])));
    }
    const __m256i mask = _mm256_set1_epi8(0x0F);
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::uint8_t* in = src + b * kGfBlockBytes;
        std::uint8_t* out = dst + b * kGfBlockBytes;
        const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
        const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + kHalf));
        const __m256i n0 = _mm256_and_si256(lo, mask);
        const __m256i n1 = _mm256_and_si256(_mm256_srli_epi16(lo, 4), mask);
        const __m256i n2 = _mm256_and_si256(hi, mask);
        const __m256i n3 = _mm256_and_si256(_mm256_srli_epi16(hi, 4), mask);
        const __m256i outLow =
            _mm256_xor_si256(_mm256_xor_si256(_mm256_shuffle_epi8(lowTable[0], n0),
                                              _mm256_shuffle_epi8(lowTable[1], n1)),
                             _mm256_xor_si256(_mm256_shuffle_epi8(lowTable[2], n2),
                                              _mm256_shuffle_epi8(lowTable[3], n3)));
        const __m256i outHigh =
            _mm256_xor_si256(_mm256_xor_si256(_mm256_shuffle_epi8(highTable[0], n0),
                                              _mm256_shuffle_epi8(highTable[1], n1)),
                             _mm256_xor_si256(_mm256_shuffle_epi8(highTable[2], n2),
                                              _mm256_shuffle_epi8(highTable[3], n3)));
        auto* outLo = reinterpret_cast<__m256i*>(out);
        auto* outHi = reinterpret_cast<__m256i*>(out + kHalf);
        _mm256_storeu_si256(outLo, _mm256_xor_si256(_mm256_loadu_si256(outLo), outLow));
        _mm256_storeu_si256(outHi, _mm256_xor_si256(_mm256_loadu_si256(outHi), outHigh));
    }
}

// The AVX2 shuffle kernel over several outputs: each source block is loaded and split into its
// four nibble vectors once for all the outputs of a group, and each output's block stays in
// registers over all the sources. `tablesOf(i, o)` gives the eight 16-byte tables of source i
// for output o: the low bytes' tables for nibble positions 0 to 3, then the high bytes'.
template <std::size_t Outputs, typename TablesOf>
__attribute__((target("avx2"), always_inline)) inline void Avx2GroupBlock(
    std::uint8_t* const* dsts, const std::uint8_t* const* sources, const TablesOf& tablesOf,
    std::size_t count, std::size_t offset) {
    const __m256i mask = _mm256_set1_epi8(0x0F);
    __m256i low[Outputs];
    __m256i high[Outputs];
#pragma GCC unroll 4
    for (std::size_t o = 0; o < Outputs; ++o) {
        low[o] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dsts[o] + offset));
        high[o] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dsts[o] + offset + kHalf));
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* src = sources[i] + offset;
        const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
        const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + kHalf));
        const __m256i n[4] = {
            _mm256_and_si256(lo, mask), _mm256_and_si256(_mm256_srli_epi16(lo, 4), mask),
            _mm256_and_si256(hi, mask), _mm256_and_si256(_mm256_srli_epi16(hi, 4), mask)};
#pragma GCC unroll 4
        for (std::size_t o = 0; o < Outputs; ++o) {
            const auto* t = reinterpret_cast<const __m128i*>(tablesOf(i, o));
#pragma GCC unroll 4
            for (std::size_t p = 0; p < 4; ++p) {
                low[o] = _mm256_xor_si256(
                    low[o],
                    _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(_mm_loadu_si128(t + p)), n[p]));
                high[o] = _mm256_xor_si256(
                    high[o], _mm256_shuffle_epi8(
                                 _mm256_broadcastsi128_si256(_mm_loadu_si128(t + 4 + p)), n[p]));
            }
        }
    }
#pragma GCC unroll 4
    for (std::size_t o = 0; o < Outputs; ++o) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dsts[o] + offset), low[o]);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dsts[o] + offset + kHalf), high[o]);
    }
}

template <std::size_t Outputs, typename TablesOf>
__attribute__((target("avx2"))) void Avx2MulAddGroup(std::uint8_t* const* dsts,
                                                     const std::uint8_t* const* sources,
                                                     const TablesOf& tablesOf, std::size_t count,
                                                     std::size_t blocks) {
    for (std::size_t block = 0; block < blocks; ++block) {
        Avx2GroupBlock<Outputs>(dsts, sources, tablesOf, count, block * kGfBlockBytes);
    }
}

__attribute__((target("avx2"))) void Avx2MulAddGrid(std::uint8_t* const* dsts, std::size_t outputs,
                                                    const std::uint8_t* const* sources,
                                                    std::size_t count, const std::uint64_t* tables,
                                                    std::size_t blocks) {
    ForEachOutputGroup<kAvx2TableWords>(
        dsts, outputs, count, tables, [&](std::uint8_t* const* group, const auto& operands) {
            Avx2MulAddGroup<std::decay_t<decltype(operands)>::kOutputs>(group, sources, operands,
                                                                        count, blocks);
        });
}

// GCC 12's AVX-512 headers fill the unused source of masked built-ins with a deliberately
// undefined vector, which its own uninitialised-use warning then reports in every caller.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// A 64-byte vector of four 16-byte tables, one per 128-bit lane: `a` for the two lanes that hold
// the low bytes of a block, `b` for the two that hold the high bytes.
__attribute__((target("avx512f,avx512bw"))) __m512i LaneTables(const std::uint8_t* a,
                                                               const std::uint8_t* b) {
    const __m256i low =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)));
    const __m256i high =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b)));
    return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
}

// One 64-byte vector holds a whole block. The products of the low bytes' nibbles go to the low
// half through the tables in the low lanes, those of the high bytes through the high lanes; the
// cross terms come from the block with its halves swapped.
__attribute__((target("avx512f,avx512bw"))) void Avx512MulAdd(std::uint8_t* dst,
                                                              const std::uint8_t* src,
                                                              std::size_t blocks,
                                                              const GfMultiplier::NibbleTables& t) {
    const __m512i sameLowNibble = LaneTables(t.low[0], t.high[2]);
    const __m512i sameHighNibble = LaneTables(t.low[1], t.high[3]);
    const __m512i crossLowNibble = LaneTables(t.low[2], t.high[0]);
    const __m512i crossHighNibble = LaneTables(t.low[3], t.high[1]);
    const __m512i mask = _mm512_set1_epi8(0x0F);
    for (std::size_t b = 0; b < blocks; ++b) {
        const __m512i x = _mm512_loadu_si512(src + b * kGfBlockBytes);
        const __m512i swapped = _mm512_shuffle_i64x2(x, x, 0x4E);
        const __m512i a = _mm512_shuffle_epi8(sameLowNibble, _mm512_and_si512(x, mask));
        const __m512i c =
            _mm512_shuffle_epi8(sameHighNibble, _mm512_and_si512(_mm512_srli_epi16(x, 4), mask));
        const __m512i d = _mm512_shuffle_epi8(crossLowNibble, _mm512_and_si512(swapped, mask));
        const __m512i e = _mm512_shuffle_epi8(
            crossHighNibble, _mm512_and_si512(_mm512_srli_epi16(swapped, 4), mask));
        std::uint8_t* out = dst + b * kGfBlockBytes;
        const __m512i sum = _mm512_ternarylogic_epi32(_mm512_loadu_si512(out), a, c, 0x96);
        _mm512_storeu_si512(out, _mm512_ternarylogic_epi32(sum, d, e, 0x96));
    }
}

// The factor as four 8x8 bit matrices. One matrix per 64-bit lane, so a single product covers
// the low half of a block with one matrix and its high half with another.
__attribute__((target("avx512f,avx512bw,gfni"))) void GfniMulAdd(std::uint8_t* dst,
                                                                 const std::uint8_t* src,
                                                                 std::size_t blocks,
                                                                 const std::uint64_t* m) {
    const __m512i same = _mm512_inserti64x4(_mm512_set1_epi64(static_cast<long long>(m[0])),
                                            _mm256_set1_epi64x(static_cast<long long>(m[3])), 1);
    const __m512i cross = _mm512_inserti64x4(_mm512_set1_epi64(static_cast<long long>(m[1])),
                                             _mm256_set1_epi64x(static_cast<long long>(m[2])), 1);
    for (std::size_t b = 0; b < blocks; ++b) {
        const __m512i x = _mm512_loadu_si512(src + b * kGfBlockBytes);
        const __m512i swapped = _mm512_shuffle_i64x2(x, x, 0x4E);
        const __m512i a = _mm512_gf2p8affine_epi64_epi8(x, same, 0);
        const __m512i c = _mm512_gf2p8affine_epi64_epi8(swapped, cross, 0);
        std::uint8_t* out = dst + b * kGfBlockBytes;
        _mm512_storeu_si512(out, _mm512_ternarylogic_epi32(_mm512_loadu_si512(out), a, c, 0x96));
    }
}

// Blocks of the destination a multi-source kernel keeps in registers while it goes through the
// sources: enough to hide the latency of the products, few enough to leave registers for them.
constexpr std::size_t kTileBlocks = 8;

// The bit-matrix kernel over many sources: a tile of the destination stays in registers, and
// each source's two matrix operands are loaded once per tile.
template <std::size_t Tile>
__attribute__((target("avx512f,avx512bw,gfni"), always_inline)) inline void GfniTile(
    std::uint8_t* dst, const std::uint8_t* const* sources, const GfMultiplier* multipliers,
    std::size_t count, std::size_t offset) {
    __m512i acc[Tile];
    // Unrolled, or the tile lives on the stack instead of in registers.
#pragma GCC unroll 8
    for (std::size_t k = 0; k < Tile; ++k) {
        acc[k] = _mm512_loadu_si512(dst + offset + k * kGfBlockBytes);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const __m512i same = _mm512_loadu_si512(multipliers[i].Lanes());
        const __m512i cross = _mm512_loadu_si512(multipliers[i].Lanes() + 8);
        const std::uint8_t* src = sources[i] + offset;
#pragma GCC unroll 8
        for (std::size_t k = 0; k < Tile; ++k) {
            const __m512i x = _mm512_loadu_si512(src + k * kGfBlockBytes);
            const __m512i swapped = _mm512_shuffle_i64x2(x, x, 0x4E);
            acc[k] =
                _mm512_ternarylogic_epi32(acc[k], _mm512_gf2p8affine_epi64_epi8(x, same, 0),
                                          _mm512_gf2p8affine_epi64_epi8(swapped, cross, 0), 0x96);
        }
    }
#pragma GCC unroll 8
    for (std::size_t k = 0; k < Tile; ++k) {
        _mm512_storeu_si512(dst + offset + k * kGfBlockBytes, acc[k]);
    }
}

__attribute__((target("avx512f,avx512bw,gfni"))) void GfniMulAddMany(
    std::uint8_t* dst, const std::uint8_t* const* sources, const GfMultiplier* multipliers,
    std::size_t count, std::size_t blocks) {
    std::size_t block = 0;
    for (; block + kTileBlocks <= blocks; block += kTileBlocks) {
        GfniTile<kTileBlocks>(dst, sources, multipliers, count, block * kGfBlockBytes);
    }
    for (; block < blocks; ++block) {
        GfniTile<1>(dst, sources, multipliers, count, block * kGfBlockBytes);
    }
}

// Several outputs over many sources in the lane layout, where each 16 bytes hold eight words,
// their low bytes and then their high bytes. One product with the pair (low from low, high from
// high) in every lane covers a block as it is; the cross terms come from the block with the two
// halves of each lane swapped, an in-lane shuffle, and the pair (low from high, high from low).
// A pair is 16 bytes that a broadcast load repeats, so a group's operands take a quarter of the
// first-level cache that whole 64-byte operands would: with those, the loads of the operands and
// not the products set the pace. `pairsOf(i, o)` gives the two pairs of source i for output o.
template <std::size_t Outputs, std::size_t Tile, typename PairsOf>
__attribute__((target("avx512f,avx512bw,gfni"), always_inline)) inline void GfniGroupTile(
    std::uint8_t* const* dsts, const std::uint8_t* const* sources, const PairsOf& pairsOf,
    std::size_t count, std::size_t offset) {
    __m512i acc[Outputs][Tile];
#pragma GCC unroll 16
    for (std::size_t o = 0; o < Outputs; ++o) {
#pragma GCC unroll 16
        for (std::size_t k = 0; k < Tile; ++k) {
            acc[o][k] = _mm512_loadu_si512(dsts[o] + offset + k * kGfBlockBytes);
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* src = sources[i] + offset;
        __m512i x[Tile];
        __m512i swapped[Tile];
#pragma GCC unroll 16
        for (std::size_t k = 0; k < Tile; ++k) {
            x[k] = _mm512_loadu_si512(src + k * kGfBlockBytes);
            swapped[k] = _mm512_shuffle_epi32(x[k], _MM_PERM_BADC);
        }
#pragma GCC unroll 16
        for (std::size_t o = 0; o < Outputs; ++o) {
            const auto* pairs = reinterpret_cast<const __m128i*>(pairsOf(i, o));
            const __m512i same = _mm512_broadcast_i32x4(_mm_loadu_si128(pairs));
            const __m512i cross = _mm512_broadcast_i32x4(_mm_loadu_si128(pairs + 1));
#pragma GCC unroll 16
            for (std::size_t k = 0; k < Tile; ++k) {
                acc[o][k] = _mm512_ternarylogic_epi32(
                    acc[o][k], _mm512_gf2p8affine_epi64_epi8(x[k], same, 0),
                    _mm512_gf2p8affine_epi64_epi8(swapped[k], cross, 0), 0x96);
            }
        }
    }
#pragma GCC unroll 16
    for (std::size_t o = 0; o < Outputs; ++o) {
#pragma GCC unroll 16
        for (std::size_t k = 0; k < Tile; ++k) {
            _mm512_storeu_si512(dsts[o] + offset + k * kGfBlockBytes, acc[o][k]);
        }
    }
}

// Four blocks of each output of a group in registers: sixteen sums, the four blocks of a source
// and their swapped halves fill the 32 vector registers without spilling.
constexpr std::size_t kGroupTile = 4;

template <std::size_t Outputs, typename PairsOf>
__attribute__((target("avx512f,avx512bw,gfni"))) void GfniMulAddGroup(
    std::uint8_t* const* dsts, const std::uint8_t* const* sources, const PairsOf& pairsOf,
    std::size_t count, std::size_t blocks) {
    std::size_t block = 0;
    for (; block + kGroupTile <= blocks; block += kGroupTile) {
        GfniGroupTile<Outputs, kGroupTile>(dsts, sources, pairsOf, count, block * kGfBlockBytes);
    }
    for (; block < blocks; ++block) {
        GfniGroupTile<Outputs, 1>(dsts, sources, pairsOf, count, block * kGfBlockBytes);
    }
}

__attribute__((target("avx512f,avx512bw,gfni"))) void GfniMulAddGrid(
    std::uint8_t* const* dsts, std::size_t outputs, const std::uint8_t* const* sources,
    std::size_t count, const std::uint64_t* lanes, std::size_t blocks) {
    ForEachOutputGroup<kGfniPairWords>(
        dsts, outputs, count, lanes, [&](std::uint8_t* const* group, const auto& operands) {
            GfniMulAddGroup<std::decay_t<decltype(operands)>::kOutputs>(group, sources, operands,
                                                                        count, blocks);
        });
}

// The byte-shuffle kernel over several outputs: each source block is loaded, has its halves
// swapped and is split into its four nibble vectors once for all the outputs of a group; each
// output then takes four shuffles through its factor's tables. `tablesOf(i, o)` gives the four
// 64-byte tables of source i for output o, in the order of Avx512MulAdd's.
template <std::size_t Outputs, std::size_t Tile, typename TablesOf>
__attribute__((target("avx512f,avx512bw"), always_inline)) inline void ShuffleGroupTile(
    std::uint8_t* const* dsts, const std::uint8_t* const* sources, const TablesOf& tablesOf,
    std::size_t count, std::size_t offset) {
    const __m512i mask = _mm512_set1_epi8(0x0F);
    __m512i acc[Outputs][Tile];
#pragma GCC unroll 16
    for (std::size_t o = 0; o < Outputs; ++o) {
#pragma GCC unroll 16
        for (std::size_t k = 0; k < Tile; ++k) {
            acc[o][k] = _mm512_loadu_si512(dsts[o] + offset + k * kGfBlockBytes);
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* src = sources[i] + offset;
        __m512i nibbles[Tile][4];
#pragma GCC unroll 16
        for (std::size_t k = 0; k < Tile; ++k) {
            const __m512i x = _mm512_loadu_si512(src + k * kGfBlockBytes);
            const __m512i swapped = _mm512_shuffle_i64x2(x, x, 0x4E);
            nibbles[k][0] = _mm512_and_si512(x, mask);
            nibbles[k][1] = _mm512_and_si512(_mm512_srli_epi16(x, 4), mask);
            nibbles[k][2] = _mm512_and_si512(swapped, mask);
            nibbles[k][3] = _mm512_and_si512(_mm512_srli_epi16(swapped, 4), mask);
        }
#pragma GCC unroll 16
        for (std::size_t o = 0; o < Outputs; ++o) {
            const std::uint64_t* tables = tablesOf(i, o);
            __m512i t[4];
#pragma GCC unroll 4
            for (std::size_t j = 0; j < 4; ++j) {
                t[j] = _mm512_loadu_si512(tables + 8 * j);
            }
#pragma GCC unroll 16
            for (std::size_t k = 0; k < Tile; ++k) {
                const __m512i sum =
                    _mm512_ternarylogic_epi32(acc[o][k], _mm512_shuffle_epi8(t[0], nibbles[k][0]),
                                              _mm512_shuffle_epi8(t[1], nibbles[k][1]), 0x96);
                acc[o][k] =
                    _mm512_ternarylogic_epi32(sum, _mm512_shuffle_epi8(t[2], nibbles[k][2]),
                                              _mm512_shuffle_epi8(t[3], nibbles[k][3]), 0x96);
            }
        }
    }
#pragma GCC unroll 16
    for (std::size_t o = 0; o < Outputs; ++o) {
#pragma GCC unroll 16
        for (std::size_t k = 0; k < Tile; ++k) {
            _mm512_storeu_si512(dsts[o] + offset + k * kGfBlockBytes, acc[o][k]);
        }
    }
}

// Two blocks of each output of a group in registers: eight sums, eight nibble vectors and a
// factor's four tables leave room for the temporaries in the 32 vector registers.
constexpr std::size_t kShuffleTile = 2;

template <std::size_t Outputs, typename TablesOf>
__attribute__((target("avx512f,avx512bw"))) void ShuffleMulAddGroup(
    std::uint8_t* const* dsts, const std::uint8_t* const* sources, const TablesOf& tablesOf,
    std::size_t count, std::size_t blocks) {
    std::size_t block = 0;
    for (; block + kShuffleTile <= blocks; block += kShuffleTile) {
        ShuffleGroupTile<Outputs, kShuffleTile>(dsts, sources, tablesOf, count,
                                                block * kGfBlockBytes);
    }
    for (; block < blocks; ++block) {
        ShuffleGroupTile<Outputs, 1>(dsts, sources, tablesOf, count, block * kGfBlockBytes);
    }
}

__attribute__((target("avx512f,avx512bw"))) void ShuffleMulAddGrid(
    std::uint8_t* const* dsts, std::size_t outputs, const std::uint8_t* const* sources,
    std::size_t count, const std::uint64_t* tables, std::size_t blocks) {
    ForEachOutputGroup<kShuffleTableWords>(
        dsts, outputs, count, tables, [&](std::uint8_t* const* group, const auto& operands) {
            ShuffleMulAddGroup<std::decay_t<decltype(operands)>::kOutputs>(group, sources, operands,
                                                                           count, blocks);
        });
}

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif

// Bit c of byte r goes to bit r of byte c.
std::uint64_t Transpose8x8(std::uint64_t x) {
    std::uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    return x ^ t ^ (t << 28);
}

// The 8x8 matrix that maps input bits `inShift` .. +7 of a word to output bits `outShift` .. +7
// of its product with the factor whose products with single bits are `columns`, laid out as the
// bit-matrix instruction reads it: the byte for output bit i sits at byte 7 - i, and holds that
// output bit of each input bit's product.
std::uint64_t BitMatrix(const std::uint16_t* columns, int inShift, int outShift) {
    std::uint64_t byInput = 0;
    for (int in = 0; in < 8; ++in) {
        byInput |= static_cast<std::uint64_t>((columns[in + inShift] >> outShift) & 0xFF)
                   << (8 * in);
    }
    return __builtin_bswap64(Transpose8x8(byInput));
}

// The factor as four bit matrices: low from low, low from high, high from low, high from high.
// Grids of factors make thousands of them for every batch of inputs, so the products with single
// bits come from doubling rather than from the tables.
void FactorMatrices(std::uint16_t factor, std::uint64_t* matrices) {
    std::uint16_t columns[16];
    std::uint32_t column = factor;
    for (int bit = 0; bit < 16; ++bit) {
        columns[bit] = static_cast<std::uint16_t>(column);
        column = (column << 1) ^ ((column & 0x8000) != 0 ? 0x1100B : 0);
    }
    matrices[0] = BitMatrix(columns, 0, 0);
    matrices[1] = BitMatrix(columns, 8, 0);
    matrices[2] = BitMatrix(columns, 0, 8);
    matrices[3] = BitMatrix(columns, 8, 8);
}

// The matrices as the kernel's two operands: for a block as it is (low from low, high from
// high), then for the block with its halves swapped.
void MatrixLanes(const std::uint64_t* matrices, std::uint64_t* lanes) {
    for (int lane = 0; lane < 8; ++lane) {
        lanes[lane] = matrices[lane < 4 ? 0 : 3];
        lanes[8 + lane] = matrices[lane < 4 ? 1 : 2];
    }
}

// The matrices as a grid's operands: the pair for a lane as it is (low from low, high from high),
// then the pair for a lane with its halves swapped (low from high, high from low).
void MatrixPairs(const std::uint64_t* matrices, std::uint64_t* pairs) {
    pairs[0] = matrices[0];
    pairs[1] = matrices[3];
    pairs[2] = matrices[1];
    pairs[3] = matrices[2];
}

// The products of the factor with each value of each nibble position of a word, by doubling:
// grids make thousands for every batch of inputs.
void NibbleProducts(std::uint16_t factor, std::uint16_t (&products)[4][16]) {
    std::uint16_t columns[16];
    std::uint32_t column = factor;
    for (int bit = 0; bit < 16; ++bit) {
        columns[bit] = static_cast<std::uint16_t>(column);
        column = (column << 1) ^ ((column & 0x8000) != 0 ? 0x1100B : 0);
    }
    for (int position = 0; position < 4; ++position) {
        products[position][0] = 0;
        for (int n = 1; n < 16; ++n) {
            products[position][n] = static_cast<std::uint16_t>(
                products[position][n & (n - 1)] ^ columns[4 * position + __builtin_ctz(n)]);
        }
    }
}

// The factor's four 64-byte shuffle tables, as Avx512MulAdd makes them: the products of each
// nibble position's 16 values, low bytes in the two lanes that hold a block's low bytes and high
// bytes in the other two, for the block as it is and with its halves swapped.
void ShuffleTables(std::uint16_t factor, std::uint64_t* words) {
    std::uint16_t products[4][16];
    NibbleProducts(factor, products);
    // Table j: positions (low lanes, high lanes) = (0, 2), (1, 3), (2, 0), (3, 1); the low
    // lanes take the products' low bytes, the high lanes their high bytes.
    static constexpr int kLowPosition[4] = {0, 1, 2, 3};
    static constexpr int kHighPosition[4] = {2, 3, 0, 1};
    auto* bytes = reinterpret_cast<std::uint8_t*>(words);
    for (int j = 0; j < 4; ++j) {
        for (int n = 0; n < 16; ++n) {
            const auto low = static_cast<std::uint8_t>(products[kLowPosition[j]][n]);
            const auto high = static_cast<std::uint8_t>(products[kHighPosition[j]][n] >> 8);
            bytes[64 * j + n] = bytes[64 * j + 16 + n] = low;
            bytes[64 * j + 32 + n] = bytes[64 * j + 48 + n] = high;
        }
    }
}

// The factor's eight 16-byte tables for the AVX2 kernel: the products' low bytes for nibble
// positions 0 to 3, then their high bytes.
void NarrowShuffleTables(std::uint16_t factor, std::uint64_t* words) {
    std::uint16_t products[4][16];
    NibbleProducts(factor, products);
    auto* bytes = reinterpret_cast<std::uint8_t*>(words);
    for (int position = 0; position < 4; ++position) {
        for (int n = 0; n < 16; ++n) {
            bytes[16 * position + n] = static_cast<std::uint8_t>(products[position][n]);
            bytes[64 + 16 * position + n] = static_cast<std::uint8_t>(products[position][n] >> 8);
        }
    }
}

bool Supports(GfKernel kernel) {
    switch (kernel) {
        case GfKernel::Portable:
            return true;
#if KAVENDRUM_X86_KERNELS
        case GfKernel::Ssse3:
            return __builtin_cpu_supports("ssse3");
#endif
#if KAVENDRUM_WIDE_KERNELS
        case GfKernel::Avx2:
            return __builtin_cpu_supports("avx2");
        case GfKernel::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
        case GfKernel::Gfni:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                   __builtin_cpu_supports("gfni");
#endif
        default:
            return false;
    }
}

// The kernel that stands for `kernel` on this processor and build.
GfKernel Usable(GfKernel kernel) {
    return Supports(kernel) ? kernel : GfKernel::Portable;
}

}  // namespace

namespace {

void ToSplitBlocks(const std::uint8_t* words, std::size_t blocks, std::uint8_t* split) {
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::uint8_t* in = words + b * kGfBlockBytes;
        std::uint8_t* out = split + b * kGfBlockBytes;
        for (std::size_t i = 0; i < kHalf; ++i) {
            out[i] = in[2 * i];
            out[kHalf + i] = in[2 * i + 1];
        }
    }
}

void FromSplitBlocks(const std::uint8_t* split, std::size_t blocks, std::uint8_t* words) {
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::uint8_t* in = split + b * kGfBlockBytes;
        std::uint8_t* out = words + b * kGfBlockBytes;
        for (std::size_t i = 0; i < kHalf; ++i) {
            out[2 * i] = in[i];
            out[2 * i + 1] = in[kHalf + i];
        }
    }
}

// In the lane layout each 16 bytes are 8 words: the low bytes first, then the high bytes.
void ToLaneBlocks(const std::uint8_t* words, std::size_t blocks, std::uint8_t* lanes) {
    for (std::size_t lane = 0; lane < blocks * kGfBlockBytes / 16; ++lane) {
        for (std::size_t i = 0; i < 8; ++i) {
            lanes[16 * lane + i] = words[16 * lane + 2 * i];
            lanes[16 * lane + 8 + i] = words[16 * lane + 2 * i + 1];
        }
    }
}

void FromLaneBlocks(const std::uint8_t* lanes, std::size_t blocks, std::uint8_t* words) {
    for (std::size_t lane = 0; lane < blocks * kGfBlockBytes / 16; ++lane) {
        for (std::size_t i = 0; i < 8; ++i) {
            words[16 * lane + 2 * i] = lanes[16 * lane + i];
            words[16 * lane + 2 * i + 1] = lanes[16 * lane + 8 + i];
        }
    }
}

#if KAVENDRUM_WIDE_KERNELS

#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

// The lane layout is one in-lane byte shuffle away from the words, either way.
__attribute__((target("avx512f,avx512bw"))) void Avx512ShuffleBlocks(const std::uint8_t* in,
                                                                     std::size_t blocks,
                                                                     std::uint8_t* out,
                                                                     const __m128i& order) {
    const __m512i shuffle = _mm512_broadcast_i32x4(order);
    for (std::size_t b = 0; b < blocks; ++b) {
        _mm512_storeu_si512(
            out + b * kGfBlockBytes,
            _mm512_shuffle_epi8(_mm512_loadu_si512(in + b * kGfBlockBytes), shuffle));
    }
}

__attribute__((target("avx512f,avx512bw"))) void Avx512ToLaneBlocks(const std::uint8_t* words,
                                                                    std::size_t blocks,
                                                                    std::uint8_t* lanes) {
    Avx512ShuffleBlocks(words, blocks, lanes,
                        _mm_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15));
}

__attribute__((target("avx512f,avx512bw"))) void Avx512FromLaneBlocks(const std::uint8_t* lanes,
                                                                      std::size_t blocks,
                                                                      std::uint8_t* words) {
    Avx512ShuffleBlocks(lanes, blocks, words,
                        _mm_setr_epi8(0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15));
}

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

// Each 16-byte lane's even bytes, then its odd ones; the lanes are then regrouped.
__attribute__((target("avx2"))) void Avx2ToSplitBlocks(const std::uint8_t* words,
                                                       std::size_t blocks, std::uint8_t* split) {
    const __m256i evenOdd = _mm256_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15,
                                             0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15);
    for (std::size_t b = 0; b < blocks; ++b) {
        const auto* in = reinterpret_cast<const __m256i*>(words + b * kGfBlockBytes);
        const __m256i first =
            _mm256_permute4x64_epi64(_mm256_shuffle_epi8(_mm256_loadu_si256(in), evenOdd), 0xD8);
        const __m256i second = _mm256_permute4x64_epi64(
            _mm256_shuffle_epi8(_mm256_loadu_si256(in + 1), evenOdd), 0xD8);
        auto* out = reinterpret_cast<__m256i*>(split + b * kGfBlockBytes);
        _mm256_storeu_si256(out, _mm256_permute2x128_si256(first, second, 0x20));
        _mm256_storeu_si256(out + 1, _mm256_permute2x128_si256(first, second, 0x31));
    }
}

__attribute__((target("avx2"))) void Avx2FromSplitBlocks(const std::uint8_t* split,
                                                         std::size_t blocks, std::uint8_t* words) {
    for (std::size_t b = 0; b < blocks; ++b) {
        const auto* in = reinterpret_cast<const __m256i*>(split + b * kGfBlockBytes);
        const __m256i low = _mm256_loadu_si256(in);
        const __m256i high = _mm256_loadu_si256(in + 1);
        const __m256i x = _mm256_unpacklo_epi8(low, high);
        const __m256i y = _mm256_unpackhi_epi8(low, high);
        auto* out = reinterpret_cast<__m256i*>(words + b * kGfBlockBytes);
        _mm256_storeu_si256(out, _mm256_permute2x128_si256(x, y, 0x20));
        _mm256_storeu_si256(out + 1, _mm256_permute2x128_si256(x, y, 0x31));
    }
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

#endif

}  // namespace

namespace {

using BlockConversion = void (*)(const std::uint8_t* in, std::size_t blocks, std::uint8_t* out);

// Whole blocks by `fast`; the part block at the end by `plain`, from a copy padded with zeros.
void IntoLayout(const std::uint8_t* words, std::size_t bytes, std::uint8_t* out,
                BlockConversion fast, BlockConversion plain) {
    const std::size_t whole = bytes / kGfBlockBytes;
    fast(words, whole, out);
    const std::size_t tail = bytes - whole * kGfBlockBytes;
    if (tail > 0) {
        std::uint8_t last[kGfBlockBytes] = {};
        std::memcpy(last, words + whole * kGfBlockBytes, tail);
        plain(last, 1, out + whole * kGfBlockBytes);
    }
}

// The first `bytes` back as words: whole blocks by `fast`, the rest through a copy by `plain`.
void OutOfLayout(const std::uint8_t* in, std::size_t bytes, std::uint8_t* words,
                 BlockConversion fast, BlockConversion plain) {
    const std::size_t whole = bytes / kGfBlockBytes;
    fast(in, whole, words);
    const std::size_t tail = bytes - whole * kGfBlockBytes;
    if (tail > 0) {
        std::uint8_t last[kGfBlockBytes];
        plain(in + whole * kGfBlockBytes, 1, last);
        std::memcpy(words + whole * kGfBlockBytes, last, tail);
    }
}

}  // namespace

void ToSplitLayout(const std::uint8_t* words, std::size_t bytes, std::uint8_t* split) {
#if KAVENDRUM_WIDE_KERNELS
    IntoLayout(words, bytes, split, HasAvx2() ? Avx2ToSplitBlocks : ToSplitBlocks, ToSplitBlocks);
#else
    IntoLayout(words, bytes, split, ToSplitBlocks, ToSplitBlocks);
#endif
}

void FromSplitLayout(const std::uint8_t* split, std::size_t bytes, std::uint8_t* words) {
#if KAVENDRUM_WIDE_KERNELS
    OutOfLayout(split, bytes, words, HasAvx2() ? Avx2FromSplitBlocks : FromSplitBlocks,
                FromSplitBlocks);
#else
    OutOfLayout(split, bytes, words, FromSplitBlocks, FromSplitBlocks);
#endif
}

void ToGridLayout(GfKernel kernel, const std::uint8_t* words, std::size_t bytes,
                  std::uint8_t* grid) {
    if (Usable(kernel) != GfKernel::Gfni) {
        return ToSplitLayout(words, bytes, grid);
    }
#if KAVENDRUM_WIDE_KERNELS
    IntoLayout(words, bytes, grid, Avx512ToLaneBlocks, ToLaneBlocks);
#else
    IntoLayout(words, bytes, grid, ToLaneBlocks, ToLaneBlocks);
#endif
}

void FromGridLayout(GfKernel kernel, const std::uint8_t* grid, std::size_t bytes,
                    std::uint8_t* words) {
    if (Usable(kernel) != GfKernel::Gfni) {
        return FromSplitLayout(grid, bytes, words);
    }
#if KAVENDRUM_WIDE_KERNELS
    OutOfLayout(grid, bytes, words, Avx512FromLaneBlocks, FromLaneBlocks);
#else
    OutOfLayout(grid, bytes, words, FromLaneBlocks, FromLaneBlocks);
#endif
}

std::string KernelName(GfKernel kernel) {
    switch (kernel) {
        case GfKernel::Portable:
            return "portable";
        case GfKernel::Ssse3:
            return "SSSE3";
        case GfKernel::Avx2:
            return "AVX2";
        case GfKernel::Avx512:
            return "AVX-512BW";
        case GfKernel::Gfni:
            return "GFNI";
    }
    return "unknown";
}

std::vector<GfKernel> AvailableKernels() {
    std::vector<GfKernel> kernels;
    for (const GfKernel kernel :
         {GfKernel::Portable, GfKernel::Ssse3, GfKernel::Avx2, GfKernel::Avx512, GfKernel::Gfni}) {
        if (Supports(kernel)) {
            kernels.push_back(kernel);
        }
    }
    return kernels;
}

GfKernel FastestKernel() {
    return AvailableKernels().back();
}

GfMultiplier::GfMultiplier(GfKernel kernel, std::uint16_t factor)
    : m_kernel(Usable(kernel)), m_factor(factor) {
    switch (m_kernel) {
        case GfKernel::Portable:
            m_bytes.resize(512);
            for (std::uint32_t b = 0; b < 256; ++b) {
                m_bytes[b] = Gf16::Multiply(factor, static_cast<std::uint16_t>(b));
                m_bytes[256 + b] = Gf16::Multiply(factor, static_cast<std::uint16_t>(b << 8));
            }
            break;
        case GfKernel::Gfni:
            FactorMatrices(factor, m_matrices);
            MatrixLanes(m_matrices, m_lanes);
            break;
        default:
            for (int position = 0; position < 4; ++position) {
                for (std::uint32_t n = 0; n < 16; ++n) {
                    const std::uint16_t product =
                        Gf16::Multiply(factor, static_cast<std::uint16_t>(n << (4 * position)));
                    m_nibbles.low[position][n] = static_cast<std::uint8_t>(product);
                    m_nibbles.high[position][n] = static_cast<std::uint8_t>(product >> 8);
                }
            }
            break;
    }
}

void GfMultiplier::MulAdd(std::uint8_t* dst, const std::uint8_t* src, std::size_t blocks) const {
    switch (m_kernel) {
#if KAVENDRUM_X86_KERNELS
        case GfKernel::Ssse3:
            return Ssse3MulAdd(dst, src, blocks, m_nibbles);
#endif
#if KAVENDRUM_WIDE_KERNELS
        case GfKernel::Avx2:
            return Avx2MulAdd(dst, src, blocks, m_nibbles);
        case GfKernel::Avx512:
            return Avx512MulAdd(dst, src, blocks, m_nibbles);
        case GfKernel::Gfni:
            return GfniMulAdd(dst, src, blocks, m_matrices);
#endif
        default:
            return PortableMulAdd(dst, src, blocks, m_bytes.data(), m_bytes.data() + 256);
    }
}

void MulAddMany(std::uint8_t* dst, const std::uint8_t* const* sources,
                const GfMultiplier* multipliers, std::size_t count, std::size_t blocks) {
    if (count == 0) {
        return;
    }
#if KAVENDRUM_WIDE_KERNELS
    if (multipliers[0].Kernel() == GfKernel::Gfni) {
        return GfniMulAddMany(dst, sources, multipliers, count, blocks);
    }
#endif
    for (std::size_t i = 0; i < count; ++i) {
        multipliers[i].MulAdd(dst, sources[i], blocks);
    }
}

GfFactorGrid::GfFactorGrid(GfKernel kernel, std::size_t outputs, std::size_t sources,
                           const Factor& factor)
    : m_kernel(Usable(kernel)), m_outputs(outputs), m_sources(sources) {
    const bool matrices = m_kernel == GfKernel::Gfni;
    const bool narrow = m_kernel == GfKernel::Avx2;
    if (!matrices && !narrow && m_kernel != GfKernel::Avx512) {
        m_multipliers.reserve(outputs * sources);
        for (std::size_t o = 0; o < outputs; ++o) {
            for (std::size_t i = 0; i < sources; ++i) {
                m_multipliers.emplace_back(m_kernel, factor(o, i));
            }
        }
        return;
    }
    const std::size_t words =
        matrices ? kGfniPairWords : (narrow ? kAvx2TableWords : kShuffleTableWords);
    m_lanes.resize(outputs * sources * words);
    for (std::size_t first = 0; first < outputs; first += kGroupOutputs) {
        const std::size_t group = std::min(kGroupOutputs, outputs - first);
        std::uint64_t* base = m_lanes.data() + first * sources * words;
        for (std::size_t i = 0; i < sources; ++i) {
            for (std::size_t o = 0; o < group; ++o) {
                std::uint64_t* at = base + (i * group + o) * words;
                if (matrices) {
                    std::uint64_t four[4];
                    FactorMatrices(factor(first + o, i), four);
                    MatrixPairs(four, at);
                } else if (narrow) {
                    NarrowShuffleTables(factor(first + o, i), at);
                } else {
                    ShuffleTables(factor(first + o, i), at);
                }
            }
        }
    }
}

void GfFactorGrid::MulAdd(std::uint8_t* const* dsts, const std::uint8_t* const* sources,
                          std::size_t blocks) const {
    if (m_outputs == 0 || m_sources == 0) {
        return;
    }
#if KAVENDRUM_WIDE_KERNELS
    if (m_kernel == GfKernel::Gfni) {
        return GfniMulAddGrid(dsts, m_outputs, sources, m_sources, m_lanes.data(), blocks);
    }
    if (m_kernel == GfKernel::Avx512) {
        return ShuffleMulAddGrid(dsts, m_outputs, sources, m_sources, m_lanes.data(), blocks);
    }
    if (m_kernel == GfKernel::Avx2) {
        return Avx2MulAddGrid(dsts, m_outputs, sources, m_sources, m_lanes.data(), blocks);
    }
#endif
    for (std::size_t out = 0; out < m_outputs; ++out) {
        MulAddMany(dsts[out], sources, m_multipliers.data() + out * m_sources, m_sources, blocks);
    }
}

}  // namespace kavendrum::par2
