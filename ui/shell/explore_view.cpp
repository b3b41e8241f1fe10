#include "ui/shell/explore_view.h"

#include <QPainter>
#include <QResizeEvent>
#include <QStyledItemDelegate>

#include "ui/controls/etched_palette.h"
#include "ui/shell/main_frame.h"
#include "ui/shell/pictures.h"

namespace kavendrum::ui {

namespace {

constexpr int kStateImageWidth = 13;
constexpr int kLogoWidth = 92;

// Draws an item's state image to the left of its icon, as the platform's tree does.
class StateImageDelegate : public QStyledItemDelegate {
  public:
    StateImageDelegate(const QList<QPixmap>& images, QObject* parent)
        : QStyledItemDelegate(parent), m_images(images) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const int state = index.data(CExploreView::kStateImageRole).toInt();
        if (state > 0 && state < m_images.size()) {
            const QPixmap& image = m_images[state];
            painter->drawPixmap(option.rect.left(),
                                option.rect.top() + (option.rect.height() - image.height()) / 2,
                                image);
        }
        QStyleOptionViewItem shifted = option;
        shifted.rect.setLeft(option.rect.left() + kStateImageWidth + 2);
        QStyledItemDelegate::paint(painter, shifted, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QSize size = QStyledItemDelegate::sizeHint(option, index);
        return QSize(size.width() + kStateImageWidth + 2, std::max(size.height(), 20));
    }

  private:
    const QList<QPixmap>& m_images;
};

}  // namespace

CExploreView::CExploreView(QWidget* parent)
    : QWidget(parent), m_logo(new QLabel(this)), m_treeCtrl(new QTreeWidget(this)) {
    // The logo and the state images are drawn on white, as the tree's own background: a dark
    // scheme would turn them into white boxes on black.
    UseFacePalette(this);
    m_treeCtrl->setObjectName("1043");
    m_treeCtrl->setHeaderHidden(true);
    m_treeCtrl->setRootIsDecorated(false);
    m_treeCtrl->setItemsExpandable(false);
    m_treeCtrl->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_treeCtrl->setIconSize(QSize(18, 18));
    m_logo->setObjectName("1053");
    m_logo->setPixmap(Picture("logo_151", QSize(91, 45)));
    m_logo->setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(m_treeCtrl, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnSelChanged(current); });
}

CMainFrame* CExploreView::MainFrame() const {
    return qobject_cast<CMainFrame*>(window());
}

void CExploreView::OnInitialUpdate() {
    if (m_bFirstInit) {
        const QPixmap strip = Picture("state_144", QSize(41, 15));
        for (int image = 0; image < 3; ++image) {
            m_stateImageList.append(strip.copy(image * kStateImageWidth, 0, kStateImageWidth, 15));
        }
        m_treeCtrl->setItemDelegate(new StateImageDelegate(m_stateImageList, m_treeCtrl));
        const auto insert = [this](const char* text, int image, const char* icon) {
            auto* item = new QTreeWidgetItem(m_treeCtrl, {text});
            item->setIcon(0, PictureIcon(icon, QSize(18, 18)));
            item->setData(0, kImageRole, image);
            return item;
        };
        m_bProgramSelecting = true;
        m_hSplitItem = insert("Split File", 0, "icon_142");
        m_hMergeItem = insert("Merge File", 1, "icon_141");
        m_hOptionItem = insert("Option", 2, "icon_134");
        m_bProgramSelecting = false;
        const CMainFrame* frame = MainFrame();
        MarkCurrentView(frame != nullptr ? frame->m_nCurView : 1);
        m_treeCtrl->setFocus();
    }
    m_bFirstInit = false;
}

void CExploreView::MarkCurrentView(int nCurView) {
    if (m_hSplitItem == nullptr) {
        return;
    }
    QTreeWidgetItem* items[] = {m_hSplitItem, m_hMergeItem, m_hOptionItem};
    for (int view = 1; view <= 3; ++view) {
        items[view - 1]->setData(0, kStateImageRole, view == nCurView ? 1 : 2);
    }
    if (nCurView >= 1 && nCurView <= 3) {
        m_bProgramSelecting = true;
        m_treeCtrl->setCurrentItem(items[nCurView - 1]);
        m_bProgramSelecting = false;
    }
}

// Only a choice of the user's switches forms; selections the program makes are ignored, so that
// they cannot start another switch.
void CExploreView::OnSelChanged(QTreeWidgetItem* item) {
    if (m_bProgramSelecting) {
        return;
    }
    CMainFrame* frame = MainFrame();
    if (frame == nullptr || item == nullptr) {
        return;
    }
    // The form is chosen by the item's image, not by its text.
    const int formId = FormIdOfTreeImage(item->data(0, kImageRole).toInt());
    if (formId != 0) {
        frame->SwitchView(formId);
    }
}

int CExploreView::NeededWidth() const {
    // An item: its state image, its icon and its text, with the view's margins and frame.
    const QFontMetrics metrics(m_treeCtrl->font());
    int text = 0;
    for (const char* item : {"Split File", "Merge File", "Option"}) {
        text = std::max(text, metrics.horizontalAdvance(item));
    }
    const int frame = 2 * m_treeCtrl->frameWidth();
    const int item = kStateImageWidth + 2 + 18 + text + 3 * metrics.horizontalAdvance(' ');
    return std::max(item, kLogoWidth) + frame + m_treeCtrl->indentation();
}

void CExploreView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QRect client = rect();
    m_treeCtrl->setGeometry(client);
    m_logo->setGeometry(client.right() + 1 - kLogoWidth, client.bottom() + 1 - 70, kLogoWidth, 46);
    m_logo->raise();
}

}  // namespace kavendrum::ui
