#include "ui/presenters/split_presenter.h"

#include <gtest/gtest.h>

#include "engine/paths.h"
#include "engine/split_operation.h"
#include "fakes.h"
#include "support/temp_folder.h"

using namespace kavendrum;
using namespace kavendrum::testing;
using namespace kavendrum::ui;

namespace {

class FakeSplitView : public SplitView {
  public:
    SplitFields ReadFields() const override { return fields; }
    void WriteFields(const SplitFields& written) override { fields = written; }
    void TypeDestination(const std::string& folder) override {
        typedDestinations.push_back(folder);
    }
    std::string SelectedPreset() const override { return preset; }
    void SetParameter(Row row, const std::string& value) override { rows[row] = value; }
    void SetSizeLabel(const std::string& text) override { label = text; }
    void EnableSizeChoice(bool fixed) override { presetsEnabled = fixed; }
    void SelectCustomSize() override { ++customSizeSelected; }
    bool WriteChecksums() const override { return checksums; }
    void SetWriteChecksums(bool on) override { checksums = on; }
    int RecoveryPieces() const override { return recovery; }
    void SetRecoveryPieces(int count) override { recovery = count; }

    SplitFields fields;
    std::string preset = "1457664";
    std::string rows[5];
    std::string label;
    std::optional<bool> presetsEnabled;
    int customSizeSelected = 0;
    bool checksums = false;
    int recovery = -1;  // never set
    std::vector<std::string> typedDestinations;
};

class SplitPresenterTest : public ::testing::Test {
  protected:
    void SetUp() override { presenter.FirstInit(); }

    // The source typed into its field, as the field's change handler sees it.
    void TypeSource(const std::string& path) {
        view.fields.sourcePath = path;
        presenter.OnSourceChanged();
    }

    TempFolder folder;
    FakeSplitView view;
    FakeDialogs dialogs;
    FakeProgress progress;
    FakeProfile profile;
    FakeOptions options;
    SplitPresenter presenter{view, dialogs, progress, profile, &options};
};

TEST(CustomSizeTest, OnlyAnUnsignedNumberInRangeIsASize) {
    const std::string positive = "Please enter a positive integer.";
    const std::string range = "Please enter an integer between 1 and 629145600.";
    for (const char* text :
         {"", "  ", "abc", "-1", "+5", "12a", "1 000", "12345678901", "4294967296"}) {
        const CustomSizeRead read = ReadCustomSize(text, 1, kLargestCustomPieceSize);
        EXPECT_FALSE(read.size) << text;
        EXPECT_EQ(read.refusal, positive) << text;
    }
    for (const char* text : {"0", "629145601", "4294967295"}) {
        EXPECT_EQ(ReadCustomSize(text, 1, kLargestCustomPieceSize).refusal, range) << text;
    }
    EXPECT_EQ(ReadCustomSize(" 1000\t", 1, kLargestCustomPieceSize).size, 1000u);
    EXPECT_EQ(ReadCustomSize("0000000001", 1, kLargestCustomPieceSize).size, 1u);
    EXPECT_EQ(ReadCustomSize("629145600", 1, kLargestCustomPieceSize).size, 629145600u);
}

TEST(CustomSizeTest, LabelsAndSizesCountWholeKilobytesPlusOne) {
    EXPECT_EQ(PresetLabel(1457664), "(1424K)");
    EXPECT_EQ(PresetLabel(32768), "(33K)");
    EXPECT_EQ(SizeWithKilobytes(3000000), "3000000 ( 2930 KB)");
    EXPECT_EQ(SizeWithKilobytes(3000000000u), "3000000000 ( 2929688 KB)");
}

TEST_F(SplitPresenterTest, AFirstDisplayShowsTheDefaultPresetAndNoValues) {
    EXPECT_EQ(view.fields.sizeMode, 0);
    EXPECT_EQ(view.fields.customSize, "1457664");
    EXPECT_EQ(view.presetsEnabled, true);
    EXPECT_STREQ(SplitPresenter::kPresets[SplitPresenter::kDefaultPreset], "1457664");
    for (const std::string& row : view.rows) {
        EXPECT_EQ(row, "");
    }
}

TEST_F(SplitPresenterTest, TheSourceFillsTheParametersAndTheDestinationFollowsIt) {
    WriteBytes(folder / "movie.avi", RandomBytes(3000000));
    TypeSource(folder / "movie.avi");
    EXPECT_EQ(view.fields.destFolder, GetFolderPart(folder / "movie.avi"));
    EXPECT_EQ(view.rows[SplitView::kSplitFileName], folder / "movie.avi");
    EXPECT_EQ(view.rows[SplitView::kDestinationFolder], GetFolderPart(folder / "movie.avi"));
    EXPECT_EQ(view.rows[SplitView::kOriginalSize], "3000000 ( 2930 KB)");
    EXPECT_EQ(view.rows[SplitView::kSplitSize], "1457664 ( 1424 KB)");
    EXPECT_EQ(view.rows[SplitView::kPieceCount], "3");

    // A missing file: the size row empties, the others keep their values.
    TypeSource(folder / "missing.avi");
    EXPECT_EQ(view.rows[SplitView::kSplitFileName], folder / "missing.avi");
    EXPECT_EQ(view.rows[SplitView::kSplitSize], "");
    EXPECT_EQ(view.rows[SplitView::kOriginalSize], "3000000 ( 2930 KB)");
    EXPECT_EQ(view.rows[SplitView::kPieceCount], "3");

    // A source without a folder leaves no destination.
    TypeSource("plain.bin");
    EXPECT_EQ(view.fields.destFolder, "");
}

TEST_F(SplitPresenterTest, AnExactMultipleCountsTheEmptyLastPiece) {
    WriteBytes(folder / "a.bin", RandomBytes(65536));
    view.preset = "32768";
    TypeSource(folder / "a.bin");
    EXPECT_EQ(view.rows[SplitView::kPieceCount], "3");
}

TEST_F(SplitPresenterTest, PresetsAndTheCustomSizeDriveTheCount) {
    WriteBytes(folder / "a.bin", RandomBytes(100000));
    TypeSource(folder / "a.bin");
    view.preset = "32768";
    presenter.OnPresetChanged();
    EXPECT_EQ(view.label, "(33K)");
    EXPECT_EQ(view.rows[SplitView::kSplitSize], "32768 ( 33 KB)");
    EXPECT_EQ(view.rows[SplitView::kPieceCount], "4");

    view.fields.sizeMode = 1;
    presenter.OnCustomSize();
    EXPECT_EQ(view.presetsEnabled, false);
    EXPECT_EQ(view.label, "(33K)");
    view.fields.customSize = "1000";
    presenter.OnCustomSizeChanged();
    EXPECT_EQ(view.rows[SplitView::kSplitSize], "1000 ( 1 KB)");
    EXPECT_EQ(view.rows[SplitView::kPieceCount], "101");

    view.fields.sizeMode = 0;
    presenter.OnFixedSize();
    EXPECT_EQ(view.presetsEnabled, true);
    EXPECT_EQ(view.rows[SplitView::kPieceCount], "4");
}

TEST_F(SplitPresenterTest, ARefusedCustomSizeStopsTheCustomModeOnly) {
    WriteBytes(folder / "a.bin", RandomBytes(5000));
    TypeSource(folder / "a.bin");
    view.fields.sizeMode = 1;
    view.fields.customSize = "1000";
    presenter.OnCustomSize();
    ASSERT_EQ(view.rows[SplitView::kPieceCount], "6");

    for (const char* bad : {"", "0"}) {
        view.fields.customSize = bad;
        presenter.OnCustomSizeChanged();
    }
    EXPECT_EQ(dialogs.Texts(),
              (std::vector<std::string>{"Please enter a positive integer.",
                                        "Please enter an integer between 1 and 629145600."}));
    EXPECT_EQ(dialogs.boxes[0].caption, "Kavendrum");
    EXPECT_EQ(dialogs.boxes[0].style, BoxStyle::Warning);
    EXPECT_EQ(view.customSizeSelected, 2);
    EXPECT_EQ(view.rows[SplitView::kPieceCount], "6");
    // Start is refused as well: nothing is written and no split is tried.
    presenter.OnStart();
    EXPECT_EQ(dialogs.boxes.size(), 3u);
    EXPECT_FALSE(Exists(folder / "a.kdh"));
    EXPECT_TRUE(progress.calls.empty());

    // In fixed mode the preset is used, and the greyed-out field is not read.
    view.fields.sizeMode = 0;
    presenter.OnFixedSize();
    EXPECT_EQ(dialogs.boxes.size(), 3u);
    EXPECT_EQ(view.rows[SplitView::kPieceCount], "1");
}

TEST_F(SplitPresenterTest, AnEmptyCustomSizeNeverTrapsTheOtherFields) {
    WriteBytes(folder / "a.bin", RandomBytes(5000));
    view.fields.sizeMode = 1;
    view.fields.customSize = "";
    presenter.OnCustomSize();
    ASSERT_EQ(dialogs.Texts(), std::vector<std::string>{"Please enter a positive integer."});

    // Back in fixed mode every keystroke elsewhere works, without a word about the custom size.
    view.fields.sizeMode = 0;
    presenter.OnFixedSize();
    for (const std::string& typed : {std::string("/"), folder / "a", folder / "a.bin"}) {
        TypeSource(typed);
    }
    view.fields.destFolder = folder / "out";
    presenter.OnDestinationChanged();
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(view.rows[SplitView::kPieceCount], "1");
    EXPECT_EQ(view.rows[SplitView::kDestinationFolder], folder / "out");
    EXPECT_EQ(view.customSizeSelected, 1);

    // In custom mode the other fields stay quiet too, and nothing is divided by the bad size;
    // the custom field itself and Start still say what is wrong.
    view.fields.sizeMode = 1;
    view.fields.customSize = "";
    presenter.OnCustomSize();
    EXPECT_EQ(dialogs.boxes.size(), 2u);
    view.fields.destFolder = folder / "elsewhere";
    presenter.OnDestinationChanged();
    EXPECT_EQ(view.rows[SplitView::kDestinationFolder], folder / "elsewhere");
    view.fields.customSize = "";
    TypeSource(folder / "a.bi");
    EXPECT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(view.rows[SplitView::kSplitFileName], folder / "a.bi");
    view.fields.customSize = "";
    presenter.OnCustomSizeChanged();
    presenter.OnStart();
    EXPECT_EQ(dialogs.boxes.size(), 4u);
    EXPECT_FALSE(Exists(folder / "a.kdh"));
}

TEST_F(SplitPresenterTest, StartShowsTheFormBusyUntilTheSplitEnds) {
    WriteBytes(folder / "a.bin", RandomBytes(5000));
    TypeSource(folder / "a.bin");
    EXPECT_TRUE(progress.busyChanges.empty());
    presenter.OnStart();
    EXPECT_TRUE(Exists(folder / "a.kdh"));
    EXPECT_EQ(progress.busyChanges, (std::vector<bool>{true, false}));
}

TEST_F(SplitPresenterTest, BrowsingChangesNothingWhenCancelled) {
    TypeSource("/a/b.bin");
    presenter.OnBrowseFile();
    presenter.OnBrowseFolder();
    EXPECT_EQ(dialogs.filters, std::vector<std::string>{""});
    EXPECT_EQ(dialogs.foldersOffered, std::vector<std::string>{GetFolderPart("/a/b.bin")});
    EXPECT_EQ(view.fields.sourcePath, "/a/b.bin");
    EXPECT_TRUE(view.typedDestinations.empty());

    dialogs.fileToChoose = "/c/d.iso";
    dialogs.folderToChoose = "/srv/out";
    presenter.OnBrowseFile();
    EXPECT_EQ(view.fields.sourcePath, "/c/d.iso");
    EXPECT_EQ(view.fields.destFolder, GetFolderPart("/c/d.iso"));
    EXPECT_EQ(view.rows[SplitView::kSplitFileName], "/c/d.iso");
    presenter.OnBrowseFolder();
    // Through the field, so that its own change handler follows.
    EXPECT_EQ(view.typedDestinations, std::vector<std::string>{"/srv/out"});
    view.fields.destFolder = "/srv/out";
    presenter.OnDestinationChanged();
    EXPECT_EQ(view.rows[SplitView::kDestinationFolder], "/srv/out");
}

TEST_F(SplitPresenterTest, TheFileDialogOpensInTheFoldersOfTheSourceOrAtHome) {
    // A folder that is not there, or no folder at all, sends the dialog home (empty), never to
    // the program's working folder.
    for (const std::string& typed :
         {std::string("/no/such/folder/a.bin"), std::string("a.bin"), folder / "a.bin"}) {
        TypeSource(typed);
        presenter.OnBrowseFile();
    }
    EXPECT_EQ(dialogs.fileFoldersOffered,
              (std::vector<std::string>{"", "", GetFolderPart(folder / "a.bin")}));
}

TEST_F(SplitPresenterTest, StartSplitsWithTheShownSizeAndTheOptionsInForce) {
    const std::vector<char> source = RandomBytes(3000);
    WriteBytes(folder / "movie.avi", source);
    TypeSource(folder / "movie.avi");
    view.fields.sizeMode = 1;
    view.fields.customSize = "1000";
    view.checksums = true;
    presenter.OnStart();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, "Message");
    EXPECT_EQ(dialogs.boxes[0].text, "Split file successfully!\r\nTo Re-Join, run the file: \"" +
                                         folder / "movie.bat" + "\"");
    EXPECT_EQ(SizeOf(folder / "movie_4.skf"), 0u);
    EXPECT_TRUE(Exists(folder / "movie.sha256"));
    EXPECT_EQ(progress.calls.front(), "ShowInPane(Operation Processing,100,100,0)");

    // A second run on the same form keeps its bar where it is.
    options.inForce.overwriteMode = 0;
    progress.calls.clear();
    presenter.OnStart();
    EXPECT_NE(progress.calls.front().rfind("ShowInPane", 0), 0u);
}

TEST_F(SplitPresenterTest, WithoutTheFramesOptionsNothingRuns) {
    SplitPresenter alone(view, dialogs, progress, profile, nullptr);
    EXPECT_FALSE(alone.FrameOrSystemError());
    WriteBytes(folder / "movie.avi", RandomBytes(10));
    view.fields.sourcePath = folder / "movie.avi";
    view.fields.destFolder = folder.path();
    alone.OnStart();
    EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{"System error!", "Get MainFrame error!"}));
    EXPECT_FALSE(Exists(folder / "movie.kdh"));
    EXPECT_TRUE(presenter.FrameOrSystemError());
}

TEST_F(SplitPresenterTest, TheChecksumBoxIsKeptInTheProfile) {
    presenter.LoadChecksums();
    EXPECT_FALSE(view.checksums);
    view.checksums = true;
    presenter.OnChecksumsClicked();
    EXPECT_EQ(profile.values.at("Split/WriteChecksums"), 1);
    EXPECT_EQ(profile.flushes, 1);

    FakeSplitView second;
    SplitPresenter again(second, dialogs, progress, profile, &options);
    again.LoadChecksums();
    EXPECT_TRUE(second.checksums);
}

TEST_F(SplitPresenterTest, TheRecoveryChoiceIsKeptInTheProfileAndWritesRecoveryFiles) {
    // The default is none: a default split leaves what it always left.
    presenter.LoadChecksums();
    EXPECT_EQ(view.recovery, 0);
    WriteBytes(folder / "movie.avi", RandomBytes(100000));
    view.fields.sourcePath = folder / "movie.avi";
    view.fields.destFolder = folder / "plain";
    view.preset = "32768";
    presenter.OnStart();
    EXPECT_TRUE(Exists(folder / "plain/movie.kdh"));
    EXPECT_FALSE(Exists(folder / "plain/movie.par2"));

    view.recovery = 2;
    presenter.OnRecoveryChanged();
    EXPECT_EQ(profile.values.at("Split/RecoveryPieces"), 2);
    FakeSplitView second;
    SplitPresenter again(second, dialogs, progress, profile, &options);
    again.LoadChecksums();
    EXPECT_EQ(second.recovery, 2);

    view.fields.destFolder = folder / "safe";
    presenter.OnStart();
    EXPECT_TRUE(Exists(folder / "safe/movie.par2"));
    EXPECT_EQ(dialogs.Texts().back(),
              "Write recovery files successfully!\r\nPieces that can be lost and rebuilt: 2");

    // A profile value no form could write is read as none.
    profile.values["Split/RecoveryPieces"] = -5;
    again.LoadChecksums();
    EXPECT_EQ(second.recovery, 0);
}

}  // namespace
