#pragma once

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

namespace kavendrum::ui {

class CMainFrame;

// The split form (template 131): the file to split, the destination, the piece size, the
// parameters that follow from them, and Start.
class CSplitterView : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kFormId = 131;
    // Rows of the parameter list.
    enum Row { kSplitFileName, kDestinationFolder, kOriginalSize, kSplitSize, kPieceCount };

    explicit CSplitterView(QWidget* parent = nullptr);

    void OnInitialUpdate();
    // Controls into members (true) or members into controls (false), the form's own change
    // handlers silenced meanwhile. Reading fails when the custom size is no valid size.
    bool UpdateData(bool bSaveAndValidate = true);

    void OnStart();
    void OnPresetChanged();
    void OnBrowseFile();
    void OnSourceChanged();
    void OnDestinationChanged();
    void OnCustomSizeChanged();
    void OnFixedSize();
    void OnCustomSize();
    void OnBrowseFolder();
    void OnChecksumsClicked();
    void RecalcParameters();

    QString ParameterValue(Row row) const;
    // The template's size, widened where its texts need it.
    QSize sizeHint() const override;

    CEtchedEdit* m_editCustomSize;
    CEtchedButton* m_btnStart;
    CEtchedButton* m_btnBrowseFile;
    CEtchedButton* m_btnBrowseFolder;
    CEtchedEdit* m_editSource;
    CEtchedEdit* m_editDest;
    QTableWidget* m_listParameters;
    CEtchedComboBox* m_comboPresets;
    QString m_strDestFolder;
    QString m_strSourcePath;
    int m_nSizeMode = -1;
    std::uint32_t m_dwCustomSize = 0;
    bool m_bFirstInit = true;
    QLabel* m_labelSize = nullptr;
    // "Write checksums (.sha256)": kept in the user profile, section "Split".
    CEtchedCheckBox* m_checkChecksums;
    CProgressBar m_progress;

  private:
    void CreateControls();
    void ConnectControls();
    void SetParameter(Row row, const QString& value);
    std::uint32_t SelectedPresetSize() const;
    CMainFrame* MainFrame() const;
    bool MainFrameOrEnd();

    QRadioButton* m_radioFixed;
    QRadioButton* m_radioCustom;
    CFormHost m_host;
    FormLayout m_layout;
};

}  // namespace kavendrum::ui
