#pragma once

#include <QLabel>
#include <QList>
#include <QPixmap>
#include <QTreeWidget>
#include <QWidget>

namespace kavendrum::ui {

class CMainFrame;

// The navigation tree in the left pane: "Split File", "Merge File" and "Option", the item of the
// form shown marked with a red arrow, and the logo in the bottom-right corner.
class CExploreView : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kStateImageRole = Qt::UserRole + 1;  // 1 the arrow, 2 blank
    static constexpr int kImageRole = Qt::UserRole;           // 0 split, 1 merge, 2 option

    explicit CExploreView(QWidget* parent = nullptr);

    void OnInitialUpdate();
    // Marks and selects the item of a form: a selection the program makes, which switches
    // nothing.
    void MarkCurrentView(int nCurView);
    // The pane width that shows the whole of every item and the logo.
    int NeededWidth() const;

    QLabel* m_logo;
    QTreeWidget* m_treeCtrl;
    QList<QPixmap> m_stateImageList;
    QTreeWidgetItem* m_hMergeItem = nullptr;
    QTreeWidgetItem* m_hSplitItem = nullptr;
    QTreeWidgetItem* m_hOptionItem = nullptr;
    bool m_bFirstInit = true;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void OnSelChanged(QTreeWidgetItem* item);
    CMainFrame* MainFrame() const;

    bool m_bProgramSelecting = false;
};

}  // namespace kavendrum::ui
