#include "ui/presenters/merge_presenter.h"

#include <filesystem>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "engine/head_file.h"
#include "engine/par2/recovery_files.h"
#include "engine/paths.h"
#include "engine/split_operation.h"
#include "fakes.h"
#include "support/temp_folder.h"

using namespace kavendrum;
using namespace kavendrum::testing;
using namespace kavendrum::ui;

namespace {

class FakeMergeView : public MergeView {
  public:
    MergeFields ReadFields() const override { return fields; }
    void WriteFields(const MergeFields& written) override { fields = written; }
    void ClearPieces() override {
        pieces.clear();
        notes.clear();
        selected.reset();
    }
    void AddPiece(const PieceEntry& entry) override { pieces.push_back(entry); }
    void SetPieceNote(std::size_t row, const std::string& note) override { notes[row] = note; }
    void SelectPiece(std::size_t row) override { selected = row; }
    void ShowSummary(const std::string& text) override { summary = text; }
    bool PrefixChecked() const override { return fields.prefixName; }
    void SetPrefixEditable(bool editable) override {
        prefixEditable = editable;
        if (!editable) {
            fields.prefixText.clear();
        }
    }

    std::vector<PieceMark> Marks() const {
        std::vector<PieceMark> marks;
        for (const PieceEntry& entry : pieces) {
            marks.push_back(entry.mark);
        }
        return marks;
    }

    MergeFields fields;
    std::vector<PieceEntry> pieces;
    std::map<std::size_t, std::string> notes;
    std::optional<std::size_t> selected;
    std::string summary;
    bool prefixEditable = false;
};

class MergePresenterTest : public ::testing::Test {
  protected:
    // movie.kdh for 2500 bytes in pieces of 1000, with the given pieces present.
    void Prepare(std::initializer_list<int> present) {
        whole = RandomBytes(2500);
        WriteBytes(folder / "movie.kdh", EncodeHeadFile({2500, 3, 1000, 1000, "avi"}));
        for (const int number : present) {
            const auto from = whole.begin() + (number - 1) * 1000;
            WriteBytes(folder / ("movie_" + std::to_string(number) + ".skf"),
                       std::vector<char>(from, from + std::min(1000, 2500 - (number - 1) * 1000)));
        }
    }
    // The head file's name typed into its field.
    void TypeHeadFile(const std::string& path) {
        view.fields.headFileName = path;
        presenter.LoadHeadFile();
    }
    // Recovery files for the three pieces of Prepare that rebuild any one of them.
    bool MakeRecoveryFiles() {
        par2::RecoveryRequest recovery;
        recovery.folder = folder.path();
        recovery.baseName = "movie";
        recovery.pieceNames = {"movie_1.skf", "movie_2.skf", "movie_3.skf"};
        recovery.pieceSizes = {1000, 1000, 500};
        recovery.pieceSize = 1000;
        recovery.wantedPieces = 1;
        return par2::CreateRecoveryFiles(recovery).status == par2::RecoveryStatus::Written;
    }
    void TypeDestination(const std::string& folderName) {
        view.fields.destFolder = folderName;
        presenter.OnNameFieldChanged();
    }

    TempFolder folder;
    std::vector<char> whole;
    FakeMergeView view;
    FakeDialogs dialogs;
    FakeProgress progress;
    FakeOptions options;
    MergePresenter presenter{view, dialogs, progress, &options};
};

TEST_F(MergePresenterTest, LoadingAHeadFileListsThePiecesThatExist) {
    Prepare({1, 3});
    TypeHeadFile(folder / "movie.kdh");
    EXPECT_EQ(view.fields.destFolder, GetFolderPart(folder / "movie.kdh"));
    EXPECT_EQ(view.fields.objectFileSize, 2500u);
    EXPECT_EQ(view.fields.splitCount, 3u);
    EXPECT_EQ(view.fields.objectFileName, folder / "movie.avi");
    ASSERT_EQ(view.pieces.size(), 2u);
    EXPECT_EQ(view.pieces[1].path, folder / "movie_3.skf");
    EXPECT_EQ(view.pieces[1].sizeText, "500");
    EXPECT_EQ(view.Marks(), (std::vector<PieceMark>{PieceMark::Unchecked, PieceMark::Unchecked}));

    // A name that is no readable head file zeroes the numbers and empties the list, but keeps
    // the object file name.
    TypeHeadFile(folder / "movie.kd");
    EXPECT_EQ(view.fields.objectFileSize, 0u);
    EXPECT_EQ(view.fields.splitCount, 0u);
    EXPECT_TRUE(view.pieces.empty());
    EXPECT_EQ(view.fields.objectFileName, folder / "movie.avi");
    EXPECT_EQ(view.fields.destFolder, GetFolderPart(folder / "movie.kd"));
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(MergePresenterTest, ABadHeadFileIsReportedAndChangesNoNumber) {
    Prepare({1, 2, 3});
    TypeHeadFile(folder / "movie.kdh");
    WriteBytes(folder / "short.KDH", std::vector<char>(7, '\0'));
    WriteBytes(folder / "evil.kdh", EncodeHeadFile({2500, 3, 1000, 1000, "d/../../x/victim"}));
    TypeHeadFile(folder / "short.KDH");
    TypeHeadFile(folder / "evil.kdh");
    EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{"Read info From head file error",
                                                         "Read info From head file error"}));
    EXPECT_EQ(dialogs.boxes[0].caption, "Error");
    EXPECT_EQ(view.fields.objectFileSize, 2500u);
    EXPECT_EQ(view.pieces.size(), 3u);
    EXPECT_EQ(view.fields.objectFileName, folder / "movie.avi");
}

TEST_F(MergePresenterTest, ThePrefixNameReplacesTheHeadFilesName) {
    Prepare({1, 2, 3});
    TypeHeadFile(folder / "movie.kdh");
    TypeDestination(folder / "out");
    EXPECT_EQ(view.fields.objectFileName, folder / "out/movie.avi");
    // A trailing separator changes nothing.
    TypeDestination(folder / "out/");
    EXPECT_EQ(view.fields.objectFileName, folder / "out/movie.avi");

    view.fields.prefixName = true;
    presenter.OnPrefixClicked();
    EXPECT_TRUE(view.prefixEditable);
    EXPECT_EQ(view.fields.objectFileName, folder / "out/.avi");
    view.fields.prefixText = Native("sub/clip2.txt");
    presenter.OnNameFieldChanged();
    EXPECT_EQ(view.fields.objectFileName, folder / "out/clip2.avi");

    view.fields.prefixName = false;
    presenter.OnPrefixClicked();
    EXPECT_FALSE(view.prefixEditable);
    EXPECT_EQ(view.fields.prefixText, "");
    EXPECT_EQ(view.fields.objectFileName, folder / "out/movie.avi");
}

TEST_F(MergePresenterTest, BrowsingLoadsTheChosenHeadFileOrFolder) {
    Prepare({1, 2, 3});
    presenter.OnBrowseHeadFile();
    EXPECT_EQ(dialogs.filters, std::vector<std::string>{"Kavendrum Head File(*.kdh)"});
    EXPECT_EQ(view.fields.headFileName, "");

    dialogs.fileToChoose = folder / "movie.kdh";
    presenter.OnBrowseHeadFile();
    presenter.OnBrowseHeadFile();
    // The second dialog opens where the first head file was.
    EXPECT_EQ(dialogs.fileFoldersOffered,
              (std::vector<std::string>{"", "", GetFolderPart(folder / "movie.kdh")}));
    EXPECT_EQ(view.fields.headFileName, folder / "movie.kdh");
    EXPECT_EQ(view.pieces.size(), 3u);

    presenter.OnBrowseFolder();
    EXPECT_EQ(dialogs.foldersOffered.back(), GetFolderPart(folder / "movie.kdh"));
    EXPECT_EQ(view.fields.objectFileName, folder / "movie.avi");
    dialogs.folderToChoose = folder / "elsewhere";
    presenter.OnBrowseFolder();
    EXPECT_EQ(view.fields.destFolder, folder / "elsewhere");
    EXPECT_EQ(view.fields.objectFileName, folder / "elsewhere/movie.avi");
}

TEST_F(MergePresenterTest, VerifyMarksEveryExpectedPiece) {
    Prepare({1, 3});
    TypeHeadFile(folder / "movie.kdh");
    EXPECT_EQ(presenter.OnVerify(), VerifyOutcome::Failed);
    EXPECT_EQ(view.Marks(),
              (std::vector<PieceMark>{PieceMark::Good, PieceMark::Bad, PieceMark::Good}));
    EXPECT_FALSE(presenter.m_bVerifyOk);

    Prepare({1, 2, 3});
    EXPECT_EQ(presenter.OnVerify(), VerifyOutcome::Passed);
    EXPECT_TRUE(presenter.m_bVerifyOk);
}

TEST_F(MergePresenterTest, VerifyBringsTheFirstBadPieceIntoViewAndSaysWhy) {
    Prepare({1, 3});
    WriteBytes(folder / "movie_3.skf", std::vector<char>(499, 'x'));
    TypeHeadFile(folder / "movie.kdh");
    EXPECT_EQ(presenter.OnVerify(), VerifyOutcome::Failed);
    EXPECT_EQ(view.selected, 1u);
    EXPECT_EQ(view.notes,
              (std::map<std::size_t, std::string>{{1, "missing"}, {2, "size differs"}}));
    EXPECT_EQ(view.summary, "2 of 3 pieces are bad");
    EXPECT_TRUE(dialogs.boxes.empty());

    Prepare({1, 2, 3});
    EXPECT_EQ(presenter.OnVerify(), VerifyOutcome::Passed);
    EXPECT_FALSE(view.selected);
    EXPECT_TRUE(view.notes.empty());
    EXPECT_EQ(view.summary, "");
    EXPECT_EQ(progress.busyChanges, (std::vector<bool>{true, false, true, false}));
}

TEST_F(MergePresenterTest, SummariesCountThePiecesARunOfMissingPiecesStandsFor) {
    const std::vector<PieceEntry> rows{
        {"a_1.skf", "10", PieceMark::Good},
        {"a_{2..40}.skf", "10", PieceMark::Bad, 39, PieceFault::Missing},
        {"a_41.skf", "3", PieceMark::Good}};
    EXPECT_EQ(BadPiecesSummary(rows), "39 of 41 pieces are bad");
    EXPECT_EQ(BadPiecesSummary({rows[0], rows[2], {"a_3.skf", "1", PieceMark::Bad}}),
              "1 of 3 pieces is bad");
    EXPECT_EQ(BadPiecesSummary({rows[0]}), "");
    EXPECT_EQ(PieceFaultText(PieceFault::ContentDiffers), "content differs");
}

TEST_F(MergePresenterTest, AChecksumErrorOfTheMergeIsFollowedByTheRowsThatCausedIt) {
    whole = RandomBytes(2500);
    WriteBytes(folder / "movie.avi", whole);
    FakeDialogs splitDialogs;
    FakeProgress splitProgress;
    FormHost splitHost(splitDialogs, splitProgress);
    SplitRequest split;
    split.sourcePath = folder / "movie.avi";
    split.destinationFolder = folder / "";
    split.pieceSize = 1000;
    split.writeChecksums = true;
    ASSERT_EQ(RunSplit(split, &options.inForce, splitHost), Outcome::Succeeded);
    std::filesystem::remove(folder / "movie.avi");
    {
        // One byte of the second piece flipped, its size unchanged.
        std::fstream piece(folder / "movie_2.skf", std::ios::in | std::ios::out | std::ios::binary);
        piece.seekp(17);
        piece.put(static_cast<char>(~whole[1017]));
    }
    TypeHeadFile(folder / "movie.kdh");
    options.inForce.verifyBeforeMerge = 0;
    presenter.OnStart();
    ASSERT_EQ(dialogs.Texts(), std::vector<std::string>{"Merged file checksum error!"});
    EXPECT_EQ(view.Marks(),
              (std::vector<PieceMark>{PieceMark::Good, PieceMark::Bad, PieceMark::Good}));
    EXPECT_EQ(view.notes, (std::map<std::size_t, std::string>{{1, "content differs"}}));
    EXPECT_EQ(view.selected, 1u);
    EXPECT_EQ(view.summary, "1 of 3 pieces is bad");
}

TEST_F(MergePresenterTest, StartRebuildsTheFileAfterVerifyingIt) {
    Prepare({1, 2, 3});
    TypeHeadFile(folder / "movie.kdh");
    presenter.OnStart();
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Merge files successfully!"});
    EXPECT_EQ(ReadBytes(folder / "movie.avi"), whole);
    EXPECT_TRUE(presenter.m_bVerifyOk);
    EXPECT_EQ(view.Marks(), std::vector<PieceMark>(3, PieceMark::Good));
    EXPECT_EQ(progress.calls.front(), "ShowInPane(Operation Processing,100,100,0)");
}

TEST_F(MergePresenterTest, WithoutTheFramesOptionsNothingIsLoadedOrMerged) {
    Prepare({1, 2, 3});
    MergePresenter alone(view, dialogs, progress, nullptr);
    view.fields.headFileName = folder / "movie.kdh";
    alone.LoadHeadFile();
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_TRUE(view.pieces.empty());
    alone.OnNameFieldChanged();
    EXPECT_EQ(alone.OnVerify(), VerifyOutcome::Failed);
    EXPECT_EQ(dialogs.Texts(),
              (std::vector<std::string>{"Get MainFrame Error!", "Get MainFrame Error!"}));
    EXPECT_FALSE(alone.m_bVerifyOk);
    EXPECT_FALSE(Exists(folder / "movie.avi"));
}

TEST_F(MergePresenterTest, VerifyCountsWhatTheRecoveryFilesRebuildAndStartRepairsFirst) {
    Prepare({1, 2, 3});
    ASSERT_TRUE(MakeRecoveryFiles());
    std::filesystem::remove(folder / "movie_2.skf");
    TypeHeadFile(folder / "movie.kdh");

    EXPECT_EQ(presenter.OnVerify(), VerifyOutcome::Failed);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{
                                   "1 piece is bad; 1 can be rebuilt from the recovery files."});

    // Declined: the merge goes on to its verification, which fails as before.
    dialogs.boxes.clear();
    dialogs.answers = {false};
    presenter.OnStart();
    EXPECT_EQ(dialogs.boxes.front().text,
              "Some pieces are damaged or missing, do you want to repair them first?");
    EXPECT_FALSE(Exists(folder / "movie.avi"));
    EXPECT_FALSE(Exists(folder / "movie_2.skf"));

    dialogs.boxes.clear();
    presenter.OnStart();
    EXPECT_EQ(dialogs.Texts(),
              (std::vector<std::string>{
                  "Some pieces are damaged or missing, do you want to repair them first?",
                  "Repair files successfully!\r\nPieces rebuilt: 1", "Merge files successfully!"}));
    EXPECT_EQ(ReadBytes(folder / "movie.avi"), whole);
}

// With no checksum file the merge compares sizes; a piece the recovery files found damaged and
// that the user chose to keep fails it all the same, and its row says why.
TEST_F(MergePresenterTest, ADamagedPieceKeptByTheUserStopsTheMergeAtItsRow) {
    Prepare({1, 2, 3});
    ASSERT_TRUE(MakeRecoveryFiles());
    auto bytes = ReadBytes(folder / "movie_2.skf");
    bytes[10] = static_cast<char>(bytes[10] ^ 1);
    WriteBytes(folder / "movie_2.skf", bytes);
    TypeHeadFile(folder / "movie.kdh");
    dialogs.answers = {false};
    presenter.OnStart();
    EXPECT_EQ(dialogs.Texts(),
              std::vector<std::string>{
                  "Some pieces are damaged or missing, do you want to repair them first?"});
    EXPECT_FALSE(Exists(folder / "movie.avi"));
    EXPECT_EQ(view.Marks(),
              (std::vector<PieceMark>{PieceMark::Good, PieceMark::Bad, PieceMark::Good}));
    EXPECT_EQ(view.selected, std::optional<std::size_t>(1));
}

// Notes, for each box, how many calls the bar had by then.
class DialogsBesideBar : public FakeDialogs {
  public:
    explicit DialogsBesideBar(const FakeProgress& bar) : m_bar(bar) {}
    bool ShowBox(const std::string& text, const std::string& caption, BoxStyle style) override {
        barCallsBefore.push_back(m_bar.calls.size());
        return FakeDialogs::ShowBox(text, caption, style);
    }
    std::vector<std::size_t> barCallsBefore;

  private:
    const FakeProgress& m_bar;
};

TEST_F(MergePresenterTest, TheBarMovesWhileStartRepairs) {
    Prepare({1, 2, 3});
    ASSERT_TRUE(MakeRecoveryFiles());
    std::filesystem::remove(folder / "movie_2.skf");
    DialogsBesideBar boxes(progress);
    MergePresenter merging{view, boxes, progress, &options};
    view.fields.headFileName = folder / "movie.kdh";
    merging.LoadHeadFile();

    merging.OnStart();
    ASSERT_GE(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].text,
              "Some pieces are damaged or missing, do you want to repair them first?");
    EXPECT_EQ(boxes.boxes[1].text, "Repair files successfully!\r\nPieces rebuilt: 1");
    // Between the question and the repair's result the bar starts from nothing and steps.
    const std::vector<std::string> during(progress.calls.begin() + boxes.barCallsBefore[0],
                                          progress.calls.begin() + boxes.barCallsBefore[1]);
    const auto start = std::find(during.begin(), during.end(), "SetPosition(0)");
    ASSERT_NE(start, during.end());
    EXPECT_NE(std::find(start, during.end(), "Advance"), during.end());
    EXPECT_EQ(ReadBytes(folder / "movie.avi"), whole);
}

TEST(MovingBarTest, TheBarStepsWhileTheWorkRunsAndStopsWithIt) {
    class CountingBar : public FakeProgress {
      public:
        int Advance() override { return advances++; }
        std::atomic<int> advances{0};
    };
    CountingBar bar;
    // The work ends only once the bar has stepped three times, so the steps came meanwhile.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const int seen = RunWithMovingBar(
        bar,
        [&bar, deadline] {
            while (bar.advances < 3 && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return bar.advances.load();
        },
        std::chrono::milliseconds(5));
    EXPECT_GE(seen, 3);
    const int atEnd = bar.advances;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(bar.advances, atEnd);
}

}  // namespace
