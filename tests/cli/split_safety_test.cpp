// The command line under stop signals, links in the way and a full destination, and the reasons
// it gives.

#include <fcntl.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "cli/cli_fixture.h"
#include "support/locking_process.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::CliRun;
using testing::CliTest;

using testing::Entries;

class SignalTest : public CliTest {
  protected:
    // Starts the program on `arguments` with standard input from `input`, its output dropped.
    pid_t Start(std::vector<std::string> arguments, const std::string& input = "/dev/null") {
        const pid_t child = StartCli(std::move(arguments), input, temp / "stderr");
        EXPECT_GT(child, 0);
        return child;
    }
    int Wait(pid_t child) {
        int status = 0;
        EXPECT_EQ(waitpid(child, &status, 0), child);
        return status;
    }
};

// A stop signal in the middle of a split ends it with the shell's status for that signal, and
// nothing of the set it was making is left: no piece, no head file, no temporary file.
TEST_F(SignalTest, ASplitStoppedBySigintOrSigtermLeavesNothingAndSaysWhich) {
    // Large and sparse: quick to make, and slow enough to split for the signal to land first.
    const std::string source = temp / "big.img";
    testing::WriteBytes(source, std::vector<char>());
    std::filesystem::resize_file(source, 3ull << 30);
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        std::filesystem::remove_all(temp / "out");
        const pid_t child = Start({"split", source, temp / "out", "--size", "100M"});
        ASSERT_TRUE(testing::HasAFileOpenIn(child, temp / "out"));
        ::kill(child, signal);
        const int status = Wait(child);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        EXPECT_EQ(Entries(temp / "out"), std::vector<std::string>{});
    }
}

TEST_F(SignalTest, AStreamSplitAndAMergeStoppedByASignalExitWithItsStatus) {
    // Standard input keeps coming until the program has gone.
    std::signal(SIGPIPE, SIG_IGN);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const std::string input = "/proc/self/fd/" + std::to_string(ends[0]);
    const pid_t child = Start({"split", "-", temp / "streamed", "--name", "s.bin", "--size", "1M"},
                              "/dev/fd/" + std::to_string(ends[0]));
    ::close(ends[0]);
    const std::vector<char> block(1 << 16, 'x');
    bool signalled = false;
    for (int writes = 0; writes < 100000; ++writes) {
        if (::write(ends[1], block.data(), block.size()) < 0) {
            break;
        }
        if (!signalled && Entries(temp / "streamed").size() > 2) {
            ::kill(child, SIGINT);
            signalled = true;
        }
    }
    ::close(ends[1]);
    const int status = Wait(child);
    ASSERT_TRUE(signalled);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(Entries(temp / "streamed"), std::vector<std::string>{});

    testing::WriteBytes(temp / "m.bin", testing::RandomBytes(64 << 20));
    ASSERT_EQ(Cli("split m.bin pieces --size 4M").status, 0);
    const pid_t merge = Start({"merge", temp / "pieces/m.kdh", "--dest", temp / "back"});
    // Its file has no name until it is whole: what is seen is that the run holds it open.
    ASSERT_TRUE(testing::HasAFileOpenIn(merge, temp / "back"));
    ::kill(merge, SIGTERM);
    const int merged = Wait(merge);
    ASSERT_TRUE(WIFEXITED(merged)) << "ended by signal " << WTERMSIG(merged);
    EXPECT_EQ(WEXITSTATUS(merged), 143);
}

// Past `ulimit -f` a write fails and is reported; the program is not killed.
TEST_F(CliTest, AWritePastTheFileSizeLimitIsAReportedWriteError) {
    const auto source = testing::RandomBytes(3 << 20);
    testing::WriteBytes(temp / "big.bin", source);
    CliRun run = Cli("split big.bin out --size 2097152", "ulimit -f 1024; exec ");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "kavendrum-cli: Disk full while accessing out/big_1.skf.\n"
              "kavendrum-cli: out/big_1.skf: File too large\n");
    EXPECT_EQ(testing::ReadBytes(temp / "big.bin"), source);
    EXPECT_EQ(Entries(temp / "out"), std::vector<std::string>{});
}

// A link at a name the split writes is named in the question, and replaced, never written through.
TEST_F(CliTest, LinksInTheWayAreNamedInTheQuestionAndReplaced) {
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(100));
    testing::WriteBytes(temp / "private", testing::RandomBytes(7, 3));
    std::filesystem::create_directories(temp / "out");
    std::filesystem::create_symlink("../private", temp / "out/a.kdh");
    std::filesystem::create_symlink("../nowhere", temp / "out/a_1.skf");
    std::filesystem::create_hard_link(temp / "private", temp / "out/a.bat");
    CliRun declined = Cli("split a.bin out");
    EXPECT_EQ(declined.status, 3);
    EXPECT_NE(declined.err.find("(out/a.kdh, a symbolic link to ../private: the link is replaced, "
                                "what it leads to is left alone)"),
              std::string::npos)
        << declined.err;
    CliRun split = Cli("--yes split a.bin out --size 40 --checksums");
    ASSERT_EQ(split.status, 0) << split.err;
    EXPECT_EQ(testing::ReadBytes(temp / "private"), testing::RandomBytes(7, 3));
    EXPECT_FALSE(testing::Exists(temp / "nowhere"));
    EXPECT_EQ(Cli("verify out/a.kdh").status, 0);

    // A second name of a file is said to be one.
    std::filesystem::remove(temp / "out/a.kdh");
    std::filesystem::create_hard_link(temp / "private", temp / "out/a.kdh");
    EXPECT_NE(Cli("split a.bin out")
                  .err.find("(out/a.kdh, one of 2 names of one file: this name "
                            "is replaced, the others keep the file)"),
              std::string::npos);
}

TEST_F(CliTest, ASourceNamedLikeOneOfTheSetsFilesIsRefusedWithTheReason) {
    testing::WriteBytes(temp / "data.sha256", testing::RandomBytes(10));
    const std::string reason =
        "rebuilt beside its pieces, it would take the place of one of their own files; rename it "
        "first\n";
    CliRun file = Cli("split data.sha256 out --checksums");
    EXPECT_EQ(file.status, 1);
    EXPECT_EQ(
        file.err,
        "kavendrum-cli: Can not split a file named like a head, batch, checksum or journal file!\n"
        "kavendrum-cli: data.sha256: " +
            reason);
    CliRun stream = Cli("split - out --name x.kdj", "printf abc | ");
    EXPECT_EQ(stream.status, 1);
    EXPECT_NE(stream.err.find("kavendrum-cli: x.kdj: " + reason), std::string::npos) << stream.err;
    EXPECT_FALSE(testing::Exists(temp / "out"));
}

TEST_F(CliTest, ASplitMakesTheMissingParentsOfItsDestination) {
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(10));
    CliRun split = Cli("split a.bin deep/er/out");
    ASSERT_EQ(split.status, 0) << split.err;
    EXPECT_TRUE(testing::Exists(temp / "deep/er/out/a.kdh"));
    CliRun stream = Cli("split - deep/too/out --name s.bin", "printf abc | ");
    ASSERT_EQ(stream.status, 0) << stream.err;
    EXPECT_TRUE(testing::Exists(temp / "deep/too/out/s.kdh"));
}

// With both streams on one file, the reasons follow the rows instead of landing inside them.
TEST_F(CliTest, ReasonsOnStandardErrorNeverLandInsideRowsOnOneFile) {
    testing::WriteBytes(temp / "a_rather_long_name_for_many_rows.bin", testing::RandomBytes(3000));
    ASSERT_EQ(Cli("split a_rather_long_name_for_many_rows.bin out --size 10").status, 0);
    ::unlink((temp / "out/a_rather_long_name_for_many_rows_150.skf").c_str());
    ::unlink((temp / "out/a_rather_long_name_for_many_rows_290.skf").c_str());
    ASSERT_EQ(Shell("'" KAVENDRUM_CLI_PATH "' --options-file k.opt verify "
                    "out/a_rather_long_name_for_many_rows.kdh >both 2>&1"),
              1);
    // Each line is a whole row, a whole reason, the count of bad pieces or the verdict; the rows
    // come first.
    std::istringstream lines(testing::Slurp(temp / "both"));
    std::vector<std::string> kinds;
    for (std::string line; std::getline(lines, line);) {
        const bool row = (line.rfind("Good\t", 0) == 0 || line.rfind("Bad\t", 0) == 0) &&
                         line.find("\tout/") != std::string::npos;
        const bool reason =
            line.rfind("out/", 0) == 0 && line.find(".skf: missing") != std::string::npos;
        const std::string kind = row ? "row" : reason ? "reason" : line;
        if (kinds.empty() || kinds.back() != kind) {
            kinds.push_back(kind);
        }
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{
                         "row", "reason",
                         "kavendrum-cli: 2 missing of 301 pieces: copy them again into out and "
                         "run again",
                         "Failed"}));
}

TEST_F(CliTest, ABadPieceOrHeadFileIsGivenItsRealReason) {
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(100));
    ASSERT_EQ(Cli("split a.bin out --size 40").status, 0);
    {
        testing::LockingProcess locker(temp / "out/a_2.skf", testing::RecordLock::Lockf);
        ASSERT_TRUE(locker.holds());
        CliRun verify = Cli("verify out/a.kdh");
        EXPECT_EQ(verify.status, 1);
        EXPECT_EQ(verify.err,
                  "out/a_2.skf: in use: another program holds or locks it\n"
                  "kavendrum-cli: 1 bad of 3 pieces: copy it again into out and run again\n");
    }
    std::filesystem::create_directories(temp / "folder.kdh");
    CliRun merge = Cli("merge folder.kdh");
    EXPECT_EQ(merge.err,
              "kavendrum-cli: Head file doesn't existed or can not be opened!\n"
              "kavendrum-cli: folder.kdh: Is a directory\n");
}

// A small file system of its own, mounted for the test; needs root.
class SmallFileSystem {
  public:
    SmallFileSystem(const std::string& at, const char* options) : m_at(at) {
        std::filesystem::create_directories(at);
        m_mounted = ::mount("tmpfs", at.c_str(), "tmpfs", 0, options) == 0;
    }
    ~SmallFileSystem() {
        if (m_mounted) {
            ::umount2(m_at.c_str(), MNT_DETACH);
        }
    }
    bool mounted() const { return m_mounted; }

  private:
    std::string m_at;
    bool m_mounted = false;
};

TEST_F(CliTest, ARunThatCannotFitIsRefusedWithTheNeedAndWhatIsFree) {
    SmallFileSystem stick(temp / "stick", "size=1m");
    if (!stick.mounted()) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    testing::WriteBytes(temp / "big.bin", testing::RandomBytes(2 << 20));
    CliRun split = Cli("split big.bin stick");
    EXPECT_EQ(split.status, 1);
    EXPECT_EQ(split.err,
              "kavendrum-cli: Not enough disk space, needs 2.1 MiB, 1.0 MiB free on stick/\n"
              "kavendrum-cli: stick/: No space left on device\n");
    EXPECT_EQ(Entries(temp / "stick"), std::vector<std::string>{});

    ASSERT_EQ(Cli("split big.bin pieces --size 512K").status, 0);
    CliRun merge = Cli("merge pieces/big.kdh --dest stick");
    EXPECT_EQ(merge.status, 1);
    EXPECT_EQ(merge.err,
              "kavendrum-cli: Not enough disk space, needs 2.0 MiB, 1.0 MiB free on stick/\n"
              "kavendrum-cli: stick/: No space left on device\n");
    EXPECT_EQ(Entries(temp / "stick"), std::vector<std::string>{});
}

// A merge that removes its pieces as it goes needs room for one piece more, not the whole file.
TEST_F(CliTest, AMergeThatRemovesItsPiecesNeedsRoomForAPieceOnly) {
    SmallFileSystem stick(temp / "stick", "size=6m");
    if (!stick.mounted()) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    const auto source = testing::RandomBytes(4 << 20);
    testing::WriteBytes(temp / "big.bin", source);
    ASSERT_EQ(Cli("split big.bin stick --size 512K").status, 0);
    std::filesystem::remove(temp / "big.bin");
    CliRun refused = Cli("merge stick/big.kdh");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("kavendrum-cli: Not enough disk space, needs 4.0 MiB"),
              std::string::npos)
        << refused.err;
    ASSERT_EQ(Cli("options set deleteAfterMerge=1").status, 0);
    CliRun merge = Cli("merge stick/big.kdh");
    ASSERT_EQ(merge.status, 0) << merge.err;
    EXPECT_EQ(testing::ReadBytes(temp / "stick/big.bin"), source);
}

}  // namespace
}  // namespace kavendrum
