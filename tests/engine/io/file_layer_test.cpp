#include <gtest/gtest.h>

#include "engine/io/file.h"
#include "engine/io/file_system.h"
#include "engine/io/staged_file.h"
#include "support/held_file.h"
#include "support/temp_folder.h"

#ifdef _WIN32
#include <windows.h>

#include "engine/io/win32_error.h"
#else
#include <sys/stat.h>

#include <cerrno>

#include "engine/io/posix_error.h"
#include "support/hang_guard.h"
#include "support/locking_process.h"
#endif

namespace kavendrum {
namespace {

TEST(FileLayerTest, FreeSpaceIsTheFileSystemsAndAMissingFolderHasNone) {
    testing::TempFolder temp;
    const auto free = FreeSpaceOf(temp.path());
    ASSERT_TRUE(free.ok());
    EXPECT_GT(free.value(), 0u);
    EXPECT_FALSE(FreeSpaceOf(temp / "no such folder").ok());
}

TEST(FileLayerTest, AFileHeldBySomebodyElseIsNeitherOpenedNorEmptied) {
    testing::TempFolder temp;
    const std::string path = temp / "held.bin";
    testing::WriteBytes(path, std::vector<char>(100, 'h'));
    {
        testing::HeldFile holder(path);
        ASSERT_TRUE(holder.held());
        auto writing = File::OpenForWriting(path);
        ASSERT_FALSE(writing.ok());
        EXPECT_EQ(writing.error().cause, FileErrorCause::SharingViolation);
        EXPECT_FALSE(File::OpenForReading(path).ok());
        EXPECT_FALSE(File::CreateNew(path).ok());
        EXPECT_EQ(testing::SizeOf(path), 100u);
    }
    auto reopened = File::OpenForWriting(path);
    ASSERT_TRUE(reopened.ok());
    EXPECT_EQ(testing::SizeOf(path), 0u);
    EXPECT_FALSE(File::OpenForReading(path).ok());  // we hold it now
}

TEST(FileLayerTest, CreateNewRefusesAnExistingNameAndHoldsWhatItMakes) {
    testing::TempFolder temp;
    testing::WriteBytes(temp / "old", std::vector<char>{'o'});
    EXPECT_FALSE(File::CreateNew(temp / "old").ok());
    EXPECT_EQ(testing::SizeOf(temp / "old"), 1u);
    auto made = File::CreateNew(temp / "new");
    ASSERT_TRUE(made.ok());
    EXPECT_FALSE(File::OpenForReading(temp / "new").ok());
}

// A staged file takes its name only when put in place, and what it made goes with it unless kept:
// never a file that has since taken its name.
TEST(FileLayerTest, AStagedFileTakesItsNameByRenameAndRemovesOnlyItsOwn) {
    testing::TempFolder temp;
    const std::vector<char> old{'o', 'l', 'd'};
    testing::WriteBytes(temp / "f", old);
    {
        auto staged = StagedFile::Create(temp / "f");
        ASSERT_TRUE(staged.ok());
        EXPECT_EQ(staged.value().file().Path(), temp / "f");
        EXPECT_NE(staged.value().TemporaryPath(), temp / "f");
        ASSERT_FALSE(staged.value().file().Write("new", 3));
        EXPECT_EQ(testing::ReadBytes(temp / "f"), old);
    }
    EXPECT_EQ(testing::ReadBytes(temp / "f"), old);
    {
        auto staged = StagedFile::Create(temp / "f");
        ASSERT_TRUE(staged.ok());
        ASSERT_FALSE(staged.value().file().Write("new", 3));
        ASSERT_FALSE(staged.value().PutInPlace());
        EXPECT_EQ(testing::ReadBytes(temp / "f"), (std::vector<char>{'n', 'e', 'w'}));
        // Somebody else's file under the name since: it stays when the staged file goes.
        ASSERT_FALSE(RemoveFile(temp / "f"));
        testing::WriteBytes(temp / "f", old);
    }
    EXPECT_EQ(testing::ReadBytes(temp / "f"), old);
    {
        auto staged = StagedFile::Create(temp / "g");
        ASSERT_TRUE(staged.ok());
        ASSERT_FALSE(staged.value().PutInPlace());
        staged.value().Keep();
    }
    EXPECT_TRUE(testing::Exists(temp / "g"));
    {
        auto staged = StagedFile::Create(temp / "h");
        ASSERT_TRUE(staged.ok());
        ASSERT_FALSE(staged.value().PutInPlace());
    }
    EXPECT_FALSE(testing::Exists(temp / "h"));
    auto kept = File::OpenForReading(temp / "g");
    ASSERT_TRUE(kept.ok());
    const auto identity = kept.value().Identity();
    kept.value().Close();
    auto refused = StagedFile::Create(temp / "g");
    ASSERT_TRUE(refused.ok());
    ASSERT_TRUE(identity.ok());
    const auto failure = refused.value().PutInPlace(&identity.value());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->cause, FileErrorCause::SharingViolation);
}

TEST(FileLayerTest, AFolderIsNoFileToRead) {
    testing::TempFolder temp;
    auto folder = File::OpenForReading(temp.path());
    ASSERT_FALSE(folder.ok());
#ifdef _WIN32
    // As Windows itself reports it.
    EXPECT_EQ(folder.error().cause, FileErrorCause::AccessDenied);
#else
    EXPECT_EQ(folder.error().cause, FileErrorCause::BadPath);
#endif
}

TEST(FileLayerTest, LengthAndIdentityTellFilesApart) {
    testing::TempFolder temp;
    testing::WriteBytes(temp / "a", std::vector<char>(5000, 'a'));
    testing::WriteBytes(temp / "b", std::vector<char>(7, 'b'));
    auto a = File::OpenForReading(temp / "a");
    auto b = File::OpenForReading(temp / "b");
    ASSERT_TRUE(a.ok() && b.ok());
    EXPECT_EQ(a.value().Length().value(), 5000u);
    EXPECT_EQ(b.value().Length().value(), 7u);
    EXPECT_NE(a.value().Identity().value(), b.value().Identity().value());
    std::vector<char> bytes(6000);
    EXPECT_EQ(a.value().Read(bytes.data(), bytes.size()).value(), 5000u);
}

#ifdef _WIN32

TEST(FileLayerTest, Win32ErrorsMapOntoTheCausesUsersAreShown) {
    EXPECT_EQ(CauseFromWin32Error(ERROR_FILE_NOT_FOUND), FileErrorCause::FileNotFound);
    EXPECT_EQ(CauseFromWin32Error(ERROR_PATH_NOT_FOUND), FileErrorCause::BadPath);
    EXPECT_EQ(CauseFromWin32Error(ERROR_TOO_MANY_OPEN_FILES), FileErrorCause::TooManyOpenFiles);
    EXPECT_EQ(CauseFromWin32Error(ERROR_ACCESS_DENIED), FileErrorCause::AccessDenied);
    EXPECT_EQ(CauseFromWin32Error(ERROR_INVALID_HANDLE), FileErrorCause::InvalidFile);
    EXPECT_EQ(CauseFromWin32Error(ERROR_CANNOT_MAKE), FileErrorCause::DirectoryFull);
    EXPECT_EQ(CauseFromWin32Error(ERROR_NEGATIVE_SEEK), FileErrorCause::SeekFailed);
    EXPECT_EQ(CauseFromWin32Error(ERROR_CRC), FileErrorCause::HardwareIo);
    EXPECT_EQ(CauseFromWin32Error(ERROR_SHARING_VIOLATION), FileErrorCause::SharingViolation);
    EXPECT_EQ(CauseFromWin32Error(ERROR_LOCK_VIOLATION), FileErrorCause::LockViolation);
    EXPECT_EQ(CauseFromWin32Error(ERROR_HANDLE_DISK_FULL), FileErrorCause::DiskFull);
    EXPECT_EQ(CauseFromWin32Error(ERROR_HANDLE_EOF), FileErrorCause::EndOfFile);
    EXPECT_EQ(CauseFromWin32Error(ERROR_INVALID_PARAMETER), FileErrorCause::Generic);
}

TEST(FileLayerTest, ADeviceIsNoFileToRead) {
    auto device = File::OpenForReading("NUL");
    ASSERT_FALSE(device.ok());
    EXPECT_EQ(device.error().cause, FileErrorCause::BadPath);
}

TEST(FileLayerTest, AMissingFileIsNamedWithItsCause) {
    testing::TempFolder temp;
    auto missing = File::OpenForReading(temp / "absent.bin");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().cause, FileErrorCause::FileNotFound);
    EXPECT_EQ(FileErrorText(missing.error()), temp / "absent.bin" + " was not found.");
}

#else

TEST(FileLayerTest, AWriteToAFullDeviceIsDiskFull) {
    auto full = File::OpenForWriting("/dev/full");
    ASSERT_TRUE(full.ok());
    const std::vector<char> bytes(10, 'x');
    const auto failure = full.value().Write(bytes.data(), bytes.size());
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->cause, FileErrorCause::DiskFull);
    EXPECT_EQ(FileErrorText(*failure), "Disk full while accessing /dev/full.");
}

TEST(FileLayerTest, ARecordLockOfAnotherProgramIsASharingViolation) {
    testing::TempFolder temp;
    const std::string path = temp / "locked.bin";
    testing::WriteBytes(path, std::vector<char>(100, 'l'));
    for (const auto lock : {testing::RecordLock::Lockf, testing::RecordLock::FcntlRead,
                            testing::RecordLock::FcntlWrite}) {
        SCOPED_TRACE(static_cast<int>(lock));
        {
            testing::LockingProcess holder(path, lock);
            ASSERT_TRUE(holder.holds());
            auto reading = File::OpenForReading(path);
            ASSERT_FALSE(reading.ok());
            EXPECT_EQ(reading.error().cause, FileErrorCause::SharingViolation);
            auto writing = File::OpenForWriting(path);
            ASSERT_FALSE(writing.ok());
            EXPECT_EQ(writing.error().cause, FileErrorCause::SharingViolation);
            EXPECT_EQ(testing::SizeOf(path), 100u);
        }
        // Gone with its holder; and what we hold in turn keeps a record-lock taker out.
        auto reading = File::OpenForReading(path);
        ASSERT_TRUE(reading.ok());
        EXPECT_FALSE(testing::LockingProcess(path, testing::RecordLock::FcntlWrite).holds());
    }
    auto writing = File::OpenForWriting(path);
    ASSERT_TRUE(writing.ok());
    EXPECT_FALSE(testing::LockingProcess(path, testing::RecordLock::FcntlRead).holds());
}

TEST(FileLayerTest, AFifoIsRefusedWithoutWaitingForTheOtherEnd) {
    testing::TempFolder temp;
    const std::string fifo = temp / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    testing::HangGuard guard;
    auto reading = File::OpenForReading(fifo);
    ASSERT_FALSE(reading.ok());
    EXPECT_EQ(reading.error().cause, FileErrorCause::BadPath);
    EXPECT_FALSE(File::OpenForWriting(fifo).ok());  // nobody reads it
    EXPECT_FALSE(File::OpenForReading("/dev/null").ok());
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
    // Where the report's words fall short of the system's, a front end adds the system's.
    EXPECT_FALSE(ReportSaysItAll({FileErrorCause::AccessDenied, "/x", EROFS}));
    EXPECT_FALSE(ReportSaysItAll({FileErrorCause::BadPath, "/x", EISDIR}));
    EXPECT_FALSE(ReportSaysItAll({FileErrorCause::DiskFull, "/x", EFBIG}));
    EXPECT_TRUE(ReportSaysItAll({FileErrorCause::AccessDenied, "/x", EACCES}));
    EXPECT_TRUE(ReportSaysItAll({FileErrorCause::DiskFull, "/x", ENOSPC}));
    EXPECT_EQ(File::OpenForReading("/").error().systemCode, EISDIR);
}

#endif

}  // namespace
}  // namespace kavendrum
