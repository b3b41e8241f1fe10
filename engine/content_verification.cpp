#include "engine/content_verification.h"

#include <algorithm>

#include "engine/checksum_file.h"
#include "engine/digest_pipe.h"
#include "engine/head_file.h"
#include "engine/io/file_system.h"
#include "engine/merge_journal.h"
#include "engine/paths.h"
#include "engine/progress_counter.h"

namespace kavendrum {

namespace {

std::uint32_t ExpectedSize(const HeadFileInfo& info, std::uint32_t number) {
    return number < info.pieceCount ? info.pieceSize : LastPieceSize(info);
}

// Reads each piece that has a line through a hashing thread and compares its digest, moving the
// bar once per block read.
class ContentCheck {
  public:
    ContentCheck(const PieceChecksums& checksums, const HeadFileInfo& info, OperationHost& host)
        : m_checksums(checksums), m_progress(host, TotalSteps(checksums, info)) {}

    bool Check(std::uint32_t number, File& piece) {
        const auto expected = m_checksums.ForPiece(number);
        if (!expected) {
            return true;
        }
        const auto length = piece.Length();
        if (!length.ok()) {
            return false;
        }
        std::uint64_t left = length.value();
        while (left > 0) {
            const auto chunk =
                static_cast<std::size_t>(std::min<std::uint64_t>(left, DigestPipe::kBlockSize));
            const Moved moved = m_pipe.Move(piece, nullptr, chunk);
            if (moved.error || moved.bytes < chunk) {
                m_pipe.EndPiece();
                m_pipe.TakePieceDigests();
                return false;
            }
            left -= chunk;
            m_progress.Step();
        }
        m_progress.Step();
        m_pipe.EndPiece();
        const auto digests = m_pipe.TakePieceDigests();
        const bool good = digests.size() == 1 && digests[0] == expected;
        if (!good) {
            m_contentBad.push_back(number);
        }
        return good;
    }

    std::vector<std::uint32_t> TakeContentBad() { return std::move(m_contentBad); }

  private:
    static std::uint64_t TotalSteps(const PieceChecksums& checksums, const HeadFileInfo& info) {
        std::uint64_t steps = 0;
        for (const auto& [number, digest] : checksums.Pieces()) {
            // One step per block read, whole or not, and one as the piece ends.
            const std::uint64_t size = ExpectedSize(info, number);
            steps += (size + DigestPipe::kBlockSize - 1) / DigestPipe::kBlockSize + 1;
        }
        return steps;
    }

    const PieceChecksums& m_checksums;
    ProgressCounter m_progress;
    DigestPipe m_pipe{true, false};
    std::vector<std::uint32_t> m_contentBad;
};

// Pieces gone after an interrupted merge counted them into its output are not missing. A row may
// stand for a run of pieces.
void CountMergedPiecesGood(Verification& verification, const MergeJournal& journal) {
    if (!verification.pieces) {
        return;
    }
    bool allGood = true;
    std::uint64_t first = 1;  // the first piece the row stands for
    for (auto& entry : *verification.pieces) {
        const std::uint64_t last = first + entry.count - 1;
        if (last <= journal.piecesMerged && entry.mark == PieceMark::Bad &&
            (entry.count > 1 || !FileExists(entry.path))) {
            entry.mark = PieceMark::Good;
        }
        allGood = allGood && entry.mark == PieceMark::Good;
        first = last + 1;
    }
    verification.outcome = allGood ? VerifyOutcome::Passed : VerifyOutcome::Failed;
}

}  // namespace

ContentVerification VerifyWithChecksums(const std::string& headPath, OperationHost& host) {
    ContentVerification result;
    const auto info = IsHeadFileName(headPath) ? PeekHeadFile(headPath) : std::nullopt;
    if (!info) {
        // Whatever is wrong with the head file, the plain verification says so.
        result.verification = VerifyPieces(headPath, host);
        return result;
    }
    const std::string stem = SplitBaseName(headPath).base;
    const std::string base = GetFileName(stem);
    ChecksumRead checksums = ReadChecksumFile(
        ChecksumFilePath(stem), {base, info->pieceCount, RebuiltFileName(base, info->extension)});
    if (checksums.error) {
        host.ReportFileError(*checksums.error);
        return result;
    }
    if (checksums.checksums && !checksums.checksums->Pieces().empty()) {
        host.PlaceProgressOnce();
        ContentCheck check(*checksums.checksums, *info, host);
        result.verification = VerifyPieces(
            headPath, host,
            [&check](std::uint32_t number, File& piece) { return check.Check(number, piece); });
        result.contentBad = check.TakeContentBad();
        host.SetPosition(0);
    } else {
        result.verification = VerifyPieces(headPath, host);
    }
    if (const auto journal = ReadJournal(JournalPath(stem), *info)) {
        CountMergedPiecesGood(result.verification, *journal);
    }
    return result;
}

}  // namespace kavendrum
