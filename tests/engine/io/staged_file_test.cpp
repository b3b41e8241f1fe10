// Files made to be put in place whole: what a run that ends abruptly leaves, and what may stand
// at the final name, whichever way the file was begun.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/io/file.h"
#include "engine/io/file_system.h"
#include "engine/io/staged_file.h"
#include "support/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

namespace kavendrum {
namespace {

using testing::Entries;

std::string TextOf(const std::string& path) {
    const auto bytes = testing::ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// How the process that writes the file ends: without running a destructor, or killed.
enum class Ending { Leaked, Killed };

// A death test's child runs the test again from its start on Windows, so it is told its
// parent's folder instead of making one of its own.
constexpr const char* kFolderVariable = "KAVENDRUM_STAGED_TEST_FOLDER";

void SetFolderVariable(const char* value) {
#ifdef _WIN32
    _putenv_s(kFolderVariable, value);
#else
    ::setenv(kFolderVariable, value, 1);
#endif
}

[[noreturn]] void End(Ending ending) {
    if (ending == Ending::Leaked) {
        std::_Exit(0);
    }
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), 9);
#else
    ::raise(SIGKILL);
#endif
    std::_Exit(1);
}

// Writes a file to be put in place and ends the process before that, its writer's handle
// still open or already closed.
void WriteAndEnd(const std::string& path, bool closed, Ending ending) {
    auto* staged = new FileResult<StagedFile>(StagedFile::Create(path));
    if (!staged->ok() || staged->value().file().Write("half", 4)) {
        std::_Exit(2);
    }
    if (closed) {
        staged->value().file().Close();
    }
    End(ending);
}

class KilledWriterTest : public ::testing::TestWithParam<Ending> {};

TEST_P(KilledWriterTest, LeavesNothingInTheFolder) {
    const char* parents = std::getenv(kFolderVariable);
    std::optional<testing::TempFolder> own;
    if (parents == nullptr || *parents == '\0') {
        own.emplace();
    }
    const std::string folder = own ? own->path() : std::string(parents);
    SetFolderVariable(folder.c_str());
    testing::WriteBytes(folder + "/old.bin", std::vector<char>{'o'});
#ifdef _WIN32
    const auto exited = ::testing::ExitedWithCode(GetParam() == Ending::Killed ? 9 : 0);
#else
    const bool killed = GetParam() == Ending::Killed;
    const auto exited = [killed](int status) {
        return killed ? WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL
                      : WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
#endif
    for (const bool closed : {false, true}) {
        SCOPED_TRACE(closed ? "closed by its writer" : "still open");
        EXPECT_EXIT(WriteAndEnd(folder + "/new.bin", closed, GetParam()), exited, "");
        EXPECT_EXIT(WriteAndEnd(folder + "/old.bin", closed, GetParam()), exited, "");
        EXPECT_EQ(Entries(folder), std::vector<std::string>{"old.bin"});
    }
    EXPECT_EQ(TextOf(folder + "/old.bin"), "o");
    SetFolderVariable("");
}

INSTANTIATE_TEST_SUITE_P(Endings, KilledWriterTest,
                         ::testing::Values(Ending::Leaked, Ending::Killed));

// Either way of beginning the file gives the same results at the final name.
class StagedFileTest : public ::testing::TestWithParam<StagedFile::Start> {
  protected:
    // A staged file for `name` with `text` written and its writer's handle closed.
    StagedFile Written(const std::string& name, const std::string& text) {
        auto staged = StagedFile::Create(temp / name, GetParam());
        EXPECT_TRUE(staged.ok());
        EXPECT_FALSE(staged.value().file().WriteLastAndClose(text.data(), text.size()));
        return std::move(staged.value());
    }

    testing::TempFolder temp;
};

TEST_P(StagedFileTest, CreateIfAbsentRefusesATakenNameAndNeverReplacesIt) {
    {
        StagedFile first = Written("f", "first");
        // Something takes the name while the file is written.
        testing::WriteBytes(temp / "f", std::vector<char>{'x'});
        bool taken = false;
        EXPECT_TRUE(first.PutInPlace(ReplaceOver::Nothing(), nullptr, &taken));
        EXPECT_TRUE(taken);
        EXPECT_EQ(TextOf(temp / "f"), "x");
    }
    EXPECT_EQ(Entries(temp.path()), std::vector<std::string>{"f"});
    EXPECT_EQ(TextOf(temp / "f"), "x");
#ifndef _WIN32
    // A dangling link takes the name too, and is not followed.
    ASSERT_EQ(::symlink((temp / "made").c_str(), (temp / "link").c_str()), 0);
    {
        StagedFile second = Written("link", "second");
        EXPECT_TRUE(second.PutInPlace(ReplaceOver::Nothing()));
    }
    EXPECT_TRUE(std::filesystem::is_symlink(temp / "link"));
    EXPECT_EQ(Entries(temp.path()), (std::vector<std::string>{"f", "link"}));
#endif
    StagedFile free = Written("g", "free");
    bool taken = true;
    ASSERT_FALSE(free.PutInPlace(ReplaceOver::Nothing(), nullptr, &taken));
    EXPECT_FALSE(taken);
    free.Keep();
    EXPECT_EQ(TextOf(temp / "g"), "free");
}

TEST_P(StagedFileTest, ReplacesWhatItMayAndOnlyThatLeavingNoOtherName) {
    testing::WriteBytes(temp / "f", std::vector<char>{'o'});
    const auto stamp = StampOf(temp / "f");
    ASSERT_TRUE(stamp);
    {
        StagedFile other = Written("f", "stamped");
        testing::WriteBytes(temp / "f.other", std::vector<char>{'x'});
        ASSERT_FALSE(RenameOver(temp / "f.other", temp / "f"));
        bool taken = false;
        EXPECT_TRUE(other.PutInPlace(ReplaceOver::Only(*stamp), nullptr, &taken));
        EXPECT_TRUE(taken);
    }
    EXPECT_EQ(TextOf(temp / "f"), "x");
    StagedFile stamped = Written("f", "stamped");
    ASSERT_FALSE(stamped.PutInPlace(ReplaceOver::Only(*StampOf(temp / "f"))));
    stamped.Keep();
    EXPECT_EQ(TextOf(temp / "f"), "stamped");
    StagedFile any = Written("f", "any");
    ASSERT_FALSE(any.PutInPlace());
    any.Keep();
    EXPECT_EQ(TextOf(temp / "f"), "any");
    EXPECT_EQ(Entries(temp.path()), std::vector<std::string>{"f"});
}

#ifndef _WIN32
TEST_P(StagedFileTest, ALinkAtTheNameIsReplacedNeverFollowed) {
    testing::WriteBytes(temp / "target", std::vector<char>{'t'});
    ASSERT_EQ(::symlink((temp / "target").c_str(), (temp / "live").c_str()), 0);
    StagedFile staged = Written("live", "new");
    ASSERT_FALSE(staged.PutInPlace());
    staged.Keep();
    EXPECT_FALSE(std::filesystem::is_symlink(temp / "live"));
    EXPECT_EQ(TextOf(temp / "live"), "new");
    EXPECT_EQ(TextOf(temp / "target"), "t");
}

// While it is written, a file without a name is nowhere in the folder.
TEST(UnnamedFileTest, IsSeenOnlyOnceInPlace) {
    testing::TempFolder temp;
    auto staged = StagedFile::Create(temp / "f");
    ASSERT_TRUE(staged.ok());
    ASSERT_FALSE(staged.value().file().Write("abc", 3));
    EXPECT_EQ(staged.value().TemporaryPath(), "");
    EXPECT_EQ(Entries(temp.path()), std::vector<std::string>{});
    ASSERT_FALSE(staged.value().PutInPlace());
    EXPECT_EQ(Entries(temp.path()), std::vector<std::string>{"f"});
    EXPECT_EQ(IdentityOfEntry(temp / "f"), staged.value().Identity());
    EXPECT_EQ(GenerationOfEntry(temp / "f"), staged.value().Generation());
}
#endif

INSTANTIATE_TEST_SUITE_P(Starts, StagedFileTest,
                         ::testing::Values(StagedFile::Start::Unnamed, StagedFile::Start::Named),
                         [](const auto& info) {
                             return info.param == StagedFile::Start::Unnamed ? "Unnamed" : "Named";
                         });

}  // namespace
}  // namespace kavendrum
