// Recovery files from the command line: written by split, read by verify, used by repair and by
// merge, and never trusted further than the pieces' own names.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"

namespace kavendrum::testing {
namespace {

namespace fs = std::filesystem;

class RecoveryCliTest : public CliTest {
  protected:
    // 200000 bytes in pieces of 32768: six full pieces and one of 3392.
    void SplitWithRecovery(const std::string& amount) {
        source = RandomBytes(200000, 7);
        WriteBytes(temp / "movie.avi", source);
        split = Cli("split movie.avi pieces --size 32768 --recovery " + amount);
        ASSERT_EQ(split.status, 0) << split.err;
        for (int number = 1; number <= 7; ++number) {
            pieces.push_back(ReadBytes(Piece(number)));
        }
    }
    std::string Piece(int number) const {
        return temp / ("pieces/movie_" + std::to_string(number) + ".skf");
    }
    void Damage(int number) {
        auto bytes = ReadBytes(Piece(number));
        bytes[100] = static_cast<char>(bytes[100] ^ 0x5a);
        WriteBytes(Piece(number), bytes);
    }
    // The folder's names and sizes, to show that nothing was written.
    std::vector<std::string> Listing() const {
        std::vector<std::string> entries;
        for (const auto& entry : fs::directory_iterator(temp / "pieces")) {
            entries.push_back(entry.path().filename().string() + " " +
                              std::to_string(entry.file_size()));
        }
        std::sort(entries.begin(), entries.end());
        return entries;
    }
    std::vector<std::string> RecoveryFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(temp / "pieces")) {
            if (entry.path().extension() == ".par2") {
                names.push_back(entry.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::vector<char> source;
    std::vector<std::vector<char>> pieces;
    CliRun split;
};

TEST_F(RecoveryCliTest, LostAndDamagedPiecesAreRebuiltByAMergeThatIsAnsweredYes) {
    SplitWithRecovery("2");
    EXPECT_NE(split.out.find("Pieces that can be lost and rebuilt: 2\n"), std::string::npos)
        << split.out;
    const auto files = RecoveryFiles();
    ASSERT_GE(files.size(), 2u);
    EXPECT_EQ(files.front(), "movie.par2");
    for (const auto& name : files) {
        EXPECT_LE(SizeOf(temp / ("pieces/" + name)), 32768u) << name;
    }

    fs::remove(Piece(2));
    Damage(5);
    CliRun verify = Cli("verify pieces/movie.kdh");
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.out.find("Bad\t32768\tpieces/movie_5.skf\n"), std::string::npos);
    // The recovery files can rebuild both: a repair is the advice, with the counts that the
    // advice to copy them again would have given, and not that advice.
    EXPECT_NE(verify.err.find("\nkavendrum-cli: 1 missing and 1 bad of 7 pieces; 2 can be rebuilt: "
                              "run kavendrum-cli repair pieces/movie.kdh\n"),
              std::string::npos)
        << verify.err;
    EXPECT_EQ(verify.err.find("again"), std::string::npos) << verify.err;

    // Declined: the merge stops at its verification and no piece is touched.
    const auto before = Listing();
    CliRun declined = Cli("merge pieces/movie.kdh --no");
    EXPECT_EQ(declined.status, 1);
    EXPECT_EQ(Listing(), before);
    EXPECT_FALSE(Exists(temp / "pieces/movie.avi"));
    // After the rows that failed, the same summary as verify's: what the recovery files can do.
    const std::string summary =
        "kavendrum-cli: 1 missing and 1 bad of 7 pieces; 2 can be rebuilt: run kavendrum-cli "
        "repair pieces/movie.kdh\n";
    const auto rows = declined.err.find("Bad\t32768\tpieces/movie_5.skf\n");
    const auto said = declined.err.find(summary);
    ASSERT_NE(said, std::string::npos) << declined.err;
    EXPECT_LT(rows, said) << declined.err;
    EXPECT_EQ(declined.err.find(summary, said + 1), std::string::npos) << declined.err;
    EXPECT_EQ(declined.err.find("again"), std::string::npos) << declined.err;
    EXPECT_EQ(declined.out, "");

    CliRun merge = Cli("merge pieces/movie.kdh --yes");
    ASSERT_EQ(merge.status, 0) << merge.err;
    EXPECT_NE(merge.out.find("Pieces rebuilt: 2\n"), std::string::npos) << merge.out;
    EXPECT_EQ(ReadBytes(temp / "pieces/movie.avi"), source);
    EXPECT_EQ(ReadBytes(Piece(2)), pieces[1]);
    EXPECT_EQ(ReadBytes(Piece(5)), pieces[4]);
}

// Without a checksum file the merge's own verification compares sizes only; a piece the recovery
// files found damaged, and that the user chose not to rebuild, still fails it: the merge never
// reports success over a file it knows differs.
TEST_F(RecoveryCliTest, ADamagedPieceLeftUnrepairedStopsAMergeWithoutChecksums) {
    source = RandomBytes(200000, 8);
    WriteBytes(temp / "movie.avi", source);
    ASSERT_EQ(Cli("split movie.avi pieces --size 32768 --no-checksums --recovery 1").status, 0);
    Damage(3);
    const auto before = Listing();
    const CliRun declined = Cli("merge pieces/movie.kdh --no");
    EXPECT_EQ(declined.status, 1) << declined.err;
    EXPECT_FALSE(Exists(temp / "pieces/movie.avi"));
    EXPECT_EQ(Listing(), before);
    EXPECT_NE(declined.err.find("pieces/movie_3.skf: content differs\n"), std::string::npos)
        << declined.err;
    // The recovery files checked every piece's content: no note that only sizes were.
    const std::string sizesOnly = "only the pieces' sizes were checked";
    EXPECT_EQ(declined.err.find(sizesOnly), std::string::npos) << declined.err;
    const CliRun verified = Cli("verify pieces/movie.kdh");
    EXPECT_EQ(verified.status, 1);
    EXPECT_EQ(verified.err.find(sizesOnly), std::string::npos) << verified.err;
    const CliRun repaired = Cli("merge pieces/movie.kdh --yes");
    ASSERT_EQ(repaired.status, 0) << repaired.err;
    EXPECT_EQ(ReadBytes(temp / "pieces/movie.avi"), source);
    EXPECT_EQ(repaired.err.find(sizesOnly), std::string::npos) << repaired.err;
}

TEST_F(RecoveryCliTest, APercentageOfAStreamIsRoundedUpAndRepairRebuildsThatMany) {
    source = RandomBytes(200000, 9);
    WriteBytes(temp / "movie.avi", source);
    CliRun run =
        Cli("split - pieces --name movie.avi --size 32768 --recovery 30%", "cat movie.avi | ");
    ASSERT_EQ(run.status, 0) << run.err;
    // 30% of seven pieces is 2.1: three.
    EXPECT_NE(run.out.find("Pieces that can be lost and rebuilt: 3\n"), std::string::npos)
        << run.out;
    std::vector<std::vector<char>> originals;
    for (int number = 1; number <= 7; ++number) {
        originals.push_back(ReadBytes(Piece(number)));
    }
    fs::remove(Piece(1));
    fs::remove(Piece(4));
    fs::remove(Piece(7));
    CliRun repair = Cli("repair pieces/movie.kdh");
    ASSERT_EQ(repair.status, 0) << repair.err;
    for (int number = 1; number <= 7; ++number) {
        EXPECT_EQ(ReadBytes(Piece(number)), originals[number - 1]) << number;
    }
    // Nothing left to do is no failure.
    CliRun idle = Cli("repair pieces/movie.kdh");
    EXPECT_EQ(idle.status, 0);
    EXPECT_EQ(idle.out, "All pieces are good, nothing to repair!\n");
}

TEST_F(RecoveryCliTest, TooFewRecoveryFilesChangeNothingAndSayHowManyMoreAreNeeded) {
    SplitWithRecovery("1");
    fs::remove(Piece(3));
    Damage(6);
    const auto before = Listing();
    const auto damaged = ReadBytes(Piece(6));
    CliRun repair = Cli("repair pieces/movie.kdh");
    EXPECT_EQ(repair.status, 1);
    EXPECT_NE(repair.err.find("Recovery pieces still needed: 1"), std::string::npos) << repair.err;
    EXPECT_EQ(Listing(), before);
    EXPECT_EQ(ReadBytes(Piece(6)), damaged);

    // Both pieces of advice are needed: one piece can be rebuilt, the other must be copied.
    CliRun verify = Cli("verify pieces/movie.kdh");
    EXPECT_NE(
        verify.err.find("kavendrum-cli: 1 missing and 1 bad of 7 pieces: copy them again "
                        "into pieces and run again\nkavendrum-cli: 2 pieces are bad; 1 can be "
                        "rebuilt: 1 more recovery piece is needed\n"),
        std::string::npos)
        << verify.err;
    // The merge does not offer what it cannot do: it fails as it always did, and says what
    // verify says of the recovery files.
    CliRun merge = Cli("merge pieces/movie.kdh --yes");
    EXPECT_EQ(merge.status, 1);
    EXPECT_EQ(Listing(), before);
    EXPECT_NE(merge.err.find("2 pieces are bad; 1 can be rebuilt: 1 more recovery piece is needed"),
              std::string::npos)
        << merge.err;
    EXPECT_EQ(merge.out.find("repair them first"), std::string::npos) << merge.out;
}

TEST_F(RecoveryCliTest, ARebuiltPieceThatDisagreesWithTheChecksumFileIsNotPutInPlace) {
    SplitWithRecovery("1");
    // The checksum file says piece 2 held other bytes than the recovery files do.
    std::string sums = Slurp(temp / "pieces/movie.sha256");
    const auto line = sums.find("  movie_2.skf");
    ASSERT_NE(line, std::string::npos);
    sums[line - 64] = sums[line - 64] == '0' ? '1' : '0';
    WriteBytes(temp / "pieces/movie.sha256", std::vector<char>(sums.begin(), sums.end()));
    fs::remove(Piece(2));
    const auto before = Listing();
    CliRun repair = Cli("repair pieces/movie.kdh");
    EXPECT_EQ(repair.status, 1);
    // No fault of the system's: the piece is named with what went wrong.
    EXPECT_EQ(repair.err,
              "kavendrum-cli: Repair file error!\nkavendrum-cli: pieces/movie_2.skf: rebuilt, it "
              "does not match its checksums; the piece was left as it was\n");
    EXPECT_EQ(Listing(), before);  // no piece 2, and no file left beside it
}

// A repair ends in success only when verify would pass: a piece the recovery files take for good
// but whose line in the checksum file differs is named, left as it is, and fails the repair,
// whether or not another piece was rebuilt beside it.
TEST_F(RecoveryCliTest, AKeptPieceThatDisagreesWithTheChecksumFileFailsTheRepair) {
    SplitWithRecovery("1");
    std::string sums = Slurp(temp / "pieces/movie.sha256");
    const auto line = sums.find("  movie_3.skf");
    ASSERT_NE(line, std::string::npos);
    sums[line - 64] = sums[line - 64] == '0' ? '1' : '0';
    WriteBytes(temp / "pieces/movie.sha256", std::vector<char>(sums.begin(), sums.end()));
    fs::remove(Piece(2));
    for (const bool lost : {true, false}) {
        const CliRun repair = Cli("repair pieces/movie.kdh");
        EXPECT_EQ(repair.status, 1) << lost;
        EXPECT_EQ(repair.out, "") << lost;
        EXPECT_EQ(repair.err,
                  "pieces/movie_3.skf: still bad\n"
                  "kavendrum-cli: Some pieces are still bad, repair failed! Pieces still bad: 1\n")
            << lost;
        EXPECT_EQ(ReadBytes(Piece(2)), pieces[1]);  // rebuilt: it checks
        EXPECT_EQ(ReadBytes(Piece(3)), pieces[2]);
    }
    // A merge told to repair first stops there, and says the same.
    fs::remove(Piece(2));
    const CliRun merge = Cli("merge pieces/movie.kdh --yes");
    EXPECT_EQ(merge.status, 1);
    EXPECT_NE(merge.err.find("pieces/movie_3.skf: still bad\nkavendrum-cli: Some pieces are still "
                             "bad, repair failed! Pieces still bad: 1\n"),
              std::string::npos)
        << merge.err;
    EXPECT_FALSE(Exists(temp / "pieces/movie.avi"));
    EXPECT_EQ(ReadBytes(Piece(2)), pieces[1]);
    // Nor does verify send the user to a repair that cannot mend it.
    const CliRun verify = Cli("verify pieces/movie.kdh");
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.err.find("kavendrum-cli: 1 bad of 7 pieces: copy it again into pieces and run "
                              "again\nkavendrum-cli: 1 piece is bad, yet the recovery files take "
                              "it for good: repair cannot rebuild it\n"),
              std::string::npos)
        << verify.err;
}

TEST_F(RecoveryCliTest, RequestsThatCannotBeMetAreRefusedOrSaidSo) {
    WriteBytes(temp / "movie.avi", RandomBytes(5000, 3));
    for (const char* amount : {"abc", "0%", "101%", "-1", "2x"}) {
        EXPECT_EQ(Cli(std::string("split movie.avi pieces --recovery ") + amount).status, 2)
            << amount;
    }
    EXPECT_EQ(Cli("split movie.avi pieces --recovery 1 --memory lots").status, 2);
    EXPECT_EQ(Cli("repair pieces/movie.kdh --memory 0").status, 2);
    EXPECT_FALSE(Exists(temp / "pieces"));

    // Pieces too small to hold a recovery slice and its headers: said, and a failure, but the
    // pieces stay.
    CliRun tiny = Cli("split movie.avi pieces --size 100 --recovery 1");
    EXPECT_EQ(tiny.status, 1);
    EXPECT_NE(tiny.err.find("at most 0 pieces can be made repairable with pieces of this size"),
              std::string::npos)
        << tiny.err;
    EXPECT_TRUE(Exists(temp / "pieces/movie_50.skf"));
    EXPECT_TRUE(RecoveryFiles().empty());

    // An empty file has nothing to lose.
    WriteBytes(temp / "empty.avi", std::vector<char>{});
    CliRun empty = Cli("split empty.avi none --recovery 1");
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_FALSE(Exists(temp / "none/empty.par2"));

    // Without recovery files, repair says so.
    CliRun none = Cli("repair none/empty.kdh");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("No recovery files for these pieces!"), std::string::npos);
}

TEST_F(RecoveryCliTest, AHostileRecoveryFileFailsTheRepairAndWritesNothing) {
    SplitWithRecovery("1");
    fs::remove(Piece(4));
    // Every recovery file replaced by garbage that starts like a packet.
    for (const auto& name : RecoveryFiles()) {
        std::vector<char> junk = RandomBytes(4000, 5);
        const std::string magic = "PAR2\0PKT";
        std::copy(magic.begin(), magic.end(), junk.begin());
        WriteBytes(temp / ("pieces/" + name), junk);
    }
    const auto before = Listing();
    CliRun repair = Cli("repair pieces/movie.kdh");
    EXPECT_EQ(repair.status, 1);
    EXPECT_EQ(Listing(), before);
    CliRun verify = Cli("verify pieces/movie.kdh");
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.err.find("do not describe its pieces"), std::string::npos) << verify.err;
}

TEST_F(RecoveryCliTest, AMergeThatRemovesTheSetRemovesItsRecoveryFilesButNoOthers) {
    SplitWithRecovery("1");
    WriteBytes(temp / "pieces/movie.volume.txt", RandomBytes(10, 1));
    WriteBytes(temp / "pieces/other.par2", RandomBytes(10, 1));
    ASSERT_EQ(Cli("options set deleteAfterMerge=1").status, 0);
    CliRun merge = Cli("merge pieces/movie.kdh --yes");
    ASSERT_EQ(merge.status, 0) << merge.err;
    EXPECT_EQ(ReadBytes(temp / "pieces/movie.avi"), source);
    EXPECT_EQ(RecoveryFiles(), std::vector<std::string>{"other.par2"});
    EXPECT_TRUE(Exists(temp / "pieces/movie.volume.txt"));
    EXPECT_FALSE(Exists(temp / "pieces/movie.kdh"));
}

}  // namespace
}  // namespace kavendrum::testing
