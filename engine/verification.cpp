#include "engine/verification.h"

#include "engine/head_file.h"
#include "engine/io/file_system.h"
#include "engine/pieces_on_disk.h"

namespace kavendrum {

namespace {

// The rows of one verification, in piece order. Pieces that do not open are gathered into a run
// and become rows only when a piece that opened, or the end, closes the run.
class PieceRows {
  public:
    PieceRows(const PieceSet& set, const HeadFileInfo& info)
        : m_set(set), m_info(info), m_oneByOne(info.pieceCount <= kPiecesListedOneByOne) {}

    void Missing(std::uint32_t first, std::uint32_t last) {
        if (m_runCount != 0 && first == m_runFirst + m_runCount) {
            m_runCount += last - first + 1;
            return;
        }
        CloseRun();
        m_runFirst = first;
        m_runCount = last - first + 1;
    }
    void Opened(std::uint32_t number, PieceMark mark, PieceFault fault = PieceFault::None) {
        CloseRun();
        m_rows.push_back({m_set.PiecePath(number), SizeText(number), mark, 1, fault});
    }
    // A piece that stood in the folder yet did not open: a row of its own, so that why stays
    // with it.
    void Unopened(std::uint32_t number, const FileError& error) {
        CloseRun();
        PieceEntry row{m_set.PiecePath(number), SizeText(number), PieceMark::Bad, 1,
                       PieceFault::Missing};
        row.openFailure = PieceOpenFailure{error.cause, error.systemCode};
        m_rows.push_back(std::move(row));
    }
    std::vector<PieceEntry> Finish() {
        CloseRun();
        return std::move(m_rows);
    }

  private:
    std::string SizeText(std::uint32_t number) const {
        return std::to_string(ExpectedPieceSize(m_info, number));
    }
    void CloseRun() {
        if (m_runCount == 0) {
            return;
        }
        const std::uint32_t last = m_runFirst + (m_runCount - 1);
        // The last piece has a size of its own, so it never joins a run.
        const std::uint32_t fullLast = last < m_info.pieceCount ? last : last - 1;
        if (m_oneByOne || fullLast == m_runFirst) {
            for (std::uint32_t number = m_runFirst; number <= fullLast; ++number) {
                m_rows.push_back({m_set.PiecePath(number), SizeText(number), PieceMark::Bad, 1,
                                  PieceFault::Missing});
            }
        } else if (fullLast > m_runFirst) {
            m_rows.push_back({m_set.RunPath(m_runFirst, fullLast), SizeText(m_runFirst),
                              PieceMark::Bad, fullLast - m_runFirst + 1, PieceFault::Missing});
        }
        if (last == m_info.pieceCount) {
            m_rows.push_back(
                {m_set.PiecePath(last), SizeText(last), PieceMark::Bad, 1, PieceFault::Missing});
        }
        m_runCount = 0;
    }

    const PieceSet& m_set;
    const HeadFileInfo& m_info;
    const bool m_oneByOne;
    std::uint32_t m_runFirst = 0;
    std::uint32_t m_runCount = 0;
    std::vector<PieceEntry> m_rows;
};

// Good when the piece has exactly `expected` bytes and passes the further check; otherwise why
// not. The file layer's error when it does not open.
FileResult<PieceFault> FaultOf(const std::string& path, std::uint32_t number,
                               std::uint32_t expected, const PieceCheck& check) {
    auto piece = File::OpenForReading(path);
    if (!piece.ok()) {
        return piece.error();
    }
    const auto length = piece.value().Length();
    if (!length.ok() || length.value() != expected) {
        return PieceFault::SizeDiffers;
    }
    return !check || check(number, piece.value()) ? PieceFault::None : PieceFault::ContentDiffers;
}

// An empty last piece that is not there: it holds no byte, so nothing of the file is missing.
bool HoldsNoByte(const HeadFileInfo& info, std::uint32_t number, const std::string& path) {
    return number == info.pieceCount && LastPieceSize(info) == 0 && !FileExists(path);
}

// Marks one piece the listing found; false when it is not good.
bool MarkListed(const PieceSet& set, const HeadFileInfo& info, std::uint32_t number,
                const PieceCheck& check, PieceRows& rows) {
    const std::string path = set.PiecePath(number);
    const auto fault = FaultOf(path, number, ExpectedPieceSize(info, number), check);
    if (fault.ok()) {
        const bool good = fault.value() == PieceFault::None;
        rows.Opened(number, good ? PieceMark::Good : PieceMark::Bad, fault.value());
        return good;
    }
    if (HoldsNoByte(info, number, path)) {
        rows.Opened(number, PieceMark::Good);
        return true;
    }
    // Gone since the folder was listed, it is missing like any other.
    if (fault.error().cause == FileErrorCause::FileNotFound) {
        rows.Missing(number, number);
    } else {
        rows.Unopened(number, fault.error());
    }
    return false;
}

// The pieces after the last one listed, up to the count; false when one of them is missing.
bool MarkUnlisted(const PieceSet& set, const HeadFileInfo& info, std::uint32_t checkedTo,
                  PieceRows& rows) {
    if (checkedTo >= info.pieceCount) {
        return true;
    }
    const std::uint32_t last = info.pieceCount;
    const bool emptyLast = HoldsNoByte(info, last, set.PiecePath(last));
    const bool missing = checkedTo + 1 < last || !emptyLast;
    if (missing) {
        rows.Missing(checkedTo + 1, emptyLast ? last - 1 : last);
    }
    if (emptyLast) {
        rows.Opened(last, PieceMark::Good);
    }
    return !missing;
}

}  // namespace

std::uint32_t ExpectedPieceSize(const HeadFileInfo& info, std::uint32_t number) {
    return number < info.pieceCount ? info.pieceSize : LastPieceSize(info);
}

std::optional<HeadRecord> ReadHeadRecord(const std::string& headPath, NoticeId notOpened,
                                         OperationHost& host) {
    auto head = File::OpenForReading(headPath);
    if (!head.ok()) {
        // Verification names the file and why; the merge's text has always stood alone.
        Notice notice{.id = notOpened};
        if (notOpened != NoticeId::HeadFileNotOpenedMerge) {
            notice.path = headPath;
            notice.failure = head.error();
        }
        host.Notify(notice);
        return std::nullopt;
    }
    const auto identity = head.value().Identity();
    const auto length = head.value().Length();
    const std::string generation = head.value().Generation();
    const HeadRead read = ReadHeadFile(head.value());
    head.value().Close();
    if (read.status == HeadReadStatus::Failed) {
        host.ReportFileError(read.error);
        return std::nullopt;
    }
    if (read.status != HeadReadStatus::Read) {
        host.Notify({.id = NoticeId::HeadFileUnreadable, .path = headPath});
        return std::nullopt;
    }
    if (!identity.ok() || !length.ok()) {
        host.ReportFileError(identity.ok() ? length.error() : identity.error());
        return std::nullopt;
    }
    return HeadRecord{read.info, {identity.value(), length.value(), generation}};
}

Verification VerifyPieces(const PieceSet& set, const HeadFileInfo& info, const PiecesOnDisk& onDisk,
                          const PieceCheck& check) {
    PieceRows rows(set, info);
    bool allGood = true;
    std::uint32_t checkedTo = 0;  // every piece up to this one has been accounted for
    for (std::uint32_t number = onDisk.NextAfter(0); number != 0;
         number = onDisk.NextAfter(number)) {
        if (number > checkedTo + 1) {
            rows.Missing(checkedTo + 1, number - 1);
            allGood = false;
        }
        allGood = MarkListed(set, info, number, check, rows) && allGood;
        checkedTo = number;
    }
    allGood = MarkUnlisted(set, info, checkedTo, rows) && allGood;
    return {allGood ? VerifyOutcome::Passed : VerifyOutcome::Failed, rows.Finish()};
}

std::optional<std::pair<PieceSet, HeadRecord>> ReadHeadToVerify(const std::string& headPath,
                                                                OperationHost& host) {
    auto set = PieceSet::OfHeadFile(headPath);
    if (!set) {
        host.Notify({.id = NoticeId::HeadFileNameInvalid, .path = headPath});
        return std::nullopt;
    }
    auto head = ReadHeadRecord(headPath, NoticeId::HeadFileNotOpenedVerify, host);
    if (!head) {
        return std::nullopt;
    }
    return std::pair{std::move(*set), std::move(*head)};
}

Verification VerifyPieces(const std::string& headPath, OperationHost& host) {
    const auto named = ReadHeadToVerify(headPath, host);
    if (!named) {
        return {};
    }
    const auto& [set, head] = *named;
    return VerifyPieces(set, head.info, PiecesOnDisk::Find(set, head.info.pieceCount));
}

}  // namespace kavendrum
