// Runs of the command line killed outright, with no handler and no destructor run, as a task
// manager or the kernel's out-of-memory killer ends them: nothing of theirs is left behind, and
// the next run into the same place works.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/cli_fixture.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::CliTest;

using testing::Entries;

class KilledRunTest : public CliTest {
  protected:
    // Starts the program on `arguments`, says yes to every question, and kills it once it has a
    // file open in `writesIn`. True when it was killed then, before its end.
    bool KilledWhileWriting(std::vector<std::string> arguments, const std::string& writesIn) {
        const pid_t child = StartCli(std::move(arguments));
        if (child <= 0) {
            ADD_FAILURE() << "could not start the program";
            return false;
        }
        const bool writing = testing::HasAFileOpenIn(child, writesIn);
        ::kill(child, SIGKILL);
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        return writing && WIFSIGNALED(status);
    }
};

// A merge that keeps its pieces cannot be taken up again; killed while it copies, it leaves no
// file beside the output, however often, and the next merge into that output succeeds.
TEST_F(KilledRunTest, AMergeKilledWhileItCopiesLeavesNothingAndTheNextOneSucceeds) {
    const auto source = testing::RandomBytes(48 << 20, 5);
    testing::WriteBytes(temp / "m.bin", source);
    ASSERT_EQ(Cli("split m.bin pieces --size 1M --no-checksums").status, 0);
    const auto set = Entries(temp / "pieces");
    int killedWhileCopying = 0;
    for (int round = 0; round < 20; ++round) {
        const bool killed = KilledWhileWriting(
            {"merge", temp / "pieces/m.kdh", "--dest", temp / "back"}, temp / "back");
        // A run that got to its end first has put the whole file in place.
        if (killed && !testing::Exists(temp / "back/m.bin")) {
            ++killedWhileCopying;
        }
        std::filesystem::remove(temp / "back/m.bin");
        ASSERT_EQ(Entries(temp / "back"), std::vector<std::string>{}) << "round " << round;
    }
    EXPECT_GE(killedWhileCopying, 16);
    const auto merged = Cli("merge pieces/m.kdh --dest back");
    ASSERT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(Entries(temp / "back"), std::vector<std::string>{"m.bin"});
    EXPECT_EQ(testing::ReadBytes(temp / "back/m.bin"), source);
    EXPECT_EQ(Entries(temp / "pieces"), set);
}

// A split killed while it writes its pieces or its recovery files leaves the pieces it had
// finished, each whole under its own name, and no temporary file.
TEST_F(KilledRunTest, ASplitKilledWhileItWritesLeavesNoTemporaryFile) {
    const auto source = testing::RandomBytes(32 << 20, 6);
    testing::WriteBytes(temp / "s.bin", source);
    int killedWhileWriting = 0;
    for (int round = 0; round < 10; ++round) {
        std::filesystem::remove_all(temp / "out");
        killedWhileWriting += KilledWhileWriting({"split", temp / "s.bin", temp / "out", "--size",
                                                  "4M", "--recovery", "2"},
                                                 temp / "out")
                                  ? 1
                                  : 0;
        for (const std::string& name : Entries(temp / "out")) {
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << name << ", round " << round;
            EXPECT_EQ(name.find(".new"), std::string::npos) << name << ", round " << round;
            const auto number = name.rfind("s_", 0) == 0 ? std::stoul(name.substr(2)) : 0;
            if (number != 0 && number < 8) {
                EXPECT_EQ(testing::SizeOf(temp / ("out/" + name)), 4u << 20) << name;
            }
        }
    }
    EXPECT_GE(killedWhileWriting, 8);
}

// Pieces wait for the last one before they take their names, and one without a name holds a
// handle: a set of far more pieces than the program may have files open is split all the same,
// from a file and from a stream, and merged again.
TEST_F(CliTest, ASetOfMorePiecesThanOpenFilesAllowedIsSplitAndMerged) {
    const auto source = testing::RandomBytes(600 * 4096 + 7, 8);
    testing::WriteBytes(temp / "s.bin", source);
    const std::string limit = "ulimit -n 128; ";
    const auto split = Cli("split s.bin out --size 4096 --no-checksums", limit);
    ASSERT_EQ(split.status, 0) << split.err;
    EXPECT_EQ(Entries(temp / "out").size(), 603u);  // 601 pieces, the head and the batch file
    const auto streamed =
        Cli("split - streamed --name s.bin --size 4096", limit + "cat s.bin | ", "");
    ASSERT_EQ(streamed.status, 0) << streamed.err;
    EXPECT_EQ(Entries(temp / "streamed").size(), 604u);  // and the checksum file
    for (const char* set : {"out", "streamed"}) {
        const auto merged = Cli(std::string("merge ") + set + "/s.kdh --dest back-" + set, limit);
        ASSERT_EQ(merged.status, 0) << merged.err;
        EXPECT_EQ(testing::ReadBytes(temp / ("back-" + std::string(set) + "/s.bin")), source);
    }
}

}  // namespace
}  // namespace kavendrum
