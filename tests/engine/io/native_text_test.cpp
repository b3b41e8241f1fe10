#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/io/file.h"
#include "engine/io/file_system.h"
#include "engine/io/native_text_win32.h"
#include "engine/io/portable_name.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

// "映画 ταινία🎬": Japanese, Greek and a letter beyond UTF-16's first plane, in UTF-8.
const std::string kName =
    "\xE6\x98\xA0\xE7\x94\xBB \xCF\x84\xCE\xB1\xCE\xB9\xCE\xBD\xCE\xAF\xCE\xB1\xF0\x9F\x8E\xAC";
const std::wstring kWideName = L"\u6620\u753B \u03C4\u03B1\u03B9\u03BD\u03AF\u03B1\U0001F3AC";

// The tests run in the code page the programs run in, which their manifests make UTF-8.
bool RunsInUtf8() {
    return GetACP() == CP_UTF8;
}

// What the folder holds, as the wide functions see it: the names as they are on the disk.
std::vector<std::wstring> WideEntriesOf(const std::string& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = *WideFromNative(folder) + L"\\*";
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

std::vector<std::string> EntriesOf(const std::string& folder) {
    std::vector<std::string> names;
    EXPECT_EQ(ListFolder(folder,
                         [&](const std::string& name) {
                             if (name != "." && name != "..") {
                                 names.push_back(name);
                             }
                         }),
              std::nullopt);
    return names;
}

TEST(NativeTextTest, ConversionsCarryEveryLetterOrNothing) {
    EXPECT_EQ(WideFromNarrow(kName, CP_UTF8), kWideName);
    EXPECT_EQ(NarrowFromWide(kWideName, CP_UTF8), kName);
    // Broken UTF-8 ("été" in Windows-1252), a lone surrogate, and a zero inside the text, which
    // would end a name early: none of them is a name.
    EXPECT_EQ(WideFromNarrow("\xE9t\xE9", CP_UTF8), std::nullopt);
    EXPECT_EQ(NarrowFromWide(std::wstring(1, wchar_t(0xD83C)), CP_UTF8), std::nullopt);
    EXPECT_EQ(WideFromNarrow(std::string("a\0b", 3), CP_UTF8), std::nullopt);
    EXPECT_EQ(NarrowFromWide(std::wstring(L"a\0b", 3), CP_UTF8), std::nullopt);
    // A code page that lacks a letter gives neither its "?" nor a look-alike ("a" for "ā").
    EXPECT_EQ(NarrowFromWide(L"p\u0101ce", 1252), std::nullopt);
    EXPECT_EQ(NarrowFromWide(L"\u6620", 1252), std::nullopt);
    EXPECT_EQ(NarrowFromWide(L"caf\u00E9", 1252), std::string("caf\xE9"));
}

// A name in any script is made, listed, read, renamed and removed under its own letters, and
// the portable form of a name is the name itself.
TEST(NativeTextTest, FilesNamedInAnyScriptAreReachedUnderTheirOwnNames) {
    ASSERT_TRUE(RunsInUtf8()) << "the tests' manifest asks for UTF-8 as the code page";
    testing::TempFolder temp;
    const std::string folder = temp / kName;
    ASSERT_EQ(CreateOneFolder(folder), std::nullopt);
    EXPECT_EQ(KindOf(folder), FileKind::Folder);
    const std::string path = folder + "\\" + kName + ".bin";
    {
        auto made = File::CreateNew(path);
        ASSERT_TRUE(made.ok()) << FileErrorText(made.error());
        ASSERT_EQ(made.value().Write("data", 4), std::nullopt);
        ASSERT_EQ(made.value().Close(), std::nullopt);
    }
    EXPECT_EQ(WideEntriesOf(folder), std::vector<std::wstring>{kWideName + L".bin"});
    EXPECT_EQ(EntriesOf(folder), std::vector<std::string>{kName + ".bin"});
    EXPECT_TRUE(FileExists(path));

    const std::string renamed = folder + "\\" + kName + "_1.skf";
    ASSERT_EQ(RenameOver(path, renamed), std::nullopt);
    auto read = File::OpenForReading(renamed);
    ASSERT_TRUE(read.ok());
    char bytes[8] = {};
    ASSERT_TRUE(read.value().Read(bytes, sizeof bytes).ok());
    EXPECT_EQ(std::string(bytes), "data");
    const auto stamp = StampOf(renamed);
    ASSERT_TRUE(stamp);
    read.value().Close();
    auto removed = RemoveIfSame(renamed, *stamp);
    ASSERT_TRUE(removed.ok());
    EXPECT_EQ(removed.value(), Removal::Removed);
    EXPECT_TRUE(EntriesOf(folder).empty());

    EXPECT_EQ(PortableNameOf(kName + "_1.skf"), kName + "_1.skf");
    EXPECT_EQ(NativeNameOf(kName + "_1.skf"), kName + "_1.skf");
    EXPECT_EQ(NativeNameOf("\xE9t\xE9_1.skf"), std::nullopt);
}

// A path that is no text in the code page is a bad path under the name it was given; Windows
// would otherwise put U+FFFD in place of the broken bytes and make or open another file.
TEST(NativeTextTest, APathTheCodePageCannotCarryIsABadPathAndTouchesNothing) {
    ASSERT_TRUE(RunsInUtf8());
    testing::TempFolder temp;
    const std::string bad = temp / "clip.\xE9t\xE9";
    auto made = File::CreateNew(bad);
    ASSERT_FALSE(made.ok());
    EXPECT_EQ(made.error().cause, FileErrorCause::BadPath);
    EXPECT_EQ(FileErrorText(made.error()), bad + " contains an invalid path.");
    EXPECT_FALSE(File::OpenForWriting(bad).ok());
    EXPECT_NE(CreateOneFolder(bad), std::nullopt);
    EXPECT_TRUE(WideEntriesOf(temp.path()).empty());

    testing::WriteBytes(temp / "clip.bin", std::vector<char>{'x'});
    EXPECT_NE(RenameOver(temp / "clip.bin", bad), std::nullopt);
    EXPECT_FALSE(File::OpenForReading(bad).ok());
    EXPECT_FALSE(FileExists(bad));
    EXPECT_EQ(WideEntriesOf(temp.path()), std::vector<std::wstring>{L"clip.bin"});
}

}  // namespace
}  // namespace kavendrum
