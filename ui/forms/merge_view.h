#pragma once

#include <QCheckBox>
#include <QIcon>
#include <QList>
#include <QTreeWidget>
#include <QWidget>
#include <cstdint>

#include "engine/verification.h"
#include "ui/controls/etched_button.h"
#include "ui/controls/etched_edit.h"
#include "ui/controls/progress_bar.h"
#include "ui/forms/form_host.h"
#include "ui/forms/form_layout.h"

namespace kavendrum::ui {

class CMainFrame;

// The merge form (template 132): a head file and a destination, the file it rebuilds, the
// pieces found beside it, Verify and Start.
class CMergeView : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kFormId = 132;

    explicit CMergeView(QWidget* parent = nullptr);

    void OnInitialUpdate();
    void UpdateData(bool bSaveAndValidate = true);
    // The piece list's status images, by PieceMark: unchecked, good, bad.
    void SetImageList(const QList<QIcon>& images) { m_imageList = images; }
    // The template's size, widened where its texts need it.
    QSize sizeHint() const override;

    void OnStart();
    VerifyOutcome OnVerify();
    void OnBrowseHeadFile();
    void OnBrowseFolder();
    void OnPrefixClicked();
    void LoadHeadFile();
    void OnNameFieldChanged();
    void UpdateOutputName();

    CEtchedEdit* m_editSplitCount;
    CEtchedEdit* m_editObjectFileSize;
    CEtchedEdit* m_editObjectFileName;
    CEtchedEdit* m_editPrefixName;
    CEtchedButton* m_btnVerify;
    CEtchedButton* m_btnStart;
    CEtchedButton* m_btnBrowseHeadFile;
    CEtchedButton* m_btnBrowseFolder;
    CEtchedEdit* m_editDestFolder;
    CEtchedEdit* m_editHeadFileName;
    QTreeWidget* m_listFiles;
    QString m_strHeadFileName;
    QString m_strDestFolder;
    std::uint64_t m_dwObjectFileSize = 0;
    // Unsigned as the head file's count is, so that a count above 2^31 - 1 is not shown negative.
    std::uint32_t m_nSplitCount = 0;
    QString m_strObjectFileName;
    std::int32_t m_bPrefixName = 0;
    QString m_strPrefixName;
    bool m_bFirstInit = true;
    QString m_strExtension;
    bool m_bVerifyOk = false;
    QList<QIcon> m_imageList;
    CProgressBar m_progress;

  private:
    void CreateControls();
    void ConnectControls();
    void AddRow(const PieceEntry& entry);
    bool HeadFileOpens() const;
    CMainFrame* MainFrame() const;

    QCheckBox* m_checkPrefix;
    CFormHost m_host;
    FormLayout m_layout;
};

}  // namespace kavendrum::ui
