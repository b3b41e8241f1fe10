#pragma once

#include <QButtonGroup>
#include <QRadioButton>
#include <QWidget>

#include "options/option_set.h"
#include "ui/controls/etched_button.h"
#include "ui/controls/etched_check_box.h"
#include "ui/forms/form_layout.h"

namespace kavendrum::ui {

class CMainFrame;

// The option form (template 133): the six options as three radio pairs and three check boxes,
// with Save and Reset.
class COptionView : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kFormId = 133;

    explicit COptionView(QWidget* parent = nullptr);

    void OnInitialUpdate();
    // Radio buttons into the choices (true) or the choices into the buttons (false).
    void UpdateData(bool bSaveAndValidate = true);
    void OnSave();
    void OnReset();
    // The template's size, widened where its texts need it.
    QSize sizeHint() const override;

    CEtchedCheckBox* m_checkDeleteAfterSplit;
    CEtchedCheckBox* m_checkVerify;
    CEtchedCheckBox* m_checkDeleteAfterMerge;
    CEtchedButton* m_btnSave;
    CEtchedButton* m_btnReset;
    int m_nSplitFolderChoice = -1;
    int m_nOverwriteChoice = -1;
    int m_nMergeFolderChoice = -1;
    bool m_bLoad = false;

  private:
    void CreateControls();
    void ConnectControls();
    void ShowDefaults();
    // Writes the values and puts them in force; a failure has been shown when false.
    bool Store(CMainFrame& frame, const OptionSet& values);
    CMainFrame* MainFrame() const;

    QRadioButton* m_radios[6];
    QButtonGroup* m_groups[3];
    FormLayout m_layout;
};

}  // namespace kavendrum::ui
