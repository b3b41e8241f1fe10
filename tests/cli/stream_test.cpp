// Splits from a pipe and merges into one, and rejoins with the shell alone.

#include "cli/cli_fixture.h"

namespace kavendrum {
namespace {

using testing::CliRun;
using testing::CliTest;

constexpr const char* kRejoinLead = "To rejoin without Kavendrum: ";

// The command the split printed after its lead, or nothing.
std::string RejoinCommandIn(const std::string& out) {
    const auto at = out.find(kRejoinLead);
    if (at == std::string::npos) {
        return "";
    }
    const auto from = at + std::string(kRejoinLead).size();
    return out.substr(from, out.find('\n', from) - from);
}

TEST_F(CliTest, AStreamSplitsAsTheFileWouldAndMergesIntoAPipe) {
    // Larger than a pipe's buffer and the copy unit many times over, and not a multiple of them.
    const auto source = testing::RandomBytes((24 << 20) + 12345);
    testing::WriteBytes(temp / "backup.tar", source);
    CliRun streamed =
        Cli("split - piped --name backup.tar --size 5M --checksums", "cat backup.tar | ");
    ASSERT_EQ(streamed.status, 0) << streamed.err;
    EXPECT_EQ(streamed.out.rfind(
                  "Split file successfully!\nTo Re-Join, run the file: "
                  "\"piped/backup.bat\"\nTo rejoin without Kavendrum: (cd './piped' && (n=5; ",
                  0),
              0u)
        << streamed.out;
    EXPECT_EQ(streamed.err, "");

    // Head file, batch file, checksum file and pieces are those a split of the file itself writes.
    ASSERT_EQ(Cli("split backup.tar direct --size 5M --checksums").status, 0);
    for (const char* name :
         {"backup.kdh", "backup.bat", "backup.sha256", "backup_1.skf", "backup_5.skf"}) {
        EXPECT_EQ(testing::ReadBytes(temp / ("piped/" + std::string(name))),
                  testing::ReadBytes(temp / ("direct/" + std::string(name))))
            << name;
    }

    CliRun merged = Cli("merge piped/backup.kdh --stdout", "", "| cat > rebuilt.tar");
    ASSERT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(merged.err, "Merge files successfully!\n");  // on standard error, not in the data
    EXPECT_EQ(testing::ReadBytes(temp / "rebuilt.tar"), source);
    // The pieces stay, whatever the options say: nothing tells the bytes were kept.
    ASSERT_EQ(Cli("options set deleteAfterMerge=1").status, 0);
    ASSERT_EQ(Cli("merge piped/backup.kdh --stdout", "", "| cat > again.tar").status, 0);
    EXPECT_EQ(testing::ReadBytes(temp / "again.tar"), source);
    EXPECT_TRUE(testing::Exists(temp / "piped/backup_1.skf"));
    EXPECT_TRUE(testing::Exists(temp / "piped/backup.kdh"));
}

TEST_F(CliTest, AStreamNeedsANameThatStaysInTheFolder) {
    for (const char* name : {"../escape.bin", "sub/x.bin", "..", ".", "''"}) {
        CliRun run = Cli(std::string("split - out --name ") + name, "echo data | ");
        EXPECT_EQ(run.status, 2) << name;
        EXPECT_NE(run.err.find("is not a file name"), std::string::npos) << run.err;
    }
    EXPECT_FALSE(testing::Exists(temp / "out"));
    EXPECT_FALSE(testing::Exists(temp / "escape_1.skf"));
    EXPECT_EQ(Cli("split - out", "echo data | ").status, 2);
    EXPECT_EQ(Cli("split - out --name x.bin --pieces 2", "echo data | ").status, 2);
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(10));
    EXPECT_EQ(Cli("split a.bin out --name x.bin").status, 2);
}

TEST_F(CliTest, AMergeToStandardOutputWritesNothingWhenVerificationFails) {
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(100000));
    ASSERT_EQ(Cli("split a.bin out --size 32K").status, 0);
    ::unlink((temp / "out/a_3.skf").c_str());
    CliRun merge = Cli("merge out/a.kdh --stdout", "", "| cat > rebuilt.bin");
    EXPECT_EQ(merge.status, 1);
    EXPECT_EQ(merge.err,
              "Bad\t32768\tout/a_3.skf\nout/a_3.skf: missing\n"
              "kavendrum-cli: 1 missing of 4 pieces: copy it again into out and run again\n");
    EXPECT_EQ(testing::SizeOf(temp / "rebuilt.bin"), 0u);
    // Without verification too: a merge that cannot reach its end does not begin.
    ASSERT_EQ(Cli("options set verifyBeforeMerge=0").status, 0);
    CliRun unchecked = Cli("merge out/a.kdh --stdout", "", "| cat > rebuilt.bin");
    EXPECT_EQ(unchecked.status, 1);
    EXPECT_EQ(
        unchecked.err,
        "kavendrum-cli: Read file error!\nkavendrum-cli: out/a_3.skf: No such file or directory\n");
    EXPECT_EQ(testing::SizeOf(temp / "rebuilt.bin"), 0u);
    // Appended to one of its own pieces, it would read what it writes.
    ASSERT_EQ(Cli("--yes split a.bin out --size 32K").status, 0);
    const auto piece = testing::ReadBytes(temp / "out/a_2.skf");
    CliRun into = Cli("merge out/a.kdh --stdout", "", ">> out/a_2.skf");
    EXPECT_EQ(into.status, 1);
    EXPECT_EQ(into.err,
              "kavendrum-cli: Create file error,merge failed!\n"
              "kavendrum-cli: standard output: it is one of the files being merged\n");
    EXPECT_EQ(testing::ReadBytes(temp / "out/a_2.skf"), piece);
    // A reader that stops early is a failure that says what happened.
    ASSERT_EQ(Cli("--yes split a.bin out --size 1K").status, 0);
    CliRun cut = Cli("merge out/a.kdh --stdout", "", "| head -c 10 > /dev/null");
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.err,
              "kavendrum-cli: An unknown error occurred while accessing standard output.\n"
              "kavendrum-cli: standard output: Broken pipe\n");
    // --stdout names no file, so it goes with neither --dest nor --prefix.
    EXPECT_EQ(Cli("merge out/a.kdh --stdout --dest x", "", "| cat").status, 2);
    EXPECT_EQ(Cli("merge out/a.kdh --stdout --prefix x", "", "| cat").status, 2);
}

class RejoinTest : public CliTest {
  protected:
    // Splits `name` into `pieceCount` pieces in `folder`, and rebuilds it by running the printed
    // command with sh where the split ran; the command's exit status.
    int SplitAndRejoin(const std::string& name, std::uint32_t pieceCount, std::size_t lastSize,
                       const std::string& folder = "pieces") {
        constexpr std::uint32_t kPieceSize = 100;
        source =
            testing::RandomBytes(std::size_t{pieceCount - 1} * kPieceSize + lastSize, pieceCount);
        Shell("rm -rf src " + Quoted(folder) + " && mkdir src");
        testing::WriteBytes(temp / ("src/" + name), source);
        CliRun split = Cli("split src/" + Quoted(name) + " " + Quoted(folder) + " --size 100");
        // A name with a double quote gets no batch file, which fails the split, but its pieces
        // and head file are whole.
        if (name.find('"') == std::string::npos) {
            EXPECT_EQ(split.status, 0) << split.err;
        }
        command = RejoinCommandIn(split.out);
        EXPECT_FALSE(command.empty()) << split.out << split.err;
        EXPECT_LT(command.size(), 400u) << command;
        testing::WriteBytes(temp / "rejoin.sh", std::vector<char>(command.begin(), command.end()));
        return Shell("sh rejoin.sh");
    }

    static std::string Quoted(const std::string& text) {
        std::string quoted = "'";
        for (const char c : text) {
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        return quoted + "'";
    }

    std::vector<char> source;
    std::string command;
};

TEST_F(RejoinTest, ThePrintedCommandRebuildsInNumericOrder) {
    const struct {
        std::uint32_t pieces;
        std::size_t lastSize;
    } counts[] = {{1, 50}, {9, 50}, {10, 50}, {10, 0}, {1000, 7}};
    for (const auto& count : counts) {
        ASSERT_EQ(SplitAndRejoin("movie.avi", count.pieces, count.lastSize), 0)
            << count.pieces << ": " << command;
        EXPECT_EQ(testing::ReadBytes(temp / "pieces/movie.avi"), source) << count.pieces;
        EXPECT_EQ(command.find("movie_2"), std::string::npos);  // a loop, not a list
    }
}

TEST_F(RejoinTest, NamesWithSpacesQuotesAndShellCharactersAreSafe) {
    for (const std::string name :
         {"my film.avi", "it's.avi", "say \"hi\".avi", "$(touch owned) `touch owned`;x.avi",
          "-n.avi", "two  spaces", "*.avi", "back\\slash.avi"}) {
        ASSERT_EQ(SplitAndRejoin(name, 12, 30), 0) << name << ": " << command;
        EXPECT_EQ(testing::ReadBytes(temp / ("pieces/" + name)), source) << name;
        EXPECT_FALSE(testing::Exists(temp / "pieces/owned")) << name;
        EXPECT_FALSE(testing::Exists(temp / "owned")) << name;
    }
    // The folder the line goes into is quoted as safely.
    for (const std::string folder : {"it's $(touch owned)", "b  c"}) {
        ASSERT_EQ(SplitAndRejoin("movie.avi", 3, 30, folder), 0) << folder << ": " << command;
        EXPECT_EQ(testing::ReadBytes(temp / (folder + "/movie.avi")), source) << folder;
        EXPECT_FALSE(testing::Exists(temp / "owned")) << folder;
    }
}

TEST_F(RejoinTest, AMissingPieceStopsItBeforeAnythingIsWritten) {
    ASSERT_EQ(SplitAndRejoin("movie.avi", 12, 30), 0);
    ::unlink((temp / "pieces/movie.avi").c_str());
    ::unlink((temp / "pieces/movie_11.skf").c_str());
    EXPECT_EQ(Shell("sh rejoin.sh 2>why"), 1);
    EXPECT_EQ(testing::Slurp(temp / "why"), "piece 11 of 12 is missing\n");
    EXPECT_FALSE(testing::Exists(temp / "pieces/movie.avi"));
    // The command runs in a subshell: an interactive shell that runs it is not ended by it.
    EXPECT_EQ(Shell("sh -c \"$(cat rejoin.sh); echo still here\" 2>/dev/null >after"), 0);
    EXPECT_EQ(testing::Slurp(temp / "after"), "still here\n");
    // Nor does a folder that is gone: it stops at cd, writing nothing.
    Shell("mv pieces moved");
    EXPECT_NE(Shell("sh rejoin.sh 2>/dev/null"), 0);
    EXPECT_FALSE(testing::Exists(temp / "movie.avi"));
}

}  // namespace
}  // namespace kavendrum
