// A split over an earlier set of the same name that had more pieces: what goes, what stays, and
// what the command line says about it.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "cli/cli_fixture.h"
#include "engine/earlier_set.h"
#include "engine/head_file.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::CliRun;
using testing::CliTest;

class EarlierSetTest : public CliTest {
  protected:
    // An earlier set of 11 pieces in out/, then a.bin cut down to 3 pieces' worth.
    void SplitElevenThenShrink() {
        testing::WriteBytes(temp / "a.bin", testing::RandomBytes(100000, 7));
        ASSERT_EQ(Cli("split a.bin out --size 10000").status, 0);
        ASSERT_TRUE(testing::Exists(temp / "out/a_11.skf"));
        m_source = testing::RandomBytes(25000, 8);
        testing::WriteBytes(temp / "a.bin", m_source);
    }

    std::string Piece(int number) { return temp / ("out/a_" + std::to_string(number) + ".skf"); }

    std::vector<char> m_source;
};

TEST_F(EarlierSetTest, AnsweredYesTheEarlierPiecesBeyondTheNewCountGo) {
    SplitElevenThenShrink();
    // A piece the earlier head file did not name is not the earlier set's.
    testing::WriteBytes(Piece(12), testing::RandomBytes(10));

    const CliRun split = Cli("--yes split a.bin out --size 10000");
    ASSERT_EQ(split.status, 0) << split.err;
    EXPECT_NE(split.out.find("\nremoved 8 pieces of the earlier set\n"), std::string::npos)
        << split.out;
    EXPECT_EQ(split.err, "");
    for (int number = 1; number <= 3; ++number) {
        EXPECT_TRUE(testing::Exists(Piece(number))) << number;
    }
    for (int number = 4; number <= 11; ++number) {
        EXPECT_FALSE(testing::Exists(Piece(number))) << number;
    }
    EXPECT_TRUE(testing::Exists(Piece(12)));
    ASSERT_EQ(Cli("merge out/a.kdh --dest back").status, 0);
    EXPECT_EQ(testing::ReadBytes(temp / "back/a.bin"), m_source);

    // Cancelled, nothing goes; a set no longer than the earlier one removes nothing and says
    // nothing of it.
    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(5000, 9));
    EXPECT_EQ(Cli("split a.bin out --size 10000").status, 3);
    EXPECT_TRUE(testing::Exists(Piece(3)));
    testing::WriteBytes(temp / "a.bin", m_source);
    const CliRun same = Cli("--yes split a.bin out --size 10000");
    EXPECT_EQ(same.out.find("earlier set"), std::string::npos) << same.out;
}

TEST_F(EarlierSetTest, LinksAndFoldersAmongTheEarlierPiecesStayAndAreNamed) {
    SplitElevenThenShrink();
    testing::WriteBytes(temp / "elsewhere.bin", testing::RandomBytes(10000, 3));
    ASSERT_EQ(::unlink(Piece(5).c_str()), 0);
    ASSERT_EQ(::symlink((temp / "elsewhere.bin").c_str(), Piece(5).c_str()), 0);
    ASSERT_EQ(::unlink(Piece(6).c_str()), 0);
    ASSERT_EQ(::mkdir(Piece(6).c_str(), 0755), 0);

    const CliRun split = Cli("--yes split a.bin out --size 10000");
    ASSERT_EQ(split.status, 0) << split.err;
    EXPECT_NE(split.out.find("\nremoved 6 pieces of the earlier set\n"), std::string::npos)
        << split.out;
    EXPECT_NE(split.err.find(Piece(5).substr(temp.path().size() + 1) + ": left as it is"),
              std::string::npos)
        << split.err;
    EXPECT_NE(split.err.find("out/a_6.skf: left as it is"), std::string::npos) << split.err;
    struct stat link {};
    EXPECT_EQ(::lstat(Piece(5).c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_EQ(testing::SizeOf(temp / "elsewhere.bin"), 10000u);
    EXPECT_TRUE(testing::Exists(Piece(6)));
}

// Left beside a set written without one, the earlier checksum file would call every new piece
// bad; it goes with the earlier set, as long as the set is no link.
TEST_F(EarlierSetTest, ANewSetWithoutChecksumsTakesTheEarlierChecksumFileAway) {
    SplitElevenThenShrink();
    const CliRun split = Cli("--yes split --no-checksums a.bin out --size 10000");
    ASSERT_EQ(split.status, 0) << split.err;
    EXPECT_NE(split.out.find("\nremoved 8 pieces of the earlier set\nremoved the earlier set's "
                             "checksum file out/a.sha256: it does not describe the new pieces\n"),
              std::string::npos)
        << split.out;
    EXPECT_FALSE(testing::Exists(temp / "out/a.sha256"));
    const CliRun verify = Cli("verify out/a.kdh");
    EXPECT_EQ(verify.status, 0) << verify.out << verify.err;

    // Written anew, the checksum file replaces the earlier one and nothing is said of it.
    const CliRun again = Cli("--yes split a.bin out --size 10000");
    EXPECT_EQ(again.out.find("checksum file"), std::string::npos) << again.out;
    EXPECT_TRUE(testing::Exists(temp / "out/a.sha256"));
}

// Standard input has no size to plan by: its pieces are counted at the end, and the earlier
// ones beyond go then.
TEST_F(EarlierSetTest, AStreamSplitRemovesTheEarlierPiecesToo) {
    SplitElevenThenShrink();
    const CliRun split = Cli("--yes split - out --name a.bin --size 10000", "cat a.bin | ");
    ASSERT_EQ(split.status, 0) << split.err;
    EXPECT_FALSE(testing::Exists(Piece(4)));
    EXPECT_FALSE(testing::Exists(Piece(11)));
    EXPECT_TRUE(testing::Exists(Piece(3)));
}

// Only the very file that was looked at goes: one put in a piece's place since stays.
TEST_F(EarlierSetTest, AFileReplacedAfterTheLookStays) {
    SplitElevenThenShrink();
    const EarlierSet earlier = EarlierSet::Look(temp / "out", "a", 3);
    // Kept under another name, so that the new file cannot be given its number again.
    ASSERT_EQ(std::rename(Piece(9).c_str(), (temp / "kept.skf").c_str()), 0);
    testing::WriteBytes(Piece(9), testing::RandomBytes(10000, 4));
    const EarlierPiecesRemoval removal = earlier.RemoveBeyond(3);
    EXPECT_EQ(removal.removed, 7u);
    EXPECT_EQ(removal.leftAlone, std::vector<std::string>{Piece(9)});
    EXPECT_TRUE(testing::Exists(Piece(9)));
    EXPECT_FALSE(testing::Exists(Piece(10)));
}

// The head file's count is all that is taken from it, and only as a bound: a record that is not
// sound, or a head file that is a link, removes nothing.
TEST_F(EarlierSetTest, AnUnsoundOrLinkedHeadFileRemovesNothing) {
    SplitElevenThenShrink();
    auto head = testing::ReadBytes(temp / "out/a.kdh");
    head[4] = 100;  // a piece count the sizes do not agree with
    testing::WriteBytes(temp / "out/a.kdh", head);
    EXPECT_EQ(EarlierSet::Look(temp / "out", "a", 3).RemoveBeyond(3).removed, 0u);
    EXPECT_TRUE(testing::Exists(Piece(11)));

    testing::WriteBytes(temp / "a.bin", testing::RandomBytes(100000, 7));
    ASSERT_EQ(Cli("--yes split a.bin other --size 10000").status, 0);
    ASSERT_EQ(::unlink((temp / "out/a.kdh").c_str()), 0);
    ASSERT_EQ(::symlink((temp / "other/a.kdh").c_str(), (temp / "out/a.kdh").c_str()), 0);
    EXPECT_EQ(EarlierSet::Look(temp / "out", "a", 3).RemoveBeyond(3).removed, 0u);
    EXPECT_TRUE(testing::Exists(Piece(11)));
}

}  // namespace
}  // namespace kavendrum
