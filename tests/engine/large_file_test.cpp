#include <fcntl.h>
#include <unistd.h>

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
    const int handle = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ASSERT_GE(handle, 0);
    ASSERT_EQ(::ftruncate(handle, static_cast<off_t>(kSize)), 0);
    const auto block = testing::RandomBytes(4096, 3);
    for (const std::uint64_t at :
         {std::uint64_t{0}, kPieceSize - std::uint64_t{100}, (std::uint64_t{4} << 30) - 2048,
          std::uint64_t{6} * kPieceSize, kSize - std::uint64_t{block.size()}}) {
        ASSERT_EQ(::pwrite(handle, block.data(), block.size(), static_cast<off_t>(at)),
                  static_cast<ssize_t>(block.size()));
    }
    ::close(handle);
}

bool SameContent(const std::string& a, const std::string& b) {
    const int first = ::open(a.c_str(), O_RDONLY);
    const int second = ::open(b.c_str(), O_RDONLY);
    std::vector<char> left(1 << 20);
    std::vector<char> right(1 << 20);
    bool same = first >= 0 && second >= 0;
    while (same) {
        const ssize_t got = ::read(first, left.data(), left.size());
        same = got >= 0 && ::read(second, right.data(), right.size()) == got &&
               std::equal(left.begin(), left.begin() + got, right.begin());
        if (got <= 0) {
            break;
        }
    }
    ::close(first);
    ::close(second);
    return same;
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

    ASSERT_EQ(RunMerge({temp / "pieces/disk.kdh", temp.path(), temp / "back.img"}, &options, host),
              Outcome::Succeeded);
    EXPECT_TRUE(host.Errors().empty());
    EXPECT_EQ(testing::SizeOf(temp / "back.img"), kSize);
    EXPECT_TRUE(SameContent(temp / "disk.img", temp / "back.img"));
}

}  // namespace
}  // namespace kavendrum
