#include <algorithm>
#include <filesystem>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

#include <gtest/gtest.h>

#include "options/option_file.h"
#include "support/held_file.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::TempFolder;
using Bytes = std::vector<std::uint8_t>;

Bytes FileBytes(const std::string& path) {
    const auto bytes = testing::ReadBytes(path);
    return Bytes(bytes.begin(), bytes.end());
}

TEST(OptionFileTest, AMissingFileIsCreatedWithTheDefaults) {
    TempFolder temp;
    OptionSet options{7, 7, 7, 7, 7, 7};
    ASSERT_EQ(LoadOptions(temp / "kavendrum.opt", options).status, LoadStatus::Loaded);
    EXPECT_EQ(options, OptionSet{});
    EXPECT_EQ(FileBytes(temp / "kavendrum.opt"),
              (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}));
}

TEST(OptionFileTest, OnlyTheFirstTwentyFourBytesCountAndFewerFail) {
    TempFolder temp;
    // Six bytes past the record that must be ignored.
    Bytes bytes = {0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 0, 0,    0,    0,    0,    0,    0,
                   0,    0,    0,    0,    0, 2, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    testing::WriteBytes(temp / "o.opt", bytes);
    OptionSet options;
    ASSERT_EQ(LoadOptions(temp / "o.opt", options).status, LoadStatus::Loaded);
    EXPECT_EQ(options, (OptionSet{-1, 1, 0, 0, 0, 2}));

    for (const std::size_t size : {0u, 23u}) {
        bytes.resize(size);
        testing::WriteBytes(temp / "o.opt", bytes);
        EXPECT_EQ(LoadOptions(temp / "o.opt", options).status, LoadStatus::Failed) << size;
    }
}

TEST(OptionFileTest, AFileThatCannotBeCreatedFailsTheLoad) {
    TempFolder temp;
    OptionSet options;
    EXPECT_EQ(LoadOptions(temp / "missing/o.opt", options).status, LoadStatus::Failed);
}

TEST(OptionFileTest, StoreRewritesTheWholeFileAndOnlyThenPutsTheValuesInForce) {
    TempFolder temp;
    testing::WriteBytes(temp / "o.opt", Bytes(40, 9));
    OptionSet inForce;
    const OptionSet values{1, 1, 0, 0, 1, 1};
    ASSERT_EQ(StoreOptions(temp / "o.opt", values, inForce).status, StoreStatus::Stored);
    EXPECT_EQ(inForce, values);
    const Bytes stored = FileBytes(temp / "o.opt");
    ASSERT_EQ(stored.size(), 24u);
    EXPECT_EQ(Bytes(stored.begin(), stored.begin() + 8), (Bytes{1, 0, 0, 0, 1, 0, 0, 0}));

    EXPECT_EQ(StoreOptions(temp / "missing/o.opt", OptionSet{}, inForce).status,
              StoreStatus::OpenFailed);
    EXPECT_EQ(inForce, values);

#ifndef _WIN32
    const StoreResult full = StoreOptions("/dev/full", OptionSet{}, inForce);
    EXPECT_EQ(full.status, StoreStatus::WriteFailed);
    EXPECT_EQ(FileErrorText(full.error), "Disk full while accessing /dev/full.");
    EXPECT_EQ(inForce, values);
#endif
}

using testing::Entries;

TEST(OptionFileTest, AnotherReaderNeitherFailsTheLoadNorResetsTheFile) {
    TempFolder temp;
    const Bytes saved = {1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0};
    testing::WriteBytes(temp / "o.opt", saved);
    testing::HeldFile reader(temp / "o.opt", testing::Holding::Shared);
    ASSERT_TRUE(reader.held());
    OptionSet options;
    ASSERT_EQ(LoadOptions(temp / "o.opt", options).status, LoadStatus::Loaded);
    EXPECT_EQ(options, (OptionSet{1, 1, 0, 0, 0, 2}));
    EXPECT_EQ(FileBytes(temp / "o.opt"), saved);
}

TEST(OptionFileTest, AFileThatExistsButCannotBeReadIsNotReplacedByTheDefaults) {
    TempFolder temp;
    const Bytes saved(24, 3);
    testing::WriteBytes(temp / "o.opt", saved);
    {
        testing::HeldFile holder(temp / "o.opt");
        ASSERT_TRUE(holder.held());
        OptionSet options;
        EXPECT_EQ(LoadOptions(temp / "o.opt", options).status, LoadStatus::Failed);
    }
    EXPECT_EQ(FileBytes(temp / "o.opt"), saved);
}

TEST(OptionFileTest, AStoreReplacesTheFileWholeAndLeavesNothingElseBehind) {
    TempFolder temp;
    std::filesystem::create_directory(temp / "real");
    testing::WriteBytes(temp / "real/o.opt", Bytes(24, 0));
    OptionSet inForce;
    const OptionSet values{5, 0, 0, 0, 1, 1};
    ASSERT_EQ(StoreOptions(temp / "real/o.opt", values, inForce).status, StoreStatus::Stored);
    EXPECT_EQ(Entries(temp / "real"), std::vector<std::string>{"o.opt"});
    EXPECT_EQ(FileBytes(temp / "real/o.opt")[0], 5);

#ifndef _WIN32
    // A linked option file is stored where the link leads; the link stays.
    std::filesystem::create_symlink(temp / "real/o.opt", temp / "link.opt");
    ASSERT_EQ(StoreOptions(temp / "link.opt", OptionSet{}, inForce).status, StoreStatus::Stored);
    EXPECT_TRUE(std::filesystem::is_symlink(temp / "link.opt"));
    EXPECT_EQ(FileBytes(temp / "real/o.opt"),
              (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(Entries(temp / "real"), std::vector<std::string>{"o.opt"});
#endif
}

#ifndef _WIN32

// A store puts a new file in the old one's place: another name of the old file keeps the old
// values, so nothing was written through to it, and nothing is left beside the option file.
TEST(OptionFileTest, AStoreReplacesTheFileWholeAndLeavesNothingBeside) {
    TempFolder temp;
    const Bytes saved(24, 7);
    testing::WriteBytes(temp / "o.opt", saved);
    std::filesystem::create_hard_link(temp / "o.opt", temp / "copy.opt");
    OptionSet inForce;
    const OptionSet values{1, 0, 1, 0, 1, 0};
    ASSERT_EQ(StoreOptions(temp / "o.opt", values, inForce).status, StoreStatus::Stored);
    const auto bytes = EncodeOptions(values);
    EXPECT_EQ(FileBytes(temp / "o.opt"), Bytes(bytes.begin(), bytes.end()));
    EXPECT_EQ(FileBytes(temp / "copy.opt"), saved);
    EXPECT_EQ(Entries(temp.path()), (std::vector<std::string>{"copy.opt", "o.opt"}));
    EXPECT_EQ(inForce, values);
}

TEST(OptionFileTest, AStoreThatFailsWritingLeavesTheOldFile) {
    TempFolder temp;
    const std::string path = temp / "o.opt";
    const Bytes saved = {9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
    testing::WriteBytes(path, saved);
    // In a child that may write no file past 10 bytes, so that the store fails part way.
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{10, 10};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        OptionSet inForce{9, 0, 0, 0, 1, 0};
        const StoreResult stored = StoreOptions(path, OptionSet{}, inForce);
        const bool asExpected = stored.status == StoreStatus::WriteFailed &&
                                stored.error.cause == FileErrorCause::DiskFull &&
                                stored.error.path == path && inForce == OptionSet{9, 0, 0, 0, 1, 0};
        ::_exit(asExpected ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(FileBytes(path), saved);
    EXPECT_EQ(Entries(temp.path()), std::vector<std::string>{"o.opt"});
}

#endif

TEST(OptionFileTest, AnInstalledProgramKeepsItsOptionsInTheUsersConfigurationFolder) {
    TempFolder temp;
    std::filesystem::create_directory(temp / "bin");
    EXPECT_EQ(ResolveOptionFilePath(temp / "bin/", std::nullopt, temp.path()),
              temp / "bin/kavendrum.opt");

    // A folder that cannot hold the file.
    const std::string unwritable = temp / "no-such-folder/";
    EXPECT_EQ(ResolveOptionFilePath(unwritable, temp / "xdg", temp.path()),
              temp / "xdg/kavendrum/kavendrum.opt");
    EXPECT_EQ(ResolveOptionFilePath(unwritable, std::nullopt, temp.path()),
              temp / ".config/kavendrum/kavendrum.opt");
    OptionSet options;
    EXPECT_EQ(LoadOptions(temp / ".config/kavendrum/kavendrum.opt", options).status,
              LoadStatus::Loaded);
}

TEST(OptionFileTest, AProgramUnderASystemPrefixNeverWritesBesideItselfEvenForRoot) {
    TempFolder temp;
    // Root may write /usr/bin, but a file left there would outlive the package and shadow every
    // user's own.
    for (const char* folder : {"/usr/bin/", "/usr/local/bin/", "/opt/kavendrum/bin/"}) {
        EXPECT_EQ(ResolveOptionFilePath(folder, temp / "xdg", temp.path()),
                  temp / "xdg/kavendrum/kavendrum.opt")
            << folder;
    }
}

#ifndef _WIN32
TEST(OptionFileTest, AFolderOfAnotherUserIsAnInstalledProgramsEvenWithAFileInIt) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a folder away";
    }
    TempFolder temp;
    std::filesystem::create_directory(temp / "bin");
    testing::WriteBytes(temp / "bin/kavendrum.opt", std::vector<char>(24, '\0'));
    ASSERT_EQ(::chown((temp / "bin").c_str(), 65534, 65534), 0);
    EXPECT_EQ(ResolveOptionFilePath(temp / "bin/", temp / "xdg", temp.path()),
              temp / "xdg/kavendrum/kavendrum.opt");
    // The user's own folder keeps the file beside the program.
    ASSERT_EQ(::chown((temp / "bin").c_str(), 0, 0), 0);
    EXPECT_EQ(ResolveOptionFilePath(temp / "bin/", temp / "xdg", temp.path()),
              temp / "bin/kavendrum.opt");
}
#endif

}  // namespace
}  // namespace kavendrum
