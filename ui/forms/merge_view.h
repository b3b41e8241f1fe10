#pragma once

#include <QCheckBox>
#include <QIcon>
#include <QList>
#include <QTreeWidget>
#include <QWidget>
#include <cstdint>

#include "ui/controls/etched_button.h"
#include "ui/controls/etched_edit.h"
#include "ui/controls/progress_bar.h"
#include "ui/forms/form_host.h"
#include "ui/forms/form_layout.h"
#include "ui/presenters/merge_presenter.h"

namespace kavendrum::ui {

// The merge form (template 132): a head file and a destination, the file it rebuilds, the
// pieces found beside it, Verify and Start. What the form does is its presenter's; the form
// draws it.
class CMergeView : public QWidget, private MergeView {
    Q_OBJECT

  public:
    static constexpr int kFormId = kMergeFormId;

    explicit CMergeView(QWidget* parent = nullptr, OptionSource* options = nullptr);

    void OnInitialUpdate();
    void UpdateData(bool bSaveAndValidate = true) { m_presenter.UpdateData(bSaveAndValidate); }
    // The piece list's status images, by PieceMark: unchecked, good, bad.
    void SetImageList(const QList<QIcon>& images) { m_imageList = images; }
    // The template's size, widened where its texts need it.
    QSize sizeHint() const override;
    // The widening factor its layout used.
    double LayoutScale() const { return m_layout.Scale(); }

    void OnStart() { m_presenter.OnStart(); }
    VerifyOutcome OnVerify() { return m_presenter.OnVerify(); }
    void OnBrowseHeadFile() { m_presenter.OnBrowseHeadFile(); }
    void OnBrowseFolder() { m_presenter.OnBrowseFolder(); }
    void OnPrefixClicked() { m_presenter.OnPrefixClicked(); }
    void LoadHeadFile() { m_presenter.LoadHeadFile(); }
    void OnNameFieldChanged() { m_presenter.OnNameFieldChanged(); }
    void UpdateOutputName() { m_presenter.UpdateOutputName(); }

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
    QList<QIcon> m_imageList;
    CProgressBar m_progress;

  private:
    void CreateControls();
    void ConnectControls();
    void SetUpPieceList();

    // MergeView
    MergeFields ReadFields() const override;
    void WriteFields(const MergeFields& fields) override;
    void ClearPieces() override;
    void AddPiece(const PieceEntry& entry) override;
    bool PrefixChecked() const override;
    void SetPrefixEditable(bool editable) override;
    void SetPieceNote(std::size_t row, const std::string& note) override;
    void SelectPiece(std::size_t row) override;
    void ShowSummary(const std::string& text) override;

    QCheckBox* m_checkPrefix;
    CFormHost m_host;
    FormLayout m_layout;
    MergePresenter m_presenter;

  public:
    // The form's members, kept by its presenter.
    std::string& m_strHeadFileName = m_presenter.m_strHeadFileName;
    std::string& m_strDestFolder = m_presenter.m_strDestFolder;
    std::uint64_t& m_dwObjectFileSize = m_presenter.m_dwObjectFileSize;
    std::uint32_t& m_nSplitCount = m_presenter.m_nSplitCount;
    std::string& m_strObjectFileName = m_presenter.m_strObjectFileName;
    std::int32_t& m_bPrefixName = m_presenter.m_bPrefixName;
    std::string& m_strPrefixName = m_presenter.m_strPrefixName;
    bool& m_bFirstInit = m_presenter.m_bFirstInit;
    std::string& m_strExtension = m_presenter.m_strExtension;
    bool& m_bVerifyOk = m_presenter.m_bVerifyOk;
};

}  // namespace kavendrum::ui
