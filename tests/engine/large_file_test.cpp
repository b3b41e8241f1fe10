#include <algorithm>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "engine/head_file.h"
#include "engine/merge_operation.h"
#include "engine/split_operation.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

constexpr std::uint64_t kSize = (4ull << 30) + (1 << 20) + 7;
constexpr std::uint32_t kPieceSize = 629145600;

// A sparse file with random blocks at the places where a 32-bit size would go wrong.
void MakeSparseSource(const std::string& path) {
    testing::WriteBytes(path, std::vector<char>());
    std::filesystem::resize_file(path, kSize);
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    const auto block = testing::RandomBytes(4096, 3);
    for (const std::uint64_t at :
         {std::uint64_t{0}, kPieceSize - std::uint64_t{100}, (std::uint64_t{4} << 30) - 2048,
          std::uint64_t{6} * kPieceSize, kSize - std::uint64_t{block.size()}}) {
        file.seekp(static_cast<std::streamoff>(at));
        file.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    ASSERT_TRUE(file.good());
}

bool SameContent(const std::string& a, const std::string& b) {
    std::ifstream first(a, std::ios::binary);
    std::ifstream second(b, std::ios::binary);
    std::vector<char> left(1 << 20);
    std::vector<char> right(1 << 20);
    while (first && second) {
        first.read(left.data(), static_cast<std::streamsize>(left.size()));
        second.read(right.data(), static_cast<std::streamsize>(right.size()));
        if (first.gcount() != second.gcount() ||
            !std::equal(left.begin(), left.begin() + first.gcount(), right.begin())) {
            return false;
        }
    }
    return first.eof() && second.eof();
}

TEST(LargeFileTest, FilesOverFourGibibytesSurviveARoundTrip) {
    testing::TempFolder temp;
    MakeSparseSource(temp / "disk.img");
    OptionSet options;
    options.deleteAfterMerge = 1;  // keeps the disk space needed near one copy
    testing::RecordingHost host;
    ASSERT_EQ(RunSplit({temp / "disk.img", temp / "pieces", kPieceSize}, &options, host),
              Outcome::Succeeded);

    auto head = File::OpenForReading(temp / "pieces/disk.kdh");
    const HeadRead read = ReadHeadFile(head.value());
    head.value().Close();
    ASSERT_EQ(read.status, HeadReadStatus::Read);
    EXPECT_EQ(read.info.pieceCount, 7u);
    EXPECT_EQ(read.info.fileSize, static_cast<std::uint32_t>(kSize));
    EXPECT_EQ(WholeFileSize(read.info), kSize);
    EXPECT_EQ(testing::SizeOf(temp / "pieces/disk_7.skf"), kSize - 6ull * kPieceSize);

    ASSERT_EQ(RunMerge({temp / "pieces/disk.kdh", temp.path(), temp / "back.img"}, &options, host)
                  .outcome,
              Outcome::Succeeded);
    EXPECT_TRUE(host.Errors().empty());
    EXPECT_EQ(testing::SizeOf(temp / "back.img"), kSize);
    EXPECT_TRUE(SameContent(temp / "disk.img", temp / "back.img"));
}

}  // namespace
}  // namespace kavendrum
