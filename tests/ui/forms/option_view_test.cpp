#include <QRadioButton>
#include <QtTest>

#include "gui_support.h"
#include "ui/controls/etched_check_box.h"
#include "ui/forms/option_view.h"

using namespace kavendrum;
using namespace kavendrum::testing;
using ui::CEtchedCheckBox;
using ui::COptionView;

class OptionViewTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ui::CMainFrame> frame;
    COptionView* form = nullptr;

    void Open() {
        frame = MakeFrame(*dir);
        QVERIFY(frame);
        QVERIFY(frame->SwitchView(COptionView::kFormId));
        form = frame->GetOptionView();
        QVERIFY(form);
    }
    bool Checked(int id) const {
        if (auto* radio = Control<QRadioButton>(form, id)) {
            return radio->isChecked();
        }
        return Control<CEtchedCheckBox>(form, id)->m_nChecked != 0;
    }
    QByteArray OptionFile() const { return FileBytes(dir->filePath("kavendrum.opt")); }

  private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        Open();
    }
    void cleanup() { frame.reset(); }

    void showsTheOptionsInForce() {
        for (const int id : {1026, 1028, 1040, 1032}) {
            QVERIFY(Checked(id));
        }
        for (const int id : {1027, 1041, 1029, 1030, 1031}) {
            QVERIFY(!Checked(id));
        }
        QVERIFY(frame->Command(ui::ID_SAVE_OPTIONS)->isEnabled());
    }

    void saveWritesTheShownValues() {
        Person person;
        QTest::mouseClick(Control<CEtchedCheckBox>(form, 1041), Qt::LeftButton);
        QTest::mouseClick(Control<QRadioButton>(form, 1027), Qt::LeftButton);
        QTest::mouseClick(Control<QPushButton>(form, 1033), Qt::LeftButton);
        QCOMPARE(person.Texts(), std::vector<QString>{"Change options successfully!"});
        QCOMPARE(OptionFile().size(), 24);
        QCOMPARE(OptionFile().left(8), QByteArray("\x01\0\0\0\x01\0\0\0", 8));
        QCOMPARE(frame->m_options.splitFolderMode, 1);
        QCOMPARE(frame->m_options.deleteAfterSplit, 1);
    }

    void resetAsksAndWritesTheDefaults() {
        Person person;
        QTest::mouseClick(Control<CEtchedCheckBox>(form, 1030), Qt::LeftButton);
        QTest::mouseClick(Control<QPushButton>(form, 1033), Qt::LeftButton);
        person.boxes.clear();
        person.answers = {false};
        frame->Command(ui::ID_RESET_OPTIONS)->trigger();
        QCOMPARE(frame->m_options.deleteAfterMerge, 1);
        QVERIFY(Checked(1030));
        frame->Command(ui::ID_RESET_OPTIONS)->trigger();
        QCOMPARE(person.Texts(), (std::vector<QString>{"Do you really want to reset option?",
                                                       "Do you really want to reset option?"}));
        QCOMPARE(frame->m_options, OptionSet{});
        QVERIFY(!Checked(1030));
        QCOMPARE(OptionFile(),
                 QByteArray("\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x01\0\0\0\x01\0\0\0", 24));
    }

    void aValueWithoutAButtonShowsNeitherAndIsSavedAsMinusOne() {
        frame.reset();
        WriteFile(dir->filePath("kavendrum.opt"),
                  QByteArray("\x05\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x01\0\0\0\x02\0\0\0", 24));
        Open();
        QVERIFY(!Checked(1026) && !Checked(1027));
        QVERIFY(!Checked(1031) && !Checked(1032));
        Person person;
        QTest::mouseClick(Control<QPushButton>(form, 1033), Qt::LeftButton);
        QCOMPARE(OptionFile().left(4), QByteArray("\xFF\xFF\xFF\xFF", 4));
    }

    void checkBoxesKeepTheirOwnState() {
        auto* box = Control<CEtchedCheckBox>(form, 1041);
        box->m_nChecked = 7;
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->m_nChecked, 0);
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->m_nChecked, 0);
    }
};

QTEST_MAIN(OptionViewTest)
#include "option_view_test.moc"
