#include <filesystem>
#include <optional>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "engine/head_file.h"
#include "engine/pieces_on_disk.h"
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
constexpr auto kMissing = PieceFault::Missing;

std::vector<PieceFault> FaultsOf(const Verification& verification) {
    std::vector<PieceFault> faults;
    for (const auto& entry : verification.pieces.value()) {
        faults.push_back(entry.fault);
    }
    return faults;
}

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
    // A form says why each row is bad; a piece it cannot open counts as missing.
    EXPECT_EQ(FaultsOf(verification),
              (std::vector<PieceFault>{PieceFault::SizeDiffers, kMissing, PieceFault::SizeDiffers,
                                       kMissing, PieceFault::None}));
    // The row says why the piece that was there did not open, so nobody opens it again to ask;
    // the piece that was not there carries no failure.
    const auto& unopened = verification.pieces.value()[3].openFailure;
    ASSERT_TRUE(unopened.has_value());
    EXPECT_NE(unopened->cause, FileErrorCause::FileNotFound);
    EXPECT_EQ(verification.pieces.value()[1].openFailure, std::nullopt);
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
          HeadFileInfo{3000000, 2, 2097152, 2097152, ""}, HeadFileInfo{5000, 3, 1000, 1000, ""},
          HeadFileInfo{10, 1, 20, 20, "d/../../outside/victim"},
          HeadFileInfo{10, 1, 20, 20, std::string("a\0b", 3)}}) {
        WriteHead("x.kdh", info);
        const Verification verification = VerifyPieces(temp / "x.kdh", host);
        EXPECT_EQ(verification.outcome, VerifyOutcome::Failed);
        EXPECT_FALSE(verification.pieces.has_value());
    }
    testing::WriteBytes(temp / "x.kdh", std::vector<char>(3));
    EXPECT_FALSE(VerifyPieces(temp / "x.kdh", host).pieces.has_value());
    EXPECT_EQ(host.Errors(), std::vector<std::string>(7, "Read info from head file error!"));
}

// A 20-byte head file may name 4294967295 pieces. The rows grow with the pieces that are there:
// each run of missing ones is one row.
TEST_F(VerificationTest, BillionsOfMissingPiecesMakeOneRowPerRun) {
    WriteHead("x.kdh", {4294967294u, 4294967295u, 1, 1, "bin"});
    WritePiece("x_1.skf", 1);
    WritePiece("x_3.skf", 2);
    WritePiece("x_4294967294.skf", 1);
    const Verification verification = VerifyPieces(temp / "x.kdh", host);
    EXPECT_EQ(verification.outcome, VerifyOutcome::Failed);
    EXPECT_EQ(
        *verification.pieces,
        (std::vector<PieceEntry>{{temp / "x_1.skf", "1", kGood},
                                 {temp / "x_2.skf", "1", kBad, 1, kMissing},
                                 // there, but two bytes long
                                 {temp / "x_3.skf", "1", kBad, 1, PieceFault::SizeDiffers},
                                 {temp / "x_{4..4294967293}.skf", "1", kBad, 4294967290u, kMissing},
                                 {temp / "x_4294967294.skf", "1", kGood},
                                 // empty, so nothing of the file is missing with it
                                 {temp / "x_4294967295.skf", "0", kGood}}));
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(VerificationTest, UpToTheLimitEveryMissingPieceHasARowOfItsOwn) {
    WriteHead("x.kdh", {kPiecesListedOneByOne - 1, kPiecesListedOneByOne, 1, 1, "bin"});
    WritePiece("x_2.skf", 1);
    const std::vector<PieceEntry> pieces = VerifyPieces(temp / "x.kdh", host).pieces.value();
    ASSERT_EQ(pieces.size(), kPiecesListedOneByOne);
    EXPECT_EQ(pieces[0], (PieceEntry{temp / "x_1.skf", "1", kBad, 1, kMissing}));
    EXPECT_EQ(pieces[1], (PieceEntry{temp / "x_2.skf", "1", kGood}));
    EXPECT_EQ(
        pieces.back(),
        (PieceEntry{temp / ("x_" + std::to_string(kPiecesListedOneByOne) + ".skf"), "0", kGood}));
}

TEST_F(VerificationTest, PiecesAreFoundInAnyCaseButOnlyUnderTheirOwnNumbers) {
    WriteHead("x.kdh", {2500, 3, 1000, 1000, "bin"});
    WritePiece("x_1.skf", 1000);
    WritePiece("x_02.skf", 1000);  // not piece 2: no leading zeros
    WritePiece("x_3.SKF", 500);
    WritePiece("x_4.skf", 500);  // beyond the count
    WritePiece("y_2.skf", 1000);
    const Verification verification = VerifyPieces(temp / "x.kdh", host);
#ifdef _WIN32
    // Names have no case here, so piece 3 opens under its name in capitals.
    EXPECT_EQ(MarksOf(verification), (Marks{kGood, kBad, kGood}));
#else
    EXPECT_EQ(MarksOf(verification), (Marks{kGood, kBad, kBad}));
#endif
}

TEST_F(VerificationTest, AFurtherCheckSeesEachPieceOfTheRightLengthOnce) {
    WriteHead("x.kdh", {2500, 3, 1000, 1000, "bin"});
    WritePiece("x_1.skf", 1000);
    WritePiece("x_2.skf", 999);
    WritePiece("x_3.skf", 500);
    std::vector<std::uint32_t> seen;
    const PieceCheck check = [&](std::uint32_t number, File& piece) {
        seen.push_back(number);
        return piece.IsOpen() && number != 3;
    };
    const PieceSet set = *PieceSet::OfHeadFile(temp / "x.kdh");
    const HeadFileInfo info{2500, 3, 1000, 1000, "bin"};
    const Verification verification =
        VerifyPieces(set, info, PiecesOnDisk::Find(set, info.pieceCount), check);
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{1, 3}));
    EXPECT_EQ(MarksOf(verification), (Marks{kGood, kBad, kBad}));
}

#ifndef _WIN32
// A folder that may be entered but not read cannot be listed: every piece is then tried on its
// own. Root reads any folder, so then the check runs in a child without root's rights.
TEST_F(VerificationTest, PiecesInAFolderThatCannotBeListedAreTriedOneByOne) {
    std::filesystem::create_directory(temp / "locked");
    WriteHead("locked/x.kdh", {2500, 3, 1000, 1000, "bin"});
    WritePiece("locked/x_1.skf", 1000);
    WritePiece("locked/x_3.skf", 500);
    ::chmod(temp.path().c_str(), 0711);
    ::chmod((temp / "locked").c_str(), 0311);
    const auto check = [&] {
        const PiecesOnDisk onDisk =
            PiecesOnDisk::Find(*PieceSet::OfHeadFile(temp / "locked/x.kdh"), 3);
        const Verification verification = VerifyPieces(temp / "locked/x.kdh", host);
        return !onDisk.Listed() && onDisk.FirstAbsent() == 2 && onDisk.NextAfter(1) == 2 &&
               verification.outcome == VerifyOutcome::Failed &&
               MarksOf(verification) == Marks{kGood, kBad, kGood};
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(check());
    } else {
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
            ::_exit(dropped && check() ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ::chmod((temp / "locked").c_str(), 0755);
}
#endif

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
