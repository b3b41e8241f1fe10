#include "win32/main_frame.h"

#include <shellapi.h>
#include <windowsx.h>

#include "engine/folders.h"
#include "ui/presenters/help_path.h"
#include "win32/about_dlg.h"
#include "win32/merge_form.h"
#include "win32/option_form.h"
#include "win32/resource.h"
#include "win32/split_form.h"
#include "win32/window_dump.h"

namespace kavendrum::win32 {

namespace {

constexpr int kSplitterWidth = 4;
constexpr UINT_PTR kDumpTimer = 1;
constexpr UINT kDumpDelayMs = 2000;
constexpr int kToolButtons[] = {ID_SPLIT_FILE, ID_MERGE_FILE, ID_SAVE_OPTIONS, ID_RESET_OPTIONS,
                                ID_HELP_TOPICS};

RECT WindowRectIn(HWND hwnd, HWND parent) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int HeightOf(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect.bottom - rect.top;
}

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// HTML Help's viewer, loaded when help is first asked for.
using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
constexpr UINT kDisplayTopic = 0;

}  // namespace

CMainFrame::CMainFrame(std::string optionFile, std::string startArgument, std::string dumpPath)
    : m_presenter(*this, std::move(optionFile), std::move(startArgument)),
      m_strDumpPath(std::move(dumpPath)),
      m_explore([this](int formId) { m_presenter.SwitchView(formId); }) {}

CMainFrame::~CMainFrame() {
    m_pForm.reset();
    Destroy();
    if (m_hToolImages != nullptr) {
        ImageList_Destroy(m_hToolImages);
    }
    if (m_hPieceImages != nullptr) {
        ImageList_Destroy(m_hPieceImages);
    }
}

bool CMainFrame::Create() {
    if (!RegisterWindowClass(kClassName, LoadCursor(nullptr, IDC_ARROW),
                             GetSysColorBrush(COLOR_BTNFACE))) {
        return false;
    }
    m_nDumpMessage = RegisterWindowMessageA(kDumpMessageName);
    m_hAccel = LoadAcceleratorsA(ProgramInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    HMENU menu = LoadMenuA(ProgramInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    CreateWindowExA(0, kClassName, ui::FramePresenter::kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu, ProgramInstance(),
                    this);
    if (Handle() == nullptr || !CreateBars() || !CreatePanes()) {
        return false;
    }
    SetInitialSize();
    if (!m_presenter.LoadOptions()) {
        // Ends here and now, leaving the profile as it was.
        ExitProcess(0);
    }
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadImageA(
                     ProgramInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 16, 16, 0)));
    m_presenter.ShowFirstForm();
    m_explore.OnInitialUpdate(m_presenter.m_nCurView);
    if (m_pForm) {
        m_pForm->OnInitialUpdate();
        if (auto* split = dynamic_cast<CSplitterView*>(m_pForm.get());
            split && split->WantsToEnd()) {
            return false;
        }
        m_pForm->FitTexts();
    }
    Layout();
    return true;
}

bool CMainFrame::CreatePanes() {
    if (!m_explore.Create(Handle())) {
        return false;
    }
    ShowWindow(m_explore.Handle(), SW_SHOW);
    auto split = std::make_unique<CSplitterView>(&m_presenter, m_profile, m_hStatusBar);
    if (!split->Create(IDD_SPLIT, Handle())) {
        return false;
    }
    m_pForm = std::move(split);
    ShowWindow(m_pForm->Handle(), SW_SHOW);
    return true;
}

bool CMainFrame::CreateBars() {
    m_hToolBar = CreateWindowExA(0, TOOLBARCLASSNAMEA, "",
                                 WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP,
                                 0, 0, 0, 0, Handle(), nullptr, ProgramInstance(), nullptr);
    m_hStatusBar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                   Handle(), nullptr, ProgramInstance(), nullptr);
    if (m_hToolBar == nullptr || m_hStatusBar == nullptr) {
        return false;
    }
    SendMessageA(m_hToolBar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    m_hToolImages = ImageList_LoadImageA(ProgramInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME), 32, 0,
                                         RGB(255, 0, 255), IMAGE_BITMAP, LR_CREATEDIBSECTION);
    SendMessageA(m_hToolBar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_hToolImages));
    TBBUTTON buttons[5] = {};
    for (int i = 0; i < 5; ++i) {
        buttons[i].iBitmap = i;
        buttons[i].idCommand = kToolButtons[i];
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = BTNS_BUTTON;
    }
    SendMessageA(m_hToolBar, TB_ADDBUTTONSA, 5, reinterpret_cast<LPARAM>(buttons));
    SendMessageA(m_hToolBar, TB_AUTOSIZE, 0, 0);
    int parts[] = {-1};
    SendMessageA(m_hStatusBar, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));
    SendMessageA(m_hStatusBar, SB_SETTEXTA, 0,
                 reinterpret_cast<LPARAM>(ui::FramePresenter::kIdleText));
    return true;
}

// The table's share of the screen, never less than the tree, the largest form and the bars
// need, never more than the work area.
void CMainFrame::SetInitialSize() {
    const RECT form = WindowRectIn(m_pForm->Handle(), Handle());
    const int formWidth = form.right - form.left;
    const int formHeight = form.bottom - form.top;
    RECT content{0, 0, ui::FrameWidthFor(0, formWidth, kSplitterWidth),
                 formHeight + HeightOf(m_hToolBar) + HeightOf(m_hStatusBar)};
    AdjustWindowRectEx(&content, WS_OVERLAPPEDWINDOW, TRUE, 0);
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const ui::PixelSize size =
        ui::FirstFrameSize({GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, 1.0, 1.0,
                           {content.right - content.left, content.bottom - content.top},
                           ui::PixelSize{work.right - work.left, work.bottom - work.top});
    SetWindowPos(Handle(), nullptr, 0, 0, size.width, size.height, SWP_NOMOVE | SWP_NOZORDER);
    RECT client{};
    GetClientRect(Handle(), &client);
    m_nTreeWidth = client.right / 4;
}

void CMainFrame::Layout() {
    if (m_hToolBar == nullptr || m_hStatusBar == nullptr) {
        return;
    }
    SendMessageA(m_hToolBar, TB_AUTOSIZE, 0, 0);
    SendMessageA(m_hStatusBar, WM_SIZE, 0, 0);
    RECT client{};
    GetClientRect(Handle(), &client);
    const int top = HeightOf(m_hToolBar);
    const int height = client.bottom - top - HeightOf(m_hStatusBar);
    m_explore.Layout(m_nTreeWidth, height > 0 ? height : 0);
    SetWindowPos(m_explore.Handle(), nullptr, 0, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    if (m_pForm) {
        const int left = m_nTreeWidth + kSplitterWidth;
        MoveWindow(m_pForm->Handle(), left, top, client.right - left, height > 0 ? height : 0,
                   TRUE);
    }
    for (HWND bar = FindWindowExA(m_hStatusBar, nullptr, CProgressBar::kClassName, nullptr);
         bar != nullptr;
         bar = FindWindowExA(m_hStatusBar, bar, CProgressBar::kClassName, nullptr)) {
        SendMessageA(bar, WM_USER, 0, 0);
    }
}

void CMainFrame::LinkDragWindow(CDragWindow* dragWindow) {
    m_pDragWindow = dragWindow;
    if (dragWindow != nullptr) {
        dragWindow->Link(Handle(), [this](const std::string& path) { OnDroppedFile(path); });
    }
}

bool CMainFrame::TranslateForLoop(MSG& message) {
    if (Handle() != nullptr && m_hAccel != nullptr &&
        (message.hwnd == Handle() || IsChild(Handle(), message.hwnd)) &&
        TranslateAcceleratorA(Handle(), m_hAccel, &message)) {
        return true;
    }
    if (m_pForm && IsDialogMessageA(m_pForm->Handle(), &message)) {
        return true;
    }
    return false;
}

bool CMainFrame::ShowBox(const std::string& text, const std::string& caption, ui::BoxStyle style) {
    FormDialogs dialogs;
    dialogs.SetOwner(Handle());
    return dialogs.ShowBox(text, caption, style);
}

bool CMainFrame::HasExploreView() const {
    return m_explore.Handle() != nullptr;
}

bool CMainFrame::CreateForm(int formId) {
    m_pForm.reset();
    std::unique_ptr<FormWindow> form;
    if (formId == IDD_SPLIT) {
        form = std::make_unique<CSplitterView>(&m_presenter, m_profile, m_hStatusBar);
    } else if (formId == IDD_MERGE) {
        form = std::make_unique<CMergeView>(&m_presenter, m_hStatusBar);
    } else {
        form = std::make_unique<COptionView>(&m_presenter);
    }
    if (!form->Create(formId, Handle())) {
        return false;
    }
    m_pForm = std::move(form);
    Layout();
    if (auto* merge = dynamic_cast<CMergeView*>(m_pForm.get())) {
        if (m_hPieceImages == nullptr) {
            m_hPieceImages = CreatePieceImages();
        }
        merge->OnInitialUpdate();
        merge->AttachImageList(m_hPieceImages);
    } else if (auto* options = dynamic_cast<COptionView*>(m_pForm.get())) {
        options->SetLoad();
        options->OnInitialUpdate();
    } else {
        m_pForm->OnInitialUpdate();
        if (static_cast<CSplitterView*>(m_pForm.get())->WantsToEnd()) {
            PostQuitMessage(0);
        }
    }
    m_pForm->FitTexts();
    ShowWindow(m_pForm->Handle(), SW_SHOW);
    return true;
}

void CMainFrame::MarkTree(int view) {
    m_explore.Mark(view);
}

void CMainFrame::MarkViewMenu(int commandId) {
    CheckMenuRadioItem(GetMenu(Handle()), ID_VIEW_SPLIT, ID_VIEW_OPTION,
                       static_cast<UINT>(commandId), MF_BYCOMMAND);
}

void CMainFrame::EnableCommand(int commandId, bool enabled) {
    EnableMenuItem(GetMenu(Handle()), static_cast<UINT>(commandId),
                   MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    if (m_hToolBar != nullptr) {
        SendMessageA(m_hToolBar, TB_ENABLEBUTTON, static_cast<WPARAM>(commandId),
                     MAKELPARAM(enabled ? TRUE : FALSE, 0));
    }
}

void CMainFrame::CheckCommand(int commandId, bool checked) {
    // Only the drop window's menu carries this mark; it is set as that menu opens.
    (void)commandId;
    (void)checked;
}

bool CMainFrame::IsShown() const {
    return IsWindowVisible(Handle()) != FALSE;
}

void CMainFrame::PutStartArgument(const std::string& argument) {
    if (auto* merge = dynamic_cast<CMergeView*>(m_pForm.get())) {
        merge->PutHeadFile(argument);
    }
}

void CMainFrame::OnDroppedFile(const std::string& path) {
    switch (m_presenter.RouteDrop()) {
        case ui::DropField::SplitSource:
            if (auto* split = dynamic_cast<CSplitterView*>(m_pForm.get())) {
                split->PutSource(path);
            }
            break;
        case ui::DropField::MergeHeadFile:
            if (auto* merge = dynamic_cast<CMergeView*>(m_pForm.get())) {
                merge->PutHeadFile(path);
            }
            break;
        case ui::DropField::None:
            break;
    }
}

void CMainFrame::OnCommand(int id) {
    switch (id) {
        case ID_SPLIT_FILE:
        case ID_MERGE_FILE:
        case ID_SAVE_OPTIONS:
        case ID_RESET_OPTIONS:
            if (m_presenter.IsCommandEnabled(id) && m_pForm) {
                m_pForm->OnFrameCommand(id);
            }
            break;
        case ID_VIEW_SPLIT:
        case ID_VIEW_MERGE:
        case ID_VIEW_OPTION:
            m_presenter.SwitchView(id - ID_VIEW_SPLIT + IDD_SPLIT);
            break;
        case ID_APP_EXIT:
            SendMessageA(Handle(), WM_CLOSE, 0, 0);
            break;
        case ID_DRAG_EXIT:
            OnClose();
            break;
        case ID_HELP_TOPICS:
            OpenHelp();
            break;
        case ID_APP_ABOUT:
            CAboutDlg().DoModal(Handle());
            break;
        case ID_SHOW_OR_HIDE:
            ShowOrHide();
            break;
        case ID_NEXT_PANE:
        case ID_PREV_PANE:
            NextPane();
            break;
        case ID_EDIT_COPY:
        case ID_EDIT_CUT:
        case ID_EDIT_PASTE:
        case ID_EDIT_UNDO: {
            // The edit keys keep working in the edit boxes.
            const UINT message = id == ID_EDIT_COPY    ? WM_COPY
                                 : id == ID_EDIT_CUT   ? WM_CUT
                                 : id == ID_EDIT_PASTE ? WM_PASTE
                                                       : WM_UNDO;
            SendMessageA(GetFocus(), message, 0, 0);
            break;
        }
        default:
            break;
    }
}

void CMainFrame::NextPane() {
    HWND focus = GetFocus();
    const bool inTree =
        focus != nullptr && (focus == m_explore.Handle() || IsChild(m_explore.Handle(), focus));
    if (inTree && m_pForm) {
        SetFocus(GetNextDlgTabItem(m_pForm->Handle(), nullptr, FALSE));
    } else {
        SetFocus(m_explore.Tree());
    }
}

void CMainFrame::ShowOrHide() {
    if (IsWindowVisible(Handle())) {
        ShowWindow(Handle(), SW_SHOWMINIMIZED);
        ShowWindow(Handle(), SW_HIDE);
    } else {
        ShowWindow(Handle(), SW_SHOW);
        ShowWindow(Handle(), SW_RESTORE);
    }
}

void CMainFrame::OpenHelp() {
    const ui::HelpPath help(GetProgramFolder(), FileExists);
    const std::string path = help.CompiledPath();
    if (HMODULE viewer = LoadLibraryA("hhctrl.ocx")) {
        auto htmlHelp = reinterpret_cast<HtmlHelpFunction>(
            reinterpret_cast<void*>(GetProcAddress(viewer, "HtmlHelpA")));
        if (htmlHelp != nullptr && htmlHelp(Handle(), path.c_str(), kDisplayTopic, 0) != nullptr) {
            return;
        }
    }
    // Without the viewer the shell may know another program for the file; a failure shows
    // nothing.
    ShellExecuteA(Handle(), "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CMainFrame::OnClose() {
    if (ui::COperationScope::AnyRunning()) {
        return;
    }
    ui::WriteDropWindowPlace(m_profile,
                             m_pDragWindow != nullptr ? m_pDragWindow->Place() : std::nullopt);
    m_pForm.reset();
    DestroyWindow(Handle());
}

std::string CMainFrame::Prompt(int id) const {
    char text[256] = {};
    if (LoadStringA(ProgramInstance(), static_cast<UINT>(id), text, sizeof text) <= 0) {
        return std::string();
    }
    return text;
}

void CMainFrame::OnMenuSelect(int id, UINT flags) {
    std::string text = ui::FramePresenter::kIdleText;
    if (flags != 0xFFFF && (flags & (MF_POPUP | MF_SEPARATOR)) == 0) {
        const std::string prompt = Prompt(id);
        if (!prompt.empty()) {
            text = prompt.substr(0, prompt.find('\n'));
        }
    }
    SendMessageA(m_hStatusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void CMainFrame::OnToolTip(NMTTDISPINFOA& info) {
    static std::string tip;
    const std::string prompt = Prompt(static_cast<int>(info.hdr.idFrom));
    const std::size_t lineBreak = prompt.find('\n');
    tip = lineBreak == std::string::npos ? std::string() : prompt.substr(lineBreak + 1);
    info.lpszText = tip.data();
}

void CMainFrame::OnInitMenuPopup(HMENU menu) {
    m_presenter.UpdateCommandUI();
    if (GetMenuState(menu, ID_SHOW_OR_HIDE, MF_BYCOMMAND) != 0xFFFFFFFF) {
        CheckMenuItem(menu, ID_SHOW_OR_HIDE,
                      MF_BYCOMMAND | (IsShown() ? MF_CHECKED : MF_UNCHECKED));
    }
}

bool CMainFrame::OnSplitterMouse(UINT message, LPARAM lParam) {
    const int x = GET_X_LPARAM(lParam);
    if (message == WM_LBUTTONDOWN && x >= m_nTreeWidth && x < m_nTreeWidth + kSplitterWidth) {
        m_bDraggingSplitter = true;
        SetCapture(Handle());
        return true;
    }
    if (message == WM_MOUSEMOVE && m_bDraggingSplitter) {
        RECT client{};
        GetClientRect(Handle(), &client);
        m_nTreeWidth = x < 16 ? 16 : x > client.right - 16 ? client.right - 16 : x;
        Layout();
        return true;
    }
    if (message == WM_LBUTTONUP && m_bDraggingSplitter) {
        m_bDraggingSplitter = false;
        ReleaseCapture();
        return true;
    }
    return false;
}

std::optional<LRESULT> CMainFrame::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == m_nDumpMessage && m_nDumpMessage != 0) {
        if (!m_strDumpPath.empty()) {
            WriteWindowDump(m_strDumpPath);
        }
        return 0;
    }
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam));
            return 0;
        case WM_SIZE:
            Layout();
            return 0;
        case WM_SHOWWINDOW:
            if (wParam != FALSE && !m_bShownOnce) {
                m_bShownOnce = true;
                if (!m_strDumpPath.empty()) {
                    SetTimer(Handle(), kDumpTimer, kDumpDelayMs, nullptr);
                }
            }
            return std::nullopt;
        case WM_TIMER:
            if (wParam == kDumpTimer) {
                KillTimer(Handle(), kDumpTimer);
                WriteWindowDump(m_strDumpPath);
                return 0;
            }
            return std::nullopt;
        case WM_SYSCOMMAND:
            // Compared whole: minimising takes the frame off the task bar.
            if (wParam == SC_MINIMIZE) {
                ShowWindow(Handle(), SW_SHOWMINIMIZED);
                ShowWindow(Handle(), SW_HIDE);
                return 0;
            }
            return std::nullopt;
        case WM_INITMENUPOPUP:
            OnInitMenuPopup(reinterpret_cast<HMENU>(wParam));
            return 0;
        case WM_MENUSELECT:
            OnMenuSelect(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->code == TTN_GETDISPINFOA) {
                OnToolTip(*reinterpret_cast<NMTTDISPINFOA*>(lParam));
                return 0;
            }
            if (header->hwndFrom == m_hToolBar && header->code == TBN_HOTITEMCHANGE) {
                const auto* change = reinterpret_cast<NMTBHOTITEM*>(lParam);
                OnMenuSelect(change->idNew, (change->dwFlags & HICF_LEAVING) != 0 ? 0xFFFF : 0);
                return 0;
            }
            return std::nullopt;
        }
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == Handle()) {
                SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
                return TRUE;
            }
            return std::nullopt;
        case WM_LBUTTONDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
            return OnSplitterMouse(message, lParam) ? std::optional<LRESULT>(0) : std::nullopt;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return std::nullopt;
    }
}

}  // namespace kavendrum::win32
