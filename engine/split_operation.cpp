#include "engine/split_operation.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <optional>
#include <vector>

#include "engine/batch_file.h"
#include "engine/checksum_file.h"
#include "engine/checksum_file_writer.h"
#include "engine/digest_pipe.h"
#include "engine/folders.h"
#include "engine/io/file.h"
#include "engine/io/file_system.h"
#include "engine/paths.h"
#include "engine/piece_creator.h"
#include "engine/progress_counter.h"
#include "engine/transfer.h"

namespace kavendrum {

namespace {

void Tell(OperationHost& host, NoticeId id, const std::string& path = {},
          const FileStatus& failure = std::nullopt) {
    host.Notify(NoticeOf(id, path, failure));
}

// The digits of 1 … count, written one after another.
std::uint64_t DigitsUpTo(std::uint64_t count) {
    std::uint64_t digits = 0;
    for (std::uint64_t first = 1, width = 1; first <= count; first *= 10, ++width) {
        digits += (std::min(count, first * 10 - 1) - first + 1) * width;
    }
    return digits;
}

// What a split of `fileSize` bytes writes: the pieces, and the head, batch and checksum files,
// whose lines are counted generously (every name quoted in the batch file).
std::uint64_t SplitBytes(const BaseName& names, std::uint64_t fileSize, std::uint32_t pieceCount,
                         bool checksums) {
    constexpr std::uint64_t kDigestLine = 64 + 3;  // digest, two blanks, line end
    const std::uint64_t nameBytes =
        std::uint64_t{pieceCount} * (names.base.size() + 5) + DigitsUpTo(pieceCount);
    const std::uint64_t rebuilt = names.base.size() + names.extension.size() + 1;
    std::uint64_t bytes = fileSize + 32 + names.extension.size();
    bytes += nameBytes + std::uint64_t{pieceCount} * 5 + 2 * rebuilt + 128;
    if (checksums) {
        bytes += nameBytes + std::uint64_t{pieceCount} * kDigestLine + kDigestLine + rebuilt;
    }
    return bytes;
}

// What the recovery files take, when they are asked for.
std::uint64_t RecoveryBytes(const SplitRequest& request, const std::string& base,
                            std::uint64_t fileSize, std::uint32_t pieceCount) {
    if (request.recovery.amount.None()) {
        return 0;
    }
    return SplitRecovery(request.destinationFolder, base, fileSize, pieceCount, request.pieceSize,
                         request.recovery)
        .BytesNeeded();
}

// One split from its first copied byte to its end; the checks before it are in RunSplit.
class SplitRun {
  public:
    SplitRun(const SplitRequest& request, const OptionSet& options, OperationHost& host,
             File& source, FileIdentity sourceIdentity, SplitResult& result)
        : m_request(request),
          m_options(options),
          m_host(host),
          m_source(source),
          m_sourceIdentity(sourceIdentity),
          m_result(result) {}

    Outcome Run(const SplitPlace& place, const BaseName& names, std::uint64_t fileSize,
                const SplitPlan& plan, StagedFile& head);

  private:
    bool CopyPiecesWholeMode(std::uint32_t pieceCount, std::uint32_t lastSize);
    bool CopyPiecesBlockMode(std::uint32_t pieceCount, std::uint32_t lastSize);
    std::string PieceName(std::uint32_t number) const;
    std::string PiecePath(std::uint32_t number) const;
    NoticeId CreationFailure(std::uint32_t number, std::uint32_t pieceCount) const;
    StagedFile* CreatePiece(PieceCreator& ahead, std::uint32_t number, std::uint32_t pieceCount);
    bool CopyToPiece(File& piece, std::size_t size);
    bool ClosePiece(StagedFile& piece);
    bool PutPiecesInPlace();
    bool FlushesEachFile() const;
    FileStatus FlushForSourceRemoval(File& output);
    bool WriteHeadRecord(StagedFile& head, const HeadFileInfo& info);
    bool WriteChecksums(const std::string& extension);
    bool WriteRecovery();
    Moved Move(File& piece, std::size_t size);
    bool DeleteSource();

    const SplitRequest& m_request;
    const OptionSet& m_options;
    OperationHost& m_host;
    File& m_source;
    FileIdentity m_sourceIdentity;
    SplitResult& m_result;
    std::string m_folder;
    PieceSet m_set = PieceSet::InFolder("", "");
    std::vector<std::string> m_pieceNames;
    // The pieces made so far, under temporary names until all of them are whole; whatever happens
    // to the run, they go unless they are kept.
    std::vector<StagedFile> m_pieces;
    Transfer m_transfer{kMaxCopyUnit};
    // Hashes what the copy moves, when checksums are asked for.
    std::optional<DigestPipe> m_digests;
    // Takes in what the copy moves, when recovery files are asked for.
    std::optional<SplitRecovery> m_recovery;
    bool m_interrupted = false;
};

Outcome SplitRun::Run(const SplitPlace& place, const BaseName& names, std::uint64_t fileSize,
                      const SplitPlan& plan, StagedFile& head) {
    m_folder = place.folder;
    m_set = *place.set;
    const std::uint32_t pieceSize = m_request.pieceSize;
    const std::uint32_t pieceCount = plan.pieceCount;
    const std::uint32_t lastSize = plan.lastPieceSize;

    m_host.EnterPhase(RunPhase::Splitting, fileSize);
    if (m_request.writeChecksums) {
        // The bytes have to pass through the program to be hashed, so they are not copied inside
        // the kernel, and they are read once.
        m_digests.emplace(true, true);
    }
    if (!m_request.recovery.amount.None()) {
        m_recovery.emplace(m_folder, m_set.Base(), fileSize, pieceCount, pieceSize,
                           m_request.recovery);
    }
    const bool copied = pieceSize <= kMaxCopyUnit ? CopyPiecesWholeMode(pieceCount, lastSize)
                                                  : CopyPiecesBlockMode(pieceCount, lastSize);
    if (!copied) {
        return m_interrupted ? Outcome::Interrupted : Outcome::Failed;
    }
    if (!PutPiecesInPlace()) {
        return Outcome::Failed;
    }
    Tell(m_host, NoticeId::SplitSucceeded, m_set.BatchPath());
    if (!WriteHeadRecord(head,
                         MakeHeadFileInfo(fileSize, pieceCount, pieceSize, names.extension))) {
        return Outcome::Failed;
    }
    // The set is whole: nothing that follows takes it back.
    head.Keep();
    for (auto& piece : m_pieces) {
        piece.Keep();
        m_result.written.push_back(piece.FinalPath());
    }
    m_result.written.push_back(m_set.HeadPath());
    m_result.pieceCount = pieceCount;
    bool clean = WriteRejoinBatch(m_folder, m_set.Base(), names.extension, m_pieceNames, m_host,
                                  m_sourceIdentity);
    if (clean) {
        m_result.written.push_back(m_set.BatchPath());
    }
    // The source is the only copy the user asked to check the pieces against: it stays unless
    // the checksum file is written.
    bool checked = !m_digests || WriteChecksums(names.extension);
    if (m_digests && checked) {
        m_result.written.push_back(m_set.ChecksumPath());
    }
    checked = WriteRecovery() && checked;
    clean = checked && clean;
    m_transfer = Transfer(kMaxCopyUnit);
    if (m_options.deleteAfterSplit != 0 && checked) {
        clean = DeleteSource() && clean;
    }
    m_host.SetPosition(0);
    return clean ? Outcome::Succeeded : Outcome::Failed;
}

bool SplitRun::CopyPiecesWholeMode(std::uint32_t pieceCount, std::uint32_t lastSize) {
    const std::uint32_t pieceSize = m_request.pieceSize;
    m_transfer = Transfer(pieceSize);
    ProgressCounter progress(m_host, pieceCount);
    PieceCreator ahead([this](std::uint32_t number) { return PiecePath(number); }, pieceCount);
    for (std::uint32_t number = 1; number <= pieceCount; ++number) {
        const bool last = number == pieceCount;
        const std::size_t size = last ? lastSize : pieceSize;
        StagedFile* piece = CreatePiece(ahead, number, pieceCount);
        if (!piece || !CopyToPiece(piece->file(), size) || !ClosePiece(*piece)) {
            return false;
        }
        if (last) {
            m_source.Close();
        }
        progress.Step();
    }
    return true;
}

bool SplitRun::CopyPiecesBlockMode(std::uint32_t pieceCount, std::uint32_t lastSize) {
    const std::uint32_t pieceSize = m_request.pieceSize;
    const std::uint32_t blocks = pieceSize / kMaxCopyUnit;
    const std::uint32_t rest = pieceSize % kMaxCopyUnit;
    const std::uint32_t lastBlocks = lastSize / kMaxCopyUnit;
    const std::uint32_t lastRest = lastSize % kMaxCopyUnit;
    ProgressCounter progress(m_host, std::uint64_t{blocks} * (pieceCount - 1) + lastBlocks);
    PieceCreator ahead([this](std::uint32_t number) { return PiecePath(number); }, pieceCount);
    for (std::uint32_t number = 1; number <= pieceCount; ++number) {
        const bool last = number == pieceCount;
        StagedFile* piece = CreatePiece(ahead, number, pieceCount);
        if (!piece) {
            return false;
        }
        for (std::uint32_t block = 0; block < (last ? lastBlocks : blocks); ++block) {
            if (!CopyToPiece(piece->file(), kMaxCopyUnit)) {
                return false;
            }
            progress.Step();
        }
        if (!CopyToPiece(piece->file(), last ? lastRest : rest) || !ClosePiece(*piece)) {
            return false;
        }
    }
    m_source.Close();
    return true;
}

std::string SplitRun::PieceName(std::uint32_t number) const {
    return m_set.PieceName(number);
}

std::string SplitRun::PiecePath(std::uint32_t number) const {
    return m_set.PiecePath(number);
}

// The notice for a piece that cannot be made, or put in place: each mode has its own texts for
// the pieces before the last and for the last.
NoticeId SplitRun::CreationFailure(std::uint32_t number, std::uint32_t pieceCount) const {
    const bool last = number == pieceCount;
    if (m_request.pieceSize <= kMaxCopyUnit) {
        return last ? NoticeId::LastPieceNotCreated : NoticeId::PieceNotCreated;
    }
    return last ? NoticeId::PieceNotCreated : NoticeId::PieceNotCreatedLarge;
}

StagedFile* SplitRun::CreatePiece(PieceCreator& ahead, std::uint32_t number,
                                  std::uint32_t pieceCount) {
    std::optional<StagedFile> piece = ahead.Take(number);
    if (!piece) {
        auto made = StagedFile::Create(PiecePath(number));
        if (!made.ok()) {
            Tell(m_host, CreationFailure(number, pieceCount), PiecePath(number), made.error());
            return nullptr;
        }
        piece.emplace(std::move(made.value()));
    }
    m_pieceNames.push_back(PieceName(number));
    m_pieces.push_back(std::move(*piece));
    return &m_pieces.back();
}

// Every piece is whole: they take their names, over whatever stood there, but never over another
// name of the source.
bool SplitRun::PutPiecesInPlace() {
    const auto pieceCount = static_cast<std::uint32_t>(m_pieces.size());
    for (std::uint32_t number = 1; number <= pieceCount; ++number) {
        StagedFile& piece = m_pieces[number - 1];
        if (auto failure = piece.PutInPlace(&m_sourceIdentity)) {
            Tell(m_host, CreationFailure(number, pieceCount), piece.FinalPath(), failure);
            return false;
        }
    }
    return true;
}

bool SplitRun::CopyToPiece(File& piece, std::size_t size) {
    // Between two blocks is where a stop is safe: what was made so far goes with the run.
    if (m_host.StopRequested()) {
        m_interrupted = true;
        return false;
    }
    const Moved moved = Move(piece, size);
    if (moved.error) {
        m_host.ReportFileError(*moved.error);
        return false;
    }
    // The source shrank under us: what is missing must not be made up.
    if (moved.bytes < size) {
        Tell(m_host, NoticeId::SourceShrank);
        return false;
    }
    return true;
}

// The copy goes through the program when the bytes are hashed or coded on the way; otherwise
// the kernel may copy them.
Moved SplitRun::Move(File& piece, std::size_t size) {
    ByteTap tap;
    if (m_recovery) {
        tap = [this](const void* data, std::size_t bytes) { m_recovery->Add(data, bytes); };
    }
    if (m_digests) {
        return m_digests->Move(m_source, &piece, size, tap);
    }
    return tap ? m_transfer.MoveSeen(m_source, piece, size, tap)
               : m_transfer.Move(m_source, piece, size);
}

bool SplitRun::ClosePiece(StagedFile& piece) {
    if (m_digests) {
        m_digests->EndPiece();
    }
    if (auto failure = FlushForSourceRemoval(piece.file())) {
        m_host.ReportFileError(*failure);
        return false;
    }
    if (auto failure = piece.file().Close()) {
        m_host.ReportFileError(*failure);
        return false;
    }
    // The pieces wait for the last to be put in place, and one without a name holds a handle
    // until then: beyond a few, they wait under temporary names.
    if (m_pieces.size() > kFilesWaitingUnnamed) {
        if (auto failure = piece.Park()) {
            m_host.ReportFileError(*failure);
            return false;
        }
    }
    return true;
}

// Where the folder flush before the removal does not reach the files, they go one by one.
bool SplitRun::FlushesEachFile() const {
    return m_options.deleteAfterSplit != 0 && !FlushFolderCoversItsFiles();
}

FileStatus SplitRun::FlushForSourceRemoval(File& output) {
    return FlushesEachFile() ? output.Flush() : std::nullopt;
}

bool SplitRun::WriteHeadRecord(StagedFile& head, const HeadFileInfo& info) {
    const auto bytes = EncodeHeadFile(info);
    FileStatus failure =
        head.file().WriteLastAndClose(bytes.data(), bytes.size(), FlushesEachFile());
    if (failure) {
        failure->path = head.FinalPath();
    } else {
        failure = head.PutInPlace(&m_sourceIdentity);
    }
    if (failure) {
        Tell(m_host, NoticeId::HeadFileNotWritten, failure->path, failure);
        return false;
    }
    return true;
}

// Written after the batch file, one line per piece in order and then the whole file under the name
// a merge gives it; flushed as the pieces are when the source is to be removed.
bool SplitRun::WriteChecksums(const std::string& extension) {
    ChecksumFileContent content;
    content.path = m_set.ChecksumPath();
    content.pieceNames = &m_pieceNames;
    content.pieceDigests = m_digests->TakePieceDigests();
    content.wholeName = RebuiltFileName(m_set.Base(), extension);
    content.wholeDigest = m_digests->WholeDigest();
    return WriteChecksumFile(content, &m_sourceIdentity, FlushesEachFile(), m_host);
}

// The recovery files come last: they read the pieces back, in place, for their coding.
bool SplitRun::WriteRecovery() {
    if (!m_recovery) {
        return true;
    }
    const bool written = m_recovery->Finish(m_host);
    m_recovery.reset();
    return written;
}

bool SplitRun::DeleteSource() {
    // The source is the only copy until the pieces are on stable storage.
    if (auto failure = FlushFolder(WithTrailingSeparator(m_folder))) {
        m_host.ReportFileError(*failure);
        return false;
    }
    // A disk that was split is never removed: its node is not the data.
    FileStatus failure;
    if (KindOf(m_request.sourcePath) != FileKind::Regular) {
        failure = FileError{FileErrorCause::BadPath, m_request.sourcePath};
    } else {
        failure = RemoveFile(m_request.sourcePath);
    }
    if (failure) {
        Tell(m_host, NoticeId::OriginalNotRemoved, m_request.sourcePath, failure);
        return false;
    }
    return true;
}

}  // namespace

bool HasSplitFields(const std::string& source, const std::string& destinationFolder,
                    OperationHost& host) {
    if (source.empty()) {
        Tell(host, NoticeId::FileToSplitEmpty);
        return false;
    }
    if (destinationFolder.empty()) {
        Tell(host, NoticeId::DestinationFolderEmpty);
        return false;
    }
    return true;
}

bool ValidateInputs(const SplitRequest& request, OperationHost& host) {
    if (!HasSplitFields(request.sourcePath, request.destinationFolder, host)) {
        return false;
    }
    if (auto opened = File::OpenForReading(request.sourcePath); !opened.ok()) {
        Tell(host, NoticeId::SourceNotOpened, request.sourcePath, opened.error());
        return false;
    }
    return true;
}

bool RefuseSetFileName(const BaseName& names, const std::string& sourcePath, OperationHost& host) {
    std::string extension = names.extension;
    for (auto& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    // The endings of the head, batch, checksum and journal files, compared without regard to
    // case: the set may be merged where names are not told apart by case.
    for (const char* own : {"kdh", "bat", "sha256", "kdj"}) {
        if (extension == own) {
            Tell(host, NoticeId::SourceNamedLikeSetFile, sourcePath);
            return true;
        }
    }
    return false;
}

SplitPlace PrepareSplitPlace(const std::string& destinationFolder, const std::string& base,
                             std::optional<std::uint64_t> needed, const OptionSet& options,
                             OperationHost& host, FolderCreation creation) {
    SplitPlace place;
    const FolderCheck destination =
        CheckDestination(destinationFolder, FolderSide::Split, options, host, creation);
    if (destination != FolderCheck::Ready) {
        place.stop = destination == FolderCheck::Declined ? Outcome::Cancelled : Outcome::Failed;
        return place;
    }
    place.folder = StripTrailingSeparator(destinationFolder);
    if (needed && !HasRoomFor(WithTrailingSeparator(place.folder), *needed, host)) {
        place.stop = Outcome::Failed;
        return place;
    }
    // Joined as written, so that a destination of the root stays the root.
    place.set = PieceSet::InFolder(place.folder + kPathSeparator, base);
    place.headPath = place.set->HeadPath();
    if (options.overwriteMode == 1 && FileExists(place.headPath) &&
        !host.Ask({.id = QuestionId::OverwriteSetFiles, .path = place.headPath})) {
        place.stop = Outcome::Cancelled;
        return place;
    }
    // A folder in the head file's place would only be found at the end, after all the copying.
    auto head = KindOfEntry(place.headPath) == FileKind::Folder
                    ? FileResult<StagedFile>(FolderInTheWay(place.headPath))
                    : StagedFile::Create(place.headPath);
    if (!head.ok()) {
        Tell(host, NoticeId::HeadFileNotCreated, place.headPath, head.error());
        place.stop = Outcome::Failed;
        return place;
    }
    place.head.emplace(std::move(head.value()));
    return place;
}

std::optional<SplitPlan> PlanSplit(std::uint64_t fileSize, std::uint32_t pieceSize) {
    // The head file counts pieces in 32 bits.
    if (pieceSize == 0 || fileSize / pieceSize >= std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    SplitPlan plan;
    plan.pieceCount = static_cast<std::uint32_t>(fileSize / pieceSize + 1);
    plan.lastPieceSize = static_cast<std::uint32_t>(fileSize % pieceSize);
    return plan;
}

SplitResult SplitFile(const SplitRequest& request, const OptionSet* options, OperationHost& host) {
    SplitResult result;
    host.PlaceProgressOnce();
    if (!ValidateInputs(request, host)) {
        return result;
    }
    const BaseName names = SplitBaseName(GetFileName(request.sourcePath));
    if (RefuseSetFileName(names, request.sourcePath, host)) {
        return result;
    }
    auto source = File::OpenForReading(request.sourcePath);
    if (!source.ok()) {
        Tell(host, NoticeId::SourceUnreadable, request.sourcePath, source.error());
        return result;
    }
    const auto fileSize = source.value().Length();
    const auto sourceIdentity = source.value().Identity();
    if (!fileSize.ok() || !sourceIdentity.ok()) {
        host.ReportFileError(fileSize.ok() ? sourceIdentity.error() : fileSize.error());
        return result;
    }
    if (options == nullptr) {
        Tell(host, NoticeId::MainFrameMissingSplit);
        return result;
    }
    const auto plan = PlanSplit(fileSize.value(), request.pieceSize);
    if (!plan) {
        Tell(host, NoticeId::SplitSizeTooSmall);
        return result;
    }
    SplitPlace place = PrepareSplitPlace(
        request.destinationFolder, names.base,
        SplitBytes(names, fileSize.value(), plan->pieceCount, request.writeChecksums) +
            RecoveryBytes(request, names.base, fileSize.value(), plan->pieceCount),
        *options, host, request.creation);
    result.set = place.set;
    if (place.stop) {
        result.outcome = *place.stop;
        return result;
    }
    // The question, if any, has been answered OK: the earlier set, if any, is being replaced.
    const EarlierSet before = request.removeEarlierPieces
                                  ? EarlierSet::Look(place.folder, names.base, plan->pieceCount)
                                  : EarlierSet();
    source.value().AdviseSequential();
    SplitRun run(request, *options, host, source.value(), sourceIdentity.value(), result);
    result.outcome = run.Run(place, names, fileSize.value(), *plan, *place.head);
    if (result.pieceCount != 0) {  // the new set is in place, whatever failed after
        result.earlier = before.RemoveBeyond(plan->pieceCount);
        if (!request.writeChecksums) {
            before.RemoveChecksumFile(result.earlier);
        }
    }
    return result;
}

Outcome RunSplit(const SplitRequest& request, const OptionSet* options, OperationHost& host) {
    return SplitFile(request, options, host).outcome;
}

}  // namespace kavendrum
