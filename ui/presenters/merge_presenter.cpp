#include "ui/presenters/merge_presenter.h"

#include "engine/content_verification.h"
#include "engine/head_file.h"
#include "engine/io/file.h"
#include "engine/merge_operation.h"
#include "engine/object_file_name.h"
#include "engine/paths.h"
#include "engine/pieces_on_disk.h"
#include "engine/recovery_operation.h"

namespace kavendrum::ui {

MergePresenter::MergePresenter(MergeView& view, DialogView& dialogs, ProgressView& progress,
                               OptionSource* options)
    : FormHost(dialogs, progress), m_view(view), m_pOptions(options) {}

void MergePresenter::UpdateData(bool bSaveAndValidate) {
    if (!bSaveAndValidate) {
        m_view.WriteFields({m_strHeadFileName, m_strDestFolder, m_dwObjectFileSize, m_nSplitCount,
                            m_strObjectFileName, m_bPrefixName != 0, m_strPrefixName});
        return;
    }
    const MergeFields fields = m_view.ReadFields();
    m_strHeadFileName = fields.headFileName;
    m_strDestFolder = fields.destFolder;
    m_dwObjectFileSize = fields.objectFileSize;
    m_nSplitCount = fields.splitCount;
    m_strObjectFileName = fields.objectFileName;
    m_bPrefixName = fields.prefixName ? 1 : 0;
    m_strPrefixName = fields.prefixText;
}

bool MergePresenter::HeadFileOpens() const {
    return IsHeadFileName(m_strHeadFileName) && File::OpenForReading(m_strHeadFileName).ok();
}

void MergePresenter::LoadHeadFile() {
    if (m_pOptions == nullptr) {
        return;
    }
    UpdateData(true);
    // Every change of the head file's name takes the destination back to its folder.
    m_strDestFolder = GetFolderPart(m_strHeadFileName);
    UpdateData(false);
    UpdateData(true);

    auto head = IsHeadFileName(m_strHeadFileName) ? File::OpenForReading(m_strHeadFileName)
                                                  : FileResult<File>(FileError{});
    if (!head.ok()) {
        m_dwObjectFileSize = 0;
        m_nSplitCount = 0;
        m_view.ClearPieces();
        UpdateData(false);
        return;
    }
    const HeadRead read = ReadHeadFile(head.value());
    head.value().Close();
    if (read.status != HeadReadStatus::Read) {
        Dialogs().ShowBox("Read info From head file error", "Error", BoxStyle::Ok);
        return;
    }
    m_dwObjectFileSize = WholeFileSize(read.info);
    m_nSplitCount = read.info.pieceCount;
    m_strExtension = read.info.extension;
    UpdateData(false);
    UpdateData(true);
    ListPiecesOnDisk(read.info.pieceCount);
    UpdateOutputName();
}

void MergePresenter::ListPiecesOnDisk(std::uint32_t pieceCount) {
    const std::string stem = SplitBaseName(m_strHeadFileName).base;
    m_view.ClearPieces();
    // Only the pieces the folder holds are tried, whatever count the head file claims.
    const PiecesOnDisk onDisk = PiecesOnDisk::Find(stem, pieceCount);
    for (std::uint32_t number = onDisk.NextAfter(0); number != 0;
         number = onDisk.NextAfter(number)) {
        const std::string path = PiecePath(stem, number);
        auto piece = File::OpenForReading(path);
        if (!piece.ok()) {
            continue;
        }
        const auto length = piece.value().Length();
        m_view.AddPiece({path, length.ok() ? std::to_string(length.value()) : std::string(),
                         PieceMark::Unchecked});
    }
}

void MergePresenter::OnNameFieldChanged() {
    UpdateOutputName();
}

void MergePresenter::UpdateOutputName() {
    if (m_pOptions == nullptr) {
        Dialogs().ShowBox("Get MainFrame Error!", "Error", BoxStyle::Ok);
        return;
    }
    UpdateData(true);
    if (!HeadFileOpens()) {
        return;
    }
    UpdateData(true);
    // A prefix that names no file of its own ("..", say) leaves no object file name, and a merge
    // then creates nothing.
    m_strObjectFileName = FormObjectFileName(m_strDestFolder, m_strHeadFileName, m_bPrefixName != 0,
                                             m_strPrefixName, m_strExtension)
                              .value_or(std::string());
    UpdateData(false);
}

void MergePresenter::OnPrefixClicked() {
    m_view.SetPrefixEditable(m_view.PrefixChecked());
    UpdateOutputName();
}

void MergePresenter::OnBrowseHeadFile() {
    const std::string chosen = Dialogs().ChooseFileToOpen(kHeadFileFilter);
    if (chosen.empty()) {
        return;
    }
    m_strHeadFileName = chosen;
    UpdateData(false);
    LoadHeadFile();
}

void MergePresenter::OnBrowseFolder() {
    UpdateData(true);
    const auto chosen = Dialogs().ChooseFolder(m_strDestFolder);
    if (!chosen) {
        return;
    }
    m_strDestFolder = *chosen;
    UpdateData(false);
    UpdateOutputName();
}

VerifyOutcome MergePresenter::OnVerify() {
    UpdateData(true);
    if (m_pOptions == nullptr) {
        Dialogs().ShowBox("Get MainFrame Error!", "Error", BoxStyle::Ok);
        m_bVerifyOk = false;
        return VerifyOutcome::Failed;
    }
    const COperationScope running;
    // With a checksum file beside the head file the pieces are read, and the bar shows how far.
    // Pieces an interrupted merge into the object file has removed count when it can be taken up.
    const RecoveryVerification verified =
        VerifyWithRecovery(m_strHeadFileName, *this, m_strObjectFileName);
    const Verification& verification = verified.checked.verification;
    if (verification.pieces) {
        m_view.ClearPieces();
        for (const auto& entry : *verification.pieces) {
            m_view.AddPiece(entry);
        }
    }
    m_bVerifyOk = verification.outcome == VerifyOutcome::Passed;
    // With recovery files beside the head file, the user learns what they can rebuild.
    if (verified.recovery && verified.recovery->BadPieces() > 0) {
        Notice notice;
        notice.id = NoticeId::PiecesRepairable;
        notice.path = m_strHeadFileName;
        notice.needed = verified.recovery->BadPieces();
        notice.available = verified.recovery->RebuildablePieces();
        Notify(notice);
    }
    return verification.outcome;
}

void MergePresenter::OnStart() {
    UpdateData(true);
    const MergeRequest request{m_strHeadFileName, m_strDestFolder, m_strObjectFileName};
    const COperationScope running;
    // Pieces the recovery files can rebuild are rebuilt first, when the user agrees.
    if (m_pOptions != nullptr && !RepairFirstIfAgreed(m_strHeadFileName, *this)) {
        return;
    }
    RunMerge(request, m_pOptions != nullptr ? &m_pOptions->Options() : nullptr, *this,
             [this] { return OnVerify(); });
}

}  // namespace kavendrum::ui
