#include <gtest/gtest.h>

#include "engine/transfer.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::TempFolder;

class TransferTest : public ::testing::Test {
  protected:
    File Open(const std::string& name, bool forWriting) {
        auto file =
            forWriting ? File::OpenForWriting(temp / name) : File::OpenForReading(temp / name);
        EXPECT_TRUE(file.ok()) << name;
        return std::move(file.value());
    }

    TempFolder temp;
};

TEST_F(TransferTest, MovesExactlyTheSizeAskedInKernelAndBufferedPaths) {
    const auto bytes = testing::RandomBytes(300000);
    testing::WriteBytes(temp / "from", bytes);
    File from = Open("from", false);
    File to = Open("to", true);
    Transfer transfer(4096);
    EXPECT_EQ(transfer.Move(from, to, 100000).bytes, 100000u);
#ifdef _WIN32
    // Every copy is buffered here; a second file stands in for the device of other platforms.
    auto null = File::OpenForWriting(temp / "aside");
#else
    // A device the kernel cannot copy to takes the buffered path for the next unit.
    auto null = File::OpenForWriting("/dev/null");
#endif
    ASSERT_TRUE(null.ok());
    const Moved discarded = transfer.Move(from, null.value(), 50000);
    EXPECT_EQ(discarded.bytes, 50000u);
    EXPECT_FALSE(discarded.error);
    EXPECT_EQ(transfer.Move(from, to, 150000).bytes, 150000u);
    to.Close();
    auto expected = std::vector<char>(bytes.begin(), bytes.begin() + 100000);
    expected.insert(expected.end(), bytes.begin() + 150000, bytes.end());
    EXPECT_EQ(testing::ReadBytes(temp / "to"), expected);
}

TEST_F(TransferTest, ASourceThatEndsEarlyGivesFewerBytesAndNoError) {
    testing::WriteBytes(temp / "from", testing::RandomBytes(1000));
    File from = Open("from", false);
    File to = Open("to", true);
    Transfer transfer(4096);
    const Moved moved = transfer.Move(from, to, 5000);
    EXPECT_EQ(moved.bytes, 1000u);
    EXPECT_FALSE(moved.error);
}

#ifndef _WIN32
TEST_F(TransferTest, AFullDeviceNamesTheDestination) {
    testing::WriteBytes(temp / "from", testing::RandomBytes(1000));
    File from = Open("from", false);
    auto full = File::OpenForWriting("/dev/full");
    ASSERT_TRUE(full.ok());
    Transfer transfer(4096);
    const Moved moved = transfer.Move(from, full.value(), 1000);
    ASSERT_TRUE(moved.error);
    EXPECT_EQ(moved.error->cause, FileErrorCause::DiskFull);
    EXPECT_EQ(moved.error->path, "/dev/full");
}
#endif

}  // namespace
}  // namespace kavendrum
