#include <QImage>
#include <QSizeGrip>
#include <QStatusBar>
#include <QtTest>

#include "gui_support.h"
#include "ui/controls/etched_button.h"
#include "ui/controls/progress_bar.h"

using namespace kavendrum;
using namespace kavendrum::testing;
using namespace kavendrum::ui;

class ProgressBarTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;

    static QColor At(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

  private slots:
    void paintsTheDonePartUpToTheSplitPoint() {
        auto frame = MakeFrame(dir);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        CProgressBar bar;
        QVERIFY(bar.ShowInPane("Operation Processing", 100, 100, 0));
        bar.SetStepRange(0, 4, 1);
        bar.Advance();
        bar.Advance();
        bar.resize(104, 20);
        const QImage image = bar.grab().toImage();
        // 100 pixels inside the frame, half done: the split point is 50 right of the inner edge.
        QCOMPARE(At(image, 2, 10), QColor(153, 153, 204));
        QCOMPARE(At(image, 50, 10), QColor(153, 153, 204));
        QCOMPARE(At(image, 52, 10), QColor(204, 204, 204));
        QCOMPARE(At(image, 100, 10), QColor(204, 204, 204));
        // The etched frame: dark outside at top and left, light at bottom and right.
        QCOMPARE(At(image, 0, 5), QColor(128, 128, 128));
        QCOMPARE(At(image, 103, 5), QColor(255, 255, 255));
        QCOMPARE(At(image, 1, 5), QColor(255, 255, 255));
        QCOMPARE(At(image, 102, 5), QColor(128, 128, 128));
    }

    void leavesTheSizeGripFree() {
        auto frame = MakeFrame(dir);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        const QSizeGrip* grip = frame->statusBar()->findChild<QSizeGrip*>();
        QVERIFY(grip != nullptr && grip->isVisible());
        CProgressBar bar;
        QVERIFY(bar.ShowInPane("Operation Processing", 100, 100, 0));
        QVERIFY(bar.geometry().right() < grip->geometry().left());
        QVERIFY(bar.geometry().right() >= grip->geometry().left() - 4);
    }

    void fitsToTheRightOfItsLabelAndWrapsPastItsEnd() {
        auto frame = MakeFrame(dir);
        frame->resize(600, 400);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        CProgressBar bar;
        QVERIFY(bar.ShowInPane("Operation Processing", 100, 100, 0));
        const QFontMetrics metrics(frame->statusBar()->font());
        // The pane ends where the frame's size grip begins.
        QRect pane = frame->statusBar()->contentsRect();
        pane.setRight(frame->statusBar()->findChild<QSizeGrip*>()->geometry().left() - 1);
        const int left = pane.left() + metrics.horizontalAdvance("Operation Processing") +
                         4 * metrics.horizontalAdvance(' ');
        QCOMPARE(bar.geometry().left(), left);
        QCOMPARE(bar.geometry().right() + 1, pane.right() + 1);
        QCOMPARE(bar.geometry().top(), pane.top() + pane.height() / 10);
        bar.SetWidthPercent(50);
        const int free = pane.right() + 1 - left;
        QCOMPARE(bar.geometry().width(), free - (50 * free) / 100);

        bar.SetStepRange(0, 2, 1);
        bar.SetPosition(0);
        QCOMPARE(bar.Advance(), 0);
        QCOMPARE(bar.Advance(), 1);
        QCOMPARE(bar.Advance(), 2);
        QCOMPARE(bar.Position(), 1);
        bar.SetStepRange(0, 0, 1);
        bar.grab();  // an empty range draws, and nothing divides by zero
    }

    void aPressedButtonLosesItsEdges() {
        CEtchedButton button;
        button.SetCaption("Start");
        button.resize(60, 24);
        QCOMPARE(button.grab().toImage().pixelColor(0, 0), QColor(128, 128, 128));
        button.setDown(true);
        QCOMPARE(button.grab().toImage().pixelColor(0, 0), QColor(110, 110, 110));
    }
};

QTEST_MAIN(ProgressBarTest)
#include "progress_bar_test.moc"
