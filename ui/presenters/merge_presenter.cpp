#include "ui/presenters/merge_presenter.h"

#include <optional>

#include "engine/content_verification.h"
#include "engine/head_file.h"
#include "engine/io/file.h"
#include "engine/merge_operation.h"
#include "engine/object_file_name.h"
#include "engine/paths.h"
#include "engine/piece_set.h"
#include "engine/pieces_on_disk.h"
#include "engine/recovery_operation.h"

namespace kavendrum::ui {

std::string PieceFaultText(PieceFault fault) {
    switch (fault) {
        case PieceFault::Missing:
            return "missing";
        case PieceFault::SizeDiffers:
            return "size differs";
        case PieceFault::ContentDiffers:
            return "content differs";
        case PieceFault::None:
            break;
    }
    return std::string();
}

std::string BadPiecesSummary(const std::vector<PieceEntry>& pieces) {
    std::uint64_t total = 0;
    std::uint64_t bad = 0;
    for (const PieceEntry& entry : pieces) {
        total += entry.count;
        if (entry.mark == PieceMark::Bad) {
            bad += entry.count;
        }
    }
    if (bad == 0) {
        return std::string();
    }
    return std::to_string(bad) + " of " + std::to_string(total) +
           (bad == 1 ? " pieces is bad" : " pieces are bad");
}

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
        Dialogs().Show(NoticeOf(NoticeId::HeadFileUnreadableForm));
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
    m_view.ClearPieces();
    const auto set = PieceSet::OfHeadFile(m_strHeadFileName);
    if (!set) {
        return;
    }
    // Only the pieces the folder holds are tried, whatever count the head file claims.
    const PiecesOnDisk onDisk = PiecesOnDisk::Find(*set, pieceCount);
    for (std::uint32_t number = onDisk.NextAfter(0); number != 0;
         number = onDisk.NextAfter(number)) {
        const std::string path = set->PiecePath(number);
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
        Dialogs().Show(NoticeOf(NoticeId::MainFrameMissingMerge));
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
    UpdateData(true);
    const std::string chosen =
        Dialogs().ChooseFileToOpenIn(kHeadFileFilter, StartFolderFor(m_strHeadFileName));
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
    const BusyScope busy(Progress());
    m_view.ShowSummary(std::string());
    return Verify();
}

VerifyOutcome MergePresenter::Verify() {
    UpdateData(true);
    if (m_pOptions == nullptr) {
        Dialogs().Show(NoticeOf(NoticeId::MainFrameMissingMerge));
        m_bVerifyOk = false;
        return VerifyOutcome::Failed;
    }
    const COperationScope running;
    // With a checksum file beside the head file the pieces are read, and the bar shows how far.
    // Pieces an interrupted merge into the object file has removed count when it can be taken up.
    const RecoveryVerification verified =
        VerifyWithRecovery(m_strHeadFileName, *this, m_strObjectFileName);
    PiecesChecked(verified.checked);
    // With recovery files beside the head file, the user learns what they can rebuild.
    if (verified.recovery && verified.recovery->BadPieces() > 0) {
        Notice notice;
        notice.id = NoticeId::PiecesRepairable;
        notice.path = m_strHeadFileName;
        notice.needed = verified.recovery->BadPieces();
        notice.available = verified.recovery->RebuildablePieces();
        Notify(notice);
    }
    return m_bVerifyOk ? VerifyOutcome::Passed : VerifyOutcome::Failed;
}

// The rows of a verification, the button's or the one a merge runs first, into the list.
void MergePresenter::PiecesChecked(const ContentVerification& checked) {
    const Verification& verification = checked.verification;
    if (verification.pieces) {
        ShowPieces(*verification.pieces);
    }
    m_bVerifyOk = verification.outcome == VerifyOutcome::Passed;
}

// No box says that a piece is bad, so the list must: a bad row scrolled out of sight among
// ticks would leave the user with nothing.
void MergePresenter::ShowPieces(const std::vector<PieceEntry>& pieces) {
    m_view.ClearPieces();
    std::optional<std::size_t> firstBad;
    for (std::size_t row = 0; row < pieces.size(); ++row) {
        m_view.AddPiece(pieces[row]);
        if (pieces[row].mark == PieceMark::Bad) {
            m_view.SetPieceNote(row, PieceFaultText(pieces[row].fault));
            firstBad = firstBad.value_or(row);
        }
    }
    if (firstBad) {
        m_view.SelectPiece(*firstBad);
    }
    m_view.ShowSummary(BadPiecesSummary(pieces));
}

void MergePresenter::Notify(const Notice& notice) {
    if (notice.id == NoticeId::MergedChecksumMismatch) {
        m_bDigestsDiffered = true;
    }
    FormHost::Notify(notice);
}

// The repair reads every piece and says nothing until it ends; the bar goes round meanwhile.
SetRepair MergePresenter::RepairBesideMovingBar(const std::function<SetRepair()>& repair) {
    constexpr int kSteps = 20;
    PlaceProgressOnce();
    SetStepRange(0, kSteps, 1);
    SetPosition(0);
    return RunWithMovingBar(Progress(), repair);
}

void MergePresenter::OnStart() {
    const BusyScope busy(Progress());
    m_view.ShowSummary(std::string());
    UpdateData(true);
    MergeRequest request{m_strHeadFileName, m_strDestFolder, m_strObjectFileName};
    m_bDigestsDiffered = false;
    {
        const COperationScope running;
        // Pieces the recovery files can rebuild are rebuilt first, when the user agrees; those
        // they found damaged and that were not rebuilt fail the merge's verification.
        if (m_pOptions != nullptr) {
            const RepairOffer offer =
                OfferRepairFirst(m_strHeadFileName, *this, kDefaultRecoveryMemory, {},
                                 [this](const std::function<SetRepair()>& repair) {
                                     return RepairBesideMovingBar(repair);
                                 });
            if (offer.repairFailed) {
                return;
            }
            if (offer.before) {
                request.knownDamaged = offer.before->DamagedPieces();
            }
        }
        RunMerge(request, m_pOptions != nullptr ? &m_pOptions->Options() : nullptr, *this);
    }
    if (m_bDigestsDiffered) {
        // The merge read pieces whose digests differ from their lines: the pieces as they are
        // now are checked again, so that the list shows which, not the ticks from before.
        Verify();
    }
}

}  // namespace kavendrum::ui
