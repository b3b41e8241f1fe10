#include <filesystem>

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
    // Somebody else's file under the name since: it stays when the staged file goes, also when
    // the file system gave it the inode number of the one removed, as ext4 mostly does at once
    // (hence the rounds: the number is not given again every time). NTFS never gives a file id
    // again at once, but Wine takes the Unix inode number for it, so there the other file is one
    // that lived beside ours.
#ifdef _WIN32
    constexpr int kRounds = 1;
#else
    constexpr int kRounds = 200;
#endif
    for (int round = 0; round < kRounds; ++round) {
        {
            auto staged = StagedFile::Create(temp / "f");
            ASSERT_TRUE(staged.ok());
            ASSERT_FALSE(staged.value().file().Write("new", 3));
            ASSERT_FALSE(staged.value().PutInPlace());
            EXPECT_EQ(testing::ReadBytes(temp / "f"), (std::vector<char>{'n', 'e', 'w'}));
#ifdef _WIN32
            testing::WriteBytes(temp / "other", old);
            ASSERT_FALSE(RemoveFile(temp / "f"));
            ASSERT_FALSE(RenameOver(temp / "other", temp / "f"));
#else
            ASSERT_FALSE(RemoveFile(temp / "f"));
            testing::WriteBytes(temp / "f", old);
#endif
        }
        ASSERT_EQ(testing::ReadBytes(temp / "f"), old) << "round " << round;
    }
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

// Only the very file that was read is removed: not another one given its name since, nor the
// same one after it grew or was cut.
TEST(FileLayerTest, RemoveIfSameRemovesOnlyTheFileThatWasRead) {
    testing::TempFolder temp;
    const std::string path = temp / "piece.skf";
    testing::WriteBytes(path, std::vector<char>(100, 'a'));
    const auto read = StampOf(path);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->size, 100u);

    testing::WriteBytes(temp / "other", std::vector<char>(100, 'b'));
    ASSERT_FALSE(RenameOver(temp / "other", path));
    auto removed = RemoveIfSame(path, *read);
    ASSERT_TRUE(removed.ok());
    EXPECT_EQ(removed.value(), Removal::Changed);
    EXPECT_EQ(testing::ReadBytes(path), std::vector<char>(100, 'b'));

    const auto replaced = StampOf(path);
    ASSERT_TRUE(replaced.has_value());
    {
        auto grown = File::OpenForUpdate(path);
        ASSERT_TRUE(grown.ok());
        ASSERT_FALSE(grown.value().CutAt(101));
    }
    removed = RemoveIfSame(path, *replaced);
    ASSERT_TRUE(removed.ok());
    EXPECT_EQ(removed.value(), Removal::Changed);
    EXPECT_EQ(testing::SizeOf(path), 101u);

    removed = RemoveIfSame(path, *StampOf(path));
    ASSERT_TRUE(removed.ok());
    EXPECT_EQ(removed.value(), Removal::Removed);
    EXPECT_FALSE(testing::Exists(path));
    removed = RemoveIfSame(path, *replaced);
    ASSERT_FALSE(removed.ok());
    EXPECT_EQ(removed.error().cause, FileErrorCause::FileNotFound);
    // No file was left behind under a name of the removal's own.
    EXPECT_TRUE(std::filesystem::is_empty(temp.path()));
}

// A file that took the name and, as ext4 mostly gives it at once, the inode number of the one
// read is not that one: it stays. Rounds, since the number is not given again every time.
TEST(FileLayerTest, RemoveIfSameTellsAFileWithTheInodeNumberOfTheOneReadApart) {
#ifdef _WIN32
    GTEST_SKIP() << "NTFS gives a file id again only with a new sequence number";
#else
    testing::TempFolder temp;
    const std::string path = temp / "piece.skf";
    int reused = 0;
    for (int round = 0; round < 200; ++round) {
        testing::WriteBytes(path, std::vector<char>(10, 'a'));
        const auto read = StampOf(path);
        ASSERT_TRUE(read.has_value());
        ASSERT_FALSE(RemoveFile(path));
        testing::WriteBytes(path, std::vector<char>(10, 'b'));
        const auto now = StampOf(path);
        ASSERT_TRUE(now.has_value());
        if (now->identity == read->identity && !read->generation.empty()) {
            ++reused;
        }
        const auto removed = RemoveIfSame(path, *read);
        ASSERT_TRUE(removed.ok());
        if (removed.value() == Removal::Removed) {
            ADD_FAILURE() << "round " << round << ": removed the file put there after the read";
            break;
        }
        EXPECT_EQ(testing::ReadBytes(path), std::vector<char>(10, 'b'));
    }
    if (reused == 0) {
        GTEST_SKIP() << "this file system never gave the number again, or has no generations";
    }
#endif
}

TEST(FileLayerTest, CreateAtFirstFreeTakesTheFirstNameNothingStandsAt) {
    testing::TempFolder temp;
    testing::WriteBytes(temp / "a", std::vector<char>{'a'});
    std::size_t chosen = 9;
    auto made = File::CreateAtFirstFree({temp / "a", temp / "b", temp / "c"}, chosen);
    ASSERT_TRUE(made.ok());
    EXPECT_EQ(chosen, 1u);
    EXPECT_EQ(made.value().Path(), temp / "b");
    EXPECT_EQ(testing::ReadBytes(temp / "a"), std::vector<char>{'a'});
    EXPECT_FALSE(File::CreateAtFirstFree({temp / "a", temp / "b"}, chosen).ok());
    // Any other failure ends the search at once.
    EXPECT_FALSE(File::CreateAtFirstFree({temp / "missing/x", temp / "d"}, chosen).ok());
    EXPECT_FALSE(testing::Exists(temp / "d"));
}

std::string TextOf(const std::string& path) {
    const auto bytes = testing::ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// A whole-file replacement leaves the old file or the new one under the name and nothing beside
// it, and takes the name only as it was told it may.
TEST(FileLayerTest, ReplaceWholeSwapsTheFileAndTakesOnlyTheNamesItMay) {
    testing::TempFolder temp;
    const std::string path = temp / "f";
    const ReplaceResult first = ReplaceWhole(path, "one", ReplaceOver::Nothing());
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(first.written, StampOf(path));
    EXPECT_EQ(ReplaceWhole(path, "two", ReplaceOver::Nothing()).status, ReplaceStatus::NameTaken);
    EXPECT_EQ(TextOf(path), "one");

    // Somebody else's file under the name is not the one this program wrote: it stays.
    std::filesystem::remove(path);
    testing::WriteBytes(path, std::vector<char>{'e', 'l', 's', 'e'});
    EXPECT_EQ(ReplaceWhole(path, "three", ReplaceOver::Only(first.written)).status,
              ReplaceStatus::NameTaken);
    EXPECT_EQ(TextOf(path), "else");
    ASSERT_TRUE(ReplaceWhole(path, "four", ReplaceOver::Only(*StampOf(path))).ok());
    EXPECT_EQ(TextOf(path), "four");
    ASSERT_TRUE(ReplaceWhole(path, "").ok());
    EXPECT_EQ(testing::SizeOf(path), 0u);

    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(temp.path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"f"});
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

// A link at a name that is written, live or dangling, is never followed; one at a name that is
// removed goes as a name, and what it leads to stays.
TEST(FileLayerTest, LinksAreNeitherWrittenThroughNorRemovedThrough) {
    testing::TempFolder temp;
    const std::string target = temp / "target";
    testing::WriteBytes(target, std::vector<char>{'t'});
    ASSERT_EQ(::symlink(target.c_str(), (temp / "live").c_str()), 0);
    ASSERT_EQ(::symlink((temp / "made").c_str(), (temp / "dangling").c_str()), 0);
    EXPECT_FALSE(File::CreateNew(temp / "live").ok());
    EXPECT_FALSE(File::CreateNew(temp / "dangling").ok());
    EXPECT_FALSE(File::OpenForUpdate(temp / "live").ok());
    EXPECT_FALSE(testing::Exists(temp / "made"));
    EXPECT_EQ(testing::ReadBytes(target), std::vector<char>{'t'});

    const auto link = LinkStateOf(temp / "live");
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(link->target, target);
    ASSERT_EQ(::link(target.c_str(), (temp / "second").c_str()), 0);
    EXPECT_EQ(LinkStateOf(temp / "second")->names, 2u);
    EXPECT_FALSE(LinkStateOf(temp / "second")->target.has_value());

    const auto removed = RemoveIfSame(temp / "live", *StampOf(target));
    ASSERT_TRUE(removed.ok());
    EXPECT_EQ(removed.value(), Removal::Removed);
    EXPECT_FALSE(testing::Exists(temp / "live"));
    EXPECT_EQ(testing::ReadBytes(target), std::vector<char>{'t'});
}

// The name is replaced; a link there is not followed, and another name of the old file keeps it.
TEST(FileLayerTest, ReplaceWholeReplacesALinkAndNeverWritesThroughIt) {
    testing::TempFolder temp;
    const std::string target = temp / "target";
    testing::WriteBytes(target, std::vector<char>{'t'});
    ASSERT_EQ(::symlink(target.c_str(), (temp / "live").c_str()), 0);
    ASSERT_EQ(::symlink((temp / "made").c_str(), (temp / "dangling").c_str()), 0);
    ASSERT_EQ(::link(target.c_str(), (temp / "second").c_str()), 0);

    ASSERT_TRUE(ReplaceWhole(temp / "live", "new").ok());
    EXPECT_FALSE(std::filesystem::is_symlink(temp / "live"));
    EXPECT_EQ(TextOf(temp / "live"), "new");
    ASSERT_TRUE(ReplaceWhole(temp / "dangling", "new").ok());
    EXPECT_FALSE(testing::Exists(temp / "made"));
    ASSERT_TRUE(ReplaceWhole(temp / "second", "other").ok());
    EXPECT_EQ(TextOf(target), "t");

    // A folder nothing can be made in: no file, and the old one stays.
    if (::geteuid() != 0) {
        std::filesystem::create_directory(temp / "ro");
        testing::WriteBytes(temp / "ro/f", std::vector<char>{'o'});
        ::chmod((temp / "ro").c_str(), 0555);
        EXPECT_EQ(ReplaceWhole(temp / "ro/f", "new").status, ReplaceStatus::NotCreated);
        ::chmod((temp / "ro").c_str(), 0755);
        EXPECT_EQ(TextOf(temp / "ro/f"), "o");
    }
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
