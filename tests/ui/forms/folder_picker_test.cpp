#include <QDir>
#include <QTreeView>
#include <QtTest>

#include "ui/forms/folder_picker.h"

using namespace kavendrum::ui;

class FolderPickerTest : public QObject {
    Q_OBJECT

  private slots:
    void opensOnTheInitialFolderAndFollowsTheSelection() {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("out");
        CDestFolderPicker picker(nullptr, "Directory Name");
        picker.SetInitialFolder(dir.filePath("out"));
        picker.show();
        QCOMPARE(picker.windowTitle(), QString("Directory Name"));
        QCOMPARE(picker.StatusText(), dir.filePath("out"));

        picker.SetSelection(dir.path());
        QCOMPARE(picker.StatusText(), dir.path());
        picker.SetSelection("/");
        QCOMPARE(picker.StatusText(), QString("/"));  // a root keeps its separator
    }

    // Opening on a folder far down a long list shows it, also once the folders around it have
    // been read and have pushed it down.
    void theInitialFolderIsInSight() {
        QTemporaryDir dir;
        for (int folder = 0; folder < 80; ++folder) {
            QVERIFY(QDir(dir.path()).mkdir(QString("folder%1").arg(folder, 2, 10, QChar('0'))));
        }
        const QString target = dir.filePath("folder79");
        CDestFolderPicker picker(nullptr, "Directory Name");
        picker.SetInitialFolder(target);
        picker.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picker));
        QTreeView* tree = picker.Tree();
        const auto inSight = [&] {
            const QRect row = tree->visualRect(tree->currentIndex());
            return tree->currentIndex().isValid() && row.isValid() &&
                   tree->viewport()->rect().contains(row);
        };
        // Until the folder list has been read and laid out.
        QTest::qWait(1500);
        QVERIFY(inSight());
        QCOMPARE(picker.StatusText(), target);
    }
};

QTEST_MAIN(FolderPickerTest)
#include "folder_picker_test.moc"
