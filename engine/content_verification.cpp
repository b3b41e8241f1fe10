#include "engine/content_verification.h"

#include <algorithm>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "engine/checksum_file.h"
#include "engine/head_file.h"
#include "engine/io/file_system.h"
#include "engine/io/sha256.h"
#include "engine/merge_journal.h"
#include "engine/paths.h"
#include "engine/progress_counter.h"

namespace kavendrum {

namespace {

constexpr std::size_t kReadBlock = 256 * 1024;

std::uint64_t BlocksIn(std::uint64_t size) {
    return (size + kReadBlock - 1) / kReadBlock;
}

// Reads the open file to its end and hashes it, calling `step` once per block read; nothing when
// reading or hashing fails, or when `step` says to stop.
template <typename Step>
std::optional<Sha256Digest> HashToEnd(File& file, std::vector<char>& buffer, Step step) {
    Sha256 digest;
    for (;;) {
        const auto got = file.Read(buffer.data(), buffer.size());
        if (!got.ok()) {
            return std::nullopt;
        }
        if (got.value() == 0) {
            break;
        }
        digest.Update(buffer.data(), got.value());
        if (!step()) {
            return std::nullopt;
        }
        if (got.value() < buffer.size()) {
            break;
        }
    }
    return digest.Finish();
}

// The bytes read to check the pieces that have a line.
std::uint64_t CheckedBytes(const PieceChecksums& checksums, const HeadFileInfo& info) {
    std::uint64_t bytes = 0;
    for (const auto& [number, digest] : checksums.Pieces()) {
        bytes += ExpectedPieceSize(info, number);
    }
    return bytes;
}

// A piece hashed ahead of its turn: what was read, and which file it was.
struct HashedAhead {
    std::uint32_t number = 0;
    std::optional<FileIdentity> identity;
    std::uint64_t length = 0;
    std::optional<Sha256Digest> digest;
};

HashedAhead HashAhead(std::uint32_t number, const std::string& path, std::vector<char>& buffer) {
    HashedAhead ahead;
    ahead.number = number;
    auto file = File::OpenForReading(path);
    if (!file.ok()) {
        return ahead;
    }
    const auto identity = file.value().Identity();
    const auto length = file.value().Length();
    if (!identity.ok() || !length.ok()) {
        return ahead;
    }
    ahead.digest = HashToEnd(file.value(), buffer, [] { return true; });
    ahead.identity = identity.value();
    ahead.length = length.value();
    return ahead;
}

// Reads each piece that has a line and compares its digest, moving the bar once per block read.
// While one piece is hashed here, the next piece with a line is hashed on a second thread, so two
// processors share the work. That thread is always done, and its file closed, before the
// verification opens the next piece, and its digest counts only for the very file then opened.
class ContentCheck {
  public:
    ContentCheck(const PieceChecksums& checksums, const HeadFileInfo& info, const PieceSet& set,
                 OperationHost& host)
        : m_checksums(checksums),
          m_set(set),
          m_host(host),
          m_progress(host, TotalSteps(checksums, info)) {}
    ~ContentCheck() { FinishAhead(); }
    ContentCheck(const ContentCheck&) = delete;
    ContentCheck& operator=(const ContentCheck&) = delete;

    bool Check(std::uint32_t number, File& piece) {
        if (m_checksums.Disputed(number)) {
            m_contentBad.push_back(number);
            return false;
        }
        const auto expected = m_checksums.ForPiece(number);
        if (!expected) {
            return true;
        }
        if (m_host.StopRequested()) {
            return false;
        }
        auto digest = TakeAhead(number, piece);
        if (!digest) {
            StartAhead(number);
            digest = HashToEnd(piece, m_buffer, [this] {
                m_progress.Step();
                return !m_host.StopRequested();
            });
            FinishAhead();
            m_progress.Step();
        }
        if (!digest) {
            return false;
        }
        const bool good = digest == expected;
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
            steps += BlocksIn(ExpectedPieceSize(info, number)) + 1;
        }
        return steps;
    }

    // Starts hashing the first piece after `number` that has a line, if a thread can be had.
    void StartAhead(std::uint32_t number) {
        const auto& pieces = m_checksums.Pieces();
        const auto next =
            std::upper_bound(pieces.begin(), pieces.end(), number,
                             [](std::uint32_t n, const auto& entry) { return n < entry.first; });
        if (next == pieces.end()) {
            return;
        }
        m_aheadBuffer.resize(kReadBlock);
        const std::uint32_t aheadNumber = next->first;
        try {
            m_aheadThread = std::thread([this, aheadNumber, path = m_set.PiecePath(aheadNumber)] {
                // Nothing may leave a thread; whatever fails here, the piece is hashed in its turn.
                try {
                    m_ahead = HashAhead(aheadNumber, path, m_aheadBuffer);
                } catch (...) {
                    m_ahead = {};
                }
            });
        } catch (const std::system_error&) {
            // Without a second thread every piece is hashed here in its turn.
        }
    }

    void FinishAhead() {
        if (m_aheadThread.joinable()) {
            m_aheadThread.join();
        }
    }

    // The digest hashed ahead for this piece, when it was hashed from the same file with the
    // same length; the bar then moves by the whole piece at once.
    std::optional<Sha256Digest> TakeAhead(std::uint32_t number, File& piece) {
        const HashedAhead ahead = std::exchange(m_ahead, {});
        if (ahead.number != number || !ahead.digest) {
            return std::nullopt;
        }
        const auto identity = piece.Identity();
        const auto length = piece.Length();
        if (!identity.ok() || !length.ok() || ahead.identity != identity.value() ||
            ahead.length != length.value()) {
            return std::nullopt;
        }
        for (std::uint64_t step = BlocksIn(ahead.length) + 1; step > 0; --step) {
            m_progress.Step();
        }
        return ahead.digest;
    }

    const PieceChecksums& m_checksums;
    const PieceSet m_set;
    OperationHost& m_host;
    ProgressCounter m_progress;
    std::vector<char> m_buffer = std::vector<char>(kReadBlock);
    std::vector<char> m_aheadBuffer;
    HashedAhead m_ahead;
    std::vector<std::uint32_t> m_contentBad;
    std::thread m_aheadThread;
};

// Pieces gone after an interrupted merge counted them into its file are not missing, that merge
// being one that can be taken up. A row may stand for a run of pieces.
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
            entry.fault = PieceFault::None;
            entry.openFailure.reset();
        }
        allGood = allGood && entry.mark == PieceMark::Good;
        first = last + 1;
    }
    verification.outcome = allGood ? VerifyOutcome::Passed : VerifyOutcome::Failed;
}

// The checksum file as it was read: its name, looked at before and after, named one file of one
// size throughout, or nothing is known of it.
template <typename Read>
std::optional<FileStamp> StampAround(const std::string& path, Read read) {
    const auto before = StampOf(path);
    read();
    const auto after = StampOf(path);
    return before == after ? before : std::nullopt;
}

}  // namespace

std::optional<SetChecksums> ReadSetChecksums(const PieceSet& set, const HeadFileInfo& info,
                                             OperationHost& host) {
    const std::string path = set.ChecksumPath();
    const ChecksumNames names{set.Base(), info.pieceCount,
                              RebuiltFileName(set.Base(), info.extension)};
    ChecksumRead read;
    const auto stamp = StampAround(path, [&] { read = ReadChecksumFile(path, names); });
    if (read.error) {
        host.Notify({.id = NoticeId::ChecksumFileUnreadable,
                     .path = read.error->path,
                     .failure = read.error});
        return std::nullopt;
    }
    return SetChecksums{std::move(read.checksums), stamp};
}

ContentVerification VerifyWithChecksums(const KnownSet& known, OperationHost& host) {
    ContentVerification result;
    if (known.checksums && known.checksums->NamesAPiece()) {
        host.EnterPhase(RunPhase::Verifying, CheckedBytes(*known.checksums, known.info));
        host.PlaceProgressOnce();
        ContentCheck check(*known.checksums, known.info, known.set, host);
        result.verification = VerifyPieces(
            known.set, known.info, known.onDisk,
            [&check](std::uint32_t number, File& piece) { return check.Check(number, piece); });
        result.contentBad = check.TakeContentBad();
        host.SetPosition(0);
    } else {
        host.EnterPhase(RunPhase::Verifying, 0);
        result.verification = VerifyPieces(known.set, known.info, known.onDisk);
    }
    if (known.interrupted) {
        CountMergedPiecesGood(result.verification, *known.interrupted);
    }
    return result;
}

ContentVerification VerifyWithChecksums(const std::string& headPath, OperationHost& host,
                                        const std::string& outputPath) {
    const auto named = ReadHeadToVerify(headPath, host);
    if (!named) {
        return {};
    }
    const auto& [set, head] = *named;
    const auto checksums = ReadSetChecksums(set, head.info, host);
    if (!checksums) {
        return {};
    }
    const PiecesOnDisk onDisk = PiecesOnDisk::Find(set, head.info.pieceCount);
    const auto interrupted = outputPath.empty()
                                 ? std::nullopt
                                 : FindInterruptedMerge(set, head.info, outputPath, onDisk);
    return VerifyWithChecksums(
        {set, head.info, onDisk, checksums->checksums ? &*checksums->checksums : nullptr,
         interrupted ? &interrupted->stored.journal : nullptr},
        host);
}

void MarkContentBad(ContentVerification& checked, const std::vector<std::uint32_t>& numbers) {
    auto& rows = checked.verification.pieces;
    if (!rows || numbers.empty()) {
        return;
    }
    std::uint64_t next = 1;  // the first piece of the next row; a row may stand for a run
    for (PieceEntry& row : *rows) {
        const std::uint64_t number = next;
        next += row.count;
        if (row.count != 1 || row.mark == PieceMark::Bad ||
            std::find(numbers.begin(), numbers.end(), number) == numbers.end()) {
            continue;
        }
        row.mark = PieceMark::Bad;
        row.fault = PieceFault::ContentDiffers;
        checked.contentBad.push_back(static_cast<std::uint32_t>(number));
        checked.verification.outcome = VerifyOutcome::Failed;
    }
    std::sort(checked.contentBad.begin(), checked.contentBad.end());
}

}  // namespace kavendrum
