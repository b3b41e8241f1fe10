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
};

QTEST_MAIN(FolderPickerTest)
#include "folder_picker_test.moc"
