#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QToolTip>
#include <QTreeWidget>
#include <QtTest>

#include "gui_support.h"
#include "ui/forms/form_host.h"
#include "ui/forms/merge_view.h"
#include "ui/forms/option_view.h"
#include "ui/forms/settings_profile.h"
#include "ui/forms/splitter_view.h"
#include "ui/shell/explore_view.h"
#include "ui/shell/kavendrum_app.h"

using namespace kavendrum;
using namespace kavendrum::testing;
using namespace kavendrum::ui;

class MainFrameTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;

    static std::vector<int> StateImages(const CExploreView* tree) {
        std::vector<int> states;
        for (const QTreeWidgetItem* item :
             {tree->m_hSplitItem, tree->m_hMergeItem, tree->m_hOptionItem}) {
            states.push_back(item->data(0, CExploreView::kStateImageRole).toInt());
        }
        return states;
    }

    // The form shown, the tree's mark and selection, the View menu's mark and the commands'
    // enabling all agree on one form.
    static void ExpectInStep(CMainFrame& frame, int view) {
        CExploreView* tree = frame.GetExploreView();
        QTreeWidgetItem* items[] = {tree->m_hSplitItem, tree->m_hMergeItem, tree->m_hOptionItem};
        QCOMPARE(frame.m_nCurView, view);
        QCOMPARE(tree->m_treeCtrl->currentItem(), items[view - 1]);
        std::vector<int> expected = {2, 2, 2};
        expected[view - 1] = 1;
        QCOMPARE(StateImages(tree), expected);
        QVERIFY(frame.Command(ID_VIEW_SPLIT + view - 1)->isChecked());
        QCOMPARE(frame.Command(ID_SPLIT_FILE)->isEnabled(), view == 1);
        QCOMPARE(frame.Command(ID_MERGE_FILE)->isEnabled(), view == 2);
        QCOMPARE(frame.Command(ID_SAVE_OPTIONS)->isEnabled(), view == 3);
        QCOMPARE(frame.Command(ID_RESET_OPTIONS)->isEnabled(), view == 3);
    }

    static QString ToolTipShownFor(CMainFrame& frame, int command) {
        QWidget* button = frame.findChild<QToolBar*>()->widgetForAction(frame.Command(command));
        QHelpEvent ask(QEvent::ToolTip, QPoint(4, 4), button->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(button, &ask);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }

  private slots:
    // A tool bar button shows the tool tip of its prompt; help has no prompt and shows none,
    // although the platform would fall back to the command's text.
    void onlyButtonsWithAPromptShowATip() {
        auto frame = MakeFrame(dir);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        QCOMPARE(ToolTipShownFor(*frame, ID_HELP), QString());
        QCOMPARE(ToolTipShownFor(*frame, ID_SPLIT_FILE), QString("Split"));
        QToolTip::hideText();
    }

    void aPlainStartShowsTheSplitForm() {
        auto frame = MakeFrame(dir);
        QVERIFY(frame);
        QVERIFY(frame->GetSplitView() != nullptr);
        QCOMPARE(frame->windowTitle(), QString("Kavendrum v2.03"));
        ExpectInStep(*frame, 1);
        QCOMPARE(frame->GetExploreView()->m_hSplitItem->text(0), QString("Split File"));
        QCOMPARE(frame->Command(ID_SPLIT_FILE)->statusTip(), QString("Start to split file"));
        QCOMPARE(frame->Command(ID_SPLIT_FILE)->toolTip(), QString("Split"));
        QCOMPARE(FileBytes(dir.filePath("kavendrum.opt")).size(), 24);
    }

    void theViewMenuAndTheTreeSwitchFormsInStep() {
        auto frame = MakeFrame(dir);
        Control<QLineEdit>(frame->GetSplitView(), 1001)->setText("/typed");
        frame->Command(ID_VIEW_OPTION)->trigger();
        QVERIFY(frame->GetOptionView() != nullptr);
        ExpectInStep(*frame, 3);

        // The user's own choice in the tree switches at once, one form per key press.
        QTreeWidget* tree = frame->GetExploreView()->m_treeCtrl;
        QTest::keyClick(tree, Qt::Key_Up);
        QVERIFY(frame->GetMergeView() != nullptr);
        ExpectInStep(*frame, 2);
        QTest::keyClick(tree, Qt::Key_Up);
        ExpectInStep(*frame, 1);
        QTest::keyClick(tree, Qt::Key_Down);
        ExpectInStep(*frame, 2);

        // A switch always builds the form anew.
        frame->Command(ID_VIEW_SPLIT)->trigger();
        frame->Command(ID_VIEW_SPLIT)->trigger();
        ExpectInStep(*frame, 1);
        QVERIFY(Control<QLineEdit>(frame->GetSplitView(), 1001)->text().isEmpty());
        QCOMPARE(frame->SwitchView(999), true);
        QCOMPARE(frame->m_nCurView, 1);
    }

    void aStartArgumentOpensTheMergeForm() {
        QCOMPARE(CKavendrumApp::StartArgument({"kavendrum", "/in/movie.kdh"}),
                 QString("/in/movie.kdh"));
        auto frame = MakeFrame(dir, "/in/movie.kdh");
        QVERIFY(frame);
        CMergeView* merge = frame->GetMergeView();
        QVERIFY(merge != nullptr);
        QCOMPARE(Control<QLineEdit>(merge, 1013)->text(), QString("/in/movie.kdh"));
        QCOMPARE(merge->m_editDestFolder->text(), QString("/in/"));
        ExpectInStep(*frame, 2);
        // The switch made before the first layout keeps the tree's share of the width.
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        QVERIFY(frame->m_wndSplitter->sizes().value(0) > 0);
    }

    void aShortOptionFileEndsTheStart() {
        QTemporaryDir own;
        WriteFile(own.filePath("kavendrum.opt"), QByteArray(23, '\0'));
        Person person;
        QVERIFY(MakeFrame(own) == nullptr);
        QCOMPARE(person.Texts(), std::vector<QString>{"Init failed!"});
        QCOMPARE(person.boxes[0].caption, QString("Error"));
    }

    void closingWritesTheProfileUnlessAnOperationRuns() {
        ui::CSettingsProfile::Settings().remove("DragWindow");
        auto frame = MakeFrame(dir);
        frame->show();
        {
            const COperationScope running;
            QVERIFY(!frame->close());
            QVERIFY(!ui::CSettingsProfile::Settings().contains("DragWindow/Visible"));
        }
        QVERIFY(frame->close());
        QCOMPARE(ui::CSettingsProfile::Settings().value("DragWindow/Visible").toInt(), 0);

        // With a drop window, its placement is kept too.
        auto second = MakeFrame(dir);
        QWidget dropWindow;
        dropWindow.setGeometry(392, 284, 40, 40);
        dropWindow.show();
        second->m_pDragWindow = &dropWindow;
        second->show();
        QVERIFY(second->close());
        QSettings profile = ui::CSettingsProfile::Settings();
        QCOMPARE(profile.value("DragWindow/Visible").toInt(), 1);
        QCOMPARE(profile.value("DragWindow/Left").toInt(), dropWindow.normalGeometry().left());
        QCOMPARE(profile.value("DragWindow/Top").toInt(), dropWindow.normalGeometry().top());
    }

    void showOrHideTogglesTheFrame() {
        auto frame = MakeFrame(dir);
        frame->show();
        frame->OnShowOrHide();
        QVERIFY(!frame->isVisible());
        QVERIFY(!frame->Command(ID_SHOW_OR_HIDE)->isChecked());
        frame->OnShowOrHide();
        QVERIFY(frame->isVisible());
        QVERIFY(!frame->isMinimized());
        QVERIFY(frame->Command(ID_SHOW_OR_HIDE)->isChecked());
    }

    void minimisingHidesTheFrameOnlyWhenTheDropWindowCanBringItBack() {
        auto frame = MakeFrame(dir);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        frame->showMinimized();
        QTest::qWait(20);
        QVERIFY(frame->isVisible());

        QWidget dropWindow;
        dropWindow.show();
        frame->m_pDragWindow = &dropWindow;
        frame->showNormal();
        frame->showMinimized();
        QTRY_VERIFY(!frame->isVisible());
        frame->m_pDragWindow = nullptr;
    }

    void thePaneIsReadyAgainWhenTheFormWithTheBarGoes() {
        auto frame = MakeFrame(dir);
        Person person;
        frame->Command(ID_SPLIT_FILE)->trigger();  // fails its checks, but places the bar
        QCOMPARE(person.Texts(), std::vector<QString>{"File to split must be filled in!"});
        // The run is over: its label does not stay behind it.
        QCOMPARE(frame->statusBar()->currentMessage(), QString("Ready"));
        QVERIFY(frame->GetSplitView()->m_progress.isHidden());
        frame->Command(ID_VIEW_MERGE)->trigger();
        QCOMPARE(frame->statusBar()->currentMessage(), QString("Ready"));
    }
};

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
