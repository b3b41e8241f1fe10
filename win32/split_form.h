#pragma once

#include "ui/presenters/split_presenter.h"
#include "win32/form_window.h"

namespace kavendrum::win32 {

// The "Recovery pieces" field holds a count of pieces or "none" for 0, as the Linux spin box
// shows it; anything else, typed by hand, counts as none. Counts above 999 are cut to 999.
inline constexpr int kMostRecoveryPieces = 999;
int RecoveryPiecesOf(const std::string& text);
std::string RecoveryPiecesText(int count);

// The split form: template 131 over the split presenter.
class CSplitterView : public FormWindow, public ui::SplitView {
  public:
    CSplitterView(ui::OptionSource* options, ui::Profile& profile, HWND statusBar);

    void OnInitialUpdate() override;
    void OnFrameCommand(int commandId) override;
    // A dropped file into the source field, as if typed.
    void PutSource(const std::string& path);
    // The program ends when the form finds no frame; the frame asks after the update.
    bool WantsToEnd() const { return m_bEnd; }

  protected:
    bool OnControl(int id, int code) override;
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
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
    void OnRecoveryEdited();

    void AttachControls();
    void CreateRecoveryChoice();
    // The up-down's step: the count one up or down, written as typing would write it.
    void StepRecovery(int delta);
    void BuildParameterList();
    void FillPresets();
    bool MainFrameOrEnd();

    // SplitView
    ui::SplitFields ReadFields() const override;
    void WriteFields(const ui::SplitFields& fields) override;
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

    FormDialogs m_dialogs;
    CProgressBar m_progress;
    ui::SplitPresenter m_presenter;
    HWND m_sizeLabel = nullptr;
    bool m_bEnd = false;
};

}  // namespace kavendrum::win32
