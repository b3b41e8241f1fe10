#pragma once

#include <QAction>
#include <QMainWindow>
#include <QMap>
#include <QScrollArea>
#include <QSplitter>
#include <QString>

#include "engine/option_set.h"
#include "ui/presenters/frame_presenter.h"

namespace kavendrum::ui {

class CExploreView;
class CMergeView;
class COptionView;
class CSplitterView;

// The program's window: tool bar, status bar, and a splitter with the navigation tree on the left
// and one of the three forms on the right. What the frame decides is its presenter's, which also
// holds the option set in force for the forms.
class CMainFrame : public QMainWindow, private FrameView {
    Q_OBJECT

  public:
    CMainFrame(QString optionFile, QString startArgument);
    ~CMainFrame() override;

    // The creation steps; false when the start must end here ("Init failed!" has been shown).
    bool Create();
    // Destroys the shown form and builds the one of the form id (131, 132 or 133) anew.
    bool SwitchView(int formId) { return m_presenter.SwitchView(formId); }
    // A file dropped on the drop window: into the field of the form shown, the frame restored.
    void OnDropFile(const QString& path);

    CExploreView* GetExploreView() const;
    // The form shown in the right pane, inside the area that scrolls it on a small screen.
    QWidget* CurrentForm() const;
    QScrollArea* FormArea() const { return m_pFormArea; }
    CSplitterView* GetSplitView() const;
    CMergeView* GetMergeView() const;
    COptionView* GetOptionView() const;
    QAction* Command(int id) const { return m_commands.value(id); }

    void OnShowOrHide();
    // Shows a hidden or minimised frame in its normal size and place, in front.
    void RestoreAndRaise();
    // The client size that shows the whole of every form and of the tree.
    QSize ContentSize() const;
    // The largest of the three forms' sizes.
    static QSize FormsSize();
    // Shrinks and moves the frame, its border included, into the screen's free area.
    void KeepOnScreen();
    // Moves the window where it covers neither the frame nor a dialog centred on it.
    void PlaceBeside(QWidget& window) const;

  signals:
    // The close sequence has run: the program is to end.
    void closed();
    // The frame has been shown and kept on the screen for the first time.
    void placed();

  private:
    FramePresenter m_presenter;

  public:
    QWidget* m_pDragWindow = nullptr;
    QSplitter* m_wndSplitter = nullptr;
    // The frame's members, kept by its presenter.
    OptionSet& m_options = m_presenter.m_options;
    int& m_nCurView = m_presenter.m_nCurView;
    int& m_bHasStartArg = m_presenter.m_bHasStartArg;
    std::string& m_strStartArg = m_presenter.m_strStartArg;

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
    void UpdateCommandUI() { m_presenter.UpdateCommandUI(); }
    void MarkView(int viewCommand);
    QWidget* NewForm(int formId);
    QWidget* NewFormOf(int formId);
    void InitialUpdate(QWidget* form);
    void FocusOtherPane();
    void HideToDropWindow();
    void WriteProfile();
    QString IdleText() const;
    // The size at which every control of every form is whole, within what the screen leaves
    // for the frame less its border.
    void ApplyMinimumSize(QSize border);
    // The heights of the menu, tool and status bars together.
    int BarsHeight() const;

    // FrameView
    bool ShowBox(const std::string& text, const std::string& caption, BoxStyle style) override;
    bool HasExploreView() const override { return GetExploreView() != nullptr; }
    bool CreateForm(int formId) override;
    void MarkTree(int view) override;
    void MarkViewMenu(int commandId) override { MarkView(commandId); }
    void EnableCommand(int commandId, bool enabled) override;
    void CheckCommand(int commandId, bool checked) override;
    bool IsShown() const override { return isVisible(); }
    void PutStartArgument(const std::string& argument) override;

    QScrollArea* m_pFormArea = nullptr;
    QMap<int, QAction*> m_commands;
    QList<int> m_initialSizes;
    bool m_bPlacedOnScreen = false;
    // The frame's place when it was hidden, given back when it is shown again.
    QRect m_rectBeforeHide;
};

}  // namespace kavendrum::ui
