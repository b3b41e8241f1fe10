// Sources and pieces that are not regular files: streams are refused without blocking, a block
// device is split whole.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "engine/head_file.h"
#include "engine/merge_operation.h"
#include "engine/split_operation.h"
#include "engine/verification.h"
#include "support/hang_guard.h"
#include "support/loop_device.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::RecordingHost;
using testing::TempFolder;
using Texts = std::vector<std::string>;

class NonRegularFileTest : public ::testing::Test {
  protected:
    void MakeFifo(const std::string& name) { ASSERT_EQ(::mkfifo((temp / name).c_str(), 0600), 0); }
    // x.kdh for pieces of 10, 10 and 5 bytes, and x_1.skf, x_3.skf; x_2.skf is the test's.
    void PrepareHeadAndPieces() {
        testing::WriteBytes(temp / "x.kdh", EncodeHeadFile({25, 3, 10, 10, "bin"}));
        testing::WriteBytes(temp / "x_1.skf", std::vector<char>(10, '1'));
        testing::WriteBytes(temp / "x_3.skf", std::vector<char>(5, '3'));
    }

    TempFolder temp;
    OptionSet options;
    RecordingHost host;
    testing::HangGuard guard;
};

TEST_F(NonRegularFileTest, StreamSourcesAreRefusedAndNothingIsWritten) {
    MakeFifo("fifo.avi");
    for (const std::string& source : {temp / "fifo.avi", std::string("/dev/null")}) {
        SCOPED_TRACE(source);
        host.messages.clear();
        EXPECT_EQ(RunSplit({source, temp / "out", 100}, &options, host), Outcome::Failed);
        EXPECT_EQ(host.Errors(), Texts{"File doesn't existed or can not be open!"});
        EXPECT_FALSE(testing::Exists(temp / "out"));
    }
}

TEST_F(NonRegularFileTest, AFifoPieceIsBadInVerificationAndStopsTheMerge) {
    PrepareHeadAndPieces();
    MakeFifo("x_2.skf");
    const Verification verified = VerifyPieces(temp / "x.kdh", host);
    EXPECT_EQ(verified.outcome, VerifyOutcome::Failed);
    ASSERT_TRUE(verified.pieces.has_value());
    ASSERT_EQ(verified.pieces->size(), 3u);
    EXPECT_EQ((*verified.pieces)[0].mark, PieceMark::Good);
    EXPECT_EQ((*verified.pieces)[1].mark, PieceMark::Bad);
    EXPECT_EQ((*verified.pieces)[2].mark, PieceMark::Good);

    options.verifyBeforeMerge = 0;
    EXPECT_EQ(RunMerge({temp / "x.kdh", temp.path(), temp / "whole.bin"}, &options, host).outcome,
              Outcome::Failed);
    EXPECT_EQ(host.Errors(), Texts{"Read file error!"});
    // Nothing partial is left under the output's name, nor beside it.
    EXPECT_FALSE(testing::Exists(temp / "whole.bin"));
    EXPECT_FALSE(testing::Exists(temp / "whole.bin.kdpart"));
}

TEST_F(NonRegularFileTest, AFifoHeadFileIsRefused) {
    MakeFifo("x.kdh");
    EXPECT_FALSE(VerifyPieces(temp / "x.kdh", host).pieces.has_value());
    EXPECT_EQ(RunMerge({temp / "x.kdh", temp.path(), temp / "whole.bin"}, &options, host).outcome,
              Outcome::Failed);
    EXPECT_FALSE(testing::Exists(temp / "whole.bin"));
}

TEST_F(NonRegularFileTest, ABlockDeviceIsSplitWholeAndItsNodeIsNeverRemoved) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "a loop device can only be set up by root";
    }
    // Whole sectors, as a loop device shows only those.
    const auto image = testing::RandomBytes(200 * 512, 3);
    testing::WriteBytes(temp / "disk.img", image);
    testing::LoopDevice device(temp / "disk.img");
    if (device.path().empty()) {
        GTEST_SKIP() << "losetup could not attach a loop device here";
    }
    // A node of our own for the device, so that a faulty removal could not take the system's.
    struct stat node {};
    ASSERT_EQ(::stat(device.path().c_str(), &node), 0);
    const std::string source = temp / "disk.raw";
    ASSERT_EQ(::mknod(source.c_str(), S_IFBLK | 0600, node.st_rdev), 0);
    if (std::FILE* probe = std::fopen(source.c_str(), "rb")) {
        std::fclose(probe);
    } else {
        GTEST_SKIP() << "the temporary folder's file system does not allow device nodes";
    }

    options.deleteAfterSplit = 1;
    EXPECT_EQ(RunSplit({source, temp / "out", 40000}, &options, host), Outcome::Failed);
    EXPECT_EQ(host.Errors(), Texts{"Can not remove original files!"});
    ASSERT_EQ(::stat(source.c_str(), &node), 0);
    EXPECT_TRUE(S_ISBLK(node.st_mode));

    EXPECT_EQ(testing::SizeOf(temp / "out/disk_1.skf"), 40000u);
    EXPECT_EQ(testing::SizeOf(temp / "out/disk_3.skf"), 102400u - 80000u);
    ASSERT_EQ(
        RunMerge({temp / "out/disk.kdh", temp / "out", temp / "back.img"}, &options, host).outcome,
        Outcome::Succeeded);
    EXPECT_EQ(testing::ReadBytes(temp / "back.img"), image);
}

}  // namespace
}  // namespace kavendrum
