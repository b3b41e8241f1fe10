#include <filesystem>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "engine/head_file.h"
#include "engine/split_operation.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::RecordingHost;
using testing::TempFolder;
using Progress = std::vector<std::string>;

class SplitTest : public ::testing::Test {
  protected:
    // Splits a source of `size` random bytes named `name` into the folder "out".
    Outcome Split(std::size_t size, std::uint32_t pieceSize,
                  const std::string& name = "movie.avi") {
        source = RandomBytes(size);
        testing::WriteBytes(temp / name, source);
        return RunSplit({temp / name, temp / "out", pieceSize}, &options, host);
    }

    std::vector<char> RandomBytes(std::size_t size) { return testing::RandomBytes(size, 7); }

    std::vector<char> Slice(std::size_t from, std::size_t size) const {
        return std::vector<char>(source.begin() + from, source.begin() + from + size);
    }

    std::vector<char> Piece(int number, const std::string& base = "movie") const {
        return testing::ReadBytes(temp / ("out/" + base + "_" + std::to_string(number) + ".skf"));
    }

    TempFolder temp;
    OptionSet options;
    RecordingHost host;
    std::vector<char> source;
};

TEST_F(SplitTest, CutsTheSourceIntoPiecesWithHeadAndBatchFile) {
    ASSERT_EQ(Split(3000000, 1457664), Outcome::Succeeded);
    EXPECT_EQ(Piece(1), Slice(0, 1457664));
    EXPECT_EQ(Piece(2), Slice(1457664, 1457664));
    EXPECT_EQ(Piece(3), Slice(2915328, 84672));
    EXPECT_FALSE(testing::Exists(temp / "out/movie_4.skf"));
    EXPECT_EQ(testing::ReadBytes(temp / "out/movie.kdh").size(), 20u);
    EXPECT_EQ(testing::SizeOf(temp / "out/movie.bat"), 163u);
    EXPECT_TRUE(testing::Exists(temp / "movie.avi"));

    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].caption, "Message");
    EXPECT_EQ(host.messages[0].text, "Split file successfully!\r\nTo Re-Join, run the file: \"" +
                                         temp / "out/movie.bat" + "\"");
    EXPECT_EQ(host.progress,
              (Progress{"ShowInPane(Operation Processing,100,100,0)", "SetWidthPercent(100)",
                        "SetStepRange(0,3,1)", "SetPosition(0)", "Advance", "Advance", "Advance",
                        "SetPosition(0)"}));
}

TEST_F(SplitTest, ExactMultipleGivesAnEmptyLastPiece) {
    ASSERT_EQ(Split(2915328, 1457664), Outcome::Succeeded);
    EXPECT_EQ(Piece(3).size(), 0u);
    auto head = File::OpenForReading(temp / "out/movie.kdh");
    EXPECT_EQ(ReadHeadFile(head.value()).info.pieceCount, 3u);
}

TEST_F(SplitTest, EmptySourceGivesOneEmptyPiece) {
    ASSERT_EQ(Split(0, 32768), Outcome::Succeeded);
    EXPECT_EQ(Piece(1).size(), 0u);
    EXPECT_FALSE(testing::Exists(temp / "out/movie_2.skf"));
}

TEST_F(SplitTest, BlockModeCountsWholeUnitsOnly) {
    ASSERT_EQ(Split(2 * 1457665 + 10, 1457665), Outcome::Succeeded);
    EXPECT_EQ(Piece(1), Slice(0, 1457665));
    EXPECT_EQ(Piece(2), Slice(1457665, 1457665));
    EXPECT_EQ(Piece(3), Slice(2 * 1457665, 10));
    EXPECT_EQ(host.progress[2], "SetStepRange(0,2,1)");
    EXPECT_EQ(host.AdvanceCount(), 2);
    auto head = File::OpenForReading(temp / "out/movie.kdh");
    EXPECT_EQ(ReadHeadFile(head.value()).info.copyUnit, 1457664u);
}

TEST_F(SplitTest, SmallSourceInBlockModeNeverAdvances) {
    ASSERT_EQ(Split(1000, 2097152), Outcome::Succeeded);
    EXPECT_EQ(Piece(1), source);
    EXPECT_EQ(host.progress[2], "SetStepRange(0,0,1)");
    EXPECT_EQ(host.AdvanceCount(), 0);
}

TEST_F(SplitTest, TheProgressBarIsPlacedOnTheFirstRunOnly) {
    ASSERT_EQ(Split(10, 4), Outcome::Succeeded);
    options.overwriteMode = 0;
    ASSERT_EQ(Split(10, 4), Outcome::Succeeded);
    EXPECT_EQ(std::count(host.progress.begin(), host.progress.end(),
                         "ShowInPane(Operation Processing,100,100,0)"),
              1);
}

TEST_F(SplitTest, InputsAreCheckedInOrder) {
    EXPECT_EQ(RunSplit({"", "", 10}, &options, host), Outcome::Failed);
    EXPECT_EQ(RunSplit({temp / "missing", "", 10}, &options, host), Outcome::Failed);
    EXPECT_EQ(RunSplit({temp / "missing", temp / "out", 10}, &options, host), Outcome::Failed);
    testing::WriteBytes(temp / "s.bin", std::vector<char>(5));
    EXPECT_EQ(RunSplit({temp / "s.bin", temp / "out", 10}, nullptr, host), Outcome::Failed);
    EXPECT_EQ(host.Errors(),
              (std::vector<std::string>{
                  "File to split must be filled in!", "Destination folder must be filled in!",
                  "File doesn't existed or can not be open!", "Get MainFrame error!"}));
    EXPECT_FALSE(testing::Exists(temp / "out"));
}

TEST_F(SplitTest, CancelAtTheOverwriteQuestionLeavesEveryFileUntouched) {
    ASSERT_EQ(Split(100, 40), Outcome::Succeeded);
    const auto head = testing::ReadBytes(temp / "out/movie.kdh");
    host.AnswerNext(false);
    EXPECT_EQ(Split(300, 40), Outcome::Cancelled);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0].text, "There are same name files in this folder,overwrite it?");
    EXPECT_EQ(host.questions[0].caption, "Overwrite Warning");
    EXPECT_EQ(testing::ReadBytes(temp / "out/movie.kdh"), head);
    EXPECT_FALSE(testing::Exists(temp / "out/movie_4.skf"));
}

TEST_F(SplitTest, AnExistingPieceWithoutHeadFileIsReplacedWithoutAQuestion) {
    std::filesystem::create_directory(temp / "out");
    testing::WriteBytes(temp / "out/movie_1.skf", std::vector<char>(500, 'z'));
    ASSERT_EQ(Split(100, 40), Outcome::Succeeded);
    EXPECT_TRUE(host.questions.empty());
    EXPECT_EQ(Piece(1), Slice(0, 40));
}

// Shows the success message while checking what is on disk at that moment.
class SnapshotHost : public RecordingHost {
  public:
    explicit SnapshotHost(std::string folder) : m_folder(std::move(folder)) {}
    void ShowMessage(const std::string& text, const std::string& caption) override {
        RecordingHost::ShowMessage(text, caption);
        headSizeAtMessage = testing::SizeOf(m_folder + testing::Native("/movie.kdh"));
        batchAtMessage = testing::Exists(m_folder + testing::Native("/movie.bat"));
    }
    std::uint64_t headSizeAtMessage = 99;
    bool batchAtMessage = true;

  private:
    std::string m_folder;
};

TEST_F(SplitTest, SuccessIsAnnouncedBeforeHeadRecordAndBatchFileExist) {
    SnapshotHost snapshot(temp / "out");
    testing::WriteBytes(temp / "movie.avi", RandomBytes(100));
    ASSERT_EQ(RunSplit({temp / "movie.avi", temp / "out/", 40}, &options, snapshot),
              Outcome::Succeeded);
    EXPECT_EQ(snapshot.headSizeAtMessage, 0u);
    EXPECT_FALSE(snapshot.batchAtMessage);
}

TEST_F(SplitTest, DeleteAfterSplitRemovesTheSourceEvenWhenTheBatchFileFails) {
    options.deleteAfterSplit = 1;
    std::filesystem::create_directory(temp / "out");
    std::filesystem::create_directory(temp /
                                      "out/movie.bat");  // a folder in the batch file's place
    EXPECT_EQ(Split(100, 40), Outcome::Failed);
    EXPECT_EQ(host.Errors(), std::vector<std::string>{"Create batch file error!"});
    EXPECT_FALSE(testing::Exists(temp / "movie.avi"));
    EXPECT_EQ(Piece(3), Slice(80, 20));
    EXPECT_EQ(host.progress.back(), "SetPosition(0)");
}

TEST_F(SplitTest, APieceThatCannotBeCreatedStopsTheSplit) {
    std::filesystem::create_directory(temp / "out");
    std::filesystem::create_directory(temp / "out/movie_2.skf");
    EXPECT_EQ(Split(100, 40), Outcome::Failed);
    EXPECT_EQ(host.Errors(), std::vector<std::string>{"Can not create file, split failed!"});
    EXPECT_EQ(Piece(1), Slice(0, 40));
    // Nothing after the piece that failed, though the next one may have been made ahead.
    EXPECT_FALSE(testing::Exists(temp / "out/movie_3.skf"));
    EXPECT_EQ(testing::SizeOf(temp / "out/movie.kdh"), 0u);
    EXPECT_FALSE(testing::Exists(temp / "out/movie.bat"));
    EXPECT_NE(host.progress.back(), "SetPosition(0)");

    RecordingHost last;
    std::filesystem::remove(temp / "out/movie_2.skf");
    std::filesystem::create_directory(temp / "out/movie_3.skf");
    RunSplit({temp / "movie.avi", temp / "out", 40}, &options, last);
    EXPECT_EQ(last.Errors(), std::vector<std::string>{"Create file error,split failed!"});
}

TEST_F(SplitTest, TheSplitNeverWritesOverItsOwnSource) {
    // The source's name makes its own head file and batch file paths.
    options.overwriteMode = 0;
    testing::WriteBytes(temp / "movie.kdh", RandomBytes(100));
    EXPECT_EQ(RunSplit({temp / "movie.kdh", temp.path(), 40}, &options, host), Outcome::Failed);
    testing::WriteBytes(temp / "clip.bat", RandomBytes(100));
    EXPECT_EQ(RunSplit({temp / "clip.bat", temp.path(), 40}, &options, host), Outcome::Failed);
    EXPECT_EQ(host.Errors(), (std::vector<std::string>{"Can not create head file, split failed!",
                                                       "Create batch file error!"}));
    EXPECT_EQ(testing::ReadBytes(temp / "movie.kdh"), RandomBytes(100));
    EXPECT_EQ(testing::ReadBytes(temp / "clip.bat"), RandomBytes(100));

    // A piece's path that is another name of the source.
    RecordingHost linked;
    std::filesystem::create_directory(temp / "out");
    testing::WriteBytes(temp / "s.bin", RandomBytes(100));
    std::filesystem::create_hard_link(temp / "s.bin", temp / "out/s_2.skf");
    EXPECT_EQ(RunSplit({temp / "s.bin", temp / "out", 40}, &options, linked), Outcome::Failed);
    EXPECT_EQ(linked.Errors(), std::vector<std::string>{"Can not create file, split failed!"});
    EXPECT_EQ(testing::ReadBytes(temp / "s.bin"), RandomBytes(100));
}

#ifndef _WIN32
TEST_F(SplitTest, AFullDiskNamesThePieceAndItsCauseAndKeepsTheSource) {
    std::filesystem::create_directory(temp / "out");
    ASSERT_EQ(::symlink("/dev/full", (temp / "out/movie_2.skf").c_str()), 0);
    EXPECT_EQ(Split(100, 40), Outcome::Failed);
    ASSERT_EQ(host.fileErrors.size(), 1u);
    EXPECT_EQ(FileErrorText(host.fileErrors[0]),
              "Disk full while accessing " + temp.path() + "/out/movie_2.skf.");
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(testing::ReadBytes(temp / "movie.avi"), source);
    EXPECT_FALSE(testing::Exists(temp / "out/movie_3.skf"));
}
#endif

TEST_F(SplitTest, AStoppedSplitLeavesLaterPiecesOfAnEarlierSplitAsTheyWere) {
    std::filesystem::create_directory(temp / "out");
    std::filesystem::create_directory(temp / "out/movie_2.skf");
    const auto earlier = RandomBytes(40);
    testing::WriteBytes(temp / "out/movie_3.skf", earlier);
    EXPECT_EQ(Split(200, 40), Outcome::Failed);
    EXPECT_EQ(Piece(3), earlier);
    EXPECT_FALSE(testing::Exists(temp / "out/movie_4.skf"));
}

TEST_F(SplitTest, TooManyPiecesForTheHeadFileStopBeforeAnythingIsWritten) {
    const std::string sparse = temp / "big.img";
    testing::WriteBytes(sparse, std::vector<char>());
    std::filesystem::resize_file(sparse, 1ull << 32);
    EXPECT_EQ(RunSplit({sparse, temp / "out", 1}, &options, host), Outcome::Failed);
    EXPECT_EQ(RunSplit({sparse, temp / "out", 0}, &options, host), Outcome::Failed);
    EXPECT_EQ(host.Errors(), (std::vector<std::string>{"Split size is too small for this file!",
                                                       "Split size is too small for this file!"}));
    EXPECT_FALSE(testing::Exists(temp / "out"));
}

}  // namespace
}  // namespace kavendrum
