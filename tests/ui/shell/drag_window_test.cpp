#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include "gui_support.h"
#include "ui/forms/merge_view.h"
#include "ui/forms/splitter_view.h"
#include "ui/shell/drag_window.h"

using namespace kavendrum;
using namespace kavendrum::testing;
using namespace kavendrum::ui;

class DragWindowTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<CDragWindow> square;

    // Sends a whole drag over the square and drops it; the drop's accepted action, or
    // IgnoreAction when the square refused it.
    Qt::DropAction Drop(const QMimeData& data, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                              modifiers);
        QApplication::sendEvent(square.get(), &enter);
        if (!enter.isAccepted()) {
            return Qt::IgnoreAction;
        }
        QDragMoveEvent move(QPoint(6, 6), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                            modifiers);
        QApplication::sendEvent(square.get(), &move);
        if (!move.isAccepted()) {
            return Qt::IgnoreAction;
        }
        QDropEvent drop(QPointF(6, 6), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                        modifiers);
        QApplication::sendEvent(square.get(), &drop);
        return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    }

    static QMimeData* Files(std::initializer_list<QString> paths) {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& path : paths) {
            urls << QUrl::fromLocalFile(path);
        }
        data->setUrls(urls);
        return data;
    }

  private slots:
    void init() {
        frame = MakeFrame(dir);
        QVERIFY(frame);
        square = std::make_unique<CDragWindow>();
        QVERIFY(square->Create());
        square->m_pMainFrame = frame.get();
        frame->m_pDragWindow = square.get();
        square->show();
    }
    void cleanup() {
        frame.reset();
        square.reset();
    }

    void theSquareStaysOnTopWithoutATaskBarEntry() {
        QVERIFY(square->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(square->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(square->windowType(), Qt::Tool);
        QVERIFY(square->acceptDrops());
    }

    void filesGoIntoTheShownFormsField() {
        const std::unique_ptr<QMimeData> files(
            Files({dir.filePath("movie.avi"), dir.filePath("second.avi")}));
        QCOMPARE(Drop(*files), Qt::CopyAction);
        QCOMPARE(frame->GetSplitView()->m_editSource->text(), dir.filePath("movie.avi"));
        QVERIFY(frame->isVisible());

        // The merge form, with the frame hidden: it comes back with the path in 1013.
        frame->SwitchView(CMergeView::kFormId);
        frame->hide();
        Drop(*files);
        QCOMPARE(frame->GetMergeView()->m_editHeadFileName->text(), dir.filePath("movie.avi"));
        QVERIFY(frame->isVisible());
    }

    void filesAreIgnoredWhileTheOptionFormIsShown() {
        frame->SwitchView(133);
        frame->hide();
        const std::unique_ptr<QMimeData> files(Files({dir.filePath("movie.avi")}));
        Drop(*files);
        QVERIFY(!frame->isVisible());
        QCOMPARE(frame->m_nCurView, 3);
    }

    void textIsShownAndCtrlRefusesItOverTheSquare() {
        Person person;
        QMimeData text;
        text.setText("https://example.invalid/page");
        QCOMPARE(Drop(text), Qt::MoveAction);
        QCOMPARE(person.boxes.size(), std::size_t{1});
        QCOMPARE(person.boxes[0].text, QString("https://example.invalid/page"));
        QCOMPARE(person.boxes[0].caption, QString("链接"));
        QCOMPARE(person.boxes[0].style, BoxStyle::Information);

        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton,
                              Qt::ControlModifier);
        QApplication::sendEvent(square.get(), &enter);
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QCOMPARE(Drop(text, Qt::ControlModifier), Qt::IgnoreAction);
        QMimeData nothing;
        nothing.setData("application/octet-stream", "x");
        QCOMPARE(Drop(nothing), Qt::IgnoreAction);
        QCOMPARE(person.boxes.size(), std::size_t{1});
    }

    void theMenuCarriesTheFramesCommandsAndItsCheckMark() {
        QStringList items;
        bool checked = false;
        QPoint shownAt;
        QTimer::singleShot(0, this, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu != nullptr);
            shownAt = menu->pos();
            for (QAction* action : menu->actions()) {
                items << (action->isSeparator() ? QString("-") : action->text());
            }
            checked = menu->actions().first()->isChecked();
            menu->close();
        });
        square->move(100, 120);
        QContextMenuEvent keyboard(QContextMenuEvent::Keyboard, QPoint(-1, -1), QPoint(-1, -1));
        QApplication::sendEvent(square.get(), &keyboard);
        QCOMPARE(items.join('|'), QString("Show Main Window|-|&Help|-|&Exit"));
        QVERIFY(checked == frame->isVisible());
        // From the keyboard the menu opens 5 pixels right of and below the client corner.
        QCOMPARE(shownAt, square->mapToGlobal(QPoint(5, 5)));
    }

    void aDoubleClickShowsOrHidesTheFrame() {
        frame->show();
        QTest::mouseDClick(square.get(), Qt::LeftButton);
        QVERIFY(!frame->isVisible());
        QTest::mouseDClick(square.get(), Qt::LeftButton);
        QVERIFY(frame->isVisible());
    }

    // A click or a double click leaves the pointer to the square; only a drag past the drag
    // distance hands the move to the window system.
    void onlyADragMovesTheSquare() {
        QTest::mouseClick(square.get(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseDClick(square.get(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(square->m_nSystemMoves, 0);
        QTest::mousePress(square.get(), Qt::LeftButton, {}, QPoint(5, 5));
        const QPoint near(5 + QApplication::startDragDistance() / 2, 5);
        QMouseEvent small(QEvent::MouseMove, near, square->mapToGlobal(near), Qt::NoButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(square.get(), &small);
        QCOMPARE(square->m_nSystemMoves, 0);
        const QPoint far(5 + QApplication::startDragDistance() + 1, 5);
        QMouseEvent large(QEvent::MouseMove, far, square->mapToGlobal(far), Qt::NoButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(square.get(), &large);
        QCOMPARE(square->m_nSystemMoves, 1);
        QTest::mouseRelease(square.get(), Qt::LeftButton, {}, far);
    }

    void aCloseRequestClosesTheProgramButNotTheSquare() {
        frame->show();
        QSignalSpy closed(frame.get(), &CMainFrame::closed);
        QVERIFY(!square->close());
        QTRY_COMPARE(closed.count(), 1);
        QVERIFY(square->isVisible());
    }

    void aSavedPlaceOffEveryScreenIsMovedOntoThePrimaryOne() {
        const QPoint kept = CDragWindow::OnScreen(QPoint(392, 284), QSize(36, 36));
        QCOMPARE(kept, QPoint(392, 284));
        const QPoint moved = CDragWindow::OnScreen(QPoint(-5000, 90000), QSize(36, 36));
        QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(
            QRect(moved, QSize(36, 36))));
    }
};

QTEST_MAIN(DragWindowTest)
#include "drag_window_test.moc"
