#include <gtest/gtest.h>

#include "engine/folders.h"
#include "engine/object_file_name.h"
#include "engine/paths.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::RecordingHost;
using testing::TempFolder;

TEST(PathsTest, FileNameIsTheTextAfterTheLastSeparator) {
    EXPECT_EQ(GetFileName("movie.avi"), "movie.avi");
#ifdef _WIN32
    EXPECT_EQ(GetFileName("D:\\data\\movie.avi"), "movie.avi");
    EXPECT_EQ(GetFileName("D:\\data\\"), "");
#else
    EXPECT_EQ(GetFileName("/data/movie.avi"), "movie.avi");
    EXPECT_EQ(GetFileName("/data/"), "");
    EXPECT_EQ(GetFileName("/data/back\\slash.avi"), "back\\slash.avi");
#endif
}

TEST(PathsTest, BaseNameCutsAtTheLastDot) {
    EXPECT_EQ(SplitBaseName("archive.tar.gz").base, "archive.tar");
    EXPECT_EQ(SplitBaseName("archive.tar.gz").extension, "gz");
    EXPECT_EQ(SplitBaseName("notes.").base, "notes");
    EXPECT_EQ(SplitBaseName("notes.").extension, "");
    EXPECT_EQ(SplitBaseName(testing::Native("/out/movie.kdh")).base, testing::Native("/out/movie"));
    // Without a dot of its own, or with only a leading one, the whole name is the base.
    EXPECT_EQ(SplitBaseName("README").base, "README");
    EXPECT_EQ(SplitBaseName("README").extension, "");
    EXPECT_EQ(SplitBaseName(".profile").base, ".profile");
    EXPECT_EQ(SplitBaseName(".profile").extension, "");
}

TEST(PathsTest, RebuiltNameHasADotOnlyWithAnExtension) {
    EXPECT_EQ(RebuiltFileName("movie", "avi"), "movie.avi");
    EXPECT_EQ(RebuiltFileName("README", ""), "README");
}

TEST(PathsTest, FolderPartDropsSurroundingQuotes) {
#ifdef _WIN32
    EXPECT_EQ(GetFolderPart("\"C:\\Program Files\\Kavendrum\\kavendrum.exe\""),
              "C:\\Program Files\\Kavendrum\\");
#else
    EXPECT_EQ(GetFolderPart("\"/opt/Tool Box/tool\""), "/opt/Tool Box/");
#endif
    EXPECT_EQ(GetFolderPart("tool"), "");
}

TEST(PathsTest, TrailingSeparatorsComeAndGoOnce) {
    EXPECT_EQ(StripTrailingSeparator(testing::Native("/out/")), testing::Native("/out"));
    EXPECT_EQ(StripTrailingSeparator(testing::Native("/out")), testing::Native("/out"));
    EXPECT_EQ(WithTrailingSeparator(testing::Native("/out")), testing::Native("/out/"));
    EXPECT_EQ(WithTrailingSeparator(testing::Native("/out/")), testing::Native("/out/"));
}

TEST(PathsTest, OnlyTheRootIsUsedWithoutAFolderCheck) {
#ifdef _WIN32
    // A drive's root, with or without its separator, and nothing longer.
    EXPECT_TRUE(IsUncheckedDestination("D:\\"));
    EXPECT_TRUE(IsUncheckedDestination("D:"));
    EXPECT_FALSE(IsUncheckedDestination("D:\\out"));
    EXPECT_FALSE(IsUncheckedDestination("D:\\out\\"));
    // A short relative name is a folder to be made like any other, not a drive.
    EXPECT_FALSE(IsUncheckedDestination("out"));
    EXPECT_FALSE(IsUncheckedDestination("ab\\"));
    EXPECT_FALSE(IsUncheckedDestination("1:x"));
#else
    EXPECT_TRUE(IsUncheckedDestination("/"));
    EXPECT_FALSE(IsUncheckedDestination("/a"));
    EXPECT_FALSE(IsUncheckedDestination("/ab/"));
#endif
}

// Whatever the head file's name, its extension and the prefix hold, the result is a file right
// inside the destination, or there is none.
TEST(ObjectFileNameTest, HostileNamesNeverLeadOutOfTheDestination) {
    const std::string out = testing::Native("/srv/out/");
    const std::vector<std::string> names = {"",
                                            ".",
                                            "..",
                                            "...",
                                            "x.",
                                            "/",
                                            "a/..",
                                            "../..",
                                            "\\..",
                                            "..\\",
                                            "C:",
                                            "C:..",
                                            "a:b.c",
                                            ". .",
                                            ".. ",
                                            "x/.",
                                            "/etc/passwd",
                                            "movie.kdh",
                                            "..kdh",
                                            "...kdh",
                                            "a/../b",
                                            "x\\y.kdh",
                                            std::string("a\0b", 3)};
    const std::vector<std::string> extensions = {"",
                                                 ".",
                                                 "..",
                                                 "/",
                                                 "d/../../outside/victim",
                                                 "a\\..\\b",
                                                 "c:d",
                                                 " ",
                                                 ". ",
                                                 "avi/../..",
                                                 "avi",
                                                 std::string("\0", 1),
                                                 std::string("a\0/..", 5)};
    for (const auto& name : names) {
        for (const auto& extension : extensions) {
            for (const bool usePrefix : {false, true}) {
                const auto formed = FormObjectFileName(out, testing::Native("/in/h.kdh"), usePrefix,
                                                       name, extension);
                const auto fromHead = FormObjectFileName(out, name, false, "", extension);
                for (const auto& path : {formed, fromHead}) {
                    if (!path) {
                        continue;
                    }
                    const std::string leaf = path->substr(out.size());
                    EXPECT_EQ(path->substr(0, out.size()), out);
                    EXPECT_EQ(LeafName(*path), leaf) << *path;
                    EXPECT_EQ(leaf.find('\0'), std::string::npos) << *path;
#ifdef _WIN32
                    // The system drops trailing dots and spaces from a name.
                    EXPECT_NE(leaf.find_last_not_of(". "), std::string::npos) << *path;
#else
                    EXPECT_TRUE(leaf != "" && leaf != "." && leaf != "..") << *path;
#endif
                }
            }
        }
    }
    EXPECT_FALSE(FormObjectFileName(out, "movie.kdh", false, "", "d/../../outside/victim"));
    EXPECT_FALSE(FormObjectFileName(out, "movie.kdh", true, "..", ""));
    EXPECT_FALSE(FormObjectFileName(out, "movie.kdh", true, "", "."));
    EXPECT_FALSE(FormObjectFileName(out, "movie.kdh", true, "", ""));
#ifdef _WIN32
    EXPECT_FALSE(FormObjectFileName(out, "movie.kdh", false, "", "a\\b"));
    EXPECT_FALSE(FormObjectFileName(out, "movie.kdh", false, "", "avi:stream"));
    EXPECT_FALSE(FormObjectFileName(out, "movie.kdh", true, ". .", ""));
    // A prefix typed with either separator, or a drive, gives only its last name.
    EXPECT_EQ(FormObjectFileName(out, "movie.kdh", true, "sub/clip.txt", "avi"), out + "clip.avi");
    EXPECT_EQ(FormObjectFileName(out, "movie.kdh", true, "C:clip", "avi"), out + "clip.avi");
#else
    EXPECT_EQ(FormObjectFileName(out, "movie.kdh", false, "", "a\\b"), out + "movie.a\\b");
#endif
}

TEST(FoldersTest, FolderExistsWithOrWithoutTrailingSeparatorButNotForAFile) {
    TempFolder temp;
    testing::WriteBytes(temp / "file", std::vector<char>{'x'});
    EXPECT_TRUE(FolderExists(temp.path()));
    EXPECT_TRUE(FolderExists(WithTrailingSeparator(temp.path())));
    EXPECT_FALSE(FolderExists(temp / "file"));
    EXPECT_FALSE(FolderExists(temp / "missing"));
}

TEST(FoldersTest, EnsureFolderCreatesOneLevelSilentlyWithModeZero) {
    TempFolder temp;
    RecordingHost host;
    EXPECT_EQ(EnsureFolder(temp / "out/", FolderSide::Split, OptionSet{}, host),
              FolderCheck::Ready);
    EXPECT_TRUE(FolderExists(temp / "out"));
    EXPECT_TRUE(host.questions.empty());

    EXPECT_EQ(EnsureFolder(temp / "a/b", FolderSide::Split, OptionSet{}, host),
              FolderCheck::Failed);
    EXPECT_FALSE(testing::Exists(temp / "a"));
    EXPECT_EQ(host.Errors(), std::vector<std::string>{"Can not create folder!"});
}

TEST(FoldersTest, EnsureFolderAsksFirstForTheSideThatSaysSo) {
    TempFolder temp;
    OptionSet options;
    options.mergeFolderMode = -1;
    RecordingHost host;
    host.AnswerNext(false);
    // The split side's option is 0, so only the merge side asks.
    EXPECT_EQ(EnsureFolder(temp / "m", FolderSide::Merge, options, host), FolderCheck::Declined);
    EXPECT_FALSE(FolderExists(temp / "m"));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(EnsureFolder(temp / "s", FolderSide::Split, options, host), FolderCheck::Ready);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0].text, "Folder doesn't exist, do you want to create it?");
    EXPECT_EQ(host.questions[0].caption, "Message");

    testing::WriteBytes(temp / "taken", std::vector<char>{'x'});
    EXPECT_EQ(EnsureFolder(temp / "taken", FolderSide::Split, options, host), FolderCheck::Failed);
}

}  // namespace
}  // namespace kavendrum
