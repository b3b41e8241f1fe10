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

#include "cli/cli_fixture.h"
#include "engine/head_file.h"
#include "engine/merge_journal.h"
#include "support/loop_device.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::CliRun;
using testing::CliTest;
using testing::Slurp;

TEST_F(CliTest, SplitVerifyAndMergeFromTheTerminal) {
    const auto source = testing::RandomBytes(100000);
    testing::WriteBytes(temp / "movie.avi", source);
    CliRun split = Cli("split movie.avi pieces --size 32768");
    ASSERT_EQ(split.status, 0) << split.err;
    EXPECT_EQ(
        split.out.rfind("Split file successfully!\nTo Re-Join, run the file: \"pieces/movie.bat\"\n"
                        "To rejoin without Kavendrum: (cd './pieces' && (n=4; ",
                        0),
        0u)
        << split.out;
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
    EXPECT_EQ(missing.err,
              "kavendrum-cli: File doesn't existed or can not be open!\n"
              "kavendrum-cli: nothing.bin: No such file or directory\n");

    EXPECT_EQ(Cli("split a.bin out --size 0").status, 2);
    EXPECT_EQ(Cli("split a.bin out --size 4294967296").status, 2);
    EXPECT_EQ(Cli("frobnicate").status, 2);
    const CliRun typo = Cli("splt a.bin out");
    EXPECT_EQ(typo.status, 2);
    EXPECT_EQ(typo.err,
              "kavendrum-cli: unknown command 'splt'; did you mean split?\n"
              "Run with --help for more information.\n");
    const CliRun late = Cli("a.bin split out");
    EXPECT_EQ(late.status, 2);
    EXPECT_EQ(
        late.err.rfind("kavendrum-cli: the command comes first: kavendrum-cli --options-file ", 0),
        0u)
        << late.err;
    EXPECT_NE(late.err.find("k.opt split a.bin out\n"), std::string::npos) << late.err;
    EXPECT_FALSE(testing::Exists(temp / "out"));
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
    EXPECT_EQ(merge.err,
              "Bad\t10\tout/a_1.skf\nout/a_1.skf: missing\n"
              "kavendrum-cli: 1 missing of 1 pieces: copy it again into out and run again\n");
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
              "out/a_2.skf: content differs\nout/a_3.skf: size differs\nout/a_4.skf: missing\n"
              "kavendrum-cli: 1 missing and 2 bad of 4 pieces: copy them again into out and run "
              "again\n");
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
            EXPECT_EQ(run.err,
                      "kavendrum-cli: Read info from head file error!\nkavendrum-cli: "
                      "in/movie.kdh: not a "
                      "head file that a split wrote, or cut short\n")
                << command;
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
    // The last piece is empty: it holds no byte, so it is not missing.
    EXPECT_EQ(verify.out,
              "Good\t1\tin/x_1.skf\nBad\t1\tin/x_{2..4294967294}.skf\n"
              "Good\t0\tin/x_4294967295.skf\nFailed\n");
    const CliRun checked = Cli("merge in/x.kdh", limits);
    EXPECT_EQ(checked.status, 1);
    EXPECT_EQ(checked.err,
              "Bad\t1\tin/x_{2..4294967294}.skf\n"
              "in/x_{2..4294967294}.skf: missing\n"
              "kavendrum-cli: 4294967293 missing of 4294967295 pieces: copy them again into in "
              "and run again\n"
              "kavendrum-cli: no checksum file in/x.sha256: only the pieces' sizes were checked, "
              "not their content\n");
    ASSERT_EQ(Cli("options set verifyBeforeMerge=0").status, 0);
    const CliRun unchecked = Cli("merge in/x.kdh", limits);
    EXPECT_EQ(unchecked.status, 1);
    EXPECT_EQ(
        unchecked.err,
        "kavendrum-cli: Read file error!\nkavendrum-cli: in/x_2.skf: No such file or directory\n");
    EXPECT_FALSE(testing::Exists(temp / "in/x.bin"));
}

// A checksum file of 111 MB whose lines name piece 1 again and again is read in a few megabytes;
// a second, different digest for piece 2 at its very end still makes that piece Bad.
TEST_F(CliTest, AHugeChecksumFileIsReadInLittleMemory) {
    testing::WriteBytes(temp / "x.bin", testing::RandomBytes(3000));
    ASSERT_EQ(Cli("--yes split --checksums --size 1000 x.bin out").status, 0);
    ASSERT_EQ(Shell("line=$(head -n 1 out/x.sha256) && yes \"$line\" | head -n 1500000 >> "
                    "out/x.sha256"),
              0);
    const std::string limits = "ulimit -v 60000; exec timeout 60 ";
    const CliRun passed = Cli("verify out/x.kdh", limits);
    EXPECT_EQ(passed.status, 0) << passed.err;
    EXPECT_TRUE(passed.out.ends_with("\nPassed\n")) << passed.out;
    ASSERT_EQ(Shell("echo \"$(printf '0%.0s' $(seq 64))  x_2.skf\" >> out/x.sha256"), 0);
    const CliRun disputed = Cli("verify out/x.kdh", limits);
    EXPECT_EQ(disputed.status, 1);
    EXPECT_EQ(disputed.err,
              "out/x_2.skf: content differs\n"
              "kavendrum-cli: 1 bad of 4 pieces: copy it again into out and run again\n");
}

// Whatever the memory limit, every command ends with a status of its own and says why it failed:
// an allocation that fails is no abort. Limits below what the libraries need stop the loader
// before the program starts (127).
TEST_F(CliTest, RunningOutOfMemoryIsAFailureThatSaysSo) {
    testing::WriteBytes(temp / "x.bin", testing::RandomBytes(3000));
    ASSERT_EQ(Cli("--yes split --checksums --size 1000 x.bin out").status, 0);
    bool saidOutOfMemory = false;
    for (const char* command :
         {"verify out/x.kdh", "--yes merge out/x.kdh --dest m", "--yes split x.bin s --size 999"}) {
        for (int kilobytes = 9216; kilobytes <= 17408; kilobytes += 256) {
            // Just above what the loader needs, the libraries' own start-up before main can
            // still find no memory and abort; the program has not begun there, so such a limit
            // tells nothing of it.
            const std::string limit = "ulimit -v " + std::to_string(kilobytes) + "; exec ";
            if (Cli("--version", limit).status != 0) {
                continue;
            }
            const CliRun run = Cli(command, limit);
            ASSERT_TRUE(run.status == 0 || run.status == 1 || run.status == 127)
                << command << " under " << kilobytes << " KiB: " << run.status << " " << run.err;
            if (run.status == 1) {
                EXPECT_FALSE(run.err.empty()) << command << " under " << kilobytes << " KiB";
            }
            saidOutOfMemory = saidOutOfMemory ||
                              run.err.find("kavendrum-cli: out of memory\n") != std::string::npos;
            Shell("rm -rf m s");
        }
    }
    // Some limit lets the program start and then fail an allocation.
    EXPECT_TRUE(saidOutOfMemory);
}

TEST_F(CliTest, OptionsAreShownSetAndReset) {
    CliRun shown = Cli("options");
    EXPECT_EQ(shown.out,
              "splitFolderMode=0 (create)\ndeleteAfterSplit=0 (keep)\nmergeFolderMode=0 (create)\n"
              "deleteAfterMerge=0 (keep)\nverifyBeforeMerge=1 (verify)\noverwriteMode=1 (ask)\n");
    CliRun set = Cli("options set deleteAfterSplit=1 overwriteMode=-1");
    EXPECT_EQ(set.status, 0);
    EXPECT_EQ(set.out, "Change options successfully!\n");
    EXPECT_NE(Cli("options show").out.find("deleteAfterSplit=1 (delete)\n"), std::string::npos);
    EXPECT_NE(Cli("options show").out.find("overwriteMode=-1 (always)\n"), std::string::npos);
    // By name, into the same numbers the option file has always held.
    ASSERT_EQ(Cli("options set mergeFolderMode=ask overwriteMode=ask").status, 0);
    const auto stored = testing::ReadBytes(temp / "k.opt");
    EXPECT_EQ(std::vector<char>(stored.begin() + 8, stored.begin() + 12),
              (std::vector<char>{1, 0, 0, 0}));
    EXPECT_EQ(std::vector<char>(stored.begin() + 20, stored.end()),
              (std::vector<char>{1, 0, 0, 0}));
    EXPECT_EQ(Cli("options set overwriteMode").err,
              "kavendrum-cli: 'overwriteMode' needs a value, such as overwriteMode=always or "
              "overwriteMode=ask\n");
    const CliRun wrong = Cli("options set overwriteMode=create");
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.err, "kavendrum-cli: 'create' is neither always, ask nor a 32-bit integer\n");
    ASSERT_EQ(Cli("options set deleteAfterSplit=delete overwriteMode=-1").status, 0);

    // The option now in force deletes the source after a split.
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(10));
    ASSERT_EQ(Cli("split a.bin out").status, 0);
    EXPECT_FALSE(testing::Exists(temp / "a.bin"));

    EXPECT_EQ(Cli("options reset").status, 3);
    EXPECT_EQ(Cli("--yes options reset").status, 0);
    EXPECT_EQ(testing::SizeOf(temp / "k.opt"), 24u);
    EXPECT_NE(Cli("options show").out.find("deleteAfterSplit=0 (keep)\n"), std::string::npos);
}

TEST_F(CliTest, AShortOptionFileStopsEveryCommand) {
    testing::WriteBytes(temp / "k.opt", std::vector<char>(23));
    CliRun run = Cli("options show");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "kavendrum-cli: Init failed!\nkavendrum-cli: " + (temp / "k.opt") +
                           ": the option file is shorter than 24 bytes, or cannot be created\n");
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
        const bool stored =
            line == "deleteAfterSplit=1 (delete)" || line == "deleteAfterSplit=2 (delete)";
        runs += stored ? 1 : 0;
        if (line.rfind("deleteAfterSplit=", 0) == 0 ? !stored : line.find('=') == line.npos) {
            unexpected += line + "\n";
        }
    }
    EXPECT_EQ(unexpected, "");
    EXPECT_EQ(runs, 360);
}

// A disk's size is its device's, not its node's: --pieces cuts it into that many pieces.
TEST_F(CliTest, PiecesOfADiskComeFromTheDisksSize) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "a loop device can only be set up by root";
    }
    const auto image = testing::RandomBytes(200 * 512);
    testing::WriteBytes(temp / "disk.img", image);
    testing::LoopDevice device(temp / "disk.img");
    if (device.path().empty()) {
        GTEST_SKIP() << "losetup could not attach a loop device here";
    }
    ASSERT_EQ(Cli("split '" + device.path() + "' out --pieces 4").status, 0);
    const std::string base = temp / ("out/" + device.path().substr(device.path().rfind('/') + 1));
    EXPECT_EQ(testing::SizeOf(base + "_1.skf"), 25601u);
    EXPECT_EQ(testing::SizeOf(base + "_4.skf"), 25597u);
    EXPECT_FALSE(testing::Exists(base + "_5.skf"));
}

TEST_F(CliTest, StreamsAreRefusedWithTheReason) {
    const std::string piped = "printf abc | '" KAVENDRUM_CLI_PATH "' --options-file '" +
                              (temp / "k.opt") + "' split /dev/stdin out 2>stderr";
    const int raw = std::system(("cd '" + temp.path() + "' && " + piped).c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1);
    EXPECT_EQ(
        Slurp(temp / "stderr"),
        "kavendrum-cli: File doesn't existed or can not be open!\nkavendrum-cli: /dev/stdin: not a "
        "regular file (split - reads standard input)\n");

    CliRun device = Cli("split /dev/null out");
    EXPECT_EQ(device.status, 1);
    EXPECT_EQ(
        device.err,
        "kavendrum-cli: File doesn't existed or can not be open!\nkavendrum-cli: /dev/null: not a "
        "regular file (split - reads standard input)\n");
    EXPECT_FALSE(testing::Exists(temp / "out"));

    // A file that is merely missing gets the system's reason.
    EXPECT_EQ(Cli("split missing.bin out").err,
              "kavendrum-cli: File doesn't existed or can not be open!\n"
              "kavendrum-cli: missing.bin: No such file or directory\n");
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

// Links planted at every name a merge writes: the output, the file it builds beside the output,
// and the journal's scratch file, live and dangling. Nothing is written through any of them, and
// the question before an existing output is replaced says that a link stands there.
TEST_F(CliTest, AMergeNeverWritesThroughALink) {
    const auto source = testing::RandomBytes(100000, 3);
    testing::WriteBytes(temp / "x.bin", source);
    ASSERT_EQ(Cli("split x.bin pieces --size 32768").status, 0);
    testing::WriteBytes(temp / "private", std::vector<char>{'p'});
    ::mkdir((temp / "back").c_str(), 0777);
    ASSERT_EQ(::symlink("../private", (temp / "back/x.bin").c_str()), 0);
    ASSERT_EQ(::symlink("../private", (temp / "back/x.bin.kdpart").c_str()), 0);
    ASSERT_EQ(::symlink("../private", (temp / "pieces/x.kdj.new").c_str()), 0);
    ASSERT_EQ(::symlink("../made", (temp / "pieces/x.kdj.new1").c_str()), 0);
    const CliRun asked = Cli("merge pieces/x.kdh --dest back");
    EXPECT_EQ(asked.status, 3);
    EXPECT_NE(asked.err.find("back/x.bin, a symbolic link to ../private"), std::string::npos)
        << asked.err;
    ASSERT_EQ(Cli("options set deleteAfterMerge=1").status, 0);
    const CliRun merged = Cli("--yes merge pieces/x.kdh --dest back");
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(testing::ReadBytes(temp / "private"), std::vector<char>{'p'});
    EXPECT_FALSE(testing::Exists(temp / "made"));
    struct stat info {};
    ASSERT_EQ(::lstat((temp / "back/x.bin").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(testing::ReadBytes(temp / "back/x.bin"), source);
    EXPECT_FALSE(testing::Exists(temp / "pieces/x_1.skf"));
    EXPECT_FALSE(testing::Exists(temp / "pieces/x.kdh"));
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
    // The kills land within the first third of the time a whole merge of this kind takes on this
    // machine, so that a fast machine stops as many runs as a slow one; a round that was stopped
    // fewer than twice, the machine having sped up, halves that for the rounds after it.
    testing::WriteBytes(temp / "x.bin", source);
    ASSERT_EQ(Cli("split --no-checksums x.bin calibration --size 524288").status, 0);
    ASSERT_EQ(Cli("options set deleteAfterMerge=1").status, 0);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(Cli("--yes merge calibration/x.kdh --dest calibration/back").status, 0);
    const auto wholeMerge = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - started);
    long killWindow = wholeMerge.count() / 3;
    for (const bool checksums : {false, true, false, true}) {
        SCOPED_TRACE(checksums ? "with a checksum file" : "without a checksum file");
        std::filesystem::remove_all(temp / "pieces");
        std::filesystem::remove_all(temp / "back");
        testing::WriteBytes(temp / "x.bin", source);
        ASSERT_EQ(Cli(std::string("split x.bin pieces --size 524288") +
                      (checksums ? "" : " --no-checksums"))
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
            std::this_thread::sleep_for(std::chrono::microseconds(
                std::uniform_int_distribution<long>(0, killWindow)(random)));
            kill(child, SIGKILL);
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            if (WIFEXITED(status)) {
                ASSERT_EQ(WEXITSTATUS(status), 0) << "attempt " << attempt;
                break;
            }
            ++kills;
            // No byte is lost at this moment.
            const auto stored = ReadJournal(temp / "pieces/x.kdj",
                                            MakeHeadFileInfo(source.size(), 25, kPiece, "bin"));
            const auto journal =
                stored ? std::optional<MergeJournal>(stored->journal) : std::nullopt;
            killedWithAJournal += journal ? 1 : 0;
            // The output's name holds the whole file or nothing; the bytes the journal counts
            // are in the file it names beside it, or already under that name.
            const std::string final = temp / "back/x.bin";
            if (testing::Exists(final)) {
                ASSERT_EQ(testing::ReadBytes(final), source)
                    << "a partial file under the output's name, attempt " << attempt;
            }
            const std::string kept = journal ? PartialPath(final, journal->partial) : final;
            const auto output = testing::Exists(kept)    ? testing::ReadBytes(kept)
                                : testing::Exists(final) ? testing::ReadBytes(final)
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
        killWindow = kills < 2 ? killWindow / 2 : killWindow;
    }
    // Enough of the runs were stopped for the check to mean something.
    EXPECT_GE(totalKills, 6);
    EXPECT_GE(killedWithAJournal, 1);
}

}  // namespace
}  // namespace kavendrum

namespace kavendrum {
namespace {

using testing::CliRun;
using testing::CliTest;

// The four numbers at the start of a head file.
std::vector<std::uint32_t> HeadNumbers(const std::string& path) {
    const auto bytes = testing::ReadBytes(path);
    std::vector<std::uint32_t> numbers;
    for (std::size_t at = 0; at + 4 <= bytes.size() && numbers.size() < 4; at += 4) {
        std::uint32_t value = 0;
        for (int byte = 3; byte >= 0; --byte) {
            value = value << 8 | static_cast<std::uint8_t>(bytes[at + byte]);
        }
        numbers.push_back(value);
    }
    return numbers;
}

TEST_F(CliTest, SizesTakeSuffixesAndLeadingZerosAreDecimal) {
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(3000000));
    const struct {
        const char* text;
        std::uint32_t bytes;
    } sizes[] = {{"01457664", 1457664}, {"25K", 25600},         {"25KiB", 25600},
                 {"25KB", 25000},       {"2M", 2097152},        {"2MiB", 2097152},
                 {"2MB", 2000000},      {"1G", 1073741824},     {"1GB", 1000000000},
                 {"25k", 25600},        {"2m", 2097152},        {"1.5M", 1572864},
                 {"'25 MB'", 25000000}, {"fat32", 4294967295u}, {"email", 18269229}};
    for (const auto& size : sizes) {
        CliRun run = Cli(std::string("--yes split a.bin out --size ") + size.text);
        ASSERT_EQ(run.status, 0) << size.text << ": " << run.err;
        EXPECT_EQ(HeadNumbers(temp / "out/a.kdh")[2], size.bytes) << size.text;
    }
    for (const char* text : {"25X", "0x10", "1.5", "25mb", "-1", "5b"}) {
        CliRun run = Cli(std::string("split a.bin out --size ") + text);
        EXPECT_EQ(run.status, 2) << text;
        EXPECT_NE(run.err.find(std::string("cannot read '") + text + "' as a size"),
                  std::string::npos)
            << run.err;
        // And what would have been read.
        EXPECT_NE(run.err.find("Named sizes: fat32 (4294967295"), std::string::npos) << run.err;
    }
    for (const char* text : {"0", "4G", "4294967296", "99999999999999999999"}) {
        CliRun run = Cli(std::string("split a.bin out --size ") + text);
        EXPECT_EQ(run.status, 2) << text;
        EXPECT_NE(run.err.find("not a piece size from 1 to 4294967295"), std::string::npos)
            << run.err;
    }
}

TEST_F(CliTest, TheLargestPieceSizeSplitsASmallFileIntoOnePieceAndBack) {
    const auto source = testing::RandomBytes(3000000);
    testing::WriteBytes(temp / "a.bin", source);
    ASSERT_EQ(Cli("split a.bin out --size 4294967295").status, 0);
    EXPECT_EQ(HeadNumbers(temp / "out/a.kdh"),
              (std::vector<std::uint32_t>{3000000, 1, 4294967295u, 1457664}));
    EXPECT_EQ(testing::ReadBytes(temp / "out/a_1.skf"), source);
    EXPECT_FALSE(testing::Exists(temp / "out/a_2.skf"));
    ASSERT_EQ(Cli("merge out/a.kdh --dest back").status, 0);
    EXPECT_EQ(testing::ReadBytes(temp / "back/a.bin"), source);
}

TEST_F(CliTest, PiecesCutIntoExactlyThatManyAndRefuseWhatCannotBe) {
    const struct {
        std::size_t fileSize;
        std::uint32_t count;
        std::vector<std::uint64_t> pieceSizes;
    } cases[] = {
        {100000, 3, {33334, 33334, 33332}},
        {100, 4, {26, 26, 26, 22}},  // does not divide: no empty fifth piece
        {99, 3, {34, 34, 31}},
        {6, 4, {2, 2, 2, 0}},  // only an empty last piece gives four
        {7, 1, {7}},
    };
    for (const auto& plan : cases) {
        const auto source = testing::RandomBytes(plan.fileSize);
        testing::WriteBytes(temp / "a.bin", source);
        CliRun run = Cli("--yes split a.bin out --pieces " + std::to_string(plan.count));
        ASSERT_EQ(run.status, 0) << run.err;
        for (std::size_t i = 0; i < plan.pieceSizes.size(); ++i) {
            EXPECT_EQ(testing::SizeOf(temp / ("out/a_" + std::to_string(i + 1) + ".skf")),
                      plan.pieceSizes[i])
                << plan.fileSize << " in " << plan.count << ", piece " << i + 1;
        }
        EXPECT_EQ(HeadNumbers(temp / "out/a.kdh")[1], plan.count);
        ASSERT_EQ(Cli("--yes merge out/a.kdh --dest back").status, 0);
        EXPECT_EQ(testing::ReadBytes(temp / "back/a.bin"), source);
        Shell("rm -rf out back");
    }
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(5));
    CliRun impossible = Cli("split a.bin out --pieces 4");
    EXPECT_EQ(impossible.status, 2);
    EXPECT_NE(impossible.err.find("a file of 5 bytes cannot be cut into 4 pieces"),
              std::string::npos)
        << impossible.err;
    EXPECT_FALSE(testing::Exists(temp / "out"));
    EXPECT_EQ(Cli("split a.bin out --pieces 0").status, 2);
    EXPECT_EQ(Cli("split a.bin out --pieces 2 --size 1").status, 2);
}

TEST_F(CliTest, GlobalOptionsMayFollowTheCommand) {
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(10));
    ASSERT_EQ(Cli("split a.bin out").status, 0);
    EXPECT_EQ(Cli("split a.bin out --no").status, 3);
    EXPECT_EQ(Cli("split a.bin out --yes").status, 0);
    EXPECT_EQ(Cli("split a.bin out --size 5 --yes --quiet").status, 0);
    CliRun silent = Cli("merge out/a.kdh --dest back --silent");
    EXPECT_EQ(silent.status, 0);
    EXPECT_EQ(silent.out, "");
}

TEST_F(CliTest, ABareHeadFileNameMergesInTheCurrentFolder) {
    const auto source = testing::RandomBytes(70000);
    testing::WriteBytes(temp / "movie.avi", source);
    ASSERT_EQ(Cli("split movie.avi . --size 32K").status, 0);
    ::unlink((temp / "movie.avi").c_str());
    CliRun merge = Cli("merge movie.kdh");
    ASSERT_EQ(merge.status, 0) << merge.err;
    EXPECT_EQ(merge.out, "Merge files successfully!\n");
    EXPECT_EQ(testing::ReadBytes(temp / "movie.avi"), source);
    EXPECT_EQ(Cli("verify movie.kdh").status, 0);
}

TEST_F(CliTest, AHeadFileNotEndingInKdhIsNamedAsTheFault) {
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(10));
    ASSERT_EQ(Cli("split a.bin out").status, 0);
    ASSERT_EQ(std::rename((temp / "out/a.kdh").c_str(), (temp / "out/a.khd").c_str()), 0);
    for (const char* options : {"", "verifyBeforeMerge=0"}) {
        if (*options != '\0') {
            ASSERT_EQ(Cli(std::string("options set ") + options).status, 0);
        }
        CliRun merge = Cli("merge out/a.khd");
        EXPECT_EQ(merge.status, 1);
        EXPECT_EQ(merge.err,
                  "kavendrum-cli: Invalid head file name!\n"
                  "kavendrum-cli: out/a.khd: a head file's name ends in .kdh\n")
            << options;
    }
}

// Two slips of the hand: a folder named where its head file belongs, and a size typed where the
// destination folder goes.
TEST_F(CliTest, AFolderForTheHeadFileOrASizeForTheFolderIsNamedAsTheSlip) {
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(10));
    ASSERT_EQ(Cli("split a.bin out").status, 0);
    for (const char* command : {"verify", "merge", "repair"}) {
        CliRun run = Cli(std::string(command) + " out");
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_NE(run.err.find("kavendrum-cli: out is a folder; name its head file: out/a.kdh\n"),
                  std::string::npos)
            << command << ": " << run.err;
    }
    ASSERT_EQ(Shell("mkdir empty && cp out/a.kdh out/b.kdh"), 0);
    EXPECT_NE(Cli("verify out").err.find("name its head file: out/a.kdh, out/b.kdh\n"),
              std::string::npos);
    EXPECT_EQ(Cli("verify empty/").err.find(" is a folder"), std::string::npos);

    for (const char* size : {"25M", "fat32", "1457664"}) {
        CliRun split = Cli(std::string("split a.bin ") + size);
        EXPECT_EQ(split.status, 2) << size;
        EXPECT_NE(split.err.find("'" + std::string(size) + "' reads as a piece size"),
                  std::string::npos)
            << split.err;
        EXPECT_FALSE(testing::Exists(temp / size)) << size;
    }
    // Said plainly, or named as a folder that is there, it is a folder.
    EXPECT_EQ(Cli("split a.bin ./25M").status, 0);
    EXPECT_EQ(Cli("split a.bin 30M --size 4").status, 0);
    EXPECT_TRUE(testing::Exists(temp / "30M/a_3.skf"));
    ASSERT_EQ(Shell("mkdir 650M"), 0);
    EXPECT_EQ(Cli("split a.bin 650M").status, 0);
    EXPECT_TRUE(testing::Exists(temp / "650M/a.kdh"));
}

TEST_F(CliTest, ADeclinedQuestionNamesItsFileAndSaysHowToAnswer) {
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(10));
    ASSERT_EQ(Cli("split a.bin out").status, 0);
    CliRun split = Cli("split a.bin out");
    EXPECT_EQ(split.status, 3);
    EXPECT_EQ(split.out, "");
    EXPECT_EQ(split.err,
              "Overwrite Warning: There are same name files in this folder,overwrite it? "
              "(out/a.kdh)\n"
              "kavendrum-cli: no terminal to answer on, so the answer is Cancel; run again with "
              "--yes to answer OK, or with --no to answer Cancel\n");
    // Asked for Cancel, the user needs no advice.
    EXPECT_EQ(Cli("--no split a.bin out").err, "");

    ASSERT_EQ(Cli("options set mergeFolderMode=1").status, 0);
    CliRun merge = Cli("merge out/a.kdh --dest new");
    EXPECT_EQ(merge.status, 3);
    EXPECT_EQ(
        merge.err.rfind("Message: Folder doesn't exist, do you want to create it? (new)\n", 0), 0u)
        << merge.err;
    EXPECT_FALSE(testing::Exists(temp / "new"));
}

TEST_F(CliTest, ErrorsAboutAFileNameItWithTheSystemsReason) {
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(10));
    CliRun head = Cli("merge missing.kdh");
    EXPECT_EQ(head.status, 1);
    EXPECT_EQ(head.err,
              "kavendrum-cli: Head file doesn't existed or can not be opened!\n"
              "kavendrum-cli: missing.kdh: No such file or directory\n");
    CliRun verify = Cli("verify missing.kdh");
    EXPECT_EQ(verify.err,
              "kavendrum-cli: Head file open error!\nkavendrum-cli: missing.kdh: No such file or "
              "directory\n");
    // A folder in the way of the folder to be made.
    testing::WriteBytes(temp / "file", testing::RandomBytes(1));
    CliRun folder = Cli("split a.bin file/sub");
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.err,
              "kavendrum-cli: Can not create folder!\nkavendrum-cli: file/sub: Not a directory\n");
    testing::WriteBytes(temp / "short.kdh", testing::RandomBytes(5));
    CliRun unsound = Cli("merge short.kdh");
    EXPECT_EQ(unsound.err,
              "kavendrum-cli: Read info from head file error!\n"
              "kavendrum-cli: short.kdh: not a head file that a split wrote, or cut short\n");
}

TEST_F(CliTest, ANameNoBatchFileCarriesFailsTheSplitButStillGetsTheShellRejoin) {
    testing::WriteBytes(temp / "say \"hi\".bin", testing::RandomBytes(10));
    CliRun split = Cli("split 'say \"hi\".bin' out");
    EXPECT_EQ(split.status, 1);
    EXPECT_EQ(split.err,
              "kavendrum-cli: Create batch file error!\n"
              "kavendrum-cli: out/say \"hi\".bat: not written: a name holds a character that no "
              "batch file carries safely, or it is the file being split\n");
    EXPECT_NE(split.out.find("\nTo rejoin without Kavendrum: (cd './out' && (n=1; "),
              std::string::npos)
        << split.out;
    // A split that stopped before its pieces were whole offers no command.
    CliRun declined = Cli("split 'say \"hi\".bin' out");
    EXPECT_EQ(declined.status, 3);
    EXPECT_EQ(declined.out, "");
}

TEST_F(CliTest, QuietHidesProgressSilentAlsoSuccessButNeverErrors) {
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(10));
    CliRun quiet = Cli("-q split a.bin out");
    EXPECT_EQ(quiet.status, 0);
    EXPECT_NE(quiet.out.find("Split file successfully!"), std::string::npos);
    for (const char* silent : {"--silent", "-q -q", "-qq", "--quiet -q"}) {
        CliRun run = Cli(std::string("--yes ") + silent + " split a.bin out");
        EXPECT_EQ(run.status, 0) << silent;
        EXPECT_EQ(run.out, "") << silent;
        EXPECT_EQ(run.err, "") << silent;
        CliRun merge = Cli(std::string(silent) + " --yes merge out/a.kdh --dest back");
        EXPECT_EQ(merge.out, "") << silent;
        CliRun failing = Cli(std::string(silent) + " split nothing.bin out");
        EXPECT_EQ(failing.status, 1);
        EXPECT_NE(failing.err.find("kavendrum-cli: File doesn't existed"), std::string::npos)
            << silent;
    }
}

TEST_F(CliTest, HelpShowsExamplesAndExitStatusesAndTheVersionIsThere) {
    CliRun version = Cli("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("kavendrum-cli ", 0), 0u);
    for (const char* command : {"", "split ", "verify ", "merge ", "options "}) {
        CliRun help = Cli(std::string(command) + "--help");
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find("Examples:\n  kavendrum-cli "), std::string::npos) << command;
        EXPECT_NE(help.out.find("  3  a question was answered Cancel"), std::string::npos)
            << command;
    }
    const std::string options = Cli("options --help").out;
    for (const char* field : {"splitFolderMode", "deleteAfterSplit", "mergeFolderMode",
                              "deleteAfterMerge", "verifyBeforeMerge", "overwriteMode"}) {
        EXPECT_NE(options.find(std::string("  ") + field + " "), std::string::npos) << field;
    }
}

// A split writes the checksum file unless told not to, so that a changed byte is caught; without
// one, verify and merge say that they checked sizes alone.
TEST_F(CliTest, ChecksumsAreWrittenUnlessLeftOut) {
    const auto source = testing::RandomBytes(100000);
    testing::WriteBytes(temp / "a.bin", source);
    ASSERT_EQ(Cli("split a.bin out --size 32768").status, 0);
    ASSERT_TRUE(testing::Exists(temp / "out/a.sha256"));
    EXPECT_EQ(Shell("cd out && sha256sum -c --ignore-missing --quiet a.sha256"), 0);
    auto piece = testing::ReadBytes(temp / "out/a_2.skf");
    piece[100] ^= 1;
    testing::WriteBytes(temp / "out/a_2.skf", piece);
    const CliRun verify = Cli("verify out/a.kdh");
    EXPECT_EQ(verify.status, 1);
    EXPECT_EQ(verify.err,
              "out/a_2.skf: content differs\n"
              "kavendrum-cli: 1 bad of 4 pieces: copy it again into out and run again\n");
    const CliRun merge = Cli("merge out/a.kdh --dest back");
    EXPECT_EQ(merge.status, 1);
    EXPECT_FALSE(testing::Exists(temp / "back/a.bin"));

    // From standard input too.
    ASSERT_EQ(Cli("split - piped --name a.bin --size 32768", "cat a.bin | ").status, 0);
    EXPECT_EQ(Slurp(temp / "piped/a.sha256"), Slurp(temp / "out/a.sha256"));

    ASSERT_EQ(Cli("split --no-checksums a.bin plain --size 32768").status, 0);
    EXPECT_FALSE(testing::Exists(temp / "plain/a.sha256"));
    const std::string sizesOnly =
        "kavendrum-cli: no checksum file plain/a.sha256: only the pieces' sizes were checked, not "
        "their content\n";
    const CliRun plainVerify = Cli("verify plain/a.kdh");
    EXPECT_EQ(plainVerify.status, 0);
    EXPECT_EQ(plainVerify.err, sizesOnly);
    const CliRun plainMerge = Cli("merge plain/a.kdh --dest plainback");
    EXPECT_EQ(plainMerge.status, 0);
    EXPECT_EQ(plainMerge.err, sizesOnly);
    EXPECT_EQ(testing::ReadBytes(temp / "plainback/a.bin"), source);
    // --silent keeps standard error for errors.
    EXPECT_EQ(Cli("--silent verify plain/a.kdh").err, "");
    EXPECT_EQ(Cli("split --checksums --no-checksums a.bin again").status, 2);
}

TEST_F(CliTest, ASplitIntoMoreThanAThousandPiecesSaysSoAndStillRuns) {
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(10010));
    const CliRun many = Cli("split --no-checksums a.bin many --size 10");
    EXPECT_EQ(many.status, 0);
    EXPECT_EQ(many.err,
              "kavendrum-cli: this split makes 1002 pieces; --size (such as --size 100M) or "
              "--pieces N makes fewer\n");
    EXPECT_TRUE(testing::Exists(temp / "many/a_1002.skf"));
    const CliRun fewer = Cli("split --no-checksums a.bin fewer --size 11");  // 911 pieces
    EXPECT_EQ(fewer.status, 0);
    EXPECT_EQ(fewer.err, "");
}

// Checked with coreutils' base64 rather than our own sum: the email size's piece, encoded in lines
// of 76 characters ended by CR LF, fits 25,000,000 bytes, and one byte more would not.
TEST_F(CliTest, TheEmailSizeFitsAMailAttachmentOnceEncoded) {
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(18300000));
    ASSERT_EQ(Cli("split --no-checksums a.bin out --size email").status, 0);
    ASSERT_EQ(testing::SizeOf(temp / "out/a_1.skf"), 18269229u);
    const auto encoded = [&](const std::string& input) {
        const std::string count = temp / "count";
        EXPECT_EQ(Shell(input + " | base64 -w 76 | sed 's/$/\r/' | wc -c >'" + count + "'"), 0);
        return std::stoull(Slurp(count));
    };
    EXPECT_LE(encoded("cat out/a_1.skf"), 25000000u);
    EXPECT_GT(encoded("head -c 18269230 a.bin"), 25000000u);
}

// Progress goes to a terminal only, unless asked for; asked for, it names each phase and fits the
// terminal's width.
TEST_F(CliTest, ProgressIsShownWhenAskedForAndNamesThePhase) {
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(3000000));
    EXPECT_EQ(Cli("split a.bin out --size 1M").err, "");
    const CliRun merge = Cli("--progress merge out/a.kdh --dest back");
    ASSERT_EQ(merge.status, 0) << merge.err;
    std::istringstream lines(merge.err);
    std::string phases;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 79u) << line;
        EXPECT_EQ(line.find('\r'), std::string::npos) << "no terminal, no redrawing";
        if (line.find("100%  2.9 of 2.9 MiB") != std::string::npos) {
            phases += line.substr(0, line.find(' ')) + " ";
        }
    }
    EXPECT_EQ(phases, "verifying merging ");
    EXPECT_EQ(Cli("--quiet --progress verify out/a.kdh").err, "");
}

}  // namespace
}  // namespace kavendrum
