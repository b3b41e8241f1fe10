#pragma once

#include <QButtonGroup>
#include <QRadioButton>
#include <QWidget>

#include "ui/controls/etched_button.h"
#include "ui/controls/etched_check_box.h"
#include "ui/forms/form_host.h"
#include "ui/forms/form_layout.h"
#include "ui/presenters/option_presenter.h"

namespace kavendrum::ui {

// The option form (template 133): the six options as three radio pairs and three check boxes,
// with Save and Reset. What the form does is its presenter's; the form draws it.
class COptionView : public QWidget, private OptionView {
    Q_OBJECT

  public:
    static constexpr int kFormId = kOptionFormId;

    explicit COptionView(QWidget* parent = nullptr, OptionSource* options = nullptr);

    void OnInitialUpdate();
    // Radio buttons into the choices (true) or the choices into the buttons (false).
    void UpdateData(bool bSaveAndValidate = true) { m_presenter.UpdateData(bSaveAndValidate); }
    void OnSave() { m_presenter.OnSave(); }
    void OnReset() { m_presenter.OnReset(); }
    // The template's size, widened where its texts need it.
    QSize sizeHint() const override;
    // The widening factor its layout used.
    double LayoutScale() const { return m_layout.Scale(); }

    CEtchedCheckBox* m_checkDeleteAfterSplit;
    CEtchedCheckBox* m_checkVerify;
    CEtchedCheckBox* m_checkDeleteAfterMerge;
    CEtchedButton* m_btnSave;
    CEtchedButton* m_btnReset;

  private:
    void CreateControls();
    void ConnectControls();
    CEtchedCheckBox* Box(OptionBox box) const;

    // OptionView
    OptionChoices ReadChoices() const override;
    void WriteChoices(const OptionChoices& choices) override;
    int Check(OptionBox box) const override;
    void SetCheck(OptionBox box, int state) override;
    void RedrawChecks() override;

    QRadioButton* m_radios[6];
    QButtonGroup* m_groups[3];
    FormLayout m_layout;
    CFormHost m_host;
    OptionPresenter m_presenter;

  public:
    // The form's members, kept by its presenter.
    int& m_nSplitFolderChoice = m_presenter.m_nSplitFolderChoice;
    int& m_nOverwriteChoice = m_presenter.m_nOverwriteChoice;
    int& m_nMergeFolderChoice = m_presenter.m_nMergeFolderChoice;
    bool& m_bLoad = m_presenter.m_bLoad;
};

}  // namespace kavendrum::ui
