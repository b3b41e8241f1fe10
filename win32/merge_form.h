#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "ui/presenters/merge_presenter.h"
#include "win32/form_window.h"

namespace kavendrum::win32 {

// The merge form: template 132 over the merge presenter.
class CMergeView : public FormWindow, public ui::MergeView {
  public:
    CMergeView(ui::OptionSource* options, HWND statusBar);
    ~CMergeView() override;

    void OnInitialUpdate() override;
    void OnFrameCommand(int commandId) override;
    // A path into the head-file field, as if typed.
    void PutHeadFile(const std::string& path);
    // The pieces' status images: unchecked, good, bad. The list does not own them.
    void AttachImageList(HIMAGELIST images);

  protected:
    bool OnControl(int id, int code) override;
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void OnStart() { m_presenter.OnStart(); }
    void OnVerify() { m_presenter.OnVerify(); }
    void OnBrowseHeadFile() { m_presenter.OnBrowseHeadFile(); }
    void OnBrowseFolder() { m_presenter.OnBrowseFolder(); }
    void OnPrefixClicked() { m_presenter.OnPrefixClicked(); }
    void LoadHeadFile() { m_presenter.LoadHeadFile(); }
    void OnNameFieldChanged() { m_presenter.OnNameFieldChanged(); }

    void SetUpPieceList();
    // "Z:\\x\\movie_2.skf : size differs": a bad row's reason, empty for a good row.
    std::string RowReason(std::size_t row) const;
    void SetStatusText(const std::string& text);
    // The chosen row's reason in the status bar; the summary again for a row without one.
    void OnRowSelected(int row);

    // MergeView
    ui::MergeFields ReadFields() const override;
    void WriteFields(const ui::MergeFields& fields) override;
    void ClearPieces() override;
    void AddPiece(const PieceEntry& entry) override;
    bool PrefixChecked() const override;
    void SetPrefixEditable(bool editable) override;
    void SetPieceNote(std::size_t row, const std::string& note) override;
    void SelectPiece(std::size_t row) override;
    void ShowSummary(const std::string& text) override;

    HWND m_hStatusBar;
    std::vector<std::string> m_notes;  // by row
    std::string m_strSummary;
    FormDialogs m_dialogs;
    CProgressBar m_progress;
    ui::MergePresenter m_presenter;
};

// The merge form's image list: icons 145, 148 and 147 at 15 by 15 pixels on white.
HIMAGELIST CreatePieceImages();

}  // namespace kavendrum::win32
