#include "engine/merge_operation.h"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "engine/checksum_file.h"
#include "engine/content_verification.h"
#include "engine/digest_pipe.h"
#include "engine/folders.h"
#include "engine/head_file.h"
#include "engine/io/file.h"
#include "engine/io/file_system.h"
#include "engine/io/staged_file.h"
#include "engine/merge_journal.h"
#include "engine/paths.h"
#include "engine/pieces_on_disk.h"
#include "engine/progress_counter.h"
#include "engine/recovery_operation.h"
#include "engine/transfer.h"

namespace kavendrum {

namespace {

// Pieces copied since the output was last flushed are removed only after the next flush: never
// before their bytes are on stable storage, yet without a flush for every small piece. A small
// file is flushed in about sixteen steps, so that a stop loses little of the work done.
std::uint64_t BytesPerFlush(const HeadFileInfo& info) {
    constexpr std::uint64_t kLeast = 1ull << 20;
    constexpr std::uint64_t kMost = 64ull << 20;
    return std::clamp<std::uint64_t>(WholeFileSize(info) / 16, kLeast, kMost);
}

// Creating the output empties it, and writing to it changes it, so it must be none of the files
// it is built from. Called once every piece is known to be there, so it costs what those pieces
// cost.
bool IsAnInput(const FileIdentity& output, const std::string& headPath, const PieceSet& set,
               std::uint32_t pieceCount) {
    if (IdentityOf(headPath) == output) {
        return true;
    }
    for (std::uint32_t number = 1; number <= pieceCount; ++number) {
        if (IdentityOf(set.PiecePath(number)) == output) {
            return true;
        }
    }
    return false;
}

bool OutputIsAnInput(const std::string& outputPath, const std::string& headPath,
                     const PieceSet& set, std::uint32_t pieceCount) {
    const auto output = IdentityOf(outputPath);
    return output && IsAnInput(*output, headPath, set, pieceCount);
}

// What a merge may know of the set beyond the head file: the checksum file's digests, and the
// journal of an earlier run of the same merge that stopped half-way.
struct MergeSet {
    const HeadFileInfo& info;
    const PieceSet& set;
    const PieceChecksums* checksums = nullptr;
    const InterruptedMerge* resumed = nullptr;
    // A journal of an earlier run that counts no piece and whose file is gone: it vouches for
    // nothing, so this run's first journal replaces it.
    const StoredJournal* replaces = nullptr;
    std::uint32_t partial = 0;  // which PartialPath of the output the run writes
};

// The copy from the first piece to the closed output.
class MergeRun {
  public:
    MergeRun(const MergeSet& set, const OptionSet& options, OperationHost& host, File& output)
        : m_info(set.info),
          m_set(set.set),
          m_checksums(set.checksums),
          m_resumed(set.resumed ? &set.resumed->stored.journal : nullptr),
          m_kept(set.resumed ? set.resumed->keptPieces : std::vector<KeptPiece>()),
          m_partial(set.partial),
          m_options(options),
          m_host(host),
          m_output(output) {
        if (set.resumed) {
            m_journal = set.resumed->stored;
        } else if (set.replaces) {
            m_journal = *set.replaces;
        }
    }

    bool CopyPieces();
    bool EveryPieceRemoved() const { return !m_removalFailed; }
    // The host asked the run to stop, and it did.
    bool Stopped() const { return m_stopped; }
    // The journal this run took up or last wrote: while there is one, the file it names is the
    // only place some bytes are kept.
    const std::optional<StoredJournal>& Journal() const { return m_journal; }

  private:
    void StartDigests();
    bool TakeUpOutput();
    bool StartJournal();
    bool HashKeptBytes();
    bool CopyPiece(std::uint32_t number, ProgressCounter& progress);
    bool CopyBlocks(File& piece, std::uint32_t size, ProgressCounter& progress);
    bool EmptyLastPiece(ProgressCounter& progress);
    bool CopyFromPiece(File& piece, std::size_t size);
    bool PieceCopied(std::uint32_t number, std::uint64_t size);
    bool Finish();
    bool CheckPieceDigests();
    bool RemovePendingPieces();
    FileStatus BringJournalUpToDate();
    bool RemoveOnePiece(std::uint32_t number);
    FileResult<std::pair<Sha256Digest, std::uint64_t>> OutputStart();
    bool Fail(const Notice& notice);
    bool Fail(const FileError& error);
    bool WholePieces() const { return m_info.copyUnit == m_info.pieceSize; }

    const HeadFileInfo& m_info;
    const PieceSet& m_set;
    const PieceChecksums* m_checksums;
    const MergeJournal* m_resumed;
    const std::vector<KeptPiece> m_kept;
    const std::uint32_t m_partial;
    const OptionSet& m_options;
    OperationHost& m_host;
    File& m_output;
    Transfer m_transfer{kMaxCopyUnit};
    // With a checksum file, every byte passes through the program to be hashed on its way.
    std::optional<DigestPipe> m_digests;
    std::uint32_t m_digestsChecked = 0;  // pieces whose digest has been compared
    std::vector<std::uint32_t> m_pendingRemoval;
    // Pieces without a line of their own, removed once the whole file has matched its line.
    std::vector<std::uint32_t> m_removeAtEnd;
    std::uint64_t m_unflushedBytes = 0;
    std::uint64_t m_written = 0;  // bytes in the output
    // Bytes of the pieces copied whole: what a journal may count, whatever a failure left after.
    std::uint64_t m_mergedLength = 0;
    std::uint32_t m_piecesMerged = 0;  // pieces 1 to this one are in the output whole
    bool m_removalFailed = false;
    bool m_stopped = false;
    std::optional<StoredJournal> m_journal;
    // Each piece read, as it was when it was read: only that very file is removed.
    std::map<std::uint32_t, FileStamp> m_readPieces;
    // The journal's fingerprint and the bytes it covers, once known.
    std::optional<std::pair<Sha256Digest, std::uint64_t>> m_outputStart;
};

// Each piece is hashed on its way when it is to be removed, or was not verified by content
// before; the whole file whenever it has a line. Otherwise the copy stays in the kernel.
void MergeRun::StartDigests() {
    if (m_checksums == nullptr) {
        return;
    }
    const bool pieces =
        m_checksums->NamesAPiece() &&
        (m_options.deleteAfterMerge != 0 || m_options.verifyBeforeMerge == 0 || m_resumed);
    const bool whole = m_checksums->ForWholeFile().has_value() || m_checksums->WholeFileDisputed();
    if (pieces || whole) {
        m_digests.emplace(pieces, whole);
    }
}

bool MergeRun::CopyPieces() {
    const std::uint32_t lastSize = LastPieceSize(m_info);
    m_transfer = Transfer(WholePieces() ? m_info.pieceSize : m_info.copyUnit);
    StartDigests();
    if (!TakeUpOutput() || !StartJournal()) {
        return false;
    }
    const std::uint32_t first = m_resumed ? m_resumed->piecesMerged + 1 : 1;
    const std::uint32_t left = m_info.pieceCount - (first - 1);
    const std::uint64_t steps =
        WholePieces() ? left
                      : std::uint64_t{m_info.pieceSize / m_info.copyUnit} * (left - 1) +
                            lastSize / m_info.copyUnit;
    m_host.EnterPhase(RunPhase::Merging, WholeFileSize(m_info) - m_mergedLength);
    ProgressCounter progress(m_host, left == 0 ? 0 : steps);
    for (std::uint32_t number = first; number <= m_info.pieceCount; ++number) {
        if (!CopyPiece(number, progress)) {
            return false;
        }
    }
    return left != 0 || Finish();
}

// A merge taken up again keeps the bytes of the pieces already merged, as its journal counts
// them, and cuts off whatever the stopped run wrote after them.
bool MergeRun::TakeUpOutput() {
    if (!m_resumed) {
        return true;
    }
    if (m_digests && m_resumed->piecesMerged != 0 && !HashKeptBytes()) {
        return false;
    }
    if (auto failure = m_output.CutAt(m_resumed->outputLength)) {
        m_host.ReportFileError(*failure);
        return false;
    }
    m_written = m_resumed->outputLength;
    m_mergedLength = m_resumed->outputLength;
    m_piecesMerged = m_resumed->piecesMerged;
    // Pieces the stopped run had counted in but not yet removed go as the others do: each was
    // read and found in the output before the run was taken up.
    if (m_options.deleteAfterMerge != 0) {
        for (const auto& kept : m_kept) {
            m_readPieces[kept.number] = kept.file;
            m_removeAtEnd.push_back(kept.number);
        }
    }
    return true;
}

// A run that removes its pieces names the file it builds in a journal before it copies a byte, so
// that a run killed before its first piece went leaves that file to the next run to take up.
bool MergeRun::StartJournal() {
    if (m_options.deleteAfterMerge == 0 || m_resumed) {
        return true;
    }
    if (auto failure = BringJournalUpToDate()) {
        m_host.ReportFileError(*failure);
        return false;
    }
    return true;
}

// With a checksum file the kept bytes are confirmed against the lines of their pieces first,
// and hashed into the whole file's digest.
bool MergeRun::HashKeptBytes() {
    // The bytes kept are read once more, only to be hashed.
    m_host.EnterPhase(RunPhase::Hashing, m_resumed->outputLength);
    ProgressCounter progress(m_host, m_resumed->piecesMerged);
    for (std::uint32_t number = 1; number <= m_resumed->piecesMerged; ++number) {
        const std::uint32_t size = ExpectedPieceSize(m_info, number);
        const Moved moved = m_digests->Move(m_output, nullptr, size);
        if (moved.error) {
            m_host.ReportFileError(*moved.error);
            return false;
        }
        if (moved.bytes < size) {
            m_host.Notify({.id = NoticeId::PartialFileShort, .piece = number});
            return false;
        }
        m_digests->EndPiece();
        progress.Step();
    }
    return CheckPieceDigests();
}

bool MergeRun::CopyPiece(std::uint32_t number, ProgressCounter& progress) {
    const bool last = number == m_info.pieceCount;
    const std::uint32_t size = ExpectedPieceSize(m_info, number);
    const std::string path = m_set.PiecePath(number);
    if (last && size == 0 && !FileExists(path)) {
        // An empty last piece holds no byte: there is nothing to read from it or to remove.
        return EmptyLastPiece(progress);
    }
    auto piece = File::OpenForReading(path);
    if (!piece.ok()) {
        return Fail({.id = NoticeId::PieceNotOpened,
                     .path = path,
                     .piece = number,
                     .failure = piece.error()});
    }
    // A short piece stops the merge before any of its bytes reach the output.
    const auto length = piece.value().Length();
    const auto identity = piece.value().Identity();
    if (!length.ok() || !identity.ok()) {
        return Fail(length.ok() ? identity.error() : length.error());
    }
    if (length.value() < size) {
        return Fail({.id = NoticeId::PieceShorterOnDisk,
                     .piece = number,
                     .needed = size,
                     .available = length.value()});
    }
    m_readPieces[number] = {identity.value(), length.value(), piece.value().Generation()};
    if (!CopyBlocks(piece.value(), size, progress)) {
        return false;
    }
    piece.value().Close();
    // In whole-piece mode the bar moves once a piece is read, the last one once the output is
    // closed.
    if (WholePieces() && !last) {
        progress.Step();
    }
    if (m_digests) {
        m_digests->EndPiece();
    }
    if (!PieceCopied(number, size) || (last && !Finish())) {
        return false;
    }
    if (WholePieces() && last) {
        progress.Step();
    }
    return true;
}

// The piece's bytes into the output: whole, or in copy units with a step each and the rest.
bool MergeRun::CopyBlocks(File& piece, std::uint32_t size, ProgressCounter& progress) {
    if (WholePieces()) {
        return CopyFromPiece(piece, size);
    }
    const std::uint32_t blocks = size / m_info.copyUnit;
    for (std::uint32_t block = 0; block < blocks; ++block) {
        if (!CopyFromPiece(piece, m_info.copyUnit)) {
            return false;
        }
        progress.Step();
    }
    return CopyFromPiece(piece, size - blocks * m_info.copyUnit);
}

bool MergeRun::EmptyLastPiece(ProgressCounter& progress) {
    if (m_digests) {
        m_digests->EndPiece();
    }
    if (!PieceCopied(m_info.pieceCount, 0) || !Finish()) {
        return false;
    }
    if (WholePieces()) {
        progress.Step();
    }
    return true;
}

bool MergeRun::CopyFromPiece(File& piece, std::size_t size) {
    // Asked between blocks: what is in the output by now stays, as the journal counts it.
    if (m_host.StopRequested()) {
        m_stopped = true;
        RemovePendingPieces();
        return false;
    }
    const Moved moved = m_digests ? m_digests->Move(piece, &m_output, size)
                                  : m_transfer.Move(piece, m_output, size);
    m_written += moved.bytes;
    if (moved.error) {
        return Fail(*moved.error);
    }
    if (moved.bytes < size) {
        const NoticeId id = m_digests ? NoticeId::PieceShrankHashing : NoticeId::PieceShrank;
        return Fail(
            {.id = id, .piece = m_piecesMerged + 1, .needed = size, .available = moved.bytes});
    }
    return true;
}

bool MergeRun::PieceCopied(std::uint32_t number, std::uint64_t size) {
    m_mergedLength += size;
    m_piecesMerged = number;
    if (m_options.deleteAfterMerge == 0) {
        return true;
    }
    m_pendingRemoval.push_back(number);
    m_unflushedBytes += size;
    const bool last = number == m_info.pieceCount;
    return last || m_unflushedBytes < BytesPerFlush(m_info) || RemovePendingPieces();
}

// Every byte is in the output: it is checked against the whole file's line before the last
// pieces go, and closed.
bool MergeRun::Finish() {
    if (m_digests) {
        if (!CheckPieceDigests()) {
            return false;
        }
        const auto expected = m_checksums->ForWholeFile();
        if (m_checksums->WholeFileDisputed() ||
            (expected && m_digests->WholeDigest() != expected)) {
            m_host.Notify({.id = NoticeId::MergedChecksumMismatch});
            return false;
        }
    }
    if (!RemovePendingPieces()) {
        return false;
    }
    for (const auto number : m_removeAtEnd) {
        RemoveOnePiece(number);
    }
    if (auto failure = m_output.Close()) {
        m_host.ReportFileError(*failure);
        return false;
    }
    return true;
}

bool MergeRun::CheckPieceDigests() {
    if (!m_digests) {
        return true;
    }
    for (const auto& digest : m_digests->TakePieceDigests()) {
        const std::uint32_t number = ++m_digestsChecked;
        const auto expected = m_checksums->ForPiece(number);
        if (m_checksums->Disputed(number) || (expected && digest != expected)) {
            m_pendingRemoval.clear();
            m_host.Notify({.id = NoticeId::MergedChecksumMismatch, .piece = number});
            return false;
        }
    }
    return true;
}

// The pieces copied since the last call go, in this order: the output is flushed, their digests
// are compared, the journal is brought up to them, and only then are they removed. A stop at
// any moment leaves every byte either in a piece or in the output as the journal counts it.
bool MergeRun::RemovePendingPieces() {
    if (m_pendingRemoval.empty()) {
        return true;
    }
    if (auto failure = m_output.Flush()) {
        m_pendingRemoval.clear();
        m_host.ReportFileError(*failure);
        return false;
    }
    if (!CheckPieceDigests()) {
        return false;
    }
    if (auto failure = BringJournalUpToDate()) {
        m_pendingRemoval.clear();
        m_host.ReportFileError(*failure);
        return false;
    }
    const bool wholeLine =
        m_checksums != nullptr && (m_checksums->ForWholeFile() || m_checksums->WholeFileDisputed());
    for (const auto number : m_pendingRemoval) {
        if (wholeLine && !m_checksums->ForPiece(number) && number != m_info.pieceCount) {
            m_removeAtEnd.push_back(number);
        } else {
            RemoveOnePiece(number);
        }
    }
    m_pendingRemoval.clear();
    m_unflushedBytes = 0;
    return true;
}

// The journal, rewritten whole to count the pieces merged so far.
FileStatus MergeRun::BringJournalUpToDate() {
    const auto identity = m_output.Identity();
    if (!identity.ok()) {
        return identity.error();
    }
    const auto start = OutputStart();
    if (!start.ok()) {
        return start.error();
    }
    const auto [digest, covered] = start.value();
    auto written = WriteJournal(
        m_set.JournalPath(),
        {m_info, identity.value(), m_partial, m_piecesMerged, m_mergedLength, digest, covered},
        m_journal);
    if (!written.ok()) {
        return written.error();
    }
    m_journal = written.value();
    return std::nullopt;
}

// The output's first bytes, read from the pieces they came from: the first journal is written
// before any piece is removed, and a run taken up has its journal's.
FileResult<std::pair<Sha256Digest, std::uint64_t>> MergeRun::OutputStart() {
    if (m_resumed && m_resumed->startLength != 0) {
        return std::pair{m_resumed->start, m_resumed->startLength};
    }
    if (m_outputStart) {
        return *m_outputStart;
    }
    const std::uint64_t wanted = std::min(m_mergedLength, kFingerprintBytes);
    Sha256 sha;
    std::vector<char> bytes;
    std::uint64_t done = 0;
    for (std::uint32_t number = 1; done < wanted; ++number) {
        auto piece = File::OpenForReading(m_set.PiecePath(number));
        if (!piece.ok()) {
            return piece.error();
        }
        const std::uint64_t size = ExpectedPieceSize(m_info, number);
        bytes.resize(static_cast<std::size_t>(std::min(size, wanted - done)));
        const auto got = piece.value().Read(bytes.data(), bytes.size());
        if (!got.ok()) {
            return got.error();
        }
        if (got.value() != bytes.size()) {
            return FileError{FileErrorCause::EndOfFile, piece.value().Path()};
        }
        sha.Update(bytes.data(), bytes.size());
        done += bytes.size();
    }
    const auto digest = sha.Finish();
    if (!digest) {
        return FileError{FileErrorCause::Generic, m_output.Path()};
    }
    if (wanted == 0) {
        // The journal written before the first piece vouches for no byte; a later one covers
        // the first bytes.
        return std::pair{*digest, wanted};
    }
    m_outputStart = std::pair{*digest, wanted};
    return *m_outputStart;
}

bool MergeRun::RemoveOnePiece(std::uint32_t number) {
    const auto read = m_readPieces.find(number);
    if (read == m_readPieces.end()) {
        return true;  // nothing was read, so there is nothing to remove
    }
    const std::string path = m_set.PiecePath(number);
    const auto removed = RemoveIfSame(path, read->second);
    if (removed.ok() && removed.value() == Removal::Removed) {
        m_readPieces.erase(read);
        return true;
    }
    // A piece that is no longer the file that was read is left, and the run is no clean success.
    m_removalFailed = true;
    const NoticeId id =
        number == m_info.pieceCount ? NoticeId::RemoveFailed : NoticeId::PieceNotRemoved;
    m_host.Notify({.id = id,
                   .path = path,
                   .piece = number,
                   .failure = removed.ok() ? FileStatus() : FileStatus(removed.error())});
    return false;
}

// A run that stops leaves the pieces it has copied removed, as it would have had it removed each
// one at once, but only once the output holding their bytes is flushed and verified.
bool MergeRun::Fail(const Notice& notice) {
    if (RemovePendingPieces()) {
        m_host.Notify(notice);
    }
    return false;
}

bool MergeRun::Fail(const FileError& error) {
    if (RemovePendingPieces()) {
        m_host.ReportFileError(error);
    }
    return false;
}

// The first piece after `merged` that is not there, or 0 when all of them may be. An empty last
// piece holds no byte and is there whether or not a file stands under its name.
std::uint32_t FirstAbsentAfter(const PiecesOnDisk& onDisk, std::uint32_t merged,
                               const HeadFileInfo& info) {
    const std::uint32_t needed = LastPieceSize(info) == 0 ? info.pieceCount - 1 : info.pieceCount;
    for (std::uint32_t number = merged; number < needed;) {
        const std::uint32_t next = onDisk.NextAfter(number);
        if (next != number + 1) {
            return number + 1;
        }
        number = next;
    }
    return 0;
}

// Every piece after the `merged` ones that an interrupted run has in the output is there; the
// first one absent is named.
bool AllPiecesThere(const PieceSet& set, const PiecesOnDisk& onDisk, std::uint32_t merged,
                    const HeadFileInfo& info, OperationHost& host) {
    const std::uint32_t absent = FirstAbsentAfter(onDisk, merged, info);
    if (absent == 0) {
        return true;
    }
    host.Notify({.id = NoticeId::PieceMissing, .path = set.PiecePath(absent), .piece = absent});
    return false;
}

// The file the run writes: the one an interrupted run left, or a new one under the first free
// name beside the output. `set.partial` and `partialPath` tell which.
FileResult<File> OpenPartial(MergeSet& set, const std::string& outputPath,
                             std::string& partialPath) {
    if (set.resumed) {
        partialPath = set.resumed->partialPath;
        set.partial = set.resumed->stored.journal.partial;
        auto file = File::OpenForUpdate(partialPath);
        if (file.ok()) {
            const auto identity = file.value().Identity();
            if (!identity.ok() || !(identity.value() == set.resumed->stored.journal.output)) {
                return FileError{FileErrorCause::SharingViolation, partialPath};
            }
        }
        return file;
    }
    std::vector<std::string> names;
    for (std::uint32_t number = 0; number < kPartialNames; ++number) {
        names.push_back(PartialPath(outputPath, number));
    }
    std::size_t chosen = 0;
    auto file = File::CreateAtFirstFree(names, chosen);
    set.partial = static_cast<std::uint32_t>(chosen);
    partialPath = names[chosen];
    return file;
}

// Gives the whole, checked file the output's name, replacing what stood there only when the user
// was asked about it or the options say to replace without asking.
FileStatus PutInPlace(const std::string& partialPath, const std::string& outputPath, bool replace) {
    if (replace) {
        if (auto failure = RenameOver(partialPath, outputPath)) {
            return failure;
        }
    } else {
        auto renamed = RenameIfAbsent(partialPath, outputPath);
        if (!renamed.ok()) {
            return renamed.error();
        }
        if (!renamed.value()) {
            return NameTakenError(outputPath);
        }
    }
    return FlushFolderEntries(outputPath);
}

// Removes a file of the set that this run read or wrote, unless its name now holds the rebuilt
// file (the set's own name was the output's). False, after a message, when it could not go.
bool RemoveSetFile(const std::string& path, const FileStamp& read, const FileIdentity& output,
                   OperationHost& host) {
    if (IdentityOf(path) == output) {
        return true;
    }
    const auto removed = RemoveIfSame(path, read);
    if (removed.ok() && removed.value() == Removal::Removed) {
        return true;
    }
    host.Notify({.id = NoticeId::RemoveFailed,
                 .path = path,
                 .failure = removed.ok() ? FileStatus() : FileStatus(removed.error())});
    return false;
}

// What every merge has read once before its copy: the head file's record, its set's names and
// the folder's listing. Verification and the copy are given these, never the head file's path.
struct MergePlan {
    const MergeRequest& request;
    const OptionSet& options;
    const HeadRecord& head;
    const PieceSet& set;
    const PiecesOnDisk onDisk;
};

// Runs the verification that the options ask for, with what the merge has read, and hands its
// rows to the host at once. False when the merge must stop.
bool VerifyFirst(const KnownSet& known, const MergeRequest& request, OperationHost& host,
                 MergeResult& result) {
    result.checked = VerifyWithChecksums(known, host);
    MarkContentBad(*result.checked, request.knownDamaged);
    host.PiecesChecked(*result.checked);
    return result.checked->verification.outcome == VerifyOutcome::Passed;
}

// A verification that did not pass because the host asked the run to stop.
Outcome VerificationFailed(OperationHost& host) {
    return host.StopRequested() ? Outcome::Interrupted : Outcome::Failed;
}

// A merge into a stream: no question, no journal, nothing removed.
class StreamMerge {
  public:
    StreamMerge(const MergePlan& plan, OperationHost& host, MergeResult& result)
        : m_plan(plan), m_host(host), m_result(result) {}

    Outcome Run();

  private:
    bool Verify();
    bool StreamIsAnInput();

    const MergePlan& m_plan;
    OperationHost& m_host;
    MergeResult& m_result;
};

// The verification reads what a file merge would have read: the checksum file, and the journal
// of an interrupted merge into the output the request names.
bool StreamMerge::Verify() {
    const HeadFileInfo& info = m_plan.head.info;
    const auto checksums = ReadSetChecksums(m_plan.set, info, m_host);
    if (!checksums) {
        m_result.checked = ContentVerification{};
        m_host.PiecesChecked(*m_result.checked);
        return false;
    }
    const auto interrupted =
        m_plan.request.outputPath.empty()
            ? std::nullopt
            : FindInterruptedMerge(m_plan.set, info, m_plan.request.outputPath, m_plan.onDisk);
    return VerifyFirst(
        {m_plan.set, info, m_plan.onDisk, checksums->checksums ? &*checksums->checksums : nullptr,
         interrupted ? &interrupted->stored.journal : nullptr},
        m_plan.request, m_host, m_result);
}

// A stream that is a file opened for appending may be one of the pieces.
bool StreamMerge::StreamIsAnInput() {
    const File& stream = *m_plan.request.stream;
    const auto identity = stream.Identity();
    if (!identity.ok() || !IsAnInput(identity.value(), m_plan.request.headPath, m_plan.set,
                                     m_plan.head.info.pieceCount)) {
        return false;
    }
    m_host.Notify({.id = NoticeId::OutputNotCreated, .path = stream.Path()});
    return true;
}

Outcome StreamMerge::Run() {
    if (m_plan.options.verifyBeforeMerge != 0 && !Verify()) {
        return VerificationFailed(m_host);
    }
    if (!AllPiecesThere(m_plan.set, m_plan.onDisk, 0, m_plan.head.info, m_host) ||
        StreamIsAnInput()) {
        return Outcome::Failed;
    }
    // Nothing is removed, so there is no journal to keep; the content was checked before the
    // first byte when the options ask for a verification.
    OptionSet options = m_plan.options;
    options.deleteAfterMerge = 0;
    const MergeSet set{m_plan.head.info, m_plan.set};
    {
        MergeRun run(set, options, m_host, *m_plan.request.stream);
        if (!run.CopyPieces()) {
            return run.Stopped() ? Outcome::Interrupted : Outcome::Failed;
        }
    }
    m_host.Notify({.id = NoticeId::MergeSucceeded});
    m_host.SetPosition(0);
    return Outcome::Succeeded;
}

// A merge into a file of its own: everything between the folder check and the end.
class FileMerge {
  public:
    FileMerge(const MergePlan& plan, OperationHost& host, MergeResult& result)
        : m_plan(plan),
          m_request(plan.request),
          m_options(plan.options),
          m_host(host),
          m_result(result),
          m_set{plan.head.info, plan.set} {}

    Outcome Run();

  private:
    bool ReadChecksums();
    bool Ask();
    bool Verify();
    bool ReadyToCopy();
    bool JournalNameIsFree();
    Outcome Copy();
    FileResult<File*> OpenOutput();
    Outcome PutOutputInPlace(const std::optional<StoredJournal>& journal);
    FileStatus NameStagedOutput(bool replace);
    bool DropEmptyJournal(const StoredJournal& journal);
    void DropPartial();
    bool RemoveSetFiles(const std::optional<StoredJournal>& journal);
    std::uint32_t PiecesResumed() const {
        return m_resumed ? m_resumed->stored.journal.piecesMerged : 0;
    }
    void NoteRecoveryFiles();
    bool RemoveRecoveryFiles();

    const MergePlan& m_plan;
    const MergeRequest& m_request;
    const OptionSet& m_options;
    OperationHost& m_host;
    MergeResult& m_result;
    MergeSet m_set;
    std::optional<SetChecksums> m_checksums;
    std::optional<InterruptedMerge> m_resumed;
    std::optional<StoredJournal> m_emptyJournal;
    // The recovery files as they were when the merge began: only these go with the set.
    std::vector<std::pair<std::string, FileStamp>> m_recoveryFiles;
    bool m_outputExisted = false;
    // The file the run writes: one without a name until it is whole, or one under a name of its
    // own that a journal can name.
    std::optional<StagedFile> m_staged;
    File m_partial;
    std::string m_partialPath;
    FileIdentity m_written;  // the rebuilt file
};

bool FileMerge::ReadChecksums() {
    m_checksums = ReadSetChecksums(m_plan.set, m_plan.head.info, m_host);
    if (m_checksums && m_checksums->checksums) {
        m_set.checksums = &*m_checksums->checksums;
    }
    return m_checksums.has_value();
}

bool FileMerge::Ask() {
    const std::string& output = m_request.outputPath;
    m_resumed = FindInterruptedMerge(m_plan.set, m_plan.head.info, output, m_plan.onDisk);
    m_set.resumed = m_resumed ? &*m_resumed : nullptr;
    m_outputExisted = FileExists(output);
    // A run stopped before its first piece went has nothing to continue: its file is only taken
    // up again instead of another being made.
    if (m_resumed && m_resumed->stored.journal.piecesMerged != 0) {
        return m_host.Ask({QuestionId::ContinueMerge, output});
    }
    return m_options.overwriteMode != 1 || !m_outputExisted ||
           m_host.Ask({QuestionId::OverwriteOutput, output});
}

bool FileMerge::Verify() {
    return VerifyFirst({m_plan.set, m_plan.head.info, m_plan.onDisk, m_set.checksums,
                        m_resumed ? &m_resumed->stored.journal : nullptr},
                       m_request, m_host, m_result);
}

// A merge that removes its pieces keeps its journal under the set's name; a file of somebody
// else's there is neither replaced nor removed, so such a merge does not start. A journal of this
// merge that counts no piece, whose file is gone, holds nothing and is replaced.
bool FileMerge::JournalNameIsFree() {
    const std::string path = m_plan.set.JournalPath();
    if (m_options.deleteAfterMerge == 0 || m_resumed || !FileExists(path)) {
        return true;
    }
    m_emptyJournal = ReadJournal(path, m_plan.head.info);
    if (m_emptyJournal && m_emptyJournal->journal.piecesMerged == 0) {
        m_set.replaces = &*m_emptyJournal;
        return true;
    }
    m_host.Notify(
        {.id = NoticeId::OutputNotCreated, .path = path, .failure = NameTakenError(path)});
    return false;
}

// A merge that cannot reach its end is not begun: nothing is created and no piece removed for a
// head file whose pieces are not all there, however many it names. Pieces an interrupted run has
// merged are in the output and need not be.
bool FileMerge::ReadyToCopy() {
    const HeadFileInfo& info = m_plan.head.info;
    if (!AllPiecesThere(m_plan.set, m_plan.onDisk, PiecesResumed(), info, m_host)) {
        return false;
    }
    if (OutputIsAnInput(m_request.outputPath, m_request.headPath, m_plan.set, info.pieceCount)) {
        m_host.Notify({.id = NoticeId::OutputNotCreated, .path = m_request.outputPath});
        return false;
    }
    if (!JournalNameIsFree()) {
        return false;
    }
    return HasRoomForMerge(
        {GetFolderPart(m_request.outputPath), GetFolderPart(m_plan.set.Stem()), info,
         m_resumed ? m_resumed->stored.journal.outputLength : 0, m_options.deleteAfterMerge != 0},
        m_host);
}

Outcome FileMerge::Run() {
    if (!ReadChecksums()) {
        return Outcome::Failed;
    }
    NoteRecoveryFiles();
    if (!Ask()) {
        return Outcome::Cancelled;
    }
    if (m_options.verifyBeforeMerge != 0 && !Verify()) {
        return VerificationFailed(m_host);
    }
    return ReadyToCopy() ? Copy() : Outcome::Failed;
}

// The run writes a file of its own beside the output, which gets the output's name only once it
// is whole and checked: no partial file ever stands under that name. A run that fails or is
// stopped removes that file, unless a journal names it: then it holds the only copy of the
// pieces already removed, and the next run takes it up.
Outcome FileMerge::Copy() {
    auto output = OpenOutput();
    if (!output.ok()) {
        m_host.Notify({.id = NoticeId::OutputNotCreated,
                       .path = m_request.outputPath,
                       .failure = output.error()});
        return Outcome::Failed;
    }
    File& file = *output.value();
    const auto identity = file.Identity();
    if (!identity.ok()) {
        m_host.ReportFileError(identity.error());
        DropPartial();
        return Outcome::Failed;
    }
    m_written = identity.value();
    std::optional<StoredJournal> journal;
    bool clean = true;
    {
        MergeRun run(m_set, m_options, m_host, file);
        const bool copied = run.CopyPieces();
        journal = run.Journal();
        if (!copied) {
            if (!journal || DropEmptyJournal(*journal)) {
                DropPartial();
            }
            return run.Stopped() ? Outcome::Interrupted : Outcome::Failed;
        }
        clean = run.EveryPieceRemoved();
    }
    if (PutOutputInPlace(journal) != Outcome::Succeeded) {
        return Outcome::Failed;
    }
    m_host.Notify({.id = NoticeId::MergeSucceeded, .path = m_request.outputPath});
    clean = RemoveSetFiles(journal) && clean;
    m_host.SetPosition(0);
    return clean ? Outcome::Succeeded : Outcome::Failed;
}

// A merge that keeps its pieces keeps no journal either: nothing could take its file up after a
// stop. So that file has no name until it is whole, and goes with the run however it ends.
FileResult<File*> FileMerge::OpenOutput() {
    if (m_options.deleteAfterMerge == 0 && !m_set.resumed) {
        auto staged = StagedFile::Create(m_request.outputPath);
        if (!staged.ok()) {
            return staged.error();
        }
        m_staged.emplace(std::move(staged.value()));
        return &m_staged->file();
    }
    auto partial = OpenPartial(m_set, m_request.outputPath, m_partialPath);
    if (!partial.ok()) {
        return partial.error();
    }
    m_partial = std::move(partial.value());
    return &m_partial;
}

// The whole file takes the output's name, unless a run taken up had put it there already.
Outcome FileMerge::PutOutputInPlace(const std::optional<StoredJournal>& journal) {
    if (!(m_resumed && m_resumed->inPlace)) {
        // The output's name may be the journal's own (a set of a file named like its journal):
        // the journal is then replaced by the file whose merge it recorded.
        const bool replace =
            m_outputExisted || (journal && StampOf(m_request.outputPath) == journal->file);
        const FileStatus failure = m_staged
                                       ? NameStagedOutput(replace)
                                       : PutInPlace(m_partialPath, m_request.outputPath, replace);
        if (failure) {
            m_host.Notify({.id = NoticeId::OutputNotCreated,
                           .path = m_request.outputPath,
                           .failure = failure});
            if (!journal) {
                DropPartial();
            }
            return Outcome::Failed;
        }
    }
    m_result.outputWritten = m_request.outputPath;
    return Outcome::Succeeded;
}

// A run that ends before a piece went leaves nothing to take up: its journal goes first, then the
// file it names. False when the journal stays, and with it that file.
bool FileMerge::DropEmptyJournal(const StoredJournal& journal) {
    if (journal.journal.piecesMerged != 0) {
        return false;
    }
    const auto removed = RemoveIfSame(m_plan.set.JournalPath(), journal.file);
    return removed.ok() && removed.value() == Removal::Removed;
}

// Gives the whole file without a journal the output's name as PutInPlace does.
FileStatus FileMerge::NameStagedOutput(bool replace) {
    if (auto failure =
            m_staged->PutInPlace(replace ? ReplaceOver::Anything() : ReplaceOver::Nothing())) {
        return failure;
    }
    m_staged->Keep();
    return FlushFolderEntries(m_request.outputPath);
}

void FileMerge::DropPartial() {
    if (m_staged) {
        m_staged->Discard();
        return;
    }
    m_partial.Close();
    const auto stamp = StampOf(m_partialPath);
    if (stamp && stamp->identity == m_written) {
        (void)RemoveIfSame(m_partialPath, *stamp);
    }
}

// The head file and the checksum file go with the pieces; the journal goes whatever the options,
// the merge having ended. Each only when it is still the very file this run read or wrote.
bool FileMerge::RemoveSetFiles(const std::optional<StoredJournal>& journal) {
    // The head file goes after the files that only serve it: a run stopped in between leaves the
    // head file and the journal, and the next run takes the merge up and ends it.
    bool clean = true;
    if (m_options.deleteAfterMerge != 0) {
        if (m_set.checksums && m_checksums->file) {
            clean = RemoveSetFile(m_plan.set.ChecksumPath(), *m_checksums->file, m_written, m_host);
        }
        clean = RemoveRecoveryFiles() && clean;
        clean = RemoveSetFile(m_request.headPath, m_plan.head.file, m_written, m_host) && clean;
    }
    if (journal) {
        clean = RemoveSetFile(m_plan.set.JournalPath(), journal->file, m_written, m_host) && clean;
    }
    return clean;
}

void FileMerge::NoteRecoveryFiles() {
    if (m_options.deleteAfterMerge == 0) {
        return;
    }
    for (const std::string& path : RecoveryFilesOf(m_plan.set)) {
        if (const auto stamp = StampOf(path)) {
            m_recoveryFiles.emplace_back(path, *stamp);
        }
    }
}

// base.par2 and base.vol*.par2 go with the head file, each only if it is still the file that
// was there when the merge began.
bool FileMerge::RemoveRecoveryFiles() {
    bool clean = true;
    for (const auto& [path, stamp] : m_recoveryFiles) {
        clean = RemoveSetFile(path, stamp, m_written, m_host) && clean;
    }
    return clean;
}

// The steps before a merge's copy that need nothing but the request: the fields, the head file
// and the option set. The set's names come from the head file's path, once.
std::optional<HeadRecord> ReadMergeHead(const MergeRequest& request, const OptionSet* options,
                                        OperationHost& host) {
    if (!ValidateMergeInputs(request, host)) {
        return std::nullopt;
    }
    auto head = ReadHeadRecord(request.headPath, NoticeId::HeadFileNotOpenedMerge, host);
    if (!head) {
        return std::nullopt;
    }
    if (options == nullptr) {
        host.Notify({.id = NoticeId::MainFrameMissingMerge});
        return std::nullopt;
    }
    return head;
}

}  // namespace

bool ValidateMergeInputs(const MergeRequest& request, OperationHost& host) {
    if (request.headPath.empty()) {
        host.Notify({.id = NoticeId::HeadFileNameEmpty});
        return false;
    }
    if (request.destinationFolder.empty()) {
        host.Notify({.id = NoticeId::DestinationFolderEmpty});
        return false;
    }
    if (auto opened = File::OpenForReading(request.headPath); !opened.ok()) {
        host.Notify(
            {.id = NoticeId::HeadFileMissing, .path = request.headPath, .failure = opened.error()});
        return false;
    }
    return true;
}

MergeResult RunMerge(const MergeRequest& request, const OptionSet* options, OperationHost& host) {
    MergeResult result;
    host.PlaceProgressOnce();
    const auto head = ReadMergeHead(request, options, host);
    if (!head) {
        return result;
    }
    result.pieceCount = head->info.pieceCount;
    // Pieces are named after the head file, so a head file not named like one names none.
    const auto set = PieceSet::OfHeadFile(request.headPath);
    if (!set) {
        host.Notify({.id = NoticeId::HeadFileNameInvalid, .path = request.headPath});
        return result;
    }
    if (request.stream == nullptr) {
        const FolderCheck destination =
            CheckDestination(request.destinationFolder, FolderSide::Merge, *options, host);
        if (destination != FolderCheck::Ready) {
            result.outcome =
                destination == FolderCheck::Declined ? Outcome::Cancelled : Outcome::Failed;
            return result;
        }
    }
    const MergePlan plan{request, *options, *head, *set,
                         PiecesOnDisk::Find(*set, head->info.pieceCount)};
    result.outcome = request.stream != nullptr ? StreamMerge(plan, host, result).Run()
                                               : FileMerge(plan, host, result).Run();
    return result;
}

}  // namespace kavendrum
