#include "win32/merge_form.h"

#include <cstdlib>
#include <vector>

#include "ui/presenters/frame_presenter.h"
#include "win32/resource.h"

namespace kavendrum::win32 {

namespace {

using Map = CommandMap<CMergeView>;

std::uint64_t Number(const std::string& text) {
    return std::strtoull(text.c_str(), nullptr, 10);
}

}  // namespace

CMergeView::CMergeView(ui::OptionSource* options, HWND statusBar)
    : m_hStatusBar(statusBar),
      m_progress(statusBar),
      m_presenter(*this, m_dialogs, m_progress, options) {}

CMergeView::~CMergeView() {
    Destroy();
}

bool CMergeView::OnControl(int id, int code) {
    static const Map map{
        {IDC_MERGE_START, BN_CLICKED, &CMergeView::OnStart},
        {IDC_VERIFY, BN_CLICKED, &CMergeView::OnVerify},
        {IDC_BROWSE_HEAD, BN_CLICKED, &CMergeView::OnBrowseHeadFile},
        {IDC_BROWSE_MERGE_FOLDER, BN_CLICKED, &CMergeView::OnBrowseFolder},
        {IDC_PREFIX, BN_CLICKED, &CMergeView::OnPrefixClicked},
        {IDC_HEAD_FILE, EN_CHANGE, &CMergeView::LoadHeadFile},
        {IDC_MERGE_DEST, EN_CHANGE, &CMergeView::OnNameFieldChanged},
        {IDC_PREFIX_NAME, EN_CHANGE, &CMergeView::OnNameFieldChanged},
    };
    return map.Dispatch(*this, id, code);
}

void CMergeView::OnFrameCommand(int commandId) {
    if (commandId == ID_MERGE_FILE) {
        OnStart();
    }
}

void CMergeView::OnInitialUpdate() {
    if (m_presenter.m_bFirstInit) {
        m_dialogs.SetOwner(Handle());
        for (const int id : {IDC_SPLIT_COUNT, IDC_OBJECT_SIZE, IDC_OBJECT_NAME, IDC_PREFIX_NAME,
                             IDC_MERGE_DEST, IDC_HEAD_FILE}) {
            EtchedControls::AttachEdit(Item(id));
        }
    }
    m_presenter.UpdateData(false);
    m_etched.AttachButton(Item(IDC_VERIFY), "Verify");
    m_etched.AttachButton(Item(IDC_MERGE_START), "Start");
    m_etched.AttachButton(Item(IDC_BROWSE_MERGE_FOLDER), "Browse");
    m_etched.AttachButton(Item(IDC_BROWSE_HEAD), "Browse");
    if (m_presenter.m_bFirstInit) {
        SetUpPieceList();
        m_presenter.m_bFirstInit = false;
    }
}

void CMergeView::SetUpPieceList() {
    HWND list = Item(IDC_PIECES);
    // A bad row tells why in its tool tip.
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    // The bad row the form selects stays marked while the focus is elsewhere.
    SetWindowLongA(list, GWL_STYLE, GetWindowLongA(list, GWL_STYLE) | LVS_SHOWSELALWAYS);
    const std::pair<const char*, int> columns[] = {{"File Name", 250}, {"Size ( bytes )", 85}};
    for (int column = 0; column < 2; ++column) {
        LVCOLUMNA header{};
        header.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        header.fmt = LVCFMT_LEFT;
        header.cx = columns[column].second;
        header.pszText = const_cast<char*>(columns[column].first);
        SendMessageA(list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&header));
    }
}

void CMergeView::AttachImageList(HIMAGELIST images) {
    ListView_SetImageList(Item(IDC_PIECES), images, LVSIL_SMALL);
}

void CMergeView::PutHeadFile(const std::string& path) {
    SetDlgItemTextA(Handle(), IDC_HEAD_FILE, path.c_str());
}

ui::MergeFields CMergeView::ReadFields() const {
    ui::MergeFields fields;
    fields.headFileName = m_exchange.Text(IDC_HEAD_FILE);
    fields.destFolder = m_exchange.Text(IDC_MERGE_DEST);
    fields.objectFileSize = Number(m_exchange.Text(IDC_OBJECT_SIZE));
    fields.splitCount = static_cast<std::uint32_t>(Number(m_exchange.Text(IDC_SPLIT_COUNT)));
    fields.objectFileName = m_exchange.Text(IDC_OBJECT_NAME);
    fields.prefixName = m_exchange.Checked(IDC_PREFIX);
    fields.prefixText = m_exchange.Text(IDC_PREFIX_NAME);
    return fields;
}

void CMergeView::WriteFields(const ui::MergeFields& fields) {
    m_exchange.WriteText(IDC_HEAD_FILE, fields.headFileName);
    m_exchange.WriteText(IDC_MERGE_DEST, fields.destFolder);
    m_exchange.WriteText(IDC_OBJECT_SIZE, std::to_string(fields.objectFileSize));
    m_exchange.WriteText(IDC_SPLIT_COUNT, std::to_string(fields.splitCount));
    m_exchange.WriteText(IDC_OBJECT_NAME, fields.objectFileName);
    m_exchange.WriteChecked(IDC_PREFIX, fields.prefixName);
    m_exchange.WriteText(IDC_PREFIX_NAME, fields.prefixText);
}

void CMergeView::ClearPieces() {
    m_notes.clear();
    ListView_DeleteAllItems(Item(IDC_PIECES));
}

void CMergeView::AddPiece(const PieceEntry& entry) {
    HWND list = Item(IDC_PIECES);
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = const_cast<char*>(entry.path.c_str());
    item.iImage = static_cast<int>(entry.mark);
    const auto row =
        static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    LVITEMA size{};
    size.iSubItem = 1;
    size.pszText = const_cast<char*>(entry.sizeText.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&size));
}

bool CMergeView::PrefixChecked() const {
    return m_exchange.Checked(IDC_PREFIX);
}

void CMergeView::SetPrefixEditable(bool editable) {
    SendMessageA(Item(IDC_PREFIX_NAME), EM_SETREADONLY, editable ? FALSE : TRUE, 0);
    if (!editable) {
        m_exchange.WriteText(IDC_PREFIX_NAME, "");
    }
}

void CMergeView::SetPieceNote(std::size_t row, const std::string& note) {
    if (row >= m_notes.size()) {
        m_notes.resize(row + 1);
    }
    m_notes[row] = note;
}

void CMergeView::SelectPiece(std::size_t row) {
    HWND list = Item(IDC_PIECES);
    const int index = static_cast<int>(row);
    if (index < 0 || index >= ListView_GetItemCount(list)) {
        return;
    }
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list, index, FALSE);
}

void CMergeView::ShowSummary(const std::string& text) {
    m_strSummary = text;
    SetStatusText(text);
}

void CMergeView::SetStatusText(const std::string& text) {
    if (m_hStatusBar == nullptr) {
        return;
    }
    const std::string shown = text.empty() ? ui::FramePresenter::kIdleText : text;
    SendMessageA(m_hStatusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(shown.c_str()));
}

std::string CMergeView::RowReason(std::size_t row) const {
    if (row >= m_notes.size() || m_notes[row].empty()) {
        return std::string();
    }
    // Room for a full path in UTF-8, up to three bytes a letter.
    std::vector<char> path(MAX_PATH * 4, '\0');
    ListView_GetItemText(Item(IDC_PIECES), static_cast<int>(row), 0, path.data(),
                         static_cast<int>(path.size()));
    return std::string(path.data()) + " : " + m_notes[row];
}

void CMergeView::OnRowSelected(int row) {
    const std::string reason = row >= 0 ? RowReason(static_cast<std::size_t>(row)) : std::string();
    SetStatusText(reason.empty() ? m_strSummary : reason);
}

std::optional<LRESULT> CMergeView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_NOTIFY || reinterpret_cast<const NMHDR*>(lParam)->idFrom != IDC_PIECES) {
        return FormWindow::OnMessage(message, wParam, lParam);
    }
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code == LVN_ITEMCHANGED) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if ((change->uChanged & LVIF_STATE) != 0 && (change->uNewState & LVIS_SELECTED) != 0 &&
            (change->uOldState & LVIS_SELECTED) == 0) {
            OnRowSelected(change->iItem);
        }
    } else if (header->code == LVN_GETINFOTIPA) {
        auto* tip = reinterpret_cast<NMLVGETINFOTIPA*>(lParam);
        const std::string reason = RowReason(static_cast<std::size_t>(tip->iItem));
        if (!reason.empty() && tip->pszText != nullptr && tip->cchTextMax > 0) {
            lstrcpynA(tip->pszText, reason.c_str(), tip->cchTextMax);
        }
    }
    return FormWindow::OnMessage(message, wParam, lParam);
}

HIMAGELIST CreatePieceImages() {
    HIMAGELIST images = ImageList_Create(15, 15, ILC_COLOR24 | ILC_MASK, 3, 0);
    ImageList_SetBkColor(images, RGB(255, 255, 255));
    for (const int icon : {IDI_UNCHECKED, IDI_GOOD, IDI_BAD}) {
        auto* handle = static_cast<HICON>(
            LoadImageA(ProgramInstance(), MAKEINTRESOURCEA(icon), IMAGE_ICON, 32, 32, 0));
        ImageList_AddIcon(images, handle);
        DestroyIcon(handle);
    }
    return images;
}

}  // namespace kavendrum::win32
