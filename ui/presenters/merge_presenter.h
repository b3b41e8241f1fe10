#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/content_verification.h"
#include "engine/recovery_operation.h"
#include "engine/verification.h"
#include "ui/presenters/form_view.h"
#include "ui/presenters/option_source.h"

namespace kavendrum::ui {

// What the merge form's controls hold.
struct MergeFields {
    std::string headFileName;
    std::string destFolder;
    std::uint64_t objectFileSize = 0;
    std::uint32_t splitCount = 0;
    std::string objectFileName;
    bool prefixName = false;
    std::string prefixText;
};

// What the merge presenter needs of its form's widgets.
class MergeView {
  public:
    virtual ~MergeView() = default;

    virtual MergeFields ReadFields() const = 0;
    // Writes the fields without raising the form's own change handlers.
    virtual void WriteFields(const MergeFields& fields) = 0;
    virtual void ClearPieces() = 0;
    virtual void AddPiece(const PieceEntry& entry) = 0;
    // The prefix box's state as the click has just left it.
    virtual bool PrefixChecked() const = 0;
    // Read-only and emptied, without a change notification; or editable.
    virtual void SetPrefixEditable(bool editable) = 0;
    // Why the row's piece is bad, shown in the row itself.
    virtual void SetPieceNote(std::size_t /*row*/, const std::string& /*note*/) {}
    // Scrolls the list to the row and selects it.
    virtual void SelectPiece(std::size_t /*row*/) {}
    // The one-line result in the status bar; empty gives the bar back to its usual text.
    virtual void ShowSummary(const std::string& /*text*/) {}
};

// "missing", "size differs", "content differs": why a row is Bad; empty for a good row.
std::string PieceFaultText(PieceFault fault);
// "2 of 18 pieces are bad", counting the pieces a row of a run stands for; empty when none is.
std::string BadPiecesSummary(const std::vector<PieceEntry>& pieces);

// The merge form's members and decisions: loading a head file into the form, the rebuilt file's
// name, and what Verify, Start and the Browse buttons do.
class MergePresenter : public FormHost {
  public:
    static constexpr const char* kHeadFileFilter = "Kavendrum Head File(*.kdh)";

    MergePresenter(MergeView& view, DialogView& dialogs, ProgressView& progress,
                   OptionSource* options);

    // Controls into members (true) or members into controls (false).
    void UpdateData(bool bSaveAndValidate = true);

    void OnStart();
    VerifyOutcome OnVerify();
    void PiecesChecked(const ContentVerification& checked) override;
    void OnBrowseHeadFile();
    void OnBrowseFolder();
    void OnPrefixClicked();
    void LoadHeadFile();
    void OnNameFieldChanged();
    void UpdateOutputName();

    std::string m_strHeadFileName;
    std::string m_strDestFolder;
    std::uint64_t m_dwObjectFileSize = 0;
    std::uint32_t m_nSplitCount = 0;
    std::string m_strObjectFileName;
    std::int32_t m_bPrefixName = 0;
    std::string m_strPrefixName;
    bool m_bFirstInit = true;
    std::string m_strExtension;
    bool m_bVerifyOk = false;

    // Notes the merge's own checksum failure on its way to the box.
    void Notify(const Notice& notice) override;

  private:
    bool HeadFileOpens() const;
    // The rows of a verification with their marks; the first bad one is brought into view.
    void ShowPieces(const std::vector<PieceEntry>& pieces);
    VerifyOutcome Verify();
    SetRepair RepairBesideMovingBar(const std::function<SetRepair()>& repair);
    void ListPiecesOnDisk(std::uint32_t pieceCount);

    MergeView& m_view;
    OptionSource* m_pOptions;
    bool m_bDigestsDiffered = false;
};

}  // namespace kavendrum::ui
