#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/io/crc32.h"
#include "engine/io/md5.h"
#include "engine/par2/gf16.h"
#include "engine/par2/slice_combiner.h"
#include "engine/par2/slice_reader.h"
#include "engine/par2/stream_hashes.h"
#include "support/temp_folder.h"

namespace kavendrum::par2 {
namespace {

std::vector<std::uint8_t> RandomWords(std::size_t bytes, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> out(bytes);
    for (auto& byte : out) {
        byte = static_cast<std::uint8_t>(random());
    }
    return out;
}

std::uint16_t Word(const std::vector<std::uint8_t>& bytes, std::size_t w) {
    return static_cast<std::uint16_t>(bytes[2 * w] | bytes[2 * w + 1] << 8);
}

// Each output's sum of the inputs times their factors, one field multiplication a word.
std::vector<std::vector<std::uint16_t>> SumsWordByWord(
    const std::vector<std::vector<std::uint8_t>>& inputs, std::size_t outputs,
    const std::function<std::uint16_t(std::size_t, std::size_t)>& factor) {
    const std::size_t words = inputs.front().size() / 2;
    std::vector<std::vector<std::uint16_t>> sums(outputs, std::vector<std::uint16_t>(words));
    for (std::size_t out = 0; out < outputs; ++out) {
        for (std::size_t in = 0; in < inputs.size(); ++in) {
            for (std::size_t w = 0; w < words; ++w) {
                sums[out][w] ^= Gf16::Multiply(factor(out, in), Word(inputs[in], w));
            }
        }
    }
    return sums;
}

// Where the combiner's outputs first differ from the expected sums ("output 2 word 7"), or "".
std::string FirstDifference(SliceCombiner& combiner,
                            const std::vector<std::vector<std::uint16_t>>& expected) {
    for (std::size_t out = 0; out < expected.size(); ++out) {
        std::vector<std::uint8_t> words(expected[out].size() * 2);
        combiner.CopyOutput(out, words.data());
        for (std::size_t w = 0; w < expected[out].size(); ++w) {
            if (Word(words, w) != expected[out][w]) {
                return "output " + std::to_string(out) + " word " + std::to_string(w);
            }
        }
    }
    return "";
}

// The combiner against the field's multiplication word by word: a slice that ends inside a
// block and inside a step, inputs in two batches, one thread and more threads than steps, every
// kernel.
TEST(SliceCombinerTest, SumsOfProductsMatchWordByWordForAnyThreadsAndKernel) {
    const std::size_t sliceBytes = 3 * 8 * kGfBlockBytes + 66;
    const std::size_t outputs = 5;
    std::vector<std::vector<std::uint8_t>> inputs;
    for (std::uint32_t i = 0; i < 11; ++i) {
        inputs.push_back(RandomWords(sliceBytes, i + 1));
    }
    const auto factor = [](std::size_t out, std::size_t in) {
        return static_cast<std::uint16_t>(out * 7919 + in * 104729 + 1);
    };
    const auto expected = SumsWordByWord(inputs, outputs, factor);
    for (const GfKernel kernel : AvailableKernels()) {
        for (const unsigned threads : {1u, 2u, 7u}) {
            SliceCombiner combiner(outputs, sliceBytes, threads, kernel);
            std::vector<const std::uint8_t*> first;
            std::vector<const std::uint8_t*> second;
            for (std::size_t in = 0; in < inputs.size(); ++in) {
                (in < 4 ? first : second).push_back(inputs[in].data());
            }
            combiner.Add(first, factor);
            combiner.Add(second,
                         [&](std::size_t out, std::size_t in) { return factor(out, in + 4); });
            EXPECT_EQ(FirstDifference(combiner, expected), "")
                << KernelName(kernel) << " threads " << threads;
        }
    }
}

// Several chunks of steps shared out among threads, a last step and chunk cut short, outputs in
// groups and one left over, every kernel, and side tasks given with the inputs: the sums are those
// of the field word by word, and every side task runs exactly once, whatever the number of
// threads.
TEST(SliceCombinerTest, ChunksAndSideTasksLeaveTheSumsAndRunEachTaskOnce) {
    const std::size_t sliceBytes = 40 * 8 * kGfBlockBytes + 130;
    const std::size_t outputs = 9;
    std::vector<std::vector<std::uint8_t>> inputs;
    std::vector<const std::uint8_t*> pointers;
    for (std::uint32_t i = 0; i < 6; ++i) {
        inputs.push_back(RandomWords(sliceBytes, 100 + i));
        pointers.push_back(inputs.back().data());
    }
    const auto factor = [](std::size_t out, std::size_t in) {
        return static_cast<std::uint16_t>(out * 4099 + in * 65521 + 3);
    };
    const auto expected = SumsWordByWord(inputs, outputs, factor);
    for (const GfKernel kernel : AvailableKernels()) {
        for (const unsigned threads : {1u, 2u, 3u}) {
            SliceCombiner combiner(outputs, sliceBytes, threads, kernel);
            std::vector<std::atomic<int>> runs(10);
            std::vector<std::function<void()>> tasks;
            for (auto& count : runs) {
                tasks.emplace_back([&count] { ++count; });
            }
            combiner.Add(pointers, factor, tasks);
            for (std::size_t t = 0; t < runs.size(); ++t) {
                EXPECT_EQ(runs[t].load(), 1) << "task " << t << " threads " << threads;
            }
            EXPECT_EQ(FirstDifference(combiner, expected), "")
                << KernelName(kernel) << " threads " << threads;
        }
    }
}

// The stream's checksums against those of each piece and each zero-padded slice made directly,
// whatever the size of the parts the bytes come in: one byte, an odd size, more than a ring slot.
// Empty pieces (first, in the middle, last) take no bytes and leave no slices. Slices shorter
// than 16 KiB and longer: a piece's first slice and first 16 KiB come from its own chain, so
// pieces of one short slice, of one whole slice, of exactly 16 KiB and of one byte are here.
TEST(StreamHashesTest, ChecksumsMatchThoseMadeDirectlyForAnyPartAndSliceSize) {
    const std::vector<std::uint64_t> lengths = {0, 30000, 16384, 0, 1, 24000, 40000, 0};
    std::vector<std::vector<std::uint8_t>> pieces;
    std::vector<std::uint8_t> stream;
    for (std::size_t p = 0; p < lengths.size(); ++p) {
        pieces.push_back(RandomWords(static_cast<std::size_t>(lengths[p]), 50 + p));
        stream.insert(stream.end(), pieces.back().begin(), pieces.back().end());
    }
    const std::pair<std::size_t, std::uint64_t> runs[] = {
        {1, 12000}, {4097, 12000}, {StreamHashes::kSlotBytes + 3, 12000}, {999, 40000}};
    for (const auto& [part, sliceSize] : runs) {
        std::vector<FileEntry> files(lengths.size());
        {
            StreamHashes hashes(lengths, sliceSize);
            for (std::size_t at = 0; at < stream.size(); at += part) {
                hashes.Add(stream.data() + at, std::min(part, stream.size() - at));
            }
            hashes.Finish(files);
        }
        for (std::size_t p = 0; p < lengths.size(); ++p) {
            const auto& bytes = pieces[p];
            EXPECT_EQ(files[p].md5, Md5Of(bytes.data(), bytes.size())) << p;
            EXPECT_EQ(files[p].md5Of16k,
                      Md5Of(bytes.data(), std::min<std::size_t>(bytes.size(), 16384)))
                << p;
            ASSERT_EQ(files[p].slices.size(), (lengths[p] + sliceSize - 1) / sliceSize) << p;
            for (std::size_t s = 0; s < files[p].slices.size(); ++s) {
                std::vector<std::uint8_t> slice(sliceSize, 0);
                const std::size_t from = s * sliceSize;
                const std::size_t size = std::min<std::size_t>(sliceSize, bytes.size() - from);
                std::copy_n(bytes.begin() + static_cast<long>(from), size, slice.begin());
                EXPECT_EQ(files[p].slices[s].md5, Md5Of(slice.data(), slice.size()))
                    << p << " " << s << " part " << part << " slice size " << sliceSize;
                EXPECT_EQ(files[p].slices[s].crc, Crc32Of(slice.data(), slice.size()))
                    << p << " " << s << " slice size " << sliceSize;
            }
        }
    }
}

// Slices come in zero-padded; a missing file or one shorter than the slice asked for fails the
// batch and names its path.
TEST(SliceReaderTest, ReadsAndPadsSlicesAndNamesTheFileThatFails) {
    testing::TempFolder folder;
    const std::string path = folder / "a";
    const std::string missing = folder / "gone";
    testing::WriteBytes(path, RandomWords(1000, 9));
    const auto bytes = RandomWords(1000, 9);
    std::vector<std::vector<std::uint8_t>> targets(5, std::vector<std::uint8_t>(300, 0xEE));
    std::vector<SliceRead> reads;
    for (std::size_t i = 0; i < 4; ++i) {
        reads.push_back({&path, i * 250, 250, targets[i].data(), 300});
    }
    EXPECT_FALSE(ReadSlices(reads, 3));
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(std::equal(bytes.begin() + static_cast<long>(i * 250),
                               bytes.begin() + static_cast<long>(i * 250 + 250),
                               targets[i].begin()));
        EXPECT_EQ(std::count(targets[i].begin() + 250, targets[i].end(), 0), 50);
    }
    reads.push_back({&path, 900, 200, targets[4].data(), 300});
    const auto shortRead = ReadSlices(reads, 2);
    ASSERT_TRUE(shortRead);
    EXPECT_EQ(shortRead->path, path);
    reads.back() = {&missing, 0, 10, targets[4].data(), 300};
    const auto notThere = ReadSlices(reads, 1);
    ASSERT_TRUE(notThere);
    EXPECT_EQ(notThere->path, missing);
}

// Slices that follow each other in one file and in memory are read together; a gap in the file,
// a short slice, or another file between them must still give each slice its own bytes.
TEST(SliceReaderTest, SlicesSideBySideAreReadTogetherAndOnlyThose) {
    testing::TempFolder folder;
    const std::string a = folder / "a";
    const std::string b = folder / "b";
    const auto bytesA = RandomWords(1000, 3);
    const auto bytesB = RandomWords(1000, 4);
    testing::WriteBytes(a, bytesA);
    testing::WriteBytes(b, bytesB);
    struct Slice {
        const std::string* path;
        const std::vector<std::uint8_t>* bytes;
        std::size_t offset;
        std::size_t size;
    };
    const std::vector<Slice> slices = {
        {&a, &bytesA, 0, 100},   {&a, &bytesA, 100, 100}, {&a, &bytesA, 300, 100},
        {&a, &bytesA, 400, 50},  {&a, &bytesA, 450, 100}, {&b, &bytesB, 550, 100},
        {&b, &bytesB, 650, 100},
    };
    std::vector<std::uint8_t> memory(slices.size() * 100, 0xEE);
    std::vector<SliceRead> reads;
    for (std::size_t i = 0; i < slices.size(); ++i) {
        reads.push_back(
            {slices[i].path, slices[i].offset, slices[i].size, memory.data() + i * 100, 100});
    }
    ReadFailure failure;
    const auto tasks = ReadTasks(reads, failure);
    EXPECT_EQ(tasks.size(), 4u);  // 0-1, 2-3, 4, 5-6
    for (const auto& task : tasks) {
        task();
    }
    EXPECT_FALSE(failure.First());
    for (std::size_t i = 0; i < slices.size(); ++i) {
        std::vector<std::uint8_t> expected(100, 0);
        std::copy_n(slices[i].bytes->begin() + static_cast<long>(slices[i].offset), slices[i].size,
                    expected.begin());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(),
                               memory.begin() + static_cast<long>(i * 100)))
            << "slice " << i;
    }
}

}  // namespace
}  // namespace kavendrum::par2
