#pragma once

#include <QSpinBox>

#include <QLabel>
#include <QRadioButton>
#include <QTableWidget>
#include <QWidget>
#include <cstdint>

#include "ui/controls/etched_button.h"
#include "ui/controls/etched_check_box.h"
#include "ui/controls/etched_combo_box.h"
#include "ui/controls/etched_edit.h"
#include "ui/controls/progress_bar.h"
#include "ui/forms/form_host.h"
#include "ui/forms/form_layout.h"
#include "ui/forms/settings_profile.h"
#include "ui/presenters/split_presenter.h"

namespace kavendrum::ui {

// The split form (template 131): the file to split, the destination, the piece size, the
// parameters that follow from them, and Start. What the form does is its presenter's; the form
// draws it.
class CSplitterView : public QWidget, public SplitView {
    Q_OBJECT

  public:
    static constexpr int kFormId = kSplitFormId;

    explicit CSplitterView(QWidget* parent = nullptr, OptionSource* options = nullptr);

    void OnInitialUpdate();
    // Controls into members (true) or members into controls (false), the form's own change
    // handlers silenced meanwhile. Reading fails when the custom size is no valid size.
    bool UpdateData(bool bSaveAndValidate = true) {
        return m_presenter.UpdateData(bSaveAndValidate);
    }

    void OnStart() { m_presenter.OnStart(); }
    void OnPresetChanged() { m_presenter.OnPresetChanged(); }
    void OnBrowseFile() { m_presenter.OnBrowseFile(); }
    void OnSourceChanged() { m_presenter.OnSourceChanged(); }
    void OnDestinationChanged() { m_presenter.OnDestinationChanged(); }
    void OnCustomSizeChanged() { m_presenter.OnCustomSizeChanged(); }
    void OnFixedSize() { m_presenter.OnFixedSize(); }
    void OnCustomSize() { m_presenter.OnCustomSize(); }
    void OnBrowseFolder() { m_presenter.OnBrowseFolder(); }
    void OnChecksumsClicked() { m_presenter.OnChecksumsClicked(); }
    void OnRecoveryChanged() { m_presenter.OnRecoveryChanged(); }
    void RecalcParameters() { m_presenter.RecalcParameters(); }

    QString ParameterValue(Row row) const;
    // The template's size, widened where its texts need it.
    QSize sizeHint() const override;
    // The widening factor its layout used.
    double LayoutScale() const { return m_layout.Scale(); }

    CEtchedEdit* m_editCustomSize;
    CEtchedButton* m_btnStart;
    CEtchedButton* m_btnBrowseFile;
    CEtchedButton* m_btnBrowseFolder;
    CEtchedEdit* m_editSource;
    CEtchedEdit* m_editDest;
    QTableWidget* m_listParameters;
    CEtchedComboBox* m_comboPresets;
    QLabel* m_labelSize = nullptr;
    // "Write checksums (.sha256)": kept in the user profile, section "Split".
    CEtchedCheckBox* m_checkChecksums;
    // "Recovery pieces": how many lost pieces recovery files can rebuild, 0 for none; kept in
    // the user profile, section "Split".
    QSpinBox* m_spinRecovery;
    CProgressBar m_progress;

  private:
    void CreateControls();
    void ConnectControls();
    void SetCaptions();
    void BuildParameterList();
    void FillPresets();
    bool MainFrameOrEnd();

    // SplitView
    SplitFields ReadFields() const override;
    void WriteFields(const SplitFields& fields) override;
    void TypeDestination(const std::string& folder) override;
    std::string SelectedPreset() const override;
    void SetParameter(Row row, const std::string& value) override;
    void SetSizeLabel(const std::string& text) override;
    void EnableSizeChoice(bool fixed) override;
    void SelectCustomSize() override;
    bool WriteChecksums() const override;
    void SetWriteChecksums(bool on) override;
    int RecoveryPieces() const override;
    void SetRecoveryPieces(int count) override;

    QRadioButton* m_radioFixed;
    QRadioButton* m_radioCustom;
    CFormHost m_host;
    CSettingsProfile m_profile;
    FormLayout m_layout;
    SplitPresenter m_presenter;

  public:
    // The form's members, kept by its presenter.
    std::string& m_strDestFolder = m_presenter.m_strDestFolder;
    std::string& m_strSourcePath = m_presenter.m_strSourcePath;
    int& m_nSizeMode = m_presenter.m_nSizeMode;
    std::uint32_t& m_dwCustomSize = m_presenter.m_dwCustomSize;
    bool& m_bFirstInit = m_presenter.m_bFirstInit;
};

}  // namespace kavendrum::ui
