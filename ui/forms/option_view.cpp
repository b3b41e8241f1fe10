#include "ui/forms/option_view.h"

#include "ui/controls/etched_group_box.h"
#include "ui/controls/etched_palette.h"
#include "ui/forms/form_scale.h"

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

// The form has no progress bar; its host only shows boxes.
COptionView::COptionView(QWidget* parent, OptionSource* options)
    : QWidget(parent),
      m_layout(this, 240, 195),
      m_host(this, nullptr),
      m_presenter(*this, m_host, options) {
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
    layout.Fit(SharedFormScale(font()));

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

void COptionView::OnInitialUpdate() {
    m_btnSave->SetCaption("Save");
    m_btnReset->SetCaption("Reset");
    m_checkDeleteAfterSplit->SetCaption(kDeleteAfterSplitCaption);
    m_checkDeleteAfterMerge->SetCaption(kDeleteAfterMergeCaption);
    m_checkVerify->SetCaption(kVerifyCaption);
    m_presenter.OnInitialUpdate();
}

OptionChoices COptionView::ReadChoices() const {
    return {CheckedIndex(m_groups[kSplitFolder]), CheckedIndex(m_groups[kOverwrite]),
            CheckedIndex(m_groups[kMergeFolder])};
}

void COptionView::WriteChoices(const OptionChoices& choices) {
    CheckIndex(m_groups[kSplitFolder], choices.splitFolder);
    CheckIndex(m_groups[kOverwrite], choices.overwrite);
    CheckIndex(m_groups[kMergeFolder], choices.mergeFolder);
}

CEtchedCheckBox* COptionView::Box(OptionBox box) const {
    switch (box) {
        case OptionBox::DeleteAfterSplit:
            return m_checkDeleteAfterSplit;
        case OptionBox::DeleteAfterMerge:
            return m_checkDeleteAfterMerge;
        case OptionBox::Verify:
            break;
    }
    return m_checkVerify;
}

int COptionView::Check(OptionBox box) const {
    return Box(box)->m_nChecked;
}

void COptionView::SetCheck(OptionBox box, int state) {
    Box(box)->m_nChecked = state;
}

void COptionView::RedrawChecks() {
    for (CEtchedCheckBox* box : {m_checkDeleteAfterSplit, m_checkDeleteAfterMerge, m_checkVerify}) {
        box->repaint();
    }
}

}  // namespace kavendrum::ui
