#include "win32/form_host.h"

#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "ui/presenters/frame_presenter.h"
#include "win32/etched.h"
#include "win32/folder_picker.h"
#include "win32/resource.h"

namespace kavendrum::win32 {

namespace {

UINT BoxFlags(ui::BoxStyle style) {
    switch (style) {
        case ui::BoxStyle::OkCancel:
            return MB_OKCANCEL;
        case ui::BoxStyle::Warning:
            return MB_OK | MB_ICONEXCLAMATION;
        case ui::BoxStyle::Information:
            return MB_OK | MB_ICONINFORMATION;
        case ui::BoxStyle::Stop:
            return MB_OK | MB_ICONSTOP;
        case ui::BoxStyle::Ok:
        default:
            return MB_OK;
    }
}

// How often a running operation lets its bar be painted.
constexpr DWORD kPaintIntervalMs = 50;

}  // namespace

bool FormDialogs::ShowBox(const std::string& text, const std::string& caption, ui::BoxStyle style) {
    return MessageBoxA(m_owner, text.c_str(), caption.c_str(), BoxFlags(style)) == IDOK;
}

std::string OpenFileFilter(const std::string& description) {
    if (description.empty()) {
        return std::string();
    }
    const std::size_t open = description.rfind('(');
    const std::size_t close = description.rfind(')');
    const std::string pattern =
        open != std::string::npos && close != std::string::npos && close > open + 1
            ? description.substr(open + 1, close - open - 1)
            : "*.*";
    std::string filter = description;
    filter += '\0';
    filter += pattern;
    filter += '\0';
    filter += '\0';
    return filter;
}

std::string FormDialogs::ChooseFileToOpen(const std::string& filter) {
    std::vector<char> path(MAX_PATH * 4, '\0');
    const std::string filterText = OpenFileFilter(filter);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_owner;
    dialog.lpstrFilter = filterText.empty() ? nullptr : filterText.c_str();
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER;
    if (!GetOpenFileNameA(&dialog)) {
        return std::string();
    }
    return std::string(path.data());
}

std::optional<std::string> FormDialogs::ChooseFolder(const std::string& initial) {
    CDestFolderPicker picker(m_owner, IDS_DIRECTORY_NAME);
    picker.SetFlags(BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT);
    picker.SetInitialFolder(initial);
    if (!picker.Browse()) {
        return std::nullopt;
    }
    return picker.GetPath();
}

CProgressBar::~CProgressBar() {
    // The pane gets back what it showed before the bar was placed.
    if (Handle() != nullptr && m_statusBar != nullptr && IsWindow(m_statusBar)) {
        SendMessageA(m_statusBar, SB_SETTEXTA, static_cast<WPARAM>(m_nPane),
                     reinterpret_cast<LPARAM>(m_strSavedPaneText.c_str()));
    }
}

bool CProgressBar::ShowInPane(const std::string& label, int widthPercent, int upperBound,
                              int pane) {
    if (m_statusBar == nullptr) {
        return false;
    }
    if (Handle() == nullptr) {
        if (!RegisterWindowClass(kClassName, LoadCursor(nullptr, IDC_ARROW), nullptr)) {
            return false;
        }
        const RECT nowhere{0, 0, 0, 0};
        if (!CreateWindowOfClass(kClassName, "", WS_CHILD | WS_VISIBLE, 0, nowhere, m_statusBar,
                                 1)) {
            return false;
        }
        std::string saved(256, '\0');
        const LRESULT length = SendMessageA(m_statusBar, SB_GETTEXTLENGTHA, pane, 0);
        saved.resize(static_cast<std::size_t>(LOWORD(length)) + 1);
        SendMessageA(m_statusBar, SB_GETTEXTA, pane, reinterpret_cast<LPARAM>(saved.data()));
        saved.resize(LOWORD(length));
        m_strSavedPaneText = saved;
    }
    m_strLabel = label;
    m_nWidthPercent = widthPercent;
    m_nPane = pane;
    SetStepRange(0, upperBound, 1);
    return FitToPane();
}

bool CProgressBar::SetWidthPercent(int percent) {
    m_nWidthPercent = percent;
    return FitToPane();
}

bool CProgressBar::FitToPane() {
    if (Handle() == nullptr) {
        return false;
    }
    // A resting bar leaves the pane's text alone.
    if (IsWindowVisible(Handle())) {
        SendMessageA(m_statusBar, SB_SETTEXTA, static_cast<WPARAM>(m_nPane),
                     reinterpret_cast<LPARAM>(m_strLabel.c_str()));
    }
    RECT pane{};
    SendMessageA(m_statusBar, SB_GETRECT, static_cast<WPARAM>(m_nPane),
                 reinterpret_cast<LPARAM>(&pane));
    HDC dc = GetDC(m_statusBar);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(m_statusBar, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32A(dc, m_strLabel.c_str(), static_cast<int>(m_strLabel.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(m_statusBar, dc);
    const int left = pane.left + extent.cx + 10;
    const int free = pane.right - left;
    const int width = free > 0 ? free * m_nWidthPercent / 100 : 0;
    MoveWindow(Handle(), left, pane.top + 2, width, pane.bottom - pane.top - 4, TRUE);
    return true;
}

void CProgressBar::SetBusy(bool busy) {
    if (busy || Handle() == nullptr || !IsWindowVisible(Handle())) {
        return;
    }
    ShowWindow(Handle(), SW_HIDE);
    const LRESULT length = SendMessageA(m_statusBar, SB_GETTEXTLENGTHA, m_nPane, 0);
    std::string shown(static_cast<std::size_t>(LOWORD(length)) + 1, '\0');
    SendMessageA(m_statusBar, SB_GETTEXTA, m_nPane, reinterpret_cast<LPARAM>(shown.data()));
    shown.resize(LOWORD(length));
    if (shown == m_strLabel) {
        const std::string idle = m_nPane == 0 ? ui::FramePresenter::kIdleText : m_strSavedPaneText;
        SendMessageA(m_statusBar, SB_SETTEXTA, static_cast<WPARAM>(m_nPane),
                     reinterpret_cast<LPARAM>(idle.c_str()));
    }
}

void CProgressBar::MakeVisible() {
    if (!IsWindowVisible(Handle())) {
        ShowWindow(Handle(), SW_SHOWNA);
        SendMessageA(m_statusBar, SB_SETTEXTA, static_cast<WPARAM>(m_nPane),
                     reinterpret_cast<LPARAM>(m_strLabel.c_str()));
    }
}

bool CProgressBar::SetStepRange(int lower, int upper, int step) {
    if (Handle() == nullptr) {
        return false;
    }
    m_nLower = lower;
    m_nUpper = upper > lower ? upper : lower;
    m_nStep = step;
    ShowNow();
    return true;
}

int CProgressBar::SetPosition(int position) {
    if (Handle() == nullptr) {
        return 0;
    }
    const int previous = m_nPosition;
    m_nPosition = position < m_nLower ? m_nLower : position > m_nUpper ? m_nUpper : position;
    ShowNow();
    return previous;
}

int CProgressBar::Advance() {
    if (Handle() == nullptr) {
        return 0;
    }
    MakeVisible();
    const int previous = m_nPosition;
    m_nPosition += m_nStep;
    // As the platform's control does: past the end the bar starts again.
    if (m_nPosition > m_nUpper) {
        m_nPosition = m_nLower + (m_nPosition - m_nUpper);
    }
    if (GetTickCount() - m_dwLastPaint >= kPaintIntervalMs || m_nPosition == m_nUpper) {
        ShowNow();
    }
    return previous;
}

void CProgressBar::ShowNow() {
    MakeVisible();
    InvalidateRect(Handle(), nullptr, FALSE);
    UpdateWindow(Handle());
    m_dwLastPaint = GetTickCount();
}

std::optional<LRESULT> CProgressBar::OnMessage(UINT message, WPARAM, LPARAM) {
    if (message == WM_PAINT) {
        Paint();
        return 0;
    }
    if (message == WM_ERASEBKGND) {
        return 1;
    }
    // The frame's word that the status bar changed its size.
    if (message == WM_USER) {
        FitToPane();
        return 0;
    }
    return std::nullopt;
}

void CProgressBar::Paint() {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(Handle(), &paint);
    RECT client{};
    GetClientRect(Handle(), &client);
    const EtchedPalette& palette = EtchedPalette::Shared();
    FillRect(dc, &client, palette.Face());
    const int range = m_nUpper - m_nLower;
    RECT done = client;
    InflateRect(&done, -2, -2);
    if (range > 0 && done.right > done.left) {
        done.right = done.left + static_cast<int>(static_cast<long long>(done.right - done.left) *
                                                  (m_nPosition - m_nLower) / range);
        FillRect(dc, &done, palette.Accent());
    }
    DrawEtchedFrame(dc, client);
    EndPaint(Handle(), &paint);
}

}  // namespace kavendrum::win32
