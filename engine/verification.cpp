#include "engine/verification.h"

#include "engine/head_file.h"
#include "engine/io/file_system.h"
#include "engine/paths.h"
#include "engine/pieces_on_disk.h"

namespace kavendrum {

namespace {

// The rows of one verification, in piece order. Pieces that do not open are gathered into a run
// and become rows only when a piece that opened, or the end, closes the run.
class PieceRows {
  public:
    PieceRows(const std::string& stem, const HeadFileInfo& info)
        : m_stem(stem), m_info(info), m_oneByOne(info.pieceCount <= kPiecesListedOneByOne) {}

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
        m_rows.push_back({PiecePath(m_stem, number), SizeText(number), mark, 1, fault});
    }
    std::vector<PieceEntry> Finish() {
        CloseRun();
        return std::move(m_rows);
    }

  private:
    std::string SizeText(std::uint32_t number) const {
        return std::to_string(number < m_info.pieceCount ? m_info.pieceSize
                                                         : LastPieceSize(m_info));
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
                m_rows.push_back({PiecePath(m_stem, number), SizeText(number), PieceMark::Bad, 1,
                                  PieceFault::Missing});
            }
        } else if (fullLast > m_runFirst) {
            m_rows.push_back({RunPath(m_stem, m_runFirst, fullLast), SizeText(m_runFirst),
                              PieceMark::Bad, fullLast - m_runFirst + 1, PieceFault::Missing});
        }
        if (last == m_info.pieceCount) {
            m_rows.push_back(
                {PiecePath(m_stem, last), SizeText(last), PieceMark::Bad, 1, PieceFault::Missing});
        }
        m_runCount = 0;
    }

    const std::string& m_stem;
    const HeadFileInfo& m_info;
    const bool m_oneByOne;
    std::uint32_t m_runFirst = 0;
    std::uint32_t m_runCount = 0;
    std::vector<PieceEntry> m_rows;
};

// Good when the piece has exactly `expected` bytes and passes the further check; otherwise why
// not. None when it does not open.
std::optional<PieceFault> FaultOf(const std::string& path, std::uint32_t number,
                                  std::uint32_t expected, const PieceCheck& check) {
    auto piece = File::OpenForReading(path);
    if (!piece.ok()) {
        return std::nullopt;
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

}  // namespace

std::string AsciiLower(const std::string& text) {
    std::string out = text;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const bool secondHalf = i > 0 && static_cast<unsigned char>(text[i - 1]) >= 0x7F;
        if (!secondHalf && out[i] >= 'A' && out[i] <= 'Z') {
            out[i] = static_cast<char>(out[i] + 32);
        }
    }
    return out;
}

bool IsHeadFileName(const std::string& path) {
    const std::string tail = path.size() < 4 ? path : path.substr(path.size() - 4);
    return AsciiLower(tail) == ".kdh";
}

std::string PiecePath(const std::string& stem, std::uint32_t number) {
    return stem + "_" + std::to_string(number) + ".skf";
}

std::string RunPath(const std::string& stem, std::uint32_t first, std::uint32_t last) {
    return stem + "_{" + std::to_string(first) + ".." + std::to_string(last) + "}.skf";
}

Verification VerifyPieces(const std::string& headPath, OperationHost& host,
                          const PieceCheck& check) {
    Verification result;
    if (!IsHeadFileName(headPath)) {
        host.ShowMessageAbout("Invalid head file name!", "Error", headPath, std::nullopt);
        return result;
    }
    auto head = File::OpenForReading(headPath);
    if (!head.ok()) {
        host.ShowMessageAbout("Head file open error!", "Error", headPath, head.error());
        return result;
    }
    const HeadRead read = ReadHeadFile(head.value());
    head.value().Close();
    if (read.status == HeadReadStatus::Failed) {
        host.ReportFileError(read.error);
        return result;
    }
    if (read.status != HeadReadStatus::Read) {
        host.ShowMessageAbout("Read info from head file error!", "Error", headPath, std::nullopt);
        return result;
    }

    const HeadFileInfo& info = read.info;
    const std::string stem = SplitBaseName(headPath).base;
    const PiecesOnDisk onDisk = PiecesOnDisk::Find(stem, info.pieceCount);
    PieceRows rows(stem, info);
    bool allGood = true;
    std::uint32_t checkedTo = 0;  // every piece up to this one has been accounted for
    for (std::uint32_t number = onDisk.NextAfter(0); number != 0;
         number = onDisk.NextAfter(number)) {
        if (number > checkedTo + 1) {
            rows.Missing(checkedTo + 1, number - 1);
            allGood = false;
        }
        const std::uint32_t expected =
            number < info.pieceCount ? info.pieceSize : LastPieceSize(info);
        if (const auto fault = FaultOf(PiecePath(stem, number), number, expected, check)) {
            const bool good = *fault == PieceFault::None;
            rows.Opened(number, good ? PieceMark::Good : PieceMark::Bad, *fault);
            allGood = allGood && good;
        } else if (HoldsNoByte(info, number, PiecePath(stem, number))) {
            rows.Opened(number, PieceMark::Good);
        } else {
            rows.Missing(number, number);
            allGood = false;
        }
        checkedTo = number;
    }
    if (checkedTo < info.pieceCount) {
        const std::uint32_t last = info.pieceCount;
        const bool emptyLast = HoldsNoByte(info, last, PiecePath(stem, last));
        if (checkedTo + 1 < last || !emptyLast) {
            rows.Missing(checkedTo + 1, emptyLast ? last - 1 : last);
            allGood = false;
        }
        if (emptyLast) {
            rows.Opened(last, PieceMark::Good);
        }
    }
    result.outcome = allGood ? VerifyOutcome::Passed : VerifyOutcome::Failed;
    result.pieces = rows.Finish();
    return result;
}

}  // namespace kavendrum
