#include "options/option_view.h"

#include "options/option_file.h"
#include "ui/controls/etched_group_box.h"
#include "ui/controls/etched_palette.h"
#include "ui/forms/modal_dialogs.h"
#include "ui/shell/main_frame.h"

namespace kavendrum::ui {

namespace {

enum Group { kSplitFolder, kMergeFolder, kOverwrite };

const char* const kDeleteAfterSplitCaption = "Delete original file after splitting";
const char* const kDeleteAfterMergeCaption = "Delete original files after merging";
const char* const kVerifyCaption = "Auto-Verify before merging files";

// The radio index of a pair: 0 or 1 for the checked button, -1 when neither is.
int CheckedIndex(const QButtonGroup* group) {
    return group->checkedId();
}

void CheckIndex(QButtonGroup* group, int index) {
    // Unchecking every button of an exclusive group takes lifting the exclusivity for a moment.
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons()) {
        button->setChecked(group->id(button) == index);
    }
    group->setExclusive(true);
}

}  // namespace

COptionView::COptionView(QWidget* parent) : QWidget(parent), m_layout(this, 240, 195) {
    CreateControls();
    ConnectControls();
}

void COptionView::CreateControls() {
    // Children are made in the template's order, which is also their tab order.
    UseFaceBackground(this);
    FormLayout& layout = m_layout;
    auto* splitGroup = new CEtchedGroupBox("Split Option", this);
    layout.Place(splitGroup, 5, 8, 228, 62);
    auto* mergeGroup = new CEtchedGroupBox("Merge Option", this);
    layout.Place(mergeGroup, 6, 73, 228, 89);
    const auto radio = [&](const char* text, int x, int y, int w, int h, int id) {
        auto* button = new QRadioButton(text, this);
        layout.Place(button, x, y, w, h, id);
        button->setAutoExclusive(false);
        return button;
    };
    const auto check = [&](int x, int y, int w, int h, int id, const char* caption) {
        auto* box = new CEtchedCheckBox(this);
        layout.Place(box, x, y, w, h, id, caption);
        return box;
    };
    m_radios[0] = radio("Auto create folder if folder doesn't exist", 12, 21, 138, 10, 1026);
    m_radios[1] = radio("Promot before creating folder", 12, 36, 106, 10, 1027);
    m_checkDeleteAfterSplit = check(12, 53, 112, 10, 1041, kDeleteAfterSplitCaption);
    m_radios[2] = radio("Auto create folder if folder doesn't exist", 12, 90, 138, 10, 1028);
    m_radios[3] = radio("Promote before creating folder", 12, 107, 112, 10, 1029);
    m_checkDeleteAfterMerge = check(12, 126, 119, 10, 1030, kDeleteAfterMergeCaption);
    m_radios[4] = radio("Auto overwrite existed files", 7, 164, 101, 10, 1031);
    m_radios[5] = radio("Promote before overwriting files", 7, 179, 113, 10, 1032);
    m_btnSave = new CEtchedButton(this);
    layout.Place(m_btnSave, 156, 174, 37, 14, 1033, "Save");
    m_btnReset = new CEtchedButton(this);
    layout.Place(m_btnReset, 197, 174, 37, 14, 1034, "Reset");
    m_checkVerify = check(12, 145, 111, 10, 1040, kVerifyCaption);
    splitGroup->lower();
    mergeGroup->lower();
    layout.Fit();

    for (int group = 0; group < 3; ++group) {
        m_groups[group] = new QButtonGroup(this);
        m_groups[group]->addButton(m_radios[2 * group], 0);
        m_groups[group]->addButton(m_radios[2 * group + 1], 1);
    }
}

QSize COptionView::sizeHint() const {
    return m_layout.Size();
}

void COptionView::ConnectControls() {
    connect(m_btnSave, &QPushButton::clicked, this, &COptionView::OnSave);
    connect(m_btnReset, &QPushButton::clicked, this, &COptionView::OnReset);
}

CMainFrame* COptionView::MainFrame() const {
    return qobject_cast<CMainFrame*>(window());
}

void COptionView::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        m_nSplitFolderChoice = CheckedIndex(m_groups[kSplitFolder]);
        m_nOverwriteChoice = CheckedIndex(m_groups[kOverwrite]);
        m_nMergeFolderChoice = CheckedIndex(m_groups[kMergeFolder]);
        return;
    }
    CheckIndex(m_groups[kSplitFolder], m_nSplitFolderChoice);
    CheckIndex(m_groups[kOverwrite], m_nOverwriteChoice);
    CheckIndex(m_groups[kMergeFolder], m_nMergeFolderChoice);
}

void COptionView::OnInitialUpdate() {
    UpdateData(false);
    m_btnSave->SetCaption("Save");
    m_btnReset->SetCaption("Reset");
    m_checkDeleteAfterSplit->SetCaption(kDeleteAfterSplitCaption);
    m_checkDeleteAfterMerge->SetCaption(kDeleteAfterMergeCaption);
    m_checkVerify->SetCaption(kVerifyCaption);
    if (m_bLoad) {
        CMainFrame* frame = MainFrame();
        if (frame == nullptr) {
            ShowBox(this, "Get MainFrame error!", "Error", BoxStyle::Ok);
            return;
        }
        const OptionSet& options = frame->m_options;
        m_nSplitFolderChoice = options.splitFolderMode;
        m_checkDeleteAfterSplit->m_nChecked = options.deleteAfterSplit;
        m_nMergeFolderChoice = options.mergeFolderMode;
        m_checkDeleteAfterMerge->m_nChecked = options.deleteAfterMerge;
        m_checkVerify->m_nChecked = options.verifyBeforeMerge;
        m_nOverwriteChoice = options.overwriteMode;
        UpdateData(false);
    }
    m_bLoad = true;
}

void COptionView::OnSave() {
    UpdateData(true);
    CMainFrame* frame = MainFrame();
    if (frame == nullptr) {
        ShowBox(this, "Get MainFrame error!", "Error", BoxStyle::Ok);
        return;
    }
    const OptionSet values{m_nSplitFolderChoice,      m_checkDeleteAfterSplit->m_nChecked,
                           m_nMergeFolderChoice,      m_checkDeleteAfterMerge->m_nChecked,
                           m_checkVerify->m_nChecked, m_nOverwriteChoice};
    if (Store(*frame, values)) {
        ShowBox(this, "Change options successfully!", "Message", BoxStyle::Ok);
    }
}

void COptionView::OnReset() {
    CMainFrame* frame = MainFrame();
    if (frame == nullptr) {
        ShowBox(this, "Get MainFrame Error!", "Error", BoxStyle::Ok);
        return;
    }
    if (!ShowBox(this, "Do you really want to reset option?", "Message", BoxStyle::OkCancel)) {
        return;
    }
    if (Store(*frame, OptionSet{})) {
        ShowDefaults();
    }
}

bool COptionView::Store(CMainFrame& frame, const OptionSet& values) {
    const StoreResult stored =
        StoreOptions(frame.m_strOptionFile.toStdString(), values, frame.m_options);
    switch (stored.status) {
        case StoreStatus::Stored:
            return true;
        case StoreStatus::OpenFailed:
            ShowBox(this, "Save to option file error!", "Error", BoxStyle::Ok);
            break;
        case StoreStatus::WriteFailed:
            ShowBox(this, QString::fromStdString(FileErrorText(stored.error)), "Kavendrum",
                    BoxStyle::Stop);
            break;
    }
    return false;
}

void COptionView::ShowDefaults() {
    const OptionSet defaults;
    m_nSplitFolderChoice = defaults.splitFolderMode;
    m_nMergeFolderChoice = defaults.mergeFolderMode;
    m_nOverwriteChoice = defaults.overwriteMode;
    m_checkDeleteAfterSplit->m_nChecked = defaults.deleteAfterSplit;
    m_checkDeleteAfterMerge->m_nChecked = defaults.deleteAfterMerge;
    m_checkVerify->m_nChecked = defaults.verifyBeforeMerge;
    UpdateData(false);
    for (CEtchedCheckBox* box : {m_checkDeleteAfterSplit, m_checkDeleteAfterMerge, m_checkVerify}) {
        box->repaint();
    }
}

}  // namespace kavendrum::ui
