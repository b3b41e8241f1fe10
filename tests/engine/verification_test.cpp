#include <filesystem>
#include <optional>

#include <gtest/gtest.h>

#include "engine/head_file.h"
#include "engine/verification.h"
#include "support/held_file.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::RecordingHost;
using testing::TempFolder;

class VerificationTest : public ::testing::Test {
  protected:
    void WriteHead(const std::string& name, HeadFileInfo info) {
        testing::WriteBytes(temp / name, EncodeHeadFile(info));
    }
    void WritePiece(const std::string& name, std::size_t size) {
        testing::WriteBytes(temp / name, std::vector<char>(size, 'p'));
    }
    std::vector<PieceMark> MarksOf(const Verification& verification) {
        std::vector<PieceMark> marks;
        for (const auto& entry : verification.pieces.value()) {
            marks.push_back(entry.mark);
        }
        return marks;
    }

    TempFolder temp;
    RecordingHost host;
};

using Marks = std::vector<PieceMark>;
constexpr auto kGood = PieceMark::Good;
constexpr auto kBad = PieceMark::Bad;

TEST_F(VerificationTest, ListsEveryPieceWithItsExpectedSize) {
    WriteHead("x.kdh", {2500, 3, 1000, 1000, "bin"});
    WritePiece("x_1.skf", 1000);
    WritePiece("x_2.skf", 1000);
    WritePiece("x_3.skf", 500);
    const Verification verification = VerifyPieces(temp / "x.kdh", host);
    EXPECT_EQ(verification.outcome, VerifyOutcome::Passed);
    EXPECT_EQ(*verification.pieces, (std::vector<PieceEntry>{{temp / "x_1.skf", "1000", kGood},
                                                             {temp / "x_2.skf", "1000", kGood},
                                                             {temp / "x_3.skf", "500", kGood}}));
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(VerificationTest, AnEmptyLastPieceIsGoodWhenNothingIsExpected) {
    WriteHead("x.kdh", {2000, 3, 1000, 1000, "bin"});
    WritePiece("x_1.skf", 1000);
    WritePiece("x_2.skf", 1000);
    WritePiece("x_3.skf", 0);
    EXPECT_EQ(VerifyPieces(temp / "x.kdh", host).outcome, VerifyOutcome::Passed);
}

TEST_F(VerificationTest, MissingWrongSizedAndLockedPiecesAreBadAndTheRestStillChecked) {
    WriteHead("x.kdh", {4500, 5, 1000, 1000, "bin"});
    WritePiece("x_1.skf", 1001);
    WritePiece("x_3.skf", 999);
    WritePiece("x_4.skf", 1000);
    WritePiece("x_5.skf", 500);
    std::optional<Verification> held;
    {
        testing::HeldFile holder(temp / "x_4.skf");
        ASSERT_TRUE(holder.held());
        held = VerifyPieces(temp / "x.kdh", host);
    }
    const Verification& verification = *held;
    EXPECT_EQ(verification.outcome, VerifyOutcome::Failed);
    EXPECT_EQ(MarksOf(verification), (Marks{kBad, kBad, kBad, kBad, kGood}));
    EXPECT_EQ(VerifyPieces(temp / "x.kdh", host).pieces.value()[3].mark, kGood);
}

TEST_F(VerificationTest, HeadNamesAreTestedInAnyCaseAndDotsInFoldersDoNotCount) {
    std::filesystem::create_directory(temp / "dir.old");
    WriteHead("dir.old/MOVIE.KDH", {10, 1, 20, 20, ""});
    WritePiece("dir.old/MOVIE_1.skf", 10);
    const Verification verification = VerifyPieces(temp / "dir.old/MOVIE.KDH", host);
    EXPECT_EQ(verification.outcome, VerifyOutcome::Passed);
    EXPECT_EQ(verification.pieces.value()[0].path, temp / "dir.old/MOVIE_1.skf");

    EXPECT_EQ(VerifyPieces(temp / "movie.kdhx", host).outcome, VerifyOutcome::Failed);
    EXPECT_EQ(VerifyPieces(temp / "absent.kdh", host).outcome, VerifyOutcome::Failed);
    EXPECT_EQ(host.Errors(),
              (std::vector<std::string>{"Invalid head file name!", "Head file open error!"}));
}

TEST_F(VerificationTest, MalformedHeadFilesAreRefusedBeforeAnyPieceIsListed) {
    for (const HeadFileInfo& info :
         {HeadFileInfo{0, 0, 1000, 1000, ""}, HeadFileInfo{10, 1, 0, 0, ""},
          HeadFileInfo{3000000, 2, 2097152, 2097152, ""}, HeadFileInfo{5000, 3, 1000, 1000, ""}}) {
        WriteHead("x.kdh", info);
        const Verification verification = VerifyPieces(temp / "x.kdh", host);
        EXPECT_EQ(verification.outcome, VerifyOutcome::Failed);
        EXPECT_FALSE(verification.pieces.has_value());
    }
    testing::WriteBytes(temp / "x.kdh", std::vector<char>(3));
    EXPECT_FALSE(VerifyPieces(temp / "x.kdh", host).pieces.has_value());
    EXPECT_EQ(host.Errors(), std::vector<std::string>(5, "Read info from head file error!"));
}

TEST(AsciiLowerTest, KeepsTheSecondByteOfADoubleByteCharacter) {
    EXPECT_EQ(AsciiLower("ABC.KDH"), "abc.kdh");
    EXPECT_EQ(AsciiLower("\x81"
                         "A"
                         "B"),
              "\x81"
              "A"
              "b");
    EXPECT_TRUE(IsHeadFileName("x.KdH"));
    EXPECT_FALSE(IsHeadFileName("kdh"));
}

}  // namespace
}  // namespace kavendrum
