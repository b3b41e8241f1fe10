#include "engine/merge_operation.h"

#include <algorithm>
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
#include "engine/merge_journal.h"
#include "engine/paths.h"
#include "engine/pieces_on_disk.h"
#include "engine/progress_counter.h"
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

constexpr const char* kContinueQuestion =
    "The last merge of these files was interrupted, do you want to continue it?";

void ShowError(OperationHost& host, const char* text) {
    host.ShowMessage(text, "Error");
}

void ShowErrorAbout(OperationHost& host, const char* text, const std::string& path,
                    const FileStatus& failure = std::nullopt) {
    host.ShowMessageAbout(text, "Error", path, failure);
}

// The head file's name less its last four characters: the ".kdh" it is expected to end with.
std::string PieceBaseName(const std::string& headPath) {
    const std::string name = GetFileName(headPath);
    return name.size() < 4 ? std::string() : name.substr(0, name.size() - 4);
}

// Creating the output empties it, and writing to it changes it, so it must be none of the files
// it is built from. Called once every piece is known to be there, so it costs what those pieces
// cost.
bool IsAnInput(const FileIdentity& output, const std::string& headPath, const std::string& stem,
               std::uint32_t pieceCount) {
    if (IdentityOf(headPath) == output) {
        return true;
    }
    for (std::uint32_t number = 1; number <= pieceCount; ++number) {
        if (IdentityOf(PiecePath(stem, number)) == output) {
            return true;
        }
    }
    return false;
}

bool OutputIsAnInput(const std::string& outputPath, const std::string& headPath,
                     const std::string& stem, std::uint32_t pieceCount) {
    const auto output = IdentityOf(outputPath);
    return output && IsAnInput(*output, headPath, stem, pieceCount);
}

// What a merge may know of the set beyond the head file: the checksum file's digests, and the
// journal of an earlier run of the same merge that stopped half-way.
struct MergeSet {
    const HeadFileInfo& info;
    std::string stem;
    std::optional<PieceChecksums> checksums;
    std::optional<MergeJournal> resumed;
};

// The copy from the first piece to the closed output.
class MergeRun {
  public:
    MergeRun(const MergeSet& set, const OptionSet& options, OperationHost& host, File& output)
        : m_info(set.info),
          m_stem(set.stem),
          m_checksums(set.checksums ? &*set.checksums : nullptr),
          m_resumed(set.resumed),
          m_options(options),
          m_host(host),
          m_output(output) {}

    bool CopyPieces();
    bool EveryPieceRemoved() const { return !m_removalFailed; }

  private:
    bool TakeUpOutput();
    bool CopyPiece(std::uint32_t number, ProgressCounter& progress);
    bool CopyFromPiece(File& piece, std::size_t size);
    bool PieceCopied(std::uint32_t number, std::uint64_t size);
    bool Finish();
    bool CheckPieceDigests();
    bool RemovePendingPieces();
    bool RemoveOnePiece(std::uint32_t number);
    FileResult<std::pair<Sha256Digest, std::uint64_t>> OutputStart();
    bool Fail(const char* text);
    bool Fail(const char* text, const FileError& about);
    bool Fail(const FileError& error);

    const HeadFileInfo& m_info;
    const std::string& m_stem;
    const PieceChecksums* m_checksums;
    const std::optional<MergeJournal>& m_resumed;
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
    bool m_removalFailed = false;
    // The journal's fingerprint and the bytes it covers, once known.
    std::optional<std::pair<Sha256Digest, std::uint64_t>> m_outputStart;
};

bool MergeRun::CopyPieces() {
    const bool wholePieces = m_info.copyUnit == m_info.pieceSize;
    const std::uint32_t lastSize = LastPieceSize(m_info);
    m_transfer = Transfer(wholePieces ? m_info.pieceSize : m_info.copyUnit);
    if (m_checksums != nullptr) {
        // Each piece is hashed on its way when it is to be removed, or was not verified by
        // content before; the whole file whenever it has a line. Otherwise the copy stays in the
        // kernel.
        const bool pieces =
            !m_checksums->Pieces().empty() &&
            (m_options.deleteAfterMerge != 0 || m_options.verifyBeforeMerge == 0 || m_resumed);
        const bool whole = m_checksums->ForWholeFile().has_value();
        if (pieces || whole) {
            m_digests.emplace(pieces, whole);
        }
    }
    if (!TakeUpOutput()) {
        return false;
    }
    const std::uint32_t first = m_resumed ? m_resumed->piecesMerged + 1 : 1;
    const std::uint32_t left = m_info.pieceCount - (first - 1);
    const std::uint64_t steps =
        wholePieces ? left
                    : std::uint64_t{m_info.pieceSize / m_info.copyUnit} * (left - 1) +
                          lastSize / m_info.copyUnit;
    ProgressCounter progress(m_host, left == 0 ? 0 : steps);
    for (std::uint32_t number = first; number <= m_info.pieceCount; ++number) {
        if (!CopyPiece(number, progress)) {
            return false;
        }
    }
    return left != 0 || Finish();
}

// A merge taken up again keeps the bytes of the pieces already merged, as its journal counts
// them, and cuts off whatever the stopped run wrote after them. With a checksum file those bytes
// are confirmed against the lines of their pieces first, and hashed into the whole file's digest.
bool MergeRun::TakeUpOutput() {
    if (!m_resumed) {
        return true;
    }
    if (m_digests) {
        for (std::uint32_t number = 1; number <= m_resumed->piecesMerged; ++number) {
            const std::uint32_t size =
                number < m_info.pieceCount ? m_info.pieceSize : LastPieceSize(m_info);
            const Moved moved = m_digests->Move(m_output, nullptr, size);
            if (moved.error) {
                m_host.ReportFileError(*moved.error);
                return false;
            }
            if (moved.bytes < size) {
                ShowError(m_host, "Read file error!");
                return false;
            }
            m_digests->EndPiece();
        }
        if (!CheckPieceDigests()) {
            return false;
        }
    }
    if (auto failure = m_output.CutAt(m_resumed->outputLength)) {
        m_host.ReportFileError(*failure);
        return false;
    }
    m_written = m_resumed->outputLength;
    m_mergedLength = m_resumed->outputLength;
    // Pieces the stopped run had counted in but not yet removed go as the others do.
    if (m_options.deleteAfterMerge != 0) {
        const PiecesOnDisk onDisk = PiecesOnDisk::Find(m_stem, m_resumed->piecesMerged);
        for (std::uint32_t number = onDisk.NextAfter(0); number != 0;
             number = onDisk.NextAfter(number)) {
            if (FileExists(PiecePath(m_stem, number))) {
                m_removeAtEnd.push_back(number);
            }
        }
    }
    return true;
}

bool MergeRun::CopyPiece(std::uint32_t number, ProgressCounter& progress) {
    const bool last = number == m_info.pieceCount;
    const std::uint32_t size = last ? LastPieceSize(m_info) : m_info.pieceSize;
    auto piece = File::OpenForReading(PiecePath(m_stem, number));
    if (!piece.ok()) {
        return Fail("Read file error!", piece.error());
    }
    // A short piece stops the merge before any of its bytes reach the output.
    const auto length = piece.value().Length();
    if (!length.ok()) {
        return Fail(length.error());
    }
    if (length.value() < size) {
        return Fail("Read file error!");
    }
    if (m_info.copyUnit == m_info.pieceSize) {
        if (!CopyFromPiece(piece.value(), size)) {
            return false;
        }
        piece.value().Close();
        if (!last) {
            progress.Step();
        }
    } else {
        const std::uint32_t blocks = size / m_info.copyUnit;
        for (std::uint32_t block = 0; block < blocks; ++block) {
            if (!CopyFromPiece(piece.value(), m_info.copyUnit)) {
                return false;
            }
            progress.Step();
        }
        if (!CopyFromPiece(piece.value(), size - blocks * m_info.copyUnit)) {
            return false;
        }
        piece.value().Close();
    }
    if (m_digests) {
        m_digests->EndPiece();
    }
    if (!PieceCopied(number, size)) {
        return false;
    }
    if (!last) {
        return true;
    }
    if (!Finish()) {
        return false;
    }
    if (m_info.copyUnit == m_info.pieceSize) {
        progress.Step();
    }
    return true;
}

bool MergeRun::CopyFromPiece(File& piece, std::size_t size) {
    const Moved moved = m_digests ? m_digests->Move(piece, &m_output, size)
                                  : m_transfer.Move(piece, m_output, size);
    m_written += moved.bytes;
    if (moved.error) {
        return Fail(*moved.error);
    }
    if (moved.bytes < size) {
        return Fail("Read file error!");
    }
    return true;
}

bool MergeRun::PieceCopied(std::uint32_t number, std::uint64_t size) {
    m_mergedLength += size;
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
        if (expected && m_digests->WholeDigest() != expected) {
            ShowError(m_host, "Merged file checksum error!");
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
        if (expected && digest != expected) {
            m_pendingRemoval.clear();
            ShowError(m_host, "Merged file checksum error!");
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
    auto identity = m_output.Identity();
    auto start = OutputStart();
    FileStatus journaled;
    if (!identity.ok()) {
        journaled = identity.error();
    } else if (!start.ok()) {
        journaled = start.error();
    } else {
        const auto [digest, covered] = start.value();
        journaled = WriteJournal(
            JournalPath(m_stem),
            {m_info, identity.value(), m_pendingRemoval.back(), m_mergedLength, digest, covered});
    }
    if (journaled) {
        m_pendingRemoval.clear();
        m_host.ReportFileError(*journaled);
        return false;
    }
    const bool wholeLine = m_checksums != nullptr && m_checksums->ForWholeFile();
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

// The output's first bytes, read from the pieces they came from: the first journal is written
// before any piece is removed, and a run taken up has its journal's.
FileResult<std::pair<Sha256Digest, std::uint64_t>> MergeRun::OutputStart() {
    if (m_resumed) {
        return std::pair{m_resumed->start, m_resumed->startLength};
    }
    if (!m_outputStart) {
        const std::uint64_t wanted = std::min(m_mergedLength, kFingerprintBytes);
        Sha256 sha;
        std::vector<char> bytes;
        std::uint64_t done = 0;
        for (std::uint32_t number = 1; done < wanted; ++number) {
            auto piece = File::OpenForReading(PiecePath(m_stem, number));
            if (!piece.ok()) {
                return piece.error();
            }
            const std::uint64_t size =
                number < m_info.pieceCount ? m_info.pieceSize : LastPieceSize(m_info);
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
        m_outputStart = std::pair{*digest, wanted};
    }
    return *m_outputStart;
}

bool MergeRun::RemoveOnePiece(std::uint32_t number) {
    const std::string path = PiecePath(m_stem, number);
    if (auto failure = RemoveFile(path)) {
        m_removalFailed = true;
        ShowErrorAbout(m_host,
                       number == m_info.pieceCount ? "Remove file error!" : "Can not remove file!",
                       path, failure);
        return false;
    }
    return true;
}

// A run that stops leaves the pieces it has copied removed, as it would have had it removed each
// one at once, but only once the output holding their bytes is flushed and verified.
bool MergeRun::Fail(const char* text) {
    if (RemovePendingPieces()) {
        ShowError(m_host, text);
    }
    return false;
}

bool MergeRun::Fail(const char* text, const FileError& about) {
    if (RemovePendingPieces()) {
        ShowErrorAbout(m_host, text, about.path, about);
    }
    return false;
}

bool MergeRun::Fail(const FileError& error) {
    if (RemovePendingPieces()) {
        m_host.ReportFileError(error);
    }
    return false;
}

// The first piece after `merged` that is not there, or 0 when all of them may be.
std::uint32_t FirstAbsentAfter(const PiecesOnDisk& onDisk, std::uint32_t merged,
                               std::uint32_t pieceCount) {
    for (std::uint32_t number = merged; number < pieceCount;) {
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
bool AllPiecesThere(const std::string& stem, std::uint32_t merged, std::uint32_t pieceCount,
                    OperationHost& host) {
    const std::uint32_t absent =
        FirstAbsentAfter(PiecesOnDisk::Find(stem, pieceCount), merged, pieceCount);
    if (absent == 0) {
        return true;
    }
    const std::string path = PiecePath(stem, absent);
    ShowErrorAbout(host, "Read file error!", path, FileError{FileErrorCause::FileNotFound, path});
    return false;
}

VerifyOutcome RunVerifier(const MergeRequest& request, OperationHost& host,
                          const MergeVerifier& verify) {
    return verify ? verify() : VerifyWithChecksums(request.headPath, host).verification.outcome;
}

Outcome MergeToStream(const MergeRequest& request, const HeadFileInfo& info,
                      const std::string& stem, OptionSet options, OperationHost& host,
                      const MergeVerifier& verify) {
    if (options.verifyBeforeMerge != 0 &&
        RunVerifier(request, host, verify) != VerifyOutcome::Passed) {
        return Outcome::Failed;
    }
    if (!AllPiecesThere(stem, 0, info.pieceCount, host)) {
        return Outcome::Failed;
    }
    // A stream that is a file opened for appending may be one of the pieces.
    const auto identity = request.stream->Identity();
    if (identity.ok() && IsAnInput(identity.value(), request.headPath, stem, info.pieceCount)) {
        ShowErrorAbout(host, "Create file error,merge failed!", request.stream->Path(),
                       std::nullopt);
        return Outcome::Failed;
    }
    // Nothing is removed, so there is no journal to keep; the content was checked before the
    // first byte when the options ask for a verification.
    options.deleteAfterMerge = 0;
    const MergeSet set{info, stem, std::nullopt, std::nullopt};
    {
        MergeRun run(set, options, host, *request.stream);
        if (!run.CopyPieces()) {
            return Outcome::Failed;
        }
    }
    host.ShowMessage("Merge files successfully!", "Message");
    host.SetPosition(0);
    return Outcome::Succeeded;
}

// The journal of an earlier run of this merge that stopped half-way, when the output it names is
// the file at `outputPath` and still holds every byte the journal counts.
std::optional<MergeJournal> FindInterruptedMerge(const std::string& stem, const HeadFileInfo& info,
                                                 const std::string& outputPath) {
    auto journal = ReadJournal(JournalPath(stem), info);
    if (!journal) {
        return std::nullopt;
    }
    auto output = File::OpenForReading(outputPath);
    if (!output.ok()) {
        return std::nullopt;
    }
    const auto identity = output.value().Identity();
    const auto length = output.value().Length();
    if (!identity.ok() || !length.ok() || !(identity.value() == journal->output) ||
        length.value() < journal->outputLength ||
        FingerprintOf(output.value(), journal->startLength) != journal->start) {
        return std::nullopt;
    }
    return journal;
}

}  // namespace

bool ValidateMergeInputs(const MergeRequest& request, OperationHost& host) {
    if (request.headPath.empty()) {
        ShowError(host, "Head File Name must be filled in!");
        return false;
    }
    if (request.destinationFolder.empty()) {
        ShowError(host, "Destination folder must be filled in!");
        return false;
    }
    if (auto opened = File::OpenForReading(request.headPath); !opened.ok()) {
        ShowErrorAbout(host, "Head file doesn't existed or can not be opened!", request.headPath,
                       opened.error());
        return false;
    }
    return true;
}

Outcome RunMerge(const MergeRequest& request, const OptionSet* options, OperationHost& host,
                 const MergeVerifier& verify) {
    host.PlaceProgressOnce();
    if (!ValidateMergeInputs(request, host)) {
        return Outcome::Failed;
    }
    auto head = File::OpenForReading(request.headPath);
    if (!head.ok()) {
        ShowError(host, "Open head file error!");
        return Outcome::Failed;
    }
    const HeadRead read = ReadHeadFile(head.value());
    head.value().Close();
    if (read.status == HeadReadStatus::Failed) {
        host.ReportFileError(read.error);
        return Outcome::Failed;
    }
    if (read.status != HeadReadStatus::Read) {
        ShowErrorAbout(host, "Read info from head file error!", request.headPath);
        return Outcome::Failed;
    }
    if (options == nullptr) {
        ShowError(host, "Get MainFrame Error!");
        return Outcome::Failed;
    }
    const std::string stem = GetFolderPart(request.headPath) + PieceBaseName(request.headPath);
    if (request.stream != nullptr) {
        return MergeToStream(request, read.info, stem, *options, host, verify);
    }

    const FolderCheck destination =
        CheckDestination(request.destinationFolder, FolderSide::Merge, *options, host);
    if (destination != FolderCheck::Ready) {
        return destination == FolderCheck::Declined ? Outcome::Cancelled : Outcome::Failed;
    }
    MergeSet set{read.info, stem, std::nullopt, std::nullopt};
    const std::string base = GetFileName(stem);
    ChecksumRead checksums =
        ReadChecksumFile(ChecksumFilePath(stem),
                         {base, read.info.pieceCount, RebuiltFileName(base, read.info.extension)});
    if (checksums.error) {
        host.ReportFileError(*checksums.error);
        return Outcome::Failed;
    }
    set.checksums = std::move(checksums.checksums);
    set.resumed = FindInterruptedMerge(stem, read.info, request.outputPath);
    if (set.resumed) {
        if (!host.AskOkCancelAbout(kContinueQuestion, "Message", request.outputPath)) {
            return Outcome::Cancelled;
        }
    } else if (options->overwriteMode == 1 && FileExists(request.outputPath) &&
               !host.AskOkCancelAbout("Do you want to overwrite same name file?",
                                      "Overwrite Warning", request.outputPath)) {
        return Outcome::Cancelled;
    }
    if (options->verifyBeforeMerge != 0 &&
        RunVerifier(request, host, verify) != VerifyOutcome::Passed) {
        return Outcome::Failed;
    }
    // A merge that cannot reach its end is not begun: nothing is created and no piece removed
    // for a head file whose pieces are not all there, however many it names.
    // Pieces an interrupted run has merged are in the output and need not be.
    if (!AllPiecesThere(stem, set.resumed ? set.resumed->piecesMerged : 0, read.info.pieceCount,
                        host)) {
        return Outcome::Failed;
    }
    if (OutputIsAnInput(request.outputPath, request.headPath, stem, read.info.pieceCount)) {
        ShowErrorAbout(host, "Create file error,merge failed!", request.outputPath);
        return Outcome::Failed;
    }
    if (!HasRoomForMerge(
            {GetFolderPart(request.outputPath), GetFolderPart(stem), read.info,
             set.resumed ? set.resumed->outputLength : 0, options->deleteAfterMerge != 0},
            host)) {
        return Outcome::Failed;
    }
    auto output = set.resumed ? File::OpenForUpdate(request.outputPath)
                              : File::OpenForWriting(request.outputPath);
    if (!output.ok()) {
        ShowErrorAbout(host, "Create file error,merge failed!", request.outputPath, output.error());
        return Outcome::Failed;
    }
    if (set.resumed && output.value().Identity().ok() &&
        !(output.value().Identity().value() == set.resumed->output)) {
        ShowErrorAbout(host, "Create file error,merge failed!", request.outputPath);
        return Outcome::Failed;
    }
    bool clean = true;
    {
        MergeRun run(set, *options, host, output.value());
        if (!run.CopyPieces()) {
            return Outcome::Failed;
        }
        clean = run.EveryPieceRemoved();
    }
    host.ShowMessage("Merge files successfully!", "Message");
    if (options->deleteAfterMerge != 0) {
        // The checksum file goes with the head file.
        for (const auto& path : {request.headPath, ChecksumFilePath(stem)}) {
            if (path != request.headPath && !set.checksums) {
                continue;
            }
            if (auto failure = RemoveFile(path)) {
                ShowErrorAbout(host, "Remove file error!", path, failure);
                clean = false;
            }
        }
    }
    // The merge has ended: nothing is left to take up.
    RemoveJournal(JournalPath(stem));
    host.SetPosition(0);
    return clean ? Outcome::Succeeded : Outcome::Failed;
}

}  // namespace kavendrum
