#include "ui/presenters/option_presenter.h"

#include <gtest/gtest.h>

#include "engine/io/file_error.h"
#include "fakes.h"

using namespace kavendrum;
using namespace kavendrum::testing;
using namespace kavendrum::ui;

namespace {

class FakeOptionView : public OptionView {
  public:
    OptionChoices ReadChoices() const override { return choices; }
    void WriteChoices(const OptionChoices& written) override { choices = written; }
    int Check(OptionBox box) const override { return checks[static_cast<int>(box)]; }
    void SetCheck(OptionBox box, int state) override { checks[static_cast<int>(box)] = state; }
    void RedrawChecks() override { ++redraws; }

    OptionChoices choices;
    int checks[3] = {0, 0, 0};  // delete after split, delete after merge, verify
    int redraws = 0;
};

class OptionPresenterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        presenter.m_bLoad = true;
        presenter.OnInitialUpdate();
    }

    FakeOptionView view;
    FakeDialogs dialogs;
    FakeOptions options;
    OptionPresenter presenter{view, dialogs, &options};
};

TEST_F(OptionPresenterTest, TheFormShowsTheOptionsInForce) {
    EXPECT_EQ(view.choices.splitFolder, 0);
    EXPECT_EQ(view.choices.mergeFolder, 0);
    EXPECT_EQ(view.choices.overwrite, 1);
    EXPECT_EQ(view.checks[0], 0);
    EXPECT_EQ(view.checks[1], 0);
    EXPECT_EQ(view.checks[2], 1);

    // A value without a button shows neither of the pair.
    options.inForce = {5, 7, 1, 1, 0, 2};
    FakeOptionView second;
    OptionPresenter again(second, dialogs, &options);
    again.m_bLoad = true;
    again.OnInitialUpdate();
    EXPECT_EQ(second.choices.splitFolder, 5);
    EXPECT_EQ(second.choices.overwrite, 2);
    EXPECT_EQ(second.checks[0], 7);
    EXPECT_TRUE(again.m_bLoad);
}

TEST_F(OptionPresenterTest, SaveStoresWhatIsShownInFileOrder) {
    view.choices = {1, -1, 0};
    view.checks[0] = 1;
    view.checks[2] = 0;
    presenter.OnSave();
    ASSERT_EQ(options.stored.size(), 1u);
    EXPECT_EQ(options.stored[0], (OptionSet{1, 1, 0, 0, 0, -1}));
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Change options successfully!"});
    EXPECT_EQ(dialogs.boxes[0].caption, "Message");
}

TEST_F(OptionPresenterTest, AFailedStoreIsReportedAndNotAnnounced) {
    options.answer = {StoreStatus::OpenFailed, {}};
    presenter.OnSave();
    options.answer = {StoreStatus::WriteFailed, FileError{FileErrorCause::DiskFull, "/p/x.opt"}};
    presenter.OnSave();
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[0].text, "Save to option file error!");
    EXPECT_EQ(dialogs.boxes[0].caption, "Error");
    EXPECT_EQ(dialogs.boxes[1].text, "Disk full while accessing /p/x.opt.");
    EXPECT_EQ(dialogs.boxes[1].caption, "Kavendrum");
    EXPECT_EQ(dialogs.boxes[1].style, BoxStyle::Stop);
}

TEST_F(OptionPresenterTest, ResetAsksThenStoresAndShowsTheDefaults) {
    view.choices = {1, 0, 1};
    view.checks[1] = 1;
    dialogs.answers = {false};
    presenter.OnReset();
    EXPECT_TRUE(options.stored.empty());
    EXPECT_EQ(view.checks[1], 1);

    // A failed write leaves the form as it was.
    options.answer = {StoreStatus::OpenFailed, {}};
    presenter.OnReset();
    EXPECT_EQ(view.checks[1], 1);
    EXPECT_EQ(view.redraws, 0);

    options.answer = {StoreStatus::Stored, {}};
    presenter.OnReset();
    EXPECT_EQ(options.stored.back(), OptionSet{});
    EXPECT_EQ(view.choices.splitFolder, 0);
    EXPECT_EQ(view.choices.overwrite, 1);
    EXPECT_EQ(view.checks[1], 0);
    EXPECT_EQ(view.checks[2], 1);
    EXPECT_EQ(view.redraws, 1);
    EXPECT_EQ(dialogs.Texts(),
              (std::vector<std::string>{
                  "Do you really want to reset option?", "Do you really want to reset option?",
                  "Save to option file error!", "Do you really want to reset option?"}));
    EXPECT_EQ(dialogs.boxes[0].style, BoxStyle::OkCancel);
    EXPECT_EQ(dialogs.boxes[0].caption, "Message");
    EXPECT_EQ(dialogs.boxes[2].caption, "Error");
}

TEST(OptionPresenterAloneTest, WithoutTheFramesOptionsNothingIsShownOrStored) {
    FakeOptionView view;
    FakeDialogs dialogs;
    OptionPresenter presenter(view, dialogs, nullptr);
    presenter.m_bLoad = true;
    presenter.OnInitialUpdate();
    EXPECT_TRUE(presenter.m_bLoad);
    presenter.OnSave();
    presenter.OnReset();
    EXPECT_EQ(dialogs.Texts(),
              (std::vector<std::string>{"Get MainFrame error!", "Get MainFrame error!",
                                        "Get MainFrame Error!"}));

    // Without the load flag the form keeps its own values and only sets the flag.
    FakeOptionView second;
    OptionPresenter unloaded(second, dialogs, nullptr);
    unloaded.OnInitialUpdate();
    EXPECT_EQ(second.choices.splitFolder, -1);
    EXPECT_TRUE(unloaded.m_bLoad);
    EXPECT_EQ(dialogs.boxes.size(), 3u);
}

}  // namespace
