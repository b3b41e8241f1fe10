#include "win32/split_form.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>

#include "engine/split_operation.h"
#include "win32/resource.h"

namespace kavendrum::win32 {

namespace {

using Map = CommandMap<CSplitterView>;

// The checksum box and the recovery choice have a row of their own at the foot of the group box,
// which grows by it; everything below moves down by as much (dialog units).
constexpr int kChecksumRowTop = 72;
constexpr int kChecksumRow = 12;

// The size label's place: the pixels 290, 125 to 360, 145 of the template's font at its usual
// 6 by 13 base units, in dialog units, so that it keeps clear of "Bytes" in a wider font; below
// the checksum row.
constexpr RECT kSizeLabelUnits{193, 77 + kChecksumRow, 240, 89 + kChecksumRow};
constexpr const char* kChecksumsCaption = "Write checksums (.sha256)";
constexpr const char* kRecoveryCaption = "Recovery pieces";
constexpr const char* kNoRecovery = "none";

// The checksum box and the recovery choice beside it, in dialog units.
constexpr RECT kChecksumsUnits{7, 67, 145, 77};
constexpr RECT kRecoveryLabelUnits{148, 68, 198, 76};
constexpr RECT kRecoveryFieldUnits{200, 66, 234, 77};

}  // namespace

int RecoveryPiecesOf(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    if (first == std::string::npos) {
        return 0;
    }
    const std::string word = text.substr(first, last - first + 1);
    if (!std::all_of(word.begin(), word.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
        return 0;
    }
    // Digits beyond the largest count only keep it there; no number is read past it.
    int count = 0;
    for (const char c : word) {
        count = std::min(count * 10 + (c - '0'), kMostRecoveryPieces);
    }
    return count;
}

std::string RecoveryPiecesText(int count) {
    if (count <= 0) {
        return kNoRecovery;
    }
    return std::to_string(std::min(count, kMostRecoveryPieces));
}

CSplitterView::CSplitterView(ui::OptionSource* options, ui::Profile& profile, HWND statusBar)
    : m_progress(statusBar), m_presenter(*this, m_dialogs, m_progress, profile, options) {}

bool CSplitterView::OnControl(int id, int code) {
    static const Map map{
        {IDC_PRESETS, CBN_SELCHANGE, &CSplitterView::OnPresetChanged},
        {IDC_BROWSE_FILE, BN_CLICKED, &CSplitterView::OnBrowseFile},
        {IDC_SOURCE, EN_CHANGE, &CSplitterView::OnSourceChanged},
        {IDC_DEST, EN_CHANGE, &CSplitterView::OnDestinationChanged},
        {IDC_SPLIT_START, BN_CLICKED, &CSplitterView::OnStart},
        {IDC_CUSTOM_SIZE, EN_CHANGE, &CSplitterView::OnCustomSizeChanged},
        {IDC_FIXED_SIZE, BN_CLICKED, &CSplitterView::OnFixedSize},
        {IDC_CUSTOM_SIZE_RADIO, BN_CLICKED, &CSplitterView::OnCustomSize},
        {IDC_BROWSE_FOLDER, BN_CLICKED, &CSplitterView::OnBrowseFolder},
        {IDC_CHECKSUMS, BN_CLICKED, &CSplitterView::OnChecksumsClicked},
        {IDC_RECOVERY_PIECES, EN_CHANGE, &CSplitterView::OnRecoveryEdited},
    };
    return map.Dispatch(*this, id, code);
}

void CSplitterView::OnFrameCommand(int commandId) {
    if (commandId == ID_SPLIT_FILE) {
        OnStart();
    }
}

void CSplitterView::AttachControls() {
    m_dialogs.SetOwner(Handle());
    for (const int id : {IDC_CUSTOM_SIZE, IDC_SOURCE, IDC_DEST}) {
        EtchedControls::AttachEdit(Item(id));
    }
    EtchedControls::AttachComboBox(Item(IDC_PRESETS));
    // On their own row at the foot of the group box, last in the tab order.
    HWND checksums = CreateControl("Button", kChecksumsCaption, BS_CHECKBOX | WS_TABSTOP,
                                   IDC_CHECKSUMS, kChecksumsUnits);
    m_etched.AttachCheckBox(checksums, kChecksumsCaption);
    CreateRecoveryChoice();
}

// An edit with an up-down at its right: the up-down only asks for a step, and the form writes
// the count, so that 0 reads "none" as on the Linux program.
void CSplitterView::CreateRecoveryChoice() {
    CreateControl("Static", kRecoveryCaption, SS_LEFT, IDC_RECOVERY_LABEL, kRecoveryLabelUnits);
    HWND field = CreateControl("Edit", kNoRecovery, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP,
                               IDC_RECOVERY_PIECES, kRecoveryFieldUnits);
    EtchedControls::AttachEdit(field);
    HWND spin = CreateControl(UPDOWN_CLASSA, "", UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                              IDC_RECOVERY_SPIN, RECT{0, 0, 0, 0});
    SendMessageA(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(field), 0);
    SendMessageA(spin, UDM_SETRANGE32, 0, kMostRecoveryPieces);
}

// The up-down keeps the count too, so that it knows when an arrow has nowhere to go.
void CSplitterView::OnRecoveryEdited() {
    SendMessageA(Item(IDC_RECOVERY_SPIN), UDM_SETPOS32, 0, RecoveryPieces());
    m_presenter.OnRecoveryChanged();
}

void CSplitterView::StepRecovery(int delta) {
    const int count = std::clamp(RecoveryPieces() + delta, 0, kMostRecoveryPieces);
    SetDlgItemTextA(Handle(), IDC_RECOVERY_PIECES, RecoveryPiecesText(count).c_str());
}

std::optional<LRESULT> CSplitterView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        // Before the frame takes its size from the form.
        InsertRow(kChecksumRowTop, kChecksumRow);
    }
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_RECOVERY_SPIN && header->code == UDN_DELTAPOS) {
            StepRecovery(reinterpret_cast<const NMUPDOWN*>(lParam)->iDelta);
            return TRUE;
        }
    }
    return FormWindow::OnMessage(message, wParam, lParam);
}

void CSplitterView::OnInitialUpdate() {
    if (m_presenter.m_bFirstInit) {
        AttachControls();
    }
    m_presenter.UpdateData(false);
    m_etched.AttachButton(Item(IDC_BROWSE_FOLDER), "Browse");
    m_etched.AttachButton(Item(IDC_BROWSE_FILE), "Browse");
    m_etched.AttachButton(Item(IDC_SPLIT_START), "Start");
    m_presenter.LoadChecksums();
    if (m_presenter.m_bFirstInit) {
        BuildParameterList();
        if (!MainFrameOrEnd()) {
            return;
        }
        EnableWindow(Item(IDC_CUSTOM_SIZE_RADIO), TRUE);
        FillPresets();
        m_sizeLabel = CreateControl("Static", ui::PresetLabel(kDefaultPieceSize).c_str(), 0,
                                    IDC_SIZE_LABEL, kSizeLabelUnits);
        m_presenter.FirstInit();
    }
    if (!MainFrameOrEnd()) {
        return;
    }
    EnableWindow(Item(IDC_CUSTOM_SIZE_RADIO), TRUE);
    m_presenter.m_bFirstInit = false;
}

bool CSplitterView::MainFrameOrEnd() {
    if (m_presenter.FrameOrSystemError()) {
        return true;
    }
    m_bEnd = true;
    return false;
}

void CSplitterView::BuildParameterList() {
    HWND list = Item(IDC_PARAMETERS);
    ListView_SetExtendedListViewStyle(list, LVS_EX_GRIDLINES);
    const std::pair<const char*, int> columns[] = {{"Parameter", 140}, {"Value", 200}};
    for (int column = 0; column < 2; ++column) {
        LVCOLUMNA header{};
        header.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        header.fmt = LVCFMT_LEFT;
        header.cx = columns[column].second;
        header.pszText = const_cast<char*>(columns[column].first);
        SendMessageA(list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&header));
    }
    const char* rows[] = {"Split file name", "Destination folder", "Original file fize",
                          "Split size", "Number of split files"};
    for (int row = 0; row < 5; ++row) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<char*>(rows[row]);
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
}

void CSplitterView::FillPresets() {
    const DataExchange::Writes writes(m_exchange);
    HWND combo = Item(IDC_PRESETS);
    for (const char* preset : ui::SplitPresenter::kPresets) {
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(preset));
    }
    SendMessageA(combo, CB_SETCURSEL, ui::SplitPresenter::kDefaultPreset, 0);
}

void CSplitterView::PutSource(const std::string& path) {
    SetDlgItemTextA(Handle(), IDC_SOURCE, path.c_str());
}

ui::SplitFields CSplitterView::ReadFields() const {
    return {m_exchange.Text(IDC_DEST), m_exchange.Text(IDC_SOURCE),
            m_exchange.Radio(IDC_FIXED_SIZE), m_exchange.Text(IDC_CUSTOM_SIZE)};
}

void CSplitterView::WriteFields(const ui::SplitFields& fields) {
    m_exchange.WriteText(IDC_DEST, fields.destFolder);
    m_exchange.WriteText(IDC_SOURCE, fields.sourcePath);
    m_exchange.WriteRadio(IDC_FIXED_SIZE, fields.sizeMode);
    m_exchange.WriteText(IDC_CUSTOM_SIZE, fields.customSize);
}

void CSplitterView::TypeDestination(const std::string& folder) {
    SetDlgItemTextA(Handle(), IDC_DEST, folder.c_str());
}

std::string CSplitterView::SelectedPreset() const {
    return WindowText(Item(IDC_PRESETS));
}

void CSplitterView::SetParameter(Row row, const std::string& value) {
    LVITEMA item{};
    item.iSubItem = 1;
    item.pszText = const_cast<char*>(value.c_str());
    SendMessageA(Item(IDC_PARAMETERS), LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

void CSplitterView::SetSizeLabel(const std::string& text) {
    if (m_sizeLabel != nullptr) {
        SetWindowTextA(m_sizeLabel, text.c_str());
    }
}

void CSplitterView::EnableSizeChoice(bool fixed) {
    EnableWindow(Item(IDC_PRESETS), fixed);
    EnableWindow(Item(IDC_CUSTOM_SIZE), !fixed);
}

void CSplitterView::SelectCustomSize() {
    SetFocus(Item(IDC_CUSTOM_SIZE));
    SendMessageA(Item(IDC_CUSTOM_SIZE), EM_SETSEL, 0, -1);
}

bool CSplitterView::WriteChecksums() const {
    return m_etched.Checked(Item(IDC_CHECKSUMS));
}

void CSplitterView::SetWriteChecksums(bool on) {
    m_etched.SetChecked(Item(IDC_CHECKSUMS), on);
}

int CSplitterView::RecoveryPieces() const {
    return RecoveryPiecesOf(m_exchange.Text(IDC_RECOVERY_PIECES));
}

void CSplitterView::SetRecoveryPieces(int count) {
    m_exchange.WriteText(IDC_RECOVERY_PIECES, RecoveryPiecesText(count));
    SendMessageA(Item(IDC_RECOVERY_SPIN), UDM_SETPOS32, 0, RecoveryPieces());
}

}  // namespace kavendrum::win32
