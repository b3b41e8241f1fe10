// Pieces that a download renamed: a missing piece is pointed to the file that may be it, with
// what its size and the checksum file say, and nothing is renamed.

#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

#include "cli/cli_fixture.h"
#include "cli/namesake_hint.h"
#include "engine/piece_namesakes.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::CliRun;
using testing::CliTest;

class NamesakeTest : public CliTest {
  protected:
    // a.bin in four pieces in out/, 32768, 32768, 32768 and 1696 bytes.
    void SplitInFour(const std::string& checksums) {
        testing::WriteBytes(temp / "a.bin", testing::RandomBytes(100000, 5));
        ASSERT_EQ(Cli("split " + checksums + " a.bin out --size 32768").status, 0);
    }

    void Rename(const std::string& from, const std::string& to) {
        ASSERT_EQ(std::rename((temp / from).c_str(), (temp / to).c_str()), 0) << from;
    }
};

TEST_F(NamesakeTest, VerifySaysWhichRenamedFileMayBeTheMissingPieceAndWhetherItsContentMatches) {
    SplitInFour("");
    Rename("out/a_2.skf", "out/a_2 (1).skf");
    Rename("out/a_3.skf", "out/a_3.skf.crdownload");
    std::filesystem::resize_file(temp / "out/a_3.skf.crdownload", 100);
    // Another letter case and a mark without a blank; the same size, but other bytes.
    auto piece = testing::ReadBytes(temp / "out/a_4.skf");
    piece[7] ^= 1;
    testing::WriteBytes(temp / "out/A_4(2).skf", piece);
    ASSERT_EQ(std::remove((temp / "out/a_4.skf").c_str()), 0);

    const CliRun verify = Cli("verify out/a.kdh");
    EXPECT_EQ(verify.status, 1);
    const std::string hints =
        "kavendrum-cli: out/a_2.skf is missing; out/a_2 (1).skf may be it: rename it (its "
        "content matches out/a.sha256)\n"
        "kavendrum-cli: out/a_3.skf is missing; out/a_3.skf.crdownload is named like it, but "
        "holds 100 bytes, not 32768: perhaps a download that did not finish\n"
        "kavendrum-cli: out/a_4.skf is missing; out/A_4(2).skf is named like it, but its content "
        "does not match out/a.sha256: it is not that piece\n";
    const auto at = verify.err.find("kavendrum-cli: out/a_2.skf is missing");
    ASSERT_NE(at, std::string::npos) << verify.err;
    // After the rows and the summary, and nothing after the hints but the note on checksums.
    EXPECT_NE(verify.err.find("3 missing of 4 pieces"), std::string::npos);
    EXPECT_LT(verify.err.find("3 missing of 4 pieces"), at);
    EXPECT_EQ(verify.err.substr(at), hints);
    EXPECT_TRUE(testing::Exists(temp / "out/a_2 (1).skf"));
    EXPECT_FALSE(testing::Exists(temp / "out/a_2.skf"));

    // A merge that fails on the same pieces says the same after its rows.
    const CliRun merge = Cli("merge out/a.kdh --dest back");
    EXPECT_EQ(merge.status, 1);
    EXPECT_NE(merge.err.find(hints), std::string::npos) << merge.err;
    Rename("out/a_2 (1).skf", "out/a_2.skf");
    EXPECT_EQ(Cli("verify out/a.kdh").err.find("a_2"), std::string::npos);
}

// Only near namesakes of pieces that are missing count; without a checksum file only the size
// is looked at, and a merge that goes on without verifying says the same when a piece is gone.
TEST_F(NamesakeTest, OnlyNearNamesakesOfMissingPiecesArePointedTo) {
    SplitInFour("--no-checksums");
    testing::WriteBytes(temp / "out/a_1 (1).skf", testing::RandomBytes(32768));  // a_1 is there
    Rename("out/a_2.skf", "out/a_2.skf.part");
    for (const char* unrelated : {"out/a_2 (x).skf", "out/a_2.skf.bak", "out/a_02 (1).skf",
                                  "out/b_2 (1).skf", "out/a_2 (12345).skf", "out/a_5 (1).skf"}) {
        testing::WriteBytes(temp / unrelated, testing::RandomBytes(32768));
    }
    const CliRun verify = Cli("verify out/a.kdh");
    EXPECT_EQ(verify.status, 1);
    const std::string hint =
        "kavendrum-cli: out/a_2.skf is missing; out/a_2.skf.part may be it: rename it\n";
    EXPECT_NE(verify.err.find(hint), std::string::npos) << verify.err;
    EXPECT_EQ(verify.err.find(" is missing;"), verify.err.rfind(" is missing;")) << verify.err;

    ASSERT_EQ(Cli("options set verifyBeforeMerge=0").status, 0);
    const CliRun merge = Cli("merge out/a.kdh --dest back");
    EXPECT_EQ(merge.status, 1);
    EXPECT_NE(merge.err.find(hint), std::string::npos) << merge.err;
}

// However many copies a folder holds, a bounded number is listed and looked into.
TEST_F(NamesakeTest, ManyCopiesAreCountedNotListed) {
    SplitInFour("");
    ASSERT_EQ(std::remove((temp / "out/a_2.skf").c_str()), 0);
    for (int copy = 1; copy <= 40; ++copy) {
        testing::WriteBytes(temp / ("out/a_2 (" + std::to_string(copy) + ").skf"),
                            testing::RandomBytes(32768, copy));
    }
    const NamesakeSearch search = FindPieceNamesakes(temp / "out/a.kdh");
    EXPECT_EQ(search.namesakes.size(), kMostNamesakesListed);
    EXPECT_EQ(search.notShown, 40 - kMostNamesakesListed);
    const CliRun verify = Cli("verify out/a.kdh");
    EXPECT_NE(verify.err.find("kavendrum-cli: and 24 more files named like missing pieces\n"),
              std::string::npos)
        << verify.err;
}

TEST(NamesakeNames, CopyMarksAndUnfinishedDownloadsAreRecognisedAndNothingElse) {
    EXPECT_EQ(NamesakeNumber("movie_2 (1).skf", "movie", 9), 2u);
    EXPECT_EQ(NamesakeNumber("movie_2(1).skf", "movie", 9), 2u);
    EXPECT_EQ(NamesakeNumber("movie_2-3.skf", "movie", 9), 2u);
    EXPECT_EQ(NamesakeNumber("movie_2 - Copy.skf", "movie", 9), 2u);
    EXPECT_EQ(NamesakeNumber("movie_2 - Copy (2).skf", "movie", 9), 2u);
    EXPECT_EQ(NamesakeNumber("movie_2.skf.part", "movie", 9), 2u);
    EXPECT_EQ(NamesakeNumber("movie_2 (1).skf.crdownload", "movie", 9), 2u);
    EXPECT_EQ(NamesakeNumber("MOVIE_2.SKF", "movie", 9), 2u);
    EXPECT_EQ(NamesakeNumber("movie_2.skf", "movie", 9), 0u);  // the piece itself
    EXPECT_EQ(NamesakeNumber("movie_10 (1).skf", "movie", 9), 0u);
    EXPECT_EQ(NamesakeNumber("movie_0 (1).skf", "movie", 9), 0u);
    EXPECT_EQ(NamesakeNumber("movie_4294967297 (1).skf", "movie", 4294967295u), 0u);
    EXPECT_EQ(NamesakeNumber("movie_2 ().skf", "movie", 9), 0u);
    EXPECT_EQ(NamesakeNumber("movie_2 (1)(1).skf", "movie", 9), 0u);
    EXPECT_EQ(NamesakeNumber("movie_2.skf.part.part", "movie", 9), 0u);
    EXPECT_EQ(NamesakeNumber("movie_2", "movie", 9), 0u);
    EXPECT_EQ(NamesakeNumber("movie_", "movie", 9), 0u);
    EXPECT_EQ(Printable("a\nb\x1b[2J\\c"), "a\\nb\\x1B[2J\\c");
}

}  // namespace
}  // namespace kavendrum
