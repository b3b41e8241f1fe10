// Builds the main frame at its first size, visits the three forms and the About box, and fails
// for every text that needs more width than its control has and for every control that lies
// outside the frame's first client area. Run at the default font and, with
// KAVENDRUM_FIT_FONT_SCALE set, at a larger one.
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>
#include <set>

#include "gui_support.h"
#include "ui/controls/etched_button.h"
#include "ui/controls/etched_check_box.h"
#include "ui/controls/etched_group_box.h"
#include "ui/forms/merge_view.h"
#include "ui/forms/option_view.h"
#include "ui/forms/splitter_view.h"
#include "ui/shell/about_dlg.h"
#include "ui/shell/explore_view.h"

using namespace kavendrum;
using namespace kavendrum::testing;
using namespace kavendrum::ui;

namespace {

QString Name(const QWidget* widget) {
    QString text;
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        text = label->text();
    } else if (const auto* box = qobject_cast<const CEtchedCheckBox*>(widget)) {
        text = box->Caption();
    } else if (const auto* button = qobject_cast<const CEtchedButton*>(widget)) {
        text = button->Caption();
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        text = button->text();
    } else if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
        text = group->title();
    }
    return QString("%1 \"%2\"").arg(widget->objectName(), text);
}

// The pixels a control's text takes, measured the way the control draws it.
int TextWidth(const QWidget* widget) {
    const QFontMetrics metrics(widget->font());
    if (const auto* box = qobject_cast<const CEtchedCheckBox*>(widget)) {
        return CEtchedCheckBox::BoxSize(metrics) + 3 + metrics.horizontalAdvance(box->Caption());
    }
    if (const auto* button = qobject_cast<const CEtchedButton*>(widget)) {
        // The focus rectangle reaches three pixels past the caption on either side.
        return metrics.horizontalAdvance(button->Caption()) + 6;
    }
    if (const auto* group = qobject_cast<const CEtchedGroupBox*>(widget)) {
        return group->TitleRect().right() + 1;
    }
    if (qobject_cast<const QRadioButton*>(widget) != nullptr ||
        qobject_cast<const QCheckBox*>(widget) != nullptr || qobject_cast<const QLabel*>(widget)) {
        return widget->sizeHint().width();
    }
    return 0;
}

bool IsGroup(const QWidget* widget) {
    return qobject_cast<const QGroupBox*>(widget) != nullptr;
}

// A list's headings within their columns.
void CheckHeadings(const QHeaderView* header, const QAbstractItemModel* model, const QString& list,
                   QStringList& faults) {
    const QFontMetrics metrics(header->font());
    for (int column = 0; column < model->columnCount(); ++column) {
        const QString heading = model->headerData(column, Qt::Horizontal).toString();
        if (metrics.horizontalAdvance(heading) + 8 > header->sectionSize(column)) {
            faults << QString("%1: heading \"%2\" needs %3 pixels, its column has %4")
                          .arg(list, heading)
                          .arg(metrics.horizontalAdvance(heading) + 8)
                          .arg(header->sectionSize(column));
        }
    }
}

// Every text whole, every control inside the form's visible part and inside the frame, no two
// controls over each other, no control across a group's title or top line.
QStringList FormFaults(QWidget* form, const QWidget* frame, const QRect& client, bool allShown) {
    QStringList faults;
    const QRect visible = form->rect();
    const QList<QWidget*> controls = form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* control : controls) {
        if (control->isHidden()) {
            continue;
        }
        const QRect place = control->geometry();
        const int needed = TextWidth(control);
        if (needed > place.width()) {
            faults << QString("%1 needs %2 pixels, has %3")
                          .arg(Name(control))
                          .arg(needed)
                          .arg(place.width());
        }
        if (qobject_cast<QLabel*>(control) != nullptr &&
            place.height() < control->fontMetrics().height()) {
            faults << QString("%1 is lower than its text").arg(Name(control));
        }
        const QRect inFrame(control->mapTo(frame, QPoint(0, 0)), place.size());
        if (!visible.contains(place) || (allShown && !client.contains(inFrame))) {
            faults << QString("%1 at %2,%3 %4x%5 lies outside the first client area")
                          .arg(Name(control))
                          .arg(inFrame.x())
                          .arg(inFrame.y())
                          .arg(place.width())
                          .arg(place.height());
        }
        for (QWidget* other : controls) {
            if (other == control || other->isHidden() || IsGroup(other)) {
                continue;
            }
            // Inside a group, a control keeps clear of the frame's bottom lines.
            if (IsGroup(control) && place.contains(other->geometry().center()) &&
                other->geometry().bottom() >= place.bottom() - 2) {
                faults
                    << QString("%1 lies on the bottom line of %2").arg(Name(other), Name(control));
            }
            if (const auto* group = qobject_cast<CEtchedGroupBox*>(control)) {
                const QRect title = group->TitleRect().translated(place.topLeft());
                const int line = place.top() + group->LineTop() + 1;
                const bool crossesLine =
                    other->geometry().intersects(place) && other->geometry().top() <= line;
                if (other->geometry().intersects(title) || crossesLine) {
                    faults << QString("%1 lies on the title or top line of %2")
                                  .arg(Name(other), Name(control));
                }
            } else if (!IsGroup(control) && control < other &&
                       control->geometry().intersects(other->geometry())) {
                faults << QString("%1 overlaps %2").arg(Name(control), Name(other));
            }
        }
    }
    if (auto* table = form->findChild<QTableWidget*>()) {
        CheckHeadings(table->horizontalHeader(), table->model(), "1010", faults);
        const QFontMetrics metrics(table->font());
        for (int row = 0; row < table->rowCount(); ++row) {
            const QString text = table->item(row, 0)->text();
            if (metrics.horizontalAdvance(text) + 6 > table->columnWidth(0)) {
                faults << QString("1010: \"%1\" does not fit its column").arg(text);
            }
        }
    }
    if (auto* list = form->findChild<QTreeWidget*>()) {
        CheckHeadings(list->header(), list->model(), "1023", faults);
    }
    return faults;
}

}  // namespace

class FitTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;

    static QRect FirstClientArea(const CMainFrame& frame) {
        return frame.centralWidget()->geometry();
    }
    // Whether the screen holds the frame at a size that shows every form whole.
    static bool ScreenHoldsAll(const CMainFrame& frame) {
        const QSize area = QGuiApplication::primaryScreen()->availableGeometry().size();
        const QSize least(frame.GetExploreView()->NeededWidth() +
                              frame.m_wndSplitter->handleWidth() + CMainFrame::FormsSize().width(),
                          frame.ContentSize().height());
        // Room for a window manager's border.
        return least.width() + 20 <= area.width() && least.height() + 40 <= area.height();
    }

  private slots:
    void initTestCase() {
        const double scale = qEnvironmentVariable("KAVENDRUM_FIT_FONT_SCALE", "1").toDouble();
        QFont font = QApplication::font();
        if (scale > 1) {
            font.setPointSizeF(font.pointSizeF() * scale);
            QApplication::setFont(font);
        }
        qInfo() << "font" << font.family() << font.pointSizeF() << "screen"
                << QGuiApplication::primaryScreen()->geometry();
    }

    void everyFormShowsWholeInTheFirstFrame() {
        auto frame = MakeFrame(dir);
        QVERIFY(frame);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        const QRect client = FirstClientArea(*frame);
        qInfo() << "frame" << frame->size() << "client area" << client;
        QStringList faults;
        for (const int formId : {CSplitterView::kFormId, CMergeView::kFormId, COptionView::kFormId,
                                 CSplitterView::kFormId}) {
            QVERIFY(frame->SwitchView(formId));
            QApplication::processEvents();
            QWidget* form = frame->CurrentForm();
            // On a screen smaller than the whole frame, the form scrolls; the smallest frame's
            // test sees to that.
            const bool allShown = ScreenHoldsAll(*frame);
            for (const QString& fault : FormFaults(form, frame.get(), client, allShown)) {
                faults << QString("form %1: %2").arg(formId).arg(fault);
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    // At the smallest size the frame allows, every control is whole and visible; where the
    // screen is smaller than that, the frame fits the screen and the form scrolls instead.
    void theSmallestFrameCutsNoControl() {
        auto frame = MakeFrame(dir);
        QVERIFY(frame);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        QTest::qWait(500);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        frame->resize(1, 1);
        QApplication::processEvents();
        qInfo() << "smallest frame" << frame->size() << "on" << area.size();
        QVERIFY(frame->width() <= area.width() && frame->height() <= area.height());
        QVERIFY2(frame->width() >= 300 && frame->height() >= 300, "the frame shrinks to nothing");
        QStringList faults;
        for (const int formId :
             {CSplitterView::kFormId, CMergeView::kFormId, COptionView::kFormId}) {
            QVERIFY(frame->SwitchView(formId));
            QApplication::processEvents();
            QWidget* form = frame->CurrentForm();
            const QScrollArea* scroller = frame->FormArea();
            const QSize view = scroller->viewport()->size();
            // The form is never squeezed below its own size: what does not show, scrolls.
            if (form->width() < form->sizeHint().width() ||
                form->height() < form->sizeHint().height()) {
                faults << QString("form %1 squeezed to %2x%3")
                              .arg(formId)
                              .arg(form->width())
                              .arg(form->height());
            }
            const int hiddenWide = form->width() - view.width();
            const int hiddenHigh = form->height() - view.height();
            if (scroller->horizontalScrollBar()->maximum() < hiddenWide ||
                scroller->verticalScrollBar()->maximum() < hiddenHigh) {
                faults << QString("form %1: %2 by %3 pixels cannot be scrolled to")
                              .arg(formId)
                              .arg(hiddenWide)
                              .arg(hiddenHigh);
            }
            // A screen that holds the whole frame needs no scrolling at all.
            if (ScreenHoldsAll(*frame) && (hiddenWide > 0 || hiddenHigh > 0)) {
                faults << QString("form %1 scrolls in a frame of its full size").arg(formId);
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    // One scale for the three forms: the same kind of control has the same size on each, and
    // the forms are as wide as each other, so that switching does not make the content jump.
    void theFormsShareOneScale() {
        auto frame = MakeFrame(dir);
        QVERIFY(frame);
        QMap<QString, int> browseWidths;
        QList<int> formWidths;
        for (const int formId :
             {CSplitterView::kFormId, CMergeView::kFormId, COptionView::kFormId}) {
            QVERIFY(frame->SwitchView(formId));
            QWidget* form = frame->CurrentForm();
            formWidths << form->sizeHint().width();
            for (const QWidget* control :
                 form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (const auto* button = qobject_cast<const CEtchedButton*>(control);
                    button != nullptr && button->Caption() == "Browse") {
                    browseWidths.insert(QString("%1/%2").arg(formId).arg(control->objectName()),
                                        control->width());
                }
            }
        }
        QVERIFY2(std::set<int>(browseWidths.begin(), browseWidths.end()).size() == 1,
                 qPrintable(QString("Browse widths differ: %1")
                                .arg(QStringList(browseWidths.keys()).join(' '))));
        qInfo() << "Browse" << browseWidths.first() << "form widths" << formWidths;
        // The templates differ by a dialog unit at most.
        const auto [least, most] = std::minmax_element(formWidths.begin(), formWidths.end());
        QVERIFY2(*most - *least <= *most / 100,
                 qPrintable(QString("form widths from %1 to %2").arg(*least).arg(*most)));
    }

    void theTreeShowsItsItemsAndTheWholeLogo() {
        auto frame = MakeFrame(dir);
        QVERIFY(frame);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        CExploreView* explore = frame->GetExploreView();
        QTreeWidget* tree = explore->m_treeCtrl;
        const QRect viewport = tree->viewport()->rect();
        for (const QTreeWidgetItem* item :
             {explore->m_hSplitItem, explore->m_hMergeItem, explore->m_hOptionItem}) {
            const QRect row = tree->visualItemRect(item);
            const int textRight = row.left() + tree->indentation() + 13 + 2 + 18 + 4 +
                                  tree->fontMetrics().horizontalAdvance(item->text(0));
            QVERIFY2(textRight <= viewport.right(), qPrintable(item->text(0)));
        }
        QVERIFY(explore->rect().contains(explore->m_logo->geometry()));
        // The picture itself: no letter touches its left or right edge.
        const QImage logo = explore->m_logo->pixmap().toImage();
        for (int y = 0; y < logo.height(); ++y) {
            for (const int x : {0, logo.width() - 1}) {
                QVERIFY2(logo.pixelColor(x, y) == QColor(Qt::white),
                         qPrintable(QString("logo pixel %1,%2").arg(x).arg(y)));
            }
        }
    }

    void theFrameFitsTheScreen() {
        auto frame = MakeFrame(dir);
        QVERIFY(frame);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(frame->width() <= area.width());
        QVERIFY(frame->height() <= area.height());
        // At least the template's share of a 1024 x 768 screen.
        if (area.size() == QSize(1024, 768)) {
            QVERIFY(frame->width() >= 512);
            QVERIFY(frame->height() >= 422);
        }
        if (ScreenHoldsAll(*frame)) {
            QVERIFY(frame->width() >= frame->ContentSize().width());
        }
    }

    void theAboutBoxShowsItsWholeTexts() {
        CAboutDlg about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QStringList faults;
        const QRect inside = about.rect();
        for (QWidget* control : about.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (control->isHidden()) {
                continue;
            }
            if (TextWidth(control) > control->width()) {
                faults << QString("%1 needs %2, has %3")
                              .arg(Name(control))
                              .arg(TextWidth(control))
                              .arg(control->width());
            }
            if (!inside.contains(control->geometry())) {
                faults << QString("%1 lies outside the box").arg(Name(control));
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }
};

QTEST_MAIN(FitTest)
#include "fit_test.moc"
