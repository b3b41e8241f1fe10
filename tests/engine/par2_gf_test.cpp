#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "engine/par2/gf16.h"
#include "engine/par2/gf16_kernels.h"

namespace kavendrum::par2 {
namespace {

// Multiplication the long way: shift and add, reducing by the field's polynomial.
std::uint16_t SlowMultiply(std::uint16_t a, std::uint16_t b) {
    std::uint32_t product = 0;
    std::uint32_t shifted = a;
    for (int bit = 0; bit < 16; ++bit) {
        if (b & (1u << bit)) {
            product ^= shifted;
        }
        shifted <<= 1;
        if (shifted & 0x10000) {
            shifted ^= 0x1100B;
        }
    }
    return static_cast<std::uint16_t>(product);
}

TEST(Gf16Test, TablesAgreeWithShiftAndAddAndInverseUndoes) {
    std::mt19937 random(5);
    for (int i = 0; i < 20000; ++i) {
        const auto a = static_cast<std::uint16_t>(random());
        const auto b = static_cast<std::uint16_t>(random());
        ASSERT_EQ(Gf16::Multiply(a, b), SlowMultiply(a, b)) << a << " " << b;
        if (b != 0) {
            ASSERT_EQ(Gf16::Multiply(Gf16::Divide(a, b), b), a);
        }
    }
    EXPECT_EQ(Gf16::Multiply(0, 1234), 0);
    EXPECT_EQ(Gf16::Multiply(Gf16::Inverse(0x8000), 0x8000), 1);
    EXPECT_EQ(Gf16::Power(3, 0), 1);
    EXPECT_EQ(Gf16::Power(7, 65535), 1);
}

TEST(Gf16Test, InputConstantsAreThePublishedOnesAndAllGenerateTheGroup) {
    const std::uint16_t first[] = {2, 4, 16, 128, 256, 2048, 8192, 16384, 4107, 32856, 17132};
    for (std::uint32_t i = 0; i < std::size(first); ++i) {
        EXPECT_EQ(CodingFactor(i, 1), first[i]) << i;
    }
    // 65535 = 3 * 5 * 17 * 257: a constant generates the group when no x^(65535/p) is 1.
    for (std::uint32_t i = 0; i < kMaxInputSlices; i += 97) {
        const std::uint16_t constant = CodingFactor(i, 1);
        for (const std::uint32_t p : {3u, 5u, 17u, 257u}) {
            ASSERT_NE(Gf16::Power(constant, 65535 / p), 1) << i;
        }
    }
    EXPECT_EQ(InputConstantLog(kMaxInputSlices - 1) % 3 != 0, true);
    EXPECT_EQ(CodingFactor(5, 0), 1);
    EXPECT_EQ(CodingFactor(5, 3), Gf16::Power(CodingFactor(5, 1), 3));
}

std::vector<std::uint8_t> Random(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

TEST(GfKernelTest, SplitLayoutRoundTripsAndPadsWithZeros) {
    for (const std::size_t bytes : {0u, 2u, 62u, 64u, 66u, 1000u}) {
        const auto words = Random(bytes, static_cast<std::uint32_t>(bytes));
        std::vector<std::uint8_t> split(SplitLayoutBytes(bytes), 0xAA);
        ToSplitLayout(words.data(), bytes, split.data());
        std::vector<std::uint8_t> back(bytes);
        FromSplitLayout(split.data(), bytes, back.data());
        EXPECT_EQ(back, words);
        for (std::size_t w = bytes / 2; w < split.size() / 2; ++w) {
            EXPECT_EQ(split[(w / 32) * 64 + w % 32], 0) << bytes;
            EXPECT_EQ(split[(w / 32) * 64 + 32 + w % 32], 0) << bytes;
        }
    }
}

// Each kernel's grid layout holds the words it was given, and zero words after them up to the
// end of the last block; the lane layout puts a word's two bytes 8 apart in its 16-byte lane.
TEST(GfKernelTest, GridLayoutsRoundTripAndPadWithZeroWords) {
    for (const GfKernel kernel : AvailableKernels()) {
        for (const std::size_t bytes : {0u, 2u, 62u, 64u, 66u, 1000u}) {
            const auto words = Random(bytes, static_cast<std::uint32_t>(bytes));
            const std::size_t whole = SplitLayoutBytes(bytes);
            std::vector<std::uint8_t> grid(whole, 0xAA);
            ToGridLayout(kernel, words.data(), bytes, grid.data());
            std::vector<std::uint8_t> back(whole, 0xAA);
            FromGridLayout(kernel, grid.data(), whole, back.data());
            EXPECT_TRUE(std::equal(words.begin(), words.end(), back.begin())) << bytes;
            EXPECT_TRUE(std::all_of(back.begin() + static_cast<std::ptrdiff_t>(bytes), back.end(),
                                    [](std::uint8_t b) { return b == 0; }))
                << KernelName(kernel) << " " << bytes;
            if (kernel == GfKernel::Gfni && bytes >= 64) {
                EXPECT_EQ(grid[3], words[6]);
                EXPECT_EQ(grid[8 + 3], words[7]);
            }
        }
    }
}

// The portable kernel against the field's own multiplication, word by word.
TEST(GfKernelTest, PortableKernelMultipliesEveryWord) {
    const std::size_t bytes = 4 * 64 + 6;
    const auto src = Random(bytes, 1);
    const auto dst = Random(bytes, 2);
    for (const std::uint16_t factor : {0, 1, 2, 0x100B, 0xFFFF, 0x8001}) {
        std::vector<std::uint8_t> splitSrc(SplitLayoutBytes(bytes));
        std::vector<std::uint8_t> splitDst(SplitLayoutBytes(bytes));
        ToSplitLayout(src.data(), bytes, splitSrc.data());
        ToSplitLayout(dst.data(), bytes, splitDst.data());
        GfMultiplier(GfKernel::Portable, factor)
            .MulAdd(splitDst.data(), splitSrc.data(), splitSrc.size() / kGfBlockBytes);
        std::vector<std::uint8_t> result(bytes);
        FromSplitLayout(splitDst.data(), bytes, result.data());
        for (std::size_t w = 0; w < bytes / 2; ++w) {
            const auto in = static_cast<std::uint16_t>(src[2 * w] | src[2 * w + 1] << 8);
            const auto old = static_cast<std::uint16_t>(dst[2 * w] | dst[2 * w + 1] << 8);
            const auto got = static_cast<std::uint16_t>(result[2 * w] | result[2 * w + 1] << 8);
            ASSERT_EQ(got, old ^ SlowMultiply(factor, in)) << factor << " word " << w;
        }
    }
}

// Every vector kernel gives the portable kernel's bytes, for any factor, block count and
// alignment of source and destination, and touches nothing outside the blocks it was given.
TEST(GfKernelTest, EveryKernelMatchesThePortableOne) {
    const auto kernels = AvailableKernels();
    ASSERT_EQ(kernels.front(), GfKernel::Portable);
    std::mt19937 random(11);
    const std::size_t maxBlocks = 9;
    const auto src = Random(maxBlocks * kGfBlockBytes + 128, 3);
    const auto dst = Random(maxBlocks * kGfBlockBytes + 128, 4);
    for (const GfKernel kernel : kernels) {
        for (int round = 0; round < 200; ++round) {
            const auto factor = static_cast<std::uint16_t>(round < 3 ? round : random());
            const std::size_t blocks = round % (maxBlocks + 1);
            const std::size_t srcOffset = random() % 64;
            const std::size_t dstOffset = random() % 64;
            std::vector<std::uint8_t> expected = dst;
            std::vector<std::uint8_t> got = dst;
            GfMultiplier(GfKernel::Portable, factor)
                .MulAdd(expected.data() + dstOffset, src.data() + srcOffset, blocks);
            GfMultiplier(kernel, factor)
                .MulAdd(got.data() + dstOffset, src.data() + srcOffset, blocks);
            ASSERT_EQ(got, expected)
                << KernelName(kernel) << " factor " << factor << " blocks " << blocks;
        }
        // In place, as a solve scales a row by itself.
        std::vector<std::uint8_t> expected = src;
        std::vector<std::uint8_t> got = src;
        GfMultiplier(GfKernel::Portable, 0x1234)
            .MulAdd(expected.data(), expected.data(), maxBlocks);
        GfMultiplier(kernel, 0x1234).MulAdd(got.data(), got.data(), maxBlocks);
        EXPECT_EQ(got, expected) << KernelName(kernel);
    }
}

// Many sources into one destination give what one source at a time gives, for every kernel: with
// whole tiles of blocks, a tail shorter than a tile, and sources at any alignment; nothing
// outside the destination's blocks changes.
TEST(GfKernelTest, ManySourcesAtOnceMatchOneSourceAtATime) {
    std::mt19937 random(21);
    const std::size_t maxBlocks = 19;
    const std::size_t slack = 128;
    std::vector<std::vector<std::uint8_t>> sources;
    for (std::uint32_t i = 0; i < 66; ++i) {
        sources.push_back(Random(maxBlocks * kGfBlockBytes + slack, 100 + i));
    }
    const auto dst = Random(maxBlocks * kGfBlockBytes + slack, 5);
    for (const GfKernel kernel : AvailableKernels()) {
        for (const std::size_t count : {1u, 2u, 5u, 66u}) {
            for (const std::size_t blocks : {0u, 1u, 7u, 8u, 9u, 16u, 19u}) {
                std::vector<const std::uint8_t*> pointers;
                std::vector<GfMultiplier> multipliers;
                std::vector<std::uint8_t> expected = dst;
                const std::size_t dstOffset = random() % 64;
                for (std::size_t i = 0; i < count; ++i) {
                    pointers.push_back(sources[i].data() + random() % 64);
                    const auto factor = static_cast<std::uint16_t>(i == 0 ? 0 : random());
                    multipliers.emplace_back(kernel, factor);
                    GfMultiplier(GfKernel::Portable, factor)
                        .MulAdd(expected.data() + dstOffset, pointers.back(), blocks);
                }
                std::vector<std::uint8_t> got = dst;
                MulAddMany(got.data() + dstOffset, pointers.data(), multipliers.data(), count,
                           blocks);
                ASSERT_EQ(got, expected)
                    << KernelName(kernel) << " sources " << count << " blocks " << blocks;
            }
        }
    }
}

// Several outputs at once, through the multipliers and through a grid of factors (whole groups
// of outputs, groups and one, two or three left over, tiles and single blocks, unaligned
// buffers, factors 0 and 1) against the portable kernel one product at a time.
std::uint16_t WordAt(const std::vector<std::uint8_t>& bytes, std::size_t w) {
    return static_cast<std::uint16_t>(bytes[2 * w] | bytes[2 * w + 1] << 8);
}

// A grid of every kernel, in its own layout, gives each output the sum of its sources' products
// word by word, whatever the number of outputs (whole and partial groups of four) and blocks,
// and leaves the bytes beyond the blocks alone.
TEST(GfKernelTest, FactorGridsMatchTheSumOfProductsWordByWord) {
    std::mt19937 random(22);
    const std::size_t maxBlocks = 9;
    const std::size_t size = maxBlocks * kGfBlockBytes;
    std::vector<std::vector<std::uint8_t>> sources;
    for (std::uint32_t i = 0; i < 7; ++i) {
        sources.push_back(Random(size, 200 + i));
    }
    for (const GfKernel kernel : AvailableKernels()) {
        std::vector<std::vector<std::uint8_t>> staged(sources.size());
        std::vector<const std::uint8_t*> pointers;
        for (std::size_t i = 0; i < sources.size(); ++i) {
            const std::size_t misalign = random() % 64;
            staged[i].resize(size + misalign);
            ToGridLayout(kernel, sources[i].data(), size, staged[i].data() + misalign);
            pointers.push_back(staged[i].data() + misalign);
        }
        for (const std::size_t outputs : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 9u}) {
            for (const std::size_t blocks : {0u, 1u, 3u, 4u, 5u, 9u}) {
                std::vector<std::uint16_t> factors;
                for (std::size_t n = 0; n < outputs * sources.size(); ++n) {
                    factors.push_back(static_cast<std::uint16_t>(n % 7 < 2 ? n % 7 : random()));
                }
                const GfFactorGrid grid(
                    kernel, outputs, sources.size(),
                    [&](std::size_t o, std::size_t i) { return factors[o * sources.size() + i]; });
                std::vector<std::vector<std::uint8_t>> before;
                std::vector<std::vector<std::uint8_t>> dsts;
                std::vector<std::uint8_t*> dstPointers;
                for (std::size_t o = 0; o < outputs; ++o) {
                    before.push_back(Random(size, 300 + static_cast<std::uint32_t>(o)));
                    dsts.emplace_back(size + 16, 0x5A);
                    ToGridLayout(kernel, before[o].data(), size, dsts[o].data() + 8);
                }
                for (auto& dst : dsts) {
                    dstPointers.push_back(dst.data() + 8);
                }
                grid.MulAdd(dstPointers.data(), pointers.data(), blocks);
                for (std::size_t o = 0; o < outputs; ++o) {
                    std::vector<std::uint8_t> got(size);
                    FromGridLayout(kernel, dsts[o].data() + 8, size, got.data());
                    for (std::size_t w = 0; w < size / 2; ++w) {
                        std::uint16_t want = WordAt(before[o], w);
                        for (std::size_t i = 0;
                             w < blocks * kGfBlockBytes / 2 && i < sources.size(); ++i) {
                            want ^= SlowMultiply(factors[o * sources.size() + i],
                                                 WordAt(sources[i], w));
                        }
                        ASSERT_EQ(WordAt(got, w), want)
                            << KernelName(kernel) << " outputs " << outputs << " blocks " << blocks
                            << " output " << o << " word " << w;
                    }
                    for (std::size_t b = 0; b < 8; ++b) {
                        ASSERT_EQ(dsts[o][b], 0x5A);
                        ASSERT_EQ(dsts[o][8 + size + b], 0x5A);
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace kavendrum::par2
