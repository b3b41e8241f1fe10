#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMimeData>
#include <QRadioButton>
#include <QSettings>
#include <QTableWidget>
#include <QtTest>
#include <cmath>

#include "ui/shell/explore_view.h"

#include "gui_support.h"
#include "ui/forms/settings_profile.h"
#include "ui/forms/splitter_view.h"

using namespace kavendrum;
using namespace kavendrum::testing;
using ui::CSplitterView;

namespace {

double Luminance(QColor colour) {
    const auto channel = [](double value) {
        value /= 255.0;
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.red()) + 0.7152 * channel(colour.green()) +
           0.0722 * channel(colour.blue());
}

double Contrast(QColor a, QColor b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The highest contrast against `face` of any pixel of the image.
double MostContrast(const QImage& image, QColor face) {
    double most = 1.0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            most = std::max(most, Contrast(image.pixelColor(x, y), face));
        }
    }
    return most;
}

// What focus adds to a control, as pixels that differ from its look without focus; the most
// contrast any of them has against the face.
double FocusMarkContrast(QWidget* control) {
    control->clearFocus();
    QApplication::processEvents();
    const QImage without = control->grab().toImage();
    control->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    const QImage with = control->grab().toImage();
    double most = 0;
    for (int y = 0; y < with.height(); ++y) {
        for (int x = 0; x < with.width(); ++x) {
            if (with.pixel(x, y) != without.pixel(x, y)) {
                most = std::max(most, Contrast(with.pixelColor(x, y), QColor(204, 204, 204)));
            }
        }
    }
    return most;
}

}  // namespace

class SplitterViewTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    std::unique_ptr<ui::CMainFrame> frame;
    CSplitterView* form = nullptr;

    QString Row(CSplitterView::Row row) const { return form->ParameterValue(row); }
    QLineEdit* Edit(int id) const { return Control<QLineEdit>(form, id); }

  private slots:
    void init() {
        frame = MakeFrame(dir);
        QVERIFY(frame);
        form = frame->GetSplitView();
        QVERIFY(form);
    }
    void cleanup() { frame.reset(); }

    void firstDisplayShowsTheDefaultPreset() {
        QVERIFY(Control<QRadioButton>(form, 1006)->isChecked());
        QCOMPARE(Control<QComboBox>(form, 1008)->currentText(), QString("1457664"));
        QCOMPARE(Control<QComboBox>(form, 1008)->count(), 14);
        QCOMPARE(Control<QLabel>(form, 101)->text(), QString("(1424K)"));
        QVERIFY(!Edit(1009)->isEnabled());
        QCOMPARE(Edit(1009)->text(), QString("1457664"));
        for (int row = 0; row < 5; ++row) {
            QVERIFY(Row(CSplitterView::Row(row)).isEmpty());
        }
    }

    void theTabOrderIsTheTemplatesOrder() {
        QStringList ids;
        for (QWidget* at = form->nextInFocusChain(); at != form; at = at->nextInFocusChain()) {
            // A spin box's own edit is part of the spin box, not a control of the form.
            if (form->isAncestorOf(at) && !at->objectName().isEmpty() &&
                !at->objectName().startsWith("qt_") && (at->focusPolicy() & Qt::TabFocus) != 0) {
                ids << at->objectName();
            }
        }
        QCOMPARE(ids.join(' '),
                 QString("1002 1003 1004 1006 1007 1008 1009 1010 1012 1001 1026 1027"));
    }

    void typingTheSourceFillsTheParameters() {
        WriteFile(dir.filePath("movie.avi"), RandomBytes(3000000));
        QTest::keyClicks(Edit(1001), dir.filePath("movie.avi"));
        QCOMPARE(Edit(1003)->text(), dir.path() + "/");
        QCOMPARE(Row(CSplitterView::kSplitFileName), dir.filePath("movie.avi"));
        QCOMPARE(Row(CSplitterView::kDestinationFolder), dir.path() + "/");
        QCOMPARE(Row(CSplitterView::kOriginalSize), QString("3000000 ( 2930 KB)"));
        QCOMPARE(Row(CSplitterView::kSplitSize), QString("1457664 ( 1424 KB)"));
        QCOMPARE(Row(CSplitterView::kPieceCount), QString("3"));

        // A missing file: the size row empties, the others keep their values.
        Edit(1001)->setText(dir.filePath("missing.avi"));
        QCOMPARE(Row(CSplitterView::kSplitFileName), dir.filePath("missing.avi"));
        QVERIFY(Row(CSplitterView::kSplitSize).isEmpty());
        QCOMPARE(Row(CSplitterView::kOriginalSize), QString("3000000 ( 2930 KB)"));
        QCOMPARE(Row(CSplitterView::kPieceCount), QString("3"));
    }

    // A long path keeps its end in sight, cut in the middle, and gives all of itself as a tip.
    void longPathsAreCutInTheMiddleWithTheWholePathAsTip() {
        const QString path = dir.filePath(QString(120, 'd') + "/movie_final_version.avi");
        Edit(1001)->setText(path);
        auto* list = Control<QTableWidget>(form, 1010);
        QCOMPARE(list->textElideMode(), Qt::ElideMiddle);
        QVERIFY(!list->wordWrap());
        QCOMPARE(list->item(CSplitterView::kSplitFileName, 1)->toolTip(), path);
        QCOMPARE(list->item(CSplitterView::kDestinationFolder, 1)->toolTip(),
                 dir.filePath(QString(120, 'd')) + "/");
    }

    void presetsAndTheCustomSizeDriveTheCount() {
        WriteFile(dir.filePath("a.bin"), RandomBytes(100000));
        Edit(1001)->setText(dir.filePath("a.bin"));
        Control<QComboBox>(form, 1008)->setCurrentIndex(0);
        QCOMPARE(Control<QLabel>(form, 101)->text(), QString("(33K)"));
        QCOMPARE(Row(CSplitterView::kPieceCount), QString("4"));

        QTest::mouseClick(Control<QRadioButton>(form, 1007), Qt::LeftButton);
        QVERIFY(Edit(1009)->isEnabled());
        QVERIFY(!Control<QComboBox>(form, 1008)->isEnabled());
        QCOMPARE(Control<QLabel>(form, 101)->text(), QString("(33K)"));
        Edit(1009)->setText("1000");
        QCOMPARE(Row(CSplitterView::kSplitSize), QString("1000 ( 1 KB)"));
        QCOMPARE(Row(CSplitterView::kPieceCount), QString("101"));
    }

    void aBadCustomSizeIsRefusedAndStopsTheRecalculation() {
        WriteFile(dir.filePath("a.bin"), RandomBytes(5000));
        Edit(1001)->setText(dir.filePath("a.bin"));
        QTest::mouseClick(Control<QRadioButton>(form, 1007), Qt::LeftButton);
        Edit(1009)->setText("1000");
        const QString count = Row(CSplitterView::kPieceCount);

        Person person;
        Edit(1009)->setText("");
        Edit(1009)->setText("0");
        Edit(1009)->setText("629145601");
        QCOMPARE(person.Texts(),
                 (std::vector<QString>{"Please enter a positive integer.",
                                       "Please enter an integer between 1 and 629145600.",
                                       "Please enter an integer between 1 and 629145600."}));
        QCOMPARE(Row(CSplitterView::kPieceCount), count);
        QCOMPARE(Edit(1009)->selectedText(), QString("629145601"));

        // Start is refused as well: nothing is written.
        QTest::mouseClick(Control<QPushButton>(form, 1012), Qt::LeftButton);
        QVERIFY(!QFile::exists(dir.filePath("a.kdh")));
    }

    // Enter presses the focused button, as Space does; every control that takes focus shows it
    // at 3:1 or more against the face.
    void theKeyboardPressesButtonsAndSeesTheFocus() {
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame.get()));
        WriteFile(dir.filePath("a.bin"), RandomBytes(5000));
        Person person;
        person.fileToChoose = dir.filePath("a.bin");
        auto* browse = Control<QPushButton>(form, 1002);
        browse->setFocus(Qt::TabFocusReason);
        QTest::keyClick(browse, Qt::Key_Return);
        QTRY_COMPARE(Edit(1001)->text(), dir.filePath("a.bin"));
        Edit(1001)->clear();
        QTest::keyClick(browse, Qt::Key_Enter);
        QTRY_COMPARE(Edit(1001)->text(), dir.filePath("a.bin"));

        for (const int id : {1002, 1004, 1008, 1012, 1026}) {
            QWidget* control = form->findChild<QWidget*>(QString::number(id));
            const double contrast = FocusMarkContrast(control);
            QVERIFY2(contrast >= 3.0, qPrintable(QString("%1: %2").arg(id).arg(contrast)));
        }
    }

    // In custom mode the preset's size label is greyed out with the preset.
    void theSizeLabelGoesGreyWithThePreset() {
        QTest::mouseClick(Control<QRadioButton>(form, 1007), Qt::LeftButton);
        QVERIFY(!Control<QComboBox>(form, 1008)->isEnabled());
        QVERIFY(!Control<QLabel>(form, 101)->isEnabled());
        QTest::mouseClick(Control<QRadioButton>(form, 1006), Qt::LeftButton);
        QVERIFY(Control<QLabel>(form, 101)->isEnabled());
    }

    // A dark desktop scheme does not reach the grey faces: their texts stay dark.
    void aDarkSchemeLeavesTheTextsReadable() {
        const QPalette before = QApplication::palette();
        QPalette dark(QColor(249, 249, 249), QColor(50, 50, 50), QColor(80, 80, 80),
                      QColor(20, 20, 20), QColor(40, 40, 40), QColor(249, 249, 249),
                      QColor(255, 255, 255), QColor(30, 30, 30), QColor(45, 45, 45));
        QApplication::setPalette(dark);
        frame = MakeFrame(dir);
        form = frame->GetSplitView();
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        const QColor face(204, 204, 204);
        QStringList faults;
        for (QWidget* control : form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            // Controls that show a text of their own on the face.
            const bool texted = qobject_cast<QLabel*>(control) != nullptr ||
                                qobject_cast<QAbstractButton*>(control) != nullptr ||
                                qobject_cast<QGroupBox*>(control) != nullptr;
            if (control->isHidden() || !texted) {
                continue;
            }
            const double contrast = MostContrast(control->grab().toImage(), face);
            if (contrast < 7.0) {
                faults << QString("%1: %2").arg(control->objectName()).arg(contrast);
            }
        }
        const QImage tree = frame->GetExploreView()->m_treeCtrl->viewport()->grab().toImage();
        const QColor treeBase = tree.pixelColor(tree.width() - 2, tree.height() - 2);
        QApplication::setPalette(before);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        // The logo and the state images sit on white, as they were drawn for.
        QCOMPARE(treeBase, QColor(Qt::white));
    }

    void startWritesPiecesHeadAndBatchFile() {
        const QByteArray source = RandomBytes(3000000);
        WriteFile(dir.filePath("movie.avi"), source);
        QDir(dir.path()).mkdir("out");
        Edit(1001)->setText(dir.filePath("movie.avi"));
        Edit(1003)->setText(dir.filePath("out"));
        Person person;
        frame->Command(ui::ID_SPLIT_FILE)->trigger();
        QCOMPARE(person.boxes.size(), std::size_t{1});
        QCOMPARE(person.boxes[0].caption, QString("Message"));
        QVERIFY(person.boxes[0].text.startsWith("Split file successfully!\r\n"));
        QCOMPARE(FileBytes(dir.filePath("out/movie_1.skf")), source.left(1457664));
        QCOMPARE(FileBytes(dir.filePath("out/movie_3.skf")), source.mid(2915328));
        QCOMPARE(FileBytes(dir.filePath("out/movie.kdh")).size(), 20);
        QVERIFY(QFile::exists(dir.filePath("out/movie.bat")));
        QVERIFY(!QFile::exists(dir.filePath("out/movie.sha256")));
        // The run has ended, and its label with it.
        QCOMPARE(frame->statusBar()->currentMessage(), QString("Ready"));
    }

    // Links planted at the names a split writes are replaced; what they lead to is left alone.
    void linksAtTheSetsNamesAreReplacedNotWrittenThrough() {
        const QByteArray source = RandomBytes(3000000);
        WriteFile(dir.filePath("film.avi"), source);
        WriteFile(dir.filePath("private_head"), "h");
        WriteFile(dir.filePath("private_piece"), "p");
        QDir(dir.path()).mkdir("linked");
        QVERIFY(QFile::link("../private_head", dir.filePath("linked/film.kdh")));
        QVERIFY(QFile::link("../private_piece", dir.filePath("linked/film_1.skf")));
        QVERIFY(QFile::link("../nowhere", dir.filePath("linked/film.bat")));
        Edit(1001)->setText(dir.filePath("film.avi"));
        Edit(1003)->setText(dir.filePath("linked"));
        Person person;
        person.answers = {true};
        frame->Command(ui::ID_SPLIT_FILE)->trigger();
        QCOMPARE(person.boxes.size(), std::size_t{2});
        QCOMPARE(person.boxes[0].text,
                 QString("There are same name files in this folder,overwrite it?"));
        QVERIFY(person.boxes[1].text.startsWith("Split file successfully!\r\n"));
        QCOMPARE(FileBytes(dir.filePath("private_head")), QByteArray("h"));
        QCOMPARE(FileBytes(dir.filePath("private_piece")), QByteArray("p"));
        QVERIFY(!QFile::exists(dir.filePath("nowhere")));
        QVERIFY(!QFileInfo(dir.filePath("linked/film_1.skf")).isSymLink());
        QCOMPARE(FileBytes(dir.filePath("linked/film_1.skf")), source.left(1457664));
        QCOMPARE(FileBytes(dir.filePath("linked/film.kdh")).size(), 20);
        QVERIFY(!QFileInfo(dir.filePath("linked/film.bat")).isSymLink());
    }

    void theChecksumBoxSitsInFreeSpaceAndIsKeptInTheProfile() {
        auto* box = Control<ui::CEtchedCheckBox>(form, 1026);
        QVERIFY(box);
        QCOMPARE(box->Caption(), QString("Write checksums (.sha256)"));
        QCOMPARE(box->m_nChecked, 0);
        auto* group = form->findChild<QGroupBox*>();
        QVERIFY(group && group->geometry().contains(box->geometry()));
        for (auto* other : form->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (other != box && other->isVisible() && !qobject_cast<QGroupBox*>(other)) {
                QVERIFY2(!other->geometry().intersects(box->geometry()),
                         qPrintable(other->objectName()));
            }
        }
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->m_nChecked, 1);
        QCOMPARE(ui::CSettingsProfile::Settings().value("Split/WriteChecksums").toInt(), 1);

        // A form built anew shows the kept state, and its split writes the checksum file.
        frame = MakeFrame(dir);
        form = frame->GetSplitView();
        QCOMPARE(Control<ui::CEtchedCheckBox>(form, 1026)->m_nChecked, 1);
        WriteFile(dir.filePath("movie.avi"), RandomBytes(3000000));
        QDir(dir.path()).mkdir("out");
        Edit(1001)->setText(dir.filePath("movie.avi"));
        Edit(1003)->setText(dir.filePath("out"));
        {
            Person person;
            frame->Command(ui::ID_SPLIT_FILE)->trigger();
        }
        const QList<QByteArray> lines = FileBytes(dir.filePath("out/movie.sha256")).split('\n');
        QCOMPARE(lines.size(), 5);  // three pieces, the whole file, and the end of the last line
        QVERIFY(lines[0].endsWith("  movie_1.skf"));
        QVERIFY(lines[3].endsWith("  movie.avi"));

        QTest::mouseClick(Control<ui::CEtchedCheckBox>(form, 1026), Qt::LeftButton);
        QCOMPARE(ui::CSettingsProfile::Settings().value("Split/WriteChecksums").toInt(), 0);
    }

    void droppedFilesLandOnlyInTheFieldsThatAcceptThem() {
        WriteFile(dir.filePath("dropped.iso"), RandomBytes(10));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(dir.filePath("dropped.iso")),
                      QUrl::fromLocalFile(dir.filePath("second.iso"))});
        for (const int id : {1001, 1009}) {
            QLineEdit* edit = Edit(id);
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton,
                                  Qt::NoModifier);
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            if (edit->acceptDrops()) {
                QApplication::sendEvent(edit, &enter);
                QApplication::sendEvent(edit, &drop);
            }
        }
        QCOMPARE(Edit(1001)->text(), dir.filePath("dropped.iso"));
        QCOMPARE(Row(CSplitterView::kOriginalSize), QString("10 ( 1 KB)"));
        QVERIFY(!Edit(1009)->acceptDrops());
        QCOMPARE(Edit(1009)->text(), QString("1457664"));
    }

    void browsingChangesNothingWhenCancelled() {
        Person person;
        Edit(1001)->setText("/a/b.bin");
        QTest::mouseClick(Control<QPushButton>(form, 1002), Qt::LeftButton);
        QTest::mouseClick(Control<QPushButton>(form, 1004), Qt::LeftButton);
        QCOMPARE(person.folderOfferedFirst, QString("/a/"));
        QCOMPARE(Edit(1001)->text(), QString("/a/b.bin"));
        QCOMPARE(Edit(1003)->text(), QString("/a/"));

        person.folderToChoose = QString("/srv/out");
        QTest::mouseClick(Control<QPushButton>(form, 1004), Qt::LeftButton);
        QCOMPARE(Row(CSplitterView::kDestinationFolder), QString("/srv/out"));
    }
};

QTEST_MAIN(SplitterViewTest)
#include "splitter_view_test.moc"
