#include <filesystem>

#include <gtest/gtest.h>

#include "options/option_file.h"
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

}  // namespace
}  // namespace kavendrum
