// Each long part of a run names itself on the progress line.

#include <sstream>

#include <gtest/gtest.h>

#include "cli/cli_fixture.h"
#include "cli/progress_line.h"
#include "engine/head_file.h"
#include "engine/io/file_system.h"
#include "engine/merge_journal.h"
#include "engine/piece_set.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::CliRun;
using testing::CliTest;

constexpr std::uint32_t kMiB = 1048576;

// The phases the lines name, in the order they first appear.
std::string Phases(const std::string& log) {
    std::istringstream lines(log);
    std::string phases;
    for (std::string line; std::getline(lines, line);) {
        const std::string phase = line.substr(0, line.find(' '));
        if (phases.find(phase + " ") == std::string::npos) {
            phases += phase + " ";
        }
    }
    return phases;
}

// The first line of the phase, or nothing.
std::string LineOf(const std::string& log, const std::string& phase) {
    const auto at = log.find(phase + " ");
    return at == std::string::npos ? std::string() : log.substr(at, log.find('\n', at) - at);
}

// A merge that removes its pieces, stopped after two of three: the file it builds holds their
// bytes, they are gone, and its journal counts them.
class ResumedMergeTest : public CliTest {
  protected:
    void StopAfterTwoPieces() {
        m_source = testing::RandomBytes(3 * kMiB - 100, 11);
        testing::WriteBytes(temp / "a.bin", m_source);
        ASSERT_EQ(Cli("split a.bin out --size 1M").status, 0);
        ASSERT_EQ(Cli("options set deleteAfterMerge=1").status, 0);
        const auto info = PeekHeadFile(temp / "out/a.kdh");
        ASSERT_TRUE(info);
        const std::string partial = PartialPath(temp / "back/a.bin", 0);
        ASSERT_EQ(Shell("mkdir back && cat out/a_1.skf out/a_2.skf >'" + partial + "'"), 0);
        ASSERT_EQ(Shell("rm out/a_1.skf out/a_2.skf"), 0);
        auto output = File::OpenForReading(partial);
        ASSERT_TRUE(output.ok());
        const auto start = FingerprintOf(output.value(), kFingerprintBytes);
        ASSERT_TRUE(start);
        MergeJournal journal{*info,  *IdentityOf(partial), 0, 2, 2 * kMiB,
                             *start, kFingerprintBytes};
        ASSERT_TRUE(
            WriteJournal(PieceSet::InFolder(temp / "out", "a").JournalPath(), journal, std::nullopt)
                .ok());
    }

    std::vector<char> m_source;
};

// Taken up again, the merge hashes the bytes it kept before it copies the last piece: that pass
// is named too, with its own bytes.
TEST_F(ResumedMergeTest, TheHashingOfKeptBytesIsAPhaseOfItsOwn) {
    StopAfterTwoPieces();
    const CliRun merge = Cli("--yes --progress merge out/a.kdh --dest back");
    ASSERT_EQ(merge.status, 0) << merge.err;
    EXPECT_EQ(testing::ReadBytes(temp / "back/a.bin"), m_source);
    EXPECT_EQ(Phases(merge.err), "verifying hashing merging ") << merge.err;
    EXPECT_NE(LineOf(merge.err, "hashing").find(" of 2.0 MiB"), std::string::npos) << merge.err;
    EXPECT_NE(LineOf(merge.err, "merging").find(" of 1023.9 KiB"), std::string::npos) << merge.err;
}

// The line keeps nine columns for the phase: every name has to fit them whole.
TEST(PhaseNames, EveryPhaseIsNamedWholeOnTheLine) {
    for (const RunPhase phase : {RunPhase::Splitting, RunPhase::Verifying, RunPhase::Hashing,
                                 RunPhase::Merging, RunPhase::Repairing}) {
        const std::string name(PhaseName(phase));
        EXPECT_EQ(ProgressText(name, 1, 2, 1.0).rfind(name + " ", 0), 0u) << name;
    }
}

}  // namespace
}  // namespace kavendrum
