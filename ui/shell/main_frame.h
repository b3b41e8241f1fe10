#pragma once

#include <QAction>
#include <QMainWindow>
#include <QMap>
#include <QSplitter>
#include <QString>

#include "options/option_set.h"

namespace kavendrum::ui {

class CExploreView;
class CMergeView;
class COptionView;
class CSplitterView;

// The command ids of menu 128, the tool bar and the drop window's menu.
enum CommandId {
    ID_SPLIT_FILE = 32771,
    ID_SAVE_OPTIONS = 32773,
    ID_HELP = 32775,
    ID_VIEW_SPLIT = 32776,
    ID_VIEW_MERGE = 32777,
    ID_VIEW_OPTION = 32778,
    ID_MERGE_FILE = 32780,
    ID_RESET_OPTIONS = 32781,
    ID_SHOW_OR_HIDE = 32788,
    ID_DRAG_EXIT = 32789,
    ID_APP_EXIT = 57665,
    ID_APP_ABOUT = 57664,
};

// The program's window: tool bar, status bar, and a splitter with the navigation tree on the left
// and one of the three forms on the right. It owns the option set in force.
class CMainFrame : public QMainWindow {
    Q_OBJECT

  public:
    CMainFrame(QString optionFile, QString startArgument);
    ~CMainFrame() override;

    // The creation steps; false when the start must end here ("Init failed!" has been shown).
    bool Create();
    // Destroys the shown form and builds the one of the form id (131, 132 or 133) anew.
    bool SwitchView(int formId);

    CExploreView* GetExploreView() const;
    CSplitterView* GetSplitView() const;
    CMergeView* GetMergeView() const;
    COptionView* GetOptionView() const;
    QAction* Command(int id) const { return m_commands.value(id); }

    void OnShowOrHide();
    // Shows a hidden or minimised frame in its normal size and place, in front.
    void RestoreAndRaise();
    // The client size that shows the whole of every form and of the tree.
    QSize ContentSize() const;
    // Shrinks and moves the frame, its border included, into the screen's free area.
    void KeepOnScreen();

  signals:
    // The close sequence has run: the program is to end.
    void closed();

  public:
    QWidget* m_pDragWindow = nullptr;
    QSplitter* m_wndSplitter = nullptr;
    OptionSet m_options;
    int m_nCurView = 1;
    int m_bHasStartArg = 0;
    QString m_strStartArg;
    QString m_strOptionFile;

  protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateCommands();
    void CreateMenus();
    void CreateToolBar();
    void ConnectCommands();
    QAction* AddCommand(int id, const QString& text, const QString& prompt = QString());
    void SetInitialSize();
    void UpdateCommandUI();
    void MarkView(int viewCommand);
    void FocusOtherPane();
    void HideToDropWindow();
    void WriteProfile();
    QString IdleText() const;
    QWidget* CurrentForm() const;

    QMap<int, QAction*> m_commands;
    QList<int> m_initialSizes;
    bool m_bPlacedOnScreen = false;
};

}  // namespace kavendrum::ui
