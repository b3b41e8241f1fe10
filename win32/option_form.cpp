#include "win32/option_form.h"

#include "win32/resource.h"

namespace kavendrum::win32 {

namespace {

using Map = CommandMap<COptionView>;

}  // namespace

COptionView::COptionView(ui::OptionSource* options) : m_presenter(*this, m_dialogs, options) {}

bool COptionView::OnControl(int id, int code) {
    static const Map map{
        {IDC_SAVE, BN_CLICKED, &COptionView::OnSave},
        {IDC_RESET, BN_CLICKED, &COptionView::OnReset},
    };
    return map.Dispatch(*this, id, code);
}

void COptionView::OnFrameCommand(int commandId) {
    if (commandId == ID_SAVE_OPTIONS) {
        OnSave();
    } else if (commandId == ID_RESET_OPTIONS) {
        OnReset();
    }
}

void COptionView::OnInitialUpdate() {
    m_dialogs.SetOwner(Handle());
    m_etched.AttachButton(Item(IDC_SAVE), "Save");
    m_etched.AttachButton(Item(IDC_RESET), "Reset");
    m_etched.AttachCheckBox(Item(IDC_DELETE_AFTER_SPLIT), "Delete original file after splitting");
    m_etched.AttachCheckBox(Item(IDC_DELETE_AFTER_MERGE), "Delete original files after merging");
    m_etched.AttachCheckBox(Item(IDC_VERIFY_BEFORE_MERGE), "Auto-Verify before merging files");
    m_presenter.OnInitialUpdate();
}

HWND COptionView::Box(ui::OptionBox box) const {
    switch (box) {
        case ui::OptionBox::DeleteAfterSplit:
            return Item(IDC_DELETE_AFTER_SPLIT);
        case ui::OptionBox::DeleteAfterMerge:
            return Item(IDC_DELETE_AFTER_MERGE);
        case ui::OptionBox::Verify:
            break;
    }
    return Item(IDC_VERIFY_BEFORE_MERGE);
}

ui::OptionChoices COptionView::ReadChoices() const {
    return {m_exchange.Radio(IDC_SPLIT_AUTO_FOLDER), m_exchange.Radio(IDC_AUTO_OVERWRITE),
            m_exchange.Radio(IDC_MERGE_AUTO_FOLDER)};
}

void COptionView::WriteChoices(const ui::OptionChoices& choices) {
    m_exchange.WriteRadio(IDC_SPLIT_AUTO_FOLDER, choices.splitFolder);
    m_exchange.WriteRadio(IDC_AUTO_OVERWRITE, choices.overwrite);
    m_exchange.WriteRadio(IDC_MERGE_AUTO_FOLDER, choices.mergeFolder);
}

int COptionView::Check(ui::OptionBox box) const {
    return m_etched.State(Box(box));
}

void COptionView::SetCheck(ui::OptionBox box, int state) {
    m_etched.SetState(Box(box), state);
}

void COptionView::RedrawChecks() {
    for (const int id : {IDC_DELETE_AFTER_SPLIT, IDC_DELETE_AFTER_MERGE, IDC_VERIFY_BEFORE_MERGE}) {
        RedrawWindow(Item(id), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
}

}  // namespace kavendrum::win32
