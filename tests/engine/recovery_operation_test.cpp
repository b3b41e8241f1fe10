#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "engine/recovery_operation.h"
#include "engine/split_operation.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::RecordingHost;
using testing::TempFolder;
namespace fs = std::filesystem;

TEST(RecoveryAmountTest, CountsAndPercentagesAreReadAndTurnedIntoPieces) {
    const auto three = ReadRecoveryAmount("3");
    ASSERT_TRUE(three);
    EXPECT_FALSE(three->percent);
    EXPECT_EQ(PiecesToProtect(*three, 10), 3u);
    EXPECT_EQ(PiecesToProtect(*three, 2), 2u);  // never more than there are

    const auto share = ReadRecoveryAmount("10%");
    ASSERT_TRUE(share);
    EXPECT_TRUE(share->percent);
    EXPECT_EQ(PiecesToProtect(*share, 10), 1u);
    EXPECT_EQ(PiecesToProtect(*share, 11), 2u);  // 1.1, rounded up
    EXPECT_EQ(PiecesToProtect(*share, 1), 1u);
    EXPECT_EQ(PiecesToProtect(*ReadRecoveryAmount("100%"), 4294967295u), 4294967295u);

    EXPECT_TRUE(ReadRecoveryAmount("0")->None());
    for (const char* text : {"", "%", "0%", "101%", "-1", "+1", "1.5", "3 ", "x", "4294967296"}) {
        EXPECT_FALSE(ReadRecoveryAmount(text)) << text;
    }
}

class SplitRecoveryTest : public ::testing::Test {
  protected:
    Outcome Split(std::size_t size, std::uint32_t pieceSize, bool checksums,
                  const std::string& amount) {
        fs::remove_all(temp / "out");
        source = testing::RandomBytes(size, 21);
        testing::WriteBytes(temp / "movie.avi", source);
        SplitRequest request{temp / "movie.avi", temp / "out", pieceSize};
        request.writeChecksums = checksums;
        request.recovery.amount = *ReadRecoveryAmount(amount);
        return RunSplit(request, &options, host);
    }
    std::string Piece(int number) const {
        return temp / ("out/movie_" + std::to_string(number) + ".skf");
    }
    std::vector<std::string> RecoveryFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(temp / "out")) {
            if (entry.path().extension() == ".par2") {
                names.push_back(entry.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempFolder temp;
    OptionSet options;
    RecordingHost host;
    std::vector<char> source;
};

// The bytes reach the recovery files through the digest pipe when checksums are made and
// through the copy's own buffer when not; either way what they describe must rebuild pieces.
TEST_F(SplitRecoveryTest, BothCopyPathsFeedRecoveryFilesThatRebuildLostPieces) {
    for (const bool checksums : {true, false}) {
        ASSERT_EQ(Split(300000, 65536, checksums, "2"), Outcome::Succeeded) << checksums;
        EXPECT_EQ(host.messages.back().text,
                  "Write recovery files successfully!\r\nPieces that can be lost and rebuilt: 2");
        const auto names = RecoveryFiles();
        ASSERT_EQ(names.size(), 5u);  // the index and two slices a piece
        for (const auto& name : names) {
            EXPECT_LE(testing::SizeOf(temp / ("out/" + name)), 65536u) << name;
        }
        const auto first = testing::ReadBytes(Piece(1));
        const auto fourth = testing::ReadBytes(Piece(4));
        fs::remove(Piece(1));
        fs::remove(Piece(4));
        const SetRepair repair = RepairSet(temp / "out/movie.kdh", {});
        EXPECT_EQ(repair.result.status, par2::RepairStatus::Repaired) << checksums;
        EXPECT_EQ(testing::ReadBytes(Piece(1)), first);
        EXPECT_EQ(testing::ReadBytes(Piece(4)), fourth);
    }
}

TEST_F(SplitRecoveryTest, AnEmptyLastPieceAndLargePiecesAreCoveredAsTheRest) {
    // Three pieces over two copy units each, and an empty fourth.
    const std::uint32_t pieceSize = 1457664 * 2 + 10;
    ASSERT_EQ(Split(std::size_t{pieceSize} * 3, pieceSize, false, "100%"), Outcome::Succeeded);
    EXPECT_EQ(testing::SizeOf(Piece(4)), 0u);
    const auto second = testing::ReadBytes(Piece(2));
    auto damaged = second;
    damaged[pieceSize - 1] ^= 1;
    testing::WriteBytes(Piece(2), damaged);
    fs::remove(Piece(3));
    const SetRepair repair = RepairSet(temp / "out/movie.kdh", {});
    ASSERT_EQ(repair.result.status, par2::RepairStatus::Repaired);
    EXPECT_EQ(testing::ReadBytes(Piece(2)), second);
    EXPECT_EQ(testing::SizeOf(Piece(3)), pieceSize);
}

TEST_F(SplitRecoveryTest, VerificationMarksAPieceTheRecoveryFilesFindDamaged) {
    // No checksum file: only the recovery files can tell that the bytes changed.
    ASSERT_EQ(Split(300000, 65536, false, "1"), Outcome::Succeeded);
    auto bytes = testing::ReadBytes(Piece(3));
    bytes[10] ^= 0x40;
    testing::WriteBytes(Piece(3), bytes);
    const RecoveryVerification verified = VerifyWithRecovery(temp / "out/movie.kdh", host);
    const auto& rows = *verified.checked.verification.pieces;
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[2].mark, PieceMark::Bad);
    EXPECT_EQ(rows[1].mark, PieceMark::Good);
    EXPECT_EQ(verified.checked.verification.outcome, VerifyOutcome::Failed);
    EXPECT_EQ(verified.checked.contentBad, std::vector<std::uint32_t>{3});
    ASSERT_TRUE(verified.recovery);
    EXPECT_EQ(verified.recovery->BadPieces(), 1u);
    EXPECT_EQ(verified.recovery->RebuildablePieces(), 1u);
    EXPECT_TRUE(verified.recovery->CanRebuildAll());
    // A check only: the piece is as it was.
    EXPECT_EQ(testing::ReadBytes(Piece(3)), bytes);
}

TEST_F(SplitRecoveryTest, RecoveryFilesAreFoundByTheSetsOwnNamesOnly) {
    ASSERT_EQ(Split(100000, 65536, true, "1"), Outcome::Succeeded);
    testing::WriteBytes(temp / "out/movie2.vol0+1.par2", testing::RandomBytes(10));
    testing::WriteBytes(temp / "out/movie.vol9+1.par2.new", testing::RandomBytes(10));
    const auto set = PieceSet::OfHeadFile(temp / "out/movie.kdh");
    const auto found = RecoveryFilesOf(*set);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0], temp / "out/movie.par2");
    EXPECT_EQ(found[1], temp / "out/movie.vol0+1.par2");
    EXPECT_EQ(found[2], temp / "out/movie.vol1+1.par2");
}

}  // namespace
}  // namespace kavendrum
