#include <gtest/gtest.h>

#include "engine/batch_file.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

std::vector<std::string> Pieces(const std::string& base, int count) {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) {
        names.push_back(base + "_" + std::to_string(i) + ".skf");
    }
    return names;
}

// Line 4, the copy command, of the batch file for these names.
std::string CopyLine(const std::string& base, const std::string& extension, int count) {
    const auto text = BuildRejoinBatch(Pieces(base, count), base, extension);
    EXPECT_TRUE(text.has_value());
    std::string rest = text.value_or("");
    for (int line = 0; line < 3; ++line) {
        rest = rest.substr(rest.find("\r\n") + 2);
    }
    return rest.substr(0, rest.find("\r\n"));
}

TEST(BatchFileTest, PlainNamesGiveTheSixLinesExactly) {
    testing::TempFolder temp;
    testing::RecordingHost host;
    ASSERT_TRUE(WriteRejoinBatch(temp.path(), "movie", "avi", Pieces("movie", 3), host));
    const auto bytes = testing::ReadBytes(temp / "movie.bat");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "@echo off\r\n"
              "echo.\r\n"
              "echo Created by Kavendrum. Reading split files:\r\n"
              "copy /b movie_1.skf + movie_2.skf + movie_3.skf movie.avi\r\n"
              "echo.\r\n"
              "echo Done writing: movie.avi\r\n");
    EXPECT_EQ(bytes.size(), 163u);
    EXPECT_TRUE(host.messages.empty());
}

TEST(BatchFileTest, OnePieceHasNoPlusSign) {
    EXPECT_EQ(CopyLine("movie", "avi", 1), "copy /b movie_1.skf movie.avi");
}

TEST(BatchFileTest, NamesThatTheInterpreterWouldCutOrRunAreQuoted) {
    EXPECT_EQ(CopyLine("a,b", "txt", 2), "copy /b \"a,b_1.skf\" + \"a,b_2.skf\" \"a,b.txt\"");
    EXPECT_EQ(CopyLine("my movie", "avi", 1), "copy /b \"my movie_1.skf\" \"my movie.avi\"");
    EXPECT_EQ(CopyLine("x&del y", "z", 1), "copy /b \"x&del y_1.skf\" \"x&del y.z\"");
    EXPECT_EQ(CopyLine("100%", "pdf", 1), "copy /b \"100%%_1.skf\" \"100%%.pdf\"");
}

TEST(BatchFileTest, TheEchoedNameHasItsOperatorsEscaped) {
    const auto text = BuildRejoinBatch(Pieces("a&b|c^d%e", 1), "a&b|c^d%e", "x");
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("echo Done writing: a^&b^|c^^d%%e.x\r\n"), std::string::npos);
}

TEST(BatchFileTest, NamesThatCannotBeWrittenSafelyAreRefused) {
    EXPECT_FALSE(BuildRejoinBatch(Pieces("a\"b", 1), "a\"b", "txt"));
    EXPECT_FALSE(BuildRejoinBatch(Pieces("a\nb", 1), "a\nb", "txt"));

    testing::TempFolder temp;
    testing::RecordingHost host;
    EXPECT_FALSE(WriteRejoinBatch(temp.path(), "a\"b", "txt", Pieces("a\"b", 1), host));
    EXPECT_EQ(host.Errors(), std::vector<std::string>{"Create batch file error!"});
    EXPECT_FALSE(testing::Exists(temp / "a\"b.bat"));
}

}  // namespace
}  // namespace kavendrum
