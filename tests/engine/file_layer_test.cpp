#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "engine/file.h"
#include "engine/posix_error.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

TEST(FileLayerTest, AFileHeldBySomebodyElseIsNeitherOpenedNorEmptied) {
    testing::TempFolder temp;
    const std::string path = temp / "held.bin";
    testing::WriteBytes(path, std::vector<char>(100, 'h'));
    const int holder = ::open(path.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    auto writing = File::OpenForWriting(path);
    ASSERT_FALSE(writing.ok());
    EXPECT_EQ(writing.error().cause, FileErrorCause::SharingViolation);
    EXPECT_FALSE(File::OpenForReading(path).ok());
    EXPECT_EQ(testing::SizeOf(path), 100u);
    ::close(holder);

    auto reopened = File::OpenForWriting(path);
    ASSERT_TRUE(reopened.ok());
    EXPECT_EQ(testing::SizeOf(path), 0u);
    EXPECT_FALSE(File::OpenForReading(path).ok());  // we hold it now
}

TEST(FileLayerTest, AFolderIsNoFileToRead) {
    testing::TempFolder temp;
    auto folder = File::OpenForReading(temp.path());
    ASSERT_FALSE(folder.ok());
    EXPECT_EQ(folder.error().cause, FileErrorCause::BadPath);
}

TEST(FileLayerTest, AWriteToAFullDeviceIsDiskFull) {
    auto full = File::OpenForWriting("/dev/full");
    ASSERT_TRUE(full.ok());
    const std::vector<char> bytes(10, 'x');
    const auto failure = full.value().Write(bytes.data(), bytes.size());
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->cause, FileErrorCause::DiskFull);
    EXPECT_EQ(FileErrorText(*failure), "Disk full while accessing /dev/full.");
}

TEST(FileLayerTest, ErrnoValuesMapOntoTheCausesUsersAreShown) {
    EXPECT_EQ(CauseFromErrno(EDQUOT), FileErrorCause::DiskFull);
    EXPECT_EQ(CauseFromErrno(EFBIG), FileErrorCause::DiskFull);
    EXPECT_EQ(CauseFromErrno(EROFS), FileErrorCause::AccessDenied);
    EXPECT_EQ(CauseFromErrno(EISDIR), FileErrorCause::BadPath);
    EXPECT_EQ(CauseFromErrno(ENFILE), FileErrorCause::TooManyOpenFiles);
    EXPECT_EQ(CauseFromErrno(EWOULDBLOCK), FileErrorCause::SharingViolation);
    EXPECT_EQ(CauseFromErrno(EDEADLK), FileErrorCause::LockViolation);
    EXPECT_EQ(CauseFromErrno(EINVAL), FileErrorCause::Generic);
    EXPECT_EQ(FileErrorText({FileErrorCause::Generic, "/x"}),
              "An unknown error occurred while accessing /x.");
    EXPECT_EQ(FileErrorText({FileErrorCause::SeekFailed, "/x"}), "Seek failed on /x");
}

}  // namespace
}  // namespace kavendrum
