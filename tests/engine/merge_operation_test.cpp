#include <filesystem>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "engine/head_file.h"
#include "engine/merge_operation.h"
#include "engine/split_operation.h"
#include "support/held_file.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::RecordingHost;
using testing::TempFolder;
using Bytes = std::vector<char>;
using Texts = std::vector<std::string>;

class MergeTest : public ::testing::Test {
  protected:
    // Writes x.kdh and pieces cut from `whole` as the record says.
    void Prepare(const Bytes& wholeBytes, HeadFileInfo info) {
        whole = wholeBytes;
        testing::WriteBytes(temp / "x.kdh", EncodeHeadFile(info));
        for (std::uint32_t i = 0; i < info.pieceCount; ++i) {
            const std::size_t from = std::size_t{i} * info.pieceSize;
            const std::size_t size = std::min<std::size_t>(info.pieceSize, whole.size() - from);
            WritePiece(i + 1, Bytes(whole.begin() + from, whole.begin() + from + size));
        }
    }
    void WritePiece(int number, const Bytes& bytes) {
        testing::WriteBytes(PiecePath(number), bytes);
    }
    std::string PiecePath(int number) const {
        return temp / ("x_" + std::to_string(number) + ".skf");
    }
    Outcome Merge(const std::string& output = "out.bin") {
        return RunMerge({temp / "x.kdh", temp.path(), temp / output}, &options, host).outcome;
    }

    TempFolder temp;
    OptionSet options;
    RecordingHost host;
    Bytes whole;
};

TEST_F(MergeTest, JoinsWholePiecesInOrder) {
    Prepare(testing::RandomBytes(2500), {2500, 3, 1000, 1000, "bin"});
    ASSERT_EQ(Merge(), Outcome::Succeeded);
    EXPECT_EQ(testing::ReadBytes(temp / "out.bin"), whole);
    EXPECT_EQ(host.messages,
              (std::vector<testing::Shown>{{"Merge files successfully!", "Message"}}));
    EXPECT_EQ(host.progress, (Texts{"ShowInPane(Operation Processing,100,100,0)",
                                    "SetWidthPercent(100)", "SetStepRange(0,3,1)", "SetPosition(0)",
                                    "Advance", "Advance", "Advance", "SetPosition(0)"}));
}

TEST_F(MergeTest, BlockModeCopiesUnitsAndRests) {
    Prepare(testing::RandomBytes(3000000), {3000000, 2, 2097152, 1457664, "bin"});
    ASSERT_EQ(Merge(), Outcome::Succeeded);
    EXPECT_EQ(testing::ReadBytes(temp / "out.bin"), whole);
    EXPECT_EQ(host.progress[2], "SetStepRange(0,1,1)");
    EXPECT_EQ(host.AdvanceCount(), 1);
}

TEST_F(MergeTest, DeleteAfterMergeRemovesPiecesAndHeadFileAlsoAnEmptyLastPiece) {
    options.deleteAfterMerge = 1;
    Prepare(testing::RandomBytes(2000), {2000, 3, 1000, 1000, "bin"});
    ASSERT_EQ(Merge(), Outcome::Succeeded);
    EXPECT_EQ(testing::ReadBytes(temp / "out.bin"), whole);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_FALSE(testing::Exists(PiecePath(i)));
    }
    EXPECT_FALSE(testing::Exists(temp / "x.kdh"));
}

TEST_F(MergeTest, PiecesAreLookedForBesideTheHeadFileWithoutLeadingZeros) {
    Prepare(testing::RandomBytes(100), {100, 10, 11, 11, "bin"});
    std::filesystem::create_directory(temp / "dest");
    ASSERT_EQ(
        RunMerge({temp / "x.kdh", temp / "dest", temp / "dest/r.bin"}, &options, host).outcome,
        Outcome::Succeeded);
    EXPECT_EQ(testing::ReadBytes(temp / "dest/r.bin"), whole);
    EXPECT_TRUE(testing::Exists(temp / "x_10.skf"));
}

TEST_F(MergeTest, InputsAreCheckedInOrderAndNothingIsCreated) {
    RunMerge({"", "", ""}, &options, host);
    RunMerge({temp / "x.kdh", "", ""}, &options, host);
    RunMerge({temp / "x.kdh", temp.path(), temp / "out.bin"}, &options, host);
    Prepare(testing::RandomBytes(100), {100, 1, 200, 200, "bin"});
    RunMerge({temp / "x.kdh", temp.path(), temp / "out.bin"}, nullptr, host);
    EXPECT_EQ(host.Errors(),
              (Texts{"Head File Name must be filled in!", "Destination folder must be filled in!",
                     "Head file doesn't existed or can not be opened!", "Get MainFrame Error!"}));
    EXPECT_FALSE(testing::Exists(temp / "out.bin"));
}

TEST_F(MergeTest, MalformedHeadFilesAreRefusedBeforeTheOutputExists) {
    options.verifyBeforeMerge = 0;
    for (const HeadFileInfo& info :
         {HeadFileInfo{100, 0, 100, 100, ""}, HeadFileInfo{100, 1, 0, 0, ""},
          HeadFileInfo{3000000, 2, 2097152, 2097152, ""}, HeadFileInfo{9000, 3, 1000, 1000, ""},
          HeadFileInfo{1500, 3, 1000, 1000, ""}}) {
        testing::WriteBytes(temp / "x.kdh", EncodeHeadFile(info));
        EXPECT_EQ(Merge(), Outcome::Failed);
        EXPECT_FALSE(testing::Exists(temp / "out.bin"));
    }
    testing::WriteBytes(temp / "x.kdh", Bytes());
    EXPECT_EQ(Merge(), Outcome::Failed);
    EXPECT_EQ(host.Errors(), Texts(6, "Read info from head file error!"));
}

// A host that keeps what the merge says as data, and how many messages had been shown when the
// rows of its verification came.
class NoticeHost : public RecordingHost {
  public:
    void Notify(const Notice& notice) override {
        notices.push_back(notice);
        RecordingHost::Notify(notice);
    }
    void PiecesChecked(const ContentVerification& checked) override {
        rowsAfter = messages.size();
        rows = checked.verification.pieces;
    }

    std::vector<Notice> notices;
    std::optional<std::size_t> rowsAfter;
    std::optional<std::vector<PieceEntry>> rows;
};

TEST_F(MergeTest, AMissingPieceIsNamedByPathAndNumberWithNoFailureMadeUp) {
    options.verifyBeforeMerge = 0;
    Prepare(testing::RandomBytes(2500), {2500, 3, 1000, 1000, "bin"});
    std::filesystem::remove(PiecePath(2));
    NoticeHost noticing;
    EXPECT_EQ(RunMerge({temp / "x.kdh", temp.path(), temp / "out.bin"}, &options, noticing).outcome,
              Outcome::Failed);
    ASSERT_EQ(noticing.notices.size(), 1u);
    const Notice& missing = noticing.notices[0];
    EXPECT_EQ(missing.id, NoticeId::PieceMissing);
    EXPECT_EQ(missing.path, PiecePath(2));
    EXPECT_EQ(missing.piece, 2u);
    EXPECT_FALSE(missing.failure.has_value());
    EXPECT_EQ(noticing.Errors(), Texts{"Read file error!"});
    EXPECT_FALSE(testing::Exists(temp / "out.bin"));
}

// The form marks its list from the rows before the success message, and the result says what was
// done, so that no host works it out again.
TEST_F(MergeTest, AVerifiedMergeHandsItsRowsOverFirstAndReturnsWhatItDid) {
    Prepare(testing::RandomBytes(2500), {2500, 3, 1000, 1000, "bin"});
    NoticeHost noticing;
    const MergeResult result =
        RunMerge({temp / "x.kdh", temp.path(), temp / "out.bin"}, &options, noticing);
    ASSERT_EQ(result.outcome, Outcome::Succeeded);
    EXPECT_EQ(noticing.rowsAfter, 0u);
    ASSERT_TRUE(noticing.rows.has_value());
    EXPECT_EQ(noticing.rows->size(), 3u);
    ASSERT_TRUE(result.checked.has_value());
    EXPECT_EQ(result.checked->verification.pieces, noticing.rows);
    EXPECT_EQ(result.pieceCount, 3u);
    EXPECT_EQ(result.outputWritten, temp / "out.bin");
    EXPECT_EQ(noticing.messages.back(), (testing::Shown{"Merge files successfully!", "Message"}));
}

// Pieces are named after the head file; a file not named like one names no set, and the merge
// says so as verification would, rather than join files named after a guess.
TEST_F(MergeTest, AHeadFileNotNamedLikeOneIsRefusedAlsoWithoutVerification) {
    options.verifyBeforeMerge = 0;
    Prepare(testing::RandomBytes(100), {100, 1, 200, 200, "bin"});
    std::filesystem::rename(temp / "x.kdh", temp / "x.khd");
    const MergeResult result =
        RunMerge({temp / "x.khd", temp.path(), temp / "out.bin"}, &options, host);
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_EQ(result.pieceCount, 1u);
    EXPECT_EQ(host.Errors(), Texts{"Invalid head file name!"});
    EXPECT_FALSE(testing::Exists(temp / "out.bin"));
}

TEST_F(MergeTest, FailedVerificationCreatesNothing) {
    Prepare(testing::RandomBytes(2500), {2500, 3, 1000, 1000, "bin"});
    std::filesystem::remove(PiecePath(2));
    const MergeResult result =
        RunMerge({temp / "x.kdh", temp.path(), temp / "out.bin"}, &options, host);
    EXPECT_EQ(result.outcome, Outcome::Failed);
    ASSERT_TRUE(result.checked.has_value());
    EXPECT_EQ(result.checked->verification.outcome, VerifyOutcome::Failed);
    EXPECT_EQ(result.checked->verification.pieces.value()[1].mark, PieceMark::Bad);
    EXPECT_EQ(result.pieceCount, 3u);
    EXPECT_TRUE(result.outputWritten.empty());
    EXPECT_FALSE(testing::Exists(temp / "out.bin"));
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(MergeTest, OverwriteIsAskedOnlyWhenTheOptionSaysSo) {
    Prepare(testing::RandomBytes(2500), {2500, 3, 1000, 1000, "bin"});
    testing::WriteBytes(temp / "out.bin", Bytes{'o', 'l', 'd'});
    host.AnswerNext(false);
    EXPECT_EQ(Merge(), Outcome::Cancelled);
    EXPECT_EQ(host.questions,
              (std::vector<testing::Shown>{
                  {"Do you want to overwrite same name file?", "Overwrite Warning"}}));
    EXPECT_EQ(testing::ReadBytes(temp / "out.bin"), (Bytes{'o', 'l', 'd'}));

    options.overwriteMode = 0;
    EXPECT_EQ(Merge(), Outcome::Succeeded);
    EXPECT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(testing::ReadBytes(temp / "out.bin"), whole);
}

TEST_F(MergeTest, ShortPiecesStopTheMergeWithoutMadeUpBytes) {
    options.verifyBeforeMerge = 0;
    options.deleteAfterMerge = 1;
    Prepare(testing::RandomBytes(2500), {2500, 3, 1000, 1000, "bin"});
    WritePiece(2, Bytes(whole.begin() + 1000, whole.begin() + 1600));
    EXPECT_EQ(Merge(), Outcome::Failed);
    EXPECT_EQ(host.Errors(), Texts{"Read file error!"});
    // The piece whose bytes are in the merge's own file is gone, and that file is kept for the
    // next run, its journal naming it; nothing stands under the output's name. The short piece
    // and the head file stay.
    EXPECT_FALSE(testing::Exists(temp / "out.bin"));
    EXPECT_EQ(testing::ReadBytes(temp / "out.bin.kdpart"),
              Bytes(whole.begin(), whole.begin() + 1000));
    EXPECT_TRUE(testing::Exists(temp / "x.kdj"));
    EXPECT_FALSE(testing::Exists(PiecePath(1)));
    EXPECT_TRUE(testing::Exists(PiecePath(2)));
    EXPECT_TRUE(testing::Exists(temp / "x.kdh"));
    EXPECT_NE(host.progress.back(), "SetPosition(0)");
}

TEST_F(MergeTest, AMissingPieceStopsTheMergeBeforeAnythingIsCreatedOrRemoved) {
    options.verifyBeforeMerge = 0;
    options.deleteAfterMerge = 1;
    Prepare(testing::RandomBytes(3000000), {3000000, 2, 2097152, 1457664, "bin"});
    std::filesystem::remove(PiecePath(2));
    EXPECT_EQ(Merge(), Outcome::Failed);
    EXPECT_EQ(host.Errors(), Texts{"Read file error!"});
    EXPECT_FALSE(testing::Exists(temp / "out.bin"));
    EXPECT_TRUE(testing::Exists(PiecePath(1)));
}

// A run that fails part way leaves no partial file under the output's name, nor beside it when
// no piece was removed; a file that stood there before is kept as it was.
TEST_F(MergeTest, APieceThatIsThereButWillNotOpenLeavesNoPartialFile) {
    options.verifyBeforeMerge = 0;
    Prepare(testing::RandomBytes(3000000), {3000000, 2, 2097152, 1457664, "bin"});
    testing::HeldFile holder(PiecePath(2));
    ASSERT_TRUE(holder.held());
    EXPECT_EQ(Merge(), Outcome::Failed);
    options.overwriteMode = 0;
    testing::WriteBytes(temp / "old.bin", Bytes{'o'});
    EXPECT_EQ(Merge("old.bin"), Outcome::Failed);
    EXPECT_EQ(host.Errors(), Texts(2, "Read file error!"));
    EXPECT_FALSE(testing::Exists(temp / "out.bin"));
    EXPECT_EQ(testing::ReadBytes(temp / "old.bin"), Bytes{'o'});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.path()),
                            std::filesystem::directory_iterator()),
              4);  // x.kdh, the two pieces and old.bin
}

// A head file naming 4294967295 one-byte pieces, of which only the first is there: refused at
// once, with and without verification, and nothing is created.
TEST_F(MergeTest, AHeadFileNamingBillionsOfPiecesFailsFastAndCreatesNothing) {
    testing::WriteBytes(temp / "x.kdh", EncodeHeadFile({4294967294u, 4294967295u, 1, 1, "bin"}));
    WritePiece(1, Bytes{'a'});
    for (const int verify : {0, 1}) {
        options.verifyBeforeMerge = verify;
        EXPECT_EQ(Merge(), Outcome::Failed);
        EXPECT_FALSE(testing::Exists(temp / "out.bin"));
    }
    // An output that is there already is left as it is.
    options.verifyBeforeMerge = 0;
    options.overwriteMode = 0;
    testing::WriteBytes(temp / "old.bin", Bytes{'o'});
    EXPECT_EQ(Merge("old.bin"), Outcome::Failed);
    EXPECT_EQ(testing::ReadBytes(temp / "old.bin"), Bytes{'o'});
    EXPECT_EQ(host.Errors(), Texts(2, "Read file error!"));
}

// The extension is part of the rebuilt file's name, so one that climbs out of the destination
// makes the head file malformed: nothing outside is touched, nothing inside is removed.
TEST_F(MergeTest, AnExtensionThatLeadsOutOfTheDestinationIsRefused) {
    options.overwriteMode = 0;
    options.deleteAfterMerge = 1;
    Prepare(testing::RandomBytes(2500), {2500, 3, 1000, 1000, "d/../../outside/victim"});
    std::filesystem::create_directories(temp / "in/x.d");
    std::filesystem::create_directories(temp / "outside");
    testing::WriteBytes(temp / "outside/victim", Bytes{'v'});
    EXPECT_EQ(RunMerge({temp / "x.kdh", temp / "in", temp / "in/x.d/../../outside/victim"},
                       &options, host)
                  .outcome,
              Outcome::Failed);
    EXPECT_EQ(host.Errors(), Texts{"Read info from head file error!"});
    EXPECT_EQ(testing::ReadBytes(temp / "outside/victim"), Bytes{'v'});
    EXPECT_TRUE(testing::Exists(temp / "x.kdh"));
    EXPECT_TRUE(testing::Exists(PiecePath(1)));
}

TEST_F(MergeTest, LongerPiecesContributeOnlyTheirExpectedBytes) {
    options.verifyBeforeMerge = 0;
    Prepare(testing::RandomBytes(2500), {2500, 3, 1000, 1000, "bin"});
    Bytes longer(whole.begin(), whole.begin() + 1000);
    longer.push_back('!');
    WritePiece(1, longer);
    ASSERT_EQ(Merge(), Outcome::Succeeded);
    EXPECT_EQ(testing::ReadBytes(temp / "out.bin"), whole);
}

TEST_F(MergeTest, TheOutputMayNotBeOneOfItsInputs) {
    options.overwriteMode = 0;
    options.verifyBeforeMerge = 0;
    Prepare(testing::RandomBytes(2500), {2500, 3, 1000, 1000, "bin"});
    const auto head = testing::ReadBytes(temp / "x.kdh");
    EXPECT_EQ(Merge("x_2.skf"), Outcome::Failed);
    EXPECT_EQ(Merge("x.kdh"), Outcome::Failed);
    std::filesystem::create_hard_link(PiecePath(3), temp / "link.bin");
    EXPECT_EQ(Merge("link.bin"), Outcome::Failed);
#ifndef _WIN32
    ASSERT_EQ(::symlink(PiecePath(3).c_str(), (temp / "soft.bin").c_str()), 0);
    EXPECT_EQ(Merge("soft.bin"), Outcome::Failed);
    EXPECT_EQ(host.Errors(), Texts(4, "Create file error,merge failed!"));
#else
    EXPECT_EQ(host.Errors(), Texts(3, "Create file error,merge failed!"));
#endif
    EXPECT_EQ(testing::ReadBytes(PiecePath(2)), Bytes(whole.begin() + 1000, whole.begin() + 2000));
    EXPECT_EQ(testing::ReadBytes(PiecePath(3)), Bytes(whole.begin() + 2000, whole.end()));
    EXPECT_EQ(testing::ReadBytes(temp / "x.kdh"), head);
}

TEST(RoundTripTest, SplitThenMergeGivesTheSameBytesInBothCopyModes) {
    for (const std::uint32_t pieceSize : {4096u, 1457664u, 1457665u, 4194304u}) {
        TempFolder temp;
        const Bytes source = testing::RandomBytes(3 * 1457664 + 777, pieceSize);
        testing::WriteBytes(temp / "data.tar.gz", source);
        RecordingHost host;
        OptionSet options;
        options.deleteAfterMerge = 1;
        ASSERT_EQ(RunSplit({temp / "data.tar.gz", temp / "pieces", pieceSize}, &options, host),
                  Outcome::Succeeded);
        ASSERT_EQ(RunMerge({temp / "pieces/data.tar.kdh", temp / "back", temp / "back/data.tar.gz"},
                           &options, host)
                      .outcome,
                  Outcome::Succeeded)
            << pieceSize;
        EXPECT_EQ(testing::ReadBytes(temp / "back/data.tar.gz"), source) << pieceSize;
        EXPECT_FALSE(testing::Exists(temp / "pieces/data.tar_1.skf"));
        EXPECT_TRUE(host.Errors().empty());
    }
}

}  // namespace
}  // namespace kavendrum
