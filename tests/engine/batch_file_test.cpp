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

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 2;
    }
    return lines;
}

// The pieces named by the copy lines of a long batch file, in order: the first line's up to the
// target, each later line's between the target it appends to and the target again.
std::vector<std::string> CopiedPieces(const std::vector<std::string>& lines,
                                      const std::string& target) {
    std::vector<std::string> pieces;
    const std::string end = " " + target;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.rfind("copy /b ", 0) != 0) {
            continue;
        }
        // Every copy line is followed by the jump taken when it failed.
        EXPECT_EQ(i + 1 < lines.size() ? lines[i + 1] : "", "if errorlevel 1 goto failed");
        EXPECT_TRUE(line.ends_with(end)) << line;
        std::string list = line.substr(8, line.size() - 8 - end.size());
        if (!pieces.empty()) {
            EXPECT_EQ(list.rfind(target + " + ", 0), 0u) << line;
            list = list.substr(target.size() + 3);
        }
        for (std::size_t at = 0;;) {
            const std::size_t plus = list.find(" + ", at);
            pieces.push_back(list.substr(at, plus - at));
            if (plus == std::string::npos) {
                break;
            }
            at = plus + 3;
        }
    }
    return pieces;
}

// While the copy command fits in a line well within the interpreter's 8191 characters, the batch
// file keeps its six lines; one piece more and the pieces are joined by several shorter lines.
TEST(BatchFileTest, TheSixLinesStayUntilTheCopyLineIsTooLong) {
    int count = 1;
    while (count < 2000 &&
           LinesOf(*BuildRejoinBatch(Pieces("movie", count + 1), "movie", "avi")).size() == 6) {
        ++count;
    }
    const std::string fits = CopyLine("movie", "avi", count);
    EXPECT_GT(fits.size(), 3500u);
    EXPECT_LE(fits.size(), 4096u);
    const auto longer = LinesOf(*BuildRejoinBatch(Pieces("movie", count + 1), "movie", "avi"));
    EXPECT_GT(longer.size(), 6u);
    EXPECT_EQ(CopiedPieces(longer, "movie.avi"), Pieces("movie", count + 1));
}

TEST(BatchFileTest, ALongSetIsJoinedLineByLineAndSaysDoneOnlyWhenTheFileIsThere) {
    for (const auto& [base, count] : std::vector<std::pair<std::string, int>>{
             {"movie", 1500}, {"semi;colon", 20000}, {std::string(240, 'n') + " & (1)", 40}}) {
        const auto text = BuildRejoinBatch(Pieces(base, count), base, "avi");
        ASSERT_TRUE(text);
        const auto lines = LinesOf(*text);
        // Only plain names go unquoted.
        const bool plain = base == "movie";
        const std::string target = plain ? "movie.avi" : "\"" + base + ".avi\"";
        for (const auto& line : lines) {
            ASSERT_LE(line.size(), 4096u) << base;
        }
        const std::vector<std::string> head{"@echo off", "echo.",
                                            "echo Created by Kavendrum. Reading split files:"};
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3), head) << base;
        std::vector<std::string> arguments;
        for (const auto& piece : Pieces(base, count)) {
            arguments.push_back(plain ? piece : "\"" + piece + "\"");
        }
        EXPECT_EQ(CopiedPieces(lines, target), arguments) << base;
        // The echoed name has its "&" escaped.
        const std::string echoed = base.find('&') == std::string::npos
                                       ? base + ".avi"
                                       : std::string(240, 'n') + " ^& (1).avi";
        const std::vector<std::string> tail{"if not exist " + target + " goto failed",
                                            "echo.",
                                            "echo Done writing: " + echoed,
                                            "goto end",
                                            ":failed",
                                            "echo.",
                                            "echo Could not write: " + echoed,
                                            ":end"};
        EXPECT_EQ(std::vector<std::string>(lines.end() - 8, lines.end()), tail) << base;
    }
}

}  // namespace
}  // namespace kavendrum
