#include "ui/presenters/frame_presenter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "engine/io/file_system.h"
#include "fakes.h"
#include "support/temp_folder.h"
#include "ui/presenters/help_path.h"

using namespace kavendrum;
using namespace kavendrum::testing;
using namespace kavendrum::ui;

namespace {

class FakeFrameView : public FrameView {
  public:
    bool ShowBox(const std::string& text, const std::string& caption, BoxStyle style) override {
        return dialogs.ShowBox(text, caption, style);
    }
    bool HasExploreView() const override { return hasTree; }
    bool CreateForm(int formId) override {
        created.push_back(formId);
        return canCreate;
    }
    void MarkTree(int view) override { treeMark = view; }
    void MarkViewMenu(int commandId) override { menuMark = commandId; }
    void EnableCommand(int commandId, bool enabled) override { enabled_[commandId] = enabled; }
    void CheckCommand(int commandId, bool checked) override { checked_[commandId] = checked; }
    bool IsShown() const override { return shown; }
    void PutStartArgument(const std::string& argument) override { startArgument = argument; }

    // The enabled commands among split, merge, save and reset, in that order.
    std::vector<bool> FormCommands() {
        return {enabled_[ID_SPLIT_FILE], enabled_[ID_MERGE_FILE], enabled_[ID_SAVE_OPTIONS],
                enabled_[ID_RESET_OPTIONS]};
    }

    FakeDialogs dialogs;
    bool hasTree = true;
    bool canCreate = true;
    bool shown = false;
    std::vector<int> created;
    int treeMark = 0;
    int menuMark = 0;
    std::map<int, bool> enabled_;
    std::map<int, bool> checked_;
    std::string startArgument;
};

class FramePresenterTest : public ::testing::Test {
  protected:
    TempFolder folder;
    FakeFrameView view;
};

TEST_F(FramePresenterTest, APlainStartShowsTheSplitFormWithItsCommand) {
    FramePresenter frame(view, folder / "kavendrum.opt", "");
    ASSERT_TRUE(frame.LoadOptions());
    EXPECT_EQ(SizeOf(folder / "kavendrum.opt"), 24u);
    frame.ShowFirstForm();
    EXPECT_EQ(frame.m_bHasStartArg, 0);
    EXPECT_EQ(frame.m_nCurView, 1);
    EXPECT_TRUE(view.created.empty());
    EXPECT_EQ(view.menuMark, ID_VIEW_SPLIT);
    EXPECT_EQ(view.FormCommands(), (std::vector<bool>{true, false, false, false}));
    EXPECT_FALSE(view.checked_[ID_SHOW_OR_HIDE]);
    EXPECT_TRUE(frame.IsCommandEnabled(ID_HELP));
}

TEST_F(FramePresenterTest, AStartArgumentOpensTheMergeFormWithIt) {
    FramePresenter frame(view, folder / "kavendrum.opt", "\"/in/movie.kdh\"");
    ASSERT_TRUE(frame.LoadOptions());
    frame.ShowFirstForm();
    EXPECT_EQ(frame.m_bHasStartArg, 1);
    EXPECT_EQ(view.created, std::vector<int>{kMergeFormId});
    EXPECT_EQ(view.startArgument, "\"/in/movie.kdh\"");
    EXPECT_EQ(frame.m_nCurView, 2);
    EXPECT_EQ(view.treeMark, 2);
    EXPECT_EQ(view.menuMark, ID_VIEW_MERGE);
    EXPECT_EQ(view.FormCommands(), (std::vector<bool>{false, true, false, false}));
}

TEST_F(FramePresenterTest, AnUnreadableOptionFileEndsTheStart) {
    WriteBytes(folder / "kavendrum.opt", std::vector<char>(23, '\0'));
    FramePresenter frame(view, folder / "kavendrum.opt", "");
    EXPECT_FALSE(frame.LoadOptions());
    EXPECT_EQ(view.dialogs.Texts(), std::vector<std::string>{"Init failed!"});
    EXPECT_EQ(view.dialogs.boxes[0].caption, "Error");
}

TEST_F(FramePresenterTest, SwitchingKeepsFormTreeMenuAndCommandsInStep) {
    FramePresenter frame(view, folder / "kavendrum.opt", "");
    view.shown = true;
    for (const int formId : {kOptionFormId, kMergeFormId, kSplitFormId, kSplitFormId}) {
        ASSERT_TRUE(frame.SwitchView(formId));
        const int form = formId - 130;
        EXPECT_EQ(frame.m_nCurView, form);
        EXPECT_EQ(view.treeMark, form);
        EXPECT_EQ(view.menuMark, ID_VIEW_SPLIT + form - 1);
        std::vector<bool> expected = {form == 1, form == 2, form == 3, form == 3};
        EXPECT_EQ(view.FormCommands(), expected);
    }
    // A switch always builds the form anew, also the one already shown.
    EXPECT_EQ(view.created, (std::vector<int>{133, 132, 131, 131}));
    EXPECT_TRUE(view.checked_[ID_SHOW_OR_HIDE]);

    // An unknown form id changes nothing; a form that cannot be built leaves all as it was.
    EXPECT_TRUE(frame.SwitchView(999));
    view.canCreate = false;
    EXPECT_FALSE(frame.SwitchView(kOptionFormId));
    EXPECT_EQ(frame.m_nCurView, 1);
    EXPECT_EQ(view.treeMark, 1);
    view.hasTree = false;
    EXPECT_FALSE(frame.SwitchView(kMergeFormId));
    EXPECT_EQ(view.created.size(), 5u);
}

TEST_F(FramePresenterTest, DroppedFilesGoToTheFieldOfTheFormShown) {
    FramePresenter frame(view, folder / "kavendrum.opt", "");
    const DropField expected[] = {DropField::SplitSource, DropField::MergeHeadFile,
                                  DropField::None};
    for (int form = 1; form <= 3; ++form) {
        frame.SwitchView(130 + form);
        EXPECT_EQ(frame.RouteDrop(), expected[form - 1]);
    }
    EXPECT_EQ(FormIdOfTreeImage(0), kSplitFormId);
    EXPECT_EQ(FormIdOfTreeImage(2), kOptionFormId);
    EXPECT_EQ(FormIdOfTreeImage(3), 0);
    EXPECT_EQ(FormIdOfTreeImage(-1), 0);
}

TEST_F(FramePresenterTest, TheFormsStoreOptionsThroughTheFrame) {
    FramePresenter frame(view, folder / "kavendrum.opt", "");
    ASSERT_TRUE(frame.LoadOptions());
    OptionSource& source = frame;
    const OptionSet changed{1, 1, 0, 0, 1, 0};
    EXPECT_EQ(source.Store(changed).status, StoreStatus::Stored);
    EXPECT_EQ(source.Options(), changed);
    const std::vector<char> bytes = ReadBytes(folder / "kavendrum.opt");
    ASSERT_EQ(bytes.size(), 24u);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[20], 0);

    FramePresenter elsewhere(view, folder / "missing/kavendrum.opt", "");
    EXPECT_NE(elsewhere.Store(changed).status, StoreStatus::Stored);
    EXPECT_EQ(elsewhere.Options(), OptionSet{});
}

TEST(FrameSizeTest, TheTableKnowsThreeScreensAndTheContentComesFirst) {
    const PixelSize small{100, 100};
    EXPECT_EQ(FirstFrameSize({1024, 768}, 1, 1, small, PixelSize{1024, 740}),
              (PixelSize{512, 422}));
    EXPECT_EQ(FirstFrameSize({640, 480}, 1, 1, small, std::nullopt), (PixelSize{499, 432}));
    EXPECT_EQ(FirstFrameSize({800, 600}, 1, 1, small, std::nullopt), (PixelSize{504, 432}));
    // A size the table does not know: three quarters of the screen.
    EXPECT_EQ(FirstFrameSize({1280, 1024}, 1, 1, small, std::nullopt), (PixelSize{960, 768}));
    // A larger font grows the share; the content and the free area bound it.
    EXPECT_EQ(FirstFrameSize({1024, 768}, 1.5, 1.5, small, std::nullopt), (PixelSize{768, 633}));
    EXPECT_EQ(FirstFrameSize({1024, 768}, 1, 1, {600, 500}, std::nullopt), (PixelSize{600, 500}));
    EXPECT_EQ(FirstFrameSize({1024, 768}, 1, 1, {2000, 500}, PixelSize{1024, 740}),
              (PixelSize{1024, 500}));
}

TEST(FrameSizeTest, TheTreeGetsAQuarterAndTheFormTheRest) {
    for (const int form : {300, 301, 302, 500, 777}) {
        for (const int handle : {0, 1, 5}) {
            const int width = FrameWidthFor(10, form, handle);
            EXPECT_GE(width - width / 4 - handle, form) << form << " " << handle;
            EXPECT_GE(width, (form + handle) * 4 / 3);
        }
    }
    EXPECT_EQ(FrameWidthFor(200, 300, 5), 800);
}

TEST(FrameProfileTest, TheDropWindowsPlaceIsKeptAndReadBack) {
    FakeProfile profile;
    EXPECT_EQ(DropWindowStart(profile).left, 392);
    EXPECT_EQ(DropWindowStart(profile).top, 284);
    EXPECT_FALSE(HasDropWindowPlace(profile));
    WriteDropWindowPlace(profile, DropWindowPlace{true, 30, 40});
    EXPECT_TRUE(HasDropWindowPlace(profile));
    EXPECT_EQ(profile.values.at("DragWindow/Visible"), 1);
    EXPECT_EQ(DropWindowStart(profile).left, 40);
    EXPECT_EQ(DropWindowStart(profile).top, 30);
    // Without a drop window only its visibility is written; the place saved before stays.
    WriteDropWindowPlace(profile, std::nullopt);
    EXPECT_EQ(profile.values.at("DragWindow/Visible"), 0);
    EXPECT_EQ(profile.values.at("DragWindow/Left"), 40);
    EXPECT_EQ(profile.flushes, 2);
}

bool Overlap(const PixelRect& a, const ProfilePoint& at, PixelSize size) {
    return at.left < a.left + a.width && a.left < at.left + size.width &&
           at.top < a.top + a.height && a.top < at.top + size.height;
}

TEST(FrameProfileTest, AFirstRunPutsTheDropWindowBesideTheFrameNotOnIt) {
    const PixelSize square{40, 40};
    // 1024 x 768 and 1366 x 768 with the frame in the middle: beside it, on the right.
    for (const PixelRect area : {PixelRect{0, 0, 1024, 740}, PixelRect{0, 0, 1366, 740}}) {
        const PixelRect frame{(area.width - 780) / 2, 80, 780, 560};
        const ProfilePoint at = FirstDropWindowPlace(area, frame, square, 22);
        EXPECT_FALSE(Overlap(frame, at, square));
        EXPECT_EQ(at.left, frame.left + frame.width + 8);
        EXPECT_GE(at.top, area.top);
        EXPECT_LE(at.top + square.height, area.top + area.height);
    }
    // A frame against the right edge: on its left.
    const PixelRect right{300, 100, 724, 500};
    EXPECT_EQ(FirstDropWindowPlace({0, 0, 1024, 768}, right, square, 22).left, 252);
    // A frame that fills the screen: the lower left corner, clear of the status bar.
    const ProfilePoint corner =
        FirstDropWindowPlace({0, 0, 800, 600}, {0, 0, 800, 600}, square, 22);
    EXPECT_EQ(corner.left, 8);
    EXPECT_EQ(corner.top, 600 - 22 - 8 - 40);
}

TEST(HelpPathTest, TheHelpIsFoundBesideTheProgramOrWithItsSharedFiles) {
    std::vector<std::string> present;
    const auto exists = [&present](const std::string& path) {
        return std::find(present.begin(), present.end(), path) != present.end();
    };
    const HelpPath help("/opt/kd/bin/", exists);
    EXPECT_EQ(help.Target(true), "/opt/kd/bin/kavendrum_help.chm");
    EXPECT_EQ(help.PagesPath(), "");

    present = {"/opt/kd/bin/../share/kavendrum/kavendrum_help.chm",
               "/opt/kd/bin/../share/kavendrum/help/index.html"};
    EXPECT_EQ(help.Target(true), "/opt/kd/share/kavendrum/kavendrum_help.chm");
    EXPECT_EQ(help.Target(false), "/opt/kd/share/kavendrum/help/index.html");
    present.pop_back();
    EXPECT_EQ(help.Target(false), "/opt/kd/share/kavendrum/kavendrum_help.chm");
    present.push_back("/opt/kd/bin/kavendrum_help.chm");
    EXPECT_EQ(help.CompiledPath(), "/opt/kd/bin/kavendrum_help.chm");

    EXPECT_EQ(CleanPath("/a//b/./c/../d"), "/a/b/d");
    EXPECT_EQ(CleanPath("a/../../b"), "../b");
    EXPECT_EQ(CleanPath("/.."), "/");
}

TEST(FormHostTest, AFileErrorIsShownAsTheFrameworkShowsOne) {
    FakeDialogs dialogs;
    FakeProgress progress;
    FormHost host(dialogs, progress);
    host.ReportFileError(FileError{FileErrorCause::AccessDenied, "/x/y"});
    EXPECT_TRUE(host.AskOkCancel("Sure?", "Overwrite Warning"));
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[0].text, "Access to /x/y was denied.");
    EXPECT_EQ(dialogs.boxes[0].caption, "Kavendrum");
    EXPECT_EQ(dialogs.boxes[0].style, BoxStyle::Stop);
    EXPECT_EQ(dialogs.boxes[1].style, BoxStyle::OkCancel);
}

}  // namespace
