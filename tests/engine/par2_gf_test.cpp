#include <gtest/gtest.h>

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
TEST(GfKernelTest, ManyOutputsAtOnceAndFactorGridsMatchOneProductAtATime) {
    std::mt19937 random(22);
    const std::size_t maxBlocks = 9;
    const std::size_t size = maxBlocks * kGfBlockBytes + 64;
    std::vector<std::vector<std::uint8_t>> sources;
    for (std::uint32_t i = 0; i < 7; ++i) {
        sources.push_back(Random(size, 200 + i));
    }
    for (const GfKernel kernel : AvailableKernels()) {
        for (const std::size_t outputs : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 9u}) {
            for (const std::size_t blocks : {0u, 1u, 3u, 4u, 5u, 9u}) {
                std::vector<const std::uint8_t*> pointers;
                for (const auto& source : sources) {
                    pointers.push_back(source.data() + random() % 64);
                }
                std::vector<std::uint16_t> factors;
                std::vector<GfMultiplier> multipliers;
                std::vector<std::vector<std::uint8_t>> expected;
                for (std::size_t o = 0; o < outputs; ++o) {
                    expected.push_back(Random(size, 300 + static_cast<std::uint32_t>(o)));
                    for (std::size_t i = 0; i < sources.size(); ++i) {
                        const auto factor = static_cast<std::uint16_t>(i < 2 ? i : random());
                        factors.push_back(factor);
                        multipliers.emplace_back(kernel, factor);
                        GfMultiplier(GfKernel::Portable, factor)
                            .MulAdd(expected[o].data() + 8, pointers[i], blocks);
                    }
                }
                const GfFactorGrid grid(
                    kernel, outputs, sources.size(),
                    [&](std::size_t o, std::size_t i) { return factors[o * sources.size() + i]; });
                for (const bool throughGrid : {false, true}) {
                    std::vector<std::vector<std::uint8_t>> got;
                    std::vector<std::uint8_t*> dsts;
                    for (std::size_t o = 0; o < outputs; ++o) {
                        got.push_back(Random(size, 300 + static_cast<std::uint32_t>(o)));
                    }
                    for (auto& out : got) {
                        dsts.push_back(out.data() + 8);
                    }
                    if (throughGrid) {
                        grid.MulAdd(dsts.data(), pointers.data(), blocks);
                    } else {
                        MulAddOutputs(dsts.data(), outputs, pointers.data(), multipliers.data(),
                                      sources.size(), blocks);
                    }
                    ASSERT_EQ(got, expected) << KernelName(kernel) << " outputs " << outputs
                                             << " blocks " << blocks << " grid " << throughGrid;
                }
            }
        }
    }
}

}  // namespace
}  // namespace kavendrum::par2
