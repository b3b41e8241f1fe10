#include "ui/shell/main_frame.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "engine/folders.h"
#include "ui/controls/progress_bar.h"
#include "ui/forms/dialog_units.h"
#include "ui/forms/form_host.h"
#include "ui/forms/merge_view.h"
#include "ui/forms/modal_dialogs.h"
#include "ui/forms/option_view.h"
#include "ui/forms/settings_profile.h"
#include "ui/forms/splitter_view.h"
#include "ui/shell/about_dlg.h"
#include "ui/shell/explore_view.h"
#include "ui/shell/help_file.h"
#include "ui/shell/pictures.h"

namespace kavendrum::ui {

namespace {

constexpr const char* kIdleText = FramePresenter::kIdleText;
constexpr const char* kPromptProperty = "prompt";
// How long the window manager is given to frame a new window.
constexpr int kFrameSettleMs = 300;

// The part of a command's prompt after its line break; empty for a command without a prompt.
QString ToolTipOf(const QAction& action) {
    const QString prompt = action.property(kPromptProperty).toString();
    const qsizetype lineBreak = prompt.indexOf('\n');
    return lineBreak < 0 ? QString() : prompt.mid(lineBreak + 1);
}

}  // namespace

CMainFrame::CMainFrame(QString optionFile, QString startArgument)
    : m_presenter(*this, optionFile.toStdString(), startArgument.toStdString()) {}

// The forms go before the status bar that holds their progress bars.
CMainFrame::~CMainFrame() {
    delete CurrentForm();
}

bool CMainFrame::Create() {
    m_wndSplitter = new QSplitter(Qt::Horizontal, this);
    m_wndSplitter->setChildrenCollapsible(false);
    m_wndSplitter->addWidget(new CExploreView(m_wndSplitter));
    // The form keeps its size; where the frame cannot give it that, it scrolls instead of being
    // cut.
    m_pFormArea = new QScrollArea(m_wndSplitter);
    m_pFormArea->setWidgetResizable(true);
    m_pFormArea->setFrameShape(QFrame::NoFrame);
    m_pFormArea->setWidget(NewForm(kSplitFormId));
    m_wndSplitter->addWidget(m_pFormArea);
    m_wndSplitter->setStretchFactor(0, 0);
    m_wndSplitter->setStretchFactor(1, 1);
    setCentralWidget(m_wndSplitter);

    CreateCommands();
    CreateMenus();
    CreateToolBar();
    statusBar()->showMessage(kIdleText);
    ConnectCommands();
    // The first size depends on the bars' heights, so it is chosen once they exist.
    SetInitialSize();
    const int clientWidth = width();
    m_initialSizes = {clientWidth / 4, clientWidth - clientWidth / 4};
    m_wndSplitter->setSizes(m_initialSizes);

    if (!m_presenter.LoadOptions()) {
        return false;
    }
    setWindowTitle(FramePresenter::kTitle);
    setWindowIcon(PictureIcon("icon_128", QSize(16, 16)));
    m_presenter.ShowFirstForm();

    // The initial update every view gets once the frame exists.
    GetExploreView()->OnInitialUpdate();
    if (CSplitterView* split = GetSplitView()) {
        split->OnInitialUpdate();
    } else if (CMergeView* merge = GetMergeView()) {
        merge->OnInitialUpdate();
    }
    return true;
}

void CMainFrame::SetInitialSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen != nullptr ? screen->geometry().size() : QSize(1024, 768);
    // The table's sizes were chosen for the template's font, and grow with the font in use as
    // the forms do.
    const DialogUnits units(font());
    const QSize content = ContentSize();
    std::optional<PixelSize> available;
    if (screen != nullptr) {
        const QSize free = screen->availableGeometry().size();
        available = PixelSize{free.width(), free.height()};
    }
    ApplyMinimumSize(QSize(0, 0));
    const PixelSize size =
        FirstFrameSize({screenSize.width(), screenSize.height()}, units.RatioX(), units.RatioY(),
                       {content.width(), content.height()}, available);
    resize(size.width, size.height);
    // In the middle of the screen, so that the drop window finds room beside it.
    if (screen != nullptr) {
        const QRect area = screen->availableGeometry();
        move(area.left() + std::max(0, (area.width() - size.width) / 2),
             area.top() + std::max(0, (area.height() - size.height) / 2));
    }
}

void CMainFrame::ApplyMinimumSize(QSize border) {
    const QSize form = FormsSize();
    const int tree = GetExploreView()->NeededWidth();
    const int handle = m_wndSplitter->handleWidth();
    QSize least(tree + handle + form.width(), BarsHeight() + form.height());
    if (const QScreen* screen = this->screen()) {
        least = least.boundedTo(screen->availableGeometry().size() - border);
    }
    setMinimumSize(least);
    // As the frame shrinks, the tree gives way first, down to its items; the form's pane keeps
    // the form whole for as long as the frame can.
    GetExploreView()->setMinimumWidth(tree);
    m_pFormArea->setMinimumWidth(
        std::max(0, std::min(form.width(), least.width() - tree - handle)));
}

QSize CMainFrame::FormsSize() {
    // Every form at once, each as a stand-in that is never shown.
    QSize form = CSplitterView().sizeHint();
    form = form.expandedTo(CMergeView().sizeHint());
    return form.expandedTo(COptionView().sizeHint());
}

int CMainFrame::BarsHeight() const {
    int height = statusBar()->sizeHint().height();
    if (menuBar() != nullptr) {
        height += menuBar()->sizeHint().height();
    }
    for (const QToolBar* bar : findChildren<QToolBar*>()) {
        height += bar->sizeHint().height();
    }
    return height;
}

QSize CMainFrame::ContentSize() const {
    const QSize form = FormsSize();
    // The tree takes a quarter of the width, the form the rest.
    const int width =
        FrameWidthFor(GetExploreView()->NeededWidth(), form.width(), m_wndSplitter->handleWidth());
    return QSize(width, form.height() + BarsHeight());
}

// Once the window system has put its frame around the window, the whole of it must lie on the
// screen: a frame that would run off is made smaller and moved in.
void CMainFrame::KeepOnScreen() {
    const QScreen* screen = this->screen();
    if (screen == nullptr || !isVisible() || isMinimized()) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const QRect outer = frameGeometry();
    const QSize border = outer.size() - size();
    ApplyMinimumSize(border);
    const QSize fitted = size().boundedTo(area.size() - border);
    if (fitted != size()) {
        resize(fitted);
    }
    const QRect placed(outer.topLeft(), fitted + border);
    const int left =
        std::max(area.left(), std::min(placed.left(), area.right() + 1 - placed.width()));
    const int top =
        std::max(area.top(), std::min(placed.top(), area.bottom() + 1 - placed.height()));
    if (left != outer.left() || top != outer.top()) {
        move(left, top);
    }
}

void CMainFrame::PlaceBeside(QWidget& window) const {
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const QRect frame = frameGeometry();
    const QRect outer = window.frameGeometry();
    const ProfilePoint at =
        FirstDropWindowPlace({area.left(), area.top(), area.width(), area.height()},
                             {frame.left(), frame.top(), frame.width(), frame.height()},
                             {outer.width(), outer.height()}, statusBar()->height());
    window.move(at.left, at.top);
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_bPlacedOnScreen) {
        m_bPlacedOnScreen = true;
        // The frame's border is known only after the window manager has added it.
        QTimer::singleShot(kFrameSettleMs, this, [this] {
            KeepOnScreen();
            emit placed();
        });
    }
}

QAction* CMainFrame::AddCommand(int id, const QString& text, const QString& prompt) {
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setObjectName(QString::number(id));
    action->setProperty(kPromptProperty, prompt);
    action->setStatusTip(prompt.left(prompt.indexOf('\n')));
    action->setToolTip(ToolTipOf(*action));
    m_commands.insert(id, action);
    return action;
}

void CMainFrame::CreateCommands() {
    AddCommand(ID_SPLIT_FILE, "&Split File", "Start to split file\nSplit")
        ->setIcon(PictureIcon("toolbar_split"));
    AddCommand(ID_MERGE_FILE, "&Merge File", "Start to merge file\nMerge File")
        ->setIcon(PictureIcon("toolbar_merge"));
    AddCommand(ID_APP_EXIT, "E&xit", "Quit the application; prompts to save documents\nExit");
    AddCommand(ID_VIEW_SPLIT, "Split View");
    AddCommand(ID_VIEW_MERGE, "Merge View");
    AddCommand(ID_VIEW_OPTION, "Option View");
    AddCommand(ID_SAVE_OPTIONS, "&Save", "Save option value\nSave")
        ->setIcon(PictureIcon("toolbar_save"));
    AddCommand(ID_RESET_OPTIONS, "&Reset", "Reset option\nReset")
        ->setIcon(PictureIcon("toolbar_reset"));
    AddCommand(ID_HELP, "&Help")->setIcon(PictureIcon("toolbar_help"));
    AddCommand(ID_APP_ABOUT, "&About Kavendrum...", "Read the help topic\nHelp");
    AddCommand(ID_SHOW_OR_HIDE, "Show Main Window")->setCheckable(true);
    AddCommand(ID_DRAG_EXIT, "&Exit");

    auto* views = new QActionGroup(this);
    for (const int id : {ID_VIEW_SPLIT, ID_VIEW_MERGE, ID_VIEW_OPTION}) {
        Command(id)->setCheckable(true);
        views->addAction(Command(id));
    }
}

void CMainFrame::CreateMenus() {
    menuBar()->setObjectName("128");
    QMenu* file = menuBar()->addMenu("&File");
    file->addAction(Command(ID_SPLIT_FILE));
    file->addAction(Command(ID_MERGE_FILE));
    file->addSeparator();
    file->addAction(Command(ID_APP_EXIT));
    QMenu* view = menuBar()->addMenu("&View");
    for (const int id : {ID_VIEW_SPLIT, ID_VIEW_MERGE, ID_VIEW_OPTION}) {
        view->addAction(Command(id));
    }
    QMenu* option = menuBar()->addMenu("&Option");
    option->addAction(Command(ID_SAVE_OPTIONS));
    option->addAction(Command(ID_RESET_OPTIONS));
    QMenu* about = menuBar()->addMenu("&About");
    about->addAction(Command(ID_HELP));
    about->addAction(Command(ID_APP_ABOUT));
}

void CMainFrame::CreateToolBar() {
    QToolBar* toolBar = addToolBar("Toolbar");
    toolBar->setObjectName("128");
    toolBar->setIconSize(QSize(32, 32));
    toolBar->setMovable(true);
    toolBar->setFloatable(true);
    toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    for (const int id :
         {ID_SPLIT_FILE, ID_MERGE_FILE, ID_SAVE_OPTIONS, ID_RESET_OPTIONS, ID_HELP}) {
        toolBar->addAction(Command(id));
        // A command without a prompt shows no tool tip, not even its menu text.
        if (QWidget* button = toolBar->widgetForAction(Command(id))) {
            button->installEventFilter(this);
        }
    }
}

void CMainFrame::ConnectCommands() {
    connect(Command(ID_SPLIT_FILE), &QAction::triggered, this, [this] {
        if (CSplitterView* split = GetSplitView()) {
            split->OnStart();
        }
    });
    connect(Command(ID_MERGE_FILE), &QAction::triggered, this, [this] {
        if (CMergeView* merge = GetMergeView()) {
            merge->OnStart();
        }
    });
    connect(Command(ID_SAVE_OPTIONS), &QAction::triggered, this, [this] {
        if (COptionView* options = GetOptionView()) {
            options->OnSave();
        }
    });
    connect(Command(ID_RESET_OPTIONS), &QAction::triggered, this, [this] {
        if (COptionView* options = GetOptionView()) {
            options->OnReset();
        }
    });
    connect(Command(ID_VIEW_SPLIT), &QAction::triggered, this,
            [this] { SwitchView(kSplitFormId); });
    connect(Command(ID_VIEW_MERGE), &QAction::triggered, this,
            [this] { SwitchView(kMergeFormId); });
    connect(Command(ID_VIEW_OPTION), &QAction::triggered, this,
            [this] { SwitchView(kOptionFormId); });
    connect(Command(ID_HELP), &QAction::triggered, this,
            [] { OpenHelp(QString::fromStdString(GetProgramFolder())); });
    connect(Command(ID_APP_ABOUT), &QAction::triggered, this, [this] {
        CAboutDlg about(this);
        ShowDialog(about);
    });
    connect(Command(ID_APP_EXIT), &QAction::triggered, this, &QWidget::close);
    connect(Command(ID_DRAG_EXIT), &QAction::triggered, this, &QWidget::close);
    connect(Command(ID_SHOW_OR_HIDE), &QAction::triggered, this, &CMainFrame::OnShowOrHide);

    auto* nextPane = new QShortcut(QKeySequence(Qt::Key_F6), this);
    auto* previousPane = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), this);
    connect(nextPane, &QShortcut::activated, this, &CMainFrame::FocusOtherPane);
    connect(previousPane, &QShortcut::activated, this, &CMainFrame::FocusOtherPane);
}

QWidget* CMainFrame::CurrentForm() const {
    return m_pFormArea != nullptr ? m_pFormArea->widget() : nullptr;
}

CExploreView* CMainFrame::GetExploreView() const {
    return m_wndSplitter != nullptr ? qobject_cast<CExploreView*>(m_wndSplitter->widget(0))
                                    : nullptr;
}

CSplitterView* CMainFrame::GetSplitView() const {
    return qobject_cast<CSplitterView*>(CurrentForm());
}

CMergeView* CMainFrame::GetMergeView() const {
    return qobject_cast<CMergeView*>(CurrentForm());
}

COptionView* CMainFrame::GetOptionView() const {
    return qobject_cast<COptionView*>(CurrentForm());
}

bool CMainFrame::CreateForm(int formId) {
    // The tree's width survives the switch; before the frame is first laid out it is the quarter
    // it was given.
    QList<int> sizes = m_wndSplitter->sizes();
    if (sizes.size() != 2 || sizes[0] <= 0) {
        sizes = m_initialSizes;
    }
    delete m_pFormArea->takeWidget();
    QWidget* form = NewForm(formId);
    m_pFormArea->setWidget(form);
    m_wndSplitter->setSizes(sizes);
    InitialUpdate(form);
    form->show();
    return true;
}

// A new form of the form id, prepared for its first initial update; the forms reach the options
// through the frame's presenter.
QWidget* CMainFrame::NewForm(int formId) {
    QWidget* form = NewFormOf(formId);
    // Smaller than this, the form area scrolls.
    form->setMinimumSize(form->sizeHint());
    return form;
}

QWidget* CMainFrame::NewFormOf(int formId) {
    if (formId == kSplitFormId) {
        auto* split = new CSplitterView(m_wndSplitter, &m_presenter);
        split->m_bFirstInit = true;
        return split;
    }
    if (formId == kMergeFormId) {
        auto* merge = new CMergeView(m_wndSplitter, &m_presenter);
        merge->SetImageList({PictureIcon("icon_145", QSize(15, 15)),
                             PictureIcon("icon_148", QSize(15, 15)),
                             PictureIcon("icon_147", QSize(15, 15))});
        merge->m_bFirstInit = true;
        return merge;
    }
    auto* options = new COptionView(m_wndSplitter, &m_presenter);
    options->m_bLoad = true;
    return options;
}

void CMainFrame::InitialUpdate(QWidget* form) {
    if (auto* split = qobject_cast<CSplitterView*>(form)) {
        split->OnInitialUpdate();
    } else if (auto* merge = qobject_cast<CMergeView*>(form)) {
        merge->OnInitialUpdate();
    } else if (auto* options = qobject_cast<COptionView*>(form)) {
        options->OnInitialUpdate();
    }
}

void CMainFrame::MarkTree(int view) {
    if (CExploreView* explore = GetExploreView()) {
        explore->MarkCurrentView(view);
    }
}

void CMainFrame::EnableCommand(int commandId, bool enabled) {
    if (QAction* action = Command(commandId)) {
        action->setEnabled(enabled);
    }
}

void CMainFrame::CheckCommand(int commandId, bool checked) {
    if (QAction* action = Command(commandId)) {
        action->setChecked(checked);
    }
}

void CMainFrame::PutStartArgument(const std::string& argument) {
    if (CMergeView* merge = GetMergeView()) {
        merge->m_editHeadFileName->setText(QString::fromStdString(argument));
    }
}

bool CMainFrame::ShowBox(const std::string& text, const std::string& caption, BoxStyle style) {
    return ui::ShowBox(this, QString::fromStdString(text), QString::fromStdString(caption), style);
}

void CMainFrame::OnDropFile(const QString& path) {
    switch (m_presenter.RouteDrop()) {
        case DropField::SplitSource:
            if (CSplitterView* split = GetSplitView()) {
                split->m_editSource->setText(path);
                break;
            }
            return;
        case DropField::MergeHeadFile:
            if (CMergeView* merge = GetMergeView()) {
                merge->m_editHeadFileName->setText(path);
                break;
            }
            return;
        case DropField::None:
            return;
    }
    RestoreAndRaise();
}

void CMainFrame::MarkView(int viewCommand) {
    if (QAction* action = Command(viewCommand)) {
        action->setChecked(true);
    }
}

void CMainFrame::FocusOtherPane() {
    CExploreView* explore = GetExploreView();
    QWidget* form = CurrentForm();
    if (explore == nullptr || form == nullptr) {
        return;
    }
    const bool inTree = explore->isAncestorOf(QApplication::focusWidget());
    if (inTree) {
        // The form's first control in tab order.
        QWidget* first = form->nextInFocusChain();
        while (first != form && (first->focusPolicy() & Qt::TabFocus) == 0) {
            first = first->nextInFocusChain();
        }
        first->setFocus(Qt::OtherFocusReason);
    } else {
        explore->m_treeCtrl->setFocus();
    }
}

void CMainFrame::OnShowOrHide() {
    if (isVisible()) {
        HideToDropWindow();
    } else {
        RestoreAndRaise();
    }
    Command(ID_SHOW_OR_HIDE)->setChecked(isVisible());
}

void CMainFrame::RestoreAndRaise() {
    // A hidden frame keeps the minimised state it was hidden with. Shown with it, a window
    // manager maps it iconified, and the frame, seeing itself minimised, hides again.
    const bool wasHidden = isHidden();
    if (wasHidden) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        // A window manager places a window mapped anew as it likes, unless the window names its
        // place; the frame comes back in its normal size and place.
        if (m_rectBeforeHide.isValid()) {
            setGeometry(m_rectBeforeHide);
        }
    }
    show();
    showNormal();
    if (wasHidden && m_rectBeforeHide.isValid()) {
        // Some window managers still map it elsewhere first: it is put back once mapped.
        const QRect place = m_rectBeforeHide;
        QTimer::singleShot(kFrameSettleMs / 3, this, [this, place] {
            if (isVisible() && !isMinimized() && geometry() != place) {
                setGeometry(place);
            }
        });
    }
    raise();
    activateWindow();
    Command(ID_SHOW_OR_HIDE)->setChecked(true);
}

// Hidden, the frame is off the screen and off the task bar. It is not minimised first: a window
// manager answers the minimise request after the frame has gone, and keeps the frame iconified
// when it is shown again.
void CMainFrame::HideToDropWindow() {
    m_rectBeforeHide = normalGeometry();
    hide();
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Minimising takes the frame off the task bar; the drop window brings it back. Without one
    // nothing could, so the frame then stays an ordinary minimised window.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && isVisible() &&
        m_pDragWindow != nullptr) {
        QTimer::singleShot(0, this, [this] {
            if (isMinimized()) {
                m_rectBeforeHide = normalGeometry();
                hide();
                Command(ID_SHOW_OR_HIDE)->setChecked(false);
            }
        });
    }
}

QString CMainFrame::IdleText() const {
    for (const CProgressBar* bar : statusBar()->findChildren<CProgressBar*>()) {
        if (bar->IsPlaced() && !bar->isHidden()) {
            return bar->Label();
        }
    }
    return kIdleText;
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        statusBar()->showMessage(tip.isEmpty() ? IdleText() : tip);
        return true;
    }
    return QMainWindow::event(event);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        if (auto* button = qobject_cast<QToolButton*>(watched)) {
            // QAction falls back to its text for an empty tool tip, so the prompt decides.
            const QAction* action = button->defaultAction();
            if (action != nullptr && ToolTipOf(*action).isEmpty()) {
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // A split or merge is running on this thread; the window waits for it.
    if (COperationScope::AnyRunning()) {
        event->ignore();
        return;
    }
    WriteProfile();
    event->accept();
    emit closed();
}

void CMainFrame::WriteProfile() {
    std::optional<DropWindowPlace> place;
    if (m_pDragWindow != nullptr) {
        const QRect placement = m_pDragWindow->normalGeometry().isValid()
                                    ? m_pDragWindow->normalGeometry()
                                    : m_pDragWindow->frameGeometry();
        place = DropWindowPlace{m_pDragWindow->isVisible(), placement.top(), placement.left()};
    }
    CSettingsProfile profile;
    WriteDropWindowPlace(profile, place);
}

}  // namespace kavendrum::ui
