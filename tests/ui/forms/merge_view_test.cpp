#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMenuBar>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtTest>

#include "engine/checksum_file.h"
#include "engine/head_file.h"
#include "engine/io/file_system.h"
#include "engine/io/sha256.h"
#include "engine/merge_journal.h"
#include "engine/outcome.h"
#include "gui_support.h"
#include "ui/forms/merge_view.h"

using namespace kavendrum;
using namespace kavendrum::testing;
using ui::CMergeView;

class MergeViewTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    std::unique_ptr<ui::CMainFrame> frame;
    CMergeView* form = nullptr;
    QByteArray whole;

    QLineEdit* Edit(int id) const { return Control<QLineEdit>(form, id); }
    QTreeWidget* List() const { return Control<QTreeWidget>(form, 1023); }

    // movie.kdh for 2500 bytes in pieces of 1000, with the given pieces present.
    void Prepare(std::initializer_list<int> present) {
        whole = RandomBytes(2500);
        const auto head = EncodeHeadFile({2500, 3, 1000, 1000, "avi"});
        WriteFile(dir.filePath("movie.kdh"),
                  QByteArray(reinterpret_cast<const char*>(head.data()), head.size()));
        for (const int number : present) {
            WriteFile(dir.filePath(QString("movie_%1.skf").arg(number)),
                      whole.mid((number - 1) * 1000, 1000));
        }
    }

    std::vector<int> Marks() const {
        std::vector<int> marks;
        for (int row = 0; row < List()->topLevelItemCount(); ++row) {
            marks.push_back(List()->topLevelItem(row)->data(0, Qt::UserRole).toInt());
        }
        return marks;
    }

  private slots:
    void init() {
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files)) {
            QFile::remove(dir.filePath(name));
        }
        frame = MakeFrame(dir);
        QVERIFY(frame);
        frame->SwitchView(CMergeView::kFormId);
        form = frame->GetMergeView();
        QVERIFY(form);
    }
    void cleanup() { frame.reset(); }

    void loadingAHeadFileListsThePiecesThatExist() {
        Prepare({1, 3});
        Edit(1013)->setText(dir.filePath("movie.kdh"));
        QCOMPARE(Edit(1015)->text(), dir.path() + "/");
        QCOMPARE(Edit(1019)->text(), QString("2500"));
        QCOMPARE(Edit(1021)->text(), QString("3"));
        QCOMPARE(Edit(1020)->text(), dir.filePath("movie.avi"));
        QCOMPARE(List()->topLevelItemCount(), 2);
        QCOMPARE(List()->topLevelItem(1)->text(0), dir.filePath("movie_3.skf"));
        QCOMPARE(List()->topLevelItem(1)->text(1), QString("500"));
        QCOMPARE(Marks(), (std::vector<int>{0, 0}));

        // A name that is no readable head file zeroes the numbers and empties the list, but
        // keeps the object file name.
        Edit(1013)->setText(dir.filePath("movie.kd"));
        QCOMPARE(Edit(1019)->text(), QString("0"));
        QCOMPARE(List()->topLevelItemCount(), 0);
        QCOMPARE(Edit(1020)->text(), dir.filePath("movie.avi"));
    }

    // The head file counts pieces in 32 unsigned bits; the form shows the count as it is.
    void aCountAbove2To31IsShownAsItIs() {
        const auto head = EncodeHeadFile({2999999999u, 3000000000u, 1, 1, "avi"});
        WriteFile(dir.filePath("huge.kdh"),
                  QByteArray(reinterpret_cast<const char*>(head.data()), head.size()));
        Edit(1013)->setText(dir.filePath("huge.kdh"));
        QCOMPARE(Edit(1021)->text(), QString("3000000000"));
    }

    void aHeadFileThatEndsEarlyIsReported() {
        WriteFile(dir.filePath("short.kdh"), QByteArray(7, '\0'));
        Person person;
        Edit(1013)->setText(dir.filePath("short.kdh"));
        QCOMPARE(person.Texts(), std::vector<QString>{"Read info From head file error"});
    }

    void thePrefixNameReplacesTheHeadFilesName() {
        Prepare({1, 2, 3});
        Edit(1013)->setText(dir.filePath("movie.kdh"));
        Edit(1015)->setText("/srv/out");
        QCOMPARE(Edit(1020)->text(), QString("/srv/out/movie.avi"));
        QTest::mouseClick(Control<QCheckBox>(form, 1017), Qt::LeftButton);
        QVERIFY(!Edit(1018)->isReadOnly());
        QCOMPARE(Edit(1020)->text(), QString("/srv/out/.avi"));
        Edit(1018)->setText("sub/clip2.txt");
        QCOMPARE(Edit(1020)->text(), QString("/srv/out/clip2.avi"));
        QTest::mouseClick(Control<QCheckBox>(form, 1017), Qt::LeftButton);
        QVERIFY(Edit(1018)->isReadOnly());
        QVERIFY(Edit(1018)->text().isEmpty());
        QCOMPARE(Edit(1020)->text(), QString("/srv/out/movie.avi"));
    }

    void verifyMarksEveryExpectedPiece() {
        Prepare({1, 3});
        Edit(1013)->setText(dir.filePath("movie.kdh"));
        QTest::mouseClick(Control<QPushButton>(form, 1022), Qt::LeftButton);
        QCOMPARE(Marks(), (std::vector<int>{1, 2, 1}));
        QVERIFY(!form->m_bVerifyOk);
    }

    // movie.sha256 beside the head file, with a line for each piece and for the whole file.
    void WriteChecksums() {
        QByteArray lines;
        for (int number = 1; number <= 4; ++number) {
            const QByteArray bytes = number <= 3 ? whole.mid((number - 1) * 1000, 1000) : whole;
            Sha256 sha;
            sha.Update(bytes.data(), bytes.size());
            const std::string name =
                number <= 3 ? "movie_" + std::to_string(number) + ".skf" : "movie.avi";
            lines += QByteArray::fromStdString(ChecksumLine(*sha.Finish(), name));
        }
        WriteFile(dir.filePath("movie.sha256"), lines);
    }

    void verifyWithAChecksumFileReadsThePiecesOnTheBar() {
        Prepare({1, 2, 3});
        Edit(1013)->setText(dir.filePath("movie.kdh"));
        QTest::mouseClick(Control<QPushButton>(form, 1022), Qt::LeftButton);
        QVERIFY(!form->m_progress.IsPlaced());  // sizes only: nothing read, no bar

        WriteChecksums();
        QByteArray piece = FileBytes(dir.filePath("movie_2.skf"));
        piece[500] = static_cast<char>(piece[500] ^ 1);
        WriteFile(dir.filePath("movie_2.skf"), piece);
        QTest::mouseClick(Control<QPushButton>(form, 1022), Qt::LeftButton);
        QCOMPARE(Marks(), (std::vector<int>{1, 2, 1}));
        QVERIFY(!form->m_bVerifyOk);
        QVERIFY(form->m_progress.IsPlaced());
        QCOMPARE(form->m_progress.Label(), QString("Operation Processing"));
        QCOMPARE(form->m_progress.Upper(), 6);  // a block and the end of each piece
        QCOMPARE(form->m_progress.Position(), 0);
    }

    void anInterruptedMergeIsContinuedAfterAQuestion() {
        Prepare({2, 3});
        WriteChecksums();
        frame->m_options.deleteAfterMerge = 1;
        // The stopped run's file stands beside the output, under a name of its own.
        WriteFile(dir.filePath("movie.avi.kdpart"), whole.left(1300));
        {
            auto output = File::OpenForReading(dir.filePath("movie.avi.kdpart").toStdString());
            QVERIFY(output.ok());
            const MergeJournal journal{{2500, 3, 1000, 1000, "avi"},
                                       output.value().Identity().value(),
                                       0,
                                       1,
                                       1000,
                                       *FingerprintOf(output.value(), 1000),
                                       1000};
            QVERIFY(
                WriteJournal(dir.filePath("movie.kdj").toStdString(), journal, std::nullopt).ok());
        }
        Edit(1013)->setText(dir.filePath("movie.kdh"));
        const QString question =
            "The last merge of these files was interrupted, do you want to continue it?";
        {
            Person person;
            person.answers.push_back(false);
            frame->Command(ui::ID_MERGE_FILE)->trigger();
            QCOMPARE(person.Texts(), std::vector<QString>{question});
            QCOMPARE(person.boxes[0].caption, QString("Message"));
            QCOMPARE(person.boxes[0].style, ui::BoxStyle::OkCancel);
            QCOMPARE(FileBytes(dir.filePath("movie.avi.kdpart")).size(), 1300);
            QVERIFY(!QFile::exists(dir.filePath("movie.avi")));
        }
        Person person;
        frame->Command(ui::ID_MERGE_FILE)->trigger();
        QCOMPARE(person.Texts(), (std::vector<QString>{question, "Merge files successfully!"}));
        QCOMPARE(FileBytes(dir.filePath("movie.avi")), whole);
        QCOMPARE(Marks(), (std::vector<int>{1, 1, 1}));  // the merged piece is not Bad
        for (const char* gone : {"movie_2.skf", "movie_3.skf", "movie.kdh", "movie.sha256",
                                 "movie.kdj", "movie.avi.kdpart"}) {
            QVERIFY2(!QFile::exists(dir.filePath(gone)), gone);
        }
    }

    // No box says that a piece is bad: the list shows the first bad row, scrolled into view and
    // selected, with its reason, and the status bar counts them.
    void aBadPieceFarDownIsBroughtIntoViewWithItsReason() {
        whole = RandomBytes(3950);
        const auto head = EncodeHeadFile({3950, 40, 100, 100, "avi"});
        WriteFile(dir.filePath("movie.kdh"),
                  QByteArray(reinterpret_cast<const char*>(head.data()), head.size()));
        for (int number = 1; number <= 40; ++number) {
            WriteFile(dir.filePath(QString("movie_%1.skf").arg(number)),
                      whole.mid((number - 1) * 100, number == 37 ? 99 : 100));
        }
        QFile::remove(dir.filePath("movie_39.skf"));
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        Edit(1013)->setText(dir.filePath("movie.kdh"));
        QTest::mouseClick(Control<QPushButton>(form, 1022), Qt::LeftButton);
        QTreeWidgetItem* bad = List()->topLevelItem(36);
        QCOMPARE(List()->currentItem(), bad);
        QVERIFY(bad->isSelected());
        QVERIFY(List()->viewport()->rect().contains(List()->visualItemRect(bad)));
        QVERIFY(bad->toolTip(0).endsWith("size differs"));
        QVERIFY(List()->topLevelItem(38)->toolTip(0).endsWith("missing"));
        QCOMPARE(frame->statusBar()->currentMessage(), QString("2 of 40 pieces are bad"));

        // Start with the verification before it: the same, and still no box.
        Person person;
        frame->Command(ui::ID_MERGE_FILE)->trigger();
        QVERIFY(person.boxes.empty());
        QCOMPARE(List()->currentItem(), List()->topLevelItem(36));
        QCOMPARE(frame->statusBar()->currentMessage(), QString("2 of 40 pieces are bad"));
    }

    // While the merge runs the window shows it is busy and takes no input; afterwards all is
    // as before and the bar's label is gone.
    void aRunningMergeShowsTheWindowBusy() {
        Prepare({1, 2, 3});
        Edit(1013)->setText(dir.filePath("movie.kdh"));
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        Person person;
        bool busyCursor = false;
        bool formEnabled = true;
        bool menuEnabled = true;
        person.whileBoxShows = [&] {
            busyCursor = QApplication::overrideCursor() != nullptr &&
                         QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            formEnabled = form->isEnabled();
            menuEnabled = frame->menuBar()->isEnabled();
        };
        QTest::mouseClick(Control<QPushButton>(form, 1025), Qt::LeftButton);
        QCOMPARE(person.Texts(), std::vector<QString>{"Merge files successfully!"});
        QVERIFY(busyCursor);
        QVERIFY(!formEnabled);
        QVERIFY(!menuEnabled);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(form->isEnabled());
        QVERIFY(frame->menuBar()->isEnabled());
        QCOMPARE(frame->statusBar()->currentMessage(), QString("Ready"));
    }

    void startRebuildsTheFile() {
        Prepare({1, 2, 3});
        Edit(1013)->setText(dir.filePath("movie.kdh"));
        Person person;
        frame->Command(ui::ID_MERGE_FILE)->trigger();
        QCOMPARE(person.Texts(), std::vector<QString>{"Merge files successfully!"});
        QCOMPARE(FileBytes(dir.filePath("movie.avi")), whole);
        QVERIFY(form->m_bVerifyOk);
        QCOMPARE(Marks(), (std::vector<int>{1, 1, 1}));
    }

    // A link at the rebuilt file's name is replaced after the question; its target is untouched.
    void aLinkAtTheOutputsNameIsReplacedNotWrittenThrough() {
        Prepare({1, 2, 3});
        WriteFile(dir.filePath("private"), "p");
        QVERIFY(QFile::link("private", dir.filePath("movie.avi")));
        Edit(1013)->setText(dir.filePath("movie.kdh"));
        Person person;
        person.answers = {true};
        frame->Command(ui::ID_MERGE_FILE)->trigger();
        QCOMPARE(person.Texts(), (std::vector<QString>{"Do you want to overwrite same name file?",
                                                       "Merge files successfully!"}));
        QCOMPARE(FileBytes(dir.filePath("private")), QByteArray("p"));
        QVERIFY(!QFileInfo(dir.filePath("movie.avi")).isSymLink());
        QCOMPARE(FileBytes(dir.filePath("movie.avi")), whole);
    }

    // 20 bytes that name 4294967295 pieces, one of them there: the form fills in what it can at
    // once and lists what is there; Verify shows the missing ones as runs.
    void aHeadFileNamingBillionsOfPiecesLoadsAtOnce() {
        const auto head = EncodeHeadFile({4294967294u, 4294967295u, 1, 1, "bin"});
        WriteFile(dir.filePath("x.kdh"),
                  QByteArray(reinterpret_cast<const char*>(head.data()), head.size()));
        WriteFile(dir.filePath("x_1.skf"), QByteArray(1, 'a'));
        QElapsedTimer timer;
        timer.start();
        Edit(1013)->setText(dir.filePath("x.kdh"));
        QCOMPARE(Edit(1019)->text(), QString("4294967294"));
        QCOMPARE(Edit(1020)->text(), dir.filePath("x.bin"));
        QCOMPARE(List()->topLevelItemCount(), 1);
        QCOMPARE(List()->topLevelItem(0)->text(0), dir.filePath("x_1.skf"));

        QTest::mouseClick(Control<QPushButton>(form, 1022), Qt::LeftButton);
        // The last piece is empty: missing, it holds no byte and is not Bad.
        QCOMPARE(Marks(), (std::vector<int>{1, 2, 1}));
        QCOMPARE(List()->topLevelItem(1)->text(0), dir.filePath("x_{2..4294967294}.skf"));
        QCOMPARE(List()->topLevelItem(2)->text(1), QString("0"));

        // Given on the command line, it opens the window on the merge form just as fast.
        const auto started = MakeFrame(dir, dir.filePath("x.kdh"));
        QVERIFY(started && started->GetMergeView());
        QCOMPARE(Control<QTreeWidget>(started->GetMergeView(), 1023)->topLevelItemCount(), 1);
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    }

    void aHeadFileWhoseExtensionLeavesTheFolderIsMalformed() {
        Prepare({1, 2, 3});
        Edit(1013)->setText(dir.filePath("movie.kdh"));
        const auto head = EncodeHeadFile({2500, 3, 1000, 1000, "d/../../outside/victim"});
        WriteFile(dir.filePath("evil.kdh"),
                  QByteArray(reinterpret_cast<const char*>(head.data()), head.size()));
        Person person;
        Edit(1013)->setText(dir.filePath("evil.kdh"));
        QCOMPARE(person.Texts(), std::vector<QString>{"Read info From head file error"});
        QCOMPARE(Edit(1020)->text(), dir.filePath("movie.avi"));
    }

    void browsingTheHeadFileLoadsIt() {
        Prepare({1, 2, 3});
        Person person;
        person.fileToChoose = dir.filePath("movie.kdh");
        QTest::mouseClick(Control<QPushButton>(form, 1014), Qt::LeftButton);
        QCOMPARE(Edit(1013)->text(), dir.filePath("movie.kdh"));
        QCOMPARE(List()->topLevelItemCount(), 3);
    }
};

QTEST_MAIN(MergeViewTest)
#include "merge_view_test.moc"
