#include "ui/presenters/option_presenter.h"

#include "engine/io/file_error.h"

namespace kavendrum::ui {

OptionPresenter::OptionPresenter(OptionView& view, DialogView& dialogs, OptionSource* options)
    : m_view(view), m_dialogs(dialogs), m_pOptions(options) {}

void OptionPresenter::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        const OptionChoices choices = m_view.ReadChoices();
        m_nSplitFolderChoice = choices.splitFolder;
        m_nOverwriteChoice = choices.overwrite;
        m_nMergeFolderChoice = choices.mergeFolder;
        return;
    }
    m_view.WriteChoices({m_nSplitFolderChoice, m_nOverwriteChoice, m_nMergeFolderChoice});
}

void OptionPresenter::Show(const OptionSet& values) {
    m_nSplitFolderChoice = values.splitFolderMode;
    m_view.SetCheck(OptionBox::DeleteAfterSplit, values.deleteAfterSplit);
    m_nMergeFolderChoice = values.mergeFolderMode;
    m_view.SetCheck(OptionBox::DeleteAfterMerge, values.deleteAfterMerge);
    m_view.SetCheck(OptionBox::Verify, values.verifyBeforeMerge);
    m_nOverwriteChoice = values.overwriteMode;
    UpdateData(false);
}

void OptionPresenter::OnInitialUpdate() {
    UpdateData(false);
    if (m_bLoad) {
        if (m_pOptions == nullptr) {
            m_dialogs.Show(NoticeOf(NoticeId::MainFrameMissingSplit));
            return;
        }
        Show(m_pOptions->Options());
    }
    m_bLoad = true;
}

void OptionPresenter::OnSave() {
    UpdateData(true);
    if (m_pOptions == nullptr) {
        m_dialogs.Show(NoticeOf(NoticeId::MainFrameMissingSplit));
        return;
    }
    const OptionSet values{m_nSplitFolderChoice,
                           m_view.Check(OptionBox::DeleteAfterSplit),
                           m_nMergeFolderChoice,
                           m_view.Check(OptionBox::DeleteAfterMerge),
                           m_view.Check(OptionBox::Verify),
                           m_nOverwriteChoice};
    if (Store(values)) {
        m_dialogs.Show(NoticeOf(NoticeId::OptionsChanged));
    }
}

void OptionPresenter::OnReset() {
    if (m_pOptions == nullptr) {
        m_dialogs.Show(NoticeOf(NoticeId::MainFrameMissingMerge));
        return;
    }
    if (!m_dialogs.Ask({QuestionId::ResetOptions, {}})) {
        return;
    }
    // Unsaved changes on the form are dropped: the defaults are shown at once, all six.
    if (Store(OptionSet{})) {
        Show(OptionSet{});
        m_view.RedrawChecks();
    }
}

bool OptionPresenter::Store(const OptionSet& values) {
    const StoreResult stored = m_pOptions->Store(values);
    switch (stored.status) {
        case StoreStatus::Stored:
            return true;
        case StoreStatus::OpenFailed:
            m_dialogs.Show(NoticeOf(NoticeId::OptionFileNotSaved));
            break;
        case StoreStatus::WriteFailed:
            m_dialogs.ShowBox(FileErrorText(stored.error), "Kavendrum", BoxStyle::Stop);
            break;
    }
    return false;
}

}  // namespace kavendrum::ui
