#include "engine/content_verification.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "engine/checksum_file.h"
#include "engine/head_file.h"
#include "engine/io/file_system.h"
#include "engine/io/sha256.h"
#include "engine/io/sha256_pair.h"
#include "engine/merge_journal.h"
#include "engine/paths.h"
#include "engine/progress_counter.h"

namespace kavendrum {

namespace {

constexpr std::size_t kReadBlock = 256 * 1024;

std::uint64_t BlocksIn(std::uint64_t size) {
    return (size + kReadBlock - 1) / kReadBlock;
}

// Reads the open file to its end, a block at a time into `buffer`, and hashes it, calling `step`
// once per block read; nothing when reading or hashing fails, or when `step` says to stop.
template <typename Step>
std::optional<Sha256Digest> HashToEnd(File& file, std::vector<char>& buffer, Step step) {
    Sha256 digest;
    for (;;) {
        const auto got = file.Read(buffer.data(), kReadBlock);
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
        if (got.value() < kReadBlock) {
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
    std::uint64_t steps = 0;  // how far the bar moved already while it was read
};

// The file as it was opened, or nothing of it when that cannot be told.
bool Describe(File& file, HashedAhead& ahead) {
    const auto identity = file.Identity();
    const auto length = file.Length();
    if (!identity.ok() || !length.ok()) {
        return false;
    }
    ahead.identity = identity.value();
    ahead.length = length.value();
    return true;
}

struct LaneRead {
    std::optional<Sha256Digest> digest;  // nothing when reading failed or was stopped
    std::uint64_t blocks = 0;
};

// Reads two open files side by side to their ends, each into its own lane of one pair of
// digests (a lane without a file stays out), calling `step` once per block read. `buffer` holds
// a block for each lane. Both lanes give nothing when `step` says to stop.
template <typename Step>
std::array<LaneRead, 2> HashTwoToEnd(const std::array<File*, 2>& files, std::vector<char>& buffer,
                                     Step step) {
    Sha256Pair pair;
    std::array<LaneRead, 2> lanes;
    std::array<bool, 2> reading{files[0] != nullptr, files[1] != nullptr};
    std::array<bool, 2> failed{false, false};
    while (reading[0] || reading[1]) {
        std::array<std::size_t, 2> got{0, 0};
        for (int lane = 0; lane < 2; ++lane) {
            if (!reading[lane]) {
                continue;
            }
            const auto read = files[lane]->Read(buffer.data() + lane * kReadBlock, kReadBlock);
            failed[lane] = !read.ok();
            got[lane] = read.ok() ? read.value() : 0;
            reading[lane] = got[lane] == kReadBlock;
            if (got[lane] != 0 && !step()) {
                return {};
            }
            lanes[lane].blocks += got[lane] != 0 ? 1 : 0;
        }
        pair.Update(buffer.data(), got[0], buffer.data() + kReadBlock, got[1]);
    }
    for (int lane = 0; lane < 2; ++lane) {
        const auto lastDigest = pair.Finish(lane == 0 ? Sha256Pair::kFirst : Sha256Pair::kSecond);
        if (files[lane] != nullptr && !failed[lane]) {
            lanes[lane].digest = lastDigest;
        }
    }
    return lanes;
}

// Opens and hashes the pieces `numbers` (one or two) side by side, each with what it was.
template <typename Step>
std::vector<HashedAhead> HashAhead(const std::vector<std::uint32_t>& numbers, const PieceSet& set,
                                   std::vector<char>& buffer, Step step) {
    std::vector<HashedAhead> hashed(numbers.size());
    std::array<std::optional<File>, 2> opened;
    std::array<File*, 2> files{nullptr, nullptr};
    for (std::size_t i = 0; i < numbers.size() && i < 2; ++i) {
        hashed[i].number = numbers[i];
        auto file = File::OpenForReading(set.PiecePath(numbers[i]));
        if (file.ok() && Describe(file.value(), hashed[i])) {
            opened[i].emplace(std::move(file.value()));
            files[i] = &*opened[i];
        }
    }
    const auto lanes = HashTwoToEnd(files, buffer, step);
    for (std::size_t i = 0; i < numbers.size() && i < 2; ++i) {
        hashed[i].digest = lanes[i].digest;
        hashed[i].steps = lanes[i].blocks;
    }
    return hashed;
}

// Reads each piece that has a line and compares its digest, moving the bar once per block read.
// The pieces are hashed in rounds: this thread hashes the piece whose turn it is and, where one
// core can run two digests at once, the next piece with a line beside it; a second thread hashes
// the one or two after those, so both processors share the work. The second thread is always
// done, and every file a round opened closed, before the verification opens the next piece, and
// a digest hashed ahead counts only for the very file then opened.
class ContentCheck {
  public:
    ContentCheck(const PieceChecksums& checksums, const HeadFileInfo& info, const PieceSet& set,
                 OperationHost& host)
        : m_checksums(checksums),
          m_set(set),
          m_host(host),
          m_progress(host, TotalSteps(checksums, info)) {}
    ~ContentCheck() { FinishHelper(); }
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
            digest = HashRound(number, piece);
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

    // Moves the bar by a block; false, and the second thread told to stop, once the host asks.
    bool Step() {
        m_progress.Step();
        if (m_host.StopRequested()) {
            m_stop = true;
            return false;
        }
        return true;
    }

    std::optional<Sha256Digest> HashRound(std::uint32_t number, File& piece) {
        m_ahead.clear();
        const std::vector<std::uint32_t> next = NextWithLines(number, 2 * m_lanes - 1);
        // This thread takes the larger half of the round, its own piece first.
        const std::size_t here = next.size() / 2;
        StartHelper({next.begin() + static_cast<std::ptrdiff_t>(here), next.end()});
        std::optional<Sha256Digest> digest;
        if (here == 0) {
            digest = HashToEnd(piece, m_buffer, [this] { return Step(); });
        } else {
            digest = HashWithNext(piece, next.front());
        }
        FinishHelper();
        m_progress.Step();
        return digest;
    }

    // The piece whose turn it is and the one after it, side by side on this thread.
    std::optional<Sha256Digest> HashWithNext(File& piece, std::uint32_t nextNumber) {
        HashedAhead next;
        next.number = nextNumber;
        auto file = File::OpenForReading(m_set.PiecePath(nextNumber));
        const bool nextOpen = file.ok() && Describe(file.value(), next);
        const auto lanes = HashTwoToEnd({&piece, nextOpen ? &file.value() : nullptr}, m_buffer,
                                        [this] { return Step(); });
        next.digest = lanes[1].digest;
        next.steps = lanes[1].blocks;
        m_ahead.push_back(next);
        return lanes[0].digest;
    }

    // Up to `count` pieces after `number` that have a line, in order.
    std::vector<std::uint32_t> NextWithLines(std::uint32_t number, std::size_t count) const {
        const auto& pieces = m_checksums.Pieces();
        auto next =
            std::upper_bound(pieces.begin(), pieces.end(), number,
                             [](std::uint32_t n, const auto& entry) { return n < entry.first; });
        std::vector<std::uint32_t> numbers;
        for (; next != pieces.end() && numbers.size() < count; ++next) {
            numbers.push_back(next->first);
        }
        return numbers;
    }

    // Starts hashing `numbers` (none to two) on a second thread, if one can be had.
    void StartHelper(std::vector<std::uint32_t> numbers) {
        if (numbers.empty()) {
            return;
        }
        m_helperBuffer.resize(numbers.size() == 1 ? kReadBlock : 2 * kReadBlock);
        m_stop = false;
        try {
            m_helper = std::thread([this, numbers = std::move(numbers)] {
                // Nothing may leave a thread; whatever fails here, the pieces are hashed in their
                // turn.
                try {
                    m_helped = HashHelped(numbers);
                } catch (...) {
                    m_helped.clear();
                }
            });
        } catch (const std::system_error&) {
            // Without a second thread every piece is hashed here in its turn.
        }
    }

    std::vector<HashedAhead> HashHelped(const std::vector<std::uint32_t>& numbers) {
        const auto going = [this] { return !m_stop; };
        if (numbers.size() > 1) {
            return HashAhead(numbers, m_set, m_helperBuffer, going);
        }
        std::vector<HashedAhead> hashed(1);
        hashed[0].number = numbers[0];
        auto file = File::OpenForReading(m_set.PiecePath(numbers[0]));
        if (file.ok() && Describe(file.value(), hashed[0])) {
            hashed[0].digest = HashToEnd(file.value(), m_helperBuffer, going);
        }
        return hashed;
    }

    void FinishHelper() {
        if (m_helper.joinable()) {
            m_helper.join();
            for (auto& hashed : m_helped) {
                m_ahead.push_back(std::move(hashed));
            }
            m_helped.clear();
        }
    }

    // The digest hashed ahead for this piece, when it was hashed from the same file with the
    // same length; the bar then moves by what is left of the piece at once.
    std::optional<Sha256Digest> TakeAhead(std::uint32_t number, File& piece) {
        const auto found = std::find_if(m_ahead.begin(), m_ahead.end(),
                                        [number](const auto& a) { return a.number == number; });
        if (found == m_ahead.end()) {
            return std::nullopt;
        }
        const HashedAhead ahead = std::move(*found);
        m_ahead.erase(m_ahead.begin(), found + 1);
        HashedAhead now;
        if (!ahead.digest || !Describe(piece, now) || ahead.identity != now.identity ||
            ahead.length != now.length) {
            return std::nullopt;
        }
        const std::uint64_t steps = BlocksIn(ahead.length) + 1;
        for (std::uint64_t step = std::min(ahead.steps, steps); step < steps; ++step) {
            m_progress.Step();
        }
        return ahead.digest;
    }

    const PieceChecksums& m_checksums;
    const PieceSet m_set;
    OperationHost& m_host;
    ProgressCounter m_progress;
    // Pieces a thread hashes at once: two where the SHA instructions let two digests share a core.
    const std::size_t m_lanes = Sha256Pair::Interleaves() ? 2 : 1;
    std::vector<char> m_buffer = std::vector<char>(m_lanes * kReadBlock);  // a block per lane
    std::vector<char> m_helperBuffer;
    std::vector<HashedAhead> m_ahead;   // hashed in the round that is under way, in order
    std::vector<HashedAhead> m_helped;  // the second thread's until it is joined
    std::vector<std::uint32_t> m_contentBad;
    std::atomic<bool> m_stop = false;
    std::thread m_helper;
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
