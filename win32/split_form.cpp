#include "win32/split_form.h"

#include <commctrl.h>

#include "engine/split_operation.h"
#include "win32/resource.h"

namespace kavendrum::win32 {

namespace {

using Map = CommandMap<CSplitterView>;

// The size label's place: the pixels 290, 125 to 360, 145 of the template's font at its usual
// 6 by 13 base units, in dialog units, so that it keeps clear of "Bytes" in a wider font.
constexpr RECT kSizeLabelUnits{193, 77, 240, 89};
constexpr const char* kChecksumsCaption = "Write checksums (.sha256)";

}  // namespace

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
    // In the free strip at the foot of the group box, last in the tab order.
    HWND checksums = CreateControl("Button", kChecksumsCaption, BS_CHECKBOX | WS_TABSTOP,
                                   IDC_CHECKSUMS, RECT{7, 63, 157, 71});
    m_etched.AttachCheckBox(checksums, kChecksumsCaption);
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

}  // namespace kavendrum::win32
