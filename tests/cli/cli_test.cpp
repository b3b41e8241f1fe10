#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "engine/head_file.h"
#include "engine/merge_journal.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::TempFolder;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class CliTest : public ::testing::Test {
  protected:
    // Runs the program with the arguments (a shell word list) and no terminal attached.
    CliRun Cli(const std::string& arguments, const std::string& prefix = "") {
        const std::string command = prefix + "'" KAVENDRUM_CLI_PATH "' --options-file '" +
                                    (temp / "k.opt") + "' " + arguments + " </dev/null >'" +
                                    (temp / "stdout") + "' 2>'" + (temp / "stderr") + "'";
        const int raw = std::system(("cd '" + temp.path() + "' && " + command).c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(temp / "stdout"),
                Slurp(temp / "stderr")};
    }

    // Runs the program with its standard output a pipe that nobody reads any more; the raw
    // wait status, so that a death by a signal shows.
    int RunWithStdoutClosed(const std::string& arguments) {
        const std::string command = "exec '" KAVENDRUM_CLI_PATH "' --options-file '" +
                                    (temp / "k.opt") + "' " + arguments + " </dev/null 2>'" +
                                    (temp / "stderr") + "'";
        int ends[2];
        if (::pipe(ends) != 0) {
            return -1;
        }
        ::close(ends[0]);
        const pid_t child = ::fork();
        if (child == 0) {
            // As a shell's pipeline would start it, whatever this test program ignores.
            std::signal(SIGPIPE, SIG_DFL);
            ::dup2(ends[1], 1);
            ::close(ends[1]);
            if (::chdir(temp.path().c_str()) == 0) {
                ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            }
            ::_exit(127);
        }
        ::close(ends[1]);
        int raw = -1;
        ::waitpid(child, &raw, 0);
        return raw;
    }

    TempFolder temp;
};

TEST_F(CliTest, SplitVerifyAndMergeFromTheTerminal) {
    const auto source = testing::RandomBytes(100000);
    testing::WriteBytes(temp / "movie.avi", source);
    CliRun split = Cli("split movie.avi pieces --size 32768");
    ASSERT_EQ(split.status, 0) << split.err;
    EXPECT_EQ(split.out,
              "Split file successfully!\nTo Re-Join, run the file: \"pieces/movie.bat\"\n");
    EXPECT_EQ(split.err, "");  // no terminal, no progress line

    CliRun verify = Cli("verify pieces/movie.kdh");
    EXPECT_EQ(verify.status, 0);
    EXPECT_EQ(verify.out,
              "Good\t32768\tpieces/movie_1.skf\nGood\t32768\tpieces/movie_2.skf\n"
              "Good\t32768\tpieces/movie_3.skf\nGood\t1696\tpieces/movie_4.skf\nPassed\n");

    CliRun merge = Cli("merge pieces/movie.kdh --dest back --prefix clip");
    ASSERT_EQ(merge.status, 0) << merge.err;
    EXPECT_EQ(merge.out, "Merge files successfully!\n");
    EXPECT_EQ(testing::ReadBytes(temp / "back/clip.avi"), source);

    // Beside the head file, under its own name, is the default.
    ASSERT_EQ(Cli("merge pieces/movie.kdh").status, 0);
    EXPECT_EQ(testing::ReadBytes(temp / "pieces/movie.avi"), source);
}

TEST_F(CliTest, FailuresAndRefusalsHaveTheirOwnExitStatus) {
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(10));
    CliRun missing = Cli("split nothing.bin out");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Error: File doesn't existed or can not be open!\n");

    EXPECT_EQ(Cli("split a.bin out --size 0").status, 2);
    EXPECT_EQ(Cli("split a.bin out --size 629145601").status, 2);
    EXPECT_EQ(Cli("frobnicate").status, 2);
    EXPECT_EQ(Cli("options set noSuchField=1").status, 2);

    ASSERT_EQ(Cli("split a.bin out").status, 0);
    // Without a terminal to answer, a question is answered Cancel.
    EXPECT_EQ(Cli("split a.bin out").status, 3);
    EXPECT_EQ(Cli("--no split a.bin out").status, 3);
    EXPECT_EQ(Cli("--yes split a.bin out").status, 0);

    ::unlink((temp / "out/a_1.skf").c_str());
    CliRun verify = Cli("verify out/a.kdh");
    EXPECT_EQ(verify.status, 1);
    EXPECT_EQ(verify.out, "Bad\t10\tout/a_1.skf\nFailed\n");
    CliRun merge = Cli("merge out/a.kdh");
    EXPECT_EQ(merge.status, 1);
    // The reason follows the rows, on standard error.
    EXPECT_EQ(merge.err, "Bad\t10\tout/a_1.skf\nout/a_1.skf: missing\n");
}

// With a checksum file the rows keep their three columns; why a row is Bad is said apart.
TEST_F(CliTest, VerifySaysWhyARowIsBadBesideTheThreeColumns) {
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(100000));
    ASSERT_EQ(Cli("split --checksums a.bin out --size 32768").status, 0);
    auto piece = testing::ReadBytes(temp / "out/a_2.skf");
    piece[0] ^= 1;
    testing::WriteBytes(temp / "out/a_2.skf", piece);
    piece.push_back(0);
    testing::WriteBytes(temp / "out/a_3.skf", piece);
    ::unlink((temp / "out/a_4.skf").c_str());
    CliRun verify = Cli("verify out/a.kdh");
    EXPECT_EQ(verify.status, 1);
    EXPECT_EQ(verify.out,
              "Good\t32768\tout/a_1.skf\nBad\t32768\tout/a_2.skf\nBad\t32768\tout/a_3.skf\n"
              "Bad\t1696\tout/a_4.skf\nFailed\n");
    EXPECT_EQ(verify.err,
              "out/a_2.skf: content differs\nout/a_3.skf: size differs\nout/a_4.skf: missing\n");
}

// A head file from someone else whose extension climbs out of the destination, in the 8-bit and
// the 16-bit text form: refused, and nothing outside or inside the folder changes.
TEST_F(CliTest, AHeadFileCannotWriteOutsideItsFolder) {
    ASSERT_EQ(Cli("options set overwriteMode=0 deleteAfterMerge=1 verifyBeforeMerge=0").status, 0);
    std::vector<std::uint8_t> wide = EncodeHeadFile({10, 1, 20, 20, ""});
    wide.pop_back();
    const std::u16string text = u"d/../../outside/victim";
    for (const auto byte : {0xFF, 0xFE, 0xFF, static_cast<int>(text.size())}) {
        wide.push_back(static_cast<std::uint8_t>(byte));
    }
    for (const char16_t unit : text) {
        wide.push_back(static_cast<std::uint8_t>(unit));
        wide.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    ::mkdir((temp / "in").c_str(), 0777);
    ::mkdir((temp / "outside").c_str(), 0777);
    for (const auto& head : {EncodeHeadFile({10, 1, 20, 20, "d/../../outside/victim"}), wide}) {
        testing::WriteBytes(temp / "in/movie.kdh", head);
        testing::WriteBytes(temp / "in/movie_1.skf", testing::RandomBytes(10));
        testing::WriteBytes(temp / "outside/victim", std::vector<char>{'v'});
        ::mkdir((temp / "in/movie.d").c_str(), 0777);
        for (const char* command : {"merge in/movie.kdh", "verify in/movie.kdh"}) {
            const CliRun run = Cli(command);
            EXPECT_EQ(run.status, 1) << command;
            EXPECT_EQ(run.err, "Error: Read info from head file error!\n") << command;
        }
        EXPECT_EQ(testing::ReadBytes(temp / "outside/victim"), std::vector<char>{'v'});
        EXPECT_TRUE(testing::Exists(temp / "in/movie.kdh"));
        EXPECT_TRUE(testing::Exists(temp / "in/movie_1.skf"));
    }
}

// 4294967295 one-byte pieces named by 20 bytes, one of them there: every command ends at once,
// in little memory, and creates nothing.
TEST_F(CliTest, AHeadFileNamingBillionsOfPiecesFailsFast) {
    ::mkdir((temp / "in").c_str(), 0777);
    testing::WriteBytes(temp / "in/x.kdh", EncodeHeadFile({4294967294u, 4294967295u, 1, 1, "bin"}));
    testing::WriteBytes(temp / "in/x_1.skf", std::vector<char>{'a'});
    const std::string limits = "ulimit -v 131072; exec timeout 30 ";
    const CliRun verify = Cli("verify in/x.kdh", limits);
    EXPECT_EQ(verify.status, 1);
    EXPECT_EQ(verify.out,
              "Good\t1\tin/x_1.skf\nBad\t1\tin/x_{2..4294967294}.skf\n"
              "Bad\t0\tin/x_4294967295.skf\nFailed\n");
    const CliRun checked = Cli("merge in/x.kdh", limits);
    EXPECT_EQ(checked.status, 1);
    EXPECT_EQ(checked.err,
              "Bad\t1\tin/x_{2..4294967294}.skf\nBad\t0\tin/x_4294967295.skf\n"
              "in/x_{2..4294967294}.skf: missing\nin/x_4294967295.skf: missing\n");
    ASSERT_EQ(Cli("options set verifyBeforeMerge=0").status, 0);
    const CliRun unchecked = Cli("merge in/x.kdh", limits);
    EXPECT_EQ(unchecked.status, 1);
    EXPECT_EQ(unchecked.err, "Error: Read file error!\n");
    EXPECT_FALSE(testing::Exists(temp / "in/x.bin"));
}

TEST_F(CliTest, OptionsAreShownSetAndReset) {
    CliRun shown = Cli("options");
    EXPECT_EQ(shown.out,
              "splitFolderMode=0\ndeleteAfterSplit=0\nmergeFolderMode=0\ndeleteAfterMerge=0\n"
              "verifyBeforeMerge=1\noverwriteMode=1\n");
    CliRun set = Cli("options set deleteAfterSplit=1 overwriteMode=-1");
    EXPECT_EQ(set.status, 0);
    EXPECT_EQ(set.out, "Change options successfully!\n");
    EXPECT_NE(Cli("options show").out.find("deleteAfterSplit=1\n"), std::string::npos);
    EXPECT_NE(Cli("options show").out.find("overwriteMode=-1\n"), std::string::npos);

    // The option now in force deletes the source after a split.
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(10));
    ASSERT_EQ(Cli("split a.bin out").status, 0);
    EXPECT_FALSE(testing::Exists(temp / "a.bin"));

    EXPECT_EQ(Cli("options reset").status, 3);
    EXPECT_EQ(Cli("--yes options reset").status, 0);
    EXPECT_EQ(testing::SizeOf(temp / "k.opt"), 24u);
    EXPECT_NE(Cli("options show").out.find("deleteAfterSplit=0\n"), std::string::npos);
}

TEST_F(CliTest, AShortOptionFileStopsEveryCommand) {
    testing::WriteBytes(temp / "k.opt", std::vector<char>(23));
    CliRun run = Cli("options show");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Error: Init failed!\n");
}

TEST_F(CliTest, ConcurrentRunsNeverResetOrFailToReadTheOptions) {
    const std::string cli = "'" KAVENDRUM_CLI_PATH "' --options-file ";
    // First starts at once, all of them finding no option file.
    std::string firstStarts = "for round in 1 2 3 4 5 6 7 8 9 10; do rm -f new.opt; ";
    for (int run = 0; run < 4; ++run) {
        firstStarts += cli + "new.opt options show >/dev/null 2>>first.err & ";
    }
    firstStarts += "wait; done";
    ASSERT_EQ(std::system(("cd '" + temp.path() + "' || exit 1; " + firstStarts).c_str()), 0);
    EXPECT_EQ(Slurp(temp / "first.err"), "");

    // Three loops show the options while a fourth stores them, 1 and 2 in turn.
    ASSERT_EQ(Cli("options set deleteAfterSplit=1").status, 0);
    std::string loops;
    for (int loop = 0; loop < 3; ++loop) {
        loops += "(for i in $(seq 120); do " + cli + "k.opt options show >>show.out 2>&1 || " +
                 "echo failed >>show.out; done) & ";
    }
    loops += "(for i in $(seq 60); do " + cli +
             "k.opt options set deleteAfterSplit=$((i % 2 + 1))" +
             " >/dev/null 2>>set.err || echo failed >>set.err; done) & wait";
    ASSERT_EQ(std::system(("cd '" + temp.path() + "' || exit 1; " + loops).c_str()), 0);
    EXPECT_EQ(Slurp(temp / "set.err"), "");
    std::istringstream shown(Slurp(temp / "show.out"));
    int runs = 0;
    std::string unexpected;  // a reset, a failure or anything else that is no option line
    for (std::string line; std::getline(shown, line);) {
        const bool stored = line == "deleteAfterSplit=1" || line == "deleteAfterSplit=2";
        runs += stored ? 1 : 0;
        if (line.rfind("deleteAfterSplit=", 0) == 0 ? !stored : line.find('=') == line.npos) {
            unexpected += line + "\n";
        }
    }
    EXPECT_EQ(unexpected, "");
    EXPECT_EQ(runs, 360);
}

TEST_F(CliTest, StreamsAreRefusedWithTheReason) {
    const std::string piped = "printf abc | '" KAVENDRUM_CLI_PATH "' --options-file '" +
                              (temp / "k.opt") + "' split /dev/stdin out 2>stderr";
    const int raw = std::system(("cd '" + temp.path() + "' && " + piped).c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1);
    EXPECT_EQ(Slurp(temp / "stderr"),
              "Error: File doesn't existed or can not be open!\n/dev/stdin: not a regular file\n");

    CliRun device = Cli("split /dev/null out");
    EXPECT_EQ(device.status, 1);
    EXPECT_EQ(device.err,
              "Error: File doesn't existed or can not be open!\n/dev/null: not a regular file\n");
    EXPECT_FALSE(testing::Exists(temp / "out"));

    // A file that is merely missing gets no reason line.
    EXPECT_EQ(Cli("split missing.bin out").err,
              "Error: File doesn't existed or can not be open!\n");
}

TEST_F(CliTest, AClosedStandardOutputDoesNotCutASplitShort) {
    testing::WriteBytes(temp / "big.bin", testing::RandomBytes(300000));
    const int raw = RunWithStdoutClosed("split big.bin out --size 100000");
    ASSERT_TRUE(WIFEXITED(raw)) << "ended by signal " << WTERMSIG(raw);
    EXPECT_EQ(WEXITSTATUS(raw), 0);
    EXPECT_EQ(testing::SizeOf(temp / "out/big.kdh"), 20u);
    EXPECT_TRUE(testing::Exists(temp / "out/big.bat"));
    EXPECT_EQ(Cli("verify out/big.kdh").status, 0);

    // A failure whose rows go to the closed output still says so in the exit status.
    ::unlink((temp / "out/big_2.skf").c_str());
    const int failed = RunWithStdoutClosed("verify out/big.kdh");
    ASSERT_TRUE(WIFEXITED(failed)) << "ended by signal " << WTERMSIG(failed);
    EXPECT_EQ(WEXITSTATUS(failed), 1);
}

TEST_F(CliTest, AWriteThatFailsNamesTheFileAndItsCause) {
    const auto source = testing::RandomBytes(3 << 20);
    testing::WriteBytes(temp / "big.bin", source);
    // Files may not grow past 1 MiB, so the first 2 MiB piece's write fails for real.
    CliRun run = Cli("split big.bin out --size 2097152", "trap '' XFSZ; ulimit -f 1024; exec ");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Kavendrum: Disk full while accessing out/big_1.skf.\n");
    EXPECT_EQ(testing::ReadBytes(temp / "big.bin"), source);
}

// The checksum file is checked by sha256sum alone: the pieces in their folder, and after a rejoin
// by cat the whole file too, with a space and a backslash in the names.
TEST_F(CliTest, Sha256sumChecksTheChecksumFileOfASplit) {
    const auto source = testing::RandomBytes(100000);
    testing::WriteBytes(temp / "my mo\\vie.avi", source);
    ASSERT_EQ(Cli("split --checksums 'my mo\\vie.avi' pieces --size 32768").status, 0);
    ASSERT_TRUE(testing::Exists(temp / "pieces/my mo\\vie.sha256"));
    const auto inPieces = [&](const std::string& command) {
        const std::string line =
            "cd '" + temp.path() + "/pieces' && " + command + " >'" + (temp / "stdout") + "' 2>&1";
        const int raw = std::system(line.c_str());
        return CliRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(temp / "stdout"), ""};
    };
    const CliRun pieces = inPieces("sha256sum -c --ignore-missing 'my mo\\vie.sha256'");
    EXPECT_EQ(pieces.status, 0) << pieces.out;
    EXPECT_EQ(pieces.out.find("FAILED"), std::string::npos) << pieces.out;
    EXPECT_NE(pieces.out.find("my mo\\vie_4.skf: OK"), std::string::npos) << pieces.out;

    const CliRun whole = inPieces(
        "cat 'my mo\\vie_1.skf' 'my mo\\vie_2.skf' 'my mo\\vie_3.skf' 'my mo\\vie_4.skf' "
        "> 'my mo\\vie.avi' && sha256sum -c 'my mo\\vie.sha256'");
    EXPECT_EQ(whole.status, 0) << whole.out;
    EXPECT_NE(whole.out.find("my mo\\vie.avi: OK"), std::string::npos) << whole.out;

    // A flipped byte is caught by sha256sum too.
    auto piece = testing::ReadBytes(temp / "pieces/my mo\\vie_2.skf");
    piece[100] ^= 1;
    testing::WriteBytes(temp / "pieces/my mo\\vie_2.skf", piece);
    EXPECT_NE(inPieces("sha256sum -c --ignore-missing 'my mo\\vie.sha256'").status, 0);
}

// A merge that removes its pieces is killed at random moments. After each kill every byte of the
// file is still somewhere: in its piece, or in the output as the journal counts it. The next run
// takes the merge up, and the last one ends with the file byte for byte, with and without a
// checksum file.
TEST_F(CliTest, AMergeKilledAtRandomMomentsIsCompletedByTheNextRun) {
    constexpr std::size_t kPiece = 1 << 19;
    const auto source = testing::RandomBytes(24 * kPiece + 12345, 21);
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    int totalKills = 0;
    int killedWithAJournal = 0;  // runs stopped after removing pieces, to be taken up
    for (const bool checksums : {false, true, false, true}) {
        SCOPED_TRACE(checksums ? "with a checksum file" : "without a checksum file");
        std::filesystem::remove_all(temp / "pieces");
        std::filesystem::remove_all(temp / "back");
        testing::WriteBytes(temp / "x.bin", source);
        ASSERT_EQ(
            Cli(std::string("split x.bin pieces --size 524288") + (checksums ? " --checksums" : ""))
                .status,
            0);
        ASSERT_EQ(Cli("options set deleteAfterMerge=1").status, 0);
        const std::string program = KAVENDRUM_CLI_PATH;
        const std::string options = temp / "k.opt";
        const std::string head = temp / "pieces/x.kdh";
        const std::string back = temp / "back";
        std::vector<const char*> argv = {program.c_str(), "--yes", "--quiet",    "--options-file",
                                         options.c_str(), "merge", head.c_str(), "--dest",
                                         back.c_str(),    nullptr};
        int kills = 0;
        for (int attempt = 0; attempt < 60; ++attempt) {
            pid_t child = 0;
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
            ASSERT_EQ(posix_spawn(&child, program.c_str(), &actions, nullptr,
                                  const_cast<char* const*>(argv.data()), environ),
                      0);
            posix_spawn_file_actions_destroy(&actions);
            std::this_thread::sleep_for(
                std::chrono::microseconds(std::uniform_int_distribution<int>(0, 80000)(random)));
            kill(child, SIGKILL);
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            if (WIFEXITED(status)) {
                ASSERT_EQ(WEXITSTATUS(status), 0) << "attempt " << attempt;
                break;
            }
            ++kills;
            // No byte is lost at this moment.
            const auto journal = ReadJournal(temp / "pieces/x.kdj",
                                             MakeHeadFileInfo(source.size(), 25, kPiece, "bin"));
            killedWithAJournal += journal ? 1 : 0;
            const auto output = testing::Exists(temp / "back/x.bin")
                                    ? testing::ReadBytes(temp / "back/x.bin")
                                    : std::vector<char>();
            if (!testing::Exists(head)) {
                // Killed in its last steps: the file is whole, and the journal of a merge that
                // had ended may be left behind.
                ASSERT_EQ(output, source) << "the head file went before the file was whole";
                std::filesystem::remove(temp / "pieces/x.kdj");
                break;
            }
            for (std::size_t number = 1; number <= 25; ++number) {
                const std::string piece = temp / ("pieces/x_" + std::to_string(number) + ".skf");
                const std::size_t from = (number - 1) * kPiece;
                if (testing::Exists(piece)) {
                    continue;
                }
                ASSERT_TRUE(journal && journal->piecesMerged >= number)
                    << "piece " << number << " went without a record, attempt " << attempt;
                ASSERT_GE(output.size(), journal->outputLength);
                ASSERT_TRUE(std::equal(source.begin(), source.begin() + from, output.begin()))
                    << "piece " << number;
            }
        }
        if (testing::Exists(head)) {
            const CliRun last = Cli("--yes merge pieces/x.kdh --dest back");
            ASSERT_EQ(last.status, 0) << last.err;
        }
        EXPECT_EQ(testing::ReadBytes(temp / "back/x.bin"), source) << kills << " kills";
        for (const char* gone : {"pieces/x.kdh", "pieces/x.kdj", "pieces/x_1.skf",
                                 "pieces/x_25.skf", "pieces/x.sha256"}) {
            EXPECT_FALSE(testing::Exists(temp / gone)) << gone;
        }
        totalKills += kills;
    }
    // Enough of the runs were stopped for the check to mean something.
    EXPECT_GE(totalKills, 6);
    EXPECT_GE(killedWithAJournal, 1);
}

}  // namespace
}  // namespace kavendrum
